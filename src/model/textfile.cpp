#include "model/textfile.h"

#include <algorithm>
#include <cstring>

#include "model/failure.h"
#include "model/numbers.h"

// The file system calls behind the declarations in textfile.h live in
// file_io_posix.cpp and file_io_windows.cpp, one of which is built.

namespace mervane {

LineReader::LineReader(std::string path, std::string text)
    : path_(std::move(path)), text_(std::move(text)) {}

bool LineReader::TryNext(std::string_view& line) {
  if (AtEnd()) return false;
  const std::size_t start = pos_;
  // The next CR and LF are looked for only once each has been passed, so a
  // file with only one kind of line end is still read in linear time.
  auto next = [&](std::size_t& cached, char c) {
    if (cached < start || cached == kUnknown) {
      const void* hit = std::memchr(text_.data() + start, c, text_.size() - start);
      cached = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) : text_.size();
    }
    return cached;
  };
  const std::size_t end = std::min(next(next_cr_, '\r'), next(next_lf_, '\n'));
  if (end == text_.size()) {
    pos_ = text_.size();
    line = std::string_view(text_).substr(start);
  } else {
    line = std::string_view(text_).substr(start, end - start);
    pos_ = end + 1;
    if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
  }
  ++line_;
  return true;
}

std::string_view LineReader::Next(std::string_view what) {
  std::string_view line;
  if (!TryNext(line))
    throw Failure::Error(err::kPastEndOfFile,
                         "the file ends where " + std::string(what) + " was expected")
        .At(Where(path_, line_ + 1));
  return line;
}

std::int16_t LineReader::NextCount(std::string_view what) {
  const std::string_view line = Next(what);
  try {
    return ReadCount(line);
  } catch (const Failure& failure) {
    throw failure.At(Place());
  }
}

std::string LineReader::Place() const { return Where(path_, line_); }

Failure LineReader::Fail(int number, std::string_view what) const {
  return Failure::Error(number, std::string(what)).At(Place());
}

}  // namespace mervane
