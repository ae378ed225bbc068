#include "model/skeleton.h"

#include <cstring>

#include "model/failure.h"
#include "model/paths.h"

namespace mervane {
namespace {

constexpr std::array<SkeletonBone, kSkeletonBones> kBones{{
    {"PELVIS", nullptr, {-0.0366778, -1.72489e-08, -2.62766e-12}},
    {"SPINE", "PELVIS", {0.381066, 5.29048e-07, -0.000334763}},
    {"SPINE1", "SPINE", {0.421059, -9.27955e-10, -0.00033528}},
    {"SPINE2", "SPINE1", {0.421059, -9.33352e-10, -0.000335277}},
    {"NECK", "SPINE2", {0.421097, -8.79169e-10, -0.000315105}},
    {"HEAD", "NECK", {0.398615, -1.0225e-12, -1.18576e-08}},
    {"R_LEG", "PELVIS", {2.44632e-07, -0.241228, -4.62491e-07}},
    {"R_LEG1", "R_LEG", {1.44737, 1.03675e-08, 8.03626e-09}},
    {"R_FOOT", "R_LEG1", {1.31579, 1.12555e-08, -6.11749e-09}},
    {"R_TOE0", "R_FOOT", {0.253839, -4.72826e-09, 0.339987}},
    {"L_LEG", "PELVIS", {-4.26205e-07, 0.241228, 2.06089e-07}},
    {"L_LEG1", "L_LEG", {1.44737, -3.40221e-10, -3.65496e-09}},
    {"L_FOOT", "L_LEG1", {1.31579, 6.72219e-10, 1.85087e-09}},
    {"L_TOE0", "L_FOOT", {0.253839, -4.82293e-09, 0.339987}},
    {"R_ARM", "NECK", {0.130263, 4.57471e-07, -0.000317749}},
    {"R_ARM1", "R_ARM", {0.376316, 5.23017e-08, 1.85675e-09}},
    {"R_ARM2", "R_ARM1", {0.881536, -1.63993e-08, 5.11895e-09}},
    {"R_HAND", "R_ARM2", {0.820474, -4.87935e-08, -3.3423e-09}},
    {"L_ARM", "NECK", {0.130263, 4.56552e-07, 0.000317027}},
    {"L_ARM1", "L_ARM", {0.376316, -5.49453e-08, 1.60809e-09}},
    {"L_ARM2", "L_ARM1", {0.881536, 2.63531e-08, 9.20282e-09}},
    {"L_HAND", "L_ARM2", {0.802072, 8.54501e-09, -1.60412e-08}},
}};

bool IsArmRoot(const SkeletonBone& bone) {
  return std::strcmp(bone.name, "R_ARM") == 0 || std::strcmp(bone.name, "L_ARM") == 0;
}

std::array<Vec3, kSkeletonBones> ComputeWorld() {
  std::array<Vec3, kSkeletonBones> world{};
  for (int i = 0; i < kSkeletonBones; ++i) {
    const SkeletonBone& bone = kBones[i];
    Vec3 base{};
    if (bone.parent != nullptr) base = world[*SkeletonIndex(bone.parent)];
    // The arms hang from the neck with its x and y exchanged.
    if (IsArmRoot(bone)) std::swap(base.x, base.y);
    world[i] = {base.x + bone.local.x, base.y + bone.local.y, base.z + bone.local.z};
  }
  return world;
}

}  // namespace

const std::array<SkeletonBone, kSkeletonBones>& SkeletonTable() { return kBones; }

const std::array<Vec3, kSkeletonBones>& SkeletonWorldOffsets() {
  static const std::array<Vec3, kSkeletonBones> world = ComputeWorld();
  return world;
}

std::optional<int> SkeletonIndex(std::string_view upper_name) {
  for (int i = 0; i < kSkeletonBones; ++i)
    if (upper_name == kBones[i].name) return i;
  return std::nullopt;
}

std::optional<Vec3> SkeletonOffset(std::string_view bone_name) {
  const auto index = SkeletonIndex(ToUpperAscii(bone_name));
  if (!index) return std::nullopt;
  return SkeletonWorldOffsets()[*index];
}

void BuildSkeleton(SkinModel& model) {
  for (int i = 0; i < model.BoneCount; ++i) {
    CheckBoneIndex(i);
    if (const auto offset = SkeletonOffset(model.BoneNames.at(i))) {
      model.BoneOffsetX[i] = offset->x;
      model.BoneOffsetY[i] = offset->y;
      model.BoneOffsetZ[i] = offset->z;
    }
  }
}

}  // namespace mervane
