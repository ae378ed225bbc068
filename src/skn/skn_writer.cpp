#include "model/guard.h"
#include "model/text_sink.h"
#include "files/textfile.h"
#include "skn/skn.h"

namespace mervane {
namespace {

void Block(TextSink& out, const LineTable& table, int count) {
  if (count > table.capacity())
    throw Failure::Error(err::kIndexOutOfRange,
                         "a count of " + std::to_string(count) + " is more than the " +
                             std::to_string(table.capacity()) + " lines the model holds");
  for (int i = 0; i < count; ++i) out.Line(table.at(i));
}

}  // namespace

std::string SknText(const SkinModel& model) {
  CheckNamesFitLines(model);
  TextSink out(64 + 80 * static_cast<std::size_t>(std::max<int>(0, model.VertexCount)) +
               24 * static_cast<std::size_t>(std::max<int>(0, model.FaceCount)) +
               32 * static_cast<std::size_t>(std::max<int>(0, model.TexVertexCount)));
  out.Line(model.MeshName);
  out.Line(model.TextureName);
  out.Line(std::to_string(model.BoneCount));
  Block(out, model.BoneNames, model.BoneCount);
  out.Line(std::to_string(model.FaceCount));
  Block(out, model.FaceLines, model.FaceCount);
  out.Line(std::to_string(model.BoneCount));
  Block(out, model.BindingLines, model.BoneCount);
  out.Line(std::to_string(model.TexVertexCount));
  Block(out, model.TexVertexLines, model.TexVertexCount);
  out.Line(std::to_string(model.BlendCount));
  Block(out, model.BlendLines, model.BlendCount);
  out.Line(std::to_string(model.VertexCount));
  for (int i = 0; i < model.VertexCount; ++i) {
    out.Append(model.VertexLines.at(i));
    out.Append(' ');
    out.Line(model.NormalLines.at(i));
  }
  return out.Take();
}

Outcome SaveSkn(const SkinModel& model, Prompts& prompts, const std::string& path) {
  return RunReported(prompts, [&] {
    if (path.empty()) return;
    WriteFileAtomically(path, SknText(model));
  });
}

}  // namespace mervane
