#include <gtest/gtest.h>

#include <filesystem>

#include "model/failure.h"
#include "skn/skn.h"
#include "support.h"

namespace mervane {
namespace {

using test::CrLf;
using test::FakePrompts;
using test::TempDir;

// A small valid skin: 2 bones, 1 face, 3 vertices of which 1 blended.
std::vector<std::string> SmallSkn() {
  return {"body", "skin", "2", "PELVIS", "Extra Bone ", "1", "0 1 1", "2", "0 0 1 -1 0",
          "1 1 1 0 1", "2", "0.25 0.75", "0.5 0.5", "1", "2 16384", "3",
          "1 2 3 0 0 1", "0.5 -1.25 2 0 1 0", "4 5 6 0.6 0.8 0"};
}

struct Loaded {
  SkinModel model;
  FakePrompts prompts;
  Outcome outcome{};
};

std::unique_ptr<Loaded> Load(const std::string& text) {
  TempDir dir;
  test::WriteFile(dir.path("body.skn"), text);
  auto loaded = std::make_unique<Loaded>();
  loaded->model.ModelLoaded = true;  // from an earlier file
  loaded->outcome = LoadSkn(loaded->model, loaded->prompts, dir.path("body.skn"));
  return loaded;
}

TEST(LoadSkn, ReadsEveryBlock) {
  const auto r = Load(CrLf(SmallSkn()));
  ASSERT_EQ(r->outcome, Outcome::Succeeded);
  const SkinModel& m = r->model;
  EXPECT_TRUE(r->prompts.messages.empty());
  EXPECT_EQ(m.MeshName, "body");
  EXPECT_EQ(m.TextureName, "skin");
  EXPECT_EQ(m.BoneCount, 2);
  EXPECT_EQ(m.BoneNames.at(1), "Extra Bone ");  // kept as read, blanks included
  EXPECT_EQ(m.FaceCount, 1);
  EXPECT_EQ(m.FaceLines.at(0), "0 1 1");
  EXPECT_EQ(m.BindingLines.at(1), "1 1 1 0 1");
  EXPECT_EQ(m.TexVertexCount, 2);
  EXPECT_EQ(m.TexVertexLines.at(1), "0.5 0.5");
  EXPECT_EQ(m.BlendCount, 1);
  EXPECT_EQ(m.BlendLines.at(0), "2 16384");
  EXPECT_EQ(m.VertexCount, 3);
  EXPECT_EQ(m.NormalCount, 3);
  EXPECT_EQ(m.VertexLines.at(0), "1.000000 2.000000 3.000000");
  EXPECT_EQ(m.NormalLines.at(0), "0.000000 0.000000 1.000000");
  EXPECT_EQ(m.VertexLines.at(1), "0.500000 -1.250000 2.000000");
  EXPECT_EQ(m.NormalLines.at(2), "0.600000 0.800000 0.000000");
  EXPECT_EQ(m.BoneOffsetX[0], -0.0366778);  // the skeleton knows PELVIS
  EXPECT_EQ(m.BoneOffsetX[1], 0);
  EXPECT_TRUE(m.ModelLoaded);
  EXPECT_TRUE(m.SaveAsProjectFirst);
}

TEST(LoadSkn, VertexLineFieldsAreSeparatedByRunsOfBlanks) {
  const struct {
    const char* line;
    const char* vertex;
    const char* normal;
  } cases[] = {
      {"1 2 3 0 0 1", "1.000000 2.000000 3.000000", "0.000000 0.000000 1.000000"},
      {"1  2 3 0 0 1", "1.000000 2.000000 3.000000", "0.000000 0.000000 1.000000"},
      {"\t1\t2\t3\t0\t0\t1\t", "1.000000 2.000000 3.000000", "0.000000 0.000000 1.000000"},
      {"  1 2 3 0 0 1  ", "1.000000 2.000000 3.000000", "0.000000 0.000000 1.000000"},
      {"1 2 3 0 0 1 9 9", "1.000000 2.000000 3.000000", "0.000000 0.000000 1.000000"},
      {"1,5 2 3 -0 -0.0000001 1e-005", "1.000000 2.000000 3.000000", "0.000000 0.000000 0.000010"},
      {"1.2345678 -9.8765432 0.0000005 x y z", "1.234568 -9.876543 0.000000", "0.000000 0.000000 0.000000"},
  };
  for (const auto& c : cases) {
    const auto r = Load(CrLf({"m", "t", "0", "0", "0", "0", "0", "1", c.line}));
    ASSERT_EQ(r->outcome, Outcome::Succeeded) << c.line;
    EXPECT_EQ(r->model.VertexLines.at(0), c.vertex) << c.line;
    EXPECT_EQ(r->model.NormalLines.at(0), c.normal) << c.line;
  }
}

TEST(LoadSkn, EmptySkinReadsCompletely) {
  const auto r = Load(CrLf({"m", "t", "0", "0", "0", "0", "0", "0"}));
  EXPECT_EQ(r->outcome, Outcome::Succeeded);
  EXPECT_TRUE(r->model.ModelLoaded);
  EXPECT_TRUE(r->prompts.messages.empty());
}

TEST(LoadSkn, LineEndsCrLfCrAndLfReadTheSame) {
  const auto reference = Load(CrLf(SmallSkn()));
  for (const std::string end : {"\n", "\r", "\r\n"}) {
    for (bool final_end : {true, false}) {
      std::string text;
      const auto lines = SmallSkn();
      for (std::size_t i = 0; i < lines.size(); ++i)
        text += lines[i] + (i + 1 < lines.size() || final_end ? end : "");
      const auto r = Load(text);
      std::string why;
      EXPECT_EQ(r->outcome, Outcome::Succeeded);
      EXPECT_TRUE(test::SameModel(r->model, reference->model, &why)) << why;
    }
  }
}

TEST(SknText, WritesTheBlocksWithCrLf) {
  const auto r = Load(CrLf(SmallSkn()));
  const std::string text = SknText(r->model);
  const auto lines = test::SplitCrLf(text);
  const std::vector<std::string> expected{
      "body", "skin", "2", "PELVIS", "Extra Bone ", "1", "0 1 1", "2", "0 0 1 -1 0", "1 1 1 0 1",
      "2", "0.25 0.75", "0.5 0.5", "1", "2 16384", "3",
      "1.000000 2.000000 3.000000 0.000000 0.000000 1.000000",
      "0.500000 -1.250000 2.000000 0.000000 1.000000 0.000000",
      "4.000000 5.000000 6.000000 0.600000 0.800000 0.000000"};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
}

TEST(SknText, CountLinesAreRoundedAndTheBindingCountCopiesTheBoneCount) {
  auto lines = SmallSkn();
  lines[2] = " 2.4 ";  // bone count
  lines[7] = "2.0";     // binding count: equal without rounding
  const auto r = Load(CrLf(lines));
  ASSERT_EQ(r->outcome, Outcome::Succeeded);
  const auto out = test::SplitCrLf(SknText(r->model));
  EXPECT_EQ(out[2], "2");
  EXPECT_EQ(out[7], "2");
}

TEST(SaveSkn, RoundTripsTheExampleAndGeneratedSkins) {
  std::vector<std::string> sources{test::ReadFile(test::ExamplePath("mannequin.skn")),
                                   test::ReadFile(test::DataPath("blender/blender-roundtrip/sample.skn"))};
  sources.push_back(test::MakeSkn({{"PELVIS", "spine", "r_arm", "L_LEG", "NOT_A_BONE"}, {5, 0, 7, 3, 1}, 4, 7}));
  for (const std::string& source : sources) {
    TempDir dir;
    const auto first = Load(source);
    ASSERT_EQ(first->outcome, Outcome::Succeeded);
    FakePrompts prompts;
    ASSERT_EQ(SaveSkn(first->model, prompts, dir.path("a.skn")), Outcome::Succeeded);
    SkinModel again;
    ASSERT_EQ(LoadSkn(again, prompts, dir.path("a.skn")), Outcome::Succeeded);
    std::string why;
    EXPECT_TRUE(test::SameModel(first->model, again, &why)) << why;
    ASSERT_EQ(SaveSkn(again, prompts, dir.path("b.skn")), Outcome::Succeeded);
    EXPECT_EQ(test::ReadFile(dir.path("a.skn")), test::ReadFile(dir.path("b.skn")));
    EXPECT_TRUE(prompts.messages.empty());
  }
}

// Every way a .skn can be refused: the message, the model emptied and
// unloaded, the detail naming the file.
TEST(LoadSkn, FailuresShowTheirMessageAndEmptyTheModel) {
  const std::string error5 = ErrorMessage(5), error6 = ErrorMessage(6), error9 = ErrorMessage(9),
                    error62 = ErrorMessage(62);
  auto with = [](std::size_t index, const std::string& line) {
    auto lines = SmallSkn();
    lines[index] = line;
    return CrLf(lines);
  };
  auto many = [](const std::string& count, int lines, const std::string& line) {
    std::vector<std::string> text{"m", "t", "0", "0", "0", "0", "0", count};
    text.insert(text.end(), lines, line);
    return text;
  };
  auto tex = [&](const std::string& count, int n) {
    std::vector<std::string> text{"m", "t", "0", "0", "0", count};
    text.insert(text.end(), n, "0 0");
    return CrLf(text) + CrLf({"0", "0"});
  };
  const struct {
    const char* name;
    std::string text;
    std::string message;
    const char* detail_part;
  } cases[] = {
      {"ends before an announced line", CrLf({"m", "t", "3", "A", "B"}), error62, "body.skn line 6"},
      {"ends before the vertex count", CrLf({"m", "t", "0", "0", "0", "0", "0"}), error62, "vertex count"},
      {"vertex line with five numbers", with(16, "1 2 3 0 0"), error5, "body.skn line 17"},
      {"bone count outside 16 bits", with(2, "40000"), error6, "body.skn line 3"},
      {"more than 101 bones", with(2, "102"), error9, "bone count"},
      {"more than 32001 faces", with(5, "32002"), error9, "face count"},
      {"more than 32001 blend entries", with(13, "32002"), error9, "blend count"},
      {"vertex count outside 16 bits", with(15, "1e9"), error6, "line 16"},
      {"number too large for a double", with(16, "1e999 2 3 0 0 1"), error6, "line 17"},
      {"binding count differs", with(7, "2.4"), kCorruptBindingsMessage, "binding count"},
      {"texture vertices at the limit", tex("32000", 32000), LimitMessage(FailureKind::TexVertexLimit), ""},
      {"texture vertices past the tables", tex("32002", 0), LimitMessage(FailureKind::TexVertexLimit), ""},
      {"vertices at the limit", CrLf(many("32000", 0, "")), LimitMessage(FailureKind::VertexLimit), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = Load(c.text);
    EXPECT_EQ(r->outcome, Outcome::Failed);
    ASSERT_EQ(r->prompts.messages.size(), 1u);
    EXPECT_EQ(r->prompts.messages[0].text, c.message);
    EXPECT_NE(r->prompts.messages[0].detail.find("body.skn"), std::string::npos) << r->prompts.messages[0].detail;
    EXPECT_NE(r->prompts.messages[0].detail.find(c.detail_part), std::string::npos) << r->prompts.messages[0].detail;
    EXPECT_TRUE(test::IsEmptyModel(r->model));
    EXPECT_FALSE(r->model.ModelLoaded);
  }
  // Just inside the limits.
  EXPECT_EQ(Load(tex("31999", 31999))->outcome, Outcome::Succeeded);
  EXPECT_EQ(Load(CrLf(many("31999", 31999, "0 0 0 0 0 1")))->outcome, Outcome::Succeeded);
}

TEST(LoadSkn, MissingFileIsError53) {
  for (const std::string name : {"nothing-here.skn", ""}) {
    TempDir dir;
    SkinModel model;
    model.ModelLoaded = true;
    FakePrompts prompts;
    const std::string path = name.empty() ? dir.root().string() : dir.path(name);  // a folder counts as missing
    EXPECT_EQ(LoadSkn(model, prompts, path), Outcome::Failed);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, ErrorMessage(53));
    EXPECT_FALSE(model.ModelLoaded);
  }
}

TEST(SaveSkn, FailuresLeaveTheTargetAsItWasWithNoTemporaryFile) {
  const auto loaded = Load(CrLf(SmallSkn()));
  struct Case {
    const char* name;
    std::string target;
    int number;
  };
  TempDir dir;
  std::filesystem::create_directory(dir.path("folder.skn"));
  test::WriteFile(dir.path("old.skn"), "precious\r\n");
  const Case cases[] = {
      {"missing folder", dir.path("no/such/folder/a.skn"), 76},
      {"target is a folder", dir.path("folder.skn"), 75},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SkinModel model = loaded->model;
    FakePrompts prompts;
    EXPECT_EQ(SaveSkn(model, prompts, c.target), Outcome::Failed);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, ErrorMessage(c.number));
    EXPECT_FALSE(prompts.messages[0].detail.empty());
    EXPECT_TRUE(test::IsEmptyModel(model));
    EXPECT_FALSE(model.ModelLoaded);
  }
  // A model too large for its tables fails before anything is written.
  SkinModel model = loaded->model;
  model.VertexCount = 32002;
  FakePrompts prompts;
  EXPECT_EQ(SaveSkn(model, prompts, dir.path("old.skn")), Outcome::Failed);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, ErrorMessage(9));
  EXPECT_EQ(test::ReadFile(dir.path("old.skn")), "precious\r\n");
  EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"folder.skn", "old.skn"}));
}

TEST(SaveSkn, ReplacesAnExistingFileAndKeepsItsPermissions) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows files have no permission bits; windows_test.cpp covers read-only files";
#endif
  TempDir dir;
  const auto loaded = Load(CrLf(SmallSkn()));
  test::WriteFile(dir.path("a.skn"), "old");
  std::filesystem::permissions(dir.path("a.skn"), std::filesystem::perms(0640));
  SkinModel model = loaded->model;
  FakePrompts prompts;
  ASSERT_EQ(SaveSkn(model, prompts, dir.path("a.skn")), Outcome::Succeeded);
  EXPECT_EQ(test::ReadFile(dir.path("a.skn")), SknText(loaded->model));
  EXPECT_EQ(std::filesystem::status(dir.path("a.skn")).permissions(), std::filesystem::perms(0640));
  EXPECT_EQ(dir.Listing(), std::vector<std::string>{"a.skn"});
  EXPECT_TRUE(model.ModelLoaded);  // saving changes no flag
}

}  // namespace
}  // namespace mervane
