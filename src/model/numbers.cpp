#include "model/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "model/failure.h"

namespace mervane {
namespace {

bool IsIgnored(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

double ReadRadix(std::string_view s, int radix) {
  std::uint64_t value = 0;
  for (char c : s) {
    int d = -1;
    if (IsDigit(c)) d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0 || d >= radix) break;
    value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(d);
    if (value > (std::uint64_t{1} << 53)) throw Failure::Error(err::kOverflow, "a number is too large");
  }
  return static_cast<double>(value);
}

// s holds no ignored characters.
double ReadCompact(std::string_view s) {
  if (s.size() >= 2 && s[0] == '&') {
    if (s[1] == 'H' || s[1] == 'h') return ReadRadix(s.substr(2), 16);
    if (s[1] == 'O' || s[1] == 'o') return ReadRadix(s.substr(2), 8);
    return 0.0;
  }
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const std::size_t start = i;
  std::size_t mantissa_digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++mantissa_digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return 0.0;
  std::size_t end = i;
  bool negative_exponent = false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) negative_exponent = s[j++] == '-';
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) ++j;
      end = j;
    }
  }
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(s.data() + start, s.data() + end, value);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
    if (!negative_exponent) throw Failure::Error(err::kOverflow, "a number is too large");
    value = 0.0;
  }
  return negative ? -value : value;
}

}  // namespace

double ReadNumber(std::string_view text) {
  bool compact = true;
  for (char c : text) {
    if (IsIgnored(c)) {
      compact = false;
      break;
    }
  }
  if (compact) return ReadCompact(text);
  std::string squeezed;
  squeezed.reserve(text.size());
  for (char c : text)
    if (!IsIgnored(c)) squeezed.push_back(c);
  return ReadCompact(squeezed);
}

std::int16_t RoundCount(double value) {
  const double rounded = std::nearbyint(value);  // default mode: halves to even
  if (!(rounded >= -32768.0 && rounded <= 32767.0))
    throw Failure::Error(err::kOverflow, "a count lies outside -32768 to 32767");
  return static_cast<std::int16_t>(rounded);
}

std::int16_t ReadCount(std::string_view text) { return RoundCount(ReadNumber(text)); }

void AppendCoord(std::string& out, double value) {
  if (!std::isfinite(value)) throw Failure::Error(err::kOverflow, "a coordinate is too large");
  char buf[400];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
  if (ec != std::errc()) throw Failure::Error(err::kOverflow, "a coordinate is too large");
  const char* begin = buf;
  if (*begin == '-') {
    bool all_zero = true;
    for (const char* p = begin + 1; p != end; ++p)
      if (*p != '0' && *p != '.') all_zero = false;
    if (all_zero) ++begin;
  }
  out.append(begin, static_cast<std::size_t>(end - begin));
}

std::string FormatCoord(double a, double b) {
  std::string out;
  AppendCoord(out, a);
  out.push_back(' ');
  AppendCoord(out, b);
  return out;
}

std::string FormatCoord(double a, double b, double c) {
  std::string out;
  out.reserve(40);
  AppendCoord(out, a);
  out.push_back(' ');
  AppendCoord(out, b);
  out.push_back(' ');
  AppendCoord(out, c);
  return out;
}

std::size_t SplitFields(std::string_view line, std::span<std::string_view> out) {
  std::size_t n = 0, i = 0;
  while (n < out.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) break;
    const std::size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    out[n++] = line.substr(start, i - start);
  }
  return n;
}

}  // namespace mervane
