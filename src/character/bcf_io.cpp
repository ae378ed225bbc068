// The .bcf binary reader and writer: the grammar over little-endian fields.
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "character/character.h"
#include "character/grammar.h"
#include "model/failure.h"

namespace mervane {
namespace {

using grammar::Element;

// The fewest bytes each element takes, to check a count against the bytes
// left before allocating for it.
std::uint64_t MinBytes(Element element) {
  switch (element) {
    case Element::Skeleton: return 1 + 4;
    case Element::Bone: return 1 + 1 + 4 + 12 + 16 + 12 + 8;
    case Element::Suit: return 1 + 4 + 4 + 4;
    case Element::Skin: return 1 + 1 + 4 + 4;
    case Element::Skill: return 1 + 1 + 4 * 6;
    case Element::Motion: return 1 + 4 * 9;
    case Element::PropertyList: return 4;
    case Element::Property: return 2;
    case Element::TimeList: return 4;
    case Element::TimeProperty: return 8;
  }
  return 1;
}

constexpr unsigned kLongString = 255;

class BcfIn {
 public:
  explicit BcfIn(std::string_view bytes) : bytes_(bytes) {}

  std::size_t Mark() const { return pos_; }
  void Place(Failure& failure, std::size_t at) const { failure.AtOffset(at); }

  std::string Text(const char* what) {
    const std::size_t at = pos_;
    Need(1, what);
    std::size_t length = static_cast<unsigned char>(bytes_[pos_++]);
    if (length == kLongString) {
      const std::int32_t long_length = static_cast<std::int32_t>(Word(what));
      // A shorter string would have taken the short form: refusing it keeps
      // every file read the bytes it is written as.
      if (long_length < static_cast<std::int32_t>(kLongString))
        throw Fail(at, err::kInvalidArgument, std::string(what) + " has the long form's length " +
                                                  std::to_string(long_length) + ", below 255");
      length = static_cast<std::size_t>(long_length);
    }
    if (bytes_.size() - pos_ < length)
      throw Fail(at, err::kPastEndOfFile, std::string("the file ends inside ") + what);
    std::string text(bytes_.substr(pos_, length));
    pos_ += length;
    return text;
  }
  std::uint32_t U32(const char* what) { return Word(what); }
  std::int32_t I32(const char* what) { return static_cast<std::int32_t>(Word(what)); }
  float F32(const char* what) {
    const std::size_t at = pos_;
    const float value = std::bit_cast<float>(Word(what));
    if (!std::isfinite(value)) throw Fail(at, err::kOverflow, std::string(what) + " is not a finite float32");
    return value;
  }
  void Floats(float* out, int n, const char* what) {
    for (int k = 0; k < n; ++k) out[k] = F32(what);
  }
  std::uint32_t Count(const char* what, Element element) {
    const std::size_t at = pos_;
    const std::uint32_t count = Word(what);
    if (count > (bytes_.size() - pos_) / MinBytes(element))
      throw Fail(at, err::kPastEndOfFile, std::string(what) + " " + std::to_string(count) +
                                              " is more than the bytes left can hold");
    return count;
  }
  void End() const {
    if (pos_ != bytes_.size())
      throw Fail(pos_, err::kInvalidArgument,
                 std::to_string(bytes_.size() - pos_) + " bytes follow the skills");
  }

 private:
  static Failure Fail(std::size_t at, int number, std::string what) {
    Failure failure = Failure::Error(number, std::move(what));
    failure.AtOffset(at);
    return failure;
  }
  void Need(std::size_t n, const char* what) const {
    if (bytes_.size() - pos_ < n)
      throw Fail(pos_, err::kPastEndOfFile, std::string("the file ends where ") + what + " was expected");
  }
  std::uint32_t Word(const char* what) {
    Need(4, what);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + pos_);
    pos_ += 4;
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
  }

  std::string_view bytes_;
  std::size_t pos_ = 0;
};

class BcfOut {
 public:
  void Text(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
      throw Failure::Error(err::kOverflow, "a name is longer than a .bcf can hold");
    if (text.size() < kLongString) {
      out_.push_back(static_cast<char>(text.size()));
    } else {
      out_.push_back(static_cast<char>(kLongString));
      U32(static_cast<std::uint32_t>(text.size()));
    }
    out_.append(text);
  }
  void U32(std::uint32_t value) {
    char p[4];
    for (int k = 0; k < 4; ++k) p[k] = static_cast<char>(value >> (8 * k));
    out_.append(p, 4);
  }
  void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
  void Count(std::size_t count) {
    if (count > std::numeric_limits<std::uint32_t>::max())
      throw Failure::Error(err::kOverflow, "a count is beyond 32 bits");
    U32(static_cast<std::uint32_t>(count));
  }
  void F32(float value) {
    if (!std::isfinite(value)) throw Failure::Error(err::kOverflow, "a value is not a finite number");
    U32(std::bit_cast<std::uint32_t>(value));
  }
  void Floats(const float* values, int n) {
    for (int k = 0; k < n; ++k) F32(values[k]);
  }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace

CharacterFile ParseBcf(std::string_view bytes, std::string_view name) {
  return NamingFile(name, [&] {
    BcfIn in(bytes);
    CharacterFile file = grammar::ReadCharacter(in);
    in.End();
    return file;
  });
}

std::string BcfBytes(const CharacterFile& file) {
  BcfOut out;
  grammar::WriteCharacter(out, file);
  return out.Take();
}

}  // namespace mervane
