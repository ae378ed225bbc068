#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/converter.h"

namespace mervane::test {

// What one run of the converter gave: its exit status and both streams.
struct Converted {
  int status;
  std::string out, err;
};

// Runs the converter in this process on args, as if typed after its name.
inline Converted Convert(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = RunConverter(args, out, err);
  return {status, out.str(), err.str()};
}

}  // namespace mervane::test
