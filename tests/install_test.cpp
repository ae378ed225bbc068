#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "cli/request.h"
#include "convert_support.h"
#include "files/textfile.h"
#include "install/find_game.h"
#include "support.h"

namespace mervane {
namespace {

using test::TempDir;
using Variables = std::map<std::string, std::string>;

// "{root}" in a folder, a variable, a registry value or a file's text
// stands for the test's temporary folder.
std::string Expand(std::string text, const std::string& root) {
  for (std::size_t at; (at = text.find("{root}")) != std::string::npos;) text.replace(at, 6, root);
  return text;
}

// A made-up system. Registry entries are "HKLM\key\value" or "HKCU\key\value".
Environment FakeEnvironment(const std::optional<Variables>& registry, const Variables& variables,
                            const std::string& home, const std::string& root) {
  Environment env;
  if (registry)
    env.registry = [=](Hive hive, const std::string& key, const std::string& value) -> std::optional<std::string> {
      const auto found = registry->find((hive == Hive::LocalMachine ? "HKLM\\" : "HKCU\\") + key + "\\" + value);
      if (found == registry->end()) return std::nullopt;
      return Expand(found->second, root);
    };
  env.variable = [=](const std::string& name) -> std::optional<std::string> {
    const auto found = variables.find(name);
    if (found == variables.end()) return std::nullopt;
    return Expand(found->second, root);
  };
  env.home = home.empty() ? "" : root + "/" + home;
  return env;
}

// Paths as the search joins them: on Windows with "\", here written with "/".
std::string Slashed(std::string text) {
#ifdef _WIN32
  std::replace(text.begin(), text.end(), '\\', '/');
#endif
  return text;
}

void Put(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  test::WriteFile(file.string(), text);
}

// An install: a GameData folder with one of the game's archives in it.
std::pair<std::string, std::string> Game(const std::string& folder) {
  return {folder + "/GameData/Skins/Skins.far", "FAR!byAZ"};
}

constexpr const char* kLegacy = "/steamapps/common/The Sims Legacy Collection";

// Each way an install is recorded, alone, and what finding it says.
TEST(FindGameInstalls, FindsEachInstallOnceWithHowItWasFound) {
  struct Case {
    const char* name = "";
    std::vector<std::pair<std::string, std::string>> files = {};  // relative path, text
    std::optional<Variables> registry = {};                       // none: a system without one
    Variables variables = {};
    std::string home = {};                                        // relative; empty: none
    std::vector<std::pair<std::string, std::string>> links = {};  // link, target (POSIX only)
    std::vector<std::pair<std::string, std::string>> found = {};  // folder, part of how
    std::vector<std::string> looked = {};                         // parts of some place looked
  };
  const std::string vdf = R"("libraryfolders"
{
	"0"
	{
		"path"		"{root}/Steam/"
		"apps" { "3314060"		"0" }
	}
	"1" { "path"		"{root}/lib\\two" }
	"2" { "path"		"{root}/LibThree" }
})";
  const std::vector<Case> cases = {
      {.name = "the classic game's 64-bit key",
       .files = {Game("Maxis/The Sims")},
       .registry = Variables{{"HKLM\\SOFTWARE\\Maxis\\The Sims\\InstallPath", "{root}/Maxis/The Sims"}},
       .found = {{"Maxis/The Sims", "the registry value HKEY_LOCAL_MACHINE\\SOFTWARE\\Maxis\\The Sims\\InstallPath"}}},
      {.name = "the 32-bit key on 64-bit Windows, GameData in lower case",
       .files = {{"Sims/gamedata/Skins/b001mafit_01.cmx", "x"}},
       .registry = Variables{{"HKLM\\SOFTWARE\\WOW6432Node\\Maxis\\The Sims\\InstallPath", "{root}/Sims"}},
       .found = {{"Sims", "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Maxis\\The Sims\\InstallPath"}}},
      {.name = "both keys on one folder: found once, by the first",
       .files = {Game("Sims")},
       .registry = Variables{{"HKLM\\SOFTWARE\\Maxis\\The Sims\\InstallPath", "{root}/Sims"},
                             {"HKLM\\SOFTWARE\\WOW6432Node\\Maxis\\The Sims\\InstallPath", "{root}/Sims/"}},
       .found = {{"Sims", "SOFTWARE\\Maxis\\The Sims\\InstallPath"}}},
      {.name = "keys on folders without the game",
       .files = {{"NoData/readme.txt", "x"}, {"Uninstalled/GameData/readme.txt", "x"}},
       .registry = Variables{{"HKLM\\SOFTWARE\\Maxis\\The Sims\\InstallPath", "{root}/NoData"},
                             {"HKLM\\SOFTWARE\\WOW6432Node\\Maxis\\The Sims\\InstallPath", "{root}/Uninstalled"}},
       .looked = {"{root}/NoData", "{root}/Uninstalled",
                  "HKEY_CURRENT_USER\\Software\\Valve\\Steam\\SteamPath (not set)"}},
      {.name = "Steam's own folder and two more libraries, one with an escaped backslash",
       .files = {{"Steam/steamapps/libraryfolders.vdf", vdf}, Game(std::string("Steam") + kLegacy),
                 Game(std::string("lib\\two") + kLegacy), Game(std::string("LibThree") + kLegacy)},
       .registry = Variables{{"HKCU\\Software\\Valve\\Steam\\SteamPath", "{root}/Steam"}},
       .found = {{std::string("Steam") + kLegacy, "Steam's own library (the registry value HKEY_CURRENT_USER"},
                 {std::string("lib\\two") + kLegacy, "a Steam library listed in"},
                 {std::string("LibThree") + kLegacy, "libraryfolders.vdf"}}},
      {.name = "the EA app's folder and the classic default, EA first",
       .files = {Game("PF/EA Games/The Sims Legacy"), Game("PF86/Maxis/The Sims")},
       .variables = {{"ProgramFiles", "{root}/PF"}, {"ProgramFiles(x86)", "{root}/PF86"}},
       .found = {{"PF/EA Games/The Sims Legacy", "the EA app's folder"},
                 {"PF86/Maxis/The Sims", "the classic game's default folder"}}},
      {.name = "a Proton prefix",
       .files = {Game("home/.steam/steam/steamapps/compatdata/3314060/pfx/drive_c/Program Files/EA Games/The Sims Legacy")},
       .home = "home",
       .found = {{"home/.steam/steam/steamapps/compatdata/3314060/pfx/drive_c/Program Files/EA Games/The Sims Legacy",
                  "the EA app's folder in Steam's Proton prefix {root}/home/.steam/steam/steamapps/compatdata/3314060/pfx"}}},
      {.name = "~/.wine's two Program Files, and a library of ~/.local/share/Steam",
       .files = {Game("home/.wine/drive_c/Program Files (x86)/Maxis/The Sims"),
                 Game("home/.wine/drive_c/Program Files/Maxis/The Sims"),
                 {"home/.local/share/Steam/steamapps/libraryfolders.vdf", R"("libraryfolders" { "1" { "path" "{root}/games" } })"},
                 Game(std::string("games") + kLegacy)},
       .home = "home",
       .found = {{std::string("games") + kLegacy, "a Steam library listed in {root}/home/.local/share/Steam"},
                 {"home/.wine/drive_c/Program Files (x86)/Maxis/The Sims", "default folder in the wine prefix {root}/home/.wine"},
                 {"home/.wine/drive_c/Program Files/Maxis/The Sims", "default folder in the wine prefix"}}},
      {.name = "a wine prefix named by WINEPREFIX",
       .files = {Game("pfx/drive_c/Program Files/Maxis/The Sims")},
       .variables = {{"WINEPREFIX", "{root}/pfx"}},
       .home = "home",
       .found = {{"pfx/drive_c/Program Files/Maxis/The Sims", "default folder in the wine prefix {root}/pfx"}}},
      {.name = "Steam installed inside ~/.wine",
       .files = {Game(std::string("home/.wine/drive_c/Program Files (x86)/Steam") + kLegacy)},
       .home = "home",
       .found = {{std::string("home/.wine/drive_c/Program Files (x86)/Steam") + kLegacy,
                  "Steam's own library in the wine prefix {root}/home/.wine"}}},
#ifndef _WIN32
      {.name = "~/.steam/steam, a link to ~/.local/share/Steam, found once",
       .files = {Game(std::string("home/.local/share/Steam") + kLegacy)},
       .home = "home",
       .links = {{"home/.steam/steam", "../.local/share/Steam"}},
       .found = {{std::string("home/.local/share/Steam") + kLegacy, "Steam's own library"}}},
#endif
      {.name = "nothing installed",
       .files = {{"home/.wine/drive_c/Program Files/readme.txt", "x"}},
       .registry = Variables{},
       .variables = {{"ProgramFiles", "{root}/PF"}},
       .home = "home",
       .looked = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Maxis\\The Sims\\InstallPath (not set)",
                  "{root}/PF/EA Games/The Sims Legacy", std::string("{root}/home/.steam/steam") + kLegacy,
                  "the Program Files folders of the wine prefix {root}/home/.wine"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string root = dir.root().string();
    for (const auto& [path, text] : c.files) Put(dir.root() / path, Expand(text, root));
    for (const auto& [link, target] : c.links) {
      std::filesystem::create_directories((dir.root() / link).parent_path());
      std::filesystem::create_directory_symlink(target, dir.root() / link);
    }
    const InstallSearch search = FindGameInstalls(FakeEnvironment(c.registry, c.variables, c.home, root));
    EXPECT_EQ(search.found.size(), c.found.size());
    for (std::size_t i = 0; i < std::min(c.found.size(), search.found.size()); ++i) {
      EXPECT_EQ(search.found[i].folder, ResolvedPath(root + "/" + c.found[i].first));
      EXPECT_NE(Slashed(search.found[i].found_by).find(Slashed(Expand(c.found[i].second, root))), std::string::npos)
          << search.found[i].found_by;
    }
    std::string looked;
    for (const std::string& place : search.looked) looked += Slashed(place) + "\n";
    for (const std::string& place : c.looked)
      EXPECT_NE(looked.find(Slashed(Expand(place, root))), std::string::npos) << looked;
  }
}

TEST(FindGameInstalls, SteamLibraryPathsReadsBothFormsOfTheList) {
  const struct {
    const char* vdf;
    std::vector<std::string> paths;
  } cases[] = {
      {R"("libraryfolders"
{
	"0"
	{
		"path"		"C:\\Program Files (x86)\\Steam"
		"label"		""
		"apps"
		{
			"228980"		"29212173"
		}
	}
	"1"
	{
		"path"		"D:\\SteamLibrary"
	}
})",
       {"C:\\Program Files (x86)\\Steam", "D:\\SteamLibrary"}},
      // Before 2021: numbered values of the outer block.
      {R"("LibraryFolders"
{
	"TimeNextStatsReport"		"1700000000"
	"ContentStatsID"		"-4321"
	"1"		"E:\\Games\\Steam"
})",
       {"E:\\Games\\Steam"}},
      {"// \"path\" \"commented\"\n\"libraryfolders\" { \"0\" { \"PATH\" \"/home/a \\\"b\\\"\" } }", {"/home/a \"b\""}},
      // Unquoted words are words too; an escape Steam does not write is kept as written.
      {"libraryfolders { 0 { path /mnt/games label x } }", {"/mnt/games"}},
      {R"("libraryfolders" { "0" { "path" "D:\qLib\\Steam" } })", {"D:\\qLib\\Steam"}},
      {"\"libraryfolders\" { \"0\" { \"path\" ", {}},
      // The escapes Steam writes.
      {"\"libraryfolders\" { \"0\" { \"path\" \"/a\\tb\\nc\" } }", {"/a\tb\nc"}},
      // A word ends at a brace; a numbered value has digits: an empty key is no number.
      {"libraryfolders{0{path /mnt/g}}", {"/mnt/g"}},
      {"libraryfolders{0{path\"/mnt/g\"}}", {"/mnt/g"}},
      {"\"LibraryFolders\" { \"\" \"Z:\\x\" \"10\" \"F:\\y\" }", {"F:\\y"}},
      {"\"LibraryFolders\" { \"-1\" \"Z:\\x\" }", {}},
      {"{{{ \"path\" { } }", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SteamLibraryPaths(c.vdf), c.paths) << c.vdf;
}

TEST(FindGameInstalls, VirtualStoreOfFoldersUnderProgramFiles) {
  const Environment env = FakeEnvironment(std::nullopt,
                                          {{"ProgramFiles", "C:\\Program Files"},
                                           {"ProgramFiles(x86)", "C:\\Program Files (x86)\\"},
                                           {"LOCALAPPDATA", "C:\\Users\\Ann\\AppData\\Local"}},
                                          "", "");
  const std::string store = "C:\\Users\\Ann\\AppData\\Local\\VirtualStore";
  const struct {
    std::string folder;
    std::optional<std::string> twin;
  } cases[] = {
      {"C:\\Program Files (x86)\\Maxis\\The Sims\\GameData\\Skins",
       store + "\\Program Files (x86)\\Maxis\\The Sims\\GameData\\Skins"},
      {"C:\\Program Files\\EA Games\\The Sims Legacy\\GameData\\Skins",
       store + "\\Program Files\\EA Games\\The Sims Legacy\\GameData\\Skins"},
      {"c:/program files/ea games/the sims legacy/", store + "\\program files\\ea games\\the sims legacy"},
      {"\\\\?\\C:\\PROGRAM FILES (X86)\\Maxis", store + "\\PROGRAM FILES (X86)\\Maxis"},
      {"C:\\Program Files", store + "\\Program Files"},
      {"C:\\Program Files Extra\\The Sims", std::nullopt},
      {"D:\\Program Files\\The Sims", std::nullopt},
      {"D:\\Games\\The Sims", std::nullopt},
      {"Program Files\\The Sims", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(VirtualStoreOf(c.folder, env), c.twin) << c.folder;
  EXPECT_EQ(VirtualStoreOf(cases[0].folder, FakeEnvironment(std::nullopt, {{"ProgramFiles", "C:\\Program Files"}}, "", "")),
            std::nullopt);
  // Without ProgramFiles, ProgramFiles(x86) still counts; with no variables at all, nothing does.
  EXPECT_EQ(VirtualStoreOf(cases[0].folder,
                           FakeEnvironment(std::nullopt, {{"ProgramFiles(x86)", "C:\\Program Files (x86)"}, {"LOCALAPPDATA", "C:\\L"}}, "", "")),
            "C:\\L\\VirtualStore\\Program Files (x86)\\Maxis\\The Sims\\GameData\\Skins");
  EXPECT_EQ(VirtualStoreOf(cases[0].folder, Environment{}), std::nullopt);
  // An empty LOCALAPPDATA is none.
  EXPECT_EQ(VirtualStoreOf(cases[1].folder,
                           FakeEnvironment(std::nullopt, {{"ProgramFiles", "C:\\Program Files"}, {"LOCALAPPDATA", ""}}, "", "")),
            std::nullopt);
}

// The converter's --game auto: the first install, said on stdout; none is a
// usage error that names where it looked; any other --game is left alone.
TEST(FindGameInstalls, GameAutoTakesTheFirstInstall) {
  TempDir dir;
  const std::string root = dir.root().string();
  Put(dir.root() / Game("PF/EA Games/The Sims Legacy").first, "FAR!byAZ");
  Put(dir.root() / Game("PF86/Maxis/The Sims").first, "FAR!byAZ");
  const Environment two = FakeEnvironment(Variables{}, {{"ProgramFiles", "{root}/PF"}, {"ProgramFiles(x86)", "{root}/PF86"}}, "", root);
  const Environment none = FakeEnvironment(std::nullopt, {{"ProgramFiles", "{root}/none"}}, "", root);
  const std::string legacy = ResolvedPath(root + "/PF/EA Games/The Sims Legacy");
  const struct {
    std::string game;
    const Environment& env;
    std::string game_after, out, error;
  } cases[] = {
      {"auto", two, legacy, "game: " + legacy + " (found by the EA app's folder)\n", ""},
      {"auto", none, "", "",
       "--game auto: no install of the game was found; looked in " + JoinPath(JoinPath(root + "/none", "EA Games"), "The Sims Legacy") +
           "; " + JoinPath(JoinPath(root + "/none", "Maxis"), "The Sims")},
      {"Auto", two, "Auto", "", ""},
  };
  for (const auto& c : cases) {
    ConvertRequest request = ParseConvertArguments({"--game", c.game, "--pose", "a.skn", "a.obj"});
    std::ostringstream out;
    try {
      ResolveGameAuto(request, c.env, out);
      EXPECT_EQ(c.error, "");
      EXPECT_EQ(request.game, c.game_after);
    } catch (const UsageError& error) {
      EXPECT_EQ(error.what, c.error);
    }
    EXPECT_EQ(out.str(), c.out);
  }
}

// The converter resolves --game auto before any command, from the system's
// own environment.
TEST(FindGameInstalls, TheConverterResolvesAutoFromTheSystem) {
  TempDir dir;
  Put(dir.root() / Game("PF/EA Games/The Sims Legacy").first, "FAR!byAZ");
  const std::string empty_home = dir.path("home");
  std::filesystem::create_directories(empty_home);
  // Restored at the end: under wine every test runs in one process.
  struct Set {
    std::string name;
    std::optional<std::string> before;
    Set(std::string n, const std::string& value) : name(std::move(n)), before(EnvironmentVariable(name)) {
      Assign(value);
    }
    ~Set() { Assign(before.value_or("")); }
    void Assign(const std::string& value) const {
#ifdef _WIN32
      ::_putenv_s(name.c_str(), value.c_str());
#else
      if (value.empty())
        ::unsetenv(name.c_str());
      else
        ::setenv(name.c_str(), value.c_str(), 1);
#endif
    }
  };
  const Set program_files("ProgramFiles", dir.path("PF")), x86("ProgramFiles(x86)", ""), home("HOME", empty_home),
      wine("WINEPREFIX", ""), data("XDG_DATA_HOME", "");
  // Windows' registry may know of another install, found first.
  const InstallSearch search = FindGameInstalls(SystemEnvironment());
  ASSERT_FALSE(search.found.empty());
  const test::Converted ran = test::Convert({"--game", "auto", "--to", "bmf", "a.skn"});
  EXPECT_EQ(ran.out, "game: " + search.found.front().folder + " (found by " + search.found.front().found_by + ")\n");
  EXPECT_NE(ran.err.find("--game goes with the commands that look files up"), std::string::npos) << ran.err;
}

}  // namespace
}  // namespace mervane
