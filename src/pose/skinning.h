#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/model.h"
#include "pose/pose.h"

namespace mervane {

// A mesh as numbers, built once from the model's text lines. The first
// bound_count vertices (the texture-vertex count) are bound: each moves
// with its bone, and faces and texture vertices index them. The others are
// blended: blended vertex bound_count + i moves with its own bone, and
// then pulls blends[i].target towards it by blends[i].weight.
struct SkinMesh {
  std::string name;     // the model's MeshName
  std::string texture;  // the model's TextureName (a bitmap's base name)
  std::vector<std::string> bone_names;
  int bound_count = 0;
  std::vector<Vec3> positions;  // every vertex, in its bone's space
  std::vector<Vec3> normals;
  std::vector<int> vertex_bones;  // index into bone_names, per vertex
  std::vector<std::array<double, 2>> uvs;  // per bound vertex, u v as stored
  std::vector<std::array<int, 3>> faces;   // bound vertex indices, as stored
  struct Blend {
    int target = 0;       // a bound vertex
    double weight = 0;    // the stored weight / 32768
  };
  std::vector<Blend> blends;  // one per blended vertex
};

// The numeric view of a model. Each binding line (bone, first vertex,
// count, first blended, blended count) gives its bone a range of bound
// vertices and one of blended vertices (counted from the first blended).
// Error 5 naming the mesh and the element for a line that does not read as
// numbers, a vertex no bone or two bones claim, or a blend weight outside
// 0 to 32768; error 9 for a range, face corner or blend target outside the
// vertices it indexes.
SkinMesh MakeSkinMesh(const SkinModel& model);

// A mesh dressed on a rig: the rig's bone for each of the mesh's bones.
struct DressedMesh {
  SkinMesh mesh;
  std::vector<int> rig_bones;  // per mesh bone
};

// Dresses meshes on one rig, matching bone names with case ignored. A mesh
// bone the rig lacks is error 5 naming the mesh and the bone.
std::vector<DressedMesh> Dress(const Rig& rig, std::vector<SkinMesh> meshes);

// A mesh's bound vertices placed in the world.
struct SkinnedMesh {
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;  // as long as the file's, unit length where blended
};

// Skins a dressed mesh on a pose of its rig: each vertex at its bone's
// transform (normals by its rotation), then each blend entry in order moves
// its target to (1 - w) * target + w * blended, normals likewise and then
// normalised (other normals keep the file's length, as the game's do). out
// is resized; reusing it spares the allocations.
void Skin(const DressedMesh& mesh, const Pose& pose, SkinnedMesh& out);

// What a vertex shader needs to skin one bound vertex, by rig bone: its
// bone and place in that bone's space, and the blend that pulls it, if any
// (blend_bone -1 when none). Skinning with these and Skin agree; a vertex
// that several blend entries target (which the game's meshes do not do)
// keeps the last.
struct VertexBinding {
  int bone = 0;
  Vec3 position, normal;
  int blend_bone = -1;
  Vec3 blend_position, blend_normal;
  double blend_weight = 0;
};
std::vector<VertexBinding> VertexBindings(const DressedMesh& mesh);

}  // namespace mervane
