#include "shell/file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QStringList>

namespace mervane {

std::string FilterExtension(const FileFilter& filter) {
  const std::string& p = filter.patterns;
  if (p.size() > 2 && p.compare(0, 2, "*.") == 0 &&
      p.find_first_of(" ;*?", 2) == std::string::npos)
    return p.substr(2);
  return {};
}

namespace {

// "Description (patterns)". The descriptions already carry their own
// pattern text, so the dialog is told to show only the description.
QStringList NameFilters(const FilterList& filters) {
  QStringList list;
  for (const FileFilter& f : filters)
    list << QString::fromStdString(f.description) + " (" + QString::fromStdString(f.patterns) + ")";
  return list;
}

// The dialog reports the selected filter in full, or only its description
// when it shows descriptions alone.
int FilterIndex(const FilterList& filters, const QString& selected) {
  const QStringList names = NameFilters(filters);
  for (int i = 0; i < static_cast<int>(filters.size()); ++i)
    if (selected == names[i] || selected == QString::fromStdString(filters[i].description)) return i;
  return -1;
}

void SetFilters(QFileDialog& dialog, const FilterList& filters) {
  if (filters.empty()) return;
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters(NameFilters(filters));
}

std::optional<FileChoice> Run(QFileDialog& dialog, const FilterList& filters) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  FileChoice choice;
  // Qt separates folders with "/" everywhere; on Windows, users and the
  // folder that a project's .mtl names expect backslashes.
  choice.path = QDir::toNativeSeparators(dialog.selectedFiles().front()).toStdString();
  choice.filter = FilterIndex(filters, dialog.selectedNameFilter());
  return choice;
}

}  // namespace

std::optional<FileChoice> QtFileChooser::ChooseOpen(const std::string& title, const FilterList& filters) {
  QFileDialog dialog(parent_, QString::fromStdString(title), QString::fromStdString(folder));
  dialog.setObjectName("cDialog1");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  SetFilters(dialog, filters);
  return Run(dialog, filters);
}

std::optional<FileChoice> QtFileChooser::ChooseSave(const std::string& title, const FilterList& filters,
                                                    const std::string& proposed, bool confirm_replace) {
  QFileDialog dialog(parent_, QString::fromStdString(title), QString::fromStdString(folder));
  dialog.setObjectName("cDialog1");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirm_replace);
  if (!proposed.empty()) dialog.selectFile(QString::fromStdString(proposed));
  // Let the dialog add the selected type's extension itself, so that its
  // question about replacing a file is asked about the name really written.
  auto follow = [&dialog, &filters](const QString& selected) {
    const int index = FilterIndex(filters, selected);
    dialog.setDefaultSuffix(index >= 0 ? QString::fromStdString(FilterExtension(filters[index]))
                                       : QString());
  };
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
  SetFilters(dialog, filters);
  if (!filters.empty()) follow(NameFilters(filters).front());
  return Run(dialog, filters);
}

std::optional<std::string> QtFileChooser::ChooseFolder(const std::string& title) {
  const QString chosen = QFileDialog::getExistingDirectory(parent_, QString::fromStdString(title),
                                                           QString::fromStdString(folder));
  if (chosen.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(chosen).toStdString();
}

}  // namespace mervane
