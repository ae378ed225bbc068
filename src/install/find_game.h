#pragma once

// Where the game is installed: the classic game's registry record, Steam's
// libraries, the EA app's folder, and on Linux the same inside wine and
// Proton prefixes. What the search asks of the system comes through an
// Environment, so that a made-up one can stand in for it.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mervane {

enum class Hive { LocalMachine, CurrentUser };

// What the search reads of the system besides its files.
struct Environment {
  // A string value of the registry (key without its hive, as
  // "SOFTWARE\Maxis\The Sims"); none when missing. Empty on a system
  // without a registry, which is then not searched.
  std::function<std::optional<std::string>(Hive hive, const std::string& key, const std::string& value)> registry;
  // An environment variable (ProgramFiles, ProgramFiles(x86), LOCALAPPDATA,
  // XDG_DATA_HOME, WINEPREFIX); none when unset. May be empty: none set.
  std::function<std::optional<std::string>(const std::string& name)> variable;
  // The home folder whose Steam folders and wine prefix are searched;
  // empty on Windows, where the game lives in Windows' own folders.
  std::string home;
};

// The environment of the running program: Windows' registry and no home
// folder on Windows; no registry and $HOME elsewhere.
Environment SystemEnvironment();

// An install of the game and how it was found, in words for the user
// ("the registry value HKEY_LOCAL_MACHINE\SOFTWARE\Maxis\The Sims\InstallPath").
struct GameInstall {
  std::string folder;
  std::string found_by;
};

struct InstallSearch {
  // Every install that exists and holds the game, each folder once, the
  // first found first: the classic game's registry record, Steam's
  // libraries, the EA app's folder, the classic game's default folders,
  // then (with a home folder) Steam's folders under it with their Proton
  // prefixes, and the wine prefixes.
  std::vector<GameInstall> found;
  // Every place searched, in words, for a user told that nothing was found.
  std::vector<std::string> looked;
};

// Searches every place env knows of. An install is a folder with a
// GameData folder (name case ignored) that is a game folder by
// GameFolderProblem. Reads only; never fails.
InstallSearch FindGameInstalls(const Environment& env);

// The GameData folder of an install (its name in any case); none when the
// install has none.
std::optional<std::string> GameDataFolderOf(const std::string& install);

// The folder the game reads custom skins from: the install's GameData's
// Skins (names in any case); none when there is none.
std::optional<std::string> SkinsFolderOf(const std::string& install);

// The library folders a Steam libraryfolders.vdf lists: each "path" value
// (escapes such as \\ undone), and in the older form each numbered value,
// in the order written. Text that is not such a file gives what it can.
std::vector<std::string> SteamLibraryPaths(std::string_view vdf);

// Where Windows puts what a program without administrator rights writes
// into folder, when folder lies under Program Files or Program Files (x86)
// (as env's ProgramFiles and ProgramFiles(x86) name them, case ignored, "/"
// or "\"): %LOCALAPPDATA%\VirtualStore followed by folder without its
// drive. None for any other folder, or when a variable is not set.
std::optional<std::string> VirtualStoreOf(const std::string& folder, const Environment& env);

}  // namespace mervane
