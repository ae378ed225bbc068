#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace mervane {

// The converter's commands on characters: .cmx <-> .bcf, --info on .cmx,
// .bcf and .cfp, and --pose. Returns the exit status when args are one of
// them (0 done, 1 failed, 2 usage), nothing when they are not.
std::optional<int> RunCharacterCommand(const std::vector<std::string>& args, std::ostream& out,
                                       std::ostream& err);

// Their lines of the usage text.
extern const char* const kCharacterUsage;

}  // namespace mervane
