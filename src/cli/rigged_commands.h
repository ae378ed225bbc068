#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace mervane {

// The converter's commands on rigged skins (.glb, .gltf): skins and suits
// into one .glb on a skeleton with animations, a .glb's skins out of it,
// --info on a .glb, and --to glb or --to anything from .glb files with the
// skeleton and animations given. Returns the exit status when args name a
// .glb or .gltf (0 done, 1 failed, 2 usage), nothing when they do not.
// terminal: err is a terminal, which may show progress.
std::optional<int> RunRiggedCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                                    bool terminal);

// Their lines of the usage text.
extern const char* const kRiggedUsage;

}  // namespace mervane
