#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

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
inline constexpr int kFileExists = 58;
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

// A failure and where it happened. The place is kept as fields, filled by
// whichever layer knows it: the parser knows the line, the loader the file.
// Each field keeps its first value, so the innermost place wins.
class Failure : public std::runtime_error {
 public:
  Failure(FailureKind kind, int number, std::string what);

  static Failure Error(int number, std::string what) {
    return {FailureKind::Error, number, std::move(what)};
  }

  // The file's name (any folder is dropped).
  Failure& InFile(std::string_view path);
  // The line, counting from 1, in a text file.
  Failure& AtLine(long line);
  // The byte offset, counting from 0, in a binary file.
  Failure& AtOffset(std::uint64_t offset);
  // The element concerned, such as "vertex 12 (counted from 0) of bone HEAD".
  Failure& About(std::string item);

  FailureKind kind() const { return kind_; }
  int number() const { return number_; }
  const std::string& file() const { return file_; }
  long line() const { return line_; }
  std::optional<std::uint64_t> offset() const { return offset_; }
  const std::string& item() const { return item_; }
  // What was expected or wrong, without the place.
  const std::string& expected() const { return what_; }

  // "body.skn line 17: a vertex line needs six numbers"; at most 1000 bytes
  // and "...", since a hostile file's line can run to megabytes.
  std::string detail() const;
  // The message box text exactly as users have always seen it.
  std::string message() const;

 private:
  FailureKind kind_;
  int number_;
  std::string what_;
  std::string file_;
  long line_ = 0;
  std::optional<std::uint64_t> offset_;
  std::string item_;
};

// A file that cannot be written, with the system's cause. When the system
// said "not found" (not_found), the folder is named instead, as its words do
// not say which one: missing, or there but taking no new files (/proc).
Failure WriteFailure(int number, const std::string& path, bool not_found, bool folder_exists,
                     const std::string& cause);

// The failure number for an errno met while creating or writing a file.
int WriteErrorNumber(int errno_value);

// "Error 62 has occurred.  It is recommended that you exit the application."
std::string ErrorMessage(int number);
// "Too many vertices!  32000 is the current limit!" and its siblings.
std::string LimitMessage(FailureKind kind);

inline constexpr const char* kCorruptBindingsMessage =
    "File is corrupt!  Discrepency in the number of parts!";

// Runs body and returns what it returns; a failure it throws is named after
// file, unless it names a file already.
template <typename Body>
decltype(auto) NamingFile(std::string_view file, Body&& body) {
  try {
    return body();
  } catch (Failure& failure) {
    failure.InFile(file);
    throw;
  }
}

// How every message names an element of a table: "vertex 169 (counted from 0)".
// Counting from 0 matches the indices in face, binding and blend lines.
std::string Counted(std::string_view what, long index);

}  // namespace mervane
