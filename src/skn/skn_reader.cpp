#include <array>

#include "archive/far.h"
#include "files/line_reader.h"
#include "files/textfile.h"
#include "model/guard.h"
#include "model/numbers.h"
#include "model/skeleton.h"
#include "skn/skn.h"

namespace mervane {
namespace {

// A count whose lines go into a table of the given capacity.
std::int16_t TableCountLine(LineReader& in, const char* what, int capacity) {
  const std::int16_t count = in.NextCount(what);
  if (count > capacity)
    throw in.Fail(err::kIndexOutOfRange, std::string(what) + " " + std::to_string(count) +
                                             " is more than the " + std::to_string(capacity) +
                                             " that fit");
  return count;
}

void ReadLines(LineReader& in, LineTable& table, int count, const char* what) {
  for (int i = 0; i < count; ++i) table.set(i, in.Next(what));
}

// Where a vertex line written as the writers write it ("x y z nx ny nz",
// six decimals, single spaces) splits between position and normal; 0 for
// any other line.
std::size_t CanonicalVertexSplit(std::string_view line) {
  std::size_t at = 0, split = 0;
  for (int k = 0; k < 6; ++k) {
    const std::size_t length = CanonicalCoordLength(line.substr(at));
    if (length == 0) return 0;
    at += length;
    if (k == 2) split = at;
    if (k < 5) {
      if (at >= line.size() || line[at] != ' ') return 0;
      ++at;
    }
  }
  return at == line.size() ? split : 0;
}

// The same for a line of six plain decimal numbers ("-0.0308233",
// "1.5e-005") one space apart, however many digits they have: the split, or
// 0 for any other line.
std::size_t PlainVertexSplit(std::string_view line) {
  std::size_t at = 0, split = 0;
  auto digits = [&] {
    const std::size_t start = at;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9') ++at;
    return at - start;
  };
  for (int k = 0; k < 6; ++k) {
    if (at < line.size() && line[at] == '-') ++at;
    std::size_t mantissa = digits();
    if (at < line.size() && line[at] == '.') {
      ++at;
      mantissa += digits();
    }
    if (mantissa == 0) return 0;
    if (at < line.size() && (line[at] == 'e' || line[at] == 'E')) {
      ++at;
      if (at < line.size() && (line[at] == '-' || line[at] == '+')) ++at;
      if (digits() == 0) return 0;
    }
    if (k == 2) split = at;
    if (k < 5) {
      if (at >= line.size() || line[at] != ' ') return 0;
      ++at;
    }
  }
  return at == line.size() ? split : 0;
}

Failure LimitAt(FailureKind kind, std::string what, const LineReader& in) {
  Failure failure(kind, 0, std::move(what));
  failure.AtLine(in.line_number());
  return failure;
}

void ReadBody(SkinModel& model, LineReader& in, SknDigits digits) {
  model.MeshName = in.Next("the mesh name");
  model.TextureName = in.Next("the texture name");
  model.BoneCount = TableCountLine(in, "the bone count", kBoneSlots);
  ReadLines(in, model.BoneNames, model.BoneCount, "a bone name");
  BuildSkeleton(model);

  model.FaceCount = TableCountLine(in, "the face count", kLineSlots);
  ReadLines(in, model.FaceLines, model.FaceCount, "a face line");

  // Taken without rounding: 12.0 matches 12 bones, 12.4 does not.
  const std::string_view binding_count = in.Next("the binding count");
  if (ReadNumber(binding_count) != model.BoneCount)
    throw LimitAt(FailureKind::CorruptBindings,
                  "the binding count " + std::string(binding_count) + " differs from the " +
                      std::to_string(model.BoneCount) + " bones",
                  in);
  ReadLines(in, model.BindingLines, model.BoneCount, "a binding line");

  const std::int16_t tex_count = in.NextCount("the texture-vertex count");
  const Failure tex_limit =
      LimitAt(FailureKind::TexVertexLimit, std::to_string(tex_count) + " texture vertices", in);
  if (tex_count > kLineSlots) throw tex_limit;
  model.TexVertexCount = tex_count;
  ReadLines(in, model.TexVertexLines, tex_count, "a texture-vertex line");
  if (tex_count > kCountLimit) throw tex_limit;

  model.BlendCount = TableCountLine(in, "the blend count", kLineSlots);
  ReadLines(in, model.BlendLines, model.BlendCount, "a blend line");

  model.VertexCount = in.NextCount("the vertex count");
  model.NormalCount = model.VertexCount;
  if (model.VertexCount > kCountLimit)
    throw LimitAt(FailureKind::VertexLimit, std::to_string(model.VertexCount) + " vertices", in);
  for (int i = 0; i < model.VertexCount; ++i) {
    const std::string_view line = in.Next("a vertex line");
    // A line as the writers write it keeps its text, saving the reformatting.
    if (const std::size_t split = CanonicalVertexSplit(line)) {
      model.VertexLines.set(i, line.substr(0, split));
      model.NormalLines.set(i, line.substr(split + 1));
      continue;
    }
    if (digits == SknDigits::AsWritten) {
      if (const std::size_t split = PlainVertexSplit(line)) {
        try {
          std::array<std::string_view, 6> f;
          SplitFields(line, f);
          for (const std::string_view field : f) ReadNumber(field);  // a value too large is error 6
        } catch (Failure& failure) {
          failure.AtLine(in.line_number());
          throw;
        }
        model.VertexLines.set(i, line.substr(0, split));
        model.NormalLines.set(i, line.substr(split + 1));
        continue;
      }
    }
    std::array<std::string_view, 6> f;
    if (SplitFields(line, f) < 6) throw in.Fail(err::kInvalidArgument, "a vertex line needs six numbers");
    try {
      model.VertexLines.set(i, FormatCoord(ReadNumber(f[0]), ReadNumber(f[1]), ReadNumber(f[2])));
      model.NormalLines.set(i, FormatCoord(ReadNumber(f[3]), ReadNumber(f[4]), ReadNumber(f[5])));
    } catch (Failure& failure) {
      failure.AtLine(in.line_number());
      throw;
    }
  }
}

}  // namespace

SkinModel ParseSkn(std::string_view text, std::string_view name, SknDigits digits) {
  return NamingFile(name, [&] {
    SkinModel model;
    LineReader in(text);
    ReadBody(model, in, digits);
    model.SaveAsProjectFirst = true;
    return model;
  });
}

Outcome LoadSkn(SkinModel& model, Prompts& prompts, const std::string& path) {
  return LoadReported(model, prompts, path, [&] { return ParseSkn(ReadWholeFile(path), path); });
}

}  // namespace mervane
