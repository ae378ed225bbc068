#include <gtest/gtest.h>

#include "import/obj_import.h"
#include "model/failure.h"
#include "model/world.h"
#include "project/project.h"
#include "skn/skn.h"
#include "support.h"

namespace mervane {
namespace {

using test::FakePrompts;
using test::ReadPart;
using test::TempDir;

// The imported model; the test fails if the import does not succeed.
SkinModel Imported(const std::string& obj_text, const std::string& site) {
  return test::ModelOf(ReadPart(obj_text, site));
}

const char* kTriangle =
    "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nf 1/1/1 2/2/2 3/3/3\n";

TEST(ParseObjPart, ThreeVerticesMakeAOneBoneModel) {
  const SkinModel m = Imported(kTriangle, "ROOT");
  EXPECT_EQ(m.MeshName, "part");
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
  EXPECT_FALSE(m.SaveAsProjectFirst);
  // ROOT is not in the skeleton: Body class, offsets 0, texture V flipped.
  EXPECT_EQ(m.VertexLines.at(1), "0.000000 -1.000000 0.000000");
  EXPECT_EQ(m.TexVertexLines.at(1), "1.000000 1.000000");
  EXPECT_EQ(m.TexVertexLines.at(2), "0.000000 0.000000");
}

TEST(ParseObjPart, MovesThePartIntoTheAttachBonesSpace) {
  const char* obj = "v 1 2 3\nv 0 0 0\nv 1 1 1\nvt 0.3 0.9\nvn 0.48 0.6 0.64\nf 1/1/1 2/1/1 3/1/1\n";
  const SkinModel root = Imported(obj, "ROOT");
  EXPECT_EQ(root.VertexLines.at(0), "2.000000 -1.000000 3.000000");
  EXPECT_EQ(root.NormalLines.at(0), "0.600000 -0.480000 0.640000");
  EXPECT_EQ(root.TexVertexLines.at(0), "0.300000 0.100000");

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
    const SkinModel m = Imported(text, site);
    const Vec3 back = ParseTriple(m.VertexLines.at(0), "vertex");
    EXPECT_NEAR(back.x, 1, 2e-6);
    EXPECT_NEAR(back.y, 2, 2e-6);
    EXPECT_NEAR(back.z, 3, 2e-6);
    EXPECT_EQ(m.NormalLines.at(0), "0.480000 0.600000 0.640000");
    EXPECT_EQ(m.BoneOffsetX[0], offset.x);
  }
}

TEST(ParseObjPart, ReadsModellerPartsAsFanTriangles) {
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
    const SkinModel m = Imported(text, "HEAD");
    EXPECT_EQ(m.VertexCount, v);
    EXPECT_EQ(m.FaceCount, triangles);
    if (c.quads) {
      EXPECT_EQ(m.FaceCount, 2 * c.quads);
    }
    // As .skn text, it reads back as the same model.
    std::string why;
    EXPECT_TRUE(test::SameModel(test::ReadSknText(SknText(m)), m, &why)) << why;
  }
}

// Each import asks its own question when its first face needs it, and
// the answer decides how its normals are taken.
TEST(ParseObjPart, EachImportAsksAboutItsOwnNormals) {
  // The first face names normal 3 where only two are read before it; the
  // second face, read after all three, decides the normals.
  const char* asks = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nvn 1 0 0\nf 1/1/3 2/1/3 3/1/3\n"
                     "vn 0 1 0\nf 1/1/3 2/1/3 3/1/3\n";
  const char* valid = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nvn 1 0 0\nvn 0 1 0\nf 1/1/3 2/1/3 3/1/3\n";
  for (bool fix : {true, false}) {
    SCOPED_TRACE(fix ? "Yes" : "No");
    const test::ReadEnd first = ReadPart(asks, "ROOT", fix);
    EXPECT_EQ(first.questions, 1);
    ASSERT_TRUE(first.model) << first.detail();
    // Turned back (y, -x, z): own index gives 0 0 1, 1 0 0, 0 1 0; named gives 0 1 0 for all.
    EXPECT_EQ(first.model->NormalLines.at(1), fix ? "0.000000 -1.000000 0.000000" : "1.000000 0.000000 0.000000");
    // A later import whose normals are all there is not asked, whatever the earlier answer.
    const test::ReadEnd second = ReadPart(valid, "ROOT", fix);
    EXPECT_EQ(second.questions, 0);
    ASSERT_TRUE(second.model) << second.detail();
    EXPECT_EQ(second.model->NormalLines.at(1), "1.000000 0.000000 0.000000");
    // And one that needs the question asks it again.
    EXPECT_EQ(ReadPart(asks, "ROOT", !fix).questions, 1);
  }
  const test::ReadEnd unanswered = ReadPart(asks, "ROOT");
  EXPECT_EQ(unanswered.questions, 1);
  ASSERT_TRUE(unanswered.failure);
  EXPECT_EQ(unanswered.failure->kind(), FailureKind::Unanswered);
}

TEST(ParseObjPart, FailuresCarryTheirMessageAndPlace) {
  std::string many_v;
  for (int i = 0; i < 32000; ++i) many_v += "v 0 0 0\n";
  const struct {
    const char* name;
    std::string obj;
    std::string message;
    const char* detail_part;
  } cases[] = {
      {"no normals, not fixed", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1/1 2/1/1 3/1/1\n", ErrorMessage(5), "its faces name normal 1 (counted from 1), which the file does not hold"},
      {"a vertex no face uses", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 9 9 9\nvt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1\n", ErrorMessage(5), "vertex 3 (counted from 0)"},
      {"corner without indices", "v 0 0 0\nf 1 1 1\n", ErrorMessage(5), "in.obj line 2"},
      {"32000th v line", many_v, LimitMessage(FailureKind::VertexLimit), "in.obj line 32000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const test::ReadEnd r = ReadPart(c.obj, "HEAD", false);
    EXPECT_EQ(r.problem, "");
    EXPECT_EQ(r.message(), c.message);
    EXPECT_NE(r.detail().find(c.detail_part), std::string::npos) << r.detail();
  }
  std::string at_limit;
  for (int i = 0; i < 31999; ++i) at_limit += "v 0 0 0\n";
  // 31999 "v" lines pass the limit; the part then fails only because most
  // of its vertices are in no face.
  const test::ReadEnd r = ReadPart(at_limit + "vt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1\n", "ROOT");
  EXPECT_EQ(r.message(), ErrorMessage(5));
  EXPECT_NE(r.detail().find(Counted("vertex", 3) + " "), std::string::npos) << r.detail();
}

// A part that cannot be read, or does not read, costs the user nothing:
// the model loaded before stays, loaded.
TEST(ImportObjPart, FailuresTellTheUserAndKeepThePreviousModel) {
  TempDir dir;
  test::WriteFile(dir.path("bad.obj"), "v 0 0 0\nf 1 1 1\n");
  test::WriteFile(dir.path("asks.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1/1 2/1/1 3/1/1\n");
  const struct {
    std::string path;
    int messages;
    const char* message;
  } cases[] = {
      {"/no/such/part.obj", 1, "Error 53"},
      {dir.path("bad.obj"), 1, "Error 5 "},
      {dir.path("asks.obj"), 0, ""},  // the normals question unanswered: nothing more to say
  };
  SkinModel before = Imported(kTriangle, "HEAD");
  before.ModelLoaded = true;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    SkinModel model = before;
    FakePrompts prompts;
    EXPECT_EQ(ImportObjPart(model, prompts, {c.path, "a", "b", "ROOT"}), Outcome::Failed);
    ASSERT_EQ(prompts.messages.size(), static_cast<std::size_t>(c.messages));
    if (c.messages) {
      EXPECT_TRUE(prompts.messages[0].text.starts_with(c.message)) << prompts.messages[0].text;
    }
    std::string why;
    EXPECT_TRUE(test::SameModel(model, before, &why)) << why;
    EXPECT_TRUE(model.ModelLoaded);
  }
}

}  // namespace
}  // namespace mervane
