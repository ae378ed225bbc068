#include "shell/message_prompts.h"

#include <QMessageBox>

namespace mervane {

void MessageBoxPrompts::ShowMessage(const std::string& text, const std::string& detail) {
  Show(QMessageBox::Warning, text, detail);
}

void MessageBoxPrompts::ShowFailure(const Failure& failure) {
  Show(QMessageBox::Critical, failure.message(), failure.detail());
}

void MessageBoxPrompts::Show(int icon, const std::string& text, const std::string& detail) {
  QMessageBox box(parent_);
  box.setObjectName("msgMervane");
  box.setWindowTitle(kProgramTitle);
  box.setIcon(static_cast<QMessageBox::Icon>(icon));
  // Paths and file lines are shown as they are, never read as markup.
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(text));
  if (!detail.empty()) box.setInformativeText(QString::fromStdString(detail));
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

std::optional<bool> MessageBoxPrompts::AskYesNo(const std::string& title, const std::string& text,
                                                bool yes_by_default) {
  QMessageBox box(parent_);
  box.setObjectName("msgQuestion");
  box.setWindowTitle(QString::fromStdString(title));
  box.setIcon(QMessageBox::Question);
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(text));
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(yes_by_default ? QMessageBox::Yes : QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace mervane
