#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/failure.h"
#include "files/paths.h"

namespace mervane {

// True when an ordinary file exists at path (a folder does not count).
bool IsOrdinaryFile(const std::string& path);

// The names of the ordinary files in folder ("" for the current one), in
// the order the system lists them; none when the folder cannot be read.
std::vector<std::string> OrdinaryFilesIn(const std::string& folder);

// A folder's ordinary files, found by name without regard to case. One
// listing serves any number of lookups: saving many projects into one
// folder must not list it once per project.
class FolderFiles {
 public:
  explicit FolderFiles(const std::string& folder) {
    for (std::string& name : OrdinaryFilesIn(folder)) by_lower_.emplace(ToLowerAscii(name), std::move(name));
  }
  // The actual name of the file whose name matches name without regard to
  // case (the first listed, if several do); empty when there is none.
  std::string Find(const std::string& name) const {
    const auto found = by_lower_.find(ToLowerAscii(name));
    return found == by_lower_.end() ? std::string() : found->second;
  }

 private:
  std::unordered_map<std::string, std::string> by_lower_;
};

// The same for one lookup.
inline std::string FindFileIgnoringCase(const std::string& folder, const std::string& name) {
  return FolderFiles(folder).Find(name);
}

// The path made absolute against the current folder, as the system spells
// it; a path that is absolute already comes back as it is.
std::string AbsolutePath(const std::string& path);

// Reads a whole text file; a missing file is error 53, and so is anything
// that is not an ordinary file (a folder, a device, a pipe).
std::string ReadWholeFile(const std::string& path);

// Writes files so that a failed save never costs the user a file: each text
// goes to a temporary file beside its target, and only when every one is
// written and flushed are they renamed over their targets. On failure the
// temporary files are removed and the targets stay as they were.
struct FileToWrite {
  std::string path;
  std::string_view text;
};
void WriteFilesAtomically(std::span<const FileToWrite> files);

// Whether StageFiles flushes its files to disk itself, or leaves that to
// one FlushFolders call over many sets.
enum class Flush { Now, Later };

// The two halves of WriteFilesAtomically, for many saves at once: write every
// set's temporary files, flush them all in one go, then put them in place.
class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(StagedFiles&&) = default;
  StagedFiles& operator=(StagedFiles&&) = default;
  // Removes the temporary files that were not put in place.
  ~StagedFiles();
  // Renames each temporary file over its target, in order. A failure names
  // its target; files already in place stay there.
  void Commit();

 private:
  friend StagedFiles StageFiles(std::span<const FileToWrite> files, Flush flush);
  std::vector<std::pair<std::string, std::string>> moves_;  // temporary, target
};

// Writes each text to a temporary file beside its target. On failure
// nothing is left behind and the targets are untouched.
StagedFiles StageFiles(std::span<const FileToWrite> files, Flush flush);

// Flushes everything written in these folders to disk.
void FlushFolders(std::span<const std::string> folders);
inline void WriteFileAtomically(const std::string& path, std::string_view text) {
  const FileToWrite file{path, text};
  WriteFilesAtomically({&file, 1});
}


}  // namespace mervane
