#include "model/skeleton.h"

#include <string>

#include "model/failure.h"
#include "model/paths.h"

namespace mervane {
namespace {

bool IsArmRoot(const BoneRow& bone) {
  return std::string_view(bone.name) == "R_ARM" || std::string_view(bone.name) == "L_ARM";
}

struct Skeleton {
  std::array<BoneRow, kSkeletonBones> bones{};
  std::array<Vec3, kBoneTable.size()> world{};  // by kBoneTable row
};

Skeleton Compute() {
  Skeleton s;
  int next = 0;
  for (std::size_t i = 0; i < kBoneTable.size(); ++i) {
    const BoneRow& bone = kBoneTable[i];
    if (!bone.in_skeleton) continue;
    s.bones[next++] = bone;
    Vec3 base{};
    if (const BoneRow* parent = ParentOf(bone)) base = s.world[parent - kBoneTable.data()];
    // The arms hang from the neck with its x and y exchanged.
    if (IsArmRoot(bone)) std::swap(base.x, base.y);
    s.world[i] = {base.x + bone.local.x, base.y + bone.local.y, base.z + bone.local.z};
  }
  return s;
}

const Skeleton& TheSkeleton() {
  static const Skeleton skeleton = Compute();
  return skeleton;
}

}  // namespace

const std::array<BoneRow, kSkeletonBones>& SkeletonTable() { return TheSkeleton().bones; }

const BoneRow* FindBone(std::string_view upper_name) {
  for (const BoneRow& bone : kBoneTable)
    if (upper_name == bone.name) return &bone;
  return nullptr;
}

const BoneRow* ParentOf(const BoneRow& bone) {
  return bone.parent ? FindBone(bone.parent) : nullptr;
}

std::optional<Vec3> SkeletonOffset(std::string_view bone_name) {
  const BoneRow* bone = FindBone(ToUpperAscii(bone_name));
  if (!bone || !bone->in_skeleton) return std::nullopt;
  return TheSkeleton().world[bone - kBoneTable.data()];
}

LimbClass ClassifyBone(std::string_view name) {
  const BoneRow* bone = FindBone(ToUpperAscii(name));
  return bone ? bone->limb : LimbClass::Body;
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
