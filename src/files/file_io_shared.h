#pragma once

// What both file layers (file_io_posix.cpp, file_io_windows.cpp) share.

#include <string>

namespace mervane {

// Fails with error 75, naming the archive, when target lies inside a .far
// archive: archives are read-only, and the system would otherwise report a
// missing folder.
void RefuseArchiveTarget(const std::string& target);

}  // namespace mervane
