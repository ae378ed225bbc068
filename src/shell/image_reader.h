#pragma once

#include <QImage>
#include <string>

namespace mervane {

// Reads the image at path: whatever Qt reads, and Targa, JPEG, PNG and BMP
// through stb_image wherever Qt has no reader for them (Targa everywhere,
// JPEG in the Windows build). A null image when the file is missing or no
// reader takes it.
QImage ReadImage(const std::string& path);

// The image types ReadImage takes on every build, for the texture chooser:
// "*.bmp *.png *.jpg *.jpeg *.tga".
const char* ImagePatterns();
// True for a name ImagePatterns takes.
bool IsImagePath(const std::string& path);

}  // namespace mervane
