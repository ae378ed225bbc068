#pragma once

#include "model/prompts.h"

class QWidget;

namespace mervane {

inline constexpr const char* kProgramTitle = "Mervane";

// Tells the user with modal message boxes over the main window.
class MessageBoxPrompts : public Prompts {
 public:
  explicit MessageBoxPrompts(QWidget* parent) : parent_(parent) {}
  // Title "Mervane", an OK button, the warning icon; the detail goes under
  // the text. Used for what the user can put right at once (a blank field,
  // a name without a known extension).
  void ShowMessage(const std::string& text, const std::string& detail) override;
  // The same with the error icon: a file could not be read or written.
  void ShowFailure(const Failure& failure) override;
  // Yes and No, Yes the default, the question icon. Closing the box answers No.
  std::optional<bool> AskYesNo(const std::string& title, const std::string& text,
                               bool yes_by_default = true) override;

 private:
  void Show(int icon, const std::string& text, const std::string& detail);

  QWidget* parent_;
};

}  // namespace mervane
