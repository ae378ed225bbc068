#pragma once

#include <string>
#include <string_view>

namespace mervane {

// Path rules shared by the window, the converter and the project files.
// Both "/" and "\" separate folders, so a path typed on Windows reads the
// same everywhere; the extension is what follows the last "." of the file name.

// The file name after the last "/" or "\".
std::string FileNameOf(std::string_view path);
// The folder part up to and including the last separator; empty if none.
std::string FolderOf(std::string_view path);
// Lower-cased text after the last "." of the file name; empty if it has none.
std::string ExtensionOf(std::string_view path);
// The path without the last "." of its file name and what follows it.
std::string BasePathOf(std::string_view path);
// ASCII lower and upper case, leaving 8-bit characters as they are.
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);

}  // namespace mervane
