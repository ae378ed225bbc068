// Hostile input and hostile disks: cut, corrupted and oversized files, names
// that are not UTF-8, targets that cannot be written. Every case must end in
// a clean failure with its message or in a valid result, and a failure must
// leave the user's files as they were.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <sstream>

#include "../bench/max_skin.h"
#include "cli/converter.h"
#include "convert_support.h"
#include "import/obj_import.h"
#include "model/failure.h"
#include "model/numbers.h"
#include "model/paths.h"
#include "model/skeleton.h"
#include "project/project.h"
#include "skn/skn.h"
#include "support.h"

#if defined(__SANITIZE_ADDRESS__)
#define MERVANE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MERVANE_UNDER_ASAN 1
#endif
#endif

namespace mervane {
namespace {

namespace fs = std::filesystem;
using test::CrLf;
using test::FakePrompts;
using test::TempDir;

// ---------------------------------------------------------------------------
// Shared checks

using test::ReadProject;
using test::ReadSkn;

test::ReadEnd ReadPart(const std::string& obj, const char* site = "HEAD", std::optional<bool> answer = true) {
  return test::ReadPart(obj, site, answer);
}

std::string Mannequin() { return test::ReadFile(test::ExamplePath("mannequin.skn")); }

ProjectFiles MannequinProject() { return BuildProjectFiles(test::ReadSknText(Mannequin()), "m.spj", ""); }

// The converter's first line for a failure that the content of a file can
// bring about: "mervane-convert: error 62: ..." or a limit message.
bool IsContentFailureLine(const std::string& line) {
  const std::string prefix = "mervane-convert: ";
  for (int number : test::kContentErrors)
    if (line.starts_with(prefix + "error " + std::to_string(number) + ": ")) return true;
  for (FailureKind kind : {FailureKind::TexVertexLimit, FailureKind::VertexLimit, FailureKind::NormalLimit})
    if (line.starts_with(prefix + LimitMessage(kind) + ": ")) return true;
  return line.starts_with(prefix + kCorruptBindingsMessage + ": ");
}

// Where a text can be cut after a line: its start and after each line end.
std::vector<std::size_t> LineCuts(const std::string& text) {
  std::vector<std::size_t> cuts{0};
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n' && i + 1 < text.size()) cuts.push_back(i + 1);
  return cuts;
}


// Every file in a folder with its bytes.
std::map<std::string, std::string> Snapshot(const TempDir& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir.root()))
    files[entry.path().filename().string()] =
        entry.is_regular_file() ? test::ReadFile(entry.path().string()) : std::string("<folder>");
  return files;
}

using test::Converted;
using test::Convert;

// Runs the converter with earlier results already at the target. A failure
// must say one known message and leave the folder as it was; a success must
// write a target that reads back.
void ConvertOverExisting(const TempDir& dir, const std::vector<std::string>& args, const std::string& target,
                         int& succeeded, int& failed) {
  const auto before = Snapshot(dir);
  const Converted r = Convert(args);
  if (r.status == 0) {
    ++succeeded;
    SkinModel back;
    FakePrompts prompts;
    prompts.answers = {true};
    const Outcome reread = ExtensionOf(target) == "skn" ? LoadSkn(back, prompts, dir.path(target))
                                                        : LoadProject(back, prompts, dir.path(target));
    EXPECT_EQ(reread, Outcome::Succeeded) << (prompts.messages.empty() ? "" : prompts.messages[0].detail);
    return;
  }
  ++failed;
  ASSERT_EQ(r.status, 1) << r.err;
  const std::string first_line = r.err.substr(0, r.err.find('\n'));
  EXPECT_TRUE(IsContentFailureLine(first_line)) << r.err;
  EXPECT_EQ(Snapshot(dir), before) << r.err;
}

struct ChildEnd {
  bool exited = false;
  int status = -1;  // the exit status when exited
  int signal = 0;   // the signal that ended it otherwise
  long peak_kb = 0;
  std::string said;
};

// Runs body in a forked child; what it puts in `said` comes back.
ChildEnd InChild(const std::function<int(std::string& said)>& body) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) throw std::runtime_error("pipe");
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    ::close(pipe_fds[0]);
    std::string said;
    const int status = body(said);
    for (std::size_t done = 0; done < said.size();) {
      const ssize_t n = ::write(pipe_fds[1], said.data() + done, said.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::_exit(status);
  }
  ::close(pipe_fds[1]);
  ChildEnd end;
  char buf[4096];
  for (ssize_t n; (n = ::read(pipe_fds[0], buf, sizeof buf)) > 0;) end.said.append(buf, static_cast<std::size_t>(n));
  ::close(pipe_fds[0]);
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  end.exited = WIFEXITED(status);
  end.status = end.exited ? WEXITSTATUS(status) : -1;
  end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  end.peak_kb = usage.ru_maxrss;
  return end;
}

// ---------------------------------------------------------------------------
// Truncation

TEST(Truncation, ASkinCutAfterAnyLineEndsWithError62) {
  const std::string skn = Mannequin();
  for (std::size_t cut : LineCuts(skn)) {
    SCOPED_TRACE("cut at byte " + std::to_string(cut));
    const auto r = ReadSkn(skn.substr(0, cut));
    EXPECT_TRUE(r.failure);
    EXPECT_EQ(r.message(), ErrorMessage(62));
    EXPECT_EQ(r.problem, "");
  }
}

TEST(Truncation, AProjectCutAfterAnyLineFails) {
  const ProjectFiles project = MannequinProject();
  // The .spj is read by its counts: a cut one is past its end.
  for (std::size_t cut : LineCuts(project.spj)) {
    SCOPED_TRACE(".spj cut at byte " + std::to_string(cut));
    const auto r = ReadProject(project.spj.substr(0, cut), project.obj);
    EXPECT_EQ(r.message(), ErrorMessage(62));
    EXPECT_EQ(r.problem, "");
  }
  // The .obj is read to its end: a cut one lacks vertices, or normals and
  // texture vertices that only its faces give, until every vertex has been
  // named by a face; from there on it is the skin with fewer faces.
  const int faces = test::ReadSknText(Mannequin()).FaceCount;
  int whole = 0;
  for (std::size_t cut : LineCuts(project.obj)) {
    SCOPED_TRACE(".obj cut at byte " + std::to_string(cut));
    const auto r = ReadProject(project.spj, project.obj.substr(0, cut));
    EXPECT_EQ(r.problem, "");
    if (r.model) {
      EXPECT_LT(r.model->FaceCount, faces);
      EXPECT_TRUE(project.obj.substr(cut).starts_with("f ")) << "a cut before the faces cannot read";
      ++whole;
    } else {
      EXPECT_EQ(r.message(), ErrorMessage(5)) << r.detail();
    }
  }
  EXPECT_GT(whole, 0);
}

TEST(Truncation, CutsAtEveryByteEndCleanlyAndLeaveTheTargetAlone) {
  const std::string skn = Mannequin();
  const ProjectFiles project = MannequinProject();
  const std::string part = test::ReadFile(test::DataPath("blender/blender-parts/cone_ngon.obj"));
  struct Case {
    const char* name;
    std::function<void(const TempDir&, std::size_t)> write;  // the input, cut
    std::size_t size;
    std::vector<std::string> args;
    std::string target;
  };
  const Case cases[] = {
      {".skn to project", [&](const TempDir& d, std::size_t cut) { test::WriteFile(d.path("in.skn"), skn.substr(0, cut)); },
       skn.size(), {"in.skn", "out.spj"}, "out.spj"},
      {".spj to skin", [&](const TempDir& d, std::size_t cut) {
         test::WriteFile(d.path("in.spj"), project.spj.substr(0, cut));
         test::WriteFile(d.path("in.obj"), project.obj);
       }, project.spj.size(), {"--fix-normals=no", "in.spj", "out.skn"}, "out.skn"},
      {".obj to skin", [&](const TempDir& d, std::size_t cut) {
         test::WriteFile(d.path("in.spj"), project.spj);
         test::WriteFile(d.path("in.obj"), project.obj.substr(0, cut));
       }, project.obj.size(), {"--fix-normals=yes", "in.spj", "out.skn"}, "out.skn"},
      {"part import", [&](const TempDir& d, std::size_t cut) { test::WriteFile(d.path("in.obj"), part.substr(0, cut)); },
       part.size(), {"--import", "in.obj", "--attach", "L_HAND", "--fix-normals=yes", "out.skn"}, "out.skn"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    test::WriteFile(dir.path(c.target), "an earlier save\r\n");
    std::vector<std::string> args = c.args;
    for (std::string& arg : args)
      if (arg.starts_with("in.") || arg.starts_with("out.")) arg = dir.path(arg);
    int succeeded = 0, failed = 0;
    for (std::size_t cut = 0; cut <= c.size; ++cut) {
      c.write(dir, cut);
      ConvertOverExisting(dir, args, c.target, succeeded, failed);
      if (HasFatalFailure()) return;
    }
    EXPECT_GT(succeeded, 0);  // at least the whole file
    EXPECT_GT(failed, 0);
  }
}

// ---------------------------------------------------------------------------
// Corruption

// Random bytes, with line ends, digits and blanks more often than chance.
std::string Noise(std::mt19937& random, std::size_t size) {
  static const char kLikely[] = "\r\n\r\n 0123456789.-/vfnte&H";
  std::string text(size, '\0');
  for (char& c : text)
    c = random() % 4 == 0 ? kLikely[random() % (sizeof kLikely - 1)] : static_cast<char>(random() % 256);
  return text;
}

TEST(Corruption, BinaryNoiseEndsCleanlyInEveryReader) {
  std::mt19937 random(5);
  const std::string skn = Mannequin();
  const ProjectFiles project = MannequinProject();
  for (int round = 0; round < 150; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string noise = Noise(random, random() % 3000);
    // Noise on its own, and noise written over a stretch of a good file.
    auto spoil = [&](std::string text) {
      const std::size_t at = random() % text.size();
      text.replace(at, std::min(noise.size(), text.size() - at), noise);
      return text;
    };
    const test::ReadEnd results[] = {
        ReadSkn(noise),
        ReadSkn(spoil(skn)),
        ReadProject(noise, project.obj, true),
        ReadProject(project.spj, noise, false),
        ReadProject(spoil(project.spj), spoil(project.obj), std::nullopt),
        ReadPart(noise),
        ReadPart(spoil(project.obj), "R_ARM", false),
    };
    for (const auto& r : results) EXPECT_EQ(r.problem, "");
  }
}

// A small skin whose count lines are at 2 (bones), 5 (faces), 7 (bindings),
// 10 (texture vertices), 13 (blend entries) and 15 (vertices).
std::vector<std::string> SmallSkin() {
  return {"body", "skin", "2", "PELVIS", "Extra", "1", "0 1 1", "2", "0 0 1 -1 0",
          "1 1 1 0 1", "2", "0.25 0.75", "0.5 0.5", "1", "2 16384", "3",
          "1 2 3 0 0 1", "0.5 -1.25 2 0 1 0", "4 5 6 0.6 0.8 0"};
}

// A one-bone project whose .spj counts are at 2 (bones), 5 (blended
// vertices), 6 (blended normals) and 7 (blend entries).
std::vector<std::string> SmallSpj() { return {"b", "s", "1", "X", "0 0 3 0 0", "0", "0", "0"}; }
const char* kTriangleObj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1\n";

TEST(Corruption, HugeCountsFailWithTheirMessage) {
  const std::string e6 = ErrorMessage(6), e9 = ErrorMessage(9), e62 = ErrorMessage(62),
                    corrupt = kCorruptBindingsMessage,
                    tex_limit = LimitMessage(FailureKind::TexVertexLimit),
                    vertex_limit = LimitMessage(FailureKind::VertexLimit),
                    normal_limit = LimitMessage(FailureKind::NormalLimit);
  // The binding count is compared unrounded with the bone count, so any
  // other number there is a corrupt file.
  const struct {
    std::string count;
    std::array<std::string, 6> skn;  // bones, faces, bindings, texture vertices, blends, vertices
    std::array<std::string, 4> spj;  // bones, blended vertices, blended normals, blends
  } rows[] = {
      {"99999999", {e6, e6, corrupt, e6, e6, e6}, {e6, e6, e6, e6}},
      {"1e308", {e6, e6, corrupt, e6, e6, e6}, {e6, e6, e6, e6}},
      {"&HFFFF", {e6, e6, corrupt, e6, e6, e6}, {e6, e6, e6, e6}},
      {"1e309", {e6, e6, e6, e6, e6, e6}, {e6, e6, e6, e6}},
      {"32767", {e9, e9, corrupt, tex_limit, e9, vertex_limit}, {e9, e6, e6, e9}},
      // The top slot of a table: the lines are looked for and missing.
      {"32001", {e9, e62, corrupt, e62, e62, vertex_limit}, {e9, vertex_limit, normal_limit, e62}},
  };
  const int skn_lines[] = {2, 5, 7, 10, 13, 15};
  const int spj_lines[] = {2, 5, 6, 7};
  for (const auto& row : rows) {
    for (int k = 0; k < 6; ++k) {
      SCOPED_TRACE(".skn line " + std::to_string(skn_lines[k] + 1) + " = " + row.count);
      auto lines = SmallSkin();
      lines[skn_lines[k]] = row.count;
      const auto r = ReadSkn(CrLf(lines));
      EXPECT_EQ(r.message(), row.skn[k]) << r.detail();
      EXPECT_EQ(r.problem, "");
    }
    for (int k = 0; k < 4; ++k) {
      SCOPED_TRACE(".spj line " + std::to_string(spj_lines[k] + 1) + " = " + row.count);
      auto lines = SmallSpj();
      lines[spj_lines[k]] = row.count;
      const auto r = ReadProject(CrLf(lines), kTriangleObj);
      EXPECT_EQ(r.message(), row.spj[k]) << r.detail();
      EXPECT_EQ(r.problem, "");
    }
  }
}

TEST(Corruption, CountsThatShiftTheReadingEndCleanly) {
  // Negative counts read no lines and texts without a number read as 0, so
  // the following lines are taken for what comes next.
  for (const std::string count : {"-32768", "-1", "nan", "inf", "-inf", "", " ", "&H", "1e-400"}) {
    for (int line : {2, 5, 7, 10, 13, 15}) {
      SCOPED_TRACE(".skn line " + std::to_string(line + 1) + " = \"" + count + "\"");
      auto lines = SmallSkin();
      lines[line] = count;
      const auto r = ReadSkn(CrLf(lines));
      ASSERT_EQ(r.problem, "");
      if (r.model) {  // what was read can be written and read again
        EXPECT_TRUE(test::SameModel(test::ReadSknText(SknText(*r.model)), *r.model));
      }
    }
    for (int line : {2, 5, 6, 7}) {
      SCOPED_TRACE(".spj line " + std::to_string(line + 1) + " = \"" + count + "\"");
      auto lines = SmallSpj();
      lines[line] = count;
      const auto r = ReadProject(CrLf(lines), kTriangleObj);
      EXPECT_EQ(r.problem, "");
    }
  }
}

TEST(Corruption, NanAndInfTextsNeverReachAWrittenFile) {
  // "nan" and "inf" hold no number and read as 0; 1e308 is finite and kept.
  auto lines = SmallSkin();
  lines[16] = "nan inf -inf 1e308 -1e308 1e-400";
  const auto r = ReadSkn(CrLf(lines));
  ASSERT_TRUE(r.model) << r.detail();
  EXPECT_EQ(r.model->VertexLines.at(0).substr(0, 23), "0.000000 0.000000 0.000");
  // 1e308 is written out in full: 309 digits and six decimals.
  const std::string normal(r.model->NormalLines.at(0));
  const std::string first = normal.substr(0, normal.find(' '));
  EXPECT_EQ(first.size(), 309u + 7u);
  EXPECT_TRUE(first.starts_with("1000000000000000") && first.ends_with(".000000")) << first;
  EXPECT_EQ(ReadNumber(first), 1e308);
  const auto part = ReadPart("v nan inf 1e308\nv 0 0 0\nv 1 -inf 0\nvt nan 1\nvn inf nan 1\n"
                             "f 1/1/1 2/1/1 3/1/1\n", "HEAD", false);
  ASSERT_TRUE(part.model) << part.detail();
  const ProjectFiles out = BuildProjectFiles(*r.model, "out.spj", "");
  const ProjectFiles part_out = BuildProjectFiles(*part.model, "part.spj", "");
  const std::pair<const char*, std::string> written[] = {{"out.spj", out.spj},
                                                         {"out.obj", out.obj},
                                                         {"out.skn", SknText(*r.model)},
                                                         {"part.spj", part_out.spj},
                                                         {"part.obj", part_out.obj}};
  for (const auto& [name, raw] : written) {
    const std::string text = ToLowerAscii(raw);
    EXPECT_EQ(text.find("nan"), std::string::npos) << name;
    EXPECT_EQ(text.find("inf"), std::string::npos) << name;
  }
  // Beyond a double: error 6 wherever a number is read.
  lines[16] = "1 2 1e309 0 0 1";
  EXPECT_EQ(ReadSkn(CrLf(lines)).message(), ErrorMessage(6));
  EXPECT_EQ(ReadPart("v 1 2 -1e309\n").message(), ErrorMessage(6));
}

TEST(Corruption, EmptyFilesFolderAndSpecialFiles) {
  TempDir dir;
  const ProjectFiles project = MannequinProject();
  // Empty files: a skin or .spj ends where its first line is expected; an
  // empty .obj holds none of the bones' vertices; an empty part is a part
  // without vertices.
  EXPECT_EQ(ReadSkn("").message(), ErrorMessage(62));
  EXPECT_EQ(ReadProject("", project.obj).message(), ErrorMessage(62));
  EXPECT_EQ(ReadProject(project.spj, "").message(), ErrorMessage(5));
  const auto empty_part = ReadPart("");
  ASSERT_TRUE(empty_part.model);
  EXPECT_EQ(empty_part.model->VertexCount, 0);

  // Something other than an ordinary file where a file is expected is error
  // 53, as a missing file is. A pipe is not waited on (the child is stopped
  // if it is) and a device is not read (/dev/zero would be read without end).
  fs::create_directory(dir.path("folder.skn"));
  fs::create_directory(dir.path("folder.obj"));
  ASSERT_EQ(::mkfifo(dir.path("fifo.skn").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(dir.path("fifo.obj").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", dir.path("device.skn"));
  fs::create_symlink("/dev/null", dir.path("device.obj"));
  for (const std::string stem : {"folder", "fifo", "device"}) {
    SCOPED_TRACE(stem);
    test::WriteFile(dir.path(stem + ".spj"), project.spj);  // beside the .obj that is no file
    const ChildEnd end = InChild([&](std::string& said) {
      ::alarm(20);
      SkinModel model;
      FakePrompts prompts;
      LoadSkn(model, prompts, dir.path(stem + ".skn"));
      LoadProject(model, prompts, dir.path(stem + ".spj"));
      ImportObjPart(model, prompts, {dir.path(stem + ".obj"), "p", "s", "HEAD"});
      for (const auto& m : prompts.messages) said += m.text + "\n";
      return 0;
    });
    ASSERT_TRUE(end.exited) << "ended by signal " << end.signal;
    const std::string e53 = ErrorMessage(53) + "\n";
    EXPECT_EQ(end.said, e53 + e53 + e53);
  }
}

TEST(Corruption, HugeLinesAreNotQuotedInFullInMessages) {
  // A message quotes the line it stopped at; a line of megabytes is cut
  // short, and the place still leads the detail.
  const std::string huge(4 << 20, 'x');
  auto lines = SmallSkin();
  lines[7] = huge;  // the binding count
  lines[4] = huge;  // a bone name, quoted by the project writer's failures
  const test::ReadEnd results[] = {
      ReadSkn(CrLf(lines)),
      ReadPart("v 0 0 0\nf " + huge + "\n"),
      ReadProject(CrLf({"b", "s", "1", "X", huge}), kTriangleObj),
  };
  for (const auto& r : results) {
    EXPECT_TRUE(r.failure);
    EXPECT_EQ(r.problem, "");
    EXPECT_LE(r.detail().size(), 1003u);
    EXPECT_TRUE(r.detail().starts_with("in.")) << r.detail().substr(0, 40);
    EXPECT_TRUE(r.detail().ends_with("xxx...")) << r.detail().substr(0, 40);
  }
  lines[7] = "2";
  SkinModel named = test::ReadSknText(CrLf(lines));
  named.BindingLines.set(1, "1 2 99 0 0");  // reaches vertices the skin lacks
  EXPECT_LE(test::ExpectFailure([&] { BuildProjectFiles(named, "out.spj", ""); }).detail().size(), 1003u);
}

TEST(Corruption, EightBitNamesPassThroughUnchanged) {
  // Latin-1 bytes that are no UTF-8, in the names inside the files and in
  // the names of the files and their folder.
  const std::string mesh = "k\xF6rper\xFF", texture = "h\xE4ut", bone = "\xC9PAULE \x80";
  auto lines = SmallSkin();
  lines[0] = mesh;
  lines[1] = texture;
  lines[4] = bone;
  TempDir dir;
  const std::string folder = dir.path("d\xE9j\xE0");
  fs::create_directory(folder);
  test::WriteFile(folder + "/\xE9t\xE9.skn", CrLf(lines));
  test::WriteFile(folder + "/H\xE4UT.BMP", "");  // the texture, matched without regard to ASCII case
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{folder + "/\xE9t\xE9.skn", folder + "/\xFC.spj"},
        std::vector<std::string>{folder + "/\xFC.spj", folder + "/\xFC\xFC.skn"}}) {
    const Converted r = Convert(args);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  const auto back = test::SplitCrLf(test::ReadFile(folder + "/\xFC\xFC.skn"));
  ASSERT_EQ(back.size(), lines.size());
  for (int i : {0, 1, 3, 4}) EXPECT_EQ(back[i], lines[i]);
  const auto mtl = test::SplitCrLf(test::ReadFile(folder + "/\xFC.mtl"));
  EXPECT_EQ(mtl.at(1), "# \xFC.mtl");
  EXPECT_EQ(mtl.at(4), "newmtl " + mesh);
  EXPECT_EQ(mtl.back(), "map_Kd H\xE4UT.BMP");
  EXPECT_EQ(test::SplitCrLf(test::ReadFile(folder + "/\xFC.obj")).at(0), "mtllib \xFC.mtl");
  const Converted info = Convert({"--info", folder + "/\xFC.spj"});
  EXPECT_NE(info.out.find("mesh: " + mesh + "\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find(bone), std::string::npos) << info.out;
}

// ---------------------------------------------------------------------------
// Bounded work

TEST(BoundedWork, AnnouncedLinesThatNeverComeAreError62) {
  // Each file announces as many lines as fit and then ends: the readers
  // stop at the end of the file, whatever was announced.
  const std::string e62 = ErrorMessage(62), vertex_limit = LimitMessage(FailureKind::VertexLimit);
  const struct {
    const char* name;
    std::vector<std::string> skn;
    std::string message;
  } cases[] = {
      {"101 bones", {"m", "t", "101"}, e62},
      {"32,000 faces", {"m", "t", "0", "32000"}, e62},
      {"32,001 faces", {"m", "t", "0", "32001"}, e62},
      {"32,000 texture vertices", {"m", "t", "0", "0", "0", "32000"}, e62},
      {"32,001 blend entries", {"m", "t", "0", "0", "0", "0", "32001"}, e62},
      {"31,999 vertices", {"m", "t", "0", "0", "0", "0", "0", "31999"}, e62},
      {"32,000 vertices", {"m", "t", "0", "0", "0", "0", "0", "32000"}, vertex_limit},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = ReadSkn(CrLf(c.skn));
    EXPECT_EQ(r.message(), c.message);
    EXPECT_EQ(r.problem, "");
  }
  for (const auto& spj : {std::vector<std::string>{"b", "s", "101"},
                          std::vector<std::string>{"b", "s", "1", "X", "0 0 3 0 0", "31996"},
                          std::vector<std::string>{"b", "s", "1", "X", "0 0 3 0 0", "0", "31996"},
                          std::vector<std::string>{"b", "s", "1", "X", "0 0 3 0 0", "0", "0", "32001"}}) {
    SCOPED_TRACE(spj.back());
    EXPECT_EQ(ReadProject(CrLf(spj), kTriangleObj).message(), e62);
  }
}

// ---------------------------------------------------------------------------
// Peak memory, and disks that fill up

// Peak memory of the child beyond what a child that does nothing holds.
long PeakKbOf(const std::function<int(std::string&)>& body, std::string* said = nullptr) {
  const long idle = InChild([](std::string&) { return 0; }).peak_kb;
  const ChildEnd end = InChild(body);
  EXPECT_TRUE(end.exited && end.status == 0) << end.said;
  if (said) *said = end.said;
  return end.peak_kb - idle;
}

TEST(BoundedWork, PeakMemoryStaysProportionalToTheFile) {
#ifdef MERVANE_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer holds freed memory back; measured in the plain build";
#endif
  TempDir dir;
  const std::string max_skin = MaxSkn();
  test::WriteFile(dir.path("max.skn"), max_skin);
  const long skin_kb = static_cast<long>(max_skin.size() / 1024);
  const long max_kb = PeakKbOf([&](std::string& said) {
    SkinModel model;
    FakePrompts prompts;
    prompts.answers = {true};
    const bool ok = LoadSkn(model, prompts, dir.path("max.skn")) == Outcome::Succeeded &&
                    SaveProject(model, prompts, dir.path("max.spj")) == Outcome::Succeeded &&
                    LoadProject(model, prompts, dir.path("max.spj")) == Outcome::Succeeded &&
                    SaveSkn(model, prompts, dir.path("back.skn")) == Outcome::Succeeded;
    for (const auto& m : prompts.messages) said += m.text + " " + m.detail + "\n";
    return ok ? 0 : 1;
  });
  std::printf("[ figures  ] maximum-size skin (%ld KB): read, saved as project, read back, saved: peak +%ld KB\n",
              skin_kb, max_kb);
  EXPECT_LT(max_kb, 40 * 1024);

  // 100 MB of random bytes, which hold a line end every 128 bytes or so, and
  // the same without any line end.
  constexpr std::size_t kGarbage = 100u << 20;
  std::mt19937_64 random(7);
  for (const bool line_ends : {true, false}) {
    {
      std::string garbage(kGarbage, '\0');
      for (std::size_t i = 0; i < kGarbage; i += 8) {
        const std::uint64_t bits = random();
        std::memcpy(&garbage[i], &bits, 8);
      }
      if (!line_ends)
        std::replace_if(garbage.begin(), garbage.end(), [](char c) { return c == '\r' || c == '\n'; }, 'x');
      test::WriteFile(dir.path("junk.skn"), garbage);
    }
    fs::remove(dir.path("junk.obj"));
    fs::create_hard_link(dir.path("junk.skn"), dir.path("junk.obj"));
    test::WriteFile(dir.path("junk.spj"), CrLf(SmallSpj()));
    const char* what[] = {".skn", "project .obj", "part import"};
    for (int reader = 0; reader < 3; ++reader) {
      std::string said;
      const long kb = PeakKbOf([&](std::string& out) {
        SkinModel model;
        FakePrompts prompts;
        prompts.answers = {true};
        const Outcome outcome =
            reader == 0 ? LoadSkn(model, prompts, dir.path("junk.skn"))
            : reader == 1 ? LoadProject(model, prompts, dir.path("junk.spj"))
                          : ImportObjPart(model, prompts, {dir.path("junk.obj"), "p", "s", "HEAD"});
        out = prompts.messages.empty() ? "(read)" : prompts.messages[0].text;
        return outcome == Outcome::Succeeded || prompts.messages.size() == 1 ? 0 : 1;
      }, &said);
      std::printf("[ figures  ] 100 MB of noise %s line ends, %s: peak +%ld KB; %s\n",
                  line_ends ? "with" : "without", what[reader], kb, said.c_str());
      // The text is held once, the longest line at most once more.
      EXPECT_LT(kb, 2 * 100 * 1024 + 16 * 1024) << what[reader];
    }
  }
}

TEST(BoundedWork, OverlappingBoneRangesCannotMultiplyTheProject) {
  // Every bone claims every vertex: the project's .obj would hold each
  // vertex once per bone, more than any .obj the reader takes back.
  std::string skin = MaxSkn();
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < skin.size();) {
    const std::size_t end = skin.find("\r\n", start);
    lines.push_back(skin.substr(start, end - start));
    start = end + 2;
  }
  const auto bindings = std::find(lines.begin(), lines.end(), "22") - lines.begin();
  const auto binding_count = std::find(lines.begin() + bindings + 1, lines.end(), "22") - lines.begin();
  for (int b = 0; b < 22; ++b) lines[binding_count + 1 + b] = std::to_string(b) + " 0 31900 0 0";
  TempDir dir;
  const SkinModel model = test::ReadSknText(CrLf(lines));
  FakePrompts prompts;
  EXPECT_EQ(SaveProject(model, prompts, dir.path("p.spj")), Outcome::Failed);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, LimitMessage(FailureKind::VertexLimit));
  EXPECT_NE(prompts.messages[0].detail.find("701800"), std::string::npos) << prompts.messages[0].detail;
  EXPECT_TRUE(dir.Listing().empty());
}

// Writes in a child whose files may not grow past limit bytes, with
// SIGXFSZ ignored so that the write fails instead of ending the process.
ChildEnd SaveWithFileSizeLimit(const std::function<Outcome(SkinModel&, FakePrompts&)>& save,
                               const SkinModel& model, rlim_t limit) {
  return InChild([&](std::string& said) {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit rl{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &rl);
    SkinModel copy = model;
    FakePrompts prompts;
    const Outcome outcome = save(copy, prompts);
    for (const auto& m : prompts.messages) said += m.text + "\n";
    return outcome == Outcome::Succeeded ? 0 : 1;
  });
}

TEST(Writes, EveryWriterFailsCleanlyAndKeepsTheExistingTarget) {
  const SkinModel model = test::ReadSknText(Mannequin());
  using Save = std::function<Outcome(SkinModel&, FakePrompts&, const std::string&)>;
  const struct {
    const char* name;
    Save save;
    const char* ext;  // the target's; a project also writes .obj and .mtl
  } writers[] = {
      {"SaveSkn", [](SkinModel& m, FakePrompts& p, const std::string& path) { return SaveSkn(m, p, path); }, "skn"},
      {"SaveProject", [](SkinModel& m, FakePrompts& p, const std::string& path) { return SaveProject(m, p, path); }, "spj"},
  };
  const struct {
    const char* name;
    std::string target;  // in the test's folder
    rlim_t file_size_limit;
    int number;
  } cases[] = {
      {"missing folder", "no/such/folder/t", RLIM_INFINITY, 76},
      {"folder given as the target", "folder", RLIM_INFINITY, 75},
      {"disk full from the first byte", "t", 0, 61},
      {"disk fills part-way", "t", 1000, 61},  // a project's .spj fits, its .obj does not
  };
  for (const auto& writer : writers) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(writer.name) + ", " + c.name);
      TempDir dir;
      const std::string target = dir.path(c.target + "." + writer.ext);
      if (c.target == "folder") fs::create_directory(target);
      for (const char* ext : {"skn", "spj", "obj", "mtl"})
        if (!fs::exists(dir.path("t." + std::string(ext))))
          test::WriteFile(dir.path("t." + std::string(ext)), std::string("earlier ") + ext + "\r\n");
      const auto before = Snapshot(dir);
      const ChildEnd end = SaveWithFileSizeLimit(
          [&](SkinModel& m, FakePrompts& p) { return writer.save(m, p, target); }, model, c.file_size_limit);
      ASSERT_TRUE(end.exited) << "ended by signal " << end.signal;
      EXPECT_EQ(end.status, 1);
      EXPECT_EQ(end.said, ErrorMessage(c.number) + "\n");
      EXPECT_EQ(Snapshot(dir), before);  // no temporary file, nothing replaced
    }
    // The same limit, high enough: the save goes through.
    TempDir dir;
    const ChildEnd end = SaveWithFileSizeLimit(
        [&](SkinModel& m, FakePrompts& p) { return writer.save(m, p, dir.path(std::string("t.") + writer.ext)); },
        model, 1 << 20);
    EXPECT_TRUE(end.exited && end.status == 0) << end.said;
  }
}

TEST(Writes, TargetNamesThatNearlyFillTheNameLimitCanBeWritten) {
  // The temporary file beside the target must fit the 255-byte name limit too.
  const SkinModel model = test::ReadSknText(Mannequin());
  for (const char* ext : {"skn", "spj"}) {
    SCOPED_TRACE(ext);
    TempDir dir;
    const std::string stem(251, 'a');
    SkinModel copy = model;
    FakePrompts prompts;
    const std::string target = dir.path(stem + "." + ext);
    const Outcome outcome = ext == std::string("skn") ? SaveSkn(copy, prompts, target) : SaveProject(copy, prompts, target);
    EXPECT_EQ(outcome, Outcome::Succeeded) << (prompts.messages.empty() ? "" : prompts.messages[0].detail);
    const std::vector<std::string> expected =
        ext == std::string("skn") ? std::vector<std::string>{stem + ".skn"}
                                  : std::vector<std::string>{stem + ".mtl", stem + ".obj", stem + ".spj"};
    EXPECT_EQ(dir.Listing(), expected);
  }
}

TEST(Writes, TheConverterReportsAFullDiskInsteadOfDying) {
  TempDir dir;
  test::WriteFile(dir.path("in.skn"), Mannequin());
  test::WriteFile(dir.path("out.skn"), "earlier\r\n");
  const auto before = Snapshot(dir);
  int err_pipe[2];
  ASSERT_EQ(::pipe(err_pipe), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // The process as a shell would start it: SIGXFSZ ends it unless it says otherwise.
    ::signal(SIGXFSZ, SIG_DFL);
    const struct rlimit rl{1000, 1000};
    ::setrlimit(RLIMIT_FSIZE, &rl);
    ::dup2(err_pipe[1], 2);
    ::close(err_pipe[0]);
    const std::string in = dir.path("in.skn"), out = dir.path("out.skn");
    ::execl(MERVANE_CONVERTER, MERVANE_CONVERTER, in.c_str(), out.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(err_pipe[1]);
  std::string err;
  char buf[1024];
  for (ssize_t n; (n = ::read(err_pipe[0], buf, sizeof buf)) > 0;) err.append(buf, static_cast<std::size_t>(n));
  ::close(err_pipe[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_TRUE(err.starts_with("mervane-convert: error 61: ")) << err;
  EXPECT_EQ(Snapshot(dir), before);
}

// ---------------------------------------------------------------------------
// No crash paths

TEST(NoCrashPaths, MoreThan101BonesIsRefusedByEveryReaderBeforeTheSkeleton) {
  // The skeleton's own refusal ("bone index 101 ...") must never be the one
  // that a file meets: each reader refuses the count on its count line.
  TempDir dir;
  auto skin_with = [](int bones) {
    std::vector<std::string> lines{"m", "t", std::to_string(bones)};
    for (int i = 0; i < bones; ++i) lines.push_back("BONE" + std::to_string(i));
    lines.insert(lines.end(), {"0", std::to_string(bones)});
    for (int i = 0; i < bones; ++i) lines.push_back(std::to_string(i) + " 0 0 0 0");
    lines.insert(lines.end(), {"0", "0", "0"});
    return lines;
  };
  auto spj_with = [](int bones) {
    std::vector<std::string> lines{"m", "t", std::to_string(bones)};
    for (int i = 0; i < bones; ++i) lines.insert(lines.end(), {"B" + std::to_string(i), std::to_string(i) + " 0 0 0 0"});
    lines.insert(lines.end(), {"0", "0", "0"});
    return lines;
  };
  const auto at_limit = ReadSkn(CrLf(skin_with(101)));
  ASSERT_TRUE(at_limit.model) << at_limit.detail();
  EXPECT_TRUE(ReadProject(CrLf(spj_with(101)), "").model);
  for (int bones : {102, 150, 32767}) {
    SCOPED_TRACE(std::to_string(bones) + " bones");
    for (const auto& r : {ReadSkn(CrLf(skin_with(bones))), ReadProject(CrLf(spj_with(bones)), "")}) {
      EXPECT_EQ(r.message(), ErrorMessage(9));
      EXPECT_NE(r.detail().find("line 3"), std::string::npos) << r.detail();
      EXPECT_EQ(r.detail().find("bone index"), std::string::npos) << r.detail();
      EXPECT_EQ(r.problem, "");
    }
  }
  // A part has one bone whatever its attach site is called.
  const auto part = ReadPart(kTriangleObj, "NOT A BONE", false);
  ASSERT_TRUE(part.model);
  EXPECT_EQ(part.model->BoneCount, 1);
  // Writers only see what the readers let through; a model made by hand with
  // too many bones is still an ordinary failure, not the end of the program.
  for (const bool project : {false, true}) {
    SkinModel model = *at_limit.model;
    model.BoneCount = 102;
    FakePrompts prompts;
    const Outcome outcome = project ? SaveProject(model, prompts, dir.path("x.spj"))
                                    : SaveSkn(model, prompts, dir.path("x.skn"));
    EXPECT_EQ(outcome, Outcome::Failed);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, ErrorMessage(9));
  }
}

}  // namespace
}  // namespace mervane
