#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace mervane {

// True when path names an archive (.far, any case).
bool IsArchivePath(const std::string& path);

// mervane-convert --info ARCHIVE.far: the members with their sizes.
// Returns the exit status: 0, or 1 when the archive cannot be read.
int PrintArchiveInfo(const std::string& archive, std::ostream& out, std::ostream& err);

// mervane-convert --extract ARCHIVE.far DIR [MEMBER...]: writes the members
// (all, or those named) into DIR, naming each one it refuses. Returns 0 when
// every member asked for was written, 1 otherwise.
int ExtractArchive(const std::string& archive, const std::string& folder, const std::vector<std::string>& members,
                   std::ostream& out, std::ostream& err);

}  // namespace mervane
