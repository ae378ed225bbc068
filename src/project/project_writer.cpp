#include <algorithm>
#include <array>
#include <charconv>

#include "files/textfile.h"
#include "model/guard.h"
#include "model/numbers.h"
#include "model/paths.h"
#include "model/text_sink.h"
#include "model/world.h"
#include "project/project.h"

namespace mervane {
namespace {

void Lines(TextSink& out, const LineTable& table, int first, int count) {
  for (int i = first; i < first + count; ++i) out.Line(table.at(i));
}

std::string SpjText(const SkinModel& model) {
  TextSink out(4096);
  out.Line(model.MeshName);
  out.Line(model.TextureName);
  out.Line(std::to_string(model.BoneCount));
  for (int i = 0; i < model.BoneCount; ++i) {
    out.Line(model.BoneNames.at(i));
    out.Line(model.BindingLines.at(i));
  }
  const int blend = model.BlendCount;
  out.Line(std::to_string(blend));
  Lines(out, model.VertexLines, model.VertexCount - blend, blend);
  out.Line(std::to_string(blend));
  Lines(out, model.NormalLines, model.NormalCount - blend, blend);
  out.Line(std::to_string(blend));
  Lines(out, model.BlendLines, 0, blend);
  return out.Take();
}

std::string MtlText(const SkinModel& model, const std::string& base_name, std::string_view texture) {
  TextSink out(256);
  out.Line("#");
  out.Line("# " + base_name + ".mtl");
  out.Line("#");
  out.Line("");
  out.Line("newmtl " + model.MeshName);
  out.Line("Ka 0.200000 0.200000 0.200000");
  out.Line("Kd 1.000000 1.000000 1.000000");
  out.Line("Ks 0.200000 0.200000 0.200000");
  out.Line("Ns 0.000000");
  // Never a folder alone: a bitmap that is nowhere yet is named so that
  // copying it beside the project makes it work.
  out.Line("map_Kd " + (texture.empty() ? model.TextureName + ".bmp" : std::string(texture)));
  return out.Take();
}

void GroupHeader(TextSink& out, const std::string& mesh) {
  out.Line("");
  out.Line("g " + mesh);
  out.Line("usemtl " + mesh);
  out.Line("s off");
}

std::string ObjText(const SkinModel& model, const std::string& base_name) {
  TextSink out(256 + 128 * static_cast<std::size_t>(std::max<int>(0, model.VertexCount)) +
               64 * static_cast<std::size_t>(std::max<int>(0, model.FaceCount)));
  out.Line("mtllib " + base_name + ".mtl");
  ForEachWorldBone(model, [&](const WorldBone& bone) {
    GroupHeader(out, model.MeshName);
    for (const WorldVertex& v : bone.vertices) out.CoordLine("v", {v.position.x, v.position.y, v.position.z});
    for (const WorldVertex& v : bone.vertices) out.CoordLine("vn", {v.normal.x, v.normal.y, v.normal.z});
  });
  for (int j = 0; j < model.TexVertexCount; ++j) {
    std::array<double, 2> uv;
    if (!ReadCanonicalCoords(model.TexVertexLines.at(j), uv)) {
      std::array<std::string_view, 2> f;
      if (SplitFields(model.TexVertexLines.at(j), f) < 2)
        throw Failure::Error(err::kInvalidArgument, Counted("texture vertex", j) + " needs two numbers");
      uv = {ReadNumber(f[0]), ReadNumber(f[1])};
    }
    out.CoordLine("vt", {uv[0], 1.0 - uv[1]});
  }
  GroupHeader(out, model.MeshName);
  for (int i = 0; i < model.FaceCount; ++i) {
    const std::string_view line = model.FaceLines.at(i);
    std::array<int, 3> one_based;
    std::array<std::uint32_t, 3> plain;
    if (ReadPlainWholes(line, plain) && std::ranges::all_of(plain, [](std::uint32_t v) { return v < 32767; })) {
      for (std::size_t k = 0; k < 3; ++k) one_based[k] = static_cast<int>(plain[k]) + 1;
    } else {
      std::array<std::string_view, 3> f;
      if (SplitFields(line, f) < 3)
        throw Failure::Error(err::kInvalidArgument, Counted("face", i) + " needs three vertices");
      for (std::size_t k = 0; k < 3; ++k) one_based[k] = RoundCount(ReadNumber(f[k]) + 1.0);
    }
    char text[3 * 3 * 8 + 8];
    char* p = text;
    *p++ = 'f';
    for (const int corner : one_based) {
      char index[8];
      const std::size_t n =
          static_cast<std::size_t>(std::to_chars(index, index + sizeof index, corner).ptr - index);
      for (char separator : {' ', '/', '/'}) {
        *p++ = separator;
        p = std::copy_n(index, n, p);
      }
    }
    *p++ = '\r';
    *p++ = '\n';
    out.Append(std::string_view(text, static_cast<std::size_t>(p - text)));
  }
  return out.Take();
}

}  // namespace

ProjectFiles BuildProjectFiles(const SkinModel& model, const std::string& path,
                               std::string_view texture) {
  if (FileNameOf(path).find('.') == std::string::npos)
    throw Failure::Error(err::kInvalidArgument, "a project's file name needs an extension");
  const std::string base = BasePathOf(path);
  const std::string base_name = FileNameOf(base);
  if (base_name.empty())
    throw std::move(
        Failure::Error(err::kBadFileName, "a project needs a name before its extension").InFile(path));
  CheckNamesFitLines(model);
  ProjectFiles files;
  files.spj_path = base + ".spj";
  files.obj_path = base + ".obj";
  files.mtl_path = base + ".mtl";
  files.spj = SpjText(model);
  files.mtl = MtlText(model, base_name, texture);
  files.obj = ObjText(model, base_name);
  return files;
}

std::string FindProjectTexture(const SkinModel& model, const FolderFiles& folder) {
  return folder.Find(model.TextureName + ".bmp");
}

std::string ProjectTextureReference(const SkinModel& model, const std::string& path, const FolderFiles& folder) {
  if (std::string beside = FindProjectTexture(model, folder); !beside.empty()) return beside;
  const std::string source_folder = FolderOf(model.SourcePath);
  // Converting within one folder, as batches mostly do, lists it once.
  if (model.SourcePath.empty() || source_folder == FolderOf(path)) return {};
  const std::string found = FindProjectTexture(model, FolderFiles(source_folder));
  return found.empty() ? std::string() : AbsolutePath(source_folder + found);
}

Outcome SaveProject(const SkinModel& model, Prompts& prompts, const std::string& path) {
  return RunReported(prompts, [&] {
    const ProjectFiles files =
        BuildProjectFiles(model, path, ProjectTextureReference(model, path, FolderFiles(FolderOf(path))));
    const std::array<FileToWrite, 3> writes{{{files.spj_path, files.spj},
                                             {files.obj_path, files.obj},
                                             {files.mtl_path, files.mtl}}};
    WriteFilesAtomically(writes);
  });
}

}  // namespace mervane
