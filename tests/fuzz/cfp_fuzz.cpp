// The .cfp decoder on any bytes, the first four giving the position and
// rotation counts (up to 4,095 each: a real skill's frames, and small enough
// to keep the runs fast); what it decodes is encoded and decoded again
// within 0.001.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "character_checks.h"
#include "frames/cfp.h"

using namespace mervane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint32_t positions = data[0] | std::uint32_t{data[1] & 0x0Fu} << 8;
  const std::uint32_t rotations = data[2] | std::uint32_t{data[3] & 0x0Fu} << 8;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 4), size - 4);
  Frames frames;
  try {
    frames = ParseCfp(bytes, positions, rotations, "in.cfp");
  } catch (const Failure& failure) {
    fuzz::RequireCleanFailure(failure, "in.cfp", false);
    return 0;
  }
  fuzz::Require(frames.positions.size() == positions && frames.rotations.size() == rotations, "counts differ");
  Frames back;
  try {
    back = ParseCfp(CfpBytes(frames), positions, rotations, "again.cfp");
  } catch (const Failure& failure) {
    fuzz::Fail("encoded frames fail to decode: " + failure.detail());
  }
  auto near = [](const auto& a, const auto& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
      for (std::size_t k = 0; k < a[i].size(); ++k)
        if (!(std::fabs(a[i][k] - b[i][k]) <= 0.001)) return false;
    return true;
  };
  fuzz::Require(near(frames.positions, back.positions) && near(frames.rotations, back.rotations),
                "encoded frames come back further than 0.001");
  return 0;
}
