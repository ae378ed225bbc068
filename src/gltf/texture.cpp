// A skin's bitmap as PNG for a .glb, decoded and encoded by the bitmap
// room, so that the converter and the window embed textures alike.
#include <optional>

#include "archive/far.h"
#include "bitmap/bitmap.h"
#include "files/textfile.h"
#include "gltf/glb.h"
#include "model/paths.h"

namespace mervane {

std::string BitmapPng(const std::string& path) {
  const std::string bytes = ReadWholeFile(path);
  return PngBytes(NamingFile(path, [&] { return DecodeImage(bytes); }));
}

std::string TexturePng(const SkinModel& model, const FileFinder& finder) {
  const std::optional<std::string> path = FindAnyToneBitmap(finder, model.MeshName, model.TextureName);
  return path ? BitmapPng(*path) : std::string();
}

}  // namespace mervane
