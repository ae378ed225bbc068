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

struct SkeletonBone {
  const char* name;
  const char* parent;  // nullptr for the root
  Vec3 local;
};

inline constexpr int kSkeletonBones = 22;

// The built-in skeleton, parents before children.
const std::array<SkeletonBone, kSkeletonBones>& SkeletonTable();
// World offsets of the skeleton's bones, in the order of SkeletonTable().
const std::array<Vec3, kSkeletonBones>& SkeletonWorldOffsets();
// The world offset of a bone name (upper-cased, not trimmed), if known.
std::optional<Vec3> SkeletonOffset(std::string_view bone_name);
// Index of an upper-case bone name in SkeletonTable(), if it is there.
std::optional<int> SkeletonIndex(std::string_view upper_name);

// Stores the world offset of every model bone the skeleton knows; other
// bones keep the offsets they have. More than 101 bones is error 9.
void BuildSkeleton(SkinModel& model);

}  // namespace mervane
