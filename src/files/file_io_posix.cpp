// The file system on POSIX systems: descriptors, errno, rename(2).
#include "files/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <utility>
#include <vector>

#include "files/file_io_shared.h"
#include "model/failure.h"
#include "model/numbers.h"
#include "model/paths.h"

namespace mervane {
namespace {

// Closes a descriptor on every way out.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&&) = delete;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

int ReadErrorNumber(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR:
    case EISDIR:
      return err::kFileNotFound;
    case EACCES:
    case EPERM:
      return err::kAccessDenied;
    default:
      return err::kOtherIo;
  }
}

std::string TempNameFor(const std::string& target) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  const char* digits = "0123456789abcdefghijklmnopqrstuvwxyz";
  // The target's own name, cut so that the temporary one still fits the
  // usual 255-byte limit when the target's name nearly fills it.
  const std::string file_name = FileNameOf(target);
  std::string name = FolderOf(target) + file_name.substr(0, 200) + ".mervane-";
  for (int i = 0; i < 10; ++i) name.push_back(digits[random() % 36]);
  return name;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.empty() ? "." : path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

[[noreturn]] void ThrowWrite(const std::string& path, int e) {
  const bool not_found = e == ENOENT || e == ENOTDIR;
  // A folder such as /proc is there and still answers "no such file".
  const bool folder_exists = not_found && IsFolder(FolderOf(path));
  throw WriteFailure(WriteErrorNumber(folder_exists ? EACCES : e), path, not_found, folder_exists,
                     std::strerror(e));
}

// Writes text to a fresh temporary file beside target and returns it open,
// so that the caller can flush it after writing others.
std::pair<std::string, Fd> WriteTemporary(const std::string& target, std::string_view text) {
  RefuseArchiveTarget(target);
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) ThrowWrite(target, EISDIR);
  // A write-protected file stays protected, even though renaming over it would work.
  if (exists && ::access(target.c_str(), W_OK) != 0) ThrowWrite(target, errno);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
    temp = TempNameFor(target);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) ThrowWrite(target, errno);
  }
  if (fd < 0) ThrowWrite(target, EEXIST);
  Fd file(fd);
  auto fail = [&](int e) {
    ::unlink(temp.c_str());
    ThrowWrite(target, e);
  };
  if (exists && ::fchmod(file.get(), st.st_mode & 07777) != 0) fail(errno);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(file.get(), text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    done += static_cast<std::size_t>(n);
  }
  return {std::move(temp), std::move(file)};
}

Failure ReadFailure(const std::string& path, int e) {
  const std::string why = e == EISDIR ? "it is a folder" : std::strerror(e);
  return Failure::Error(ReadErrorNumber(e), "cannot be read (" + why + ")").InFile(path);
}

// Opens an ordinary file for reading; anything else fails as a read does.
Fd OpenForReading(const std::string& path, struct stat& st) {
  if (path.empty()) throw Failure::Error(err::kFileNotFound, "no file name was given");
  // Non-blocking, so that a FIFO is refused below instead of waiting for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw ReadFailure(path, errno);
  Fd file(fd);
  if (::fstat(fd, &st) != 0) throw ReadFailure(path, errno);
  if (S_ISDIR(st.st_mode)) throw ReadFailure(path, EISDIR);
  // A device or pipe could be read without end; only ordinary files count.
  if (!S_ISREG(st.st_mode))
    throw Failure::Error(err::kFileNotFound, "cannot be read (it is not an ordinary file)")
        .InFile(path);
  return file;
}

}  // namespace

bool IsOrdinaryFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> OrdinaryFilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (it->is_regular_file(type_ec)) names.push_back(it->path().filename().string());
  }
  return names;
}

std::optional<std::string> EnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

std::string AbsolutePath(const std::string& path) {
  if (path.starts_with('/')) return path;
  std::string folder(4096, '\0');
  while (!::getcwd(folder.data(), folder.size())) {
    if (errno != ERANGE) return path;
    folder.resize(folder.size() * 2);
  }
  folder.resize(std::strlen(folder.c_str()));
  std::string_view rest = path;
  while (rest.starts_with("./")) rest.remove_prefix(2);
  return folder + (folder.ends_with('/') ? "" : "/") + std::string(rest);
}

std::string ReadDiskFile(const std::string& path) {
  struct stat st {};
  Fd file = OpenForReading(path, st);
  std::string text;
  text.reserve(static_cast<std::size_t>(st.st_size));
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(file.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw ReadFailure(path, errno);
    }
    if (n == 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  return text;
}

ReadOnlyFile::ReadOnlyFile(const std::string& path) : path_(path) {
  struct stat st {};
  handle_ = OpenForReading(path, st).release();
  size_ = static_cast<std::uint64_t>(st.st_size);
}

ReadOnlyFile::~ReadOnlyFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : path_(std::move(other.path_)), handle_(std::exchange(other.handle_, -1)), size_(other.size_) {}

void ReadOnlyFile::ReadAt(std::uint64_t offset, std::span<char> out) const {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(static_cast<int>(handle_), out.data() + done, out.size() - done,
                              static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw ReadFailure(path_, errno).AtOffset(offset + done);
    }
    if (n == 0)
      throw Failure::Error(err::kPastEndOfFile, "the file ends early (has it changed since it was opened?)")
          .InFile(path_)
          .AtOffset(offset + done);
    done += static_cast<std::size_t>(n);
  }
}

StagedFiles::~StagedFiles() {
  for (const auto& [temp, target] : moves_) ::unlink(temp.c_str());
}

void StagedFiles::Commit() {
  while (!moves_.empty()) {
    const auto& [temp, target] = moves_.front();
    if (::rename(temp.c_str(), target.c_str()) != 0) ThrowWrite(target, errno);
    moves_.erase(moves_.begin());
  }
}

StagedFiles StageFiles(std::span<const FileToWrite> files, Flush flush) {
  StagedFiles staged;
  std::vector<Fd> open;
  for (const FileToWrite& file : files) {
    auto [temp, fd] = WriteTemporary(file.path, file.text);
    staged.moves_.emplace_back(std::move(temp), file.path);
    open.push_back(std::move(fd));
  }
  // Flushed only once all are written, so that one journal commit can
  // carry several files.
  for (std::size_t i = 0; i < open.size(); ++i) {
    const std::string& target = staged.moves_[i].second;
    if (flush == Flush::Now && ::fsync(open[i].get()) != 0 && errno != EINVAL) ThrowWrite(target, errno);
    if (::close(open[i].release()) != 0) ThrowWrite(target, errno);
  }
  return staged;
}

void FlushFolders(std::span<const std::string> folders) {
  for (const std::string& folder : folders) {
    const std::string path = folder.empty() ? "." : folder;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (fd < 0) ThrowWrite(path, errno);
    Fd dir(fd);
#ifdef __linux__
    // One flush of the file system instead of one per file.
    if (::syncfs(dir.get()) != 0) ThrowWrite(path, errno);
#else
    ::sync();
#endif
  }
}

void WriteFilesAtomically(std::span<const FileToWrite> files) {
  StageFiles(files, Flush::Now).Commit();
}

}  // namespace mervane

namespace mervane {

void RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) ThrowWrite(path, errno);
}

}  // namespace mervane
