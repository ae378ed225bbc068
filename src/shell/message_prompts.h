#pragma once

#include "model/prompts.h"

class QWidget;

namespace mervane {

inline constexpr const char* kProgramTitle = "Mervane";

// The window's text of a failure: the reader's or writer's message without
// the old advice to exit the program, which no longer holds (a failed read
// or save leaves everything as it was).
std::string WindowMessage(const Failure& failure);
// The window's Invalid Normals question, without the old warning that the
// program may crash: "Normals are invalid.  Fix?"
inline constexpr const char* kWindowInvalidNormalsQuestion = "Normals are invalid.  Fix?";

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
  // Save, Discard and Cancel, Cancel the default; closing the box cancels.
  Keep AskSaveDiscardCancel(const std::string& text) override;
  // A list of the choices, the first selected; closing the box cancels.
  std::optional<std::size_t> AskChoice(const std::string& title, const std::string& text,
                                       const std::vector<std::string>& choices) override;

 private:
  void Show(int icon, const std::string& text, const std::string& detail);

  QWidget* parent_;
};

}  // namespace mervane
