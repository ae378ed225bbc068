#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "model/model.h"
#include "model/version.h"

namespace mervane {

// The command-line converter: args without the program name. Returns the
// exit status: 0 done, 1 the conversion failed (nothing written), 2 usage.
// terminal: err is a terminal, which may show progress.
// What --info prints for a skin: names, counts, bones and their ranges.
void PrintSkinInfo(const SkinModel& model, std::ostream& out);

int RunConverter(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 bool terminal = false);

}  // namespace mervane
