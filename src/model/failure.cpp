#include "model/failure.h"

#include <cerrno>

#include "model/paths.h"

namespace mervane {

namespace {

constexpr std::size_t kMaxDetail = 1000;

std::string Capped(std::string text) {
  if (text.size() <= kMaxDetail) return text;
  text.resize(kMaxDetail);
  return text + "...";
}

}  // namespace

Failure::Failure(FailureKind kind, int number, std::string what)
    : std::runtime_error(Capped(what)), kind_(kind), number_(number), what_(Capped(std::move(what))) {}

Failure& Failure::InFile(std::string_view path) {
  if (file_.empty()) file_ = FileNameOf(path);
  return *this;
}

Failure& Failure::AtLine(long line) {
  if (line_ == 0 && !offset_) line_ = line;
  return *this;
}

Failure& Failure::AtOffset(std::uint64_t offset) {
  if (line_ == 0 && !offset_) offset_ = offset;
  return *this;
}

Failure& Failure::About(std::string item) {
  if (item_.empty()) item_ = Capped(std::move(item));
  return *this;
}

std::string Failure::detail() const {
  std::string place = file_;
  auto add = [&place](const std::string& part) {
    if (!place.empty()) place += ' ';
    place += part;
  };
  if (line_ > 0) add("line " + std::to_string(line_));
  if (offset_) add("byte " + std::to_string(*offset_));
  std::string out = place;
  for (const std::string* part : {&item_, &what_}) {
    if (part->empty()) continue;
    if (!out.empty()) out += ": ";
    out += *part;
  }
  return Capped(std::move(out));
}

std::string Failure::message() const {
  switch (kind_) {
    case FailureKind::Error:
      return ErrorMessage(number_);
    case FailureKind::CorruptBindings:
      return kCorruptBindingsMessage;
    case FailureKind::Unanswered:
      return {};
    default:
      return LimitMessage(kind_);
  }
}

std::string ErrorMessage(int number) {
  return "Error " + std::to_string(number) +
         " has occurred.  It is recommended that you exit the application.";
}

std::string LimitMessage(FailureKind kind) {
  const char* prefix = "Too many vertices!  ";
  if (kind == FailureKind::TexVertexLimit) prefix = "Too many texture vertices!  ";
  if (kind == FailureKind::NormalLimit) prefix = "Too many normals!  ";
  return std::string(prefix) + "32000 is the current limit!";
}

Failure WriteFailure(int number, const std::string& path, bool not_found, bool folder_exists,
                     const std::string& cause) {
  const std::string folder = FolderOf(path);
  std::string why = cause;
  if (not_found && !folder.empty())
    why = "the folder " + folder + (folder_exists ? " takes no new files" : " does not exist");
  return std::move(Failure::Error(number, "cannot be written (" + why + ")").InFile(path));
}

int WriteErrorNumber(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR:
      return err::kPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
      return err::kAccessDenied;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
      return err::kDiskFull;
    default:
      return err::kOtherIo;
  }
}

std::string Counted(std::string_view what, long index) {
  return std::string(what) + " " + std::to_string(index) + " (counted from 0)";
}

}  // namespace mervane
