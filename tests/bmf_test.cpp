// The binary mesh format: the worked example byte for byte, what reading
// refuses, what writing refuses, and round trips through the other formats.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "bmf/bmf.h"
#include "model/failure.h"
#include "model/numbers.h"
#include "project/project.h"
#include "skn/skn.h"
#include "support.h"

namespace mervane {
namespace {

std::string Sample(const std::string& name) { return test::ReadFile(test::DataPath("bmf/" + name)); }

std::string WithU32(std::string bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

TEST(Bmf, TheWorkedExampleGivesItsBytesAndReadsBack) {
  const SkinModel skn = ParseSkn(Sample("tiny.skn"), "tiny.skn");
  EXPECT_EQ(BmfBytes(skn), Sample("tiny.bmf"));
  const SkinModel bmf = ParseBmf(Sample("tiny.bmf"), "tiny.bmf");
  EXPECT_EQ(SknText(bmf), Sample("tiny-back.skn"));
  EXPECT_TRUE(bmf.SaveAsProjectFirst);
  EXPECT_EQ(bmf.NormalCount, bmf.VertexCount);
  EXPECT_EQ(bmf.BoneOffsetX[0], skn.BoneOffsetX[0]);  // the skeleton is built as for a .skn
  // Bytes after the last vertex are not read.
  EXPECT_EQ(SknText(ParseBmf(Sample("tiny.bmf") + "trailing", "t.bmf")), Sample("tiny-back.skn"));
}

TEST(Bmf, ReadingRefusesWhatASknReadRefuses) {
  const std::string tiny = Sample("tiny.bmf");
  std::string nan_coord = tiny, inf_coord = tiny;
  const std::uint32_t nan = 0x7fc00000, inf = 0x7f800000;
  std::memcpy(&nan_coord[154], &nan, 4);
  std::memcpy(&inf_coord[158], &inf, 4);
  const struct {
    const char* name;
    std::string bytes;
    FailureKind kind;
    int number;
    const char* detail;
  } cases[] = {
      {"empty", "", FailureKind::Error, 62, "t.bmf byte 0: the file ends where the mesh name's length"},
      {"name cut", tiny.substr(0, 3), FailureKind::Error, 62, "byte 0: the file ends inside the mesh name"},
      {"four billion faces in 60 bytes", WithU32(tiny, 30, 0xffffffff).substr(0, 60), FailureKind::Error, 9, "byte 30"},
      {"faces past the end", WithU32(tiny, 30, 32001).substr(0, 60), FailureKind::Error, 62, "byte 34: the file ends where the faces"},
      {"102 bones", WithU32(tiny, 14, 102), FailureKind::Error, 9, "the bone count 102 is more than the 101"},
      {"32002 blend entries", WithU32(tiny, 138, 32002), FailureKind::Error, 9, "byte 138"},
      {"binding count", WithU32(tiny, 58, 3), FailureKind::CorruptBindings, 0, "byte 58: the binding count 3 differs"},
      {"32000 texture vertices", WithU32(tiny, 102, 32000), FailureKind::TexVertexLimit, 0, "byte 102"},
      {"32000 vertices", WithU32(tiny, 150, 32000), FailureKind::VertexLimit, 0, "byte 150"},
      {"vertex count", WithU32(tiny, 150, 4), FailureKind::Error, 5, "byte 150: the vertex count 4 is not"},
      {"one vertex more than the texture vertices and blends", WithU32(tiny, 150, [&] { std::uint32_t v; std::memcpy(&v, tiny.data() + 150, 4); return v + 1; }()),
       FailureKind::Error, 5, "is not the texture vertices and blend entries together"},
      {"vertices cut", tiny.substr(0, 273), FailureKind::Error, 62, "byte 154: the file ends where the vertices"},
      {"NaN", nan_coord, FailureKind::Error, 6, "byte 154"},
      {"infinity", inf_coord, FailureKind::Error, 6, "byte 158"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Failure failure = test::ExpectFailure([&] { ParseBmf(c.bytes, "dir/t.bmf"); });
    EXPECT_EQ(failure.kind(), c.kind);
    EXPECT_EQ(failure.number(), c.number);
    EXPECT_EQ(failure.file(), "t.bmf");
    EXPECT_NE(failure.detail().find(c.detail), std::string::npos) << failure.detail();
  }
  // Every cut short of the last vertex fails cleanly.
  for (std::size_t cut = 0; cut < tiny.size(); ++cut) {
    const Failure failure = test::ExpectFailure([&] { ParseBmf(tiny.substr(0, cut), "t.bmf"); });
    EXPECT_EQ(failure.number(), 62) << cut;
  }
}

TEST(Bmf, WritingRefusesWhatTheFieldsCannotHold) {
  const SkinModel tiny = ParseSkn(Sample("tiny.skn"), "tiny.skn");
  const struct {
    const char* name;
    void (*spoil)(SkinModel&);
    int number;
    const char* detail;
  } cases[] = {
      {"fraction", [](SkinModel& m) { m.FaceLines.set(0, "0 1.5 2"); }, 5, "face 0 (counted from 0): \"1.5\" is not a whole number"},
      {"negative face", [](SkinModel& m) { m.FaceLines.set(1, "1 -3 2"); }, 5, "face 1 (counted from 0)"},
      {"short face", [](SkinModel& m) { m.FaceLines.set(1, "1 3"); }, 5, "needs 3 numbers"},
      {"face past uint32", [](SkinModel& m) { m.FaceLines.set(0, "0 1 4294967296"); }, 6, "does not fit"},
      {"binding past int32", [](SkinModel& m) { m.BindingLines.set(0, "0 0 2147483648 0 1"); }, 6, "binding line 0"},
      {"negative blend", [](SkinModel& m) { m.BlendLines.set(0, "-2 16384"); }, 5, "blend entry 0"},
      {"beyond float32", [](SkinModel& m) { m.VertexLines.set(3, "0 1e39 0"); }, 6, "vertex 3 (counted from 0)"},
      {"long name", [](SkinModel& m) { m.TextureName = std::string(256, 'x'); }, 5, "the texture name"},
      {"vertex count", [](SkinModel& m) { m.VertexCount = 4; }, 5, "which a .bmf cannot hold"},
      {"negative count", [](SkinModel& m) { m.FaceCount = -1; }, 5, "below 0"},
      {"more bones than the model holds", [](SkinModel& m) { m.BoneCount = 102; }, 9, "the bone count 102 is more than the 101 lines"},
      {"short texture vertex", [](SkinModel& m) { m.TexVertexLines.set(0, "0.5"); }, 5, "\"0.5\" needs 2 numbers"},
      {"short vertex", [](SkinModel& m) { m.VertexLines.set(3, "0 1"); }, 5, "\"0 1\" needs 3 numbers"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SkinModel model = tiny;
    c.spoil(model);
    const Failure failure = test::ExpectFailure([&] { BmfBytes(model); });
    EXPECT_EQ(failure.number(), c.number);
    EXPECT_NE(failure.detail().find(c.detail), std::string::npos) << failure.detail();
  }
  // The limits themselves are fine: 255-byte names, the largest float32.
  SkinModel edge = tiny;
  edge.MeshName = std::string(255, 'm');
  edge.VertexLines.set(0, "340282346638528859811704183484516925440 0 -340282346638528859811704183484516925440");
  EXPECT_EQ(ParseBmf(BmfBytes(edge), "e.bmf").MeshName, edge.MeshName);
}

TEST(Bmf, ANameWithALineBreakIsKeptButNoTextFileTakesIt) {
  for (const char line_break : {'\n', '\r'}) {
    std::string bytes = Sample("tiny.bmf");
    bytes[3] = line_break;  // the mesh name "tiny" becomes "ti\ny" or "ti\ry"
    const SkinModel model = ParseBmf(bytes, "t.bmf");
    EXPECT_EQ(model.MeshName, std::string("ti") + line_break + "y");
    EXPECT_EQ(BmfBytes(model), bytes);
    // Written as a line, the name would split the file and shift every line after it.
    for (const Failure& failure : {test::ExpectFailure([&] { SknText(model); }),
                                   test::ExpectFailure([&] { BuildProjectFiles(model, "/p/t.spj", ""); })}) {
      EXPECT_EQ(failure.number(), 5);
      EXPECT_NE(failure.detail().find("the mesh name holds a line break"), std::string::npos) << failure.detail();
    }
  }
}

// Lines of two .skn texts, numbers compared within tol where they differ.
void ExpectSameSkn(const std::string& actual, const std::string& expected, double tol) {
  const auto a = test::SplitCrLf(actual), e = test::SplitCrLf(expected);
  ASSERT_EQ(a.size(), e.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == e[i]) continue;
    std::array<std::string_view, 6> fa, fe;
    const std::size_t n = SplitFields(a[i], fa);
    ASSERT_EQ(n, SplitFields(e[i], fe)) << "line " << i + 1;
    for (std::size_t k = 0; k < n; ++k)
      EXPECT_NEAR(ReadNumber(fa[k]), ReadNumber(fe[k]), tol) << "line " << i + 1 << ": " << a[i] << " vs " << e[i];
  }
}

TEST(Bmf, RoundTripsKeepEveryIntegerAndNameAndEveryFloatWithin5e7) {
  std::vector<std::pair<std::string, std::string>> skins{
      {"mannequin", test::ReadFile(test::ExamplePath("mannequin.skn"))},
      {"blender sample", test::ReadFile(test::DataPath("blender/blender-roundtrip/sample.skn"))},
      {"tiny", Sample("tiny.skn")},
      // The most texture vertices a .skn takes; one more is refused above.
      {"31999 texture vertices", test::MakeSkn({{"PELVIS", "HEAD"}, {31000, 999}, 0, 4})},
  };
  for (unsigned seed = 1; seed <= 3; ++seed)
    skins.emplace_back("generated", test::MakeSkn({{"PELVIS", "HEAD", "R_ARM", "L_LEG1", "ODD"}, {9, 0, 14, 5, 3}, 4, seed}));
  for (const auto& [name, text] : skins) {
    SCOPED_TRACE(name);
    const SkinModel skn = ParseSkn(text, "s.skn");
    const std::string via_skn = SknText(skn);
    const std::string bmf = BmfBytes(skn);
    // .skn -> .bmf -> .skn is .skn -> .skn; texture vertices come back in
    // six-decimal form, within float32's reach.
    ExpectSameSkn(SknText(ParseBmf(bmf, "s.bmf")), via_skn, 5e-7 + 1e-12);
    // .bmf -> .bmf keeps every integer and name; a float passes through
    // six-decimal text, so it stays within 5e-7.
    const std::string again = BmfBytes(ParseBmf(bmf, "s.bmf"));
    EXPECT_EQ(again.size(), bmf.size());
    ExpectSameSkn(SknText(ParseBmf(again, "a.bmf")), SknText(ParseBmf(bmf, "s.bmf")), 5e-7 + 1e-12);
    // .bmf -> project -> .bmf behaves as the .skn round trip does.
    const SkinModel from_bmf = ParseBmf(bmf, "s.bmf");
    const ProjectFiles project = BuildProjectFiles(from_bmf, "/p/s.spj", "");
    const SkinModel back = ParseProject(project.spj, project.obj, "s.spj", "s.obj", [] { return std::nullopt; });
    const ProjectFiles skn_project = BuildProjectFiles(skn, "/p/s.spj", "");
    const SkinModel skn_back = ParseProject(skn_project.spj, skn_project.obj, "s.spj", "s.obj", [] { return std::nullopt; });
    // Each path rounds a texture vertex to six decimals once more, so the
    // two may sit one sixth decimal apart.
    ExpectSameSkn(SknText(back), SknText(skn_back), 1e-6 + 1e-12);
  }
}

}  // namespace
}  // namespace mervane
