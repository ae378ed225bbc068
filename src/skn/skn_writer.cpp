#include "model/guard.h"
#include "model/textfile.h"
#include "skn/skn.h"

namespace mervane {
namespace {

void Line(std::string& out, std::string_view text) {
  out.append(text);
  out.append("\r\n");
}

void Block(std::string& out, const LineTable& table, int count) {
  if (count > table.capacity())
    throw Failure::Error(err::kIndexOutOfRange,
                         "a count of " + std::to_string(count) + " is more than the " +
                             std::to_string(table.capacity()) + " lines the model holds");
  for (int i = 0; i < count; ++i) Line(out, table.at(i));
}

}  // namespace

std::string SknText(const SkinModel& model) {
  CheckNamesFitLines(model);
  // Sized up front: a text that regrows copies itself and touches twice the memory.
  std::size_t size = model.MeshName.size() + model.TextureName.size() + 64;
  auto add = [&size](const LineTable& table, int count) {
    for (int i = 0; i < count && i < table.capacity(); ++i) size += table.at(i).size() + 2;
  };
  add(model.BoneNames, model.BoneCount);
  add(model.FaceLines, model.FaceCount);
  add(model.BindingLines, model.BoneCount);
  add(model.TexVertexLines, model.TexVertexCount);
  add(model.BlendLines, model.BlendCount);
  add(model.VertexLines, model.VertexCount);
  add(model.NormalLines, model.VertexCount);
  std::string out;
  out.reserve(size);
  Line(out, model.MeshName);
  Line(out, model.TextureName);
  Line(out, std::to_string(model.BoneCount));
  Block(out, model.BoneNames, model.BoneCount);
  Line(out, std::to_string(model.FaceCount));
  Block(out, model.FaceLines, model.FaceCount);
  Line(out, std::to_string(model.BoneCount));
  Block(out, model.BindingLines, model.BoneCount);
  Line(out, std::to_string(model.TexVertexCount));
  Block(out, model.TexVertexLines, model.TexVertexCount);
  Line(out, std::to_string(model.BlendCount));
  Block(out, model.BlendLines, model.BlendCount);
  Line(out, std::to_string(model.VertexCount));
  for (int i = 0; i < model.VertexCount; ++i) {
    out.append(model.VertexLines.at(i));
    out.push_back(' ');
    Line(out, model.NormalLines.at(i));
  }
  return out;
}

Outcome SaveSkn(const SkinModel& model, Prompts& prompts, const std::string& path) {
  return RunReported(prompts, [&] {
    if (path.empty()) return;
    WriteFileAtomically(path, SknText(model));
  });
}

}  // namespace mervane
