#include <algorithm>

#include "archive/far.h"
#include "files/textfile.h"
#include "model/guard.h"
#include "model/numbers.h"
#include "model/paths.h"
#include "model/skeleton.h"
#include "model/world.h"
#include "project/obj_reader.h"
#include "project/project.h"

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
  if (count > kCountLimit) throw std::move(Failure(limit, 0, "with the blended " + what + "s").AtLine(spj.line_number()));
  for (int i = 0; i < added; ++i)
    table.set(first + i, spj.Next("a blended " + what + " line"));
}

constexpr const char* kPairingHint =
    "the vertices no longer pair with the bones of the project. Vertices may have been added "
    "or deleted in the modeller, or other objects exported with the skin (a new scene's "
    "default cube, for one): export only the skin, with its vertex order kept";

// The .obj's vertices pair with the bones' ranges by order; a vertex outside
// every range, or a range beyond the last vertex, means they no longer do.
void CheckPairing(const SkinModel& model, const ObjLists& lists) {
  const int count = static_cast<int>(lists.vertices.size());
  std::vector<bool> covered(static_cast<std::size_t>(count), false);
  for (int i = 0; i < model.BoneCount; ++i) {
    const BoneRange range = ParseBindingLine(model.BindingLines.at(i));
    if (range.end() > count)
      throw Failure::Error(err::kInvalidArgument,
                           "bone " + std::string(model.BoneNames.at(i)) + " needs vertices up to " +
                               std::to_string(range.end()) + " but the file holds only " +
                               std::to_string(count) + ": " + kPairingHint);
    std::fill(covered.begin() + range.first, covered.begin() + range.end(), true);
  }
  const auto stray = std::find(covered.begin(), covered.end(), false);
  if (stray != covered.end()) {
    const auto k = static_cast<std::size_t>(stray - covered.begin());
    const auto paired = std::count(covered.begin(), covered.end(), true);
    Failure failure = Failure::Error(
        err::kInvalidArgument, Counted("vertex", static_cast<long>(k)) +
                                   " belongs to no bone (the file holds " + std::to_string(count) +
                                   " vertices, the bones take " + std::to_string(paired) +
                                   "): " + kPairingHint);
    throw std::move(failure.AtLine(lists.vertex_line_numbers[k]));
  }
}

// Reads the .spj's head: names, bones and binding lines.
void ReadHead(SkinModel& model, LineReader& spj) {
  model.MeshName = spj.Next("the mesh name");
  model.TextureName = spj.Next("the texture name");
  model.BoneCount = spj.NextCount("the bone count");
  if (model.BoneCount > kBoneSlots)
    throw spj.Fail(err::kIndexOutOfRange, "more than " + std::to_string(kBoneSlots) + " bones");
  for (int i = 0; i < model.BoneCount; ++i) {
    model.BoneNames.set(i, spj.Next("a bone name"));
    model.BindingLines.set(i, spj.Next("a binding line"));
    try {
      ParseBindingLine(model.BindingLines.at(i));
    } catch (Failure& failure) {
      failure.AtLine(spj.line_number());
      throw;
    }
  }
  BuildSkeleton(model);
}

// Reads the .spj's tail: the blended vertices, their normals and the blend
// entries, which come after the .obj's vertices unchanged.
void ReadTail(SkinModel& model, LineReader& spj) {
  AppendBlended(spj, model.VertexLines, model.VertexCount, FailureKind::VertexLimit, "vertex");
  AppendBlended(spj, model.NormalLines, model.NormalCount, FailureKind::NormalLimit, "normal");
  model.BlendCount = spj.NextCount("the blend count");
  if (model.BlendCount > kLineSlots)
    throw spj.Fail(err::kIndexOutOfRange,
                   "more than " + std::to_string(kLineSlots) + " blend entries");
  for (int i = 0; i < model.BlendCount; ++i)
    model.BlendLines.set(i, spj.Next("a blend line"));
}

}  // namespace

SkinModel ParseProject(std::string_view spj_text, std::string_view obj_text,
                       std::string_view spj_name, std::string_view obj_name,
                       const NormalsQuestion& ask) {
  SkinModel model;
  LineReader spj(spj_text);
  LineReader obj(obj_text);
  NamingFile(spj_name, [&] { ReadHead(model, spj); });
  NamingFile(obj_name, [&] {
    const ObjLists lists = ReadObjGeometry(model, obj, ask);
    model.TexVertexCount = model.VertexCount;
    model.NormalCount = model.VertexCount;
    CheckPairing(model, lists);
    BackTransform(model, lists);
  });
  NamingFile(spj_name, [&] { ReadTail(model, spj); });
  model.SaveAsProjectFirst = false;
  return model;
}

Outcome LoadProject(SkinModel& model, Prompts& prompts, const std::string& path) {
  return LoadReported(model, prompts, path, [&] {
    const std::string obj_path = BasePathOf(path) + ".obj";
    const std::string spj = ReadWholeFile(path);
    const std::string obj = ReadWholeFile(obj_path);
    return ParseProject(spj, obj, FileNameOf(path), FileNameOf(obj_path), AskThrough(prompts));
  });
}

}  // namespace mervane
