#include "scene/seams.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>

namespace mervane {
namespace {

// Welds vertices at the same position: each vertex's index of its first
// twin.
std::vector<int> WeldIds(std::span<const Point3> positions) {
  std::map<Point3, int> first;
  std::vector<int> ids(positions.size());
  for (std::size_t i = 0; i < positions.size(); ++i)
    ids[i] = first.try_emplace(positions[i], static_cast<int>(i)).first->second;
  return ids;
}

// A grid of cells the size of the distance: a point's neighbours within
// it are in its cell or the 26 around it.
class Grid {
 public:
  explicit Grid(float cell) : cell_(std::max(cell, 1e-6f)) {}
  void Add(const Point3& p) { cells_[Key(Cell(p))].push_back(p); }
  bool AnyWithin(const Point3& p, float distance) const {
    const auto c = Cell(p);
    const float squared = distance * distance;
    for (std::int64_t dx = -1; dx <= 1; ++dx)
      for (std::int64_t dy = -1; dy <= 1; ++dy)
        for (std::int64_t dz = -1; dz <= 1; ++dz) {
          const auto it = cells_.find(Key({c[0] + dx, c[1] + dy, c[2] + dz}));
          if (it == cells_.end()) continue;
          for (const Point3& q : it->second) {
            const float x = p[0] - q[0], y = p[1] - q[1], z = p[2] - q[2];
            if (x * x + y * y + z * z <= squared) return true;
          }
        }
    return false;
  }

 private:
  std::array<std::int64_t, 3> Cell(const Point3& p) const {
    return {static_cast<std::int64_t>(std::floor(p[0] / cell_)), static_cast<std::int64_t>(std::floor(p[1] / cell_)),
            static_cast<std::int64_t>(std::floor(p[2] / cell_))};
  }
  static std::uint64_t Key(const std::array<std::int64_t, 3>& c) {
    // 21 bits a coordinate: cells far apart may share a key, which only
    // costs a few more distance checks.
    auto part = [](std::int64_t v) { return static_cast<std::uint64_t>(v) & 0x1FFFFF; };
    return part(c[0]) | part(c[1]) << 21 | part(c[2]) << 42;
  }

  float cell_;
  std::unordered_map<std::uint64_t, std::vector<Point3>> cells_;
};

}  // namespace

std::vector<int> OpenEdgeVertices(const SeamPart& part) {
  const std::vector<int> ids = WeldIds(part.positions);
  const auto count = static_cast<int>(part.positions.size());
  std::map<std::pair<int, int>, int> uses;
  for (const Triangle& t : part.triangles) {
    if (std::any_of(t.begin(), t.end(), [&](int v) { return v < 0 || v >= count; })) continue;
    for (int k = 0; k < 3; ++k) {
      const int a = ids[static_cast<std::size_t>(t[k])], b = ids[static_cast<std::size_t>(t[(k + 1) % 3])];
      if (a != b) ++uses[std::minmax(a, b)];
    }
  }
  std::vector<bool> open_id(part.positions.size(), false);
  for (const auto& [edge, n] : uses)
    if (n == 1) open_id[static_cast<std::size_t>(edge.first)] = open_id[static_cast<std::size_t>(edge.second)] = true;
  std::vector<int> open;
  for (int v = 0; v < count; ++v)
    if (open_id[static_cast<std::size_t>(ids[static_cast<std::size_t>(v)])]) open.push_back(v);
  return open;
}

std::vector<std::vector<int>> SeamGaps(std::span<const SeamPart> parts, float distance) {
  distance = std::max(distance, 0.0f);
  std::vector<std::vector<int>> open;
  for (const SeamPart& part : parts) open.push_back(OpenEdgeVertices(part));
  std::vector<std::vector<int>> gaps(parts.size());
  for (std::size_t p = 0; p < parts.size(); ++p) {
    // The other parts' open edges; a handful of parts, so one grid each time.
    Grid others(distance);
    for (std::size_t q = 0; q < parts.size(); ++q)
      if (q != p)
        for (int v : open[q]) others.Add(parts[q].positions[static_cast<std::size_t>(v)]);
    for (int v : open[p])
      if (!others.AnyWithin(parts[p].positions[static_cast<std::size_t>(v)], distance)) gaps[p].push_back(v);
  }
  return gaps;
}

}  // namespace mervane
