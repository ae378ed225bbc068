#include "formats/formats.h"

#include <array>

#include "bmf/bmf.h"
#include "gltf/glb_file.h"
#include "model/paths.h"
#include "project/project.h"
#include "skn/skn.h"

namespace mervane {
namespace {

std::vector<OutputFile> RenderSkn(const SkinModel& model, const std::string& path, const FolderFiles&) {
  return {{path, SknText(model)}};
}

std::vector<OutputFile> RenderBmf(const SkinModel& model, const std::string& path, const FolderFiles&) {
  return {{path, BmfBytes(model)}};
}

std::vector<OutputFile> RenderProject(const SkinModel& model, const std::string& path,
                                      const FolderFiles& folder) {
  ProjectFiles files = BuildProjectFiles(model, path, ProjectTextureReference(model, path, folder));
  return {{files.spj_path, std::move(files.spj)},
          {files.obj_path, std::move(files.obj)},
          {files.mtl_path, std::move(files.mtl)}};
}

// In the order the dialogs have always listed them, new formats last.
constexpr RiggedFormat kRiggedGlb{ReadGlbFile, RenderGlbFile};

constexpr std::array<Format, 4> kFormats{{
    {"spj", "Skin Project Files (*.spj)", "Skin Project Files (*.spj)",
     "skin project (.spj + .obj + .mtl)", LoadProject, SaveProject, RenderProject, {}, nullptr,
     ViewPose::Modelling},
    {"skn", "TheSims Skin Files (*.skn)", "TheSims Skins (*.skn)", "skin, text", LoadSkn,
     SaveSkn, RenderSkn},
    {"bmf", "TheSims Binary Mesh Files (*.bmf)", "TheSims Binary Meshes (*.bmf)",
     "skin, binary", LoadBmf, SaveBmf, RenderBmf},
    {"glb", "glTF Files (*.glb *.gltf)", "glTF Binary Files (*.glb)",
     "skins on the game's skeleton with weights, texture and animations, glTF binary (.gltf is read too)",
     LoadGlb, SaveGlb, RenderGlb, "gltf", &kRiggedGlb},
}};

}  // namespace

std::span<const Format> Formats() { return kFormats; }

const Format* FormatOf(std::string_view path) {
  const std::string extension = ExtensionOf(path);
  for (const Format& format : kFormats)
    if (format.extension == extension || (!format.also_reads.empty() && format.also_reads == extension))
      return &format;
  return nullptr;
}

bool IsRiggedPath(std::string_view path) {
  const Format* format = FormatOf(path);
  return format && format->rigged;
}

ViewPose OpeningPose(std::string_view path) {
  if (const Format* format = FormatOf(path)) return format->opens_in;
  return ExtensionOf(path) == "obj" ? ViewPose::Modelling : ViewPose::Game;
}

std::vector<std::string> FilesWrittenBy(const std::string& path) {
  if (ExtensionOf(path) != "spj") return {path};
  const std::string base = BasePathOf(path);
  return {base + ".spj", base + ".obj", base + ".mtl"};
}

std::string FormatExtensionsText() {
  std::string text;
  for (std::size_t i = 0; i < kFormats.size(); ++i) {
    if (i > 0) text += i + 1 == kFormats.size() ? " or " : ", ";
    text += "." + std::string(kFormats[i].extension);
  }
  return text;
}

}  // namespace mervane
