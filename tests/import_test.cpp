#include <gtest/gtest.h>

#include "import/obj_import.h"
#include "model/failure.h"
#include "project/project.h"
#include "project/world.h"
#include "skn/skn.h"
#include "support.h"

namespace mervane {
namespace {

using test::FakePrompts;
using test::TempDir;

struct Imported {
  SkinModel model;
  FakePrompts prompts;
  Outcome outcome{};
};

std::unique_ptr<Imported> Import(const std::string& obj_text, const std::string& site,
                                 NormalCheckState& state, std::vector<std::optional<bool>> answers = {}) {
  TempDir dir;
  test::WriteFile(dir.path("part.obj"), obj_text);
  auto r = std::make_unique<Imported>();
  r->prompts.answers = std::move(answers);
  r->outcome = ImportObjPart(r->model, r->prompts, {dir.path("part.obj"), "Part", "skin", site}, state);
  return r;
}

const char* kTriangle =
    "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nf 1/1/1 2/2/2 3/3/3\n";

TEST(ImportObjPart, ThreeVerticesMakeAOneBoneModel) {
  NormalCheckState state = NormalCheckState::Untested;
  const auto r = Import(kTriangle, "ROOT", state);
  ASSERT_EQ(r->outcome, Outcome::Succeeded);
  const SkinModel& m = r->model;
  EXPECT_EQ(m.MeshName, "Part");
  EXPECT_EQ(m.TextureName, "skin");
  EXPECT_EQ(m.BoneCount, 1);
  EXPECT_EQ(m.BoneNames.at(0), "ROOT");
  EXPECT_EQ(m.BindingLines.at(0), "0 0 3 -1 0");
  EXPECT_EQ(m.VertexCount, 3);
  EXPECT_EQ(m.NormalCount, 3);
  EXPECT_EQ(m.TexVertexCount, 3);
  EXPECT_EQ(m.FaceCount, 1);
  EXPECT_EQ(m.FaceLines.at(0), "0 1 2");
  EXPECT_EQ(m.BlendCount, 0);
  EXPECT_TRUE(m.ModelLoaded);
  EXPECT_FALSE(m.SaveAsProjectFirst);
  EXPECT_EQ(state, NormalCheckState::UseNormalIndices);
  // ROOT is not in the skeleton: Body class, offsets 0, texture V flipped.
  EXPECT_EQ(m.VertexLines.at(1), "0.000000 -1.000000 0.000000");
  EXPECT_EQ(m.TexVertexLines.at(1), "1.000000 1.000000");
  EXPECT_EQ(m.TexVertexLines.at(2), "0.000000 0.000000");
}

TEST(ImportObjPart, MovesThePartIntoTheAttachBonesSpace) {
  const char* obj = "v 1 2 3\nv 0 0 0\nv 1 1 1\nvt 0.3 0.9\nvn 0.48 0.6 0.64\nf 1/1/1 2/1/1 3/1/1\n";
  NormalCheckState state = NormalCheckState::Untested;
  const auto root = Import(obj, "ROOT", state);
  EXPECT_EQ(root->model.VertexLines.at(0), "2.000000 -1.000000 3.000000");
  EXPECT_EQ(root->model.NormalLines.at(0), "0.600000 -0.480000 0.640000");
  EXPECT_EQ(root->model.TexVertexLines.at(0), "0.300000 0.100000");

  // Every attach site: a local vertex moved to world space by the bone's own
  // class and offsets comes back to where it was.
  for (const char* site : kAttachSites) {
    SCOPED_TRACE(site);
    const Vec3 offset = SkeletonOffset(site).value_or(Vec3{});
    const Vec3 world = PositionToWorld(ClassifyBone(site), {1, 2, 3}, offset);
    const Vec3 normal = NormalToWorld(ClassifyBone(site), {0.48, 0.6, 0.64});
    char text[256];
    std::snprintf(text, sizeof text, "v %.6f %.6f %.6f\nv 0 0 0\nv 0 0 0\nvt 0 0\nvn %.6f %.6f %.6f\nf 1/1/1 2/1/1 3/1/1\n",
                  world.x, world.y, world.z, normal.x, normal.y, normal.z);
    const auto r = Import(text, site, state);
    ASSERT_EQ(r->outcome, Outcome::Succeeded);
    const Vec3 back = ParseTriple(r->model.VertexLines.at(0), "vertex");
    EXPECT_NEAR(back.x, 1, 2e-6);
    EXPECT_NEAR(back.y, 2, 2e-6);
    EXPECT_NEAR(back.z, 3, 2e-6);
    EXPECT_EQ(r->model.NormalLines.at(0), "0.480000 0.600000 0.640000");
    EXPECT_EQ(r->model.BoneOffsetX[0], offset.x);
  }
}

TEST(ImportObjPart, ReadsModellerPartsAsFanTriangles) {
  const struct {
    const char* file;
    int quads, ngon_corners;
  } cases[] = {{"torus_quads.obj", 128, 0}, {"cone_ngon.obj", 0, 12}, {"icosphere_tris.obj", 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string text = test::ReadFile(test::DataPath(std::string("blender/blender-parts/") + c.file));
    int triangles = 0, v = 0;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      if (line.rfind("v ", 0) == 0) ++v;
      if (line.rfind("f ", 0) == 0) triangles += static_cast<int>(std::count(line.begin(), line.end(), ' ')) - 2;
      start = end + 1;
    }
    NormalCheckState state = NormalCheckState::Untested;
    const auto r = Import(text, "HEAD", state);
    ASSERT_EQ(r->outcome, Outcome::Succeeded);
    EXPECT_TRUE(r->prompts.messages.empty() && r->prompts.questions.empty());
    EXPECT_EQ(r->model.VertexCount, v);
    EXPECT_EQ(r->model.FaceCount, triangles);
    if (c.quads) {
      EXPECT_EQ(r->model.FaceCount, 2 * c.quads);
    }
    // Saved as a .skn, it reads back as the same model.
    TempDir dir;
    SkinModel model = r->model;
    ASSERT_EQ(SaveSkn(model, r->prompts, dir.path("p.skn")), Outcome::Succeeded);
    std::string why;
    EXPECT_TRUE(test::SameModel(test::ReadSknText(test::ReadFile(dir.path("p.skn"))), r->model, &why)) << why;
  }
}

TEST(ImportObjPart, TheNormalsAnswerHoldsForLaterImports) {
  // The first face names normal 2 where none is read before it.
  const char* invalid = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1/2 2/1/2 3/1/2\nvn 0 0 1\nvn 1 0 0\nvn 0 1 0\n";
  for (bool fix : {true, false}) {
    SCOPED_TRACE(fix ? "Yes" : "No");
    NormalCheckState state = NormalCheckState::Untested;
    const auto first = Import(invalid, "ROOT", state, {fix});
    EXPECT_EQ(first->prompts.questions.size(), 1u);
    EXPECT_EQ(state, fix ? NormalCheckState::UseVertexIndices : NormalCheckState::UseNormalIndices);
    // The normals read after the face are not there when it is read.
    EXPECT_EQ(first->outcome, Outcome::Failed);
    // A second import is not asked, and takes normals by the answer.
    const auto second = Import("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nvn 1 0 0\nvn 0 1 0\nf 1/1/3 2/1/3 3/1/3\n",
                               "ROOT", state);
    EXPECT_TRUE(second->prompts.questions.empty());
    ASSERT_EQ(second->outcome, Outcome::Succeeded);
    // Turned back (y, -x, z): own index gives 0 0 1, 1 0 0, 0 1 0; named gives 0 1 0 for all.
    EXPECT_EQ(second->model.NormalLines.at(1), fix ? "0.000000 -1.000000 0.000000" : "1.000000 0.000000 0.000000");
  }
}

TEST(ImportObjPart, FailuresShowTheirMessageAndEmptyTheModel) {
  std::string many_v;
  for (int i = 0; i < 32000; ++i) many_v += "v 0 0 0\n";
  const struct {
    const char* name;
    std::string obj;
    std::string message;
    const char* detail_part;
  } cases[] = {
      {"no normals, not fixed", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1/1 2/1/1 3/1/1\n", ErrorMessage(5), "normal"},
      {"a vertex no face uses", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 9 9 9\nvt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1\n", ErrorMessage(5), "vertex 4"},
      {"corner without indices", "v 0 0 0\nf 1 1 1\n", ErrorMessage(5), "part.obj line 2"},
      {"32000th v line", many_v, LimitMessage(FailureKind::VertexLimit), "part.obj line 32000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NormalCheckState state = NormalCheckState::Untested;
    const auto r = Import(c.obj, "HEAD", state, {false});
    EXPECT_EQ(r->outcome, Outcome::Failed);
    ASSERT_EQ(r->prompts.messages.size(), 1u);
    EXPECT_EQ(r->prompts.messages[0].text, c.message);
    EXPECT_NE(r->prompts.messages[0].detail.find(c.detail_part), std::string::npos) << r->prompts.messages[0].detail;
    EXPECT_TRUE(test::IsEmptyModel(r->model));
    EXPECT_FALSE(r->model.ModelLoaded);
  }
  std::string at_limit;
  for (int i = 0; i < 31999; ++i) at_limit += "v 0 0 0\n";
  // 31999 "v" lines pass the limit; the part then fails only because most
  // of its vertices are in no face.
  NormalCheckState state = NormalCheckState::Untested;
  const auto r = Import(at_limit + "vt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1\n", "ROOT", state);
  ASSERT_EQ(r->prompts.messages.size(), 1u);
  EXPECT_EQ(r->prompts.messages[0].text, ErrorMessage(5));
  EXPECT_NE(r->prompts.messages[0].detail.find("vertex 4 "), std::string::npos);
}

TEST(ImportObjPart, MissingFileIsError53) {
  SkinModel model;
  model.ModelLoaded = true;
  FakePrompts prompts;
  NormalCheckState state = NormalCheckState::Untested;
  EXPECT_EQ(ImportObjPart(model, prompts, {"/no/such/part.obj", "a", "b", "ROOT"}, state), Outcome::Failed);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, ErrorMessage(53));
  EXPECT_FALSE(model.ModelLoaded);
}

}  // namespace
}  // namespace mervane
