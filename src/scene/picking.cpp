#include "scene/picking.h"

#include <cmath>

namespace mervane {
namespace {

Vec3 Minus(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 CrossOf(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

}  // namespace

std::optional<RayHit> FirstHit(std::span<const Vec3> positions, std::span<const std::array<int, 3>> triangles,
                               const Vec3& origin, const Vec3& direction) {
  std::optional<RayHit> first;
  for (std::size_t t = 0; t < triangles.size(); ++t) {
    bool inside = true;
    for (const int corner : triangles[t]) inside = inside && corner >= 0 && static_cast<std::size_t>(corner) < positions.size();
    if (!inside) continue;
    // Moller and Trumbore: the hit's barycentric u, v and its distance from
    // one determinant, without the triangle's plane.
    const Vec3& a = positions[static_cast<std::size_t>(triangles[t][0])];
    const Vec3 ab = Minus(positions[static_cast<std::size_t>(triangles[t][1])], a);
    const Vec3 ac = Minus(positions[static_cast<std::size_t>(triangles[t][2])], a);
    const Vec3 p = CrossOf(direction, ac);
    const double determinant = Dot(ab, p);
    // Relative to the sizes involved, so that a small model picks as well
    // as a large one; zero for a ray in the plane or a triangle without area.
    const double scale = std::sqrt(Dot(ab, ab) * Dot(direction, direction) * Dot(ac, ac));
    if (!(std::abs(determinant) > 1e-12 * scale)) continue;
    const Vec3 ao = Minus(origin, a);
    const double u = Dot(ao, p) / determinant;
    if (u < 0 || u > 1) continue;
    const Vec3 q = CrossOf(ao, ab);
    const double v = Dot(direction, q) / determinant;
    if (v < 0 || u + v > 1) continue;
    const double distance = Dot(ac, q) / determinant;
    if (distance < 0 || (first && distance >= first->distance)) continue;
    first = RayHit{static_cast<int>(t), distance};
  }
  return first;
}

}  // namespace mervane
