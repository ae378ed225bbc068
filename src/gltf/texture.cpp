// A skin's bitmap as PNG for a .glb: Debian's stb decoders and encoder,
// compiled here (the .bmp decoder only) and kept to this file.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <array>
#include <memory>

#include "files/paths.h"
#include "files/textfile.h"
#include "gltf/glb.h"

namespace mervane {

std::vector<std::string> BitmapNames(const SkinModel& model) {
  static constexpr std::array<std::string_view, 3> kTones{"lgt", "med", "drk"};
  std::vector<std::string> names{model.TextureName};
  const std::string texture = ToLowerAscii(model.TextureName);
  std::size_t tone_at = std::string::npos;
  for (const std::string_view tone : kTones)
    if (const std::size_t at = texture.find(tone); at != std::string::npos) tone_at = std::min(tone_at, at);
  // "xskin-c001ma_ross-HEAD-HEADB": the suit is c001ma_ross.
  std::string suit;
  if (ToLowerAscii(model.MeshName).rfind("xskin-", 0) == 0) {
    const std::size_t end = model.MeshName.find('-', 6);
    suit = model.MeshName.substr(6, end == std::string::npos ? std::string::npos : end - 6);
  }
  for (const std::string_view tone : kTones) {
    if (tone_at != std::string::npos)
      names.push_back(model.TextureName.substr(0, tone_at) + std::string(tone) + model.TextureName.substr(tone_at + 3));
    if (!suit.empty()) {
      const std::size_t underscore = suit.find('_');
      if (underscore != std::string::npos)
        names.push_back(suit.substr(0, underscore) + std::string(tone) + suit.substr(underscore));
      names.push_back(suit + std::string(tone));
    }
  }
  for (std::string& name : names) name += ".bmp";
  return names;
}

std::string TexturePng(const SkinModel& model, const FileFinder& finder) {
  for (const std::string& name : BitmapNames(model)) {
    const std::optional<std::string> path = finder.Find(name);
    if (!path) continue;
    const std::string bytes = ReadWholeFile(*path);
    int width = 0, height = 0, channels = 0;
    const std::unique_ptr<unsigned char, void (*)(void*)> pixels(
        stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                              static_cast<int>(std::min<std::size_t>(bytes.size(), 0x7FFFFFFF)), &width, &height,
                              &channels, 0),
        stbi_image_free);
    if (!pixels)
      throw std::move(Failure::Error(err::kInvalidArgument, std::string("the bitmap cannot be decoded (") +
                                                                stbi_failure_reason() + ")")
                          .InFile(*path));
    std::string png;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
          static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
        },
        &png, width, height, channels, pixels.get(), width * channels);
    return png;
  }
  return {};
}

}  // namespace mervane
