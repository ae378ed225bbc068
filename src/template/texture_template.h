#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "bitmap/bitmap.h"
#include "pose/skinning.h"

namespace mervane {

// Texture templates: where each face of a mesh lies on its bitmap, drawn
// as lines over the bitmap or a plain ground, so that a modder paints
// where the game will look. Texture coordinates are read as the game reads
// them: u = 0, v = 0 is the bitmap's top-left corner and v grows downwards.

// What a mesh dresses.
enum class PartKind { Body, Head, Hand };

// By the bones that hold the mesh's vertices (all its bones when none
// holds one), case ignored: HEAD alone is a head, hand and finger bones
// alone (L_HAND, R_HAND, L_FINGER0, R_FINGER0) a hand, anything else, or no
// bone at all, a body.
PartKind PartKindOf(const SkinMesh& mesh);

// The side of the square bitmap the game draws a part with: 256 for a
// body, 128 for a head, 64 for a hand.
int GameBitmapSide(PartKind kind);

// The sides a template may have; a larger one is of no use to the game.
inline constexpr int kMaxTemplateSide = 4096;

using Rgba = std::array<std::uint8_t, 4>;

struct TemplateOptions {
  // The bitmap under the lines; none: a plain ground.
  std::optional<Image> over;
  // The side of a square template (the bitmap is scaled to it).
  std::optional<int> size;
  Rgba ground{255, 255, 255, 255};
  // Laid over the area the faces cover, its alpha the share it takes, so
  // that the bitmap no face uses stands out.
  Rgba face{255, 214, 0, 56};
  // An edge two faces share, and one that only one face has: a seam where
  // the texture is cut, or the mesh's open border.
  Rgba edge{0, 150, 255, 255};
  Rgba seam{255, 0, 150, 255};
};

// The template of meshes, on one image: size x size when options.size is
// given, else the size of options.over, else the largest GameBitmapSide of
// the meshes' parts (256 for none). Its pixels are options.over's (scaled
// to the size) or the ground; each pixel whose centre a face covers is
// blended with the face colour; then every edge is drawn as a line one
// pixel wide, anti-aliased: in the seam colour when only one face has an
// edge between those two texture coordinates, else in the edge colour
// (seams on top). Faces whose three corners have the texture coordinates
// of another face's count once, so a part mapped twice (two halves on one
// area) draws as one. Pixels where nothing is drawn are the ground's
// exactly. Error 5 for a size outside 1..kMaxTemplateSide, or an
// options.over without pixels or whose pixels do not match its size.
Image TextureTemplate(std::span<const SkinMesh> meshes, const TemplateOptions& options);

// The face of mesh whose texture triangle holds the point u, v, read as a
// template draws it (u = 0, v = 0 the bitmap's top-left corner, v growing
// downwards, 1 the far side): the first such face in the mesh's order,
// edges and corners included, so that a point on an edge two faces share
// finds one of them. A face with a corner outside the texture coordinates,
// a coordinate that is not finite, or no area holds nothing; nullopt where
// no face lies. A template picks its faces under a cursor with this, so the
// face named is the one drawn there.
std::optional<int> FaceAtUv(const SkinMesh& mesh, double u, double v);

}  // namespace mervane
