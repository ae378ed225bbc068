// The .cmx reader on any text; what it reads is written both ways, read back
// the same, and posed at rest.
#include <cstddef>
#include <cstdint>

#include "character/character.h"
#include "character_checks.h"
#include "pose/pose.h"

using namespace mervane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CharacterFile file;
  try {
    file = ParseCmx(text, "in.cmx");
  } catch (const Failure& failure) {
    fuzz::RequireCleanFailure(failure, "in.cmx", true);
    return 0;
  }
  try {
    fuzz::Require(ParseCmx(CmxText(file), "again.cmx") == file, "written .cmx text reads back differently");
    fuzz::Require(ParseBcf(BcfBytes(file), "again.bcf") == file, "written .bcf bytes read back differently");
    for (const Skeleton& skeleton : file.skeletons) RestPose(MakeRig(skeleton));
  } catch (const Failure& failure) {
    fuzz::Fail("a file that was read fails again: " + failure.detail());
  }
  return 0;
}
