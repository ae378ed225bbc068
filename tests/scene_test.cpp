// The character view's plain rules (the game's naming of bitmaps, heads and
// hands, the gaps between parts) and the scene it shows.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bmf/bmf.h"
#include "character/lookup.h"
#include "character/naming.h"
#include "character_files.h"
#include "formats/formats.h"
#include "model/paths.h"
#include "scene/character_scene.h"
#include "scene/picking.h"
#include "scene/seams.h"

namespace mervane {
namespace {

TEST(SceneNaming, ToneBitmapStems) {
  struct Case {
    const char *mesh, *texture;
    SkinTone tone;
    const char* stem;
  };
  const Case cases[] = {
      {"xskin-b002mafit_01-PELVIS-BODY", "b002mafitlgt_ross", SkinTone::Dark, "b002mafitdrk_ross"},
      {"xskin-b002mafit_01-PELVIS-BODY", "B002MAFitDrk_Ross", SkinTone::Medium, "B002MAFitmed_Ross"},
      {"xskin-c001ma_ross-HEAD-HEADB", "x", SkinTone::Medium, "c001mamed_ross"},
      {"xskin-hmlo-L_HAND-HANDML", "", SkinTone::Light, "hmlolgt"},
      {"xskin-a-b-c-HEAD-HEADB", "X", SkinTone::Dark, "a-b-cdrk"},  // dashes inside the suit's name
      {"cube", "mannequin_skin", SkinTone::Dark, "mannequin_skin"},   // no tone in it: kept
      {"xskin-hat-HEAD", "x", SkinTone::Light, "xskin-hat-HEADlgt"},  // no part: not a suit's name, kept whole
      // The tone is where the game puts it, not a word that holds the letters.
      {"xskin-b002mafit_01-PELVIS-BODY", "B002MAFitlgt_Medic", SkinTone::Dark, "B002MAFitdrk_Medic"},
      {"xskin-b002mafit_01-PELVIS-BODY", "lgtb002mafitmed_x", SkinTone::Dark, "lgtb002mafitdrk_x"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToneBitmapStem(c.mesh, c.texture, c.tone), c.stem) << c.mesh << " " << c.texture;
  EXPECT_EQ(ToneOf("B002MAFitdrk_Ross01"), SkinTone::Dark);
  EXPECT_EQ(ToneOf("mannequin"), std::nullopt);
  EXPECT_EQ(ToneOf("B002MAFitlgt_Medic"), SkinTone::Light);
  EXPECT_EQ(ToneOf("HMLOmed"), SkinTone::Medium);
}

TEST(SceneNaming, FindsBitmapsExactFirstThenByPrefix) {
  const std::vector<std::string> names{"B002MAFitdrk_Ross01.bmp", "C001MAlgt_Ross.bmp", "c001malgt_ross_old.bmp",
                                       "HMLOlgt.BMP", "hmlolgt.skn", "hmrolgt.skn"};
  struct Case {
    const char* stem;
    std::optional<std::string> found;
  };
  const Case cases[] = {
      {"b002mafitdrk_ross", "B002MAFitdrk_Ross01.bmp"},
      {"c001malgt_ross", "C001MAlgt_Ross.bmp"},
      {"hmlolgt", "HMLOlgt.BMP"},
      {"b002mafitmed_ross", std::nullopt},
      {"hmrolgt", std::nullopt},  // a mesh of that name is no bitmap
  };
  for (const Case& c : cases) EXPECT_EQ(FindBitmap(names, c.stem), c.found) << c.stem;
}

// The game pairs every bitmap of a suit's prefix with it: a mesh whose
// texture is "x", or names a bitmap that is not there, still shows.
TEST(SceneNaming, OffersEveryBitmapTheGamePairsWithAMesh) {
  const std::vector<std::string> names{"B002MAFitlgt_Ross.bmp",  "b002mafitlgt_biker.BMP", "B002MAFitdrk_Ross01.bmp",
                                       "B002MAFatlgt_Big.bmp",   "B003MAFitlgt_Other.bmp", "B002MAFitlgt_ROSS.bmp",
                                       "B002FCChdlgt_Girl.bmp",  "B002MCChdlgt_Boy.bmp",   "C001MAlgt_Ross.bmp",
                                       "HMLOlgt.bmp",            "HMROlgt.bmp",            "B002MAFitlgt_Ross.cmx"};
  struct Case {
    const char* mesh;
    const char* texture;
    SkinTone tone;
    std::vector<std::string> choices;
  };
  const Case cases[] = {
      {"xskin-b002mafit_01-PELVIS-BODY", "x", SkinTone::Light, {"B002MAFitlgt_Ross.bmp", "b002mafitlgt_biker.BMP"}},
      {"xskin-b002mafit_01-PELVIS-BODY", "B002MAFitlgt_Biker", SkinTone::Light,
       {"b002mafitlgt_biker.BMP", "B002MAFitlgt_Ross.bmp"}},
      {"xskin-b002mafit_01-PELVIS-BODY", "b002mafitlgt_gone", SkinTone::Dark, {"B002MAFitdrk_Ross01.bmp"}},
      {"xskin-b002mafit_01-PELVIS-BODY", "x", SkinTone::Medium, {}},
      // A child's unisex suit wears a girl's and a boy's bitmaps.
      {"xskin-b002ucchd_01-PELVIS-BODY", "x", SkinTone::Light, {"B002FCChdlgt_Girl.bmp", "B002MCChdlgt_Boy.bmp"}},
      {"xskin-c001ma_ross-HEAD-HEADB", "x", SkinTone::Light, {"C001MAlgt_Ross.bmp"}},
      // A hand wears its own side's bitmap only.
      {"xskin-hmlo-L_HAND-HANDML", "x", SkinTone::Light, {"HMLOlgt.bmp"}},
      // A mesh of no suit of the game's: by the prefix of the bitmap it names.
      {"mybody", "B002MAFitlgt_Biker", SkinTone::Light, {"b002mafitlgt_biker.BMP", "B002MAFitlgt_Ross.bmp"}},
      {"mybody", "mine", SkinTone::Light, {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ToneBitmapChoices(names, c.mesh, c.texture, c.tone), c.choices) << c.mesh << " " << c.texture;

  // The last names no texture: it is nobody's.
  const std::vector<std::string> dark{"B002MAFitdrk_Ross01.bmp", "B002MAFitdrk_Biker.bmp", "HMLOdrk.bmp", "B002MAFitdrk_.bmp"};
  const struct {
    const char* texture;
    std::optional<std::size_t> found;
  } textures[] = {{"Ross", 0}, {"biker", 1}, {"Bikers", 1}, {"Ross01", 0}, {"HMLOdrk", 2}, {"Medic", std::nullopt}, {"", std::nullopt}};
  for (const auto& t : textures) EXPECT_EQ(FindTexture(dark, t.texture), t.found) << t.texture;
}

TEST(SceneNaming, OffersTheHeadAndHandsThatSuitABody) {
  const std::vector<std::string> folder{"adult-skeleton.cmx", "B002MAFit_01.cmx",  "c003fa_anna.cmx", "C002MA_Bob.cmx",
                                        "C001MA_Ross.cmx",    "HFLO.cmx",          "HMLO.cmx",        "HMRO.cmx",
                                        "xskin-hmro-R_HAND-HANDMR.skn", "xskin-C001MA_Ross-HEAD-HEADB.skn", "HULO.cmx"};
  struct Case {
    std::vector<std::string> body;
    Companions want;
  };
  const Case cases[] = {
      // The bitmap's "_ross" picks Ross's head over Bob's; suits before meshes.
      {{"xskin-b002mafit_01-PELVIS-BODY", "b002mafitlgt_ross"}, {"C001MA_Ross.cmx", "HMLO.cmx", "HMRO.cmx"}},
      // No name of the Sim: the first head of that gender and age.
      {{"B002MAFit_01.cmx"}, {"C002MA_Bob.cmx", "HMLO.cmx", "HMRO.cmx"}},
      {{"b005fafat_01"}, {"c003fa_anna.cmx", "HFLO.cmx", ""}},
      // A child wears the unisex hands, else those of its gender.
      {{"b001mcchd_01"}, {"", "HULO.cmx", "HMRO.cmx"}},
      {{"mannequin"}, {}},
      {{"b005mtfit_01"}, {}},  // an age the game has no skeleton for
  };
  for (const Case& c : cases) {
    const Companions got = FindCompanions(folder, c.body);
    EXPECT_EQ(got.head, c.want.head) << c.body.front();
    EXPECT_EQ(got.left_hand, c.want.left_hand) << c.body.front();
    EXPECT_EQ(got.right_hand, c.want.right_hand) << c.body.front();
  }
}

// What a mesh dresses, by its suit's name: hands by side, heads and bodies by their kind letter.
TEST(SceneNaming, APartIsTheHeadBodyOrHandItsSuitNames) {
  const std::pair<const char*, std::optional<SimPart>> rows[] = {
      {"xskin-hmlo-L_HAND-HANDML", SimPart::LeftHand}, {"xskin-hfrc-R_HAND-HANDFR", SimPart::RightHand},
      {"xskin-c001ma_ross-HEAD-HEADB", SimPart::Head}, {"xskin-b002mafit_01-PELVIS-BODY", SimPart::Body},
      {"xskin-hats-HEAD-HAT", std::nullopt},           {"xskin-b002mtfit_01-PELVIS-BODY", std::nullopt},
  };
  for (const auto& [mesh, part] : rows) EXPECT_EQ(SimPartOf(mesh), part) << mesh;
  // A suit named without a Sim's name has none.
  EXPECT_EQ(ParseOutfitName("B002MAFit.cmx")->name, "");
  // A hand's bitmap ends at its tone: one with more after it is no hand's.
  EXPECT_EQ(PairingKey("HMLOlgt.bmp"), "hmao");
  EXPECT_EQ(PairingKey("HMLOlgt_Old.bmp"), "");
}

// Two unit squares side by side, each of two triangles, split along x = 1
// into a left part and a right part moved by gap; the left square's
// corner 2 is doubled as 4 (a texture seam along its diagonal).
struct TwoSquares {
  std::vector<Point3> left{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {1, 1, 0}};
  std::vector<Triangle> left_faces{{0, 1, 2}, {0, 4, 3}};
  std::vector<Point3> right;
  std::vector<Triangle> right_faces{{0, 1, 2}, {0, 2, 3}};
  explicit TwoSquares(float gap) : right{{1 + gap, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1 + gap, 1, 0}} {}
  std::vector<SeamPart> Parts() const { return {{left, left_faces}, {right, right_faces}}; }
};

// A ray from the camera picks the triangle nearest it, from either side,
// and nothing behind it, beside it or along its plane.
TEST(ScenePicking, FirstHitIsTheNearestTriangleInFront) {
  const std::vector<Vec3> places{{0, 0, -1}, {1, 0, -1}, {0, 1, -1}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  // The far triangle first, then one naming a vertex that is not there.
  const std::vector<std::array<int, 3>> triangles{{0, 1, 2}, {3, 4, 99}, {3, 4, 5}};
  const struct {
    const char* name;
    Vec3 origin, direction;
    std::optional<int> triangle;
    double distance;
  } cases[] = {
      {"from the front: the near one", {0.2, 0.2, 5}, {0, 0, -2}, 2, 2.5},
      {"from behind: the far one", {0.2, 0.2, -5}, {0, 0, 1}, 0, 4},
      {"slanted, through a corner", {1, 0, 1}, {0, 0, -1}, 2, 1},
      {"pointing away", {0.2, 0.2, 5}, {0, 0, 1}, std::nullopt, 0},
      {"beside them", {0.8, 0.8, 5}, {0, 0, -1}, std::nullopt, 0},
      {"along the near one's plane", {-1, 0.2, 0}, {1, 0, 0}, std::nullopt, 0},
      {"no direction", {0.2, 0.2, 5}, {0, 0, 0}, std::nullopt, 0},
  };
  for (const auto& c : cases) {
    const auto hit = FirstHit(places, triangles, c.origin, c.direction);
    ASSERT_EQ(hit.has_value(), c.triangle.has_value()) << c.name;
    if (!hit) continue;
    EXPECT_EQ(hit->triangle, *c.triangle) << c.name;
    EXPECT_NEAR(hit->distance, c.distance, 1e-9) << c.name;
  }
}

TEST(SceneSeams, OpenEdgesWeldTwinVertices) {
  const TwoSquares squares(0);
  // The diagonal is inside the square although its two triangles name
  // different vertices; every corner, twins included, is on the outline.
  EXPECT_EQ(OpenEdgeVertices(squares.Parts()[0]), (std::vector<int>{0, 1, 2, 3, 4}));
  // A closed tetrahedron has no border, nor does a face naming a corner
  // not there or one twice.
  const std::vector<Point3> tet{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const std::vector<Triangle> faces{{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}, {7, 0, 1}, {0, 0, 1}};
  EXPECT_TRUE(OpenEdgeVertices({tet, faces}).empty());
  // Nor when one face names a twin of a corner (a texture split), as the game's meshes do.
  std::vector<Point3> split = tet;
  split.push_back(tet[3]);
  const std::vector<Triangle> split_faces{{0, 2, 1}, {0, 1, 3}, {0, 4, 2}, {1, 2, 3}};
  EXPECT_TRUE(OpenEdgeVertices({split, split_faces}).empty());
}

TEST(SceneSeams, MarksOnlyOpenEdgesFartherThanTheDistance) {
  struct Case {
    float gap, distance;
    std::vector<int> left, right;
  };
  const Case cases[] = {
      // Touching: only the outer corners of each square have no partner.
      {0.0f, 0.01f, {0, 3}, {1, 2}},
      {0.005f, 0.01f, {0, 3}, {1, 2}},
      // A distance of 0 still lets edges that meet exactly close the seam.
      {0.0f, 0.0f, {0, 3}, {1, 2}},
      // Gaping: the shared side is marked on both parts.
      {0.05f, 0.01f, {0, 1, 2, 3, 4}, {0, 1, 2, 3}},
      {0.05f, 0.1f, {0, 3}, {1, 2}},
  };
  for (const Case& c : cases) {
    const TwoSquares squares(c.gap);
    const auto parts = squares.Parts();
    const auto gaps = SeamGaps(parts, c.distance);
    ASSERT_EQ(gaps.size(), 2u);
    EXPECT_EQ(gaps[0], c.left) << c.gap << " " << c.distance;
    EXPECT_EQ(gaps[1], c.right) << c.gap << " " << c.distance;
  }
  // Against every pair compared: loose triangles (all their corners open)
  // scattered across grid cells in every direction.
  std::mt19937 random(11);
  std::uniform_real_distribution<float> place(-0.5f, 0.5f);
  std::vector<std::vector<Point3>> points(2);
  std::vector<std::vector<Triangle>> faces(2);
  for (int part = 0; part < 2; ++part)
    for (int t = 0; t < 300; ++t) {
      const int base = static_cast<int>(points[part].size());
      for (int k = 0; k < 3; ++k) points[part].push_back({place(random), place(random), place(random)});
      faces[part].push_back({base, base + 1, base + 2});
    }
  const float distance = 0.08f;
  const std::vector<SeamPart> scattered{{points[0], faces[0]}, {points[1], faces[1]}};
  const auto gaps = SeamGaps(scattered, distance);
  for (int part = 0; part < 2; ++part) {
    std::vector<int> expected;
    for (int v = 0; v < static_cast<int>(points[part].size()); ++v) {
      bool near = false;
      for (const Point3& q : points[1 - part]) {
        const Point3& p = points[part][static_cast<std::size_t>(v)];
        const float x = p[0] - q[0], y = p[1] - q[1], z = p[2] - q[2];
        near = near || x * x + y * y + z * z <= distance * distance;
      }
      if (!near) expected.push_back(v);
    }
    EXPECT_EQ(gaps[static_cast<std::size_t>(part)], expected) << "part " << part;
  }
}

}  // namespace
}  // namespace mervane

namespace mervane {
namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

CharacterScene SceneOf(const test::SmallCharacter& character) {
  CharacterScene scene;
  EXPECT_EQ(scene.SetModel(test::ReadSknText(test::ReadFile(character.mesh)), character.mesh), "");
  EXPECT_TRUE(scene.HasRig());
  return scene;
}

// A child's body stands on the child skeleton and an adult's on the adult
// one, as their names say, until the user picks a skeleton for the model.
// A file opens in the pose its geometry is edited in: a project and an
// imported .obj as the modeller holds them, the game's files and glTF on
// the skeleton.
TEST(CharacterScene, EachFileOpensInThePoseItIsEditedIn) {
  const std::pair<const char*, ViewPose> rows[] = {
      {"a/body.spj", ViewPose::Modelling}, {"BODY.SPJ", ViewPose::Modelling}, {"hat.OBJ", ViewPose::Modelling},
      {"body.skn", ViewPose::Game},        {"body.bmf", ViewPose::Game},       {"sim.glb", ViewPose::Game},
      {"sim.gltf", ViewPose::Game},        {"B002MAFit_01.cmx", ViewPose::Game}, {"far.far/body.bmf", ViewPose::Game},
  };
  for (const auto& [path, pose] : rows) EXPECT_EQ(OpeningPose(path), pose) << path;
}

TEST(CharacterScene, TheSkeletonFollowsThePartsAgeUntilTheUserPicksOne) {
  const test::SmallCharacter character;
  CharacterFile child = ReadCharacterFile(character.dir.path("adult-skeleton.cmx"));
  child.skeletons.front().name = "child";
  test::WriteFile(character.dir.path("child-skeleton.cmx"), CmxText(child));
  const std::string kid = character.dir.path("xskin-b001ucchd_kid-PELVIS-BODY.skn");
  test::WriteFile(kid, test::SmallSkn("xskin-b001ucchd_kid-PELVIS-BODY", "x"));
  const SkinModel adult_body = test::ReadSknText(test::ReadFile(character.mesh));
  const SkinModel kid_body = ReadMeshFile(kid);

  CharacterScene scene = SceneOf(character);
  auto skeleton = [&] { return scene.HasRig() ? scene.rig().name : std::string("none"); };
  const struct {
    const char* step;
    std::function<void()> act;
    const char* name;
  } steps[] = {
      {"an adult body", [] {}, "adult"},
      {"a child body opened", [&] { scene.SetModel(kid_body, kid); }, "child"},
      {"Adult picked", [&] { scene.UseSkeleton(SkeletonKind::Adult); }, "adult"},
      {"looked for again", [&] { scene.FindSkeletonAgain(); }, "adult"},  // the pick holds
      {"a part added to the pick", [&] { scene.AddPart(kid); }, "adult"},
      {"the child opened again", [&] { scene.SetModel(kid_body, kid); }, "child"},
      {"an adult part added to it", [&] { scene.AddPart(character.mesh); }, "adult"},  // the pick was the last model's
      {"an adult opened", [&] { scene.SetModel(adult_body, character.mesh); }, "adult"},
  };
  for (const auto& s : steps) {
    s.act();
    EXPECT_EQ(skeleton(), s.name) << s.step;
  }
  // A model where no skeleton is: a part from a folder that has one brings it in.
  const test::TempDir bare;
  const std::string lone = bare.path("xskin-b001mafit_test-PELVIS-BODY.skn");
  test::WriteFile(lone, test::ReadFile(character.mesh));
  CharacterScene alone;
  EXPECT_TRUE(Has(alone.SetModel(ReadMeshFile(lone), lone), "No adult-skeleton.cmx beside the parts"));
  EXPECT_EQ(alone.SelectSkill({"tiny-nod", character.skill_file, 0, "tiny-nod", ""}), "No skeleton to play tiny-nod on");
  CharacterScene in_game;
  in_game.SetGame([](std::string_view) { return std::optional<std::string>(); }, {}, {});
  EXPECT_TRUE(Has(in_game.SetModel(ReadMeshFile(lone), lone), "No adult-skeleton.cmx beside the parts or in the game folder: choose"));
  // One that does not read is the line, and no skeleton is used.
  const test::TempDir broken;
  test::WriteFile(broken.path("adult-skeleton.cmx"), "garbage");
  const std::string on_broken = broken.path("xskin-b001mafit_test-PELVIS-BODY.skn");
  test::WriteFile(on_broken, test::ReadFile(character.mesh));
  CharacterScene unreadable;
  EXPECT_TRUE(Has(unreadable.SetModel(ReadMeshFile(on_broken), on_broken), "adult-skeleton.cmx line"));
  EXPECT_FALSE(unreadable.HasRig());
  alone.AddPart(character.mesh);
  EXPECT_TRUE(alone.HasRig());
}

// Whatever cannot be had is a line and a mark on its part; the rest stays.
TEST(CharacterScene, FailuresMarkThePartAndTheRestStays) {
  const test::SmallCharacter character;
  character.AddSuit("c001ma_test", "xskin-c001ma_test-HEAD-HEADB", "HEAD");
  character.AddSuit("hmlo", "xskin-hmlo-L_HAND-HANDML", "L_HAND");  // a bone the skeleton lacks
  test::WriteFile(character.dir.path("broken.skn"), "broken\r\nx\r\n7\r\n");
  test::WriteFile(character.dir.path("broken.cmx"), "garbage");
  test::WriteFile(character.dir.path("twin.bmf"), BmfBytes(ReadMeshFile(character.mesh)));
  // A glTF of two meshes: the body and a copy of it.
  std::vector<SkinModel> two{ReadMeshFile(character.mesh), ReadMeshFile(character.mesh)};
  two[1].MeshName = "copy";
  const std::string glb = character.dir.path("two.glb");
  test::WriteFile(glb, FormatOf(glb)->rigged->render(two, glb, {}).files.front().bytes);
  Suit lost{"lost", 0, {}, {{"HEAD", "xskin-nowhere-HEAD-HEADB", 0, {}}}};
  test::WriteFile(character.dir.path("lost.cmx"), CmxText({{}, {lost}, {}}));
  struct Case {
    const char* file;
    const char* said;     // in the status line
    bool drawn;           // the part added is dressed
  };
  const Case cases[] = {
      {"c001ma_test.cmx", "", true},
      {"hmlo.cmx", "L_HAND", false},
      {"broken.skn", "broken.skn", false},
      {"broken.cmx", "broken.cmx line", false},
      {"twin.bmf", "", true},
      {"lost.cmx", "xskin-nowhere-HEAD-HEADB", false},
      {"two.glb", "", true},
      {"notes.txt", "a part is a .skn, .bmf, .glb, .gltf, .cmx or .bcf file", false},
      {"tiny-skills.cmx", "tiny-skills.cmx holds no suit (its skills are listed under Animation)", false},
  };
  for (const Case& c : cases) {
    CharacterScene scene = SceneOf(character);
    const std::string status = scene.AddPart(character.dir.path(c.file));
    EXPECT_TRUE(*c.said ? Has(status, c.said) : status.empty()) << c.file << ": " << status;
    ASSERT_TRUE(scene.parts().front().dressed) << c.file;
    if (scene.parts().size() > 1) {
      EXPECT_EQ(scene.parts().back().dressed.has_value(), c.drawn) << c.file;
      EXPECT_EQ(scene.parts().back().problem.empty(), c.drawn) << c.file;
    }
  }
  // A file's own failure names it once; a suit's part is named by its label.
  for (const auto& [file, start] : {std::pair{"broken.skn", "broken.skn line"}, {"lost.cmx", "lost: xskin-nowhere-HEAD-HEADB: "}}) {
    const std::string status = SceneOf(character).AddPart(character.dir.path(file));
    EXPECT_TRUE(status.starts_with(start)) << status;
  }
  // Picking the skeleton again names a part it cannot dress.
  {
    CharacterScene scene = SceneOf(character);
    scene.AddPart(character.dir.path("hmlo.cmx"));
    EXPECT_TRUE(Has(scene.UseSkeleton(SkeletonKind::Adult), "has no bone L_HAND"));
  }
  // A skeleton added as a part is the skeleton.
  {
    CharacterScene scene = SceneOf(character);
    EXPECT_EQ(scene.AddPart(character.dir.path("adult-skeleton.cmx")), "");
    EXPECT_EQ(scene.skeleton_kind(), SkeletonKind::File);
    EXPECT_EQ(scene.parts().size(), 1u);
  }
  // Opened as the model, a glTF's other meshes come in beside it.
  {
    CharacterScene scene = SceneOf(character);
    EXPECT_EQ(scene.AddPart(glb), "");
    EXPECT_EQ(scene.parts().size(), 3u);
    EXPECT_EQ(scene.Reload({glb}, nullptr), "");  // saved again, it is not read as a skin
    scene = SceneOf(character);
    EXPECT_EQ(scene.AddPart(glb, two[0].MeshName), "");
    ASSERT_EQ(scene.parts().size(), 2u);
    EXPECT_EQ(scene.parts().back().label, "two.glb: copy");
  }
  // A skill whose frames are missing leaves the rest pose and names the file.
  CharacterScene scene = SceneOf(character);
  const auto skills = scene.FindSkills();
  ASSERT_EQ(skills.size(), 2u);
  EXPECT_TRUE(Has(scene.SelectSkill(skills[1]), "tiny-lost.cfp"));
  EXPECT_FALSE(scene.animation());
  EXPECT_EQ(scene.SelectSkill(skills[0]), "");
  EXPECT_EQ(scene.frame_count(), 3);
}

TEST(CharacterScene, TonePicksBitmapsByNameButKeepsTheUsersChoice) {
  const test::SmallCharacter character;
  for (const char* name : {"b001mafitdrk_test01.bmp", "mine.bmp"})
    test::WriteFile(character.dir.path(name), "BM");
  CharacterScene scene = SceneOf(character);
  auto bitmap = [&] { return FileNameOf(scene.parts().front().bitmap); };
  EXPECT_EQ(scene.tone(), SkinTone::Light);  // as the model's own texture
  EXPECT_EQ(bitmap(), "b001mafitlgt_test.bmp");
  EXPECT_EQ(scene.SetTone(SkinTone::Dark), "");
  EXPECT_EQ(bitmap(), "b001mafitdrk_test01.bmp");
  EXPECT_TRUE(Has(scene.SetTone(SkinTone::Medium), "b001mafitmed_test.bmp"));
  EXPECT_EQ(scene.ChooseTexture(0, "test"), FileNameOf(character.mesh) + ": no bitmap b001mafitmed_test.bmp beside it");
  EXPECT_EQ(bitmap(), "");
  scene.ChooseBitmap(0, character.dir.path("mine.bmp"));
  EXPECT_EQ(scene.SetTone(SkinTone::Light), "");
  EXPECT_EQ(bitmap(), "mine.bmp");
  // The user's tone outlasts the model: the next one opens in it.
  scene.SetTone(SkinTone::Dark);
  scene.SetModel(test::ReadSknText(test::ReadFile(character.mesh)), character.mesh);
  EXPECT_EQ(scene.tone(), SkinTone::Dark);
  EXPECT_EQ(bitmap(), "b001mafitdrk_test01.bmp");
  // Until the user picks one, a model opens in the tone its texture names.
  CharacterScene dark;
  dark.SetModel(test::ReadSknText(test::SmallSkn("xskin-b001mafit_test-PELVIS-BODY", "b001mafitdrk_test01")), character.mesh);
  EXPECT_EQ(dark.tone(), SkinTone::Dark);
}

TEST(CharacterScene, OffersTheTexturesOfItsPrefixAndKeepsThePickAcrossTones) {
  const test::SmallCharacter character;
  for (const char* name : {"b001mafitlgt_zed.bmp", "b001mafitdrk_zed02.bmp", "b001mafitdrk_test01.bmp", "mine.bmp"})
    test::WriteFile(character.dir.path(name), "BM");
  CharacterScene scene = SceneOf(character);
  // One more only inside the game's archives.
  scene.SetGame(
      [](std::string_view name) -> std::optional<std::string> {
        if (ToLowerAscii(name) == "b001mafitlgt_arc.bmp") return "game.far/B001MAFitlgt_Arc.bmp";
        return std::nullopt;
      },
      {"B001MAFitlgt_Arc.bmp", "B001MAFat_01.cmx"}, {});
  scene.SetTone(SkinTone::Light);
  const ScenePart& part = scene.parts().front();
  EXPECT_EQ(part.textures, (std::vector<std::string>{"test", "zed", "Arc"}));
  EXPECT_EQ(FileNameOf(part.bitmap), "b001mafitlgt_test.bmp");

  const struct {
    const char* pick;  // empty: a tone only
    SkinTone tone;
    const char* bitmap;
  } steps[] = {
      {"zed", SkinTone::Light, "b001mafitlgt_zed.bmp"},   {"", SkinTone::Dark, "b001mafitdrk_zed02.bmp"},
      {"Arc", SkinTone::Dark, "b001mafitdrk_test01.bmp"},  // not in dark: the tone's first
      {"", SkinTone::Light, "B001MAFitlgt_Arc.bmp"},       // the pick is kept
  };
  for (const auto& step : steps) {
    if (*step.pick) {
      EXPECT_EQ(scene.ChooseTexture(0, step.pick), "") << step.pick;
    }
    scene.SetTone(step.tone);
    EXPECT_EQ(FileNameOf(part.bitmap), step.bitmap) << step.pick;
  }
  EXPECT_EQ(part.bitmap, "game.far/B001MAFitlgt_Arc.bmp");
  // A texture picked after a bitmap of the user's own takes its place.
  scene.ChooseBitmap(0, character.dir.path("mine.bmp"));
  EXPECT_EQ(part.textures.size(), 3u);
  scene.ChooseTexture(0, "zed");
  EXPECT_EQ(FileNameOf(part.bitmap), "b001mafitlgt_zed.bmp");
}

TEST(CharacterScene, OffersTheHeadAndHandsUntilTheyAreShown) {
  const test::SmallCharacter character;
  character.AddSuit("c001ma_test", "xskin-c001ma_test-HEAD-HEADB", "HEAD");
  character.AddSuit("c000ma_aaa", "xskin-c000ma_aaa-HEAD-HEADB", "HEAD");  // first, but the body's bitmap names "test"
  character.AddSuit("hmlo", "xskin-hmlo-L_HAND-HANDML", "L_HAND");
  character.AddSuit("hmro", "xskin-hmro-R_HAND-HANDMR", "R_HAND");
  // A body whose own name is its suit's number: only its bitmap names the Sim.
  CharacterScene scene;
  scene.SetModel(test::ReadSknText(test::SmallSkn("xskin-b001mafit_01-PELVIS-BODY", "b001mafitlgt_test")), character.mesh);
  const auto offer = scene.Offer();
  ASSERT_TRUE(offer);
  EXPECT_EQ(FileNameOf(offer->head), "c001ma_test.cmx");
  EXPECT_EQ(FileNameOf(offer->left_hand), "hmlo.cmx");
  EXPECT_EQ(FileNameOf(offer->right_hand), "hmro.cmx");
  // Either shown alone, the other is still offered; both shown, nothing is.
  const struct {
    std::vector<std::string> shown;
    const char* head;
    const char* hand;
    const char* right;
  } cases[] = {{{offer->head}, "", "hmlo.cmx", "hmro.cmx"},
               {{offer->left_hand, offer->right_hand}, "c001ma_test.cmx", "", ""},
               {{offer->head, offer->left_hand}, "", "", "hmro.cmx"}};
  for (const auto& c : cases) {
    CharacterScene partly = SceneOf(character);
    for (const std::string& part : c.shown) partly.AddPart(part);
    const auto rest = partly.Offer();
    ASSERT_TRUE(rest) << c.head << c.hand;
    EXPECT_EQ(FileNameOf(rest->head), c.head);
    EXPECT_EQ(FileNameOf(rest->left_hand), c.hand);
    EXPECT_EQ(FileNameOf(rest->right_hand), c.right);
  }
  scene.AddPart(offer->head);
  scene.AddPart(offer->left_hand);
  scene.AddPart(offer->right_hand);
  EXPECT_FALSE(scene.Offer());
}

// A child's unisex body wears a girl's or a boy's head: one shown is not
// offered to be replaced, while an adult's head is.
TEST(CharacterScene, AUnisexChildBodyKeepsAGirlsOrBoysHead) {
  const test::SmallCharacter character;
  character.AddSuit("b003ucchd_kid", "xskin-b003ucchd_kid-PELVIS-BODY", "PELVIS");
  character.AddSuit("c005uc_kid", "xskin-c005uc_kid-HEAD-HEAD", "HEAD");
  character.AddSuit("c004fc_girl", "xskin-c004fc_girl-HEAD-HEAD", "HEAD");
  character.AddSuit("c006ma_man", "xskin-c006ma_man-HEAD-HEAD", "HEAD");
  const struct {
    const char* head;
    const char* offered;
  } cases[] = {{"c004fc_girl.cmx", ""}, {"c006ma_man.cmx", "c005uc_kid.cmx"}};
  for (const auto& c : cases) {
    CharacterScene scene = SceneOf(character);
    scene.AddPart(character.dir.path("b003ucchd_kid.cmx"));
    scene.AddPart(character.dir.path(c.head));
    const auto offer = scene.Offer();
    EXPECT_EQ(offer ? FileNameOf(offer->head) : "", c.offered) << c.head;
  }
}

// One part of each kind is shown: a new head, body or hand replaces the
// one before (the model is hidden instead), and the head and hands offered
// follow the body shown.
TEST(CharacterScene, APartReplacesTheOneOfItsKind) {
  const test::SmallCharacter character;
  character.AddSuit("c001ma_test", "xskin-c001ma_test-HEAD-HEADA", "HEAD");
  character.AddSuit("c002ma_other", "xskin-c002ma_other-HEAD-HEADB", "HEAD");
  character.AddSuit("b002fafit_her", "xskin-b002fafit_her-PELVIS-BODY", "HEAD");
  character.AddSuit("c003fa_her", "xskin-c003fa_her-HEAD-HEAD", "HEAD");
  for (const char* hand : {"hmlo", "hmro", "hflo", "hfro"})
    character.AddSuit(hand, std::string("xskin-") + hand + "-HEAD-HAND", "HEAD");
  CharacterScene scene = SceneOf(character);
  auto shown = [&] {
    std::string names;
    for (const ScenePart& part : scene.parts())
      if (part.shown && part.mesh) names += ToLowerAscii(SuitNameOfMesh(part.mesh->name)) + " ";
    return names;
  };
  auto offered = [&] {
    const auto offer = scene.Offer();
    if (!offer) return std::string("none");
    return FileNameOf(offer->head) + "|" + FileNameOf(offer->left_hand) + "|" + FileNameOf(offer->right_hand);
  };
  auto add = [&](const char* file) { return [&scene, &character, file] { scene.AddPart(character.dir.path(file)); }; };
  auto index_of = [&](const std::function<bool(const ScenePart&)>& which) {
    return static_cast<int>(std::find_if(scene.parts().begin(), scene.parts().end(), which) - scene.parts().begin());
  };
  const SkinModel head_a = ReadMeshFile(character.dir.path("xskin-c001ma_test-HEAD-HEADA.skn"));
  const struct {
    const char* step;
    std::function<void()> act;
    const char* shown;
    const char* offered;
  } steps[] = {
      {"head A", add("c001ma_test.cmx"), "b001mafit_test c001ma_test ", "|hmlo.cmx|hmro.cmx"},
      {"head B", add("c002ma_other.cmx"), "b001mafit_test c002ma_other ", "|hmlo.cmx|hmro.cmx"},
      {"head B again", add("c002ma_other.cmx"), "b001mafit_test c002ma_other ", "|hmlo.cmx|hmro.cmx"},
      {"the hands", [&] { for (const char* f : {"hmlo.cmx", "hmro.cmx"}) add(f)(); }, "b001mafit_test c002ma_other hmlo hmro ", "none"},
      {"a woman's body", add("b002fafit_her.cmx"), "c002ma_other hmlo hmro b002fafit_her ",
       "c003fa_her.cmx|hflo.cmx|hfro.cmx"},
      {"her head and hands", [&] { for (const char* f : {"c003fa_her.cmx", "hflo.cmx", "hfro.cmx"}) add(f)(); },
       "b002fafit_her c003fa_her hflo hfro ", "none"},
      {"head A opened as the model", [&] { scene.SetModel(head_a, character.dir.path("xskin-c001ma_test-HEAD-HEADA.skn")); },
       "c001ma_test b002fafit_her hflo hfro ", "c003fa_her.cmx||"},
      // The model is not a part to remove; another is.
      {"the model removed", [&] { scene.RemovePart(index_of([](const ScenePart& p) { return p.is_model; })); },
       "c001ma_test b002fafit_her hflo hfro ", "c003fa_her.cmx||"},
      {"a hand removed", [&] { scene.RemovePart(index_of([](const ScenePart& p) { return p.mesh && SuitNameOfMesh(p.mesh->name) == "hfro"; })); },
       "c001ma_test b002fafit_her hflo ", "c003fa_her.cmx||hfro.cmx"},
      {"no part before the first or past the last", [&] { for (int k : {-1, static_cast<int>(scene.parts().size())}) scene.RemovePart(k); },
       "c001ma_test b002fafit_her hflo ", "c003fa_her.cmx||hfro.cmx"},
  };
  for (const auto& s : steps) {
    s.act();
    EXPECT_EQ(shown(), s.shown) << s.step;
    EXPECT_EQ(offered(), s.offered) << s.step;
  }
  EXPECT_EQ(scene.parts().size(), 3u);
}

// Files saved again by another program come back in; one that does not read
// keeps what it gave before and is the line; the skill and its frame stay.
TEST(CharacterScene, ReloadReadsTheChangedFilesAndKeepsTheLastGoodOnes) {
  const test::SmallCharacter character;
  CharacterScene scene = SceneOf(character);
  ASSERT_EQ(scene.AddPart(character.mesh), "");
  ASSERT_EQ(scene.SelectSkill(scene.FindSkills().front()), "");
  scene.SetFrame(1.5);
  const std::string skeleton = scene.skeleton_file();
  const std::string good_skeleton = test::ReadFile(skeleton), good_skills = test::ReadFile(character.skill_file);
  const std::string name = "xskin-b001mafit_test-PELVIS-BODY";
  const SkinModel renamed = test::ReadSknText(test::SmallSkn(name, "from_memory"));
  const struct {
    const char* step;
    std::string file, bytes;  // written, then reloaded
    const SkinModel* model;
    const char* said;     // in the line; empty: none
    const char* texture;  // of the part added, then of the model
    const char* model_texture;
  } steps[] = {
      {"the part saved again", character.mesh, test::SmallSkn(name, "painted"), nullptr, "", "painted", "b001mafitlgt_test"},
      {"the part broken", character.mesh, "broken\r\nx\r\n7\r\n", nullptr, "PELVIS-BODY", "painted", "b001mafitlgt_test"},
      {"the skeleton broken", skeleton, "garbage", nullptr, "adult-skeleton.cmx", "painted", "b001mafitlgt_test"},
      {"the skeleton whole again", skeleton, good_skeleton, nullptr, "", "painted", "b001mafitlgt_test"},
      {"the skill gone from its file", character.skill_file, CmxText({{}, {}, {}}), nullptr, "tiny-skills.cmx no longer holds tiny-nod",
       "painted", "b001mafitlgt_test"},
      {"the skill back", character.skill_file, good_skills, nullptr, "", "painted", "b001mafitlgt_test"},
      {"the model given", "", "", &renamed, "", "painted", "from_memory"},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.step);
    if (!s.file.empty()) test::WriteFile(s.file, s.bytes);
    const std::string line = scene.Reload({s.file}, s.model);
    EXPECT_TRUE(*s.said ? Has(line, s.said) : line.empty()) << line;
    ASSERT_EQ(scene.parts().size(), 2u);
    ASSERT_TRUE(scene.parts()[1].mesh && scene.parts()[0].mesh);
    EXPECT_EQ(scene.parts()[1].mesh->texture, s.texture);
    EXPECT_EQ(scene.parts()[0].mesh->texture, s.model_texture);
    EXPECT_TRUE(scene.parts()[0].dressed && scene.parts()[1].dressed);
    EXPECT_TRUE(scene.HasRig());
    EXPECT_EQ(scene.frame_count(), 3);
    EXPECT_EQ(scene.frame(), 1.5);
  }
}

TEST(CharacterScene, SeamsAreTheBordersNoShownPartMeets) {
  const test::SmallCharacter character;
  CharacterScene scene = SceneOf(character);
  // A twin of the skin meets its whole border, at rest and at a frame.
  EXPECT_EQ(scene.AddPart(character.mesh), "");
  scene.SetShown(0, true);  // the twin, a body, hid the model
  EXPECT_TRUE(scene.SeamGapPoints(0.01f).empty());
  ASSERT_EQ(scene.SelectSkill(scene.FindSkills().front()), "");
  scene.SetFrame(1.5);
  EXPECT_TRUE(scene.SeamGapPoints(0.01f).empty());
  // Hidden, it meets nothing: the skin's four border vertices gape.
  scene.SetShown(1, false);
  EXPECT_EQ(scene.SeamGapPoints(0.01f).size(), 4u);
  scene.SetShown(0, false);
  EXPECT_TRUE(scene.SeamGapPoints(0.01f).empty());
}

// A texture template draws the model with the shown, readable parts that
// wear its bitmap; the other shown parts are only counted.
TEST(CharacterScene, TheTemplateTakesTheShownPartsThatWearTheModelsBitmap) {
  auto part = [](bool is_model, bool shown, const char* bitmap, bool readable = true) {
    ScenePart p;
    p.is_model = is_model;
    p.shown = shown;
    p.bitmap = bitmap;
    if (readable) p.mesh = SkinMesh{};
    return p;
  };
  const struct {
    const char* name;
    std::vector<ScenePart> parts;
    std::vector<std::size_t> with_model;
    int elsewhere;
  } cases[] = {
      {"one shares it, one not", {part(true, true, "a.bmp"), part(false, true, "a.bmp"), part(false, true, "b.bmp")}, {1}, 1},
      {"hidden parts", {part(true, true, "a.bmp"), part(false, false, "a.bmp"), part(false, false, "b.bmp")}, {}, 0},
      {"an unreadable part", {part(true, true, "a.bmp"), part(false, true, "a.bmp", false)}, {}, 0},
      // Parts whose bitmap was not found do not share the model's missing one.
      {"the model wears none", {part(true, true, ""), part(false, true, ""), part(false, true, "b.bmp")}, {}, 2},
      {"no model", {part(false, true, ""), part(false, true, "a.bmp")}, {}, 2},
  };
  for (const auto& c : cases) {
    const TemplateParts got = TemplatePartsOf(c.parts);
    EXPECT_EQ(got.with_model, c.with_model) << c.name;
    EXPECT_EQ(got.elsewhere, c.elsewhere) << c.name;
  }
}

// The game folder gives what is not on disk: a part named where it is not,
// and the frames of the game's own skills.
TEST(CharacterScene, TheGameFolderGivesWhatIsNotOnDisk) {
  const test::SmallCharacter character;
  const test::TempDir game;
  const std::string head = game.path("xskin-c001ma_test-HEAD-HEADB.skn");
  test::WriteFile(head, test::SmallSkn("xskin-c001ma_test-HEAD-HEADB", "x"));
  const std::string body = ToLowerAscii(FileNameOf(character.mesh));
  CharacterScene scene = SceneOf(character);
  EXPECT_EQ(scene.FindGameFile("walk.cfp"), std::nullopt);  // no game folder yet
  // The game holds walk.cfp and a file of the body's name too.
  scene.SetGame(
      [&](std::string_view name) -> std::optional<std::string> {
        const std::string lower = ToLowerAscii(name);
        if (lower == "walk.cfp") return game.path("walk.cfp");
        if (lower == ToLowerAscii(FileNameOf(head)) || lower == body) return head;
        return std::nullopt;
      },
      {}, {{"walk", "game.far/walk.cmx", 0, "walk", ""}, {"run", "game.far/run.cmx", 1, "run", ""}});
  EXPECT_EQ(scene.FindGameFile("WALK.cfp"), game.path("walk.cfp"));
  const auto skills = scene.FindSkills();
  ASSERT_GE(skills.size(), 2u);
  EXPECT_EQ(skills[skills.size() - 2].missing, "");
  EXPECT_EQ(skills.back().missing, "its frames, run.cfp, are not beside it or in the game folder");
  const struct {
    std::string given, read;
  } parts[] = {{character.mesh, character.mesh}, {character.dir.path("xskin-c001ma_test-HEAD-HEADB.skn"), head}};
  for (const auto& p : parts) {
    scene.AddPart(p.given);
    EXPECT_EQ(scene.parts().back().source, p.read) << p.given;
  }
}

}  // namespace
}  // namespace mervane
