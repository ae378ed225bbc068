#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "archive/far.h"
#include "bmf/bmf.h"
#include "files/textfile.h"
#include "model/guard.h"
#include "model/numbers.h"
#include "model/skeleton.h"

namespace mervane {
namespace {

// Reads the fields of a .bmf in order; every failure names its byte offset.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

  std::size_t offset() const { return pos_; }

  Failure Fail(int number, std::string what) const { return FailAt(pos_, number, std::move(what)); }
  static Failure FailAt(std::size_t at, int number, std::string what) {
    Failure failure = Failure::Error(number, std::move(what));
    failure.AtOffset(at);
    return failure;
  }
  static Failure FailAt(std::size_t at, FailureKind kind, std::string what) {
    Failure failure(kind, 0, std::move(what));
    failure.AtOffset(at);
    return failure;
  }

  // Fails unless n records of size bytes each are left, before anything
  // is allocated for them.
  void Need(std::uint64_t n, std::uint64_t size, const std::string& what) const {
    if (n > (bytes_.size() - pos_) / size)
      throw Fail(err::kPastEndOfFile, "the file ends where " + what + " were expected");
  }

  std::string String(const char* what) {
    Need(1, 1, std::string(what) + "'s length");
    const std::size_t length = static_cast<unsigned char>(bytes_[pos_]);
    if (bytes_.size() - pos_ - 1 < length)
      throw Fail(err::kPastEndOfFile, std::string("the file ends inside ") + what);
    std::string text(bytes_.substr(pos_ + 1, length));
    pos_ += 1 + length;
    return text;
  }

  std::uint32_t U32(const char* what) {
    if (bytes_.size() - pos_ < 4)
      throw Fail(err::kPastEndOfFile, std::string("the file ends where ") + what + " was expected");
    return U32Unchecked();
  }
  // Callers have checked the bytes with Need.
  std::uint32_t U32Unchecked() {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + pos_);
    pos_ += 4;
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
  }
  std::int32_t I32Unchecked() { return static_cast<std::int32_t>(U32Unchecked()); }
  double FloatUnchecked() {
    const std::size_t at = pos_;
    const float f = std::bit_cast<float>(U32Unchecked());
    if (!std::isfinite(f)) throw FailAt(at, err::kOverflow, "a coordinate is not a finite number");
    return f;
  }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

// A count whose entries go into a table of the given capacity (error 9).
std::uint32_t TableCount(ByteReader& in, const char* what, std::uint32_t capacity) {
  const std::size_t at = in.offset();
  const std::uint32_t count = in.U32(what);
  if (count > capacity)
    throw ByteReader::FailAt(at, err::kIndexOutOfRange,
                             std::string(what) + " " + std::to_string(count) +
                                 " is more than the " + std::to_string(capacity) + " that fit");
  return count;
}

// Integers as a table line: decimal, single spaces.
class Decimal {
 public:
  Decimal(std::initializer_list<std::int64_t> values) {
    for (const std::int64_t v : values) {
      if (end_ != buf_) *end_++ = ' ';
      end_ = std::to_chars(end_, buf_ + sizeof buf_, v).ptr;
    }
  }
  operator std::string_view() const { return {buf_, static_cast<std::size_t>(end_ - buf_)}; }

 private:
  char buf_[5 * 21];
  char* end_ = buf_;
};

void ReadBody(SkinModel& model, ByteReader& in) {
  model.MeshName = in.String("the mesh name");
  model.TextureName = in.String("the texture name");

  const std::uint32_t bones = TableCount(in, "the bone count", kBoneSlots);
  model.BoneCount = static_cast<std::int16_t>(bones);
  for (std::uint32_t i = 0; i < bones; ++i)
    model.BoneNames.set(static_cast<int>(i), in.String("a bone name"));
  BuildSkeleton(model);

  const std::uint32_t faces = TableCount(in, "the face count", kLineSlots);
  in.Need(faces, 12, "the faces");
  model.FaceCount = static_cast<std::int16_t>(faces);
  for (std::uint32_t i = 0; i < faces; ++i) {
    const std::uint32_t a = in.U32Unchecked(), b = in.U32Unchecked(), c = in.U32Unchecked();
    model.FaceLines.set(static_cast<int>(i), Decimal({a, b, c}));
  }

  const std::size_t binding_at = in.offset();
  const std::uint32_t bindings = in.U32("the binding count");
  if (bindings != bones)
    throw ByteReader::FailAt(binding_at, FailureKind::CorruptBindings,
                             "the binding count " + std::to_string(bindings) +
                                 " differs from the " + std::to_string(bones) + " bones");
  in.Need(bones, 20, "the bindings");
  for (std::uint32_t i = 0; i < bones; ++i) {
    std::int32_t f[5];
    for (std::int32_t& v : f) v = in.I32Unchecked();
    model.BindingLines.set(static_cast<int>(i), Decimal({f[0], f[1], f[2], f[3], f[4]}));
  }

  const std::size_t tex_at = in.offset();
  const std::uint32_t tex = in.U32("the texture-vertex count");
  if (tex > static_cast<std::uint32_t>(kCountLimit))
    throw ByteReader::FailAt(tex_at, FailureKind::TexVertexLimit,
                             std::to_string(tex) + " texture vertices");
  in.Need(tex, 8, "the texture vertices");
  model.TexVertexCount = static_cast<std::int16_t>(tex);
  for (std::uint32_t i = 0; i < tex; ++i) {
    const double u = in.FloatUnchecked(), v = in.FloatUnchecked();
    model.TexVertexLines.set(static_cast<int>(i), CoordText(u, v).view());
  }

  const std::uint32_t blends = TableCount(in, "the blend count", kLineSlots);
  in.Need(blends, 8, "the blend entries");
  model.BlendCount = static_cast<std::int16_t>(blends);
  for (std::uint32_t i = 0; i < blends; ++i) {
    const std::uint32_t weight = in.U32Unchecked(), vertex = in.U32Unchecked();
    model.BlendLines.set(static_cast<int>(i), Decimal({vertex, weight}));
  }

  const std::size_t vertex_at = in.offset();
  const std::uint32_t vertices = in.U32("the vertex count");
  if (vertices > static_cast<std::uint32_t>(kCountLimit))
    throw ByteReader::FailAt(vertex_at, FailureKind::VertexLimit,
                             std::to_string(vertices) + " vertices");
  if (vertices != tex + blends)
    throw ByteReader::FailAt(vertex_at, err::kInvalidArgument,
                             "the vertex count " + std::to_string(vertices) +
                                 " is not the texture vertices and blend entries together (" +
                                 std::to_string(tex) + " + " + std::to_string(blends) + ")");
  in.Need(vertices, 24, "the vertices");
  model.VertexCount = model.NormalCount = static_cast<std::int16_t>(vertices);
  for (std::uint32_t i = 0; i < vertices; ++i) {
    double v[6];
    for (double& x : v) x = in.FloatUnchecked();
    model.VertexLines.set(static_cast<int>(i), CoordText(v[0], v[1], v[2]).view());
    model.NormalLines.set(static_cast<int>(i), CoordText(v[3], v[4], v[5]).view());
  }
}

}  // namespace

SkinModel ParseBmf(std::string_view bytes, std::string_view name) {
  return NamingFile(name, [&] {
    SkinModel model;
    ByteReader in(bytes);
    ReadBody(model, in);
    model.SaveAsProjectFirst = true;
    return model;
  });
}

Outcome LoadBmf(SkinModel& model, Prompts& prompts, const std::string& path) {
  return LoadReported(model, prompts, path, [&] { return ParseBmf(ReadWholeFile(path), path); });
}

}  // namespace mervane
