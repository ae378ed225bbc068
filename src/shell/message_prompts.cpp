#include "shell/message_prompts.h"

#include <QMessageBox>

namespace mervane {

void MessageBoxPrompts::ShowMessage(const std::string& text, const std::string& detail) {
  QMessageBox box(parent_);
  box.setObjectName("msgMervane");
  box.setWindowTitle(kProgramTitle);
  box.setIcon(QMessageBox::NoIcon);
  // Paths and file lines are shown as they are, never read as markup.
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(text));
  if (!detail.empty()) box.setInformativeText(QString::fromStdString(detail));
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

std::optional<bool> MessageBoxPrompts::AskYesNo(const std::string& title, const std::string& text) {
  QMessageBox box(parent_);
  box.setObjectName("msgQuestion");
  box.setWindowTitle(QString::fromStdString(title));
  box.setIcon(QMessageBox::NoIcon);
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(text));
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace mervane
