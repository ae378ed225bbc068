// The window's two poses drawn for real: each file opens in its pose, the
// view's corner names the pose, and the menu switches what is drawn
// between the project's .obj and the model on the game's skeleton.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "character_files.h"
#include "cli/converter.h"
#include "gui_support.h"
#include "project/obj_reader.h"
#include "shell/character_panel.h"
#include "shell/main_window.h"
#include "shell/preview_widget.h"

namespace mervane {
namespace {

using Points = std::vector<std::array<float, 3>>;

void Convert(const std::string& from, const std::string& to) {
  std::ostringstream said, err;
  ASSERT_EQ(RunConverter({from, to}, said, err), 0) << err.str();
}

// The positions an .obj holds, as the core's project reader reads them.
Points ObjPositions(const std::string& path) {
  SkinModel scratch;
  const std::string text = test::ReadFile(path);
  LineReader in(text);
  Points points;
  for (const Vec3& v : ReadObjGeometry(scratch, in, [] { return std::optional<bool>(false); }).vertices)
    points.push_back({static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)});
  return points;
}

// The largest difference between the first b.size() points of a and b.
double Farthest(const Points& a, const Points& b) {
  double worst = 0;
  for (std::size_t v = 0; v < b.size() && v < a.size(); ++v)
    for (std::size_t k = 0; k < 3; ++k) worst = std::max(worst, static_cast<double>(std::abs(a[v][k] - b[v][k])));
  return a.size() < b.size() ? INFINITY : worst;
}

TEST(PoseChoice, EachFileOpensInItsPoseAndTheMenuSwitchesWhatIsDrawn) {
  test::SmallCharacter character;  // its skeleton beside every file below
  const std::string rigged = character.dir.path("rigged.glb");
  Convert(character.mesh, character.dir.path("skin.spj"));
  Convert(character.mesh, rigged);
  Convert(rigged, character.dir.path("rigged.spj"));
  struct Row {
    std::string open;
    std::string obj;  // what a project of the same model holds
    ViewPose opens_in;
  };
  // Each row ends in the other pose, and the next opens in its own again.
  const Row rows[] = {
      {character.mesh, character.dir.path("skin.obj"), ViewPose::Game},
      {rigged, character.dir.path("rigged.obj"), ViewPose::Game},
      {character.dir.path("skin.spj"), character.dir.path("skin.obj"), ViewPose::Modelling},
      {character.dir.path("rigged.spj"), character.dir.path("rigged.obj"), ViewPose::Modelling},
  };
  guitest::FakeChooser chooser;
  guitest::FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  window.show();
  QApplication::processEvents();
  PreviewWidget& preview = *window.preview();
  ASSERT_TRUE(preview.Problem().isEmpty()) << preview.Problem().toStdString();
  auto* caption = preview.findChild<QLabel*>("PreviewPose");
  ASSERT_NE(caption, nullptr);
  const std::map<ViewPose, QAction*> menu{{ViewPose::Game, window.findChild<QAction*>("mnuGamePose")},
                                          {ViewPose::Modelling, window.findChild<QAction*>("mnuModellingPose")}};
  ASSERT_TRUE(menu.at(ViewPose::Game) && menu.at(ViewPose::Modelling));

  for (const Row& row : rows) {
    window.OpenPath(row.open);
    ASSERT_TRUE(window.model().ModelLoaded) << row.open;
    const Points obj = ObjPositions(row.obj);
    ASSERT_FALSE(obj.empty());
    const ViewPose other = row.opens_in == ViewPose::Game ? ViewPose::Modelling : ViewPose::Game;
    for (const ViewPose pose : {row.opens_in, other}) {
      if (pose == other) menu.at(pose)->trigger();
      QApplication::processEvents();
      SCOPED_TRACE(row.open + (pose == ViewPose::Game ? " in the game pose" : " in the modelling pose"));
      EXPECT_EQ(preview.pose(), pose);
      EXPECT_TRUE(menu.at(pose)->isChecked());
      EXPECT_TRUE(caption->isVisible());
      if (pose == ViewPose::Modelling) {
        EXPECT_EQ(caption->text().toStdString(), "Modelling pose (as in the project's .obj)");
        ASSERT_FALSE(preview.DrawsCharacter());
        EXPECT_LT(Farthest(preview.ModelVertices(), obj), 2e-6);
      } else {
        EXPECT_EQ(caption->text().toStdString(), "Game pose");
        ASSERT_TRUE(preview.DrawsCharacter());
        const auto captured = preview.CaptureSkinned();
        ASSERT_TRUE(captured && !captured->empty()) << "this OpenGL cannot hand back the shader's vertices";
        // The skeleton's pose, as the core skins it, and not the .obj's.
        Points skinned;
        const std::vector<SkinnedMesh> parts = window.character().Skinned();
        for (const Vec3& p : parts.front().positions)
          skinned.push_back({static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
        EXPECT_LT(Farthest(captured->front(), skinned), 2e-5);
        Points drawn = captured->front();
        for (auto& p : drawn) p[0] = -p[0];  // the game's axes as the view draws them
        EXPECT_GT(Farthest(drawn, obj), 0.1);
      }
    }
  }

  // A skill chosen in the modelling pose plays in the game pose, saying so;
  // the modelling pose pauses it, or its next frame would turn the view back.
  window.OpenPath(character.dir.path("skin.spj"));
  ASSERT_EQ(preview.pose(), ViewPose::Modelling);
  ASSERT_TRUE(window.character_panel()->SelectSkillNamed("tiny-nod"));
  EXPECT_EQ(preview.pose(), ViewPose::Game);
  EXPECT_EQ(window.statusBar()->currentMessage().toStdString(),
            "Game pose: skills and seams are shown on the game's skeleton. Playing tiny-nod from tiny-skills.cmx");
  EXPECT_TRUE(window.character_panel()->Playing());
  menu.at(ViewPose::Modelling)->trigger();
  EXPECT_FALSE(window.character_panel()->Playing());
  EXPECT_EQ(preview.pose(), ViewPose::Modelling);
}

}  // namespace
}  // namespace mervane
