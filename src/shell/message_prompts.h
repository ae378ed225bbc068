#pragma once

#include "model/prompts.h"

class QWidget;

namespace mervane {

inline constexpr const char* kProgramTitle = "Mervane";

// Tells the user with modal message boxes over the main window.
class MessageBoxPrompts : public Prompts {
 public:
  explicit MessageBoxPrompts(QWidget* parent) : parent_(parent) {}
  // Title "Mervane", an OK button; the detail goes under the text.
  void ShowMessage(const std::string& text, const std::string& detail) override;
  // Yes and No, Yes the default, no icon. Closing the box answers No.
  std::optional<bool> AskYesNo(const std::string& title, const std::string& text) override;

 private:
  QWidget* parent_;
};

}  // namespace mervane
