#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>

#include "cli/converter.h"
#include "cli/request.h"
#include "convert_support.h"
#include "model/failure.h"
#include "support.h"

namespace mervane {
namespace {

using test::TempDir;

using Result = test::Converted;
using test::Convert;

// A usage error names the problem on one line and points to --help, as
// command-line tools do.
TEST(Converter, UsageErrorsExitWith2AndNameTheProblem) {
  const std::string kGlbOptions =
      "with a .glb, only --skeleton, --animation, --game, --to, --out, --info and --fix-normals go";
  const std::string kToAlone = "--to converts files as they are: no --info, --import, --attach, --name or --texture";
  const struct {
    std::vector<std::string> args;
    std::string problem;
  } cases[] = {
      {{}, "give a SOURCE and a TARGET"},
      {{"a.skn"}, "give a SOURCE and a TARGET"},
      {{"a.skn", "b.skn", "c.skn"}, "give a SOURCE and a TARGET"},
      {{"--bogus", "a.skn", "b.skn"}, "unknown option --bogus"},
      {{"a.obj", "b.skn"}, "\"a.obj\" must end in .spj, .skn, .bmf or .glb"},
      {{"a.skn", "b.obj"}, "\"b.obj\" must end in .spj, .skn, .bmf or .glb"},
      {{"--import", "p.obj", "out.skn"}, "--import needs --attach BONE"},
      {{"--import", "p.obj", "--attach", "HEAD", "out.txt"}, "\"out.txt\" must end in .spj, .skn, .bmf or .glb"},
      {{"--attach", "HEAD", "a.skn", "b.skn"}, "--attach, --name and --texture go with --import"},
      {{"--info"}, "--info takes one SOURCE"},
      {{"--name"}, "--name needs a value"},
      // With a glTF named, the glTF commands' own refusals.
      {{"a.GLTF"}, "give the SOURCE (or MESH...) and the TARGET"},
      {{"--pose", "a.glb", "b.obj"}, "--pose writes an .obj; it reads no .glb"},
      {{"--frame", "2", "a.glb", "b.skn"}, kGlbOptions},
      {{"--extract", "a.glb", "b.skn"}, kGlbOptions},
      {{"--out", "o", "a.glb", "b.skn"}, "--out goes with --to"},
      {{"--info", "--animation", "w.cmx", "a.glb"}, "--info on a glTF takes --skeleton and --game only"},
      {{"b.skn", "a.glb", "c.skn"}, "several MESH files go into one .glb: \"c.skn\" is not one"},
      {{"--animation", "w.cmx", "a.glb", "b.cmx"}, "--animation goes with writing a .glb"},
      {{"--lossy", "0.5", "a.glb", "b.skn"}, "--skill and --lossy go with writing skills (.cmx, .bcf)"},
      {{"--to", "glb", "--info", "a.skn"}, "--to converts files as they are: no --info"},
      // Options of other commands, each refused by the command it came with.
      {{"--skill", "walk", "a.skn", "b.skn"}, "--skill and --lossy go with writing skills from a glTF"},
      {{"--lossy", "0.5", "a.skn", "b.skn"}, "--skill and --lossy go with writing skills from a glTF"},
      {{"--extract", "--info", "a.far", "d"}, "--extract goes alone"},
      {{"--extract", "--to", "skn", "a.far", "d"}, "--extract goes alone"},
      {{"--extract", "--import", "p.obj", "a.far", "d"}, "--extract goes alone"},
      {{"--to", "bmf", "--info", "a.skn"}, kToAlone},
      {{"--to", "bmf", "--attach", "HEAD", "a.skn"}, kToAlone},
      {{"--to", "bmf", "--name", "n", "a.skn"}, kToAlone},
      {{"--to", "bmf", "--texture", "t", "a.skn"}, kToAlone},
      {{"--import", "p.obj", "--attach", "HEAD", "a.skn", "b.skn"}, "--import takes one TARGET"},
      {{"--name", "n", "a.skn", "b.skn"}, "--attach, --name and --texture go with --import"},
      {{"--texture", "t", "a.skn", "b.skn"}, "--attach, --name and --texture go with --import"},
  };
  for (const auto& c : cases) {
    const Result r = Convert(c.args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.err, "mervane-convert: " + c.problem + "\nTry 'mervane-convert --help'.\n");
    EXPECT_TRUE(r.out.empty());
  }
  // An unknown attach site is the one problem whose line lists the choices.
  const Result site = Convert({"--import", "p.obj", "--attach", "TAIL", "out.skn"});
  EXPECT_EQ(site.status, 2);
  EXPECT_TRUE(site.err.starts_with("mervane-convert: --attach must name one of the attach sites: ROOT PELVIS"));
}

TEST(Converter, HelpListsTheAttachSitesAndVersionIsThePrograms) {
  const Result help = Convert({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("ROOT PELVIS R_LEG R_LEG1 R_FOOT R_TOE R_TOE0 L_LEG"), std::string::npos);
  EXPECT_NE(help.out.find("--fix-normals"), std::string::npos);
  const Result version = Convert({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("mervane-convert ") + kVersion + "\n");
}

TEST(Converter, ConvertsBetweenSkinsAndProjects) {
  TempDir dir;
  const std::string example = test::ExamplePath("mannequin.skn");
  EXPECT_EQ(Convert({example, dir.path("a.skn")}).status, 0);
  EXPECT_EQ(Convert({example, dir.path("p.SPJ")}).status, 0);
  EXPECT_EQ(Convert({dir.path("p.spj"), dir.path("q.spj")}).status, 0);
  EXPECT_EQ(Convert({dir.path("q.spj"), dir.path("b.skn")}).status, 0);
  EXPECT_EQ(test::ReadFile(dir.path("a.skn")), test::ReadFile(dir.path("b.skn")));
  EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"a.skn", "b.skn", "p.mtl", "p.obj", "p.spj", "q.mtl",
                                                     "q.obj", "q.spj"}));
  // After --, a name that starts with a dash is a file's (here, in the folder worked in).
  std::filesystem::copy_file(example, dir.path("-m.skn"));
  const std::filesystem::path was = std::filesystem::current_path();
  std::filesystem::current_path(dir.root());
  const Result dashed = Convert({"--", "-m.skn", "-n.skn"});
  std::filesystem::current_path(was);
  EXPECT_EQ(dashed.status, 0) << dashed.err;
  EXPECT_EQ(test::ReadFile(dir.path("-n.skn")), test::ReadFile(dir.path("a.skn")));
}

TEST(Converter, FailuresExitWith1AndWriteNothing) {
  TempDir dir;
  test::WriteFile(dir.path("bad.skn"), "m\r\nt\r\n3\r\n");
  test::WriteFile(dir.path("q.spj"), "b\r\ns\r\n1\r\nX\r\n0 0 3 0 0\r\n0\r\n0\r\n0\r\n");
  test::WriteFile(dir.path("q.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1/1 2/1/1 3/1/1\n");
  test::WriteFile(dir.path("keep.skn"), "keep");
  const Result missing = Convert({dir.path("none.skn"), dir.path("keep.skn")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "mervane-convert: error 53: none.skn: cannot be read (No such file or directory)\n");
  const Result info_missing = Convert({"--info", dir.path("none.skn")});
  EXPECT_EQ(info_missing.status, 1);
  EXPECT_EQ(info_missing.err, missing.err);
  EXPECT_EQ(info_missing.out, "");
  const Result truncated = Convert({dir.path("bad.skn"), dir.path("keep.skn")});
  EXPECT_EQ(truncated.status, 1);
  EXPECT_EQ(truncated.err, "mervane-convert: error 62: bad.skn line 4: the file ends where a bone name was expected\n");
  // The normals question without --fix-normals: exit 1, naming the option.
  const Result unanswered = Convert({dir.path("q.spj"), dir.path("keep.skn")});
  EXPECT_EQ(unanswered.status, 1);
  EXPECT_NE(unanswered.err.find("Invalid Normals"), std::string::npos);
  EXPECT_NE(unanswered.err.find("--fix-normals=yes"), std::string::npos);
  // Answered, it reads; fixed, every vertex takes its own (missing) normal: still error 5.
  const Result answered = Convert({"--fix-normals=no", dir.path("q.spj"), dir.path("keep.skn")});
  EXPECT_EQ(answered.status, 1);
  EXPECT_TRUE(answered.err.starts_with("mervane-convert: error 5: ")) << answered.err;
  EXPECT_EQ(test::ReadFile(dir.path("keep.skn")), "keep");
  EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"bad.skn", "keep.skn", "q.obj", "q.spj"}));
  // Where the file holds a normal for each vertex, Yes gives each its own and
  // the project reads; No keeps the normal the faces name, which is not there.
  test::WriteFile(dir.path("n.spj"), test::ReadFile(dir.path("q.spj")));
  test::WriteFile(dir.path("n.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvt 0 0\n"
                                     "f 1/1/7 2/1/7 3/1/7\n");
  for (const auto& [answer, status] : {std::pair{"--fix-normals=yes", 0}, {"--fix-normals=no", 1}}) {
    const Result run = Convert({answer, dir.path("n.spj"), dir.path("n.skn")});
    EXPECT_EQ(run.status, status) << answer << ": " << run.err;
  }
}

TEST(Converter, InfoSummarisesASkin) {
  const Result r = Convert({"--info", test::ExamplePath("mannequin.skn")});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("mesh: mannequin\n"), std::string::npos);
  EXPECT_NE(r.out.find("bones: 7\n"), std::string::npos);
  EXPECT_NE(r.out.find("vertices: 60 (4 blended)"), std::string::npos);
  EXPECT_NE(r.out.find("L_LEG      vertices 40-47\n"), std::string::npos) << r.out;
}

// A bone that owns no vertices, or whose binding line does not read, is
// still listed: the summary is what a modder reaches for to find out why.
TEST(Converter, InfoNamesBonesWithoutVerticesAndUnreadableBindings) {
  const struct {
    const char* binding;  // R_LEG's, the last bone of the example
    const char* listed;
  } cases[] = {
      {"6 48 8 -1 0", "R_LEG      vertices 48-55\n"},
      {"6 48 0 -1 0", "R_LEG      no vertices\n"},
      {"6 48", "R_LEG      unreadable binding line\n"},
  };
  TempDir dir;
  std::vector<std::string> lines = test::SplitCrLf(test::ReadFile(test::ExamplePath("mannequin.skn")));
  const auto at = std::find(lines.begin(), lines.end(), "6 48 8 -1 0");
  ASSERT_NE(at, lines.end());
  for (const auto& c : cases) {
    *at = c.binding;
    test::WriteFile(dir.path("m.skn"), test::CrLf(lines));
    const Result r = Convert({"--info", dir.path("m.skn")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.ends_with(c.listed)) << r.out;
  }
}

TEST(Converter, ImportsAnObjAsAOneBonePart) {
  TempDir dir;
  const std::string torus = test::DataPath("blender/blender-parts/torus_quads.obj");
  const Result r = Convert({"--import", torus, "--attach", "head", dir.path("t.skn")});
  EXPECT_EQ(r.status, 0) << r.err;
  const auto lines = test::SplitCrLf(test::ReadFile(dir.path("t.skn")));
  ASSERT_GT(lines.size(), 4u);
  EXPECT_EQ(lines[0], "torus_quads");  // --name defaults to the file's base name
  EXPECT_EQ(lines[1], "torus_quads");  // --texture to the name
  EXPECT_EQ(lines[3], "HEAD");
  const Result named = Convert({"--import", torus, "--attach", "L_HAND", "--name", "ring", "--texture", "gold",
                             "--fix-normals=yes", dir.path("r.spj")});
  EXPECT_EQ(named.status, 0) << named.err;
  EXPECT_EQ(test::SplitCrLf(test::ReadFile(dir.path("r.spj")))[0], "ring");
  EXPECT_EQ(test::SplitCrLf(test::ReadFile(dir.path("r.spj")))[1], "gold");
}

// Each option in the forms the converter reads, at the ends of its range
// and one step past them.
TEST(Converter, ReadsEachOptionsFormsAndLimits) {
  const struct {
    std::vector<std::string> args;
    std::string problem;  // empty: read
    bool help;
    std::optional<double> lossy, frame;
    std::vector<std::string> positional;
  } cases[] = {
      {{"-h"}, "", true, {}, {}, {}},
      {{"--lossy", "0", "a.glb", "b.cmx"}, "", false, 0.0, {}, {"a.glb", "b.cmx"}},
      {{"--lossy", "1"}, "", false, 1.0, {}, {}},
      {{"--lossy", "1.5"}, "--lossy needs a tolerance from 0 to 1, not \"1.5\"", false, {}, {}, {}},
      {{"--lossy", "0.5x"}, "--lossy needs a tolerance from 0 to 1, not \"0.5x\"", false, {}, {}, {}},
      {{"--frame", "2x"}, "--frame needs a number, not \"2x\"", false, {}, {}, {}},
      {{"--frame", "-0.5"}, "", false, {}, -0.5, {}},
      {{"--lossy", ""}, "--lossy needs a tolerance from 0 to 1, not \"\"", false, {}, {}, {}},
      {{"--lossy", "1e999"}, "--lossy needs a tolerance from 0 to 1, not \"1e999\"", false, {}, {}, {}},
      {{"--size", ""}, "--size needs a whole number, not \"\"", false, {}, {}, {}},
      {{"--size", "99999999999"}, "--size needs a whole number, not \"99999999999\"", false, {}, {}, {}},
      // A lone dash is a name; after "--" every word is one.
      {{"-", "b.skn"}, "", false, {}, {}, {"-", "b.skn"}},
      {{"--", "--help", "-h"}, "", false, {}, {}, {"--help", "-h"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    try {
      const ConvertRequest request = ParseConvertArguments(c.args);
      EXPECT_EQ(c.problem, "");
      EXPECT_EQ(request.help, c.help);
      EXPECT_EQ(request.lossy, c.lossy);
      EXPECT_EQ(request.frame, c.frame);
      EXPECT_EQ(request.positional, c.positional);
    } catch (const UsageError& error) {
      EXPECT_EQ(error.what, c.problem);
    }
  }
}

}  // namespace
}  // namespace mervane
