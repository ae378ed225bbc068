// The desktop program on Windows: a skin in a folder of a user called Zoë
// opens from the command line with its texture, saves as a project and as a
// skin, and the project opens again, with the files the converter writes.
#include <gtest/gtest.h>
#include <windows.h>

#include <QAction>
#include <QImage>
#include <QLabel>
#include <filesystem>
#include <sstream>

#include "archive/far.h"
#include "cli/converter.h"
#include "files/file_io_windows.h"
#include "files/textfile.h"
#include "gui_support.h"
#include "shell/command_line.h"
#include "shell/main_window.h"
#include "shell/preview_widget.h"

namespace mervane {
namespace {

using guitest::FakeChooser;
using guitest::FakePrompts;
using guitest::TempDir;
using windows::Widen;

TEST(WindowsWindow, OpensAndSavesInUnicodeFolders) {
  TempDir dir;
  const std::string root = dir.root().string();
  const std::string folder = root + "\\Users\\Zo\xc3\xab\\Documents\\Skins\\";
  std::filesystem::create_directories(std::filesystem::path(Widen(folder)));
  WriteFileAtomically(folder + "k\xc3\xb6rper.skn", ReadWholeFile(guitest::Fixture("mannequin.skn")));
  // Its texture beside it, which the preview finds and loads through Qt.
  QImage texture(4, 4, QImage::Format_RGB32);
  texture.fill(Qt::red);
  ASSERT_TRUE(texture.save(QString::fromStdWString(Widen(folder + "mannequin_skin.bmp")), "BMP"));
  // What the converter makes of it, under the same names next door.
  const std::string next_door = root + "\\c\\";
  std::filesystem::create_directories(std::filesystem::path(Widen(next_door)));
  std::ostringstream out, err;
  ASSERT_EQ(RunConverter({folder + "k\xc3\xb6rper.skn", next_door + "\xe4\xbd\x93.spj"}, out, err), 0) << err.str();
  ASSERT_EQ(RunConverter({next_door + "\xe4\xbd\x93.spj", next_door + "zur\xc3\xbc" "ck.skn"}, out, err), 0)
      << err.str();

  // The path as Windows hands it over: UTF-16, quoted, with the other separator too.
  const std::string typed = root + "/Users/Zo\xc3\xab\\Documents/Skins\\k\xc3\xb6rper.skn";
  const QString argument = "\"" + QString::fromStdWString(Widen(typed)) + "\"";
  FakeChooser chooser;
  FakePrompts prompts;
  frmMain window(CommandLinePath({argument}), &chooser, &prompts);
  auto run = [&](const char* action) { window.findChild<QAction*>(action)->trigger(); };
  run("mnuOpen");
  ASSERT_TRUE(window.model().ModelLoaded);
  EXPECT_TRUE(window.preview()->HasTexture());
  EXPECT_EQ(window.centralWidget()->findChild<QLabel*>("Label2")->text(), QString::fromStdWString(Widen(typed)));
  chooser.choices.push_back(FileChoice{folder + "\xe4\xbd\x93", 0});  // projects first
  run("mnuSave");
  chooser.choices.push_back(FileChoice{folder + "\xe4\xbd\x93.spj", 0});
  run("mnuOpen");
  chooser.choices.push_back(FileChoice{folder + "zur\xc3\xbc" "ck", 0});  // skins first now
  run("mnuSave");
  ASSERT_TRUE(prompts.messages.empty()) << prompts.messages[0].text << " " << prompts.messages[0].detail;
  for (const std::string name : {"zur\xc3\xbc" "ck.skn", "\xe4\xbd\x93.spj", "\xe4\xbd\x93.obj"})
    EXPECT_EQ(ReadWholeFile(folder + name), ReadWholeFile(next_door + name)) << name;
  // The .mtl names the bitmap beside it by its name, and the one beside the
  // file the converter read by its whole path, as Windows spells it.
  auto texture_line = [](const std::string& mtl) { return test::SplitCrLf(ReadWholeFile(mtl)).back(); };
  EXPECT_EQ(texture_line(folder + "\xe4\xbd\x93.mtl"), "map_Kd mannequin_skin.bmp");
  EXPECT_EQ(texture_line(next_door + "\xe4\xbd\x93.mtl"), "map_Kd " + folder + "mannequin_skin.bmp");
}

}  // namespace
}  // namespace mervane
