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

// Why Windows cannot hold a file of this name ("" when it can): a device
// name such as CON, NUL or COM1, with or without an extension, or a name
// ending in a dot or a space, which Windows would silently cut. Kept here,
// not in the Windows file layer, because names that arrive from elsewhere
// (an archive's members) must be portable on every system.
std::string WindowsNameProblem(std::string_view file_name);

}  // namespace mervane
