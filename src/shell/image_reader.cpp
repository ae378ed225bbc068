#include "shell/image_reader.h"

#include "archive/far.h"
#include "bitmap/bitmap.h"
#include "files/textfile.h"
#include "model/failure.h"
#include "model/paths.h"

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
  try {
    const Image decoded = DecodeImage(bytes);  // what Qt lacks: Targa everywhere, JPEG on Windows
    return QImage(decoded.rgba.data(), decoded.width, decoded.height, decoded.width * 4, QImage::Format_RGBA8888)
        .copy();
  } catch (const Failure&) {
    return {};
  }
}

const char* ImagePatterns() { return "*.bmp *.png *.jpg *.jpeg *.tga"; }

bool IsImagePath(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  return !extension.empty() &&
         (" " + std::string(ImagePatterns()) + " ").find(" *." + extension + " ") != std::string::npos;
}

}  // namespace mervane
