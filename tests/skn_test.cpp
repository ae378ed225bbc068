#include <gtest/gtest.h>

#include <algorithm>
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

SkinModel Parse(const std::string& text) { return test::ReadSknText(text); }

TEST(ParseSkn, ReadsEveryBlock) {
  const SkinModel m = Parse(CrLf(SmallSkn()));
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
  EXPECT_TRUE(m.SaveAsProjectFirst);
}

// A line as the writers write it keeps its text; every other goes through
// the number rule. Each line reads the same with tabs for its spaces, which
// no kept line has.
TEST(ParseSkn, VertexLineFieldsAreSeparatedByRunsOfBlanks) {
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
      {"-0.000000 1.000000 -0.000000 0.000000 -0.000000 1.000000", "0.000000 1.000000 0.000000", "0.000000 0.000000 1.000000"},
      {"1.000000 2.000000 3.000000 0.000000 0.000000 1.000000 ", "1.000000 2.000000 3.000000", "0.000000 0.000000 1.000000"},
      {"1.000000 2.000000 3.000000 0.000000 0.000000 1.000000 9.000000", "1.000000 2.000000 3.000000", "0.000000 0.000000 1.000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    std::string tabbed = c.line;
    std::replace(tabbed.begin(), tabbed.end(), ' ', '\t');
    for (const std::string& line : {std::string(c.line), tabbed}) {
      const SkinModel m = Parse(CrLf({"m", "t", "0", "0", "0", "0", "0", "1", line}));
      EXPECT_EQ(m.VertexLines.at(0), c.vertex);
      EXPECT_EQ(m.NormalLines.at(0), c.normal);
    }
  }
  // Read to keep its digits, a plain line stays as written in every number form.
  for (const std::string line : {"1.5e+005 -2 3E-2 0 0 1", "1 2. .5 0.5e+1 0 -1"}) {
    const SkinModel m = ParseSkn(CrLf({"m", "t", "0", "0", "0", "0", "0", "1", line}), "in.skn", SknDigits::AsWritten);
    EXPECT_EQ(std::string(m.VertexLines.at(0)) + " " + std::string(m.NormalLines.at(0)), line);
  }
  // Numbers past the sixth are no part of the normal.
  const SkinModel extra = ParseSkn(CrLf({"m", "t", "0", "0", "0", "0", "0", "1", "1 2 3 0 0 1 9 9"}), "in.skn", SknDigits::AsWritten);
  EXPECT_EQ(std::string(extra.VertexLines.at(0)) + " / " + std::string(extra.NormalLines.at(0)),
            "1.000000 2.000000 3.000000 / 0.000000 0.000000 1.000000");
}

TEST(ParseSkn, EmptySkinReadsCompletely) {
  EXPECT_EQ(Parse(CrLf({"m", "t", "0", "0", "0", "0", "0", "0"})).MeshName, "m");
}

TEST(ParseSkn, LineEndsCrLfCrAndLfReadTheSame) {
  auto no_texture_name = SmallSkn();
  no_texture_name[1] = "";  // an empty line stays a line
  for (const auto& lines : {SmallSkn(), no_texture_name}) {
    const SkinModel reference = Parse(CrLf(lines));
    for (const std::string end : {"\n", "\r", "\r\n"}) {
      for (bool final_end : {true, false}) {
        std::string text;
        for (std::size_t i = 0; i < lines.size(); ++i)
          text += lines[i] + (i + 1 < lines.size() || final_end ? end : "");
        std::string why;
        EXPECT_TRUE(test::SameModel(Parse(text), reference, &why)) << why;
      }
    }
  }
}

TEST(SknText, WritesTheBlocksWithCrLf) {
  const std::string text = SknText(Parse(CrLf(SmallSkn())));
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
  const auto out = test::SplitCrLf(SknText(Parse(CrLf(lines))));
  EXPECT_EQ(out[2], "2");
  EXPECT_EQ(out[7], "2");
}

TEST(SknText, RoundTripsTheExampleAndGeneratedSkins) {
  std::vector<std::string> sources{test::ReadFile(test::ExamplePath("mannequin.skn")),
                                   test::ReadFile(test::DataPath("blender/blender-roundtrip/sample.skn"))};
  sources.push_back(test::MakeSkn({{"PELVIS", "spine", "r_arm", "L_LEG", "NOT_A_BONE"}, {5, 0, 7, 3, 1}, 4, 7}));
  for (const std::string& source : sources) {
    const SkinModel first = Parse(source);
    const std::string a = SknText(first);
    const SkinModel again = Parse(a);
    std::string why;
    EXPECT_TRUE(test::SameModel(first, again, &why)) << why;
    EXPECT_EQ(SknText(again), a);
  }
}

// Every way a .skn can be refused: the message, the detail naming the file.
TEST(ParseSkn, FailuresCarryTheirMessageAndPlace) {
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
  // Read to keep its digits or not, a file fails alike.
  for (const SknDigits digits : {SknDigits::Canonical, SknDigits::AsWritten})
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      const Failure failure = test::ExpectFailure([&] { ParseSkn(c.text, "body.skn", digits); });
      EXPECT_EQ(failure.message(), c.message);
      EXPECT_EQ(failure.file(), "body.skn");
      EXPECT_NE(failure.detail().find(c.detail_part), std::string::npos) << failure.detail();
    }
  // Just inside the limits.
  EXPECT_EQ(Parse(tex("31999", 31999)).TexVertexCount, 31999);
  EXPECT_EQ(Parse(CrLf(many("31999", 31999, "0 0 0 0 0 1"))).VertexCount, 31999);
}

// A file that cannot be read, or does not read, costs the user nothing:
// the model loaded before stays, loaded.
TEST(LoadSkn, FailuresTellTheUserAndKeepThePreviousModel) {
  TempDir dir;
  test::WriteFile(dir.path("cut.skn"), CrLf({"m", "t", "3"}));
  const struct {
    std::string path;
    int number;
  } cases[] = {
      {dir.path("nothing-here.skn"), 53},
      {dir.root().string(), 53},  // a folder counts as missing
      {dir.path("cut.skn"), 62},
  };
  SkinModel before = Parse(CrLf(SmallSkn()));
  before.ModelLoaded = true;
  before.CommandFile = "earlier.skn";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    SkinModel model = before;
    FakePrompts prompts;
    EXPECT_EQ(LoadSkn(model, prompts, c.path), Outcome::Failed);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, ErrorMessage(c.number));
    std::string why;
    EXPECT_TRUE(test::SameModel(model, before, &why)) << why;
    EXPECT_TRUE(model.ModelLoaded);
    EXPECT_EQ(model.CommandFile, "earlier.skn");
  }
  // And a load that succeeds takes the new model, keeping the shell's file.
  SkinModel model = before;
  FakePrompts prompts;
  test::WriteFile(dir.path("empty.skn"), CrLf({"e", "t", "0", "0", "0", "0", "0", "0"}));
  ASSERT_EQ(LoadSkn(model, prompts, dir.path("empty.skn")), Outcome::Succeeded);
  EXPECT_EQ(model.MeshName, "e");
  EXPECT_EQ(model.BoneCount, 0);
  EXPECT_TRUE(model.ModelLoaded);
  EXPECT_EQ(model.CommandFile, "earlier.skn");
}

TEST(SaveSkn, FailuresLeaveTheTargetAsItWasWithNoTemporaryFile) {
  const SkinModel loaded = Parse(CrLf(SmallSkn()));
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
    FakePrompts prompts;
    EXPECT_EQ(SaveSkn(loaded, prompts, c.target), Outcome::Failed);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, ErrorMessage(c.number));
    EXPECT_FALSE(prompts.messages[0].detail.empty());
  }
  // A model too large for its tables fails before anything is written.
  SkinModel model = loaded;
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
  const SkinModel model = Parse(CrLf(SmallSkn()));
  test::WriteFile(dir.path("a.skn"), "old");
  std::filesystem::permissions(dir.path("a.skn"), std::filesystem::perms(0640));
  FakePrompts prompts;
  ASSERT_EQ(SaveSkn(model, prompts, dir.path("a.skn")), Outcome::Succeeded);
  EXPECT_EQ(test::ReadFile(dir.path("a.skn")), SknText(model));
  EXPECT_EQ(std::filesystem::status(dir.path("a.skn")).permissions(), std::filesystem::perms(0640));
  EXPECT_EQ(dir.Listing(), std::vector<std::string>{"a.skn"});
}

}  // namespace
}  // namespace mervane
