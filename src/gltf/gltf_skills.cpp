#include "gltf/gltf_skills.h"

#include <algorithm>
#include <cmath>
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
constexpr double kMoved = 1e-6;        // a translation this near rest stays at rest

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
      if (d.translation) {
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
