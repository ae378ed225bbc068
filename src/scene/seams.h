#pragma once

#include <array>
#include <span>
#include <vector>

namespace mervane {

// The gaps between the parts of a dressed character: the open (border)
// edge vertices of each part that no other part's open edge comes near.
// Plain numbers, so that it runs on whatever the preview draws at a frame.

using Point3 = std::array<float, 3>;
using Triangle = std::array<int, 3>;

// One part as drawn: its vertices' positions and its triangles (indices
// into positions; a triangle with an index outside them is skipped).
struct SeamPart {
  std::span<const Point3> positions;
  std::span<const Triangle> triangles;
};

// The vertices of part that lie on an open edge: an edge that exactly one
// triangle uses. Vertices at the same position count as one (meshes split
// vertices where their texture coordinates change, which is no border),
// and each of them is listed. Sorted, no repeats.
std::vector<int> OpenEdgeVertices(const SeamPart& part);

// For each part, the open edge vertices farther than distance from every
// open edge vertex of all other parts: the gaps a modder must close. A part
// alone has every open edge vertex listed. Sorted per part; distance < 0
// counts as 0.
std::vector<std::vector<int>> SeamGaps(std::span<const SeamPart> parts, float distance);

}  // namespace mervane
