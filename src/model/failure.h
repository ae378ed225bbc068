#pragma once

#include <stdexcept>
#include <string>

namespace mervane {

// Run-time failure numbers, kept as the numbers users and old tutorials know.
namespace err {
inline constexpr int kInvalidArgument = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kIndexOutOfRange = 9;
inline constexpr int kBadFileName = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kOtherIo = 57;
inline constexpr int kDiskFull = 61;
inline constexpr int kPastEndOfFile = 62;
inline constexpr int kAccessDenied = 75;
inline constexpr int kPathNotFound = 76;
}  // namespace err

// What the user is told about a failure: the fixed message text plus, where
// it helps, a detail naming file, line and what was wrong.
enum class FailureKind {
  Error,             // "Error N has occurred.  ..."
  TexVertexLimit,    // "Too many texture vertices!  32000 is the current limit!"
  VertexLimit,
  NormalLimit,
  CorruptBindings,   // binding count differs from bone count
  Unanswered,        // a question nobody could answer; the asker already said why
};

class Failure : public std::runtime_error {
 public:
  // A detail longer than 1000 bytes is cut there, with "..." after it.
  Failure(FailureKind kind, int number, std::string detail);

  static Failure Error(int number, std::string detail) {
    return {FailureKind::Error, number, std::move(detail)};
  }

  // The same failure with its place ("body.skn line 12") put in front of
  // the detail; a failure that already names its place is kept as it is.
  Failure At(const std::string& place) const;

  FailureKind kind() const { return kind_; }
  int number() const { return number_; }
  const std::string& detail() const { return detail_; }
  // The message box text exactly as users have always seen it.
  std::string message() const;

 private:
  FailureKind kind_;
  int number_;
  std::string detail_;
  bool placed_ = false;
};

// "Error 62 has occurred.  It is recommended that you exit the application."
std::string ErrorMessage(int number);
// "Too many vertices!  32000 is the current limit!" and its siblings.
std::string LimitMessage(FailureKind kind);

inline constexpr const char* kCorruptBindingsMessage =
    "File is corrupt!  Discrepency in the number of parts!";

// Where a failure happened, for details like "body.skn line 12: ...".
std::string Where(const std::string& path, long line);

}  // namespace mervane
