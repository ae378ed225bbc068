#include "model/numbers.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "model/failure.h"

namespace mervane {
namespace {

bool IsIgnored(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct Parsed {
  double value;
  std::size_t stop;  // where the number ended
};

// Digits of the radix from s[start]; the value must stay exact in a double.
Parsed ReadRadix(std::string_view s, std::size_t start, int radix) {
  std::uint64_t value = 0;
  std::size_t i = start;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int d = -1;
    if (IsDigit(c)) d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0 || d >= radix) break;
    value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(d);
    if (value > (std::uint64_t{1} << 53)) throw Failure::Error(err::kOverflow, "a number is too large");
  }
  return {static_cast<double>(value), i};
}

constexpr double kPowersOf10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The longest leading number of s, read as if s held no ignored characters.
Parsed ReadLeading(std::string_view s) {
  if (s.size() >= 2 && s[0] == '&') {
    int radix = 0;
    if (s[1] == 'H' || s[1] == 'h') radix = 16;
    if (s[1] == 'O' || s[1] == 'o') radix = 8;
    if (radix == 0) return {0.0, 1};
    return ReadRadix(s, 2, radix);
  }
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const std::size_t start = i;
  while (i < s.size() && IsDigit(s[i])) ++i;
  const std::size_t int_end = i;
  std::size_t frac_begin = i;
  if (i < s.size() && s[i] == '.') {
    frac_begin = ++i;
    while (i < s.size() && IsDigit(s[i])) ++i;
  }
  const std::size_t int_digits = int_end - start, frac_digits = i - frac_begin;
  if (int_digits + frac_digits == 0) return {0.0, i};
  std::size_t end = i;
  bool negative_exponent = false;
  long exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) negative_exponent = s[j++] == '-';
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) {
        if (exponent < 100000) exponent = exponent * 10 + (s[j] - '0');
        ++j;
      }
      end = j;
    }
  }
  // Up to 18 digits fit a 64-bit integer exactly.
  std::uint64_t mantissa = 0;
  const bool gathered = int_digits + frac_digits <= 18;
  if (gathered) {
    for (std::size_t k = start; k < int_end; ++k) mantissa = mantissa * 10 + static_cast<unsigned>(s[k] - '0');
    for (std::size_t k = frac_begin; k < frac_begin + frac_digits; ++k)
      mantissa = mantissa * 10 + static_cast<unsigned>(s[k] - '0');
  }
  const long exponent10 = -static_cast<long>(frac_digits);
  const long total = exponent10 + (negative_exponent ? -exponent : exponent);
  double value = 0.0;
  if (gathered && mantissa <= (std::uint64_t{1} << 53) && total >= -22 && total <= 22) {
    // Exact mantissa and power of ten: one correctly rounded operation.
    const double m = static_cast<double>(mantissa);
    value = total < 0 ? m / kPowersOf10[-total] : m * kPowersOf10[total];
  } else {
    const auto [ptr, ec] = std::from_chars(s.data() + start, s.data() + end, value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
      if (!negative_exponent) throw Failure::Error(err::kOverflow, "a number is too large");
      value = 0.0;
    }
  }
  return {negative ? -value : value, end};
}

// Plain decimal integers (indices and counts), up to 15 digits so that they
// stay exact.
bool ReadWholeNumber(std::string_view s, double& value) {
  std::size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
  if (s.size() <= i || s.size() - i > 15) return false;
  std::uint64_t n = 0;
  for (; i < s.size(); ++i) {
    const unsigned d = static_cast<unsigned char>(s[i]) - '0';
    if (d > 9) return false;
    n = n * 10 + d;
  }
  value = s[0] == '-' ? -static_cast<double>(n) : static_cast<double>(n);
  return true;
}

}  // namespace

std::size_t ReadCanonicalCoord(std::string_view s, double& value) {
  const char* p = s.data();
  const char* const end = p + s.size();
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  const char* const int_start = p;
  std::uint64_t units = 0;
  for (unsigned d; p != end && (d = static_cast<unsigned>(*p - '0')) <= 9; ++p) units = units * 10 + d;
  const auto int_digits = p - int_start;
  // No leading zeros; at most nine digits, so that reading stays exact.
  if (int_digits == 0 || int_digits > 9 || (int_digits > 1 && *int_start == '0')) return 0;
  if (end - p < 7 || *p != '.') return 0;
  std::uint32_t decimals = 0;
  if (std::endian::native == std::endian::little && end - p >= 9) {
    // The six decimals at once, behind two zero digits: eight digit bytes,
    // checked and added up with a few multiplications.
    std::uint64_t chunk;
    std::memcpy(&chunk, p + 1, 8);
    chunk = (chunk << 16) | 0x3030u;
    const std::uint64_t high = 0xF0F0F0F0F0F0F0F0u;
    if (((chunk & high) | (((chunk + 0x0606060606060606u) & high) >> 4)) != 0x3333333333333333u) return 0;
    chunk -= 0x3030303030303030u;
    chunk = chunk * 10 + (chunk >> 8);
    chunk = (((chunk & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
             (((chunk >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >> 32;
    decimals = static_cast<std::uint32_t>(chunk);
  } else {
    for (int k = 1; k <= 6; ++k) {
      const auto d = static_cast<unsigned>(p[k] - '0');
      if (d > 9) return 0;
      decimals = decimals * 10 + d;
    }
  }
  units = units * 1000000u + decimals;
  p += 7;
  if (p != end && static_cast<unsigned>(*p - '0') <= 9) return 0;
  // FormatCoord writes no minus sign on a zero.
  if (negative && units == 0) return 0;
  // One correctly rounded division, as the general reading would round.
  value = static_cast<double>(units) / 1e6;
  if (negative) value = -value;
  return static_cast<std::size_t>(p - s.data());
}

std::size_t CanonicalCoordLength(std::string_view s) {
  double value;
  return ReadCanonicalCoord(s, value);
}

bool ReadCanonicalCoords(std::string_view text, std::span<double> out) {
  std::size_t at = 0;
  for (std::size_t k = 0; k < out.size(); ++k) {
    if (k > 0) {
      if (at >= text.size() || text[at] != ' ') return false;
      ++at;
    }
    const std::size_t length = ReadCanonicalCoord(text.substr(at), out[k]);
    if (length == 0) return false;
    at += length;
  }
  return at == text.size();
}

bool ReadPlainWholes(std::string_view text, std::span<std::uint32_t> out) {
  const char* p = text.data();
  const char* const end = p + text.size();
  for (std::size_t k = 0; k < out.size(); ++k) {
    if (k > 0 && (p == end || *p++ != ' ')) return false;
    const char* const start = p;
    std::uint32_t n = 0;
    for (unsigned d; p != end && (d = static_cast<unsigned>(*p - '0')) <= 9; ++p) {
      if (p - start == 9) return false;
      n = n * 10 + d;
    }
    if (p == start) return false;
    out[k] = n;
  }
  return p == end;
}

double ReadNumber(std::string_view text) {
  double fast;
  // Most numbers in files are six-decimal coordinates or plain integers.
  if ((!text.empty() && ReadCanonicalCoord(text, fast) == text.size()) || ReadWholeNumber(text, fast))
    return fast;
  return detail::ReadNumberGenerally(text);
}

double detail::ReadNumberGenerally(std::string_view text) {
  // Fields split at blanks hold none, so the text is read where it stands;
  // otherwise blanks are dropped first, as the rule ignores them anywhere.
  if (!text.empty() && !IsIgnored(text[0])) {
    const Parsed parsed = ReadLeading(text);
    if (text.find_first_of(" \t\n", parsed.stop) == std::string_view::npos) return parsed.value;
  }
  std::string squeezed;
  squeezed.reserve(text.size());
  for (char c : text)
    if (!IsIgnored(c)) squeezed.push_back(c);
  return ReadLeading(squeezed).value;
}

std::int16_t RoundCount(double value) {
  const double rounded = std::nearbyint(value);  // default mode: halves to even
  if (!(rounded >= -32768.0 && rounded <= 32767.0))
    throw Failure::Error(err::kOverflow, "a count lies outside -32768 to 32767");
  return static_cast<std::int16_t>(rounded);
}

std::int16_t ReadCount(std::string_view text) { return RoundCount(ReadNumber(text)); }

namespace {

// Six decimals, rounded exactly (an exact half goes to the even neighbour,
// as the library's formatting does), without the library's general-purpose
// cost: |value| is m / 2^shift exactly, so value * 10^6 is integer work.
// Two decimal digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* WriteUnits(char* out, bool negative, std::uint64_t units) {
  if (units != 0 && negative) *out++ = '-';
  // Coordinates are mostly below 100.
  const std::uint64_t whole = units / 1000000u;
  if (whole < 10) {
    *out++ = static_cast<char>('0' + whole);
  } else if (whole < 100) {
    std::memcpy(out, kDigitPairs + 2 * whole, 2);
    out += 2;
  } else {
    out = std::to_chars(out, out + 24, whole).ptr;
  }
  const auto decimals = static_cast<std::uint32_t>(units % 1000000u);
  out[0] = '.';
  // Each pair on its own, so that the three need not wait on one another.
  std::memcpy(out + 1, kDigitPairs + 2 * (decimals / 10000), 2);
  std::memcpy(out + 3, kDigitPairs + 2 * (decimals / 100 % 100), 2);
  std::memcpy(out + 5, kDigitPairs + 2 * (decimals % 100), 2);
  return out + 7;
}

char* WriteFixed6(char* out, double value) {
  const double magnitude = std::fabs(value);
  // Mostly the rounded product decides: when it lies well away from a half,
  // the error of the one multiplication cannot change the rounding.
  if (magnitude < 1e6) {
    const double scaled = magnitude * 1e6;
    // Below 2^52, adding and taking away 2^52 rounds to the nearest whole
    // number, halves to even, as nearbyint does, without its library call.
    constexpr double kTwo52 = 4503599627370496.0;
    const double rounded = (scaled + kTwo52) - kTwo52;
    const double off = std::fabs(scaled - rounded);
    if (off < 0.499) return WriteUnits(out, value < 0, static_cast<std::uint64_t>(rounded));
  }
  if (!(magnitude < 1e12)) {
    const auto [end, ec] = std::to_chars(out, out + kCoordMax, value, std::chars_format::fixed, 6);
    if (ec != std::errc()) throw Failure::Error(err::kOverflow, "a coordinate is too large");
    return end;
  }
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const int biased = static_cast<int>(bits >> 52);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased != 0) mantissa |= std::uint64_t{1} << 52;
  const int shift = 1075 - (biased == 0 ? 1 : biased);
  const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * 1000000u;
  std::uint64_t units = 0;  // round(magnitude * 10^6)
  if (shift <= 0) {
    units = static_cast<std::uint64_t>(scaled << -shift);
  } else if (shift < 100) {
    units = static_cast<std::uint64_t>(scaled >> shift);
    const unsigned __int128 rest = scaled - (static_cast<unsigned __int128>(units) << shift);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    if (rest > half || (rest == half && (units & 1))) ++units;
  }
  return WriteUnits(out, value < 0, units);
}

}  // namespace

char* WriteCoord(char* out, double value) {
  if (!std::isfinite(value)) throw Failure::Error(err::kOverflow, "a coordinate is too large");
  return WriteFixed6(out, value);
}

void AppendCoord(std::string& out, double value) {
  char buf[kCoordMax];
  out.append(buf, static_cast<std::size_t>(WriteCoord(buf, value) - buf));
}

double RoundCoord(double value) {
  char buf[kCoordMax];
  return ReadNumber(std::string_view(buf, static_cast<std::size_t>(WriteCoord(buf, value) - buf)));
}

CoordText::CoordText(double a, double b) {
  char* p = WriteCoord(buf_, a);
  *p++ = ' ';
  size_ = static_cast<std::size_t>(WriteCoord(p, b) - buf_);
}

CoordText::CoordText(double a, double b, double c) {
  char* p = WriteCoord(buf_, a);
  *p++ = ' ';
  p = WriteCoord(p, b);
  *p++ = ' ';
  size_ = static_cast<std::size_t>(WriteCoord(p, c) - buf_);
}

std::string FormatCoord(double a, double b) {
  char buf[2 * kCoordMax];
  char* p = WriteCoord(buf, a);
  *p++ = ' ';
  p = WriteCoord(p, b);
  return std::string(buf, p);
}

std::string FormatCoord(double a, double b, double c) {
  char buf[3 * kCoordMax];
  char* p = WriteCoord(buf, a);
  *p++ = ' ';
  p = WriteCoord(p, b);
  *p++ = ' ';
  p = WriteCoord(p, c);
  return std::string(buf, p);
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
