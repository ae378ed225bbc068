#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace mervane {

// The files of a game install, found by name without regard to case: every
// ordinary file below a folder, and every member of every .far archive among
// them. Built once per run; lookups then cost a hash.
// True for the name of a file the game is made of: a .far archive or a file
// of its characters (.cmx, .bcf, .cfp, .skn, .bmf).
bool IsGameFile(std::string_view name);

// Why folder is not a game folder, in words for the user (kNoGameFiles for
// a folder without one); empty when it is one: a folder holding a game
// file (IsGameFile) at any depth.
inline constexpr const char* kNoGameFiles =
    "the folder holds no .far archive and none of the game's character files (.cmx, .bcf, .cfp, .skn, .bmf)";
std::string GameFolderProblem(const std::string& folder);

class GameIndex {
 public:
  // Indexes folder. A loose file wins over an archive member of the same
  // name (the game lets loose files override its archives); otherwise the
  // first in path order wins, and within an archive the first in its
  // manifest. An archive that cannot be read is left out and its failure
  // kept in problems(); a folder that cannot be read is passed over.
  explicit GameIndex(const std::string& folder);

  // A path that ReadWholeFile reads (for a member, "ARCHIVE.far/member")
  // for the file named file_name, case ignored; none when no file has that
  // name. Only the file name counts: a member stored under a folder part is
  // found by the name after it.
  std::optional<std::string> Find(std::string_view file_name) const;

  // The archive member named file_name, case ignored, even where a loose
  // file of that name overrides it; none when no archive holds one.
  std::optional<std::string> FindMember(std::string_view file_name) const;

  // How many names are indexed.
  std::size_t size() const { return by_name_.size(); }
  // Every indexed file's name as its path spells it, in no particular
  // order: what a window lists for the user to choose from.
  std::vector<std::string> Names() const;
  // One detail per archive that could not be read.
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  std::unordered_map<std::string, std::string> by_name_;  // lower-cased name -> path
  std::unordered_map<std::string, std::string> overridden_;  // members a loose file hides
  std::unordered_set<std::string> loose_;                    // lower-cased names of loose files
  std::vector<std::string> problems_;
};

}  // namespace mervane
