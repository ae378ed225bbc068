#include "pose/pose.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "model/failure.h"
#include "model/paths.h"

namespace mervane {
namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

Quat ToQuat(const std::array<float, 4>& q) { return {q[0], q[1], q[2], q[3]}; }
Vec3 ToVec(const std::array<float, 3>& v) { return {v[0], v[1], v[2]}; }

Vec3 Lerp(const Vec3& a, const Vec3& b, double t) {
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

// Along the shorter arc; nearly equal rotations are lerped, which is then exact enough.
Quat Slerp(const Quat& a, Quat b, double t) {
  double dot = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
  if (dot < 0) {
    b = {-b.x, -b.y, -b.z, -b.w};
    dot = -dot;
  }
  double wa = 1 - t, wb = t;
  if (dot < 0.9995) {
    const double angle = std::acos(std::min(dot, 1.0));
    const double sine = std::sin(angle);
    wa = std::sin((1 - t) * angle) / sine;
    wb = std::sin(t * angle) / sine;
  }
  return {wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w};
}

// A motion's value at a frame: its two neighbours' blend.
struct Sample {
  int first, second;
  double t;
};
Sample SampleAt(double frame, int frames) {
  if (!(frame > 0)) return {0, 0, 0};  // also NaN
  const double last = frames - 1;
  if (frame >= last) return {frames - 1, frames - 1, 0};
  const int first = static_cast<int>(frame);
  return {first, first + 1, frame - first};
}

void Compose(const Rig& rig, const std::vector<Vec3>& positions, const std::vector<Quat>& rotations, Pose& out) {
  out.resize(rig.bone_names.size());
  for (const int i : rig.order) {
    const std::size_t b = static_cast<std::size_t>(i);
    const Mat3 local = RotationMatrix(rotations[b]);
    const int parent = rig.parents[b];
    if (parent < 0) {
      out[b] = {positions[b], local};
    } else {
      const BoneTransform& p = out[static_cast<std::size_t>(parent)];
      out[b] = {p.Apply(positions[b]), p.rotation * local};
    }
  }
}

}  // namespace

Mat3 Mat3::operator*(const Mat3& o) const {
  Mat3 r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      r.m[3 * i + j] = m[3 * i] * o.m[j] + m[3 * i + 1] * o.m[3 + j] + m[3 * i + 2] * o.m[6 + j];
  return r;
}

Mat3 RotationMatrix(const Quat& q) {
  // The conjugate, in the form whose diagonal is w² ± x² ± y² ± z²: decoded
  // frames are a little off unit length, and the game uses them as they are.
  const double x = -q.x, y = -q.y, z = -q.z, w = q.w;
  const double xx = x * x, yy = y * y, zz = z * z, ww = w * w;
  return {{ww + xx - yy - zz, 2 * (x * y - z * w), 2 * (x * z + y * w),
           2 * (x * y + z * w), ww - xx + yy - zz, 2 * (y * z - x * w),
           2 * (x * z - y * w), 2 * (y * z + x * w), ww - xx - yy + zz}};
}

Quat StoredRotation(const Mat3& r) {
  // The rotation's own quaternion, from whichever of the trace or the
  // largest diagonal entry keeps the square root away from zero; the game
  // stores its conjugate.
  const auto& m = r.m;
  double x, y, z, w;
  const double trace = m[0] + m[4] + m[8];
  if (trace > 0) {
    const double s = 2 * std::sqrt(1 + trace);
    w = s / 4, x = (m[7] - m[5]) / s, y = (m[2] - m[6]) / s, z = (m[3] - m[1]) / s;
  } else if (m[0] > m[4] && m[0] > m[8]) {
    const double s = 2 * std::sqrt(1 + m[0] - m[4] - m[8]);
    w = (m[7] - m[5]) / s, x = s / 4, y = (m[1] + m[3]) / s, z = (m[2] + m[6]) / s;
  } else if (m[4] > m[8]) {
    const double s = 2 * std::sqrt(1 + m[4] - m[0] - m[8]);
    w = (m[2] - m[6]) / s, x = (m[1] + m[3]) / s, y = s / 4, z = (m[5] + m[7]) / s;
  } else {
    const double s = 2 * std::sqrt(1 + m[8] - m[0] - m[4]);
    w = (m[3] - m[1]) / s, x = (m[2] + m[6]) / s, y = (m[5] + m[7]) / s, z = s / 4;
  }
  return {-x, -y, -z, w};
}

std::array<float, 16> BoneMatrix(const BoneTransform& t) {
  const auto& m = t.rotation.m;
  auto f = [](double v) { return static_cast<float>(v); };
  return {f(m[0]), f(m[3]), f(m[6]), 0, f(m[1]), f(m[4]), f(m[7]), 0,
          f(m[2]), f(m[5]), f(m[8]), 0, f(t.position.x), f(t.position.y), f(t.position.z), 1};
}

int Rig::Find(std::string_view bone_name) const {
  for (std::size_t i = 0; i < bone_names.size(); ++i)
    if (SameIgnoringCase(bone_names[i], bone_name)) return static_cast<int>(i);
  return -1;
}

Rig MakeRig(const Skeleton& skeleton) {
  CheckSkeleton(skeleton);
  Rig rig;
  rig.name = skeleton.name;
  const std::size_t count = skeleton.bones.size();
  std::unordered_map<std::string, int> by_name;
  for (std::size_t i = 0; i < count; ++i) {
    const Bone& bone = skeleton.bones[i];
    rig.bone_names.push_back(bone.name);
    rig.rest_positions.push_back(ToVec(bone.position));
    rig.rest_rotations.push_back(ToQuat(bone.rotation));
    by_name.emplace(ToLowerAscii(bone.name), static_cast<int>(i));
  }
  for (const Bone& bone : skeleton.bones)
    rig.parents.push_back(bone.parent == kNoParent ? -1 : by_name.at(ToLowerAscii(bone.parent)));
  // Parents first: each bone after the chain above it, which CheckSkeleton
  // has found free of cycles.
  std::vector<bool> placed(count);
  std::vector<int> chain;
  for (std::size_t i = 0; i < count; ++i) {
    for (int at = static_cast<int>(i); at >= 0 && !placed[static_cast<std::size_t>(at)];
         at = rig.parents[static_cast<std::size_t>(at)])
      chain.push_back(at);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      placed[static_cast<std::size_t>(*it)] = true;
      rig.order.push_back(*it);
    }
    chain.clear();
  }
  return rig;
}

Animation MakeAnimation(const Rig& rig, const Skill& skill, Frames frames) {
  Animation animation;
  animation.name = skill.name;
  for (std::size_t m = 0; m < skill.motions.size(); ++m) {
    const Motion& motion = skill.motions[m];
    auto fail = [&](const std::string& why) {
      return std::move(Failure::Error(err::kInvalidArgument, why)
                           .About(Counted("motion", static_cast<long>(m)) + " (bone " + motion.bone_name +
                                  ") of skill " + skill.name));
    };
    Animation::Channel channel;
    channel.bone = rig.Find(motion.bone_name);
    if (channel.bone < 0) throw fail("the skeleton " + rig.name + " has no bone " + motion.bone_name);
    if (motion.frames == 0) continue;
    if (motion.frames > static_cast<std::uint32_t>(std::numeric_limits<int>::max()))
      throw fail(std::to_string(motion.frames) + " frames are more than any frames hold");
    channel.frames = static_cast<int>(motion.frames);
    auto offset = [&](std::uint32_t used, std::int32_t offset, std::size_t available, const char* what) {
      if (!used) return -1;
      if (offset < 0 || static_cast<std::uint64_t>(offset) + motion.frames > available)
        throw fail(std::string("its ") + what + " at " + std::to_string(offset) + " for " +
                   std::to_string(motion.frames) + " frames reach past the " + std::to_string(available) +
                   " " + what + " of the frames");
      return static_cast<int>(offset);
    };
    channel.position_offset = offset(motion.uses_positions, motion.position_offset, frames.positions.size(), "positions");
    channel.rotation_offset = offset(motion.uses_rotations, motion.rotation_offset, frames.rotations.size(), "rotations");
    animation.frame_count = std::max(animation.frame_count, channel.frames);
    animation.channels.push_back(channel);
  }
  animation.frames = std::move(frames);
  return animation;
}

Pose RestPose(const Rig& rig) {
  Pose pose;
  Compose(rig, rig.rest_positions, rig.rest_rotations, pose);
  return pose;
}

void PoseAt(const Rig& rig, const Animation* animation, double frame, Pose& out) {
  if (animation)
    AnimatedPose(rig, *animation, frame, out);
  else
    Compose(rig, rig.rest_positions, rig.rest_rotations, out);
}

void AnimatedPose(const Rig& rig, const Animation& animation, double frame, Pose& out) {
  std::vector<Vec3> positions = rig.rest_positions;
  std::vector<Quat> rotations = rig.rest_rotations;
  for (const Animation::Channel& channel : animation.channels) {
    const Sample s = SampleAt(frame, channel.frames);
    const auto b = static_cast<std::size_t>(channel.bone);
    if (channel.position_offset >= 0) {
      const auto& p = animation.frames.positions;
      positions[b] = Lerp(ToVec(p[static_cast<std::size_t>(channel.position_offset + s.first)]),
                          ToVec(p[static_cast<std::size_t>(channel.position_offset + s.second)]), s.t);
    }
    if (channel.rotation_offset >= 0) {
      const auto& r = animation.frames.rotations;
      rotations[b] = Slerp(ToQuat(r[static_cast<std::size_t>(channel.rotation_offset + s.first)]),
                           ToQuat(r[static_cast<std::size_t>(channel.rotation_offset + s.second)]), s.t);
    }
  }
  Compose(rig, positions, rotations, out);
}

}  // namespace mervane
