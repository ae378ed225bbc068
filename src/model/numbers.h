#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace mervane {

// The number-reading rule every file reader shares. Locale-independent:
// blanks anywhere are ignored, the longest leading decimal number is taken
// ("1,5" reads 1, "abc" reads 0), "&H"/"&O" prefixes read hex and octal.
// A value too large for a double is error 6.
double ReadNumber(std::string_view text);

// Counts: the number rounded half to even; outside 16 bits is error 6.
std::int16_t ReadCount(std::string_view text);
std::int16_t RoundCount(double value);

// Coordinates as every file is written: six decimals, "." as separator,
// no minus sign on a value that rounds to zero, single spaces between.
void AppendCoord(std::string& out, double value);
// The longest text of one coordinate (a finite double has at most 309
// integer digits).
inline constexpr std::size_t kCoordMax = 400;
// Writes one coordinate's text at out, which has room for kCoordMax bytes,
// and returns its end. Not finite is error 6.
char* WriteCoord(char* out, double value);
std::string FormatCoord(double a, double b);
std::string FormatCoord(double a, double b, double c);

// The number that FormatCoord's text of value reads back as.
double RoundCoord(double value);

// FormatCoord's text in a buffer of its own, for readers that copy it into
// a table right away and need no string for it.
class CoordText {
 public:
  CoordText(double a, double b);
  CoordText(double a, double b, double c);
  std::string_view view() const { return {buf_, size_}; }

 private:
  char buf_[3 * kCoordMax];
  std::size_t size_;
};

// The length of the number at the start of text when it is exactly what
// FormatCoord writes for the value it reads as (a reader may then keep the
// text instead of writing it anew); 0 when it is not.
std::size_t CanonicalCoordLength(std::string_view text);
// The same, also giving the number's value as ReadNumber reads it.
std::size_t ReadCanonicalCoord(std::string_view text, double& value);

// Reads text as out.size() numbers in FormatCoord's form, one space apart and
// nothing else, as ReadNumber would read them; false when it is not that.
bool ReadCanonicalCoords(std::string_view text, std::span<double> out);

// Reads text as out.size() whole numbers of plain digits (nine at most),
// one space apart and nothing else, as ReadNumber would read them; false
// when it is not that.
bool ReadPlainWholes(std::string_view text, std::span<std::uint32_t> out);

// Splits at runs of spaces or tabs, ignoring leading and trailing blanks.
// Fills at most out.size() fields and returns how many it found, up to that.
std::size_t SplitFields(std::string_view line, std::span<std::string_view> out);

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

namespace detail {
// ReadNumber without its quick paths for six-decimal and whole numbers: the
// rule those paths must agree with, for tests that hold them to it.
double ReadNumberGenerally(std::string_view text);
}  // namespace detail

}  // namespace mervane
