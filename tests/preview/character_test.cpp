// The character view drawn for real: what the vertex shader places is what
// the converter's --pose writes, frame for frame.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "character_files.h"
#include "cli/converter.h"
#include "scene/character_scene.h"
#include "shell/preview_widget.h"
#include "support.h"

namespace mervane {
namespace {

using Points = std::vector<std::array<float, 3>>;

// The "v" lines of each "o" block of an .obj, x turned back to the game's.
std::vector<Points> ObjBlocks(const std::string& text) {
  std::vector<Points> blocks;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("o ", 0) == 0) blocks.emplace_back();
    if (line.rfind("v ", 0) != 0 || blocks.empty()) continue;
    std::istringstream numbers(line.substr(2));
    float x = 0, y = 0, z = 0;
    numbers >> x >> y >> z;
    blocks.back().push_back({-x, y, z});
  }
  return blocks;
}

class CharacterViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    widget_.resize(320, 320);
    widget_.show();
    QApplication::processEvents();
  }

  // Draws the scene at frame, then reads back what the shader placed.
  std::vector<Points> Drawn(CharacterScene& scene, double frame) {
    scene.SetFrame(frame);
    widget_.SetCharacter(&scene);
    widget_.CharacterPosed(std::nullopt);
    EXPECT_TRUE(widget_.DrawsCharacter());
    auto captured = widget_.CaptureSkinned();
    if (!captured) {
      ADD_FAILURE() << "this OpenGL cannot hand back the shader's vertices";
      return {};
    }
    return *captured;
  }

  // The converter's --pose at frame for the given arguments.
  std::vector<Points> Posed(std::vector<std::string> args, const std::string& out) {
    args.insert(args.begin(), "--pose");
    args.push_back(out);
    std::ostringstream said, err;
    EXPECT_EQ(RunConverter(args, said, err), 0) << err.str();
    return ObjBlocks(test::ReadFile(out));
  }

  static void ExpectSame(const std::vector<Points>& drawn, const std::vector<Points>& posed, const char* what) {
    ASSERT_EQ(drawn.size(), posed.size()) << what;
    for (std::size_t p = 0; p < drawn.size(); ++p) {
      ASSERT_EQ(drawn[p].size(), posed[p].size()) << what << " part " << p;
      double worst = 0;
      for (std::size_t v = 0; v < drawn[p].size(); ++v)
        for (int k = 0; k < 3; ++k)
          worst = std::max(worst, static_cast<double>(std::abs(drawn[p][v][static_cast<std::size_t>(k)] -
                                                                posed[p][v][static_cast<std::size_t>(k)])));
      // float on the GPU against the converter's six decimals
      EXPECT_LT(worst, 2e-5) << what << " part " << p;
    }
  }

  PreviewWidget widget_;
};

TEST_F(CharacterViewTest, TheShaderPlacesWhatPoseWritesAtEachFrame) {
  test::SmallCharacter character;
  CharacterScene scene;
  EXPECT_EQ(scene.SetModel(test::ReadSknText(test::ReadFile(character.mesh)), character.mesh), "");
  ASSERT_TRUE(scene.HasRig());
  // At rest, then at whole and between frames of the skill.
  ExpectSame(Drawn(scene, 0), Posed({character.mesh}, character.dir.path("rest.obj")), "rest");
  const auto skills = scene.FindSkills();
  ASSERT_EQ(skills.size(), 2u);
  ASSERT_EQ(skills.front().name, "tiny-nod");
  ASSERT_EQ(scene.SelectSkill(skills.front()), "");
  for (const int frame : {0, 1, 2}) {
    const std::string out = character.dir.path("frame" + std::to_string(frame) + ".obj");
    ExpectSame(Drawn(scene, frame),
               Posed({"--animation", character.skill_file + ":tiny-nod", "--frame", std::to_string(frame),
                      character.mesh},
                     out),
               out.c_str());
  }
}

TEST_F(CharacterViewTest, RossWalkingMatchesPoseAtFrameTen) {
  const std::filesystem::path real = std::filesystem::path(MERVANE_SHARED_REAL) / "ross";
  if (!std::filesystem::exists(real)) GTEST_SKIP() << "no ../shared/real/ross: the game's files are not here";
  const std::string body = (real / "xskin-b002mafit_01-PELVIS-BODY.skn").string();
  CharacterScene scene;
  EXPECT_EQ(scene.SetModel(test::ReadSknText(test::ReadFile(body)), body), "");
  ASSERT_EQ(scene.AddPart((real / "C001MA_Ross.cmx").string()), "");
  ASSERT_EQ(scene.AddPart((real / "HMLO.cmx").string()), "");
  ASSERT_EQ(scene.AddPart((real / "HMRO.cmx").string()), "");
  bool found = false;
  for (const SkillEntry& skill : scene.FindSkills())
    if (skill.name == "a2o-walking-loop") found = scene.SelectSkill(skill).empty();
  ASSERT_TRUE(found);
  test::TempDir out;
  ExpectSame(Drawn(scene, 10),
             Posed({"--animation", (real / "ross-walking-loop.cmx").string() + ":a2o-walking-loop", "--frame", "10",
                    body, (real / "C001MA_Ross.cmx").string(), (real / "HMLO.cmx").string(),
                    (real / "HMRO.cmx").string()},
                   out.path("ross10.obj")),
             "ross frame 10");
}

}  // namespace
}  // namespace mervane
