#pragma once

// What the Windows file layer (file_io_windows.cpp) decides on its own, open
// to the tests. Paths inside the program are UTF-8; they become UTF-16 only
// here, at the system's edge.

#include <optional>
#include <string>
#include <string_view>

#include "model/paths.h"

namespace mervane::windows {

// UTF-8 to UTF-16 and back. Widen fails with error 52 on text that is not
// UTF-8, rather than guessing a code page and opening some other file.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// The path to hand to the system: as given while it is short, and as an
// absolute "\\?\" path once it nears the 260-character limit, which that form
// does not have.
std::wstring SystemPath(const std::string& path);

// Why Windows cannot hold a file of this name (see WindowsNameProblem).
inline std::string NameProblem(std::string_view file_name) { return WindowsNameProblem(file_name); }

// The failure number for a Windows error code, the way errno is mapped on
// other systems. Reading, a missing folder is a missing file (53); writing,
// it is a missing path (76).
enum class Access { Read, Write };
int ErrorNumber(unsigned long error, Access access);
// A short, plain description of a Windows error code.
std::string Describe(unsigned long error);

// A string value of the registry, as a 64-bit program sees it. key starts
// with its hive, HKEY_LOCAL_MACHINE\ or HKEY_CURRENT_USER\ (any other is
// none); none too when the key or the value is missing or holds no string.
std::optional<std::string> RegistryString(const std::string& key, const std::string& value);

}  // namespace mervane::windows
