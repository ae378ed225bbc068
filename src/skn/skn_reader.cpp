#include <array>

#include "model/guard.h"
#include "model/numbers.h"
#include "model/skeleton.h"
#include "model/textfile.h"
#include "skn/skn.h"

namespace mervane {
namespace {

// A count whose lines go into a table of the given number of slots.
std::int16_t TableCountLine(LineReader& in, const char* what, int slots) {
  const std::int16_t count = in.NextCount(what);
  if (count > slots)
    throw in.Fail(err::kIndexOutOfRange, std::string(what) + " " + std::to_string(count) +
                                             " is more than the " + std::to_string(slots) +
                                             " that fit");
  return count;
}

void ReadLines(LineReader& in, LineTable& table, int count, const char* what) {
  for (int i = 0; i < count; ++i) table.set(i, std::string(in.Next(what)));
}

void ReadBody(SkinModel& model, LineReader& in) {
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
    throw Failure(FailureKind::CorruptBindings, 0,
                  "the binding count " + std::string(binding_count) + " differs from the " +
                      std::to_string(model.BoneCount) + " bones")
        .At(in.Place());
  ReadLines(in, model.BindingLines, model.BoneCount, "a binding line");

  const std::int16_t tex_count = in.NextCount("the texture-vertex count");
  const Failure tex_limit = Failure(FailureKind::TexVertexLimit, 0,
                                    std::to_string(tex_count) + " texture vertices")
                                .At(in.Place());
  if (tex_count > kLineSlots) throw tex_limit;
  model.TexVertexCount = tex_count;
  ReadLines(in, model.TexVertexLines, tex_count, "a texture-vertex line");
  if (tex_count > kCountLimit) throw tex_limit;

  model.BlendCount = TableCountLine(in, "the blend count", kLineSlots);
  ReadLines(in, model.BlendLines, model.BlendCount, "a blend line");

  model.VertexCount = in.NextCount("the vertex count");
  model.NormalCount = model.VertexCount;
  if (model.VertexCount > kCountLimit)
    throw Failure(FailureKind::VertexLimit, 0, std::to_string(model.VertexCount) + " vertices")
        .At(in.Place());
  for (int i = 0; i < model.VertexCount; ++i) {
    const std::string_view line = in.Next("a vertex line");
    std::array<std::string_view, 6> f;
    if (SplitFields(line, f) < 6) throw in.Fail(err::kInvalidArgument, "a vertex line needs six numbers");
    try {
      model.VertexLines.set(i, FormatCoord(ReadNumber(f[0]), ReadNumber(f[1]), ReadNumber(f[2])));
      model.NormalLines.set(i, FormatCoord(ReadNumber(f[3]), ReadNumber(f[4]), ReadNumber(f[5])));
    } catch (const Failure& failure) {
      throw failure.At(in.Place());
    }
  }
}

}  // namespace

Outcome LoadSkn(SkinModel& model, Prompts& prompts, const std::string& path) {
  return RunGuarded(model, prompts, [&] {
    LineReader in(path, ReadWholeFile(path));
    ResetModel(model);
    ReadBody(model, in);
    model.ModelLoaded = true;
    model.SaveAsProjectFirst = true;
  });
}

}  // namespace mervane
