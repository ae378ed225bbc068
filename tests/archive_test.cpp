// Archives (.far): reading, the "x.far/member" path, extraction from hostile
// archives, and the game folder index.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>

#include "archive/extract.h"
#include "archive/far.h"
#include "archive/game_index.h"
#include "cli/converter.h"
#include "convert_support.h"
#include "files/textfile.h"
#include "support.h"

namespace mervane {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::TempDir;

struct Member {
  std::string name, bytes;
};

std::string Archive(const std::vector<Member>& members) {
  std::vector<FarFile> files;
  for (const Member& m : members) files.push_back({m.name, m.bytes});
  return FarBytes(files);
}

using Ran = test::Converted;
using test::Convert;

// Every path below root, relative to it and with "/" between parts, sorted.
std::set<std::string> Tree(const fs::path& root) {
  std::set<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    paths.insert(entry.path().lexically_relative(root).generic_string());
  return paths;
}

void PutU32(std::string& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
}

TEST(Archive, MembersReadBackFromMemoryDiskPathsAndExtraction) {
  TempDir dir;
  const std::vector<Member> members{
      {"body.bmf", "\x01\x02\x00\x03"s}, {"Empty.txt", ""}, {"skins/Head.skn", "head\r\n"}, {"big.bin", std::string(70000, 'x')}};
  const std::string bytes = Archive(members);
  test::WriteFile(dir.path("g.far"), bytes);
  const FarArchive memory = FarArchive::FromBytes(bytes, "g.far");
  const FarArchive disk = FarArchive::Open(dir.path("g.far"));
  ASSERT_EQ(disk.members().size(), members.size());
  for (std::size_t i = 0; i < members.size(); ++i) {
    EXPECT_EQ(disk.members()[i].name, members[i].name);
    EXPECT_EQ(disk.Read(disk.members()[i]), members[i].bytes);
    EXPECT_EQ(memory.Read(memory.members()[i]), members[i].bytes);
  }
  // An archive of no members is one, its manifest right after the header.
  EXPECT_TRUE(FarArchive::FromBytes(FarBytes({}), "empty.far").members().empty());
  // The longest name an archive holds is written and read back; one byte more is refused.
  const std::string longest(4096, 'n'), too_long(4097, 'n');
  const FarFile at_limit[] = {{longest, "x"}}, past_limit[] = {{too_long, "x"}};
  const std::string longest_bytes = FarBytes(at_limit);
  EXPECT_EQ(FarArchive::FromBytes(longest_bytes, "l.far").members().at(0).name, longest);
  EXPECT_EQ(test::ExpectFailure([&] { FarBytes(past_limit); }).number(), err::kInvalidArgument);
  // A read that runs past the end (the file shrank since it was opened) names where.
  char tail[8];
  const ReadOnlyFile file(dir.path("g.far"));
  const Failure past = test::ExpectFailure([&] { file.ReadAt(file.size() - 4, tail); });
  EXPECT_EQ(past.number(), err::kPastEndOfFile);
  EXPECT_EQ(past.offset(), file.size());
  // Case ignored, and either separator, through ReadWholeFile as every reader uses it.
  EXPECT_EQ(disk.Find("SKINS\\head.SKN"), &disk.members()[2]);
  EXPECT_EQ(ReadWholeFile(dir.path("g.far") + "/BODY.bmf"), members[0].bytes);
  EXPECT_EQ(ReadWholeFile(dir.path("g.far") + "\\skins/head.skn"), members[2].bytes);

  const Ran info = Convert({"--info", dir.path("g.far")});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out, "archive: g.far\nmembers: 4 (70010 bytes)\n"
                      "           4  \"body.bmf\"\n           0  \"Empty.txt\"\n"
                      "           6  \"skins/Head.skn\"\n       70000  \"big.bin\"\n");
  // Extracting all, then archiving the files again, gives the same names and bytes.
  const Ran all = Convert({"--extract", dir.path("g.far"), dir.path("out")});
  EXPECT_EQ(all.status, 0) << all.err;
  std::vector<Member> again;
  for (const Member& m : members) again.push_back({m.name, test::ReadFile(dir.path("out/" + m.name))});
  EXPECT_EQ(Archive(again), bytes);
  const Ran some = Convert({"--extract", dir.path("g.far"), dir.path("some"), "BIG.BIN", "body.bmf", "none"});
  EXPECT_EQ(some.status, 1);
  EXPECT_EQ(some.err, "mervane-convert: the archive has no member named \"none\"\n");
  EXPECT_EQ(Tree(dir.path("some")), (std::set<std::string>{"big.bin", "body.bmf"}));
  EXPECT_EQ(Convert({"--extract", dir.path("g.far")}).status, 2);
  EXPECT_EQ(Convert({"--extract", dir.path("g.bmf"), dir.path("o")}).status, 2);
  // An archive that does not open is an error with its number, listed or extracted.
  test::WriteFile(dir.path("bad.far"), "FAR!byAZ");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--info", dir.path("bad.far")}, {"--extract", dir.path("bad.far"), dir.path("o")}}) {
    const Ran bad = Convert(args);
    EXPECT_EQ(bad.status, 1) << args[0];
    EXPECT_TRUE(bad.err.starts_with("mervane-convert: error 62: bad.far byte 8: ")) << bad.err;
  }
}

// Every damaged manifest fails when the archive is opened, before any
// member is read, naming the byte and the member where there is one.
TEST(Archive, DamagedManifestsFailOnOpening) {
  const std::string good = Archive({{"a.skn", "aaaa"}, {"b.skn", "bbbbbbbb"}});
  const std::uint32_t manifest = 16 + 12;
  const std::size_t entry_b = manifest + 4 + 16 + 5;
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    int number;
    std::uint64_t offset;
    std::string words;
  };
  const std::vector<Case> cases{
      {"not an archive", [](std::string& b) { b[3] = '?'; }, 5, 0, "does not begin with FAR!byAZ"},
      {"version 3", [](std::string& b) { PutU32(b, 8, 3); }, 5, 8, "archive version 3"},
      {"manifest in the header", [](std::string& b) { PutU32(b, 12, 8); }, 5, 12, "points inside the header"},
      {"manifest past the end", [](std::string& b) { PutU32(b, 12, 4000); }, 62, 12, "points past the end"},
      {"more members than bytes", [&](std::string& b) { PutU32(b, manifest, 3); }, 62, manifest,
       "3 members announced, but the manifest's 42 bytes hold at most 2"},
      {"four billion members", [&](std::string& b) { PutU32(b, manifest, 0xFFFFFFFF); }, 62, manifest,
       "4294967295 members announced"},
      {"sizes differ", [&](std::string& b) { PutU32(b, entry_b + 4, 7); }, 5, entry_b, "its two sizes differ (8 and 7)"},
      {"member in the header", [&](std::string& b) { PutU32(b, entry_b + 8, 15); }, 5, entry_b, "overlap the header"},
      {"member past the end",
       [&](std::string& b) { PutU32(b, entry_b, 90000); PutU32(b, entry_b + 4, 90000); }, 62, entry_b,
       "run past the end of the file"},
      {"member over the manifest", [&](std::string& b) { PutU32(b, entry_b + 8, 21); }, 5, entry_b,
       "bytes 21 to 29 overlap the manifest"},
      {"members overlap", [&](std::string& b) { PutU32(b, entry_b + 8, 19); }, 5, entry_b,
       "its bytes overlap those of member 0 (counted from 0) \"a.skn\""},
      {"name past the end", [&](std::string& b) { PutU32(b, entry_b + 12, 6); }, 62, entry_b + 12,
       "the file ends inside member 1"},
      // A name of exactly 4096 bytes gets past the length check, then finds the file too short.
      {"longest name", [&](std::string& b) { PutU32(b, entry_b + 12, 4096); }, 62, entry_b + 12,
       "the file ends inside member 1"},
      {"name too long", [&](std::string& b) { PutU32(b, entry_b + 12, 4097); }, 9, entry_b + 12,
       "name of 4097 bytes is longer than the 4096 allowed"},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    c.damage(bytes);
    const Failure f = test::ExpectFailure([&] { FarArchive::FromBytes(bytes, "d.far"); });
    EXPECT_EQ(f.number(), c.number) << c.what << ": " << f.detail();
    EXPECT_EQ(f.offset(), c.offset) << c.what << ": " << f.detail();
    EXPECT_NE(f.detail().find(c.words), std::string::npos) << c.what << ": " << f.detail();
    EXPECT_EQ(f.file(), "d.far") << c.what;
    if (c.offset == entry_b) {
      EXPECT_NE(f.item().find("member 1"), std::string::npos) << c.what;
    }
  }
  // Cut anywhere, the manifest at the end is incomplete.
  for (std::size_t length = 0; length < good.size(); ++length) {
    const Failure f = test::ExpectFailure([&] { FarArchive::FromBytes(good.substr(0, length), "d.far"); });
    EXPECT_EQ(f.number(), err::kPastEndOfFile) << length << ": " << f.detail();
  }
}

// Archives from strangers: nothing is written outside the target folder,
// and "x.far/member" reaches members only. Each case works in a folder of
// its own, "case", inside "parent"; afterwards nothing but that folder may
// be in "parent", and the target folder holds exactly what is listed.
TEST(Archive, HostileArchivesStayInTheirFolder) {
  enum class Act { Extract, Read, Write };
  struct Case {
    const char* what;
    std::vector<Member> members;
    Act act;
    std::vector<std::string> written;  // Extract: the files in out/, sorted
    std::string words;                 // in the message; Read and Write: "" reads or writes
    std::string path = "";             // Read and Write: the path inside case/
  };
  const std::vector<Member> ok{{"ok.txt", "fine"}};
  auto with = [&](std::string name) { return std::vector<Member>{{"ok.txt", "fine"}, {std::move(name), "evil"}}; };
  const std::vector<Case> cases{
      {"dot-dot slash", with("../x"), Act::Extract, {"ok.txt"}, "\"../x\" was not written: its name climbs out"},
      {"dot-dot backslash", with("..\\x"), Act::Extract, {"ok.txt"}, "\"..\\\\x\" was not written: its name climbs out"},
      {"dot part", with("a/./x"), Act::Extract, {"ok.txt"}, "its name has a \".\" part"},
      {"climbing from a folder", with("a/../../x"), Act::Extract, {"ok.txt"}, "its name climbs out"},
      {"slash", with("/x"), Act::Extract, {"ok.txt"}, "its name is absolute"},
      {"absolute into the parent", with("{parent}/x"), Act::Extract, {"ok.txt"}, "/x\" was not written: its name"},
      {"backslash", with("\\x"), Act::Extract, {"ok.txt"}, "its name is absolute"},
      {"server share", with("\\\\server\\x"), Act::Extract, {"ok.txt"}, "its name is absolute"},
      {"drive and backslash", with("C:\\x"), Act::Extract, {"ok.txt"}, "its name starts with a drive"},
      {"drive alone", with("C:x"), Act::Extract, {"ok.txt"}, "its name starts with a drive"},
      {"empty name", with(""), Act::Extract, {"ok.txt"}, "member 1 (counted from 0) \"\" was not written: its name is empty"},
      {"NUL inside", with("a\0b"s), Act::Extract, {"ok.txt"}, "\"a\\x00b\" was not written: its name holds a control"},
      {"escape sequence", with("\x1b[2Jx"), Act::Extract, {"ok.txt"}, "\"\\x1b[2Jx\" was not written"},
      {"last control character", with("x\x1fy"), Act::Extract, {"ok.txt"}, "was not written: its name holds a control"},
      {"DEL", with("x\x7fy"), Act::Extract, {"ok.txt"}, "was not written: its name holds a control"},
      // A quote in the name is escaped, so the quotes around the name still mark where it ends.
      {"quote", with("say\"hi\""), Act::Extract, {"ok.txt"}, "\"say\\\"hi\\\"\" was not written: its name holds a character that Windows"},
      {"blank and tilde", with("~ x.txt"), Act::Extract, {"ok.txt", "~ x.txt"}, ""},
      {"device name", with("CON"), Act::Extract, {"ok.txt"}, "Windows reserves the name CON"},
      {"device with extension", with("sub/nul.txt"), Act::Extract, {"ok.txt"}, "Windows reserves the name NUL"},
      {"last numbered port", with("com9.txt"), Act::Extract, {"ok.txt"}, "Windows reserves the name COM9"},
      {"printer port", with("LPT1"), Act::Extract, {"ok.txt"}, "Windows reserves the name LPT1"},
      {"port 0 is a name", with("COM0.txt"), Act::Extract, {"COM0.txt", "ok.txt"}, ""},
      {"device, blank, extension", with("CON .txt"), Act::Extract, {"ok.txt"}, "Windows reserves the name CON"},
      {"device, two extensions", with("aux.cmx.bcf"), Act::Extract, {"ok.txt"}, "Windows reserves the name AUX"},
      {"console input", with("conin$"), Act::Extract, {"ok.txt"}, "Windows reserves the name CONIN$"},
      {"trailing dot", with("x."), Act::Extract, {"ok.txt"}, "ends in a dot or a space"},
      {"trailing space", with("x "), Act::Extract, {"ok.txt"}, "ends in a dot or a space"},
      {"stream name", with("ok.txt:hidden"), Act::Extract, {"ok.txt"}, "Windows does not allow"},
      {"empty folder part", with("a//x"), Act::Extract, {"ok.txt"}, "empty folder part"},
      {"same name, other case", with("OK.TXT"), Act::Extract, {"ok.txt"},
       "\"OK.TXT\" was not written: an earlier member has the same name (case ignored)"},
      {"same name, other separator", {{"ok.txt", "fine"}, {"a\\b", "one"}, {"a/B", "two"}}, Act::Extract, {"a", "a/b", "ok.txt"},
       "\"a/B\" was not written: an earlier member has the same name"},
      {"folders are made", with("a/b\\c.txt"), Act::Extract, {"a", "a/b", "a/b/c.txt", "ok.txt"}, ""},
      {"a file where a folder must go", {{"ok.txt", "fine"}, {"a", "file"}, {"a/x", "evil"}, {"b", "last"}}, Act::Extract,
       {"a", "b", "ok.txt"}, "\"a/x\" was not written: "},
#ifndef _WIN32
      // A link planted in the target folder: the text is harmless, the path it resolves to is not.
      {"through a link", with("link/x"), Act::Extract, {"link", "ok.txt"}, "would be written outside the folder"},
      {"folders through a link", with("link/sub/x"), Act::Extract, {"link", "ok.txt"}, "would be written outside the folder"},
#endif
      {"member read", ok, Act::Read, {}, "", "case.far/OK.TXT"},
      {"beside the archive", ok, Act::Read, {}, "the archive has no member named \"../beside.txt\"",
       "case.far/../beside.txt"},
      {"missing member", ok, Act::Read, {}, "the archive has no member named \"beside.txt\"", "case.far/beside.txt"},
      // A name is the whole name: neither one of the same length nor one the member's name starts.
      {"same length", ok, Act::Read, {}, "the archive has no member named \"no.txt\"", "case.far/no.txt"},
      {"longer", ok, Act::Read, {}, "the archive has no member named \"ok.txt.bak\"", "case.far/ok.txt.bak"},
      {"write into it", ok, Act::Write, {}, "inside the archive case.far, and archives are only read",
       "case.far/new.txt"},
  };
  TempDir temp;
  const fs::path parent = temp.root() / "parent";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path root = parent / "case";
    fs::remove_all(parent);
    fs::create_directories(root / "out");
    test::WriteFile((root / "beside.txt").string(), "private");
    std::vector<Member> members = c.members;
    for (Member& m : members)
      if (m.name.starts_with("{parent}")) m.name = parent.string() + m.name.substr(8);
    const std::string archive = (root / "case.far").string();
    test::WriteFile(archive, Archive(members));
#ifndef _WIN32
    fs::create_directory_symlink(parent, root / "out" / "link");
#endif
    const std::string at = (root / c.path).string();
    if (c.act == Act::Extract) {
      const Ran run = Convert({"--extract", archive, (root / "out").string()});
      EXPECT_EQ(run.status, c.words.empty() ? 0 : 1) << run.err;
      EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
      std::set<std::string> expected(c.written.begin(), c.written.end());
#ifndef _WIN32
      expected.insert("link");
#endif
      EXPECT_EQ(Tree(root / "out"), expected);
      EXPECT_EQ(test::ReadFile((root / "out/ok.txt").string()), "fine");
    } else if (c.act == Act::Read) {
      if (c.words.empty()) {
        EXPECT_EQ(ReadWholeFile(at), "fine");
      } else {
        const Failure f = test::ExpectFailure([&] { ReadWholeFile(at); });
        EXPECT_EQ(f.number(), err::kFileNotFound);
        EXPECT_EQ(f.detail(), "case.far: " + c.words);
      }
    } else {
      const Failure f = test::ExpectFailure([&] { WriteFileAtomically(at, "new"); });
      EXPECT_EQ(f.number(), err::kAccessDenied);
      EXPECT_NE(f.detail().find(c.words), std::string::npos) << f.detail();
    }
    EXPECT_EQ(Tree(parent).count("case"), 1u);
    for (const std::string& path : Tree(parent)) EXPECT_TRUE(path.starts_with("case")) << path;
    EXPECT_EQ(test::ReadFile((root / "beside.txt").string()), "private");
  }
}

TEST(GameIndex, FindsLooseFilesFirstThenArchiveMembers) {
  TempDir dir;
  fs::create_directories(dir.root() / "Skins" / "deep");
  fs::create_directories(dir.root() / "GameData");
  test::WriteFile(dir.path("Skins/deep/Loose.bmp"), "loose");
  test::WriteFile(dir.path("Skins/shared.cmx"), "loose wins");
  test::WriteFile(dir.path("GameData/a.far"),
                  Archive({{"Adult-Skeleton.cmx", "skeleton"}, {"SHARED.cmx", "member"}, {"sub/B.bcf", "b"}, {"folder/", ""}}));
  test::WriteFile(dir.path("GameData/z.FAR"), Archive({{"adult-skeleton.cmx", "later archive"}, {"only.cfp", "z"}}));
  test::WriteFile(dir.path("GameData/broken.far"), "FAR!byAZ");
  const GameIndex index(dir.root().string());
  const std::vector<std::pair<std::string, std::string>> lookups{
      {"loose.BMP", "loose"},   {"Shared.cmx", "loose wins"}, {"adult-skeleton.cmx", "skeleton"},
      {"b.bcf", "b"},           {"ONLY.cfp", "z"},            {"a.far", ""},
  };
  for (const auto& [name, bytes] : lookups) {
    const auto path = index.Find(name);
    ASSERT_TRUE(path.has_value()) << name;
    if (!bytes.empty()) {
      EXPECT_EQ(ReadWholeFile(*path), bytes) << name << " at " << *path;
    }
  }
  EXPECT_FALSE(index.Find("missing.cmx").has_value());
  EXPECT_FALSE(index.Find("sub").has_value());
  // A folder entry in an archive names no file.
  const std::vector<std::string> names = index.Names();
  EXPECT_EQ(std::count(names.begin(), names.end(), ""), 0);
  ASSERT_EQ(index.problems().size(), 1u);
  EXPECT_NE(index.problems()[0].find("broken.far byte 8"), std::string::npos) << index.problems()[0];
}

}  // namespace
}  // namespace mervane
