#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"
#include "model/skeleton.h"

namespace mervane {

Vec3 PositionToWorld(LimbClass limb, Vec3 local, Vec3 offset);
Vec3 NormalToWorld(LimbClass limb, Vec3 local);
Vec3 PositionToLocal(LimbClass limb, Vec3 world, Vec3 offset);
Vec3 NormalToLocal(LimbClass limb, Vec3 world);

// The vertex range a binding line gives its bone. The line needs five
// fields (error 5); a range outside the line tables is error 9.
struct BoneRange {
  int first = 0;
  int count = 0;  // 0 when the line gives 0 or less
  int end() const { return first + count; }
};
BoneRange ParseBindingLine(std::string_view line);

// Reads "x y z" as written by FormatCoord; fewer than three numbers is error 5.
Vec3 ParseTriple(std::string_view text, const char* what);

// The bone's offset: the skeleton's for a bone it knows, else the model's.
Vec3 BoneOffset(const SkinModel& model, int bone);

// The model's non-blended vertices assembled in world space, bone by bone,
// exactly as the project's .obj holds them.
struct WorldVertex {
  int index;  // model vertex
  Vec3 position;
  Vec3 normal;
};
struct WorldBone {
  int bone = 0;
  LimbClass limb = LimbClass::Body;
  std::vector<WorldVertex> vertices;
};
// Hands each bone with its vertices to visit, in bone order; the bone's
// storage is reused for the next, so that memory holds one bone, not the
// body. Failures as ParseBindingLine and ParseTriple; a range reaching an
// empty vertex or normal line is error 5; ranges that together hold more
// than 31999 vertices are the vertex limit, found before any bone is visited.
void ForEachWorldBone(const SkinModel& model, const std::function<void(const WorldBone&)>& visit);

// The whole model in world space, for drawing: indexed like the model's
// vertices, so the faces index it directly. Only vertices in some bone's
// range have a position; blended vertices have none and are not drawn.
struct WorldMesh {
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;
  std::vector<std::array<float, 2>> uvs;  // V flipped, as the .obj holds it
  std::vector<bool> placed;
  std::vector<std::array<int, 3>> triangles;  // faces whose corners are all placed
  std::vector<int> faces;                     // the model's face each triangle draws
};
WorldMesh BuildWorldMesh(const SkinModel& model);

// Where each model bone that the skeleton knows has its origin in world
// space, and the origin of its parent there, if the model has that bone too.
struct BoneMarker {
  std::string name;
  Vec3 origin;
  std::optional<Vec3> parent_origin;
};
std::vector<BoneMarker> BuildBoneMarkers(const SkinModel& model);

}  // namespace mervane
