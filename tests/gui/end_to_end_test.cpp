#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <sstream>

#include "cli/converter.h"
#include "gui_support.h"
#include "shell/main_window.h"

namespace mervane {
namespace {

using guitest::FakeChooser;
using guitest::FakePrompts;
using guitest::Fixture;
using guitest::ReadFile;
using guitest::TempDir;

void Convert(const std::string& from, const std::string& to) {
  std::ostringstream out, err;
  ASSERT_EQ(RunConverter({from, to}, out, err), 0) << err.str();
}

// The whole road through the window: open a skin, save it as a project,
// open the project, save it as a skin. Every file must be the one that the
// converter writes from the same input into the same folder (the .mtl names
// its folder).
TEST(EndToEndTest, WindowWritesWhatTheConverterWrites) {
  const std::vector<std::string> names = {"body.spj", "body.obj", "body.mtl", "body.skn"};
  int runs = 0;
  for (const char* sample : {"mannequin.skn", "sample.skn"}) {
    SCOPED_TRACE(sample);
    const std::string skin = Fixture(sample);
    if (skin.empty()) continue;
    ++runs;
    TempDir dir;

    FakeChooser chooser;
    FakePrompts prompts;
    frmMain window(skin, &chooser, &prompts);
    auto run = [&](const char* action) { window.findChild<QAction*>(action)->trigger(); };
    run("mnuOpen");  // the command-line path
    chooser.choices.push_back(FileChoice{dir.path("body"), 0});  // projects first
    run("mnuSave");
    chooser.choices.push_back(FileChoice{dir.path("body.spj"), 0});
    run("mnuOpen");
    chooser.choices.push_back(FileChoice{dir.path("body"), 0});  // skins first now
    run("mnuSave");
    ASSERT_TRUE(prompts.messages.empty()) << prompts.messages[0].text;
    EXPECT_TRUE(chooser.choices.empty());
    // The label names the file now shown: the one saved last.
    EXPECT_EQ(window.centralWidget()->findChild<QLabel*>("Label2")->text().toStdString(),
              dir.path("body.skn"));
    ASSERT_EQ(dir.Listing(), (std::vector<std::string>{"body.mtl", "body.obj", "body.skn", "body.spj"}));

    std::vector<std::string> by_window;
    for (const std::string& name : names) {
      by_window.push_back(ReadFile(dir.path(name)));
      std::filesystem::remove(dir.path(name));
    }
    Convert(skin, dir.path("body.spj"));
    Convert(dir.path("body.spj"), dir.path("body.skn"));
    for (std::size_t i = 0; i < names.size(); ++i) {
      SCOPED_TRACE(names[i]);
      EXPECT_FALSE(by_window[i].empty());
      EXPECT_EQ(by_window[i], ReadFile(dir.path(names[i])));
    }
  }
  if (runs == 0) GTEST_SKIP() << "no sample skin found";
}

}  // namespace
}  // namespace mervane
