#include "files/paths.h"

#include <algorithm>

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

}  // namespace mervane
