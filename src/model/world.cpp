#include "model/world.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "model/failure.h"
#include "model/numbers.h"
#include "model/paths.h"

namespace mervane {

// The expressions keep the order of operations of the original formulas, so
// that the written text matches to the last rounded digit.
Vec3 PositionToWorld(LimbClass limb, Vec3 p, Vec3 o) {
  switch (limb) {
    case LimbClass::Body:
      return {o.y - p.y, o.x + p.x, o.z + p.z};
    case LimbClass::Leg:
      return {p.y - o.y, -p.x - o.x, o.z + p.z};
    case LimbClass::RightArm:
      return {o.x + p.x, o.y - p.y, o.z - p.z};
    case LimbClass::LeftArm:
      return {-p.x - o.x, o.y + p.y, o.z - p.z};
  }
  return p;
}

Vec3 NormalToWorld(LimbClass limb, Vec3 n) {
  switch (limb) {
    case LimbClass::Body:
      return {-n.y, n.x, n.z};
    case LimbClass::Leg:
      return {n.y, -n.x, n.z};
    case LimbClass::RightArm:
      return {n.x, -n.y, -n.z};
    case LimbClass::LeftArm:
      return {-n.x, n.y, -n.z};
  }
  return n;
}

Vec3 PositionToLocal(LimbClass limb, Vec3 w, Vec3 o) {
  switch (limb) {
    case LimbClass::Body:
      return {w.y - o.x, -(w.x - o.y), w.z - o.z};
    case LimbClass::Leg:
      return {-(w.y + o.x), w.x + o.y, w.z - o.z};
    case LimbClass::RightArm:
      return {w.x - o.x, -(w.y - o.y), -(w.z - o.z)};
    case LimbClass::LeftArm:
      return {-(w.x + o.x), w.y - o.y, -(w.z - o.z)};
  }
  return w;
}

Vec3 NormalToLocal(LimbClass limb, Vec3 n) {
  switch (limb) {
    case LimbClass::Body:
      return {n.y, -n.x, n.z};
    case LimbClass::Leg:
      return {-n.y, n.x, n.z};
    case LimbClass::RightArm:
      return {n.x, -n.y, -n.z};
    case LimbClass::LeftArm:
      return {-n.x, n.y, -n.z};
  }
  return n;
}

BoneRange ParseBindingLine(std::string_view line) {
  std::array<std::string_view, 5> f;
  if (SplitFields(line, f) < 5)
    throw Failure::Error(err::kInvalidArgument,
                         "the binding line \"" + std::string(line) + "\" needs five numbers");
  const double first = std::nearbyint(ReadNumber(f[1]));
  const double count = std::nearbyint(ReadNumber(f[2]));
  RoundCount(ReadNumber(f[4]));  // the blended-vertex count must fit 16 bits
  BoneRange range;
  if (count <= 0) return range;
  if (first < 0 || first + count - 1 > kLineSlots - 1)
    throw Failure::Error(err::kIndexOutOfRange, "the binding line \"" + std::string(line) +
                                                    "\" names vertices outside 0 to " +
                                                    std::to_string(kLineSlots - 1));
  range.first = static_cast<int>(first);
  range.count = static_cast<int>(count);
  return range;
}

Vec3 ParseTriple(std::string_view text, const char* what) {
  // Most lines are as the writers wrote them: one scan reads them.
  std::array<double, 3> v;
  if (ReadCanonicalCoords(text, v)) return {v[0], v[1], v[2]};
  std::array<std::string_view, 3> f;
  if (SplitFields(text, f) < 3)
    throw Failure::Error(err::kInvalidArgument, std::string(what) + " needs three numbers");
  return {ReadNumber(f[0]), ReadNumber(f[1]), ReadNumber(f[2])};
}

Vec3 BoneOffset(const SkinModel& model, int bone) {
  CheckBoneIndex(bone);
  // As BuildSkeleton would store it, without changing the model.
  if (const auto offset = SkeletonOffset(model.BoneNames.at(bone))) return *offset;
  return {model.BoneOffsetX[bone], model.BoneOffsetY[bone], model.BoneOffsetZ[bone]};
}

void ForEachWorldBone(const SkinModel& model, const std::function<void(const WorldBone&)>& visit) {
  // Overlapping ranges would place a vertex once per bone claiming it: a
  // small file could ask for a hundred times its vertices, in memory and in
  // an .obj that no reader takes back. Refused before anything is built.
  long claimed = 0;
  for (int i = 0; i < model.BoneCount; ++i) {
    CheckBoneIndex(i);
    claimed += ParseBindingLine(model.BindingLines.at(i)).count;
  }
  if (claimed > kCountLimit)
    throw Failure(FailureKind::VertexLimit, 0,
                  "the bones' vertex ranges hold " + std::to_string(claimed) + " vertices together");
  WorldBone bone;
  for (int i = 0; i < model.BoneCount; ++i) {
    CheckBoneIndex(i);
    bone.bone = i;
    bone.limb = ClassifyBone(model.BoneNames.at(i));
    bone.vertices.clear();
    const BoneRange range = ParseBindingLine(model.BindingLines.at(i));
    const Vec3 offset = BoneOffset(model, i);
    for (int k = range.first; k < range.end(); ++k) {
      try {
        const Vec3 p = ParseTriple(model.VertexLines.at(k), "its position");
        const Vec3 n = ParseTriple(model.NormalLines.at(k), "its normal");
        bone.vertices.push_back({k, PositionToWorld(bone.limb, p, offset), NormalToWorld(bone.limb, n)});
      } catch (Failure& failure) {
        failure.About(Counted("vertex", k) + " of bone " + std::string(model.BoneNames.at(i)));
        throw;
      }
    }
    visit(bone);
  }
}

WorldMesh BuildWorldMesh(const SkinModel& model) {
  WorldMesh mesh;
  const std::size_t count = static_cast<std::size_t>(std::max<int>(0, model.VertexCount));
  mesh.positions.resize(count);
  mesh.normals.resize(count);
  mesh.uvs.resize(count);
  mesh.placed.resize(count);
  ForEachWorldBone(model, [&](const WorldBone& bone) {
    for (const WorldVertex& v : bone.vertices) {
      if (static_cast<std::size_t>(v.index) >= count) continue;
      mesh.positions[v.index] = v.position;
      mesh.normals[v.index] = v.normal;
      mesh.placed[v.index] = true;
    }
  });
  for (int j = 0; j < model.TexVertexCount && static_cast<std::size_t>(j) < count; ++j) {
    std::array<std::string_view, 2> f;
    if (SplitFields(model.TexVertexLines.at(j), f) == 2)
      mesh.uvs[j] = {static_cast<float>(ReadNumber(f[0])), static_cast<float>(1.0 - ReadNumber(f[1]))};
  }
  for (int i = 0; i < model.FaceCount; ++i) {
    std::array<std::string_view, 3> f;
    if (SplitFields(model.FaceLines.at(i), f) < 3) continue;
    std::array<int, 3> t{};
    bool ok = true;
    for (int k = 0; k < 3; ++k) {
      const double index = std::nearbyint(ReadNumber(f[k]));
      ok = ok && index >= 0 && index < static_cast<double>(count) && mesh.placed[static_cast<std::size_t>(index)];
      if (ok) t[k] = static_cast<int>(index);
    }
    if (!ok) continue;
    mesh.triangles.push_back(t);
    mesh.faces.push_back(i);
  }
  return mesh;
}

std::vector<BoneMarker> BuildBoneMarkers(const SkinModel& model) {
  auto origin_of = [](const std::string& name) -> std::optional<Vec3> {
    const auto offset = SkeletonOffset(name);
    if (!offset) return std::nullopt;
    return PositionToWorld(ClassifyBone(name), {0, 0, 0}, *offset);
  };
  std::vector<std::string> names;
  for (int i = 0; i < model.BoneCount && i < kBoneSlots; ++i) names.push_back(ToUpperAscii(model.BoneNames.at(i)));
  std::vector<BoneMarker> markers;
  for (const std::string& name : names) {
    const auto origin = origin_of(name);
    if (!origin) continue;
    BoneMarker marker{name, *origin, std::nullopt};
    const char* parent = FindBone(name)->parent;
    if (parent && std::find(names.begin(), names.end(), parent) != names.end())
      marker.parent_origin = origin_of(parent);
    markers.push_back(std::move(marker));
  }
  return markers;
}

}  // namespace mervane
