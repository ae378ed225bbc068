#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mervane {

// A skill's frame values, as a .cfp holds them once decoded: every
// position, then every rotation (x y z w, w last, as stored). A motion's
// frame k is at its offset + k.
struct Frames {
  std::vector<std::array<float, 3>> positions;
  std::vector<std::array<float, 4>> rotations;
};

// Decodes .cfp bytes holding position_count positions and rotation_count
// rotations: 3 * positions + 4 * rotations floats, planar (all position x,
// all y, all z, then the rotations' x, y, z and w blocks). Each value comes
// from a running value that starts at 0: byte 0xFF is followed by a float32
// that becomes it; 0xFE by a uint16 n, repeating it n + 1 times; any other
// byte c adds 3.9676e-10 * (c - 126)^3 * |c - 126|. name is the file's name
// for failures, which give the byte offset and the value reached: error 62
// when the bytes end before the values do, 5 for a repeat running past the
// last value or bytes left after it, 6 for a NaN or infinite value. Counts
// that no file of this size could hold fail before anything is allocated.
Frames ParseCfp(std::string_view bytes, std::uint32_t position_count, std::uint32_t rotation_count,
                std::string_view name);

// The .cfp bytes of the frames, in the order ParseCfp reads them: a full
// value first, then for each value a repeat while it stays within
// tolerance of the running value, else the nearest step if that lands
// within tolerance of it, else a full value. ParseCfp of the bytes gives
// every value back to within tolerance; with a tolerance of 0, as the very
// float32 given (a repeat or a step only where the reader's sum lands on
// it bit for bit). Values that are not finite are error 6.
inline constexpr double kCfpGameTolerance = 0.001;  // what the game's own files allow themselves
std::string CfpBytes(const Frames& frames, double tolerance = kCfpGameTolerance);

}  // namespace mervane
