// The file system on Windows: UTF-16 paths, handles, and a save that
// replaces its target in one step.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "files/file_io_shared.h"
#include "files/file_io_windows.h"
#include "files/textfile.h"
#include "model/failure.h"
#include "model/paths.h"

namespace mervane {
namespace windows {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (n <= 0) {
    throw Failure::Error(err::kBadFileName, "the name is not valid UTF-8").InFile(utf8);
  }
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), n);
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(std::max(n, 0)), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::wstring SystemPath(const std::string& path) {
  std::wstring wide = Widen(path);
  if (wide.starts_with(L"\\\\?\\")) return wide;
  // The size includes the terminating null. 12 short of MAX_PATH: the limit
  // for folders, and room for the temporary names beside a target.
  const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0 || size < MAX_PATH - 12) return wide;
  std::wstring full(size, L'\0');
  full.resize(::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr));
  if (full.starts_with(L"\\\\.\\")) return full;  // a device stays one
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

int ErrorNumber(unsigned long error, Access access) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return err::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return access == Access::Read ? err::kFileNotFound : err::kPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return err::kAccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return err::kDiskFull;
    default:
      return err::kOtherIo;
  }
}

std::string Describe(unsigned long error) {
  // The C library's words where Windows and POSIX mean the same, so that
  // messages read alike on every system.
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return std::strerror(ENOENT);
    case ERROR_ACCESS_DENIED:
      return std::strerror(EACCES);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "the file is in use by another program";
    case ERROR_WRITE_PROTECT:
      return std::strerror(EROFS);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::strerror(ENOSPC);
    default:
      return "Windows error " + std::to_string(error);
  }
}

std::optional<std::string> RegistryString(const std::string& key, const std::string& value) {
  constexpr std::string_view kLocalMachine = "HKEY_LOCAL_MACHINE\\", kCurrentUser = "HKEY_CURRENT_USER\\";
  HKEY root = nullptr;
  std::string_view path = key;
  if (path.starts_with(kLocalMachine)) {
    root = HKEY_LOCAL_MACHINE;
    path.remove_prefix(kLocalMachine.size());
  } else if (path.starts_with(kCurrentUser)) {
    root = HKEY_CURRENT_USER;
    path.remove_prefix(kCurrentUser.size());
  } else {
    return std::nullopt;
  }
  std::wstring wide_key, wide_value;
  try {
    wide_key = Widen(path);
    wide_value = Widen(value);
  } catch (const Failure&) {
    return std::nullopt;
  }
  // Asked twice, size then text; the value may grow in between, hence the loop.
  DWORD bytes = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (::RegGetValueW(root, wide_key.c_str(), wide_value.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
        ERROR_SUCCESS)
      return std::nullopt;
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    const LSTATUS status =
        ::RegGetValueW(root, wide_key.c_str(), wide_value.c_str(), RRF_RT_REG_SZ, nullptr, text.data(), &bytes);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return std::nullopt;
    text.resize(bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return Narrow(text);
  }
  return std::nullopt;
}

}  // namespace windows

std::optional<std::string> EnvironmentVariable(const std::string& name) {
  std::wstring wide;
  try {
    wide = windows::Widen(name);
  } catch (const Failure&) {
    return std::nullopt;
  }
  const wchar_t* value = ::_wgetenv(wide.c_str());
  if (!value) return std::nullopt;
  return windows::Narrow(value);
}

namespace {

using windows::Access;
using windows::SystemPath;

// Closes a handle on every way out.
class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (valid()) ::CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  bool Close() { return ::CloseHandle(Release()) != 0; }
  HANDLE Release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }

 private:
  HANDLE h_;
};

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

[[noreturn]] void ThrowWrite(const std::string& path, DWORD error) {
  const bool not_found = error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND;
  const std::string folder = FolderOf(path);
  const bool folder_exists = not_found && IsFolder(windows::SystemPath(folder.empty() ? "." : folder));
  throw WriteFailure(windows::ErrorNumber(folder_exists ? ERROR_ACCESS_DENIED : error, Access::Write), path,
                     not_found, folder_exists, windows::Describe(error));
}

std::string TempNameFor(const std::string& target) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  const char* digits = "0123456789abcdefghijklmnopqrstuvwxyz";
  // The target's own name, cut so that the temporary one still fits the
  // 255-character limit; never inside a UTF-8 sequence.
  const std::string file_name = FileNameOf(target);
  std::size_t keep = std::min<std::size_t>(file_name.size(), 200);
  while (keep > 0 && keep < file_name.size() && (file_name[keep] & 0xC0) == 0x80) --keep;
  std::string name = FolderOf(target) + file_name.substr(0, keep) + ".mervane-";
  for (int i = 0; i < 10; ++i) name.push_back(digits[random() % 36]);
  return name;
}

// Writes text to a fresh temporary file beside target, flushed to the disk;
// returns its name.
std::string WriteTemporary(const std::string& target, std::string_view text) {
  RefuseArchiveTarget(target);
  if (const std::string problem = windows::NameProblem(FileNameOf(target)); !problem.empty())
    throw Failure::Error(err::kBadFileName, "cannot be written (" + problem + ")").InFile(target);
  const std::wstring wide_target = SystemPath(target);
  const DWORD attributes = ::GetFileAttributesW(wide_target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
      throw Failure::Error(err::kAccessDenied, "cannot be written (it is a folder)").InFile(target);
    // A read-only file stays protected, even though replacing it could be forced.
    if (attributes & FILE_ATTRIBUTE_READONLY)
      throw Failure::Error(err::kAccessDenied, "cannot be written (the file is read-only)").InFile(target);
    // Replacing a file needs the right to delete it, which a program that
    // holds it open without sharing (a modeller, the game) denies. Asking
    // now fails the save before anything is written.
    Handle probe(::CreateFileW(wide_target.c_str(), DELETE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe.valid()) ThrowWrite(target, ::GetLastError());
  }
  std::string name;
  std::wstring temp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; h == INVALID_HANDLE_VALUE && attempt < 16; ++attempt) {
    name = TempNameFor(target);
    temp = SystemPath(name);
    h = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) ThrowWrite(target, ::GetLastError());
  }
  if (h == INVALID_HANDLE_VALUE) ThrowWrite(target, ERROR_FILE_EXISTS);
  Handle file(h);
  auto fail = [&](DWORD error) {
    if (file.valid()) file.Close();
    ::DeleteFileW(temp.c_str());
    ThrowWrite(target, error);
  };
  std::size_t done = 0;
  while (done < text.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 24));
    DWORD written = 0;
    if (!::WriteFile(file.get(), text.data() + done, chunk, &written, nullptr)) fail(::GetLastError());
    done += written;
  }
  if (!::FlushFileBuffers(file.get())) fail(::GetLastError());
  if (!file.Close()) fail(::GetLastError());
  return name;
}

// Moves temp over target, write-through: the rename is on the disk when the
// call returns. A virus scanner or the search indexer may hold a fresh file
// for a moment, so a refusal is tried again a few times before it counts.
bool MoveOver(const std::wstring& temp, const std::wstring& target) {
  for (int attempt = 0;; ++attempt) {
    if (::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD error = ::GetLastError();
    const bool passing = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                         error == ERROR_LOCK_VIOLATION;
    if (!passing || attempt == 10) return false;
    ::Sleep(50);
  }
}

}  // namespace

bool IsOrdinaryFile(const std::string& path) {
  if (path.empty()) return false;
  try {
    if (!windows::NameProblem(FileNameOf(path)).empty()) return false;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return ::GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data) &&
           !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  } catch (const Failure&) {
    return false;  // not UTF-8: no file has that name
  }
}

bool IsFolder(const std::string& path) {
  if (path.empty()) return false;
  try {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return ::GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data) &&
           (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  } catch (const Failure&) {
    return false;  // not UTF-8: no folder has that name
  }
}

std::vector<std::string> OrdinaryFilesIn(const std::string& folder) {
  std::wstring pattern;
  try {
    // The folder may come with or without its last separator.
    const bool ends_in_separator = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
    pattern = SystemPath((folder.empty() ? std::string(".\\") : ends_in_separator ? folder : folder + "\\") + "*");
  } catch (const Failure&) {
    return {};
  }
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry{};
  HANDLE h = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(windows::Narrow(entry.cFileName));
  } while (::FindNextFileW(h, &entry));
  ::FindClose(h);
  return names;
}

std::string AbsolutePath(const std::string& path) {
  const std::wstring wide = windows::Widen(path);
  const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return windows::Narrow(full);
}

namespace {

Failure ReadFailure(const std::string& path, int number, const std::string& why) {
  return Failure::Error(number, "cannot be read (" + why + ")").InFile(path);
}

Failure ReadFailure(const std::string& path, DWORD error) {
  return ReadFailure(path, windows::ErrorNumber(error, Access::Read), windows::Describe(error));
}

// Opens a file on a disk for reading; anything else fails as a read does.
HANDLE OpenForReading(const std::string& path, DWORD flags, std::uint64_t& size) {
  if (path.empty()) throw Failure::Error(err::kFileNotFound, "no file name was given");
  const std::wstring wide = SystemPath(path);
  // Others may keep the file open, even for writing: reading takes a copy.
  Handle file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, flags, nullptr));
  if (!file.valid()) {
    const DWORD error = ::GetLastError();
    if (IsFolder(wide)) throw ReadFailure(path, err::kFileNotFound, "it is a folder");
    throw ReadFailure(path, error);
  }
  // A console, pipe or device could be read without end; only files on a disk count.
  if (::GetFileType(file.get()) != FILE_TYPE_DISK)
    throw ReadFailure(path, err::kFileNotFound, "it is not an ordinary file");
  LARGE_INTEGER bytes{};
  if (!::GetFileSizeEx(file.get(), &bytes)) throw ReadFailure(path, ::GetLastError());
  size = static_cast<std::uint64_t>(bytes.QuadPart);
  return file.Release();
}

}  // namespace

std::string ReadDiskFile(const std::string& path) {
  std::uint64_t size = 0;
  Handle file(OpenForReading(path, FILE_FLAG_SEQUENTIAL_SCAN, size));
  std::string text;
  text.reserve(static_cast<std::size_t>(size));
  std::vector<char> buf(1 << 16);
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file.get(), buf.data(), static_cast<DWORD>(buf.size()), &n, nullptr))
      throw ReadFailure(path, ::GetLastError());
    if (n == 0) break;
    text.append(buf.data(), n);
  }
  return text;
}

ReadOnlyFile::ReadOnlyFile(const std::string& path) : path_(path) {
  handle_ = reinterpret_cast<std::intptr_t>(OpenForReading(path, FILE_ATTRIBUTE_NORMAL, size_));
}

ReadOnlyFile::~ReadOnlyFile() {
  if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : path_(std::move(other.path_)), handle_(std::exchange(other.handle_, -1)), size_(other.size_) {}

void ReadOnlyFile::ReadAt(std::uint64_t offset, std::span<char> out) const {
  std::size_t done = 0;
  while (done < out.size()) {
    // The offset goes with each read, so that reads need no shared file position.
    const std::uint64_t at = offset + done;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1 << 24));
    DWORD n = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), out.data() + done, chunk, &n, &where)) {
      const DWORD error = ::GetLastError();
      if (error != ERROR_HANDLE_EOF) throw ReadFailure(path_, error).AtOffset(at);
      n = 0;
    }
    if (n == 0)
      throw Failure::Error(err::kPastEndOfFile, "the file ends early (has it changed since it was opened?)")
          .InFile(path_)
          .AtOffset(at);
    done += n;
  }
}

StagedFiles::~StagedFiles() {
  for (const auto& [temp, target] : moves_) ::DeleteFileW(SystemPath(temp).c_str());
}

void StagedFiles::Commit() {
  while (!moves_.empty()) {
    const auto& [temp, target] = moves_.front();
    if (!MoveOver(SystemPath(temp), SystemPath(target))) {
      const DWORD error = ::GetLastError();
      ThrowWrite(target, error);
    }
    moves_.erase(moves_.begin());
  }
}

// Every temporary file is flushed as it is written: Windows has no flush of
// a whole volume that a program without administrator rights may ask for.
StagedFiles StageFiles(std::span<const FileToWrite> files, Flush) {
  StagedFiles staged;
  for (const FileToWrite& file : files) staged.moves_.emplace_back(WriteTemporary(file.path, file.text), file.path);
  return staged;
}

void FlushFolders(std::span<const std::string>) {}

void WriteFilesAtomically(std::span<const FileToWrite> files) {
  StageFiles(files, Flush::Now).Commit();
}

}  // namespace mervane

namespace mervane {

void RemoveFile(const std::string& path) {
  if (!::DeleteFileW(SystemPath(path).c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND) ThrowWrite(path, ::GetLastError());
}

}  // namespace mervane
