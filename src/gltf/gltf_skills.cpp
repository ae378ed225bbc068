#include "gltf/gltf_skills.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

#include "gltf/glb.h"
#include "model/failure.h"
#include "model/paths.h"

namespace mervane {
namespace {

using Value = std::array<double, 4>;
using Path = GltfChannel::Path;

constexpr double kKeyTime = 1e-4;      // seconds: a key this near a frame is that frame's
constexpr double kScaleSlack = 0.05;   // a scale this near 1 is a rotation's length, squared
constexpr double kMoved = 1e-5;        // a translation this near rest stays at rest

Value Slerp(const Value& a, Value b, double f) {
  double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
  if (dot < 0) {
    for (double& e : b) e = -e;
    dot = -dot;
  }
  double wa = 1 - f, wb = f;
  if (dot < 0.9995) {
    const double angle = std::acos(std::min(1.0, dot));
    wa = std::sin((1 - f) * angle) / std::sin(angle);
    wb = std::sin(f * angle) / std::sin(angle);
  }
  Value out;
  for (std::size_t e = 0; e < 4; ++e) out[e] = wa * a[e] + wb * b[e];
  return out;
}

// The channel's value at time t, and the key it is as stored (-1 when
// between keys).
struct Sampled {
  Value value;
  int key = -1;
};
Sampled Sample(const GltfChannel& channel, double t) {
  const auto& times = channel.times;
  const auto after = std::upper_bound(times.begin(), times.end(), t);
  const auto k = static_cast<std::size_t>(after - times.begin());
  if (k > 0 && std::abs(times[k - 1] - t) <= kKeyTime) return {channel.values[k - 1], static_cast<int>(k - 1)};
  if (k < times.size() && std::abs(times[k] - t) <= kKeyTime) return {channel.values[k], static_cast<int>(k)};
  if (k == 0) return {channel.values.front()};
  if (k == times.size()) return {channel.values.back()};
  if (channel.step) return {channel.values[k - 1]};
  const double f = (t - times[k - 1]) / (times[k] - times[k - 1]);
  if (channel.path == Path::Rotation) return {Slerp(channel.values[k - 1], channel.values[k], f)};
  Value out;
  for (std::size_t e = 0; e < 4; ++e) out[e] = channel.values[k - 1][e] + f * (channel.values[k][e] - channel.values[k - 1][e]);
  return {out};
}

// The stored rotation a glTF rotation and scale stand for: the mirrored
// quaternion, its length the square root of the scale.
std::array<float, 4> StoredRotation(const Value& unit, double scale) {
  const double length = std::sqrt(unit[0] * unit[0] + unit[1] * unit[1] + unit[2] * unit[2] + unit[3] * unit[3]);
  const double k = std::sqrt(scale) / (length > 0 ? length : 1);
  return {static_cast<float>(-unit[0] * k), static_cast<float>(unit[1] * k), static_cast<float>(unit[2] * k),
          static_cast<float>(unit[3] * k)};
}

// True when stored is what the writer turned into this key: the key was
// not changed since.
bool WritesAs(const std::array<float, 4>& stored, const Value& unit, double scale) {
  const GltfTurn turn = GltfRotation({stored[0], stored[1], stored[2], stored[3]});
  if (static_cast<float>(turn.scale) != static_cast<float>(scale)) return false;
  for (const double sign : {1.0, -1.0}) {
    bool all = true;
    for (std::size_t e = 0; e < 4; ++e) all = all && static_cast<float>(sign * turn.rotation[e]) == static_cast<float>(unit[e]);
    if (all) return true;
  }
  return false;
}

[[noreturn]] void Refuse(const GltfAnimation& animation, std::size_t channel, const std::string& why) {
  throw Failure::Error(err::kInvalidArgument,
                       "animation " + animation.name + ", channel " + std::to_string(channel) + " (counted from 0): " + why);
}

struct Driven {
  const GltfChannel* translation = nullptr;
  const GltfChannel* rotation = nullptr;
  const GltfChannel* scale = nullptr;
  const std::vector<std::array<float, 4>>* stored = nullptr;  // the game's values of the rotation keys
};

// A game transform (rotation scaled by the stored quaternion's length
// squared) in glTF's axes, and back: the x-mirror on both sides.
Mat4 MirroredMatrix(const Vec3& position, const Mat3& rotation) {
  Mat4 m = kIdentity4;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      m[static_cast<std::size_t>(4 * c + r)] = ((r == 0) != (c == 0) ? -1 : 1) * rotation.m[static_cast<std::size_t>(3 * r + c)];
  m[12] = -position.x, m[13] = position.y, m[14] = position.z;
  return m;
}

// The stored quaternion whose matrix (RotationMatrix) is the game-axes
// 3x3 part of m, a rotation scaled by its length squared.
Quat StoredOf(const Mat4& m) {
  auto at = [&](int r, int c) { return ((r == 0) != (c == 0) ? -1 : 1) * m[static_cast<std::size_t>(4 * c + r)]; };
  const double n = std::cbrt(at(0, 0) * (at(1, 1) * at(2, 2) - at(1, 2) * at(2, 1)) -
                             at(0, 1) * (at(1, 0) * at(2, 2) - at(1, 2) * at(2, 0)) +
                             at(0, 2) * (at(1, 0) * at(2, 1) - at(1, 1) * at(2, 0)));
  Mat3 unit;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) unit.m[static_cast<std::size_t>(3 * r + c)] = at(r, c) / n;
  const Quat q = StoredRotation(unit);
  const double length = std::sqrt(n);
  return {q.x * length, q.y * length, q.z * length, q.w * length};
}

// True when the file's joints are the rig's bones as the writer puts them:
// the same rest transforms, so that each channel is the bone's own. A
// modeller that re-expresses its bones (Blender turns them to point along
// their length) needs the world-space way instead.
bool JointsAreTheRigs(const GltfDocument& doc, const Rig& rig) {
  for (const int joint : doc.joints) {
    const GltfNode& node = doc.nodes[static_cast<std::size_t>(joint)];
    const int bone = rig.Find(node.name);
    if (bone < 0) continue;
    const auto b = static_cast<std::size_t>(bone);
    const Vec3 t = MirrorX(rig.rest_positions[b]);
    const GltfTurn turn = GltfRotation(rig.rest_rotations[b]);
    double same = 0, opposite = 0;
    for (std::size_t e = 0; e < 4; ++e) {
      same = std::max(same, std::abs(node.rotation[e] - turn.rotation[e]));
      opposite = std::max(opposite, std::abs(node.rotation[e] + turn.rotation[e]));
    }
    if (!node.has_parts || std::abs(node.translation[0] - t.x) > 1e-5 || std::abs(node.translation[1] - t.y) > 1e-5 ||
        std::abs(node.translation[2] - t.z) > 1e-5 || std::min(same, opposite) > 1e-5)
      return false;
  }
  return true;
}

// Each rig bone's local transform at a time, in the game's axes, through
// the world: a bone moves its mesh as its joint moves the file's, so its
// world is the joint's world times the joint's rest inverse times its own
// rest world; its local is that under its parent's.
class WorldWay {
 public:
  WorldWay(const GltfDocument& doc, const Rig& rig) : doc_(doc), rig_(rig) {
    const Pose rest = RestPose(rig);
    joint_of_.assign(static_cast<std::size_t>(rig.size()), -1);
    correction_.resize(static_cast<std::size_t>(rig.size()));
    for (const int joint : doc.joints)
      if (const int bone = rig.Find(doc.nodes[static_cast<std::size_t>(joint)].name); bone >= 0) {
        const auto b = static_cast<std::size_t>(bone);
        joint_of_[b] = joint;
        correction_[b] = Multiply(AffineInverse(doc.nodes[static_cast<std::size_t>(joint)].world),
                                  MirroredMatrix(rest[b].position, rest[b].rotation));
      }
    for (std::size_t b = 0; b < joint_of_.size(); ++b)
      rest_local_.push_back(MirroredMatrix(rig.rest_positions[b], RotationMatrix(rig.rest_rotations[b])));
  }

  // The locals of every bone at time t, the channels of driven giving the
  // joints' transforms there.
  std::vector<Mat4> Locals(double t, const std::map<int, const GltfChannel*[3]>& by_node) const {
    const std::size_t nodes = doc_.nodes.size();
    std::vector<Mat4> world(nodes);
    std::vector<bool> done(nodes, false);
    std::function<const Mat4&(std::size_t)> world_of = [&](std::size_t n) -> const Mat4& {
      if (done[n]) return world[n];
      const GltfNode& node = doc_.nodes[n];
      const Mat4 parent = node.parent < 0 ? kIdentity4 : world_of(static_cast<std::size_t>(node.parent));
      Mat4 local = node.parent < 0 ? node.world : Multiply(AffineInverse(doc_.nodes[static_cast<std::size_t>(node.parent)].world), node.world);
      if (const auto found = by_node.find(static_cast<int>(n)); found != by_node.end() && node.has_parts) {
        std::array<double, 3> tr = node.translation, sc = node.scale;
        std::array<double, 4> ro = node.rotation;
        if (found->second[0]) std::copy_n(Sample(*found->second[0], t).value.begin(), 3, tr.begin());
        if (found->second[1]) ro = Sample(*found->second[1], t).value;
        if (found->second[2]) std::copy_n(Sample(*found->second[2], t).value.begin(), 3, sc.begin());
        local = TrsMatrix(tr, ro, sc);
      }
      world[n] = Multiply(parent, local);
      done[n] = true;
      return world[n];
    };
    std::vector<Mat4> game_world(joint_of_.size()), locals(joint_of_.size());
    for (const int bone : rig_.order) {
      const auto b = static_cast<std::size_t>(bone);
      const int parent = rig_.parents[b];
      const Mat4 parent_world = parent < 0 ? kIdentity4 : game_world[static_cast<std::size_t>(parent)];
      game_world[b] = joint_of_[b] < 0 ? Multiply(parent_world, rest_local_[b])
                                       : Multiply(world_of(static_cast<std::size_t>(joint_of_[b])), correction_[b]);
      locals[b] = Multiply(AffineInverse(parent_world), game_world[b]);
    }
    return locals;
  }

 private:
  const GltfDocument& doc_;
  const Rig& rig_;
  std::vector<int> joint_of_;       // per bone, its joint node or -1
  std::vector<Mat4> correction_;    // per bone: the joint's rest world inverse times the bone's rest world
  std::vector<Mat4> rest_local_;    // per bone, in glTF's axes
};

void MakeSkill(const GltfAnimation& animation, const GltfDocument& doc, const Rig& rig, const Skill* original,
               SkillsMade& out) {
  // Which bones the channels drive.
  std::map<int, Driven> driven;  // rig bone -> its channels
  double end = 0;
  for (std::size_t c = 0; c < animation.channels.size(); ++c) {
    const GltfChannel& channel = animation.channels[c];
    const std::string& node = doc.nodes[static_cast<std::size_t>(channel.node)].name;
    const bool joint = std::find(doc.joints.begin(), doc.joints.end(), channel.node) != doc.joints.end();
    const int bone = joint ? rig.Find(node) : -1;
    if (bone < 0) Refuse(animation, c, "it moves " + node + ", which is not a bone of the skeleton (" + rig.name + ")");
    Driven& d = driven[bone];
    if (const auto stored = animation.stored.find(node); stored != animation.stored.end()) d.stored = &stored->second;
    (channel.path == Path::Translation ? d.translation : channel.path == Path::Rotation ? d.rotation : d.scale) = &channel;
    if (channel.path == Path::Scale)
      for (const Value& v : channel.values)
        if (std::abs(v[0] - 1) > kScaleSlack || std::abs(v[1] - v[0]) > 1e-6 || std::abs(v[2] - v[0]) > 1e-6)
          Refuse(animation, c, "bone " + rig.bone_names[static_cast<std::size_t>(bone)] +
                                   " is scaled; the game's skills turn and move bones but never scale them");
    end = std::max(end, channel.times.back());
  }
  if (end * kFramesPerSecond >= static_cast<double>(kGltfKeyLimit))
    throw Failure::Error(err::kIndexOutOfRange, "animation " + animation.name + " lasts " + std::to_string(end) +
                                                    " s: more than a skill's " + std::to_string(kGltfKeyLimit) + " frames");
  const int frames = static_cast<int>(std::lround(end * kFramesPerSecond)) + 1;

  // The motions: the original's order for the bones it has, then the rig's.
  std::vector<int> order;
  if (original)
    for (const Motion& motion : original->motions)
      if (const int bone = rig.Find(motion.bone_name); bone >= 0 && driven.count(bone)) order.push_back(bone);
  for (const auto& [bone, channels] : driven)
    if ((channels.translation || channels.rotation) && std::find(order.begin(), order.end(), bone) == order.end())
      order.push_back(bone);

  Skill skill;
  skill.name = animation.name;
  skill.frames_name = original ? original->frames_name : "xskill-" + animation.name;
  skill.duration = SkillDuration(frames);
  if (original) {
    if (!original->motions.empty() && original->motions.front().frames == static_cast<std::uint32_t>(frames))
      skill.duration = original->duration;
    skill.distance = original->distance;
    skill.moves = original->moves;
  }
  // A modeller's re-expressed joints: every frame's locals through the world.
  std::vector<std::vector<Mat4>> world_locals;
  if (!JointsAreTheRigs(doc, rig)) {
    std::map<int, const GltfChannel*[3]> by_node;
    for (const GltfChannel& channel : animation.channels) {
      auto& slots = by_node[channel.node];
      slots[channel.path == Path::Translation ? 0 : channel.path == Path::Rotation ? 1 : 2] = &channel;
    }
    const WorldWay way(doc, rig);
    for (int k = 0; k < frames; ++k) world_locals.push_back(way.Locals(k / kFramesPerSecond, by_node));
  }
  Frames values;
  for (const int bone : order) {
    const Driven& d = driven[bone];
    const auto b = static_cast<std::size_t>(bone);
    const Motion* before = nullptr;
    if (original)
      for (const Motion& motion : original->motions)
        if (ToLowerAscii(motion.bone_name) == ToLowerAscii(rig.bone_names[b])) before = &motion;
    Motion motion;
    motion.bone_name = rig.bone_names[b];
    motion.frames = static_cast<std::uint32_t>(frames);
    motion.duration = skill.duration;
    if (before) {
      motion.duration = before->frames == motion.frames ? before->duration : skill.duration;
      motion.properties = before->properties;
      motion.time_properties = before->time_properties;
    }
    // Positions: where the joint leaves its rest place, or had them before.
    std::vector<std::array<float, 3>> positions;
    bool moved = before && before->uses_positions;
    for (int k = 0; k < frames; ++k) {
      Vec3 p = rig.rest_positions[b];
      if (!world_locals.empty()) {
        const Mat4& local = world_locals[static_cast<std::size_t>(k)][b];
        p = {-local[12], local[13], local[14]};
      } else if (d.translation) {
        const Value v = Sample(*d.translation, k / kFramesPerSecond).value;
        p = MirrorX({v[0], v[1], v[2]});
      }
      const std::array<float, 3> f{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
      moved = moved || std::abs(f[0] - rig.rest_positions[b].x) > kMoved || std::abs(f[1] - rig.rest_positions[b].y) > kMoved ||
              std::abs(f[2] - rig.rest_positions[b].z) > kMoved;
      positions.push_back(f);
    }
    if (moved) {
      motion.uses_positions = 1;
      motion.position_offset = static_cast<std::int32_t>(values.positions.size());
      values.positions.insert(values.positions.end(), positions.begin(), positions.end());
    }
    if (d.rotation || (before && before->uses_rotations)) {
      motion.uses_rotations = 1;
      motion.rotation_offset = static_cast<std::int32_t>(values.rotations.size());
      for (int k = 0; k < frames; ++k) {
        const double t = k / kFramesPerSecond;
        if (!d.rotation) {
          const Quat& q = rig.rest_rotations[b];
          values.rotations.push_back({static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z), static_cast<float>(q.w)});
          continue;
        }
        if (!world_locals.empty()) {
          Quat q = StoredOf(world_locals[static_cast<std::size_t>(k)][b]);
          // The sign nearest the frame before, as the game's own frames run.
          if (k > 0) {
            const auto& before = values.rotations.back();
            if (q.x * before[0] + q.y * before[1] + q.z * before[2] + q.w * before[3] < 0) q = {-q.x, -q.y, -q.z, -q.w};
          }
          values.rotations.push_back({static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z), static_cast<float>(q.w)});
          continue;
        }
        const Sampled turn = Sample(*d.rotation, t);
        const double scale = d.scale ? Sample(*d.scale, t).value[0] : 1;
        const auto key = static_cast<std::size_t>(turn.key);
        if (turn.key >= 0 && d.stored && key < d.stored->size() && WritesAs((*d.stored)[key], turn.value, scale))
          values.rotations.push_back((*d.stored)[key]);
        else
          values.rotations.push_back(StoredRotation(turn.value, scale));
      }
    }
    skill.motions.push_back(std::move(motion));
  }
  skill.position_count = static_cast<std::uint32_t>(values.positions.size());
  skill.rotation_count = static_cast<std::uint32_t>(values.rotations.size());
  out.file.skills.push_back(std::move(skill));
  out.frames.push_back(std::move(values));
}

}  // namespace

float SkillDuration(int frames) { return std::floor(static_cast<float>(frames) * 33.33f); }

SkillsMade SkillsFromGltf(const GltfDocument& doc, const Rig& rig, std::span<const std::string> only,
                          std::span<const Skill> originals) {
  for (const std::string& name : only)
    if (std::none_of(doc.animations.begin(), doc.animations.end(),
                     [&](const GltfAnimation& a) { return ToLowerAscii(a.name) == ToLowerAscii(name); }))
      throw Failure::Error(err::kInvalidArgument, "it has no animation " + name);
  SkillsMade made;
  for (const GltfAnimation& animation : doc.animations) {
    if (!only.empty() && std::none_of(only.begin(), only.end(), [&](const std::string& name) {
          return ToLowerAscii(name) == ToLowerAscii(animation.name);
        }))
      continue;
    const Skill* original = nullptr;
    for (const Skill& skill : originals)
      if (ToLowerAscii(skill.name) == ToLowerAscii(animation.name)) original = &skill;
    MakeSkill(animation, doc, rig, original, made);
  }
  return made;
}

}  // namespace mervane
