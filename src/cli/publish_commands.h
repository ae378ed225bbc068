#pragma once

#include <optional>
#include <ostream>

#include "cli/request.h"

namespace mervane {

// The converter's commands into the game: --publish (an outfit, or a new
// texture for a suit) and --check. Returns the exit status when the request
// is one of them (0 done, 1 refused or faulted), nothing when it is not;
// throws UsageError for what means nothing there.
std::optional<int> RunPublishCommand(const ConvertRequest& request, std::ostream& out, std::ostream& err);

// Their lines of the usage text.
extern const char* const kPublishUsage;

}  // namespace mervane
