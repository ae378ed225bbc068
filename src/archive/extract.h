#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/far.h"

namespace mervane {

// Why a member of this name may not be written into a folder ("" when it
// may), as the end of a sentence about the member: an empty name; one that
// holds a control character; an absolute one ("/x", "\x", "\\server\x") or
// one that starts with a drive ("C:\x", "C:x"); one with a ".." part, which
// climbs out of the folder, or an empty or "." part; a character that
// Windows does not allow in names (<>:"|?*); or a part that Windows
// reserves (CON, nul.txt, a trailing dot or space). "/" and "\" both
// separate folders, on every system, so an archive extracts alike everywhere.
std::string MemberNameProblem(std::string_view name);

// What an extraction did.
struct ExtractResult {
  std::vector<std::string> written;   // the files written, in manifest order
  std::vector<std::string> problems;  // one sentence per member not written, naming it
};

// Writes members of archive into folder, creating it when missing: all of
// them, or those that only names (found as FarArchive::Find finds them; a
// name the archive lacks is a problem). A member is skipped, with a problem
// naming it, when MemberNameProblem refuses its name, when its path once
// resolved (links followed) lies outside folder, when an earlier member has
// the same name without regard to case (only the first is written), or when
// its write fails; the others are still written. Failure (nothing written)
// only when folder cannot be created.
ExtractResult ExtractFar(const FarArchive& archive, const std::string& folder,
                         std::span<const std::string> only = {});

}  // namespace mervane
