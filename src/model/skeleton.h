#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "model/model.h"

namespace mervane {

struct Vec3 {
  double x = 0, y = 0, z = 0;
  bool operator==(const Vec3&) const = default;
};

// The game's space is left-handed and modelling files (.obj, glTF) are
// right-handed: one mirror, x negated, turns a place or a direction from
// either into the other.
inline Vec3 MirrorX(const Vec3& v) { return {-v.x, v.y, v.z}; }

// The kind of limb a bone belongs to picks the fixed axis change between its
// local space and the assembled body's world space.
enum class LimbClass { Body, Leg, RightArm, LeftArm };

// A bone Mervane knows by name. Bones of the skeleton have a parent (or are
// the root) and an offset from it; ROOT and R_TOE are attach sites only,
// with offsets 0.
struct BoneRow {
  const char* name;
  bool in_skeleton;
  const char* parent;  // nullptr for the root and for attach-only bones
  Vec3 local;
  LimbClass limb;
};

// Every known bone, in the order the attach-site list shows them; parents
// come before their children. The one source of bone names, limb classes,
// skeleton offsets and attach sites.
inline constexpr std::array<BoneRow, 24> kBoneTable{{
    {"ROOT", false, nullptr, {}, LimbClass::Body},
    {"PELVIS", true, nullptr, {-0.0366778, -1.72489e-08, -2.62766e-12}, LimbClass::Body},
    {"R_LEG", true, "PELVIS", {2.44632e-07, -0.241228, -4.62491e-07}, LimbClass::Leg},
    {"R_LEG1", true, "R_LEG", {1.44737, 1.03675e-08, 8.03626e-09}, LimbClass::Leg},
    {"R_FOOT", true, "R_LEG1", {1.31579, 1.12555e-08, -6.11749e-09}, LimbClass::Leg},
    // Not in the skeleton, and not classed as a leg: such a part stays at 0.
    {"R_TOE", false, nullptr, {}, LimbClass::Body},
    {"R_TOE0", true, "R_FOOT", {0.253839, -4.72826e-09, 0.339987}, LimbClass::Leg},
    {"L_LEG", true, "PELVIS", {-4.26205e-07, 0.241228, 2.06089e-07}, LimbClass::Leg},
    {"L_LEG1", true, "L_LEG", {1.44737, -3.40221e-10, -3.65496e-09}, LimbClass::Leg},
    {"L_FOOT", true, "L_LEG1", {1.31579, 6.72219e-10, 1.85087e-09}, LimbClass::Leg},
    {"L_TOE0", true, "L_FOOT", {0.253839, -4.82293e-09, 0.339987}, LimbClass::Leg},
    {"SPINE", true, "PELVIS", {0.381066, 5.29048e-07, -0.000334763}, LimbClass::Body},
    {"SPINE1", true, "SPINE", {0.421059, -9.27955e-10, -0.00033528}, LimbClass::Body},
    {"SPINE2", true, "SPINE1", {0.421059, -9.33352e-10, -0.000335277}, LimbClass::Body},
    {"NECK", true, "SPINE2", {0.421097, -8.79169e-10, -0.000315105}, LimbClass::Body},
    {"HEAD", true, "NECK", {0.398615, -1.0225e-12, -1.18576e-08}, LimbClass::Body},
    {"R_ARM", true, "NECK", {0.130263, 4.57471e-07, -0.000317749}, LimbClass::RightArm},
    {"R_ARM1", true, "R_ARM", {0.376316, 5.23017e-08, 1.85675e-09}, LimbClass::RightArm},
    {"R_ARM2", true, "R_ARM1", {0.881536, -1.63993e-08, 5.11895e-09}, LimbClass::RightArm},
    {"R_HAND", true, "R_ARM2", {0.820474, -4.87935e-08, -3.3423e-09}, LimbClass::RightArm},
    {"L_ARM", true, "NECK", {0.130263, 4.56552e-07, 0.000317027}, LimbClass::LeftArm},
    {"L_ARM1", true, "L_ARM", {0.376316, -5.49453e-08, 1.60809e-09}, LimbClass::LeftArm},
    {"L_ARM2", true, "L_ARM1", {0.881536, 2.63531e-08, 9.20282e-09}, LimbClass::LeftArm},
    {"L_HAND", true, "L_ARM2", {0.802072, 8.54501e-09, -1.60412e-08}, LimbClass::LeftArm},
}};

// The bones a part can be attached to, in the order the dialog lists them.
inline constexpr std::array<const char*, kBoneTable.size()> kAttachSites = [] {
  std::array<const char*, kBoneTable.size()> names{};
  for (std::size_t i = 0; i < kBoneTable.size(); ++i) names[i] = kBoneTable[i].name;
  return names;
}();

// The bones of the skeleton, parents before children.
inline constexpr int kSkeletonBones = 22;
const std::array<BoneRow, kSkeletonBones>& SkeletonTable();

// The row of an upper-case bone name in kBoneTable, if it is there.
const BoneRow* FindBone(std::string_view upper_name);
// The parent's row of a skeleton bone, or nullptr for the root.
const BoneRow* ParentOf(const BoneRow& bone);

// The world offset of a bone name (upper-cased, not trimmed), if the
// skeleton has that bone.
std::optional<Vec3> SkeletonOffset(std::string_view bone_name);

// By the upper-cased, untrimmed name; unknown names are Body.
LimbClass ClassifyBone(std::string_view name);

// Stores the world offset of every model bone the skeleton knows; other
// bones keep the offsets they have. More than 101 bones is error 9.
void BuildSkeleton(SkinModel& model);

}  // namespace mervane
