#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/failure.h"

namespace mervane {

// True when an ordinary file exists at path (a folder does not count).
bool IsOrdinaryFile(const std::string& path);

// The actual name of the ordinary file in folder ("" for the current one)
// whose name matches name without regard to case; empty when there is none.
std::string FindFileIgnoringCase(const std::string& folder, const std::string& name);

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
