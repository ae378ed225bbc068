#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/failure.h"

namespace mervane {

// Hands out the lines of a text, which end at CR LF, CR or LF. A last line
// without a line end is a line; nothing after the last line end is not.
// The text is viewed, not copied: it must outlive the reader.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }
  // The next line; at the end of the text, error 62 naming what was expected.
  std::string_view Next(std::string_view what);
  // The next line, or false at the end.
  bool TryNext(std::string_view& line);
  // The next line read as a count (rounded into 16 bits, else error 6).
  std::int16_t NextCount(std::string_view what);
  // Number of the line last handed out, counting from 1.
  long line_number() const { return line_; }
  // Bytes of the text handed out so far, line ends included.
  std::size_t offset() const { return pos_; }
  // A failure at the line last handed out.
  Failure Fail(int number, std::string what) const {
    return std::move(Failure::Error(number, std::move(what)).AtLine(line_));
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  long line_ = 0;
};

}  // namespace mervane
