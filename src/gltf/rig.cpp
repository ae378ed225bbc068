#include <algorithm>
#include <cmath>

#include "gltf/glb.h"
#include "model/failure.h"
#include "model/paths.h"
#include "model/world.h"
#include "pose/rig_files.h"

namespace mervane {
namespace {

Mat3 Transposed(const Mat3& r) {
  Mat3 t;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) t.m[static_cast<std::size_t>(3 * i + j)] = r.m[static_cast<std::size_t>(3 * j + i)];
  return t;
}

}  // namespace

Rig BuiltInRig() {
  struct Placed {
    Vec3 origin;
    Mat3 axes;
  };
  std::vector<Placed> placed;
  Rig rig;
  rig.name = kBuiltInRigName;
  double lowest = 0;
  for (const BoneRow& row : kBoneTable) {
    const Vec3 offset = row.in_skeleton ? *SkeletonOffset(row.name) : Vec3{};
    const Vec3 origin = PositionToWorld(row.limb, {}, offset);
    Mat3 axes;
    for (int k = 0; k < 3; ++k) {
      const Vec3 unit{k == 0 ? 1.0 : 0.0, k == 1 ? 1.0 : 0.0, k == 2 ? 1.0 : 0.0};
      const Vec3 p = PositionToWorld(row.limb, unit, offset);
      axes.m[static_cast<std::size_t>(k)] = p.x - origin.x;
      axes.m[static_cast<std::size_t>(3 + k)] = p.y - origin.y;
      axes.m[static_cast<std::size_t>(6 + k)] = p.z - origin.z;
    }
    placed.push_back({origin, axes});
    lowest = std::min(lowest, origin.y);
    rig.bone_names.emplace_back(row.name);
    int parent = -1;
    if (const BoneRow* up = ParentOf(row)) parent = static_cast<int>(up - kBoneTable.data());
    rig.parents.push_back(parent);
  }
  for (std::size_t b = 0; b < placed.size(); ++b) {
    const int parent = rig.parents[b];
    rig.order.push_back(static_cast<int>(b));  // the table lists parents first
    if (parent < 0) {
      const Vec3& o = placed[b].origin;
      rig.rest_positions.push_back({o.x, o.y - lowest, o.z});
      rig.rest_rotations.push_back(StoredRotation(placed[b].axes));
    } else {
      const Placed& up = placed[static_cast<std::size_t>(parent)];
      const Mat3 back = Transposed(up.axes);
      const Vec3& o = placed[b].origin;
      rig.rest_positions.push_back(back * Vec3{o.x - up.origin.x, o.y - up.origin.y, o.z - up.origin.z});
      rig.rest_rotations.push_back(StoredRotation(back * placed[b].axes));
    }
  }
  return rig;
}

Rig RigFromGltf(const GltfDocument& doc, std::string name) {
  if (doc.joints.empty()) throw Failure::Error(err::kInvalidArgument, "it has no skin to carry a skeleton");
  Rig rig;
  rig.name = std::move(name);
  for (const int joint : doc.joints) {
    const GltfNode& node = doc.nodes[static_cast<std::size_t>(joint)];
    if (!node.has_parts)
      throw Failure::Error(err::kInvalidArgument, "joint " + node.name + " is placed by a matrix, not a rest transform");
    rig.bone_names.push_back(node.name);
    const auto parent = std::find(doc.joints.begin(), doc.joints.end(), node.parent);
    rig.parents.push_back(node.parent < 0 || parent == doc.joints.end() ? -1 : static_cast<int>(parent - doc.joints.begin()));
    rig.rest_positions.push_back(MirrorX({node.translation[0], node.translation[1], node.translation[2]}));
    // The writer's rotation undone: the mirrored unit quaternion, scaled
    // back to the stored one's length (the square root of the node's scale).
    const auto [x, y, z, w] = node.rotation;
    const double length = std::sqrt(x * x + y * y + z * z + w * w);
    const double stored = std::sqrt(node.scale[0]) / (length > 0 ? length : 1);
    rig.rest_rotations.push_back({-x * stored, y * stored, z * stored, w * stored});
  }
  std::vector<bool> placed(rig.bone_names.size(), false);
  while (rig.order.size() < rig.bone_names.size())
    for (std::size_t b = 0; b < rig.bone_names.size(); ++b)
      if (!placed[b] && (rig.parents[b] < 0 || placed[static_cast<std::size_t>(rig.parents[b])])) {
        placed[b] = true;
        rig.order.push_back(static_cast<int>(b));
      }
  return rig;
}

FoundRig FindRig(const RigSources& sources, const std::vector<std::string>& folders, char age) {
  std::optional<std::string> path = sources.skeleton;
  if (!path) path = FindSkeletonFile(FileFinder(folders, sources.game), age);
  if (!path) return {BuiltInRig(), kBuiltInSkeleton};
  return {ReadRig(*path), FileNameOf(*path)};
}

std::vector<Animation> ReadAnimations(std::span<const SkillRequest> requests, const Rig& rig,
                                      const ExtraLookup& game) {
  std::vector<Animation> animations;
  for (const SkillRequest& request : requests) {
    const CharacterFile file = ReadCharacterFile(request.file);
    const FileFinder finder({FolderOf(request.file)}, game);
    const Skill& chosen = ChooseSkill(file, request.file, request.skill);
    for (const Skill& skill : file.skills)
      if (!request.skill || &skill == &chosen) animations.push_back(ReadAnimation(rig, skill, request.file, finder));
  }
  return animations;
}

}  // namespace mervane
