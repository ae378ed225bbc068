#include <algorithm>

#include "model/guard.h"
#include "model/numbers.h"
#include "model/paths.h"
#include "model/skeleton.h"
#include "project/obj_reader.h"
#include "project/project.h"
#include "project/world.h"

namespace mervane {
namespace {

std::int16_t AddCounts(const LineReader& in, std::int16_t a, std::int16_t b) {
  const int sum = a + b;
  if (sum < -32768 || sum > 32767) throw in.Fail(err::kOverflow, "the counts add up to more than 32767");
  return static_cast<std::int16_t>(sum);
}

// Reads a count and that many lines into table after its count entries.
void AppendBlended(LineReader& spj, LineTable& table, std::int16_t& count, FailureKind limit,
                   const std::string& what) {
  const std::int16_t added = spj.NextCount("the blended-" + what + " count");
  const std::int16_t first = count;
  count = AddCounts(spj, count, added);
  if (count > kCountLimit) throw Failure(limit, 0, "with the blended " + what + "s").At(spj.Place());
  for (int i = 0; i < added; ++i)
    table.set(first + i, std::string(spj.Next("a blended " + what + " line")));
}

constexpr const char* kPairingHint =
    "the vertices no longer pair with the bones of the project. Vertices may have been added "
    "or deleted in the modeller, or other objects exported with the skin (a new scene's "
    "default cube, for one): export only the skin, with its vertex order kept";

// The .obj's vertices pair with the bones' ranges by order; a vertex outside
// every range, or a range beyond the last vertex, means they no longer do.
void CheckPairing(const SkinModel& model, const ObjLists& lists, const std::string& obj_path) {
  const int count = static_cast<int>(lists.vertices.size());
  std::vector<bool> covered(static_cast<std::size_t>(count), false);
  for (int i = 0; i < model.BoneCount; ++i) {
    const BoneRange range = ParseBindingLine(model.BindingLines.at(i));
    if (range.end() > count)
      throw Failure::Error(err::kInvalidArgument,
                           "bone " + model.BoneNames.at(i) + " needs vertices up to " +
                               std::to_string(range.end()) + " but the file holds only " +
                               std::to_string(count) + ": " + kPairingHint)
          .At(FileNameOf(obj_path));
    std::fill(covered.begin() + range.first, covered.begin() + range.end(), true);
  }
  const auto stray = std::find(covered.begin(), covered.end(), false);
  if (stray != covered.end()) {
    const auto k = static_cast<std::size_t>(stray - covered.begin());
    const auto paired = std::count(covered.begin(), covered.end(), true);
    throw Failure::Error(err::kInvalidArgument,
                         "vertex " + std::to_string(k + 1) + " belongs to no bone (the file holds " +
                             std::to_string(count) + " vertices, the bones take " +
                             std::to_string(paired) + "): " + kPairingHint)
        .At(Where(obj_path, lists.vertex_line_numbers[k]));
  }
}

void ReadProject(SkinModel& model, Prompts& prompts, const std::string& path) {
  const std::string obj_path = BasePathOf(path) + ".obj";
  LineReader spj(path, ReadWholeFile(path));
  LineReader obj(obj_path, ReadWholeFile(obj_path));
  ResetModel(model);

  model.MeshName = spj.Next("the mesh name");
  model.TextureName = spj.Next("the texture name");
  model.BoneCount = spj.NextCount("the bone count");
  if (model.BoneCount > kBoneSlots)
    throw spj.Fail(err::kIndexOutOfRange, "more than 101 bones");
  for (int i = 0; i < model.BoneCount; ++i) {
    model.BoneNames.set(i, std::string(spj.Next("a bone name")));
    model.BindingLines.set(i, std::string(spj.Next("a binding line")));
    try {
      ParseBindingLine(model.BindingLines.at(i));
    } catch (const Failure& failure) {
      throw failure.At(spj.Place());
    }
  }
  BuildSkeleton(model);

  NormalCheckState state = NormalCheckState::Untested;
  const ObjLists lists = ReadObjGeometry(model, prompts, obj, state);
  model.TexVertexCount = model.VertexCount;
  model.NormalCount = model.VertexCount;
  CheckPairing(model, lists, obj_path);
  try {
    BackTransform(model, lists);
  } catch (const Failure& failure) {
    throw failure.At(FileNameOf(obj_path));
  }

  // The blended part comes from the .spj unchanged, right after the .obj's vertices.
  AppendBlended(spj, model.VertexLines, model.VertexCount, FailureKind::VertexLimit, "vertex");
  AppendBlended(spj, model.NormalLines, model.NormalCount, FailureKind::NormalLimit, "normal");

  model.BlendCount = spj.NextCount("the blend count");
  if (model.BlendCount > kLineSlots) throw spj.Fail(err::kIndexOutOfRange, "more than 32001 blend entries");
  for (int i = 0; i < model.BlendCount; ++i)
    model.BlendLines.set(i, std::string(spj.Next("a blend line")));

  model.SaveAsProjectFirst = false;
  model.ModelLoaded = true;
}

}  // namespace

Outcome LoadProject(SkinModel& model, Prompts& prompts, const std::string& path) {
  return RunGuarded(model, prompts, [&] { ReadProject(model, prompts, path); });
}

}  // namespace mervane
