// The file system on POSIX systems: descriptors, errno, rename(2).
#include "model/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "model/failure.h"
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

[[noreturn]] void ThrowWrite(const std::string& path, int e) {
  throw Failure::Error(WriteErrorNumber(e), std::string("cannot be written (") +
                                               std::strerror(e) + ")")
      .At(FileNameOf(path));
}

// Writes text to a fresh temporary file beside target; returns its name.
std::string WriteTemporary(const std::string& target, std::string_view text) {
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
  if (::fsync(file.get()) != 0 && errno != EINVAL) fail(errno);
  if (::close(file.release()) != 0) fail(errno);
  return temp;
}

}  // namespace

int WriteErrorNumber(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR:
      return err::kPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
      return err::kAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return err::kDiskFull;
    default:
      return err::kOtherIo;
  }
}

bool IsOrdinaryFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string FindFileIgnoringCase(const std::string& folder, const std::string& name) {
  const std::string wanted = ToLowerAscii(name);
  std::error_code ec;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    std::error_code type_ec;
    if (ToLowerAscii(entry) == wanted && it->is_regular_file(type_ec)) return entry;
  }
  return {};
}

std::string ReadWholeFile(const std::string& path) {
  auto fail = [&](int e) -> Failure {
    const std::string why = e == EISDIR ? "it is a folder" : std::strerror(e);
    return Failure::Error(ReadErrorNumber(e), "cannot be read (" + why + ")").At(FileNameOf(path));
  };
  if (path.empty()) throw Failure::Error(err::kFileNotFound, "no file name was given");
  // Non-blocking, so that a FIFO is refused below instead of waiting for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw fail(errno);
  Fd file(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw fail(errno);
  if (S_ISDIR(st.st_mode)) throw fail(EISDIR);
  // A device or pipe could be read without end; only ordinary files count.
  if (!S_ISREG(st.st_mode))
    throw Failure::Error(err::kFileNotFound, "cannot be read (it is not an ordinary file)")
        .At(FileNameOf(path));
  std::string text;
  text.reserve(static_cast<std::size_t>(st.st_size));
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw fail(errno);
    }
    if (n == 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  return text;
}

void WriteFilesAtomically(std::span<const FileToWrite> files) {
  std::vector<std::string> temps;
  try {
    for (const FileToWrite& file : files) temps.push_back(WriteTemporary(file.path, file.text));
  } catch (...) {
    for (const std::string& temp : temps) ::unlink(temp.c_str());
    throw;
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (::rename(temps[i].c_str(), files[i].path.c_str()) != 0) {
      const int e = errno;
      for (std::size_t j = i; j < temps.size(); ++j) ::unlink(temps[j].c_str());
      ThrowWrite(files[i].path, e);
    }
  }
}

}  // namespace mervane
