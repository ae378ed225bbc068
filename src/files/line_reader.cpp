#include "files/line_reader.h"

#include <cstring>

#include "model/numbers.h"

namespace mervane {

bool LineReader::TryNext(std::string_view& line) {
  if (AtEnd()) return false;
  const std::size_t start = pos_;
  const char* p = text_.data() + start;
  const char* const stop = text_.data() + text_.size();
  // Eight bytes at a time while none is CR or LF; lines are short, and
  // this beats a library search for each kind of line end.
  constexpr std::uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
  auto has_zero = [](std::uint64_t v) { return ((v - kOnes) & ~v & kHighs) != 0; };
  for (std::uint64_t word; stop - p >= 8; p += 8) {
    std::memcpy(&word, p, 8);
    if (has_zero(word ^ (kOnes * '\r')) || has_zero(word ^ (kOnes * '\n'))) break;
  }
  while (p != stop && *p != '\r' && *p != '\n') ++p;
  const auto end = static_cast<std::size_t>(p - text_.data());
  line = text_.substr(start, end - start);
  pos_ = end;
  if (p != stop) {
    ++pos_;
    if (*p == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
  }
  ++line_;
  return true;
}

std::string_view LineReader::Next(std::string_view what) {
  std::string_view line;
  if (!TryNext(line)) {
    Failure failure = Failure::Error(err::kPastEndOfFile,
                                     "the file ends where " + std::string(what) + " was expected");
    throw std::move(failure.AtLine(line_ + 1));
  }
  return line;
}

std::int16_t LineReader::NextCount(std::string_view what) {
  const std::string_view line = Next(what);
  try {
    return ReadCount(line);
  } catch (Failure& failure) {
    failure.AtLine(line_);
    throw;
  }
}

}  // namespace mervane
