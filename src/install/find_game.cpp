#include "install/find_game.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <set>

#include "archive/game_index.h"
#include "files/textfile.h"
#include "model/failure.h"
#include "model/paths.h"
#ifdef _WIN32
#include "files/file_io_windows.h"
#endif

namespace mervane {
namespace {

constexpr const char* kClassicKeys[] = {"SOFTWARE\\Maxis\\The Sims", "SOFTWARE\\WOW6432Node\\Maxis\\The Sims"};
constexpr const char* kSteamKey = "Software\\Valve\\Steam";
constexpr const char* kLegacyInSteam = "The Sims Legacy Collection";

// The game's folders under Program Files, as installers put them.
struct ProgramFolder {
  const char* program_files;  // the folder of Program Files, as on the C: drive
  const char* variable;       // the environment variable naming it
  const char* maker;            // the folder in it, then the game's
  const char* game;
  const char* what;
};
constexpr ProgramFolder kProgramFolders[] = {
    {"Program Files", "ProgramFiles", "EA Games", "The Sims Legacy", "the EA app's folder"},
    {"Program Files (x86)", "ProgramFiles(x86)", "Maxis", "The Sims", "the classic game's default folder"},
    {"Program Files", "ProgramFiles", "Maxis", "The Sims", "the classic game's default folder"},
};

std::string HiveName(Hive hive) { return hive == Hive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER"; }

std::string Join(std::string folder, std::initializer_list<const char*> names) {
  for (const char* name : names) folder = JoinPath(folder, name);
  return folder;
}

std::optional<std::string> Variable(const Environment& env, const std::string& name) {
  if (!env.variable) return std::nullopt;
  auto value = env.variable(name);
  if (value && value->empty()) return std::nullopt;
  return value;
}

bool HoldsGame(const std::string& folder) {
  const auto game_data = GameDataFolderOf(folder);
  return game_data && GameFolderProblem(*game_data).empty();
}

class Search {
 public:
  explicit Search(const Environment& env) : env_(env) {}

  InstallSearch Run() && {
    if (env_.registry) {
      for (const char* key : kClassicKeys) Registry(Hive::LocalMachine, key, "InstallPath");
      const std::string where = "the registry value " + HiveName(Hive::CurrentUser) + "\\" + kSteamKey + "\\SteamPath";
      if (const auto steam = env_.registry(Hive::CurrentUser, kSteamKey, "SteamPath"))
        Steam(*steam, "Steam's own library (" + where + ")");
      else
        result_.looked.push_back(where + " (not set)");
    }
    for (const ProgramFolder& place : kProgramFolders)
      if (const auto program_files = Variable(env_, place.variable))
        Try(Join(*program_files, {place.maker, place.game}), place.what);
    if (!env_.home.empty()) {
      const std::string data_home = Variable(env_, "XDG_DATA_HOME").value_or(Join(env_.home, {".local", "share"}));
      for (const std::string& steam : {Join(env_.home, {".steam", "steam"}), JoinPath(data_home, "Steam"),
                                       Join(env_.home, {".var", "app", "com.valvesoftware.Steam", ".local", "share", "Steam"})})
        Steam(steam, "Steam's own library");
      if (const auto prefix = Variable(env_, "WINEPREFIX")) Prefix(*prefix, "the wine prefix " + *prefix);
      const std::string wine = JoinPath(env_.home, ".wine");
      Prefix(wine, "the wine prefix " + wine);
    }
    return std::move(result_);
  }

 private:
  // Looks at folder unless it was looked at already; looked says whether
  // the folder is named among the places looked.
  void Try(const std::string& folder, const std::string& how, bool looked = true) {
    if (!searched_.insert(PathKey(folder)).second) return;
    if (looked) result_.looked.push_back(folder);
    if (HoldsGame(folder)) result_.found.push_back({ResolvedPath(folder), how});
  }

  void Registry(Hive hive, const std::string& key, const std::string& value) {
    const std::string where = "the registry value " + HiveName(hive) + "\\" + key + "\\" + value;
    if (const auto folder = env_.registry(hive, key, value))
      Try(*folder, where);
    else
      result_.looked.push_back(where + " (not set)");
  }

  // Steam's folder is its first library; libraryfolders.vdf there lists
  // all of them. Proton keeps a prefix per game in each library.
  void Steam(const std::string& given, const std::string& how) {
    // As the system spells it: Steam records its own folder with "/" on Windows too.
    const std::string steam = ResolvedPath(given);
    const std::string list = Join(steam, {"steamapps", "libraryfolders.vdf"});
    std::vector<std::pair<std::string, std::string>> libraries{{steam, how}};
    try {
      if (IsOrdinaryFile(list))
        for (std::string& library : SteamLibraryPaths(ReadDiskFile(list)))
          libraries.emplace_back(std::move(library), "a Steam library listed in " + list);
    } catch (const Failure&) {
      // An unreadable list leaves Steam's own library.
    }
    for (const auto& [library, library_how] : libraries) {
      if (!searched_.insert(PathKey(library)).second) continue;
      Try(Join(library, {"steamapps", "common", kLegacyInSteam}), library_how);
      const std::string compat = Join(library, {"steamapps", "compatdata"});
      for (const std::string& game : FoldersIn(compat)) {
        const std::string prefix = Join(compat, {game.c_str(), "pfx"});
        if (IsFolder(prefix)) Prefix(prefix, "Steam's Proton prefix " + prefix);
      }
    }
  }

  // A wine prefix holds a Windows C: drive of its own.
  void Prefix(const std::string& prefix, const std::string& how) {
    if (!searched_.insert(PathKey(prefix)).second) return;
    result_.looked.push_back("the Program Files folders of " + how);
    const std::string drive = JoinPath(prefix, "drive_c");
    for (const ProgramFolder& place : kProgramFolders)
      Try(Join(drive, {place.program_files, place.maker, place.game}), std::string(place.what) + " in " + how, false);
    Try(Join(drive, {"Program Files (x86)", "Steam", "steamapps", "common", kLegacyInSteam}),
        "Steam's own library in " + how, false);
  }

  const Environment& env_;
  std::set<std::string> searched_;  // PathKey of every folder and prefix looked at
  InstallSearch result_;
};

// The tokens of Valve's KeyValues text: quoted or bare strings, braces.
struct VdfToken {
  enum Kind { Text, Open, Close } kind;
  std::string text;
};

std::vector<VdfToken> VdfTokens(std::string_view vdf) {
  std::vector<VdfToken> tokens;
  std::size_t i = 0;
  while (i < vdf.size()) {
    const char c = vdf[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (vdf.substr(i, 2) == "//") {
      i = std::min(vdf.find('\n', i), vdf.size());
    } else if (c == '{' || c == '}') {
      tokens.push_back({c == '{' ? VdfToken::Open : VdfToken::Close, {}});
      ++i;
    } else if (c == '"') {
      std::string text;
      for (++i; i < vdf.size() && vdf[i] != '"'; ++i) {
        if (vdf[i] != '\\' || i + 1 == vdf.size()) {
          text += vdf[i];
          continue;
        }
        const char escaped = vdf[++i];
        if (escaped == 'n') text += '\n';
        else if (escaped == 't') text += '\t';
        else if (escaped == '\\' || escaped == '"') text += escaped;
        else text += std::string{'\\', escaped};
      }
      ++i;  // the closing quote
      tokens.push_back({VdfToken::Text, std::move(text)});
    } else {
      const std::size_t start = i;
      while (i < vdf.size() && !std::isspace(static_cast<unsigned char>(vdf[i])) && vdf[i] != '"' && vdf[i] != '{' &&
             vdf[i] != '}')
        ++i;
      tokens.push_back({VdfToken::Text, std::string(vdf.substr(start, i - start))});
    }
  }
  return tokens;
}

bool IsNumber(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string WindowsForm(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  if (path.starts_with("\\\\?\\")) path.erase(0, 4);
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace

Environment SystemEnvironment() {
  Environment env;
  env.variable = EnvironmentVariable;
#ifdef _WIN32
  env.registry = [](Hive hive, const std::string& key, const std::string& value) {
    return windows::RegistryString(HiveName(hive) + "\\" + key, value);
  };
#else
  env.home = EnvironmentVariable("HOME").value_or("");
#endif
  return env;
}

InstallSearch FindGameInstalls(const Environment& env) { return Search(env).Run(); }

std::optional<std::string> GameDataFolderOf(const std::string& install) {
  for (const std::string& name : FoldersIn(install))
    if (ToLowerAscii(name) == "gamedata") return JoinPath(install, name);
  return std::nullopt;
}

std::optional<std::string> SkinsFolderOf(const std::string& install) {
  const auto game_data = GameDataFolderOf(install);
  if (!game_data) return std::nullopt;
  for (const std::string& name : FoldersIn(*game_data))
    if (ToLowerAscii(name) == "skins") return JoinPath(*game_data, name);
  return std::nullopt;
}

std::vector<std::string> SteamLibraryPaths(std::string_view vdf) {
  std::vector<VdfToken> tokens = VdfTokens(vdf);
  std::vector<std::string> paths;
  int depth = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind != VdfToken::Text) {
      depth += tokens[i].kind == VdfToken::Open ? 1 : -1;
      continue;
    }
    if (i + 1 == tokens.size() || tokens[i + 1].kind != VdfToken::Text) continue;  // a block's name
    const std::string& key = tokens[i].text;
    std::string& value = tokens[++i].text;
    // Before 2021 a library was a numbered value of the outer block itself.
    if (ToLowerAscii(key) == "path" || (depth == 1 && IsNumber(key))) paths.push_back(std::move(value));
  }
  return paths;
}

std::optional<std::string> VirtualStoreOf(const std::string& folder, const Environment& env) {
  const auto local = Variable(env, "LOCALAPPDATA");
  if (!local) return std::nullopt;
  const std::string path = WindowsForm(folder);
  for (const char* name : {"ProgramFiles", "ProgramFiles(x86)"}) {
    const auto variable = Variable(env, name);
    if (!variable) continue;
    const std::string root = WindowsForm(*variable);
    if (root.size() < 3 || root[1] != ':' || root[2] != '\\') continue;  // a folder on a drive
    const bool under = ToLowerAscii(path).starts_with(ToLowerAscii(root)) &&
                       (path.size() == root.size() || path[root.size()] == '\\');
    if (under) return WindowsForm(*local) + "\\VirtualStore" + path.substr(2);
  }
  return std::nullopt;
}

}  // namespace mervane
