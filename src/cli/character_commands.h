#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "character/lookup.h"

namespace mervane {

// The converter's commands on characters: .cmx <-> .bcf, --info on .cmx,
// .bcf and .cfp, and --pose. Returns the exit status when args are one of
// them (0 done, 1 failed, 2 usage), nothing when they are not. Files are
// found beside the files named, then through game (a game folder's index);
// a "--game DIR" among args is the caller's to read, and is passed over.
std::optional<int> RunCharacterCommand(const std::vector<std::string>& args, std::ostream& out,
                                       std::ostream& err, const ExtraLookup& game = {});

// Their lines of the usage text.
extern const char* const kCharacterUsage;

}  // namespace mervane
