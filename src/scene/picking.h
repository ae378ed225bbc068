#pragma once

#include <array>
#include <optional>
#include <span>

#include "model/skeleton.h"

namespace mervane {

// Which face of a drawn mesh lies under the cursor: plain geometry on the
// positions the view draws, so that it is tested without a GPU.

struct RayHit {
  int triangle = -1;    // index into the triangles given
  double distance = 0;  // along the ray, in lengths of its direction
};

// The triangle the ray from origin along direction meets first, in front
// of the origin (distance >= 0); either side of a triangle counts, as the
// views light both. A triangle with an index outside positions, or without
// area, is passed over; a ray grazing a triangle's plane meets nothing.
// nullopt when the ray meets none, or direction is zero.
std::optional<RayHit> FirstHit(std::span<const Vec3> positions, std::span<const std::array<int, 3>> triangles,
                               const Vec3& origin, const Vec3& direction);

}  // namespace mervane
