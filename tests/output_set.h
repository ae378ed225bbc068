#pragma once

#include <string>

namespace mervane::test {

// A fixed set of conversions, run the same way by every build, so that the
// files two builds write can be compared byte for byte.

// Writes the generated skins (gen-*.skn) into folder.
void WriteGeneratedSkins(const std::string& folder);

// Converts the generated skins in inputs, the sample files under samples
// and the example skin with the converter, writing every result into out
// (named after its input) with log.txt: each run's arguments, exit status
// and messages.
void ConvertAll(const std::string& inputs, const std::string& samples, const std::string& out);

}  // namespace mervane::test
