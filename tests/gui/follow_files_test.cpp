#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QStatusBar>
#include <QTest>
#include <filesystem>
#include <memory>
#include <sstream>

#include "gui_support.h"
#include "shell/file_follower.h"
#include "shell/main_window.h"
#include "shell/path_text.h"
#include "shell/preview_widget.h"
#include "shell/settings.h"

namespace mervane {
namespace {

using namespace guitest;

// Generous: the follower answers within half a second, a busy machine later.
constexpr int kPatience = 10000;

QMatrix4x4 ViewOf(const PreviewWidget& preview) { return preview.Camera().ViewMatrix(); }

std::string VertexText(const SkinModel& model) {
  std::string text;
  for (int i = 0; i < model.VertexCount; ++i) text += std::string(model.VertexLines.at(i)) + "\n";
  return text;
}

// The .obj with its first vertex moved along x by dx.
std::string MovedFirstVertex(const std::string& obj, double dx) {
  const std::size_t start = obj.find("\nv ") + 1;
  const std::size_t end = obj.find('\n', start);
  std::istringstream in(obj.substr(start + 2, end - start - 2));
  double x = 0, y = 0, z = 0;
  in >> x >> y >> z;
  std::ostringstream line;
  line << "v " << x + dx << ' ' << y << ' ' << z;
  return obj.substr(0, start) + line.str() + obj.substr(end);
}

std::string BitmapBytes(QColor color) {
  QImage image(4, 4, QImage::Format_RGB32);
  image.fill(color);
  TempDir scratch;
  const QString path = QString::fromStdString(scratch.path("b.bmp"));
  EXPECT_TRUE(image.save(path, "BMP"));
  return ReadFile(path.toStdString());
}

// Saves the way an editor does: in place, or as a new file renamed over.
void Save(const std::string& path, const std::string& bytes, bool by_rename) {
  if (!by_rename) return WriteFile(path, bytes);
  WriteFile(path + ".tmp~", bytes);
  std::filesystem::rename(path + ".tmp~", path);
}

// Each way of noticing writes: the system's notices (Linux) and looking at
// the files (Windows, and on Linux on request).
class FollowFilesTest : public ::testing::TestWithParam<FileFollower::Mode> {
 protected:
  void SetUp() override {
    skin_ = Fixture("mannequin.skn");
#ifdef _WIN32
    if (GetParam() == FileFollower::Mode::Watch) GTEST_SKIP() << "Windows looks at the files instead";
#endif
    if (skin_.empty()) GTEST_SKIP() << "no sample skin found";
    Settings().remove("followFiles");
    window_ = std::make_unique<frmMain>("", &chooser_, &prompts_);
    window_->follower()->SetMode(GetParam());
  }
  void OpenFile(const std::string& path) {
    chooser_.choices.push_back(FileChoice{path, 0});
    window_->findChild<QAction*>("mnuOpen")->trigger();
  }
  QString Status() const { return window_->statusBar()->currentMessage(); }

  std::string skin_;
  FakeChooser chooser_;
  FakePrompts prompts_;
  std::unique_ptr<frmMain> window_;
};

// A project's .obj and its bitmap saved by another program, in place or by
// rename, show at once; the camera the user set stays. A file that stays
// broken leaves the last good model with a line in the status bar.
TEST_P(FollowFilesTest, SavedFilesShowAgainWithTheCameraKept) {
  TempDir dir;
  OpenFile(skin_);
  chooser_.choices.push_back(FileChoice{dir.path("body.spj"), 0});
  window_->findChild<QAction*>("mnuSave")->trigger();
  const std::string bitmap = dir.path(window_->model().TextureName + ".bmp");
  WriteFile(bitmap, BitmapBytes(Qt::red));
  OpenFile(dir.path("body.spj"));
  ASSERT_TRUE(window_->preview()->HasTexture());
  EXPECT_TRUE(window_->ShownFiles().contains(PathToQt(bitmap)));
  EXPECT_TRUE(window_->ShownFiles().contains(PathToQt(dir.path("body.obj"))));
  window_->findChild<QAction*>("mnuSide")->trigger();
  const QMatrix4x4 camera = ViewOf(*window_->preview());

  const std::string obj = ReadFile(dir.path("body.obj"));
  prompts_.messages.clear();
  const struct {
    const char* what;
    bool by_rename;
    QColor color;  // of the bitmap saved; invalid: the .obj is saved
    double dx;
  } cases[] = {
      {"bitmap in place", false, Qt::blue, 0},
      {"bitmap by rename", true, Qt::green, 0},
      {"bitmap renamed over again", true, Qt::yellow, 0},  // the replaced file is still followed
      {"obj in place", false, QColor(), 0.5},
      {"obj by rename", true, QColor(), 1.5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string before = VertexText(window_->model());
    if (c.color.isValid()) {
      Save(bitmap, BitmapBytes(c.color), c.by_rename);
      EXPECT_TRUE(QTest::qWaitFor(
          [&] { return window_->preview()->Texture().pixelColor(0, 0) == c.color; }, kPatience));
    } else {
      Save(dir.path("body.obj"), MovedFirstVertex(obj, c.dx), c.by_rename);
      EXPECT_TRUE(QTest::qWaitFor([&] { return VertexText(window_->model()) != before; }, kPatience));
      EXPECT_TRUE(window_->preview()->HasTexture());
    }
    EXPECT_EQ(ViewOf(*window_->preview()), camera);
    EXPECT_TRUE(prompts_.messages.empty());
  }

  // A texture the user chose stays on the model the .obj brings back; saved
  // as no image, the last good one stays and the status line says why.
  const std::string chosen = dir.path("chosen.bmp");
  WriteFile(chosen, BitmapBytes(Qt::magenta));
  window_->ShowTextureFrom(chosen);
  const std::string moved = VertexText(window_->model());
  Save(dir.path("body.obj"), MovedFirstVertex(obj, 2.5), false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return VertexText(window_->model()) != moved; }, kPatience));
  EXPECT_EQ(window_->preview()->Texture().pixelColor(0, 0), QColor(Qt::magenta));
  WriteFile(chosen, "not an image");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Status().endsWith("chosen.bmp: the image does not read"); }, kPatience))
      << Status().toStdString();
  EXPECT_EQ(window_->preview()->Texture().pixelColor(0, 0), QColor(Qt::magenta));
  WriteFile(chosen, BitmapBytes(Qt::cyan));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Status().startsWith("Reloaded"); }, kPatience)) << Status().toStdString();

  const std::string good = VertexText(window_->model());
  WriteFile(dir.path("body.obj"), "v 1 2\nf 7 8 9\n");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Status().startsWith("Not reloaded"); }, kPatience)) << Status().toStdString();
  EXPECT_TRUE(Status().contains("body.spj")) << Status().toStdString();
  EXPECT_EQ(VertexText(window_->model()), good);
  EXPECT_TRUE(window_->model().ModelLoaded);
  EXPECT_EQ(ViewOf(*window_->preview()), camera);
  EXPECT_TRUE(prompts_.messages.empty());
}

// An import not yet saved has no file to be replaced from, and the menu
// item's state outlives the run.
TEST_P(FollowFilesTest, AnUnsavedImportIsNotFollowedAndTheMenuItemIsKept) {
  QAction* follow = window_->findChild<QAction*>("mnuFollowFiles");
  ASSERT_NE(follow, nullptr);
  EXPECT_TRUE(follow->isCheckable());
  EXPECT_TRUE(follow->isChecked());
  follow->trigger();
  EXPECT_FALSE(window_->follower()->Enabled());
  window_ = std::make_unique<frmMain>("", &chooser_, &prompts_);
  EXPECT_FALSE(window_->findChild<QAction*>("mnuFollowFiles")->isChecked());
  window_->findChild<QAction*>("mnuFollowFiles")->trigger();
  EXPECT_TRUE(window_->follower()->Enabled());

  const std::string obj = Fixture("torus_quads.obj");
  if (obj.empty()) GTEST_SKIP() << "no sample .obj found";
  WhenModal([](QDialog& dialog) { dialog.accept(); });
  window_->ImportObjFrom(obj);
  ASSERT_TRUE(window_->model().ModelLoaded);
  EXPECT_FALSE(window_->ShownFiles().contains(PathToQt(obj)));
}

INSTANTIATE_TEST_SUITE_P(Modes, FollowFilesTest, ::testing::Values(FileFollower::Mode::Watch, FileFollower::Mode::Poll),
                         [](const auto& info) { return info.param == FileFollower::Mode::Watch ? "Watch" : "Poll"; });

}  // namespace
}  // namespace mervane
