// A skin's bitmap as PNG for a .glb, decoded by the bitmap room and encoded
// here with Debian's stb_image_write, so that the converter and the window
// embed textures alike.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

#include <optional>

#include "archive/far.h"
#include "bitmap/bitmap.h"
#include "files/textfile.h"
#include "gltf/glb.h"
#include "model/paths.h"

namespace mervane {

std::string BitmapPng(const std::string& path) {
  const std::string bytes = ReadWholeFile(path);
  Image image = NamingFile(path, [&] { return DecodeImage(bytes); });
  // An opaque bitmap (every one the game draws) goes in as RGB: smaller,
  // and the same pixels.
  int channels = 4;
  bool opaque = true;
  for (std::size_t p = 3; p < image.rgba.size() && opaque; p += 4) opaque = image.rgba[p] == 255;
  if (opaque) {
    channels = 3;
    for (std::size_t from = 0, to = 0; from < image.rgba.size(); from += 4, to += 3)
      for (std::size_t c = 0; c < 3; ++c) image.rgba[to + c] = image.rgba[from + c];
  }
  std::string png;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
      },
      &png, image.width, image.height, channels, image.rgba.data(), image.width * channels);
  return png;
}

std::string TexturePng(const SkinModel& model, const FileFinder& finder) {
  for (const std::optional<SkinTone> tone :
       {std::optional<SkinTone>{}, std::optional{SkinTone::Light}, std::optional{SkinTone::Medium}, std::optional{SkinTone::Dark}})
    if (const std::optional<std::string> path = FindToneBitmap(finder, model.MeshName, model.TextureName, tone))
      return BitmapPng(*path);
  return {};
}

}  // namespace mervane
