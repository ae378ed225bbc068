#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/failure.h"
#include "model/paths.h"

namespace mervane {

// True when an ordinary file exists at path (a folder does not count).
bool IsOrdinaryFile(const std::string& path);
// True when path is a folder (or a link to one).
bool IsFolder(const std::string& path);

// The names of the ordinary files in folder ("" for the current one), in
// the order the system lists them; none when the folder cannot be read.
std::vector<std::string> OrdinaryFilesIn(const std::string& folder);

// The names of the folders in folder (links to folders too), sorted; none
// when it cannot be read.
std::vector<std::string> FoldersIn(const std::string& folder);

// The value of the environment variable name, in UTF-8; none when it is
// not set.
std::optional<std::string> EnvironmentVariable(const std::string& name);

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

// The path of name inside folder, joined as the system joins them.
std::string JoinPath(const std::string& folder, const std::string& name);

// Reads a whole file on the disk, not looking into archives (ReadWholeFile
// does); a missing file is error 53, and so is anything that is not an
// ordinary file (a folder, a device, a pipe).
std::string ReadDiskFile(const std::string& path);

// The archive and the member that a path names, when a folder part of it is
// an existing .far file (extension in any case); the member is the rest of
// the path after that folder part's separator.
struct ArchivePath {
  std::string archive;
  std::string member;
};
std::optional<ArchivePath> SplitArchivePath(std::string_view path);

// An ordinary file open for reading at any offset, so that a large file
// (an archive of several hundred MB) is read a piece at a time, never whole.
class ReadOnlyFile {
 public:
  // Opens path; fails as ReadDiskFile does (error 53 for a missing file or
  // anything but an ordinary file, 75 when access is denied).
  explicit ReadOnlyFile(const std::string& path);
  ~ReadOnlyFile();
  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&&) = delete;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // The file's size when it was opened.
  std::uint64_t size() const { return size_; }
  const std::string& path() const { return path_; }
  // Fills out with the bytes that start at offset. A file that ends first
  // (it may have shrunk since it was opened) is error 62 at that offset; a
  // failed read is error 57.
  void ReadAt(std::uint64_t offset, std::span<char> out) const;

 private:
  std::string path_;
  std::intptr_t handle_ = -1;  // a descriptor, or a Windows handle
  std::uint64_t size_ = 0;
};

// Creates folder and any missing folders above it. Fails as a write does,
// naming the folder.
void MakeFolders(const std::string& folder);

// The absolute path that path stands for: links followed and "." and ".."
// resolved for as much of it as exists, the rest added as written.
std::string ResolvedPath(const std::string& path);

// A key equal for two spellings of one file or folder as the file system
// tells them apart: resolved as above, without trailing separators, and on
// Windows in one case with backslashes.
std::string PathKey(const std::string& path);

// True when path, resolved, lies inside folder (resolved), below it at any depth.
bool IsInsideFolder(const std::string& path, const std::string& folder);

// Removes a file; one that is not there is no failure. Fails as a write.
void RemoveFile(const std::string& path);

// Every ordinary file below folder at any depth, as paths that begin with
// folder, sorted; links to folders are not followed. Folders that cannot be
// read are passed over.
std::vector<std::string> FilesBelow(const std::string& folder);

// A file a writer produces, in memory: its path and its bytes.
struct OutputFile {
  std::string path;
  std::string bytes;
};

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
