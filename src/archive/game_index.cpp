#include "archive/game_index.h"

#include "archive/far.h"
#include "files/textfile.h"
#include "model/paths.h"

namespace mervane {

bool IsGameFile(std::string_view name) {
  const std::string extension = ExtensionOf(name);
  for (const char* game : {"far", "cmx", "bcf", "cfp", "skn", "bmf"})
    if (extension == game) return true;
  return false;
}

std::string GameFolderProblem(const std::string& folder) {
  if (!IsFolder(folder)) return "there is no such folder";
  for (const std::string& path : FilesBelow(folder))
    if (IsGameFile(path)) return {};
  return kNoGameFiles;
}

GameIndex::GameIndex(const std::string& folder) {
  const std::vector<std::string> files = FilesBelow(folder);
  std::vector<const std::string*> archives;
  for (const std::string& path : files) {
    std::string lower = ToLowerAscii(FileNameOf(path));
    by_name_.try_emplace(lower, path);
    loose_.insert(std::move(lower));
    if (ExtensionOf(path) == "far") archives.push_back(&path);
  }
  for (const std::string* path : archives) {
    try {
      const FarArchive archive = FarArchive::Open(*path);
      const std::string prefix = *path + "/";
      by_name_.reserve(by_name_.size() + archive.members().size());
      for (const FarMember& member : archive.members()) {
        const std::string name = FileNameOf(member.name);
        if (name.empty()) continue;
        std::string lower = ToLowerAscii(name);
        const bool added = by_name_.try_emplace(lower, prefix + member.name).second;
        if (!added && loose_.count(lower)) overridden_.try_emplace(std::move(lower), prefix + member.name);
      }
    } catch (const Failure& failure) {
      problems_.push_back(failure.detail());
    }
  }
}

std::optional<std::string> GameIndex::Find(std::string_view file_name) const {
  const auto found = by_name_.find(ToLowerAscii(file_name));
  if (found == by_name_.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> GameIndex::FindMember(std::string_view file_name) const {
  const std::string lower = ToLowerAscii(file_name);
  if (const auto hidden = overridden_.find(lower); hidden != overridden_.end()) return hidden->second;
  const auto found = by_name_.find(lower);
  if (found == by_name_.end() || loose_.count(lower)) return std::nullopt;
  return found->second;
}

std::vector<std::string> GameIndex::Names() const {
  std::vector<std::string> names;
  names.reserve(by_name_.size());
  for (const auto& entry : by_name_) names.push_back(FileNameOf(entry.second));
  return names;
}

}  // namespace mervane
