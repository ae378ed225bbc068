#pragma once

#include <optional>
#include <ostream>

#include "cli/request.h"

namespace mervane {

// The converter's commands on characters: .cmx <-> .bcf, --info on .cmx,
// .bcf and .cfp, and --pose. Returns the exit status when the request is
// one of them (0 done, 1 failed), nothing when it is not; throws
// UsageError for what means nothing there.
std::optional<int> RunCharacterCommand(const ConvertRequest& request, std::ostream& out, std::ostream& err);

// Their lines of the usage text.
extern const char* const kCharacterUsage;

}  // namespace mervane
