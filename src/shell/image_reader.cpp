#include "shell/image_reader.h"

#include <memory>

#include "archive/far.h"
#include "files/textfile.h"
#include "model/failure.h"
#include "model/paths.h"

// Only the formats Qt may lack; the decoder is compiled into this file.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#include <stb_image.h>

namespace mervane {

QImage ReadImage(const std::string& path) {
  std::string bytes;
  try {
    bytes = ReadWholeFile(path);  // the file layer reads any path the system takes
  } catch (const Failure&) {
    return {};
  }
  QImage image = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
  if (!image.isNull()) return image;
  int width = 0, height = 0, channels = 0;
  const std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
      stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()), static_cast<int>(bytes.size()), &width,
                            &height, &channels, 4),
      stbi_image_free);
  if (!pixels) return {};
  return QImage(pixels.get(), width, height, width * 4, QImage::Format_RGBA8888).copy();
}

const char* ImagePatterns() { return "*.bmp *.png *.jpg *.jpeg *.tga"; }

bool IsImagePath(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  return !extension.empty() &&
         (" " + std::string(ImagePatterns()) + " ").find(" *." + extension + " ") != std::string::npos;
}

}  // namespace mervane
