#include "project/formats.h"

#include <array>

#include "bmf/bmf.h"
#include "model/paths.h"
#include "project/project.h"
#include "skn/skn.h"

namespace mervane {
namespace {

// In the order the dialogs have always listed them, new formats last.
constexpr std::array<Format, 3> kFormats{{
    {"spj", "Skin Project Files (*.spj)", "Skin Project Files (*.spj)",
     "skin project (.spj + .obj + .mtl)", LoadProject, SaveProject},
    {"skn", "TheSims Skin Files (*.skn)", "TheSims Skins (*.skn)", "skin, text", LoadSkn,
     SaveSkn},
    {"bmf", "TheSims Binary Mesh Files (*.bmf)", "TheSims Binary Meshes (*.bmf)",
     "skin, binary", LoadBmf, SaveBmf},
}};

}  // namespace

std::span<const Format> Formats() { return kFormats; }

const Format* FormatOf(std::string_view path) {
  const std::string extension = ExtensionOf(path);
  for (const Format& format : kFormats)
    if (format.extension == extension) return &format;
  return nullptr;
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
