#pragma once

#include <optional>
#include <ostream>

#include "cli/request.h"

namespace mervane {

// The converter's --template: where the meshes' faces lie on their bitmap,
// written as a PNG. Returns the exit status when the request is one (0
// done, 1 failed), nothing when it is not; throws UsageError for --over or
// --size without --template, and for what --template does not take.
std::optional<int> RunTemplateCommand(const ConvertRequest& request, std::ostream& out, std::ostream& err);

// Its lines of the usage text.
extern const char* const kTemplateUsage;

}  // namespace mervane
