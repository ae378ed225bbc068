// The .cmx text reader: the grammar over lines, one value a line.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "character/character.h"
#include "character/grammar.h"
#include "files/line_reader.h"
#include "model/numbers.h"

namespace mervane {
namespace {

using grammar::Element;

// The fewest lines each element takes, to check a count against the text
// left: every line takes a byte at least.
std::uint64_t MinLines(Element element) {
  switch (element) {
    case Element::Skeleton: return 2;
    case Element::Bone: return 10;
    case Element::Suit: return 4;
    case Element::Skin: return 4;
    case Element::Skill: return 8;
    case Element::Motion: return 9;
    case Element::PropertyList: return 1;
    case Element::Property: return 2;
    case Element::TimeList: return 1;
    case Element::TimeProperty: return 2;
  }
  return 1;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

class CmxIn {
 public:
  CmxIn(std::string_view text) : text_(text), lines_(text) {}

  long Mark() const { return lines_.line_number() + 1; }
  void Place(Failure& failure, long line) const { failure.AtLine(line); }

  std::string Text(const char* what) { return std::string(lines_.Next(what)); }

  std::uint32_t U32(const char* what) {
    const std::string_view line = Trimmed(lines_.Next(what));
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (ec == std::errc::result_out_of_range) throw Fail(err::kOverflow, what, "is beyond 32 bits", line);
    if (ec != std::errc() || end != line.data() + line.size() || line.empty())
      throw Fail(err::kInvalidArgument, what, "is not a whole number", line);
    return value;
  }

  std::int32_t I32(const char* what) {
    const std::string_view line = Trimmed(lines_.Next(what));
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (ec == std::errc::result_out_of_range) throw Fail(err::kOverflow, what, "is beyond 32 bits", line);
    if (ec != std::errc() || end != line.data() + line.size() || line.empty())
      throw Fail(err::kInvalidArgument, what, "is not a whole number", line);
    return value;
  }

  float F32(const char* what) {
    const std::string_view line = Trimmed(lines_.Next(what));
    float value = 0;
    if (ReadFloat(line, value) != line.size() || line.empty())
      throw Fail(err::kInvalidArgument, what, "is not a number", line);
    Check(value, what, line);
    return value;
  }

  // "| a b c |": bars around n numbers, blanks between.
  void Floats(float* out, int n, const char* what) {
    const std::string_view line = lines_.Next(what);
    std::string_view rest = Trimmed(line);
    auto bad = [&] {
      return Fail(err::kInvalidArgument, what, "is not " + std::to_string(n) + " numbers between bars", line);
    };
    if (rest.size() < 2 || rest.front() != '|' || rest.back() != '|') throw bad();
    rest = rest.substr(1, rest.size() - 2);
    for (int k = 0; k < n; ++k) {
      rest = Trimmed(rest);
      if (rest.empty()) throw bad();
      const std::size_t length = ReadFloat(rest, out[k]);
      if (length == 0 || (length < rest.size() && !IsBlank(rest[length]))) throw bad();
      Check(out[k], what, line);
      rest.remove_prefix(length);
    }
    if (!Trimmed(rest).empty()) throw bad();
  }

  std::uint32_t Count(const char* what, Element element) {
    const std::uint32_t count = U32(what);
    const std::uint64_t left = text_.size() - std::min<std::size_t>(text_.size(), Consumed());
    if (count > left / MinLines(element))
      throw Fail(err::kPastEndOfFile, what, "is more than the lines left can hold",
                 std::to_string(count));
    return count;
  }

  void Header() {
    lines_.Next("the comment line");
    const std::string_view line = Trimmed(lines_.Next("the version line"));
    std::array<std::string_view, 3> f;
    if (SplitFields(line, f) != 2 || f[0] != "version" || f[1] != "300")
      throw Fail(err::kInvalidArgument, "the version line", "is not \"version 300\"", line);
  }

  void End() {
    std::string_view line;
    while (lines_.TryNext(line))
      if (!Trimmed(line).empty()) throw Fail(err::kInvalidArgument, "the text after the skills", "is not empty", line);
  }

 private:
  // The length of the float at the start of text, 0 if none. from_chars
  // takes no "+", which the files never write.
  static std::size_t ReadFloat(std::string_view text, float& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) {
      value = std::numeric_limits<float>::infinity();
      return static_cast<std::size_t>(end - text.data());
    }
    return ec == std::errc() ? static_cast<std::size_t>(end - text.data()) : 0;
  }
  void Check(float value, const char* what, std::string_view line) const {
    if (!std::isfinite(value)) throw Fail(err::kOverflow, what, "is not a finite float32", line);
  }
  // How far the lines handed out reach, to bound counts by what is left.
  std::size_t Consumed() const { return lines_.offset(); }

  Failure Fail(int number, const char* what, const std::string& why, std::string_view line) const {
    Failure failure = lines_.Fail(number, std::string(what) + " \"" + std::string(line) + "\" " + why);
    return failure;
  }

  std::string_view text_;
  LineReader lines_;
};

}  // namespace

CharacterFile ParseCmx(std::string_view text, std::string_view name) {
  return NamingFile(name, [&] {
    CmxIn in(text);
    in.Header();
    CharacterFile file = grammar::ReadCharacter(in);
    in.End();
    return file;
  });
}

}  // namespace mervane
