// A skin's bitmap as PNG for a .glb: Debian's stb decoders and encoder,
// compiled here (the image kinds a part's bitmap may be) and kept to this
// file, so that the converter and the window embed textures alike.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_TGA
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "archive/far.h"
#include "files/textfile.h"
#include "gltf/glb.h"
#include "model/paths.h"

namespace mervane {

std::string BitmapPng(const std::string& path) {
  const std::string bytes = ReadWholeFile(path);
  int width = 0, height = 0, channels = 0;
  const std::unique_ptr<unsigned char, void (*)(void*)> pixels(
      stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<int>(std::min<std::size_t>(bytes.size(), 0x7FFFFFFF)), &width, &height,
                            &channels, 0),
      stbi_image_free);
  if (!pixels)
    throw std::move(Failure::Error(err::kInvalidArgument, std::string("the bitmap cannot be decoded (") +
                                                              stbi_failure_reason() + ")")
                        .InFile(path));
  std::string png;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
      },
      &png, width, height, channels, pixels.get(), width * channels);
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
