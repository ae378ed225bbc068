#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <stdexcept>

#include "bmf/bmf.h"
#include "model/guard.h"
#include "model/numbers.h"
#include "files/textfile.h"

namespace mervane {
namespace {

// Writes into a text of a size worked out beforehand: one append per field
// would cost more than the field.
class ByteWriter {
 public:
  explicit ByteWriter(std::size_t size) : out_(size, '\0'), at_(out_.data()) {}

  void U32(std::uint32_t v) {
    char* p = Room(4);
    for (int k = 0; k < 4; ++k) p[k] = static_cast<char>(v >> (8 * k));
  }
  template <typename Item>
  void Float(double v, const Item& item) {
    const float f = static_cast<float>(v);
    if (!std::isfinite(f))
      throw std::move(Failure::Error(err::kOverflow, "a coordinate is beyond the range of float32")
                          .About(item()));
    U32(std::bit_cast<std::uint32_t>(f));
  }
  template <typename Item>
  void String(std::string_view text, const Item& item) {
    if (text.size() > 255)
      throw std::move(Failure::Error(err::kInvalidArgument, "a name is longer than 255 bytes")
                          .About(item()));
    *Room(1) = static_cast<char>(text.size());
    if (!text.empty()) std::memcpy(Room(text.size()), text.data(), text.size());
  }
  std::string Take() {
    if (at_ != out_.data() + out_.size()) throw std::logic_error("a .bmf came out shorter than worked out");
    return std::move(out_);
  }

 private:
  char* Room(std::size_t n) {
    if (static_cast<std::size_t>(out_.data() + out_.size() - at_) < n)
      throw std::logic_error("a .bmf came out longer than worked out");
    char* p = at_;
    at_ += n;
    return p;
  }

  std::string out_;
  char* at_;
};

// The fields of a line as whole numbers within [low, high]: a missing field,
// a fraction or a value below low is error 5, one above high error 6.
// item() names the line in a failure; it is called only then.
template <std::size_t N, typename Item>
std::array<std::int64_t, N> WholeFields(std::string_view line, double low, double high, const Item& item) {
  std::array<std::string_view, N> f;
  auto fail = [&](int number, std::string what) {
    return std::move(Failure::Error(number, std::move(what)).About(item()));
  };
  std::array<std::int64_t, N> values{};
  // Lines as the writers leave them ("12 7 3") read in one pass.
  if (std::array<std::uint32_t, N> plain; low <= 0 && ReadPlainWholes(line, plain)) {
    bool fit = true;
    for (std::size_t i = 0; i < N; ++i) {
      values[i] = plain[i];
      fit = fit && plain[i] <= high;
    }
    if (fit) return values;
  }
  if (SplitFields(line, f) < N)
    throw fail(err::kInvalidArgument, "\"" + std::string(line) + "\" needs " + std::to_string(N) + " numbers");
  for (std::size_t i = 0; i < N; ++i) {
    const double v = ReadNumber(f[i]);
    if (v != std::floor(v)) throw fail(err::kInvalidArgument, "\"" + std::string(f[i]) + "\" is not a whole number");
    if (v < low) throw fail(err::kInvalidArgument, "\"" + std::string(f[i]) + "\" is below " + std::to_string(static_cast<std::int64_t>(low)));
    if (v > high) throw fail(err::kOverflow, "\"" + std::string(f[i]) + "\" does not fit 32 bits");
    values[i] = static_cast<std::int64_t>(v);
  }
  return values;
}

constexpr double kU32Max = std::numeric_limits<std::uint32_t>::max();
constexpr double kI32Min = std::numeric_limits<std::int32_t>::min();
constexpr double kI32Max = std::numeric_limits<std::int32_t>::max();

// A count as a uint32; a count the model's table cannot hold is error 9.
std::uint32_t Count(std::int16_t count, int capacity, const char* what) {
  if (count < 0)
    throw Failure::Error(err::kInvalidArgument, std::string("the ") + what + " count " +
                                                    std::to_string(count) + " is below 0");
  if (count > capacity)
    throw Failure::Error(err::kIndexOutOfRange,
                         std::string("the ") + what + " count " + std::to_string(count) +
                             " is more than the " + std::to_string(capacity) + " lines the model holds");
  return static_cast<std::uint32_t>(count);
}

template <typename Item>
void Coords(ByteWriter& out, std::string_view line, std::size_t n, const Item& item) {
  // Lines as the readers and writers leave them read in one pass.
  std::array<double, 3> v;
  if (!ReadCanonicalCoords(line, std::span(v).first(n))) {
    std::array<std::string_view, 3> f;
    if (SplitFields(line, f) < n)
      throw std::move(Failure::Error(err::kInvalidArgument,
                                     "\"" + std::string(line) + "\" needs " + std::to_string(n) + " numbers")
                          .About(item()));
    for (std::size_t i = 0; i < n; ++i) v[i] = ReadNumber(f[i]);
  }
  for (std::size_t i = 0; i < n; ++i) out.Float(v[i], item);
}

}  // namespace

std::string BmfBytes(const SkinModel& model) {
  const std::uint32_t bones = Count(model.BoneCount, kBoneSlots, "bone");
  const std::uint32_t faces = Count(model.FaceCount, kLineSlots, "face");
  const std::uint32_t tex = Count(model.TexVertexCount, kLineSlots, "texture-vertex");
  const std::uint32_t blends = Count(model.BlendCount, kLineSlots, "blend");
  const std::uint32_t vertices = Count(model.VertexCount, kLineSlots, "vertex");
  if (vertices != tex + blends)
    throw Failure::Error(err::kInvalidArgument,
                         "the vertex count " + std::to_string(vertices) +
                             " is not the texture vertices and blend entries together (" +
                             std::to_string(tex) + " + " + std::to_string(blends) +
                             "), which a .bmf cannot hold");

  std::size_t size = 2 + std::min<std::size_t>(model.MeshName.size(), 256) +
                     std::min<std::size_t>(model.TextureName.size(), 256) + 4 * 6 + 12 * faces + 20 * bones +
                     8 * tex + 8 * blends + 24 * vertices;
  for (std::uint32_t i = 0; i < bones; ++i)
    size += 1 + std::min<std::size_t>(model.BoneNames.at(static_cast<int>(i)).size(), 256);
  ByteWriter out(size);
  // Names for failures, made only when one happens.
  auto named = [](const char* what) { return [what] { return std::string(what); }; };
  auto nth = [](const char* what, std::uint32_t i) { return [what, i] { return Counted(what, i); }; };
  out.String(model.MeshName, named("the mesh name"));
  out.String(model.TextureName, named("the texture name"));
  out.U32(bones);
  for (std::uint32_t i = 0; i < bones; ++i) out.String(model.BoneNames.at(static_cast<int>(i)), nth("bone", i));
  out.U32(faces);
  for (std::uint32_t i = 0; i < faces; ++i)
    for (const std::int64_t v : WholeFields<3>(model.FaceLines.at(static_cast<int>(i)), 0, kU32Max, nth("face", i)))
      out.U32(static_cast<std::uint32_t>(v));
  out.U32(bones);
  for (std::uint32_t i = 0; i < bones; ++i)
    for (const std::int64_t v :
         WholeFields<5>(model.BindingLines.at(static_cast<int>(i)), kI32Min, kI32Max, nth("binding line", i)))
      out.U32(static_cast<std::uint32_t>(static_cast<std::int32_t>(v)));
  out.U32(tex);
  for (std::uint32_t i = 0; i < tex; ++i)
    Coords(out, model.TexVertexLines.at(static_cast<int>(i)), 2, nth("texture vertex", i));
  out.U32(blends);
  for (std::uint32_t i = 0; i < blends; ++i) {
    const auto pair = WholeFields<2>(model.BlendLines.at(static_cast<int>(i)), 0, kU32Max, nth("blend entry", i));
    out.U32(static_cast<std::uint32_t>(pair[1]));  // the weight comes first here
    out.U32(static_cast<std::uint32_t>(pair[0]));
  }
  out.U32(vertices);
  for (std::uint32_t i = 0; i < vertices; ++i) {
    Coords(out, model.VertexLines.at(static_cast<int>(i)), 3, nth("vertex", i));
    Coords(out, model.NormalLines.at(static_cast<int>(i)), 3, [i] { return Counted("vertex", i) + " normal"; });
  }
  return out.Take();
}

Outcome SaveBmf(const SkinModel& model, Prompts& prompts, const std::string& path) {
  return RunReported(prompts, [&] { WriteFileAtomically(path, BmfBytes(model)); });
}

}  // namespace mervane
