#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "model/skeleton.h"  // Vec3

namespace mervane {

// A 4x4 transform, column-major as glTF stores it: m[4 * column + row].
using Mat4 = std::array<double, 16>;
inline constexpr Mat4 kIdentity4{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
Mat4 Multiply(const Mat4& a, const Mat4& b);
Vec3 TransformPoint(const Mat4& m, const Vec3& p);
Vec3 TransformDirection(const Mat4& m, const Vec3& d);
// The inverse of a transform without projection (its last row 0 0 0 1);
// the identity for one that has no inverse.
Mat4 AffineInverse(const Mat4& m);
// A node's local transform from its parts, as glTF composes them: T * R * S,
// the rotation q (x y z w) normalised first.
Mat4 TrsMatrix(const std::array<double, 3>& t, const std::array<double, 4>& q, const std::array<double, 3>& s);

// What a glTF file may announce; more fails before anything is allocated
// for it. A modeller may split a skin's vertex into copies that differ in
// their normals only, so a mesh may hold more vertices than a skin; the
// skin's own limits apply once the copies are merged.
inline constexpr std::size_t kGltfVertexLimit = 65535;      // per mesh
inline constexpr std::size_t kGltfTriangleLimit = 32001;    // per mesh, as a skin's faces
inline constexpr std::size_t kGltfJointLimit = 256;         // per skin
// A node may place a mesh that others place too, each time a copy: the
// file as a whole holds at most sixteen meshes' worth.
inline constexpr std::size_t kGltfFileVertexLimit = 16 * kGltfVertexLimit;
inline constexpr std::size_t kGltfFileTriangleLimit = 16 * kGltfTriangleLimit;
inline constexpr int kGltfNestingLimit = 64;                // of the JSON text
inline constexpr std::uint64_t kGltfBufferLimit = std::uint64_t{1} << 30;  // bytes, all buffers together

// A node of the scene with its transform in the file's world space.
struct GltfNode {
  std::string name;
  int parent = -1;
  Mat4 world = kIdentity4;
  // The local transform as the file gives it, when as parts (not a matrix):
  // the rotation x y z w as stored (not normalised).
  bool has_parts = true;
  std::array<double, 3> translation{0, 0, 0}, scale{1, 1, 1};
  std::array<double, 4> rotation{0, 0, 0, 1};
};

// A mesh that a node of the scene places, as numbers. Positions and normals
// are at rest in the file's own world space (right-handed, +Y up): each
// vertex skinned by the file's joints and inverse bind matrices, so that a
// modeller that re-expresses its bones changes nothing here.
struct GltfMesh {
  std::string name;      // the node's name, else the mesh's
  std::string material;  // the name of the first primitive's material; may be empty
  bool has_normals = false, has_uvs = false, has_weights = false;
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;                   // unit length; empty without normals
  std::vector<std::array<double, 2>> uvs;      // as stored (origin top left); empty without
  std::vector<std::array<int, 4>> joints;      // the node of each influence; empty without weights
  std::vector<std::array<double, 4>> weights;  // as stored, 0 to 1
  std::vector<std::array<std::uint32_t, 3>> triangles;  // as wound in the file
};

// An animation channel as keys: the node it moves, what it moves, and its
// keys in seconds (rising), each value with 3 components for a translation
// or scale and 4 (x y z w) for a rotation. A cubic spline keeps only its
// values at the keys.
struct GltfChannel {
  int node = -1;
  enum class Path { Translation, Rotation, Scale } path = Path::Translation;
  bool step = false;  // STEP: each value holds until the next key
  std::vector<double> times;
  std::vector<std::array<double, 4>> values;
};
struct GltfAnimation {
  std::string name;  // the file's, else "animation N"
  std::vector<GltfChannel> channels;  // morph weights are left out
  // The game's own rotations Mervane wrote beside a rotation channel's keys,
  // by node name, one per key: what the keys stand for, to the last bit
  // and in the sign the game stored.
  std::map<std::string, std::vector<std::array<float, 4>>> stored;
};
// Keys one animation channel may have: a skill has at most this many frames.
inline constexpr std::size_t kGltfKeyLimit = 65536;

struct GltfDocument {
  std::vector<GltfAnimation> animations;
  std::vector<GltfNode> nodes;
  std::vector<GltfMesh> meshes;  // in the order of their nodes
  std::vector<int> joints;       // the first skin's joint nodes, in its order
  std::string skeleton;          // the skeleton the file says its skin is on ("adult"); may be empty
};

// Reads a .glb (by its "glTF" magic) or .gltf text, checking every
// reference before it is followed: accessors, buffer views, buffers, nodes,
// meshes, materials, textures, images, skins and animations each against
// what they refer to, ranges against the bytes, strides against their
// elements, indices against the vertices, joints against the skin, the node
// tree for cycles and second parents, every skin's joints for being in the
// scene, and every number read for being finite. External files (buffers
// only; images are not read) come from data: URIs or from files in folder
// (the file's own, with its separator, or "") and below: a URL, an
// absolute path or one that climbs out is refused, naming the URI.
// In a .glb only the first buffer may lack a URI (the BIN chunk); buffers
// announcing more than kGltfBufferLimit bytes in all are refused before
// any is read. name is the file's name, for failures. Throws Failure:
// error 62 for bytes that end early, 5 for what is not valid glTF or not a
// skin's material (naming the element), 6 for a value that is not finite,
// 9 for a reference past what it refers to and for buffers over the limit,
// 53 for a missing buffer file, 5 for an animation channel whose keys do
// not rise or whose values do not match its keys (naming the animation and
// the channel), 9 for more than kGltfKeyLimit keys, the vertex limit for a mesh over
// kGltfVertexLimit or meshes over kGltfFileVertexLimit in all, and 9 for
// triangles over kGltfTriangleLimit in a mesh or kGltfFileTriangleLimit
// in all.
GltfDocument ParseGltf(std::string_view bytes, std::string_view name, const std::string& folder);

}  // namespace mervane
