#include "model/paths.h"

#include <algorithm>
#include <array>

namespace mervane {
namespace {

std::size_t NameStart(std::string_view path) {
  const auto sep = path.find_last_of("/\\");
  return sep == std::string_view::npos ? 0 : sep + 1;
}

// Position of the extension's "." in path, or npos.
std::size_t DotOf(std::string_view path) {
  const std::size_t start = NameStart(path);
  const auto dot = path.rfind('.');
  return dot == std::string_view::npos || dot < start ? std::string_view::npos : dot;
}

}  // namespace

std::string FileNameOf(std::string_view path) { return std::string(path.substr(NameStart(path))); }

std::string FolderOf(std::string_view path) { return std::string(path.substr(0, NameStart(path))); }

std::string ExtensionOf(std::string_view path) {
  const auto dot = DotOf(path);
  return dot == std::string_view::npos ? std::string() : ToLowerAscii(path.substr(dot + 1));
}

std::string BasePathOf(std::string_view path) {
  return std::string(path.substr(0, DotOf(path)));
}

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  return out;
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  return out;
}

std::string WindowsNameProblem(std::string_view name) {
  if (name.empty()) return {};
  if (name.back() == '.' || name.back() == ' ')
    return "Windows does not allow a file name that ends in a dot or a space";
  // The device names count with any extension, and with spaces before it.
  std::string stem = ToUpperAscii(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static constexpr std::array<std::string_view, 6> kDevices{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  const bool numbered = stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
                        stem[3] >= '1' && stem[3] <= '9';
  if (numbered || std::find(kDevices.begin(), kDevices.end(), stem) != kDevices.end())
    return "Windows reserves the name " + stem + " for a device";
  return {};
}

}  // namespace mervane
