// The .cmx text writer and the number layout the game's files use.
#include <charconv>
#include <cmath>
#include <cstring>

#include "character/character.h"
#include "character/grammar.h"
#include "model/failure.h"
#include "model/text_sink.h"

namespace mervane {
namespace {

constexpr std::size_t kFloatMax = 24;  // "-1.17549435e-038" and room to spare

// Writes value in %g's layout with a three-digit exponent, using the fewest
// significant digits from six up that read back to the same float.
char* WriteCmxFloat(char* out, float value) {
  char buf[kFloatMax];
  char* end = buf;
  for (int precision = 6; precision <= 9; ++precision) {
    end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, precision).ptr;
    float back = 0;
    std::from_chars(buf, end, back);
    if (back == value) break;
  }
  // The game's C library writes at least three exponent digits.
  const char* e = static_cast<const char*>(std::memchr(buf, 'e', static_cast<std::size_t>(end - buf)));
  if (!e) {
    std::memcpy(out, buf, static_cast<std::size_t>(end - buf));
    return out + (end - buf);
  }
  const std::size_t head = static_cast<std::size_t>(e - buf) + 2;  // through the exponent's sign
  std::memcpy(out, buf, head);
  out += head;
  const std::size_t digits = static_cast<std::size_t>(end - (buf + head));
  for (std::size_t k = digits; k < 3; ++k) *out++ = '0';
  std::memcpy(out, buf + head, digits);
  return out + digits;
}

class CmxOut {
 public:
  explicit CmxOut(TextSink& sink) : sink_(sink) {}

  void Text(std::string_view text) {
    if (text.find_first_of("\r\n") != std::string_view::npos)
      throw std::move(Failure::Error(err::kInvalidArgument, "a name holds a line break, which a .cmx cannot keep")
                          .About("the name \"" + std::string(text) + "\""));
    sink_.Line(text);
  }
  void U32(std::uint32_t value) { Whole(value); }
  void I32(std::int32_t value) { Whole(value); }
  void Count(std::size_t count) { Whole(count); }
  void F32(float value) {
    char buf[kFloatMax];
    sink_.Line({buf, static_cast<std::size_t>(WriteCmxFloat(buf, Finite(value)) - buf)});
  }
  void Floats(const float* values, int n) {
    char buf[4 + 4 * (kFloatMax + 1)];
    char* at = buf;
    *at++ = '|';
    for (int k = 0; k < n; ++k) {
      *at++ = ' ';
      at = WriteCmxFloat(at, Finite(values[k]));
    }
    *at++ = ' ';
    *at++ = '|';
    sink_.Line({buf, static_cast<std::size_t>(at - buf)});
  }

 private:
  template <typename Int>
  void Whole(Int value) {
    char buf[24];
    sink_.Line({buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, value).ptr - buf)});
  }
  static float Finite(float value) {
    if (!std::isfinite(value)) throw Failure::Error(err::kOverflow, "a value is not a finite number");
    return value;
  }
  TextSink& sink_;
};

}  // namespace

std::string FormatCmxFloat(float value) {
  char buf[kFloatMax];
  return {buf, static_cast<std::size_t>(WriteCmxFloat(buf, value) - buf)};
}

std::string CmxText(const CharacterFile& file, std::string_view comment) {
  TextSink sink(4096);
  sink.Line(comment);
  sink.Line("version 300");
  CmxOut out(sink);
  grammar::WriteCharacter(out, file);
  return sink.Take();
}

}  // namespace mervane
