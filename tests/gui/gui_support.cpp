#include "gui_support.h"

#include "shell/game_folder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QUrl>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

namespace mervane::guitest {

std::optional<FileChoice> FakeChooser::Next() {
  if (choices.empty()) return std::nullopt;
  const auto choice = choices.front();
  choices.erase(choices.begin());
  return choice;
}

std::optional<FileChoice> FakeChooser::ChooseOpen(const std::string& title, const FilterList& filters) {
  calls.push_back({title, false, filters, "", false, folder});
  return Next();
}

std::optional<FileChoice> FakeChooser::ChooseSave(const std::string& title, const FilterList& filters,
                                                  const std::string& proposed, bool confirm_replace) {
  calls.push_back({title, true, filters, proposed, confirm_replace, folder});
  return Next();
}

std::optional<std::string> FakeChooser::ChooseFolder(const std::string& title) {
  calls.push_back({title, false, {}, "", false, folder});
  const auto choice = Next();
  return choice ? std::optional(choice->path) : std::nullopt;
}

Prompts::Keep FakePrompts::AskSaveDiscardCancel(const std::string& text) {
  save_questions.push_back(text);
  if (on_call) on_call();
  if (keep_answers.empty()) return Keep::Discard;
  const Keep answer = keep_answers.front();
  keep_answers.erase(keep_answers.begin());
  return answer;
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

bool Drop(QWidget& target, const std::vector<std::string>& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const auto& path : paths) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &drop);
  return true;
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

bool IndexGame(GameFolder& game, const std::string& folder) {
  bool indexed = false;
  const auto connection = QObject::connect(&game, &GameFolder::Indexed, [&] { indexed = true; });
  game.Index(QString::fromStdString(folder));
  QElapsedTimer clock;
  clock.start();
  while ((!indexed || game.Indexing()) && clock.elapsed() < 20000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  QObject::disconnect(connection);
  return indexed && !game.Indexing();
}

}  // namespace mervane::guitest

int main(int argc, char** argv) {
  // Headless unless told otherwise, also when run outside ctest.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Each test process keeps the window's settings in a folder of its own,
  // never the user's: ctest runs the tests side by side.
  QTemporaryDir settings;
#ifdef _WIN32
  QStandardPaths::setTestModeEnabled(true);
#else
  qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
#endif
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
