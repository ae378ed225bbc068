#pragma once

#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/formats.h"

namespace mervane {

struct BatchRequest {
  std::string to;                    // the target format's extension
  std::optional<std::string> out;    // folder for every target; else beside each source
  std::optional<bool> fix_normals;   // the answer to the normals question
  std::vector<std::string> sources;  // skins, and folders of skins (not their subfolders)
  RigContext rig;                    // for files on a skeleton (.glb): skeleton and animations
};

// A request that cannot be carried out as given; nothing was converted.
struct BatchUsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Converts every skin of the request to its format, on all cores, each
// under the same base name. A failure is told on err with its source and
// never stops or spoils the others; a source already at its target is
// skipped. A file of several skins on a skeleton (.glb) is read before the
// others are converted and gives one target per skin, named after its
// mesh. Progress goes to err when it is a terminal; the summary line
// ("converted N, failed N, skipped N") to out. Returns 0, or 1 if any file
// failed. Throws BatchUsageError, before any work, for an unknown format, a
// source that is neither a skin nor a folder, or two files of the call that
// would write the same file or over each other's source.
int RunBatch(const BatchRequest& request, std::ostream& out, std::ostream& err, bool terminal);

}  // namespace mervane
