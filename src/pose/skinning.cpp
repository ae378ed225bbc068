#include "pose/skinning.h"

#include <cmath>

#include "model/failure.h"
#include "model/numbers.h"
#include "model/world.h"

namespace mervane {
namespace {

Failure Bad(int number, std::string why) { return Failure::Error(number, std::move(why)); }

// n whole numbers of a line, rounded; fewer fields is error 5.
template <std::size_t N>
std::array<double, N> Wholes(std::string_view line, const char* what) {
  std::array<std::string_view, N> fields;
  if (SplitFields(line, fields) < N)
    throw Bad(err::kInvalidArgument, std::string(what) + " \"" + std::string(line) + "\" needs " +
                                         std::to_string(N) + " numbers");
  std::array<double, N> values;
  for (std::size_t k = 0; k < N; ++k) values[k] = std::nearbyint(ReadNumber(fields[k]));
  return values;
}

bool Within(double value, double low, double end) { return value >= low && value < end; }

Vec3 Normalised(const Vec3& v) {
  const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return length > 0 ? Vec3{v.x / length, v.y / length, v.z / length} : v;
}

void FillMesh(SkinMesh& mesh, const SkinModel& model) {
  mesh.name = model.MeshName;
  mesh.texture = model.TextureName;
  for (int i = 0; i < model.BoneCount; ++i) mesh.bone_names.emplace_back(model.BoneNames.at(i));
  const int tex = model.TexVertexCount, blends = model.BlendCount, vertices = model.VertexCount;
  if (tex < 0 || blends < 0 || vertices != tex + blends)
    throw Bad(err::kInvalidArgument, "the vertex count " + std::to_string(vertices) +
                                         " is not the texture vertices and blend entries together (" +
                                         std::to_string(tex) + " + " + std::to_string(blends) + ")");
  mesh.bound_count = tex;
  const auto count = static_cast<std::size_t>(vertices);
  mesh.positions.resize(count);
  mesh.normals.resize(count);
  mesh.vertex_bones.assign(count, -1);
  for (int v = 0; v < vertices; ++v) {
    try {
      mesh.positions[static_cast<std::size_t>(v)] = ParseTriple(model.VertexLines.at(v), "its position");
      mesh.normals[static_cast<std::size_t>(v)] = ParseTriple(model.NormalLines.at(v), "its normal");
    } catch (Failure& failure) {
      failure.About(Counted("vertex", v) + " of mesh " + mesh.name);
      throw;
    }
  }
  for (int b = 0; b < model.BoneCount; ++b) {
    try {
      const auto f = Wholes<5>(model.BindingLines.at(b), "the binding line");
      auto claim = [&](double first, double n, int low, int end, const char* what) {
        if (n <= 0) return;
        if (!Within(first, low, end) || first + n > end)
          throw Bad(err::kIndexOutOfRange, std::string("its ") + what + " " + std::to_string(static_cast<long>(first)) +
                                               " to " + std::to_string(static_cast<long>(first + n - 1)) +
                                               " are outside " + std::to_string(low) + " to " + std::to_string(end - 1));
        for (int v = static_cast<int>(first); v < static_cast<int>(first + n); ++v) {
          int& owner = mesh.vertex_bones[static_cast<std::size_t>(v)];
          if (owner >= 0) throw Bad(err::kInvalidArgument, Counted("vertex", v) + " is claimed by bone " + mesh.bone_names[static_cast<std::size_t>(owner)] + " too");
          owner = b;
        }
      };
      claim(f[1], f[2], 0, tex, "vertices");
      claim(tex + f[3], f[4], tex, vertices, "blended vertices");
    } catch (Failure& failure) {
      failure.About("bone " + mesh.bone_names[static_cast<std::size_t>(b)] + " of mesh " + mesh.name);
      throw;
    }
  }
  for (int v = 0; v < vertices; ++v)
    if (mesh.vertex_bones[static_cast<std::size_t>(v)] < 0)
      throw Bad(err::kInvalidArgument, Counted("vertex", v) + " belongs to no bone");
  mesh.uvs.resize(static_cast<std::size_t>(tex));
  for (int t = 0; t < tex; ++t) {
    std::array<std::string_view, 2> f;
    if (SplitFields(model.TexVertexLines.at(t), f) < 2)
      throw std::move(Bad(err::kInvalidArgument, "a texture-vertex line needs two numbers").About(Counted("texture vertex", t) + " of mesh " + mesh.name));
    mesh.uvs[static_cast<std::size_t>(t)] = {ReadNumber(f[0]), ReadNumber(f[1])};
  }
  mesh.faces.resize(static_cast<std::size_t>(std::max<int>(0, model.FaceCount)));
  for (int i = 0; i < model.FaceCount; ++i) {
    const auto f = Wholes<3>(model.FaceLines.at(i), "the face line");
    for (int k = 0; k < 3; ++k) {
      if (!Within(f[static_cast<std::size_t>(k)], 0, tex))
        throw std::move(Bad(err::kIndexOutOfRange, "its corner " + std::to_string(static_cast<long>(f[static_cast<std::size_t>(k)])) +
                                                       " is not a bound vertex (0 to " + std::to_string(tex - 1) + ")")
                            .About(Counted("face", i) + " of mesh " + mesh.name));
      mesh.faces[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)] = static_cast<int>(f[static_cast<std::size_t>(k)]);
    }
  }
  mesh.blends.resize(static_cast<std::size_t>(blends));
  for (int i = 0; i < blends; ++i) {
    const auto f = Wholes<2>(model.BlendLines.at(i), "the blend line");
    auto fail = [&](int number, const std::string& why) {
      return std::move(Bad(number, why).About(Counted("blend entry", i) + " of mesh " + mesh.name));
    };
    if (!Within(f[0], 0, tex))
      throw fail(err::kIndexOutOfRange, "its target " + std::to_string(static_cast<long>(f[0])) + " is not a bound vertex");
    if (!(f[1] >= 0 && f[1] <= 32768))
      throw fail(err::kInvalidArgument, "its weight " + std::to_string(static_cast<long>(f[1])) + " is outside 0 to 32768");
    mesh.blends[static_cast<std::size_t>(i)] = {static_cast<int>(f[0]), f[1] / 32768.0};
  }
}

}  // namespace

SkinMesh MakeSkinMesh(const SkinModel& model) {
  SkinMesh mesh;
  try {
    FillMesh(mesh, model);
  } catch (Failure& failure) {
    failure.About("mesh " + model.MeshName);
    throw;
  }
  return mesh;
}

std::vector<DressedMesh> Dress(const Rig& rig, std::vector<SkinMesh> meshes) {
  std::vector<DressedMesh> dressed;
  dressed.reserve(meshes.size());
  for (SkinMesh& mesh : meshes) {
    DressedMesh d;
    for (const std::string& bone : mesh.bone_names) {
      const int found = rig.Find(bone);
      if (found < 0)
        throw std::move(Failure::Error(err::kInvalidArgument, "the skeleton " + rig.name + " has no bone " + bone)
                            .About("mesh " + mesh.name));
      d.rig_bones.push_back(found);
    }
    d.mesh = std::move(mesh);
    dressed.push_back(std::move(d));
  }
  return dressed;
}

void Skin(const DressedMesh& dressed, const Pose& pose, SkinnedMesh& out) {
  const SkinMesh& mesh = dressed.mesh;
  const auto bound = static_cast<std::size_t>(mesh.bound_count);
  out.positions.resize(bound);
  out.normals.resize(bound);
  auto transform = [&](std::size_t v) -> const BoneTransform& {
    return pose[static_cast<std::size_t>(dressed.rig_bones[static_cast<std::size_t>(mesh.vertex_bones[v])])];
  };
  for (std::size_t v = 0; v < bound; ++v) {
    const BoneTransform& t = transform(v);
    out.positions[v] = t.Apply(mesh.positions[v]);
    out.normals[v] = t.rotation * mesh.normals[v];
  }
  for (std::size_t i = 0; i < mesh.blends.size(); ++i) {
    const std::size_t v = bound + i;
    const BoneTransform& t = transform(v);
    const Vec3 p = t.Apply(mesh.positions[v]), n = t.rotation * mesh.normals[v];
    const auto target = static_cast<std::size_t>(mesh.blends[i].target);
    const double w = mesh.blends[i].weight;
    Vec3& tp = out.positions[target];
    Vec3& tn = out.normals[target];
    tp = {(1 - w) * tp.x + w * p.x, (1 - w) * tp.y + w * p.y, (1 - w) * tp.z + w * p.z};
    tn = Normalised({(1 - w) * tn.x + w * n.x, (1 - w) * tn.y + w * n.y, (1 - w) * tn.z + w * n.z});
  }
}

std::vector<VertexBinding> VertexBindings(const DressedMesh& dressed) {
  const SkinMesh& mesh = dressed.mesh;
  auto rig_bone = [&](std::size_t v) {
    return dressed.rig_bones[static_cast<std::size_t>(mesh.vertex_bones[v])];
  };
  std::vector<VertexBinding> bindings(static_cast<std::size_t>(mesh.bound_count));
  for (std::size_t v = 0; v < bindings.size(); ++v) {
    bindings[v].bone = rig_bone(v);
    bindings[v].position = mesh.positions[v];
    bindings[v].normal = mesh.normals[v];
  }
  for (std::size_t i = 0; i < mesh.blends.size(); ++i) {
    const std::size_t v = bindings.size() + i;
    VertexBinding& b = bindings[static_cast<std::size_t>(mesh.blends[i].target)];
    b.blend_bone = rig_bone(v);
    b.blend_position = mesh.positions[v];
    b.blend_normal = mesh.normals[v];
    b.blend_weight = mesh.blends[i].weight;
  }
  return bindings;
}

}  // namespace mervane
