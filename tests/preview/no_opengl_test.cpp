// The window where the preview cannot draw. ctest runs this on a virtual X
// server once under Mesa's OpenGL 1.1 override, once with Qt's OpenGL
// switched off (QT_XCB_GL_INTEGRATION=none), and once on Qt's offscreen
// platform, which makes contexts there but shows no OpenGL views;
// MERVANE_NO_OPENGL names which.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "gui_support.h"
#include "shell/main_window.h"
#include "shell/preview_widget.h"

namespace mervane {
namespace {

using guitest::FakeChooser;
using guitest::FakePrompts;
using guitest::TempDir;

TEST(NoOpenGL, TheWindowOpensAndSavesAndThePreviewSaysWhy) {
  const std::map<std::string, QString> expected{
      {"gl-1.1",
       "The 3D preview needs OpenGL 2.1 or later; this system offers 1.1. Install or update the graphics "
       "driver. Opening, saving and importing work without it."},
      {"no-context",
       "The 3D preview needs OpenGL 2.1 or later; this system gave Mervane no OpenGL drawing context at all. "
       "Install or update the graphics driver. Opening, saving and importing work without it."},
      {"no-views",
       "The 3D preview cannot be shown on this display (Qt's \"offscreen\" platform does not show OpenGL views in "
       "windows). Opening, saving and importing work without it."}};
  const char* which = std::getenv("MERVANE_NO_OPENGL");
  ASSERT_TRUE(which && expected.contains(which)) << "run by ctest with MERVANE_NO_OPENGL set";

  TempDir dir;
  std::filesystem::copy_file(test::ExamplePath("mannequin.skn"), dir.path("m.skn"));
  FakeChooser chooser;
  FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  window.show();
  QApplication::processEvents();
  chooser.choices.push_back(FileChoice{dir.path("m.skn"), 0});
  window.Open();
  QApplication::processEvents();
  ASSERT_TRUE(window.model().ModelLoaded);
  EXPECT_TRUE(window.preview()->HasModel());

  EXPECT_EQ(window.preview()->Problem().toStdString(), expected.at(which).toStdString());
  const auto* message = window.findChild<QLabel*>("PreviewMessage");
  ASSERT_NE(message, nullptr);
  EXPECT_TRUE(message->isVisible());
  EXPECT_EQ(message->text().toStdString(), expected.at(which).toStdString());

  chooser.choices.push_back(FileChoice{dir.path("m.spj"), 0});
  window.SaveAs();
  EXPECT_TRUE(prompts.messages.empty());
  for (const char* name : {"m.spj", "m.obj", "m.mtl"}) EXPECT_TRUE(std::filesystem::exists(dir.path(name))) << name;
}

}  // namespace
}  // namespace mervane
