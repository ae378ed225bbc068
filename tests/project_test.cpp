#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <sstream>

#include "cli/converter.h"
#include "files/line_reader.h"
#include "files/textfile.h"
#include "model/failure.h"
#include "model/numbers.h"
#include "model/paths.h"
#include "model/world.h"
#include "project/obj_reader.h"
#include "project/project.h"
#include "skn/skn.h"
#include "support.h"

namespace mervane {
namespace {

using test::CrLf;
using test::FakePrompts;
using test::TempDir;

using test::ReadProject;

// The project's model; the test fails if it does not read without a question.
SkinModel Project(const std::string& spj, const std::string& obj) { return test::ModelOf(ReadProject(spj, obj)); }

// The model saved as a project and read back.
SkinModel ThroughProject(const SkinModel& model) {
  const ProjectFiles files = BuildProjectFiles(model, "p.spj", "");
  return Project(files.spj, files.obj);
}

// Runs a test body with the working directory set to a folder.
class InFolder {
 public:
  explicit InFolder(const std::filesystem::path& folder) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~InFolder() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

TEST(ProjectFiles, TheWorkedExampleGivesExactlyItsThreeFiles) {
#ifdef _WIN32
  GTEST_SKIP() << "C:\\p is a real folder on Windows; windows_test.cpp saves into backslash folders there";
#endif
  TempDir dir;
  InFolder here(dir.root());
  test::WriteFile("ex.skn", CrLf({"body", "skin", "1", "EXTRA", "1", "0 1 2", "1", "0 0 3 0 0", "3",
                                  "0.250000 0.750000", "0.500000 0.500000", "1.000000 0.000000", "0", "3",
                                  "1 2 3 0.6 0.8 0", "4 5 6 0.6 0.8 0", "7 8 9 0.6 0.8 0"}));
  std::ostringstream out, err;
  ASSERT_EQ(RunConverter({"ex.skn", "C:\\p\\a.spj"}, out, err), 0) << err.str();

  EXPECT_EQ(test::ReadFile("C:\\p\\a.spj"), CrLf({"body", "skin", "1", "EXTRA", "0 0 3 0 0", "0", "0", "0"}));
  EXPECT_EQ(test::ReadFile("C:\\p\\a.mtl"),
            CrLf({"#", "# a.mtl", "#", "", "newmtl body", "Ka 0.200000 0.200000 0.200000",
                  "Kd 1.000000 1.000000 1.000000", "Ks 0.200000 0.200000 0.200000", "Ns 0.000000",
                  "map_Kd skin.bmp"}));
  EXPECT_EQ(test::ReadFile("C:\\p\\a.obj"),
            CrLf({"mtllib a.mtl", "", "g body", "usemtl body", "s off", "v -2.000000 1.000000 3.000000",
                  "v -5.000000 4.000000 6.000000", "v -8.000000 7.000000 9.000000",
                  "vn -0.800000 0.600000 0.000000", "vn -0.800000 0.600000 0.000000",
                  "vn -0.800000 0.600000 0.000000", "vt 0.250000 0.250000", "vt 0.500000 0.500000",
                  "vt 1.000000 1.000000", "", "g body", "usemtl body", "s off", "f 1/1/1 2/2/2 3/3/3"}));
}

TEST(ProjectFiles, TextureIsFoundInTheProjectFolderWithoutRegardToCase) {
  TempDir dir;
  std::filesystem::create_directory(dir.path("proj"));
  test::WriteFile(dir.path("proj/Skin.BMP"), "BM");
  SkinModel model = test::ReadSknText(CrLf({"body", "skin", "0", "0", "0", "0", "0", "0"}));
  const ProjectFiles files = BuildProjectFiles(
      model, dir.path("proj/x.SPJ"), ProjectTextureReference(model, dir.path("proj/x.SPJ"), FolderFiles(dir.path("proj/"))));
  EXPECT_EQ(files.spj_path, dir.path("proj/x.spj"));
  EXPECT_EQ(files.obj_path, dir.path("proj/x.obj"));
  EXPECT_EQ(files.mtl_path, dir.path("proj/x.mtl"));
  EXPECT_EQ(test::SplitCrLf(files.mtl).back(), "map_Kd Skin.BMP");
  // A model with no bones: no "v" or "vn" lines, the rest as usual.
  EXPECT_EQ(files.obj, CrLf({"mtllib x.mtl", "", "g body", "usemtl body", "s off"}));
  EXPECT_EQ(files.spj, CrLf({"body", "skin", "0", "0", "0", "0"}));
}

// The .mtl names a bitmap that a modeller loads: by its name beside the
// project, by its absolute path beside the file read, else as
// TextureName.bmp for a bitmap yet to be copied there. Paths typed relative
// to the current folder give the same.
TEST(ProjectFiles, TheMtlNamesTheBitmapWhereItIs) {
  TempDir dir;
  InFolder here(dir.root());
  std::filesystem::create_directories("src");
  std::filesystem::create_directories("out");
  test::WriteFile("src/body.skn", CrLf({"body", "skin", "0", "0", "0", "0", "0", "0"}));
  const std::string absolute = (std::filesystem::current_path() / "src" / "Skin.BMP").string();
  const struct {
    const char* name;
    std::vector<std::string> bitmaps;
    std::string target, map_kd;
  } cases[] = {
      {"beside the project", {"out/SKIN.bmp"}, "out/p.spj", "map_Kd SKIN.bmp"},
      {"beside the file read", {"src/Skin.BMP"}, "out/p.spj", "map_Kd " + absolute},
      {"beside both", {"src/Skin.BMP", "out/skin.bmp"}, "out/p.spj", "map_Kd skin.bmp"},
      {"nowhere", {}, "out/p.spj", "map_Kd skin.bmp"},
      {"saved beside the file read", {"src/Skin.BMP"}, "src/p.spj", "map_Kd Skin.BMP"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* old : {"src/Skin.BMP", "out/SKIN.bmp", "out/skin.bmp"}) std::filesystem::remove(old);
    for (const std::string& bitmap : c.bitmaps) test::WriteFile(bitmap, "BM");
    std::ostringstream out, err;
    ASSERT_EQ(RunConverter({"src/body.skn", c.target}, out, err), 0) << err.str();
    EXPECT_EQ(test::SplitCrLf(test::ReadFile(BasePathOf(c.target) + ".mtl")).back(), c.map_kd);
  }
}

TEST(World, EachLimbClassHasItsAxisChange) {
  const Vec3 offset{10, 20, 30};
  const struct {
    LimbClass limb;
    Vec3 position;
    Vec3 normal;
  } cases[] = {
      {LimbClass::Body, {18, 11, 33}, {-0.6, 0.48, 0.64}},
      {LimbClass::Leg, {-18, -11, 33}, {0.6, -0.48, 0.64}},
      {LimbClass::RightArm, {11, 18, 27}, {0.48, -0.6, -0.64}},
      {LimbClass::LeftArm, {-11, 22, 27}, {-0.48, 0.6, -0.64}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PositionToWorld(c.limb, {1, 2, 3}, offset), c.position);
    EXPECT_EQ(NormalToWorld(c.limb, {0.48, 0.6, 0.64}), c.normal);
    // And back again.
    EXPECT_EQ(PositionToLocal(c.limb, c.position, offset), (Vec3{1, 2, 3}));
    EXPECT_EQ(NormalToLocal(c.limb, c.normal), (Vec3{0.48, 0.6, 0.64}));
  }
  EXPECT_EQ(PositionToLocal(LimbClass::Body, {5, 4, 6}, {1, 2, 3}), (Vec3{3, -3, 3}));
  EXPECT_EQ(PositionToLocal(LimbClass::LeftArm, {5, 4, 6}, {1, 2, 3}), (Vec3{-6, 2, -3}));
  EXPECT_EQ(NormalToLocal(LimbClass::Leg, {0, 1, 0}), (Vec3{-1, 0, 0}));
}

TEST(World, BonesAreClassifiedByTheirUpperCasedUntrimmedName) {
  const std::map<std::string, LimbClass> cases{
      {"l_hand", LimbClass::LeftArm}, {"L_Hand", LimbClass::LeftArm},  {"L_ARM2", LimbClass::LeftArm},
      {"r_arm", LimbClass::RightArm}, {"R_HAND", LimbClass::RightArm}, {"L_TOE0", LimbClass::Leg},
      {"r_leg1", LimbClass::Leg},     {"L_TOE", LimbClass::Body},      {" L_HAND", LimbClass::Body},
      {"L_HAND ", LimbClass::Body},   {"pelvis", LimbClass::Body},     {"ROOT", LimbClass::Body},
  };
  for (const auto& [name, limb] : cases) EXPECT_EQ(ClassifyBone(name), limb) << '"' << name << '"';
}

TEST(ProjectWriter, WritesTextureVerticesFlippedAndFacesOneBased) {
  SkinModel model = test::ReadSknText(CrLf({"m", "t", "1", "EXTRA", "1", "  0 1 2  ", "1", "5 0 3 0 0",
                                            "3", "0.3 0.1", "0.25 0.75", "1 0", "0", "3",
                                            "1 2 3 0 0 1", "1 2 3 0 0 1", "1 2 3 0 0 1"}));
  const auto obj = test::SplitCrLf(BuildProjectFiles(model, "/nowhere/x.spj", "").obj);
  EXPECT_NE(std::find(obj.begin(), obj.end(), "vt 0.300000 0.900000"), obj.end());
  EXPECT_NE(std::find(obj.begin(), obj.end(), "vt 0.250000 0.250000"), obj.end());
  EXPECT_EQ(obj.back(), "f 1/1/1 2/2/2 3/3/3");  // blanks around the face line do not matter
  // The binding line's first field names bone 5; it is still bone 0's range.
  EXPECT_EQ(std::count_if(obj.begin(), obj.end(), [](const std::string& l) { return l.rfind("v ", 0) == 0; }), 3);
}

TEST(ProjectWriter, SavingTwiceWritesIdenticalFiles) {
  TempDir dir;
  const SkinModel model = test::ReadSknText(test::ReadFile(test::ExamplePath("mannequin.skn")));
  FakePrompts prompts;
  ASSERT_EQ(SaveProject(model, prompts, dir.path("a.spj")), Outcome::Succeeded);
  const std::string first = test::ReadFile(dir.path("a.obj")) + test::ReadFile(dir.path("a.spj"));
  ASSERT_EQ(SaveProject(model, prompts, dir.path("a.spj")), Outcome::Succeeded);
  EXPECT_EQ(first, test::ReadFile(dir.path("a.obj")) + test::ReadFile(dir.path("a.spj")));
  EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"a.mtl", "a.obj", "a.spj"}));
}

TEST(ProjectWriter, FailuresLeaveEveryExistingFileAsItWas) {
  const std::string skn = test::ReadFile(test::ExamplePath("mannequin.skn"));
  struct Case {
    const char* name;
    std::function<void(SkinModel&)> spoil;
    std::string target;
    int number;
  };
  TempDir dir;
  for (const char* ext : {"spj", "obj", "mtl"}) test::WriteFile(dir.path(std::string("old.") + ext), ext);
  std::filesystem::create_directory(dir.path("folder.obj"));
  const Case cases[] = {
      {"binding line with four fields", [](SkinModel& m) { m.BindingLines.set(2, "2 16 8 -1"); }, "old.spj", 5},
      {"range reaching an empty vertex", [](SkinModel& m) { m.BindingLines.set(6, "6 48 100 -1 0"); }, "old.spj", 5},
      {"range past the tables", [](SkinModel& m) { m.BindingLines.set(6, "6 31990 100 -1 0"); }, "old.spj", 9},
      {"blended vertices before the first", [](SkinModel& m) { m.BlendCount = 100; }, "old.spj", 9},
      {"face index past 16 bits", [](SkinModel& m) { m.FaceLines.set(0, "0 1 32767"); }, "old.spj", 6},
      {"face line with two fields", [](SkinModel& m) { m.FaceLines.set(0, "0 1"); }, "old.spj", 5},
      {"missing folder", [](SkinModel&) {}, "none/x.spj", 76},
      {"one of the files is a folder", [](SkinModel&) {}, "folder.spj", 75},
      {"no extension", [](SkinModel&) {}, "noext", 5},
      {"no name before the extension", [](SkinModel&) {}, ".spj", 52},
      {"texture vertex with one number", [](SkinModel& m) { m.TexVertexLines.set(0, "0.5"); }, "old.spj", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SkinModel model = test::ReadSknText(skn);
    c.spoil(model);
    FakePrompts prompts;
    EXPECT_EQ(SaveProject(model, prompts, dir.path(c.target)), Outcome::Failed);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, ErrorMessage(c.number));
    EXPECT_FALSE(prompts.messages[0].detail.empty());
    for (const char* ext : {"spj", "obj", "mtl"})
      EXPECT_EQ(test::ReadFile(dir.path(std::string("old.") + ext)), ext);
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"folder.obj", "old.mtl", "old.obj", "old.spj"}));
  }
}

// .skn -> project -> .skn gives the skin back up to the six-decimal rounding,
// and a second round trip gives the same bytes.
TEST(ProjectRoundTrip, GivesTheSkinBack) {
  std::vector<std::string> all_bones;
  for (const auto& bone : SkeletonTable()) all_bones.push_back(bone.name);
  all_bones.push_back("ROOT");
  std::vector<std::string> lower;
  for (const auto& b : all_bones) lower.push_back(ToLowerAscii(b));
  std::vector<int> counts(all_bones.size(), 5);
  counts[3] = 0;
  counts[10] = 0;
  const std::vector<std::string> sources{
      test::ReadFile(test::ExamplePath("mannequin.skn")),
      test::ReadFile(test::DataPath("blender/blender-roundtrip/sample.skn")),
      test::MakeSkn({all_bones, counts, 9, 11}),
      test::MakeSkn({lower, counts, 0, 12}),
      test::MakeSkn({{"PELVIS"}, {0}, 3, 13}),
      test::MakeSkn({{"HEAD", "L_HAND", "r_foot"}, {40, 1, 2}, 1, 14}),
  };
  for (const std::string& source : sources) {
    const SkinModel original = test::ReadSknText(source);
    const SkinModel back = ThroughProject(original);
    EXPECT_FALSE(back.SaveAsProjectFirst);
    test::ExpectSameUpTo(back, original, 2e-6, 2e-6);

    const std::string first = SknText(back);
    EXPECT_EQ(SknText(ThroughProject(test::ReadSknText(first))), first);
  }
}

TEST(ProjectReader, ReadsTheBlenderRoundTripByteForByte) {
  const std::string folder = "blender/blender-roundtrip/";
  const SkinModel model = Project(test::ReadFile(test::DataPath(folder + "moved.spj")),
                                  test::ReadFile(test::DataPath(folder + "moved.obj")));
  EXPECT_EQ(SknText(model), test::ReadFile(test::DataPath(folder + "moved-expected.skn")));
}

TEST(ProjectReader, RefusesAProjectWhoseVerticesNoLongerPairWithTheBones) {
  const std::string folder = "blender/blender-roundtrip/";
  const Failure failure = test::ExpectFailure([&] {
    ParseProject(test::ReadFile(test::DataPath(folder + "cube.spj")), test::ReadFile(test::DataPath(folder + "cube.obj")),
                 "cube.spj", "cube.obj", [] { return std::optional<bool>(); });
  });
  EXPECT_EQ(failure.message(), ErrorMessage(5));
  const std::string detail = failure.detail();
  EXPECT_NE(detail.find("cube.obj line"), std::string::npos) << detail;
  EXPECT_NE(detail.find("176 vertices"), std::string::npos) << detail;
  EXPECT_NE(detail.find("cube"), std::string::npos) << detail;
}

// Rewrites a project .obj the way a modeller re-saves it: LF line ends, a
// header and object lines, tabs, normals rounded to four decimals,
// deduplicated and shuffled, texture vertices deduplicated, triangle pairs
// that share an edge as quads, and negative (relative) indices, without a
// final line end.
std::string ModellerStyle(const std::string& obj_text, bool relative) {
  std::vector<std::string> v, vt, vn_raw;
  std::vector<std::array<int, 3>> faces;
  for (const std::string& line : test::SplitCrLf(obj_text)) {
    if (line.rfind("v ", 0) == 0) v.push_back(line.substr(2));
    if (line.rfind("vt ", 0) == 0) vt.push_back(line.substr(3));
    if (line.rfind("vn ", 0) == 0) vn_raw.push_back(line.substr(3));
    if (line.rfind("f ", 0) == 0) {
      std::array<int, 3> f{};
      std::sscanf(line.c_str(), "f %d/%*d/%*d %d/%*d/%*d %d", &f[0], &f[1], &f[2]);
      faces.push_back(f);
    }
  }
  auto four = [](const std::string& triple) {
    std::array<double, 3> n{};
    std::sscanf(triple.c_str(), "%lf %lf %lf", &n[0], &n[1], &n[2]);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%.4f %.4f %.4f", n[0], n[1], n[2]);
    return std::string(buf);
  };
  std::vector<std::string> normals;
  std::vector<int> normal_of(vn_raw.size());
  std::map<std::string, int> seen;
  for (std::size_t i = 0; i < vn_raw.size(); ++i) {
    const std::string n = four(vn_raw[i]);
    if (!seen.count(n)) seen[n] = static_cast<int>(seen.size());
    normal_of[i] = seen[n];
  }
  normals.resize(seen.size());
  std::vector<int> shuffled(seen.size());
  for (std::size_t i = 0; i < shuffled.size(); ++i) shuffled[i] = static_cast<int>(i);
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
  for (const auto& [text, index] : seen) normals[shuffled[index]] = text;
  std::map<std::string, int> tex_index;
  std::vector<std::string> tex;
  std::vector<int> tex_of(vt.size());
  for (std::size_t i = 0; i < vt.size(); ++i) {
    if (!tex_index.count(vt[i])) {
      tex_index[vt[i]] = static_cast<int>(tex.size());
      tex.push_back(vt[i]);
    }
    tex_of[i] = tex_index[vt[i]];
  }
  std::string out = "# Blender 3.4.1\n# www.blender.org\nmtllib p.mtl\no skin\n";
  for (const auto& p : v) out += "v\t" + p + "\n";
  for (const auto& n : normals) out += "vn " + n + "\n";
  for (const auto& t : tex) out += "vt " + t + "\n";
  out += "s 1\nusemtl skin\n";
  const int nv = static_cast<int>(v.size()), nt = static_cast<int>(tex.size()),
            nn = static_cast<int>(normals.size());
  auto corner = [&](int vertex) {
    const int t = tex_of[vertex - 1] + 1, n = shuffled[normal_of[vertex - 1]] + 1;
    if (relative) return std::to_string(vertex - nv - 1) + "/" + std::to_string(t - nt - 1) + "/" + std::to_string(n - nn - 1);
    return std::to_string(vertex) + "/" + std::to_string(t) + "/" + std::to_string(n);
  };
  for (std::size_t i = 0; i < faces.size(); ++i) {
    const auto& f = faces[i];
    // (a b c) followed by (a c d) is the fan of the quad (a b c d).
    if (i + 1 < faces.size() && faces[i + 1][0] == f[0] && faces[i + 1][1] == f[2]) {
      out += "f " + corner(f[0]) + " " + corner(f[1]) + "  " + corner(f[2]) + "\t" + corner(faces[i + 1][2]) + "\n";
      ++i;
    } else {
      out += "f " + corner(f[0]) + " " + corner(f[1]) + " " + corner(f[2]) + "\n";
    }
  }
  out.pop_back();
  return out;
}

TEST(ProjectReader, ReadsProjectsReSavedInModellerStyle) {
  for (bool relative : {false, true}) {
    SCOPED_TRACE(relative ? "relative indices" : "absolute indices");
    const SkinModel original = test::ReadSknText(test::ReadFile(test::ExamplePath("mannequin.skn")));
    const ProjectFiles files = BuildProjectFiles(original, "p.spj", "");
    const std::string restyled = ModellerStyle(files.obj, relative);
    ASSERT_NE(restyled.find("\t"), std::string::npos);
    ASSERT_EQ(restyled.find('\r'), std::string::npos);
    ASSERT_GT(std::count(restyled.begin(), restyled.end(), '\n'), 10);
    const SkinModel back = Project(files.spj, restyled);
    // Normals come back within the four decimals the modeller kept.
    test::ExpectSameUpTo(back, original, 2e-6, 6e-5);
  }
}

// Lines as the writer writes them take a quicker reading than others; both
// must give the same skin, byte for byte.
TEST(ProjectReader, PlainAndOtherwiseSpacedLinesReadAlike) {
  const SkinModel original = test::ReadSknText(test::ReadFile(test::ExamplePath("mannequin.skn")));
  const ProjectFiles files = BuildProjectFiles(original, "p.spj", "");
  const std::string expected = SknText(Project(files.spj, files.obj));
  auto each_line = [&](auto&& change) {
    std::string out, line;
    std::istringstream in(files.obj);
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      out += change(line) + "\n";
    }
    return out;
  };
  auto replace = [](std::string line, char from, const std::string& to) {
    for (std::size_t at = 0; (at = line.find(from, at)) != std::string::npos; at += to.size())
      line.replace(at, 1, to);
    return line;
  };
  const struct {
    const char* name;
    std::function<std::string(const std::string&)> change;
  } cases[] = {
      {"two spaces", [&](const std::string& l) { return replace(l, ' ', "  "); }},
      {"tabs", [&](const std::string& l) { return replace(l, ' ', "\t"); }},
      {"leading and trailing blanks", [](const std::string& l) { return " " + l + " "; }},
      {"upper-case keywords", [](std::string l) { return l.empty() ? l : (l[0] = static_cast<char>(std::toupper(l[0])), l); }},
      {"seven decimals", [](const std::string& l) {
         if (!l.starts_with('v')) return l;
         std::string out = l.substr(0, l.find(' '));
         std::istringstream fields(l.substr(out.size()));
         for (std::string f; fields >> f;) out += " " + f + "0";
         return out;
       }},
      {"long face indices", [&](const std::string& l) { return l[0] == 'f' ? replace(replace(l, ' ', " +"), '/', "/+") : l; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SknText(Project(files.spj, each_line(c.change))), expected);
  }
}

// What an .obj's geometry reads as: its lists and face lines, numbers in
// hexadecimal so that every bit and the sign of zero count, or the failure.
std::string ObjGeometry(const std::string& obj) {
  SkinModel model;
  LineReader in(obj);
  std::ostringstream out;
  out << std::hexfloat;
  try {
    const ObjLists lists = ReadObjGeometry(model, in, [] { return std::optional<bool>(true); });
    for (const Vec3& v : lists.vertices) out << "v " << v.x << ' ' << v.y << ' ' << v.z << '\n';
    for (const Vec3& n : lists.normals) out << "vn " << n.x << ' ' << n.y << ' ' << n.z << '\n';
    for (const Vec2& t : lists.tex_vertices) out << "vt " << t[0] << ' ' << t[1] << '\n';
    for (int i = 0; i < model.FaceCount; ++i) out << "f " << model.FaceLines.at(i) << '\n';
    for (std::size_t v = 0; v < lists.tex_of.size(); ++v) out << v << ": " << lists.tex_of[v] << ' ' << lists.normal_of[v] << '\n';
  } catch (const Failure& failure) {
    out << "error " << failure.number() << " of kind " << static_cast<int>(failure.kind());
  }
  return out.str();
}

// "v", "vn" and "vt" lines of six-decimal numbers one space apart are read
// in one pass, which must give what the general reading gives; a leading
// tab keeps a line from that pass.
TEST(ProjectReader, PlainCoordinateLinesReadAsOthersDo) {
  const char* lines[] = {
      "v 1.000000 -2.500000 3.250000", "v -0.000000 0.000000 -0.000001", "v 999999999.999999 -1.000000 0.000000",
      "v 9999999999.999999 0.000000 0.000000", "v 1.000000 2.000000 3.000000 ",
      "v 1.000000 2.000000 3.000000 4.000000", "v 1.000000  2.000000 3.000000", "v 1.0000005 2.000000 3.000000",
      "v 1.000000e1 2.000000 3.000000", "v 01.000000 2.000000 3.000000", "v 1.12345: 2.000000 3.000000",
      "v 1.000000 2.000000 3.000000x", "v 1.000000,2.000000 3.000000", "v 1.000000 2.000000",
      "v 1.000000 2.000000 3.000000e1", "vn 0.000000 0.000000 1.000000", "vt 0.500000 0.250000e1",
      "vn 0.600000 0.800000 0.000000\t", "vt 0.500000 0.250000", "vt 0.500000 0.250000 0.000000",
      "vt -0.000000 1.000000", "vt 0.500000",
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    EXPECT_EQ(ObjGeometry(std::string(line) + "\n"), ObjGeometry("\t" + std::string(line) + "\n"));
  }
}

// A face corner of plain indices ("3/2/1") is read in one pass, which must
// take only what the number rule reads alike (a fraction is rounded, not
// cut); a leading zero keeps an index from that pass without changing it.
TEST(ProjectReader, PlainFaceIndicesReadAsTheNumberRuleReadsThem) {
  const char* corners[] = {
      "3/2/1",     "3/2.6/1",   "3.4/2/1",   "3/2/1.5",   "2.5/2/1",    "3/2/1e0", "3e0/2/1", "3/2/1x",
      "3x/2/1",    "3//1",      "3/2",       "3/2/1/4",   "3/2/",       "-1/-2/-3", "1/-1/2", "12345/1/1",
      "32001/1/1", "32002/1/1", "99999/1/1", "100000/1/1", "0/1/1",
  };
  const std::string head = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\nvn 1 0 0\nvn 0 1 0\nf 1/1/1 2/2/2 ";
  for (const std::string corner : corners) {
    SCOPED_TRACE(corner);
    std::string zeroed;
    for (std::size_t i = 0; i < corner.size(); ++i) {
      if ((i == 0 || corner[i - 1] == '/') && corner[i] >= '1' && corner[i] <= '9') zeroed += '0';
      zeroed += corner[i];
    }
    EXPECT_EQ(ObjGeometry(head + corner + "\n"), ObjGeometry(head + zeroed + "\n"));
  }
}

// A small project written by hand in a modeller's style, with the skin it must give.
TEST(ProjectReader, HandWrittenModellerFileGivesItsSkin) {
  const SkinModel model = Project("hand\nskin\n1\nextra\n0 0 5 0 0\n0\n0\n0\n",
                  "# made by hand\nmtllib hand.mtl\no hand\n"
                  "v 0 0 0\nv\t1\t0\t0\t1.0\nv 1 1 0\nv 0 1 0\nv 0.5 2 1.5\n"
                  "vt 0 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                  "vn 0.0000 0.0000 1.0000\nvn 0.6000 0.8000 0.0000\n"
                  "s 1\nusemtl skin\n"
                  "f 1/1/1 2/2/1 3/3/1 4/4/1\n"
                  "f -2/-1/-1 -3/-2/-1 -1/-4/-2");
  EXPECT_EQ(SknText(model),
            CrLf({"hand", "skin", "1", "extra", "3", "0 1 2", "0 2 3", "3 2 4", "1", "0 0 5 0 0", "5",
                  "0.000000 1.000000", "1.000000 1.000000", "1.000000 0.000000", "0.000000 0.000000",
                  "0.000000 1.000000", "0", "5",
                  // extra is not in the skeleton: Body class, no offsets: local (y, -x, z)
                  "0.000000 0.000000 0.000000 0.000000 0.000000 1.000000",
                  "0.000000 -1.000000 0.000000 0.000000 0.000000 1.000000",
                  "1.000000 -1.000000 0.000000 0.800000 -0.600000 0.000000",
                  "1.000000 0.000000 0.000000 0.800000 -0.600000 0.000000",
                  "2.000000 -0.500000 1.500000 0.000000 0.000000 1.000000"}));
}

TEST(ProjectReader, AsksOnceWhetherToFixInvalidNormals) {
  // The first face names normal 7 while only 6 are read; the second face,
  // read after all nine normals, is not asked about and decides the normals.
  std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\n";
  for (int i = 0; i < 6; ++i) obj += "vn 0 0 1\n";
  obj += "f 1/1/7 2/1/1 3/1/1\nvn 1 0 0\nvn 0 1 0\nvn 0.6 0.8 0\nf 1/1/9 2/1/8 3/1/7\n";
  for (bool fix : {true, false}) {
    SCOPED_TRACE(fix ? "Yes" : "No");
    const test::ReadEnd r = ReadProject(CrLf({"n", "t", "1", "EXTRA", "0 0 3 0 0", "0", "0", "0"}), obj, fix);
    ASSERT_TRUE(r.model) << r.detail();
    EXPECT_EQ(r.questions, 1);
    // Turned back into the bone's axes: (y, -x, z).
    const std::vector<std::string> expected =
        fix ? std::vector<std::string>(3, "0.000000 0.000000 1.000000")  // each vertex's own normal
            : std::vector<std::string>{"0.800000 -0.600000 0.000000", "1.000000 0.000000 0.000000",
                                       "0.000000 -1.000000 0.000000"};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(r.model->NormalLines.at(i), expected[i]) << i;
  }
}

TEST(ProjectReader, FailuresCarryTheirMessageAndPlace) {
  const std::string spj = CrLf({"body", "skin", "1", "EXTRA", "0 0 3 0 0", "0", "0", "0"});
  const std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1\n";
  std::string many_v;
  for (int i = 0; i < 32000; ++i) many_v += "v 0 0 0\n";
  std::string many_f;
  for (int i = 0; i < 32002; ++i) many_f += "f 1/1/1 2/1/1 3/1/1\n";
  const struct {
    const char* name;
    std::string spj, obj;
    std::string message;
    const char* detail_part;
    std::optional<bool> answer;
  } cases[] = {
      {".spj ends after its bones", CrLf({"body", "skin", "1", "EXTRA", "0 0 3 0 0"}), obj, ErrorMessage(62), "in.spj line 6", {}},
      {"bone count outside 16 bits", CrLf({"b", "s", "99999999"}), obj, ErrorMessage(6), "in.spj line 3", {}},
      {"more than 101 bones", CrLf({"b", "s", "102"}), obj, ErrorMessage(9), "in.spj line 3", {}},
      {"binding line with four fields", CrLf({"b", "s", "1", "X", "0 0 3 0", "0", "0", "0"}), obj, ErrorMessage(5), "in.spj line 5", {}},
      {"blended count overflows", CrLf({"b", "s", "1", "X", "0 0 3 0 0", "32767", "0", "0"}), obj, ErrorMessage(6), "in.spj line 6", {}},
      {"blended count one past 16 bits", CrLf({"b", "s", "1", "X", "0 0 3 0 0", "32765", "0", "0"}), obj, ErrorMessage(6), "in.spj line 6", {}},
      {"blended vertices past the limit", CrLf({"b", "s", "1", "X", "0 0 3 0 0", "31997"}), obj, LimitMessage(FailureKind::VertexLimit), "in.spj line 6", {}},
      {"blended normals past the limit", CrLf({"b", "s", "1", "X", "0 0 3 0 0", "0", "31997"}), obj, LimitMessage(FailureKind::NormalLimit), "in.spj line 7", {}},
      {"more than 32001 blend entries", CrLf({"b", "s", "1", "X", "0 0 3 0 0", "0", "0", "32002"}), obj, ErrorMessage(9), "in.spj line 8", {}},
      {"32000th v line", spj, many_v, LimitMessage(FailureKind::VertexLimit), "in.obj line 32000", {}},
      {"v line with two numbers", spj, "v 1 2\n", ErrorMessage(5), "in.obj line 1", {}},
      {"vt line with one number", spj, "vt 1\n", ErrorMessage(5), "in.obj line 1", {}},
      {"corner without normal part", spj, "v 0 0 0\nvt 0 0\nvn 0 0 1\nf 1/1 1/1 1/1\n", ErrorMessage(5), "in.obj line 4", {}},
      {"corner with empty texture part", spj, "v 0 0 0\nvt 0 0\nvn 0 0 1\nf 1//1 1//1 1//1\n", ErrorMessage(9), "in.obj line 4", {}},
      {"face with two corners", spj, "v 0 0 0\nvt 0 0\nvn 0 0 1\nf 1/1/1 1/1/1\n", ErrorMessage(5), "in.obj line 4", {}},
      {"more than 32001 faces", spj, obj + many_f, ErrorMessage(9), "in.obj line 32007: more than 32001 faces", {}},
      {"index past the tables", spj, "v 0 0 0\nvt 0 0\nvn 0 0 1\nf 1/1/1 1/1/1 32002/1/1\n", ErrorMessage(9), "in.obj line 4", {}},
      {"too few vertices for the bones", spj, "v 0 0 0\nv 1 0 0\nvt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 2/1/1\n", ErrorMessage(5), "needs vertices up to 3", {}},
      {"vertex that no face uses", spj, "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 2/1/1\n", ErrorMessage(5),
       "vertex 2 (counted from 0) of bone EXTRA: no face uses it any longer (were faces deleted in the modeller?)", {}},
      {"no normals, answered no", spj, "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1/1 2/1/1 3/1/1\n", ErrorMessage(5), "vertex 0 (counted from 0) of bone EXTRA: its faces name normal 1 (counted from 1), which the file does not hold", {false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const test::ReadEnd r = ReadProject(c.spj, c.obj, c.answer);
    EXPECT_EQ(r.problem, "");
    EXPECT_EQ(r.message(), c.message);
    EXPECT_NE(r.detail().find(c.detail_part), std::string::npos) << r.detail();
  }
}

// A project that cannot be read, or does not read, costs the user nothing:
// the model loaded before stays, loaded. An unanswered question says
// nothing more of its own.
TEST(LoadProject, FailuresTellTheUserAndKeepThePreviousModel) {
  const std::string spj = CrLf({"b", "s", "1", "X", "0 0 3 0 0", "0", "0", "0"});
  const struct {
    const char* name;
    std::string spj, obj;  // empty: no such file
    std::vector<std::string> messages;
    std::size_t questions;
  } cases[] = {
      {"missing .spj", "", "v 0 0 0\n", {ErrorMessage(53)}, 0},
      {"missing .obj", spj, "", {ErrorMessage(53)}, 0},
      {"cut .spj", CrLf({"b", "s", "1"}), "v 0 0 0\n", {ErrorMessage(62)}, 0},
      {"unanswered question", spj, "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1/1 2/1/1 3/1/1\n", {}, 1},
  };
  SkinModel before = test::ReadSknText(test::ReadFile(test::ExamplePath("mannequin.skn")));
  before.ModelLoaded = true;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    if (!c.spj.empty()) test::WriteFile(dir.path("p.spj"), c.spj);
    if (!c.obj.empty()) test::WriteFile(dir.path("p.obj"), c.obj);
    SkinModel model = before;
    FakePrompts prompts;  // no answers
    EXPECT_EQ(LoadProject(model, prompts, dir.path("p.spj")), Outcome::Failed);
    std::vector<std::string> said;
    for (const auto& m : prompts.messages) said.push_back(m.text);
    EXPECT_EQ(said, c.messages);
    EXPECT_EQ(prompts.questions.size(), c.questions);
    if (c.name == std::string("missing .obj")) {
      EXPECT_NE(prompts.messages.at(0).detail.find("p.obj"), std::string::npos);
    }
    std::string why;
    EXPECT_TRUE(test::SameModel(model, before, &why)) << why;
    EXPECT_TRUE(model.ModelLoaded);
  }
}

TEST(ProjectReader, BlendedPartComesFromTheSpjAfterTheObjVertices) {
  const SkinModel model = Project(CrLf({"b", "s", "1", "X", "0 0 3 0 2", "2", "9 9 9", "8 8 8", "2",
                                        "1 1 1", "2 2 2", "1", "3 16384"}),
                                  "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1\n");
  EXPECT_EQ(model.VertexCount, 5);
  EXPECT_EQ(model.NormalCount, 5);
  EXPECT_EQ(model.TexVertexCount, 3);
  EXPECT_EQ(model.VertexLines.at(3), "9 9 9");
  EXPECT_EQ(model.NormalLines.at(4), "2 2 2");
  EXPECT_EQ(model.BlendLines.at(0), "3 16384");
}

}  // namespace
}  // namespace mervane

namespace mervane {
namespace {

// What is drawn is what the project's .obj holds.
TEST(WorldMesh, AgreesWithTheProjectObj) {
  SkinModel model = test::ReadSknText(test::ReadFile(test::ExamplePath("mannequin.skn")));
  const WorldMesh mesh = BuildWorldMesh(model);
  const auto obj = test::SplitCrLf(BuildProjectFiles(model, "/nowhere/m.spj", "").obj);
  std::vector<std::string> v_lines, vn_lines;
  for (const auto& line : obj) {
    if (line.rfind("v ", 0) == 0) v_lines.push_back(line);
    if (line.rfind("vn ", 0) == 0) vn_lines.push_back(line);
  }
  ASSERT_EQ(v_lines.size(), 56u);  // the mannequin's ranges cover vertices 0 to 55 in order
  ASSERT_EQ(mesh.positions.size(), 60u);
  for (std::size_t k = 0; k < v_lines.size(); ++k) {
    ASSERT_TRUE(mesh.placed[k]);
    const Vec3 p = mesh.positions[k], n = mesh.normals[k];
    EXPECT_EQ(v_lines[k], "v " + FormatCoord(p.x, p.y, p.z));
    EXPECT_EQ(vn_lines[k], "vn " + FormatCoord(n.x, n.y, n.z));
  }
  for (std::size_t k = 56; k < 60; ++k) EXPECT_FALSE(mesh.placed[k]) << "blended vertex " << k;
  EXPECT_EQ(mesh.triangles.size(), 84u);
  EXPECT_FLOAT_EQ(mesh.uvs[1][1], 1.0f - 0.0f);
}

TEST(WorldMesh, BoneMarkersStandAtTheBonesOriginsWithLinesToTheirParents) {
  SkinModel model = test::ReadSknText(test::ReadFile(test::ExamplePath("mannequin.skn")));
  const auto markers = BuildBoneMarkers(model);
  ASSERT_EQ(markers.size(), 7u);
  std::map<std::string, BoneMarker> by_name;
  for (const auto& m : markers) by_name.emplace(m.name, m);
  EXPECT_FALSE(by_name.at("PELVIS").parent_origin);
  EXPECT_FALSE(by_name.at("HEAD").parent_origin);  // its parent, NECK, is not in the mannequin
  ASSERT_TRUE(by_name.at("SPINE").parent_origin);
  EXPECT_EQ(*by_name.at("SPINE").parent_origin, by_name.at("PELVIS").origin);
  // Arms to either side at shoulder height, legs below the pelvis.
  EXPECT_GT(by_name.at("R_ARM").origin.x, 0.1);
  EXPECT_LT(by_name.at("L_ARM").origin.x, -0.1);
  EXPECT_NEAR(by_name.at("L_ARM").origin.y, 1.6076, 1e-3);
  EXPECT_GT(by_name.at("HEAD").origin.y, 2.0);
}

}  // namespace
}  // namespace mervane

namespace mervane {
namespace {

TEST(ProjectReader, NGonsBecomeFansOfTriangles) {
  const SkinModel model = Project(CrLf({"g", "t", "1", "EXTRA", "0 0 6 0 0", "0", "0", "0"}),
                                  "v 0 0 0\nv 1 0 0\nv 2 1 0\nv 1 2 0\nv 0 1 0\nv 5 5 5\nvt 0 0\nvn 0 0 1\n"
                                  "f 1/1/1 2/1/1 3/1/1 4/1/1 5/1/1\nf 6/1/1 1/1/1 2/1/1\n");
  ASSERT_EQ(model.FaceCount, 4);
  EXPECT_EQ(model.FaceLines.at(0), "0 1 2");
  EXPECT_EQ(model.FaceLines.at(1), "0 2 3");
  EXPECT_EQ(model.FaceLines.at(2), "0 3 4");
  EXPECT_EQ(model.FaceLines.at(3), "5 0 1");
}

}  // namespace
}  // namespace mervane
