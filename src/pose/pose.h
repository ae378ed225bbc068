#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "character/character.h"
#include "frames/cfp.h"
#include "model/skeleton.h"  // Vec3

namespace mervane {

// The game's posing math. A rotation is stored x y z w and applied
// conjugated: (-x, -y, -z, w) in the usual formulas. World transforms compose
// parent first: Pw = Pw(parent) + Rw(parent) * pos, Rw = Rw(parent) * R(q).
// Everything here is in the game's own axes (left-handed, +Y up, the Sim
// facing +Z); computed in double.

struct Quat {
  double x = 0, y = 0, z = 0, w = 1;  // as stored
};

// A rotation matrix, row-major: m[3 * row + column].
struct Mat3 {
  std::array<double, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Vec3 operator*(const Vec3& v) const {
    return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
            m[6] * v.x + m[7] * v.y + m[8] * v.z};
  }
  Mat3 operator*(const Mat3& o) const;
};

// The matrix a stored rotation applies: that of its conjugate, taken as it
// is (w² + x² - y² - z² on the diagonal and so on), not normalised; a
// rotation a little off unit length scales by its length squared, as in the
// game.
Mat3 RotationMatrix(const Quat& q);

// The stored quaternion of unit length whose RotationMatrix is the rotation
// r, found the numerically stable way (Shepperd's) for every turn.
Quat StoredRotation(const Mat3& r);

// Where a bone is in the world: a point p of the bone lands at
// position + rotation * p.
struct BoneTransform {
  Vec3 position;
  Mat3 rotation;
  Vec3 Apply(const Vec3& p) const {
    const Vec3 r = rotation * p;
    return {position.x + r.x, position.y + r.y, position.z + r.z};
  }
};

// The same as a column-major 4x4 float matrix, as shaders take it.
std::array<float, 16> BoneMatrix(const BoneTransform& transform);

// A skeleton made ready for posing. Bones keep the skeleton's order; order
// lists them parents first, which is the order poses are computed in.
struct Rig {
  std::string name;
  std::vector<std::string> bone_names;
  std::vector<int> parents;  // index into bone_names; -1 for a root
  std::vector<int> order;
  std::vector<Vec3> rest_positions;  // local, as stored
  std::vector<Quat> rest_rotations;

  // The index of the bone of that name (case ignored), or -1.
  int Find(std::string_view bone_name) const;
  int size() const { return static_cast<int>(bone_names.size()); }
};

// The rig of a skeleton; fails as CheckSkeleton.
Rig MakeRig(const Skeleton& skeleton);

// World transforms, indexed like the rig's bones.
using Pose = std::vector<BoneTransform>;

// A skill bound to a rig and its decoded frames: each motion's bone found
// in the rig and its offsets checked against the frames.
struct Animation {
  struct Channel {
    int bone = 0;
    int frames = 0;
    int position_offset = -1;  // -1: the bone keeps its rest position
    int rotation_offset = -1;  // -1: the bone keeps its rest rotation
  };
  std::string name;
  std::vector<Channel> channels;
  int frame_count = 0;  // the most frames of any motion
  Frames frames;
};

// Frames run at 30 a second.
inline constexpr double kFramesPerSecond = 30.0;

// Binds the skill's motions to the rig's bones. Error 5 naming the skill and
// the motion when a motion names a bone the rig lacks, or when a used
// offset plus the motion's frames reaches past the frames (or is negative).
Animation MakeAnimation(const Rig& rig, const Skill& skill, Frames frames);

// The world transforms of every bone at rest.
Pose RestPose(const Rig& rig);

// The world transforms at a frame of the animation, counted from 0; a
// fractional frame interpolates between its two neighbours (positions
// lerped, rotations slerped along the shorter arc). A frame outside a
// motion's 0 to frames - 1 takes the nearest end. out is resized to the
// rig; reusing it spares the allocation.
void AnimatedPose(const Rig& rig, const Animation& animation, double frame, Pose& out);

// The pose every posed picture shows (the character view, --pose, the
// exported character's first frame): the animation's at frame, or the rest
// pose when animation is null. out as AnimatedPose.
void PoseAt(const Rig& rig, const Animation* animation, double frame, Pose& out);

}  // namespace mervane
