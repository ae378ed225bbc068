#include <algorithm>
#include <array>
#include <charconv>

#include "model/guard.h"
#include "model/numbers.h"
#include "model/paths.h"
#include "model/textfile.h"
#include "project/project.h"
#include "project/world.h"

namespace mervane {
namespace {

void Line(std::string& out, std::string_view text) {
  out.append(text);
  out.append("\r\n");
}

void Lines(std::string& out, const LineTable& table, int first, int count) {
  for (int i = first; i < first + count; ++i) Line(out, table.at(i));
}

std::string SpjText(const SkinModel& model) {
  std::string out;
  Line(out, model.MeshName);
  Line(out, model.TextureName);
  Line(out, std::to_string(model.BoneCount));
  for (int i = 0; i < model.BoneCount; ++i) {
    Line(out, model.BoneNames.at(i));
    Line(out, model.BindingLines.at(i));
  }
  const int blend = model.BlendCount;
  Line(out, std::to_string(blend));
  Lines(out, model.VertexLines, model.VertexCount - blend, blend);
  Line(out, std::to_string(blend));
  Lines(out, model.NormalLines, model.NormalCount - blend, blend);
  Line(out, std::to_string(blend));
  Lines(out, model.BlendLines, 0, blend);
  return out;
}

std::string MtlText(const SkinModel& model, const std::string& base_name,
                    const std::string& folder, std::string_view texture_file) {
  std::string out;
  Line(out, "#");
  Line(out, "# " + base_name + ".mtl");
  Line(out, "#");
  Line(out, "");
  Line(out, "newmtl " + model.MeshName);
  Line(out, "Ka 0.200000 0.200000 0.200000");
  Line(out, "Kd 1.000000 1.000000 1.000000");
  Line(out, "Ks 0.200000 0.200000 0.200000");
  Line(out, "Ns 0.000000");
  Line(out, "map_Kd " + folder + std::string(texture_file));
  return out;
}

void GroupHeader(std::string& out, const std::string& mesh) {
  Line(out, "");
  Line(out, "g " + mesh);
  Line(out, "usemtl " + mesh);
  Line(out, "s off");
}

void AppendTriple(std::string& out, const char* keyword, Vec3 v) {
  out.append(keyword);
  AppendCoord(out, v.x);
  out.push_back(' ');
  AppendCoord(out, v.y);
  out.push_back(' ');
  AppendCoord(out, v.z);
  out.append("\r\n");
}

std::string ObjText(const SkinModel& model, const std::string& base_name) {
  const std::vector<WorldBone> bones = BuildWorldBones(model);
  std::string out;
  // Room for long lines: a text that regrows copies itself, and room never
  // written costs nothing.
  out.reserve(256 + 128 * static_cast<std::size_t>(std::max<int>(0, model.VertexCount)) +
              64 * static_cast<std::size_t>(std::max<int>(0, model.FaceCount)));
  Line(out, "mtllib " + base_name + ".mtl");
  for (const WorldBone& bone : bones) {
    GroupHeader(out, model.MeshName);
    for (const WorldVertex& v : bone.vertices) AppendTriple(out, "v ", v.position);
    for (const WorldVertex& v : bone.vertices) AppendTriple(out, "vn ", v.normal);
  }
  for (int j = 0; j < model.TexVertexCount; ++j) {
    std::array<std::string_view, 2> f;
    const std::string_view line = model.TexVertexLines.at(j);
    if (SplitFields(line, f) < 2)
      throw Failure::Error(err::kInvalidArgument, Counted("texture vertex", j) + " needs two numbers");
    out.append("vt ");
    AppendCoord(out, ReadNumber(f[0]));
    out.push_back(' ');
    AppendCoord(out, 1.0 - ReadNumber(f[1]));
    out.append("\r\n");
  }
  GroupHeader(out, model.MeshName);
  for (int i = 0; i < model.FaceCount; ++i) {
    std::array<std::string_view, 3> f;
    const std::string_view line = model.FaceLines.at(i);
    if (SplitFields(line, f) < 3)
      throw Failure::Error(err::kInvalidArgument, Counted("face", i) + " needs three vertices");
    char text[3 * 3 * 8 + 8];
    char* p = text;
    *p++ = 'f';
    for (std::string_view corner : f) {
      char index[8];
      const std::size_t n = static_cast<std::size_t>(
          std::to_chars(index, index + sizeof index, RoundCount(ReadNumber(corner) + 1.0)).ptr - index);
      for (char separator : {' ', '/', '/'}) {
        *p++ = separator;
        p = std::copy_n(index, n, p);
      }
    }
    *p++ = '\r';
    *p++ = '\n';
    out.append(text, p);
  }
  return out;
}

}  // namespace

ProjectFiles BuildProjectFiles(const SkinModel& model, const std::string& path,
                               std::string_view texture_file) {
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
  files.mtl = MtlText(model, base_name, FolderOf(base), texture_file);
  files.obj = ObjText(model, base_name);
  return files;
}

std::string FindProjectTexture(const SkinModel& model, const std::string& path) {
  return FindFileIgnoringCase(FolderOf(BasePathOf(path)), model.TextureName + ".bmp");
}

Outcome SaveProject(const SkinModel& model, Prompts& prompts, const std::string& path) {
  return RunReported(prompts, [&] {
    const ProjectFiles files = BuildProjectFiles(model, path, FindProjectTexture(model, path));
    const std::array<FileToWrite, 3> writes{{{files.spj_path, files.spj},
                                             {files.obj_path, files.obj},
                                             {files.mtl_path, files.mtl}}};
    WriteFilesAtomically(writes);
  });
}

}  // namespace mervane
