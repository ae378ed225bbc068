#include "gui_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

namespace mervane::guitest {

std::optional<FileChoice> FakeChooser::ChooseOpen(const FilterList& filters) {
  calls.push_back({false, filters, "", false, folder});
  if (choices.empty()) return std::nullopt;
  const auto choice = choices.front();
  choices.erase(choices.begin());
  return choice;
}

std::optional<FileChoice> FakeChooser::ChooseSave(const FilterList& filters,
                                                  const std::string& proposed,
                                                  bool confirm_replace) {
  calls.push_back({true, filters, proposed, confirm_replace, folder});
  if (choices.empty()) return std::nullopt;
  const auto choice = choices.front();
  choices.erase(choices.begin());
  return choice;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Fixture(const std::string& name) {
  for (const QString& dir : QString(MERVANE_GUI_FIXTURE_DIRS).split('|')) {
    const std::filesystem::path path = std::filesystem::path(dir.toStdString()) / name;
    if (std::filesystem::is_regular_file(path)) return path.lexically_normal().string();
  }
  return {};
}

void WhenModal(std::function<void(QDialog&)> steps) {
  QTimer::singleShot(0, [steps] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
      ADD_FAILURE() << "no modal dialog is open";
      return;
    }
    steps(*dialog);
    if (dialog->isVisible()) {
      ADD_FAILURE() << dialog->objectName().toStdString() << " is still open after the steps";
      dialog->reject();
    }
  });
}

}  // namespace mervane::guitest

int main(int argc, char** argv) {
  // Headless unless told otherwise, also when run outside ctest.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
