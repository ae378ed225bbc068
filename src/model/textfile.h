#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

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

// Hands out the lines of a text, which end at CR LF, CR or LF. A last line
// without a line end is a line; nothing after the last line end is not.
class LineReader {
 public:
  LineReader(std::string path, std::string text);

  bool AtEnd() const { return pos_ >= text_.size(); }
  // The next line; at the end of the text, error 62 naming what was expected.
  std::string_view Next(std::string_view what);
  // The next line, or false at the end.
  bool TryNext(std::string_view& line);
  // The next line read as a count (rounded into 16 bits, else error 6).
  std::int16_t NextCount(std::string_view what);
  // Number of the line last handed out, counting from 1.
  long line_number() const { return line_; }
  const std::string& path() const { return path_; }
  // "body.skn line 12", the place of the line last handed out.
  std::string Place() const;
  // A failure at the line last handed out.
  Failure Fail(int number, std::string_view what) const;

 private:
  std::string path_;
  std::string text_;
  static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
  std::size_t pos_ = 0;
  std::size_t next_cr_ = kUnknown, next_lf_ = kUnknown;
  long line_ = 0;
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
inline void WriteFileAtomically(const std::string& path, std::string_view text) {
  const FileToWrite file{path, text};
  WriteFilesAtomically({&file, 1});
}

// The failure number for an errno met while creating or writing a file.
int WriteErrorNumber(int errno_value);

}  // namespace mervane
