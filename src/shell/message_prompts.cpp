#include "shell/message_prompts.h"

#include <QInputDialog>
#include <QMessageBox>

namespace mervane {

void MessageBoxPrompts::ShowMessage(const std::string& text, const std::string& detail) {
  Show(QMessageBox::Warning, text, detail);
}

std::string WindowMessage(const Failure& failure) {
  if (failure.kind() == FailureKind::Error) return "Error " + std::to_string(failure.number()) + " has occurred.";
  return failure.message();
}

void MessageBoxPrompts::ShowFailure(const Failure& failure) {
  Show(QMessageBox::Critical, WindowMessage(failure), failure.detail());
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
  // The core's question warns of a crash that can no longer happen.
  box.setText(QString::fromStdString(text == kInvalidNormalsQuestion ? kWindowInvalidNormalsQuestion : text));
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(yes_by_default ? QMessageBox::Yes : QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

Prompts::Keep MessageBoxPrompts::AskSaveDiscardCancel(const std::string& text) {
  QMessageBox box(parent_);
  box.setObjectName("msgSave");
  box.setWindowTitle(kProgramTitle);
  box.setIcon(QMessageBox::Question);
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(text));
  box.setInformativeText("It exists only in Mervane until it is saved.");
  box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
  box.setDefaultButton(QMessageBox::Cancel);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save:
      return Keep::Save;
    case QMessageBox::Discard:
      return Keep::Discard;
    default:
      return Keep::Cancel;
  }
}

std::optional<std::size_t> MessageBoxPrompts::AskChoice(const std::string& title, const std::string& text,
                                                        const std::vector<std::string>& choices) {
  QInputDialog box(parent_);
  box.setObjectName("dlgChoice");
  box.setWindowTitle(QString::fromStdString(title));
  box.setLabelText(QString::fromStdString(text));
  QStringList items;
  for (const std::string& choice : choices) items << QString::fromStdString(choice);
  box.setComboBoxItems(items);
  box.setComboBoxEditable(false);
  box.setOption(QInputDialog::UseListViewForComboBoxItems);
  if (box.exec() != QDialog::Accepted) return std::nullopt;
  const qsizetype index = items.indexOf(box.textValue());
  if (index < 0) return std::nullopt;
  return static_cast<std::size_t>(index);
}

}  // namespace mervane
