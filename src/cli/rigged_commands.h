#pragma once

#include <optional>
#include <ostream>

#include "cli/request.h"

namespace mervane {

// The converter's commands on rigged skins (.glb, .gltf): skins and suits
// into one .glb on a skeleton with animations, a .glb's skins out of it,
// --info on a .glb, and --to glb or --to anything from .glb files with the
// skeleton, animations and game folder given. Returns the exit status when
// the request names a .glb or .gltf (0 done, 1 failed), nothing when it
// does not; throws UsageError for what means nothing there.
// terminal: err is a terminal, which may show progress.
std::optional<int> RunRiggedCommand(const ConvertRequest& request, std::ostream& out, std::ostream& err,
                                    bool terminal);

// Their lines of the usage text.
extern const char* const kRiggedUsage;

}  // namespace mervane
