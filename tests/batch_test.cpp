// Many files in one converter call: what is converted, what is refused
// before any work, and what the user sees.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>

#ifdef __linux__
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "bmf/bmf.h"
#include "cli/converter.h"
#include "skn/skn.h"
#include "support.h"

namespace mervane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct Result {
  int status;
  std::string out, err;
};

Result Convert(const std::vector<std::string>& args, bool terminal = false) {
  std::ostringstream out, err;
  const int status = RunConverter(args, out, err, terminal);
  return {status, out.str(), err.str()};
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Skin(unsigned seed) { return test::MakeSkn({{"PELVIS", "HEAD"}, {6, 3}, 2, seed}); }

TEST(Batch, ConvertsTheGoodFilesAndNamesEachFailure) {
  TempDir dir;
  fs::create_directories(dir.path("in/sub"));
  for (unsigned i = 1; i <= 3; ++i) test::WriteFile(dir.path("in/good" + std::to_string(i) + ".skn"), Skin(i));
  test::WriteFile(dir.path("in/cut.skn"), Skin(4).substr(0, 40));
  test::WriteFile(dir.path("in/noise.bmf"), "not a mesh");
  test::WriteFile(dir.path("in/notes.txt"), "not a skin, not counted");
  test::WriteFile(dir.path("in/sub/deeper.skn"), Skin(5));
  const Result r = Convert({"--to", "bmf", "--out", dir.path("out"), dir.path("in")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "converted 3, failed 2, skipped 0\n");
  EXPECT_NE(r.err.find("cut.skn: error 62: cut.skn line"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("noise.bmf: error 62: noise.bmf byte"), std::string::npos) << r.err;
  // Each good file has the bytes of a single conversion; nothing else is left.
  EXPECT_EQ(Names(dir.path("out")),
            (std::vector<std::string>{"good1.bmf", "good2.bmf", "good3.bmf"}));
  for (unsigned i = 1; i <= 3; ++i) {
    const std::string name = "good" + std::to_string(i);
    EXPECT_EQ(test::ReadFile(dir.path("out/" + name + ".bmf")), BmfBytes(ParseSkn(Skin(i), name)));
  }
}

TEST(Batch, WritesBesideTheSourcesAndSkipsWhatIsAlreadyThere) {
  TempDir dir;
  test::WriteFile(dir.path("a.skn"), Skin(1));
  test::WriteFile(dir.path("b.skn"), Skin(2));
  Result r = Convert({"--to", "spj", dir.path("a.skn"), dir.path("b.skn")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "converted 2, failed 0, skipped 0\n");
  EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"a.mtl", "a.obj", "a.skn", "a.spj", "b.mtl", "b.obj",
                                                     "b.skn", "b.spj"}));
  // The projects, converted back over their own sources, come back as they were.
  r = Convert({"--to", "skn", dir.path("a.spj"), dir.path("b.spj")});
  EXPECT_EQ(r.out, "converted 2, failed 0, skipped 0\n");
  // A folder of skins already in the target format has nothing to do.
  fs::remove(dir.path("a.spj"));
  fs::remove(dir.path("b.spj"));
  r = Convert({"--to", "skn", dir.root().string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "converted 0, failed 0, skipped 2\n");
  // An empty folder is not an error either.
  fs::create_directory(dir.path("empty"));
  r = Convert({"--to", "bmf", dir.path("empty")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "converted 0, failed 0, skipped 0\n");
  // A project spelled in capitals reads its own .obj and .mtl and writes
  // them again: no other source is overwritten. Where case tells names
  // apart, a.spj is a new file; elsewhere it is the source, already there.
  EXPECT_EQ(Convert({"--to", "spj", dir.path("a.skn")}).status, 0);
  fs::rename(dir.path("a.spj"), dir.path("a.SPJ"));
#ifdef __linux__
  const char* capitals = "converted 1, failed 0, skipped 0\n";
#else
  const char* capitals = "converted 0, failed 0, skipped 1\n";
#endif
  // A skin goes into a .glb of the file's name, which is skipped as already
  // there, and comes back by that name: a .glb of one skin is not named by its mesh.
  const std::pair<std::vector<std::string>, const char*> glb[] = {
      {{"--to", "spj", dir.path("a.SPJ")}, capitals},
      {{"--to", "glb", dir.path("a.skn")}, "converted 1, failed 0, skipped 0\n"},
      {{"--to", "glb", dir.path("a.glb")}, "converted 0, failed 0, skipped 1\n"},
      {{"--to", "skn", "--out", dir.path("back"), dir.path("a.glb")}, "converted 1, failed 0, skipped 0\n"},
  };
  for (const auto& [args, said] : glb) EXPECT_EQ(Convert(args).out, said) << args.back();
  EXPECT_EQ(Names(dir.path("back")), std::vector<std::string>{"a.skn"});
}

// Projects saved together in one folder each find their own texture there,
// spelled in any case.
TEST(Batch, ProjectsFindTheirTexturesWithoutRegardToCase) {
  TempDir dir;
  test::WriteFile(dir.path("a.skn"), Skin(1));
  test::WriteFile(dir.path("b.skn"), Skin(2));
  test::WriteFile(dir.path("TEX_2.Bmp"), "BM");  // b's texture; a's is missing
  const Result r = Convert({"--to", "spj", dir.path("a.skn"), dir.path("b.skn")});
  ASSERT_EQ(r.status, 0) << r.err;
  auto texture_line = [&](const char* mtl) { return test::SplitCrLf(test::ReadFile(dir.path(mtl))).back(); };
  EXPECT_EQ(texture_line("a.mtl"), "map_Kd tex_1.bmp");
  EXPECT_EQ(texture_line("b.mtl"), "map_Kd TEX_2.Bmp");
}

TEST(Batch, RefusesBeforeAnyWorkWhatCannotBeDoneAsAsked) {
  TempDir dir;
  test::WriteFile(dir.path("a.skn"), Skin(1));
  test::WriteFile(dir.path("a.bmf"), BmfBytes(ParseSkn(Skin(2), "a.skn")));
  test::WriteFile(dir.path("file"), "a file where a folder should be");
#ifdef __linux__
  // Where case tells names apart, a.SPJ and a.spj are two projects sharing a.obj.
  ASSERT_EQ(Convert({"--to", "spj", dir.path("a.skn")}).status, 0);
  fs::copy_file(dir.path("a.spj"), dir.path("a.SPJ"));
#endif
  const struct {
    const char* name;
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {"same target", {"--to", "spj", dir.path("a.skn"), dir.path("a.bmf")}, "would both write"},
      {"over another source", {"--to", "skn", dir.path("a.bmf"), dir.path("a.skn")}, "would overwrite"},
#ifdef __linux__
      {"over a project in other case", {"--to", "spj", dir.path("a.SPJ"), dir.path("a.spj")}, "would overwrite"},
#else
      // Where case does not tell names apart, A.spj is a.spj.
      {"same target in other case", {"--to", "spj", dir.path("a.skn"), dir.path("A.BMF")}, "would both write"},
#endif
      {"unknown format", {"--to", "obj", dir.path("a.skn")}, "--to takes one of"},
      {"not a skin", {"--to", "bmf", dir.path("file")}, "neither a folder nor"},
      {"output folder", {"--to", "bmf", "--out", dir.path("file/out"), dir.path("a.skn")}, "cannot be made"},
      {"nothing given", {"--to", "bmf"}, "at least one"},
      {"with --import", {"--to", "bmf", "--import", "x.obj", dir.path("a.skn")}, "no --info, --import"},
      {"--out alone", {"--out", dir.root().string(), dir.path("a.skn"), dir.path("b.bmf")}, "--out goes with --to"},
  };
  const auto before = dir.Listing();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Result r = Convert(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(dir.Listing(), before);
  }
}

#ifdef __linux__
// While it lives, this thread and the threads it starts cannot read the
// folder, though they can still make files in it: the batch's flush, which
// opens its target folder for reading, fails. Root passes every permission
// check, so it reaches files as an unprivileged user meanwhile.
class UnreadableFolder {
 public:
  explicit UnreadableFolder(std::string folder) : folder_(std::move(folder)) {
    ::chmod(folder_.c_str(), 0333);
    if (::geteuid() == 0) ::setfsuid(65534);
  }
  ~UnreadableFolder() {
    ::setfsuid(::geteuid());
    ::chmod(folder_.c_str(), 0755);
  }
  UnreadableFolder(const UnreadableFolder&) = delete;
  UnreadableFolder& operator=(const UnreadableFolder&) = delete;
  bool Holds() const {
    const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) ::close(fd);
    return fd < 0;
  }

 private:
  std::string folder_;
};
#endif

// A target that cannot be written fails its job alone; a flush that fails
// fails every job, as no target may be replaced by bytes not yet on the
// disk. Either way no other target changes and no temporary file is left.
// A progress line is drawn, and cleared, only on a terminal.
TEST(Batch, AFileThatCannotBeWrittenFailsAloneAndProgressIsForTerminals) {
  const struct {
    const char* name;
    bool flush_fails;
    const char* summary;
    std::vector<std::string> says;
    bool b_replaced;
  } cases[] = {
      {"a folder where a's target goes", false, "converted 1, failed 1, skipped 0\n",
       {"a.skn: error 75: a.bmf: cannot be written"}, true},
#ifdef __linux__
      {"the flush fails", true, "converted 0, failed 2, skipped 0\n", {"a.skn: error 75: ", "b.skn: error 75: "}, false},
#endif
  };
  for (const auto& c : cases) {
    for (const bool terminal : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (terminal ? ", on a terminal" : ""));
      TempDir dir;
      fs::create_directories(dir.path("in"));
      test::WriteFile(dir.path("in/a.skn"), Skin(1));
      test::WriteFile(dir.path("in/b.skn"), Skin(2));
      fs::create_directories(dir.path("out"));
      if (c.flush_fails) test::WriteFile(dir.path("out/a.bmf"), "earlier");
      else fs::create_directories(dir.path("out/a.bmf"));
      test::WriteFile(dir.path("out/b.bmf"), "earlier");
      Result r;
      {
#ifdef __linux__
        std::optional<UnreadableFolder> unreadable;
        if (c.flush_fails) {
          unreadable.emplace(dir.path("out"));
          if (!unreadable->Holds()) GTEST_SKIP() << "no way to keep the folder from being read here";
        }
#endif
        r = Convert({"--to", "bmf", "--out", dir.path("out"), dir.path("in")}, terminal);
      }
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.out, c.summary);
      for (const std::string& says : c.says) EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
      EXPECT_EQ(Names(dir.path("out")), (std::vector<std::string>{"a.bmf", "b.bmf"}));
      if (fs::is_regular_file(dir.path("out/a.bmf"))) {
        EXPECT_EQ(test::ReadFile(dir.path("out/a.bmf")), "earlier");
      }
      EXPECT_EQ(test::ReadFile(dir.path("out/b.bmf")) != "earlier", c.b_replaced);
      EXPECT_EQ(r.err.find('\r') != std::string::npos, terminal) << r.err;
    }
  }
}

}  // namespace
}  // namespace mervane
