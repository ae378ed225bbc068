#include "template/texture_template.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "model/failure.h"
#include "model/paths.h"

namespace mervane {
namespace {

struct Point {
  double x, y;
  auto operator<=>(const Point&) const = default;
};

using Triangle = std::array<Point, 3>;
using Edge = std::array<Point, 2>;

bool IsHandBone(std::string_view upper) {
  return upper == "L_HAND" || upper == "R_HAND" || upper == "L_FINGER0" || upper == "R_FINGER0";
}

void CheckOver(const Image& image) {
  if (image.width < 1 || image.height < 1 ||
      image.rgba.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4)
    throw Failure::Error(err::kInvalidArgument, "the bitmap under a template (" + std::to_string(image.width) +
                                                    " x " + std::to_string(image.height) + " pixels, " +
                                                    std::to_string(image.rgba.size()) + " bytes) has no pixels to show");
}

// The ground: the bitmap at the template's size, or the plain colour.
Image Ground(std::span<const SkinMesh> meshes, const TemplateOptions& options) {
  if (options.size && (*options.size < 1 || *options.size > kMaxTemplateSide))
    throw Failure::Error(err::kInvalidArgument, "a template of " + std::to_string(*options.size) +
                                                    " pixels a side is outside 1 to " +
                                                    std::to_string(kMaxTemplateSide));
  if (options.over) {
    CheckOver(*options.over);
    const int width = options.size.value_or(options.over->width), height = options.size.value_or(options.over->height);
    if (width == options.over->width && height == options.over->height) return *options.over;
    return ScaleImage(*options.over, width, height);
  }
  int side = 0;
  for (const SkinMesh& mesh : meshes) side = std::max(side, GameBitmapSide(PartKindOf(mesh)));
  side = options.size.value_or(side > 0 ? side : GameBitmapSide(PartKind::Body));
  Image ground{side, side, {}};
  ground.rgba.reserve(static_cast<std::size_t>(side) * static_cast<std::size_t>(side) * 4);
  for (int p = 0; p < side * side; ++p) ground.rgba.insert(ground.rgba.end(), options.ground.begin(), options.ground.end());
  return ground;
}

// The faces in pixel units (a pixel's centre at +0.5), each texture
// triangle once, its corners sorted so that a face mapped again in another
// order is the same.
std::vector<Triangle> UniqueTriangles(std::span<const SkinMesh> meshes, int width, int height) {
  std::set<Triangle> triangles;
  for (const SkinMesh& mesh : meshes)
    for (const auto& face : mesh.faces) {
      Triangle t;
      bool inside = true;
      for (int k = 0; k < 3; ++k) {
        const int v = face[static_cast<std::size_t>(k)];
        inside = inside && v >= 0 && static_cast<std::size_t>(v) < mesh.uvs.size();
        if (!inside) break;
        const auto& uv = mesh.uvs[static_cast<std::size_t>(v)];
        inside = std::isfinite(uv[0]) && std::isfinite(uv[1]);
        if (!inside) break;
        t[static_cast<std::size_t>(k)] = {uv[0] * width, uv[1] * height};
      }
      if (!inside) continue;
      std::sort(t.begin(), t.end());
      triangles.insert(t);
    }
  return {triangles.begin(), triangles.end()};
}

// A pixel index for a coordinate, clamped in floating point first, so that
// coordinates far outside the bitmap never overflow an int.
int Index(double coordinate, int low, int high) {
  return static_cast<int>(std::clamp(coordinate, static_cast<double>(low), static_cast<double>(high)));
}

// Twice the signed area of a, b, c: which side of a-b the point c is on.
double Cross(Point a, Point b, Point c) { return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x); }

// Marks each pixel whose centre the triangle covers, its edges included.
void Fill(const Triangle& t, int width, int height, std::vector<std::uint8_t>& covered) {
  const double area = Cross(t[0], t[1], t[2]);
  if (area == 0) return;
  const auto [min_x, max_x] = std::minmax({t[0].x, t[1].x, t[2].x});
  const auto [min_y, max_y] = std::minmax({t[0].y, t[1].y, t[2].y});
  const int x0 = Index(std::floor(min_x), 0, width - 1), x1 = Index(std::ceil(max_x), 0, width - 1);
  const int y0 = Index(std::floor(min_y), 0, height - 1), y1 = Index(std::ceil(max_y), 0, height - 1);
  const double sign = area > 0 ? 1 : -1;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const Point c{x + 0.5, y + 0.5};
      if (sign * Cross(t[0], t[1], c) >= 0 && sign * Cross(t[1], t[2], c) >= 0 && sign * Cross(t[2], t[0], c) >= 0)
        covered[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = 1;
    }
}

double DistanceToSegment(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  const double t = length2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// A line one pixel wide: each pixel takes 1 minus its centre's distance
// from the segment, the strongest of the lines through it. Walks the
// segment's longer axis and looks a few pixels either side, so a long edge
// costs its length, not its bounding box.
void Stroke(const Edge& edge, int width, int height, std::vector<float>& coverage) {
  const auto [a, b] = edge;
  const bool steep = std::abs(b.y - a.y) > std::abs(b.x - a.x);
  const double a_major = steep ? a.y : a.x, b_major = steep ? b.y : b.x;
  const double a_minor = steep ? a.x : a.y, b_minor = steep ? b.x : b.y;
  const int major_limit = steep ? height : width, minor_limit = steep ? width : height;
  const int first = Index(std::floor(std::min(a_major, b_major)) - 1, 0, major_limit - 1);
  const int last = Index(std::ceil(std::max(a_major, b_major)) + 1, 0, major_limit - 1);
  for (int m = first; m <= last; ++m) {
    const double span = b_major - a_major;
    const double t = span != 0 ? std::clamp((m + 0.5 - a_major) / span, 0.0, 1.0) : 0.0;
    const int centre = Index(std::floor(a_minor + t * (b_minor - a_minor)), -3, minor_limit + 2);
    for (int n = std::max(0, centre - 2); n <= std::min(minor_limit - 1, centre + 2); ++n) {
      const int x = steep ? n : m, y = steep ? m : n;
      const double strength = 1 - DistanceToSegment({x + 0.5, y + 0.5}, a, b);
      float& pixel = coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
      if (strength > pixel) pixel = static_cast<float>(strength);
    }
  }
}

// Lays colour over the pixel at share (0: unchanged, 1: the colour).
void Blend(std::uint8_t* pixel, const Rgba& colour, double share) {
  if (share <= 0) return;
  for (int c = 0; c < 3; ++c)
    pixel[c] = static_cast<std::uint8_t>(std::lround(pixel[c] + (colour[static_cast<std::size_t>(c)] - pixel[c]) * share));
  pixel[3] = static_cast<std::uint8_t>(std::lround(pixel[3] + (255 - pixel[3]) * share));
}

}  // namespace

PartKind PartKindOf(const SkinMesh& mesh) {
  std::vector<bool> holds(mesh.bone_names.size(), false);
  bool any = false;
  for (std::size_t v = 0; v < mesh.vertex_bones.size() && v < static_cast<std::size_t>(mesh.bound_count); ++v)
    if (const int bone = mesh.vertex_bones[v]; bone >= 0 && static_cast<std::size_t>(bone) < holds.size())
      holds[static_cast<std::size_t>(bone)] = any = true;
  bool head = false, hand = false, other = false;
  for (std::size_t b = 0; b < mesh.bone_names.size(); ++b) {
    if (any && !holds[b]) continue;
    const std::string upper = ToUpperAscii(mesh.bone_names[b]);
    if (upper == "HEAD")
      head = true;
    else if (IsHandBone(upper))
      hand = true;
    else
      other = true;
  }
  if (head && !hand && !other) return PartKind::Head;
  if (hand && !head && !other) return PartKind::Hand;
  return PartKind::Body;
}

int GameBitmapSide(PartKind kind) {
  switch (kind) {
    case PartKind::Head: return 128;
    case PartKind::Hand: return 64;
    case PartKind::Body: break;
  }
  return 256;
}

Image TextureTemplate(std::span<const SkinMesh> meshes, const TemplateOptions& options) {
  Image image = Ground(meshes, options);
  const int width = image.width, height = image.height;
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);

  const std::vector<Triangle> triangles = UniqueTriangles(meshes, width, height);
  std::vector<std::uint8_t> covered(pixels, 0);
  std::vector<Edge> edges;
  for (const Triangle& t : triangles) {
    Fill(t, width, height, covered);
    for (int k = 0; k < 3; ++k) {
      Edge e{t[static_cast<std::size_t>(k)], t[static_cast<std::size_t>((k + 1) % 3)]};
      if (e[0] == e[1]) continue;
      if (e[1] < e[0]) std::swap(e[0], e[1]);
      edges.push_back(e);
    }
  }
  // An edge listed once belongs to one face only.
  std::sort(edges.begin(), edges.end());
  std::vector<float> shared(pixels, 0), open(pixels, 0);
  for (std::size_t i = 0; i < edges.size();) {
    std::size_t j = i;
    while (j < edges.size() && edges[j] == edges[i]) ++j;
    Stroke(edges[i], width, height, j - i == 1 ? open : shared);
    i = j;
  }

  for (std::size_t p = 0; p < pixels; ++p) {
    std::uint8_t* pixel = &image.rgba[4 * p];
    if (covered[p]) Blend(pixel, options.face, options.face[3] / 255.0);
    Blend(pixel, options.edge, shared[p] * options.edge[3] / 255.0);
    Blend(pixel, options.seam, open[p] * options.seam[3] / 255.0);
  }
  return image;
}

std::optional<int> FaceAtUv(const SkinMesh& mesh, double u, double v) {
  const Point p{u, v};
  for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
    Triangle t;
    bool usable = true;
    for (std::size_t k = 0; k < 3 && usable; ++k) {
      const int corner = mesh.faces[f][k];
      usable = corner >= 0 && static_cast<std::size_t>(corner) < mesh.uvs.size();
      if (!usable) break;
      const auto& uv = mesh.uvs[static_cast<std::size_t>(corner)];
      usable = std::isfinite(uv[0]) && std::isfinite(uv[1]);
      t[k] = {uv[0], uv[1]};
    }
    if (!usable) continue;
    const double area = Cross(t[0], t[1], t[2]);
    if (area == 0) continue;
    // Inside, or on an edge, when p is on the same side of every edge as
    // the third corner, whichever way the face winds.
    const double sign = area > 0 ? 1 : -1;
    if (sign * Cross(t[0], t[1], p) >= 0 && sign * Cross(t[1], t[2], p) >= 0 && sign * Cross(t[2], t[0], p) >= 0)
      return static_cast<int>(f);
  }
  return std::nullopt;
}

}  // namespace mervane
