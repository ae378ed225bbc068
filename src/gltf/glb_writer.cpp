#include <tiny_gltf.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>

#include "gltf/glb.h"
#include "model/failure.h"
#include "pose/skinning.h"

namespace mervane {
namespace {

// The game's axes to glTF's are MirrorX. A rotation q (as applied) becomes
// the mirrored rotation (q.x, -q.y, -q.z, q.w).

// glTF's normals are unit length; the game's need not be.
Vec3 Unit(const Vec3& v) {
  const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return length > 0 ? Vec3{v.x / length, v.y / length, v.z / length} : Vec3{0, 1, 0};
}

}  // namespace

GltfTurn GltfRotation(const Quat& stored) {
  const double n = stored.x * stored.x + stored.y * stored.y + stored.z * stored.z + stored.w * stored.w;
  if (!(n > 0)) return {};
  const double length = std::sqrt(n);
  return {{-stored.x / length, stored.y / length, stored.z / length, stored.w / length}, n};
}

namespace {

Mat4 NodeMatrix(const Vec3& t, const GltfTurn& turn) {
  const auto [x, y, z, w] = turn.rotation;
  const double s = turn.scale;
  return {s * (1 - 2 * (y * y + z * z)), s * 2 * (x * y + z * w),     s * 2 * (x * z - y * w),     0,
          s * 2 * (x * y - z * w),     s * (1 - 2 * (x * x + z * z)), s * 2 * (y * z + x * w),     0,
          s * 2 * (x * z + y * w),     s * 2 * (y * z - x * w),     s * (1 - 2 * (x * x + y * y)), 0,
          t.x,                         t.y,                         t.z,                         1};
}

// One binary buffer with its views and accessors, built as they are added.
class Buffer {
 public:
  explicit Buffer(tinygltf::Model& model) : model_(model) { model_.buffers.emplace_back(); }

  template <typename T>
  int View(const std::vector<T>& values, int target) {
    auto& data = model_.buffers[0].data;
    while (data.size() % 4 != 0) data.push_back(0);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = data.size();
    view.byteLength = values.size() * sizeof(T);
    view.target = target;
    data.resize(data.size() + view.byteLength);
    if (!values.empty()) std::memcpy(data.data() + view.byteOffset, values.data(), view.byteLength);
    model_.bufferViews.push_back(view);
    return static_cast<int>(model_.bufferViews.size()) - 1;
  }

  template <typename T>
  int Accessor(const std::vector<T>& values, int components, int type, int component_type, int target = 0,
               bool normalized = false) {
    tinygltf::Accessor accessor;
    accessor.bufferView = View(values, target);
    accessor.componentType = component_type;
    accessor.type = type;
    accessor.normalized = normalized;
    accessor.count = values.size() / static_cast<std::size_t>(components);
    model_.accessors.push_back(accessor);
    return static_cast<int>(model_.accessors.size()) - 1;
  }

  // Float values with the bounds glTF asks of positions and key times.
  int FloatAccessor(const std::vector<float>& values, int components, int type, bool bounds) {
    const int index = Accessor(values, components, type, TINYGLTF_COMPONENT_TYPE_FLOAT);
    if (bounds && !values.empty()) {
      auto& accessor = model_.accessors.back();
      // Each component starts from its own first value, not the element's first.
      accessor.minValues.assign(values.begin(), values.begin() + components);
      accessor.maxValues = accessor.minValues;
      for (std::size_t i = 0; i < values.size(); ++i) {
        const std::size_t k = i % static_cast<std::size_t>(components);
        accessor.minValues[k] = std::min<double>(accessor.minValues[k], values[i]);
        accessor.maxValues[k] = std::max<double>(accessor.maxValues[k], values[i]);
      }
    }
    return index;
  }

 private:
  tinygltf::Model& model_;
};

void Push(std::vector<float>& out, const Vec3& v) {
  out.push_back(static_cast<float>(v.x));
  out.push_back(static_cast<float>(v.y));
  out.push_back(static_cast<float>(v.z));
}

}  // namespace

std::string GlbBytes(const Rig& rig, std::span<const SkinModel> models, std::span<const std::string> pngs,
                     std::span<const Animation> animations) {
  std::vector<SkinMesh> meshes;
  for (const SkinModel& model : models) meshes.push_back(MakeSkinMesh(model));
  const std::vector<DressedMesh> dressed = Dress(rig, std::move(meshes));
  const Pose rest = RestPose(rig);

  tinygltf::Model gltf;
  gltf.asset.version = "2.0";
  gltf.asset.generator = "Mervane";
  Buffer buffer(gltf);

  // The joints: one node per bone, in the rig's order, with the skeleton's
  // hierarchy and rest transforms.
  const auto bones = static_cast<std::size_t>(rig.size());
  std::vector<Mat4> local(bones), world(bones);
  gltf.nodes.resize(bones);
  for (std::size_t b = 0; b < bones; ++b) {
    tinygltf::Node& node = gltf.nodes[b];
    node.name = rig.bone_names[b];
    const Vec3 t = MirrorX(rig.rest_positions[b]);
    const GltfTurn turn = GltfRotation(rig.rest_rotations[b]);
    node.translation = {t.x, t.y, t.z};
    node.rotation = {turn.rotation.begin(), turn.rotation.end()};
    if (turn.scale != 1) node.scale = {turn.scale, turn.scale, turn.scale};
    local[b] = NodeMatrix(t, turn);
    if (rig.parents[b] >= 0) gltf.nodes[static_cast<std::size_t>(rig.parents[b])].children.push_back(static_cast<int>(b));
  }
  tinygltf::Scene scene;
  for (const int b : rig.order) {
    const auto i = static_cast<std::size_t>(b);
    world[i] = rig.parents[i] < 0 ? local[i] : Multiply(world[static_cast<std::size_t>(rig.parents[i])], local[i]);
    if (rig.parents[i] < 0) scene.nodes.push_back(b);
  }
  tinygltf::Skin skin;
  std::vector<float> inverse_bind;
  for (std::size_t b = 0; b < bones; ++b) {
    skin.joints.push_back(static_cast<int>(b));
    for (const double e : AffineInverse(world[b])) inverse_bind.push_back(static_cast<float>(e));
  }
  skin.inverseBindMatrices = buffer.FloatAccessor(inverse_bind, 16, TINYGLTF_TYPE_MAT4, false);
  if (scene.nodes.size() == 1) skin.skeleton = scene.nodes.front();
  gltf.skins.push_back(skin);
  // Which skeleton the joints are, so that reading finds it again (or, where
  // it is not to be had, takes the joints' own rest transforms). tinygltf
  // writes no extras of a skin: the file's asset carries it.
  gltf.asset.extras = tinygltf::Value(tinygltf::Value::Object{{"skeleton", tinygltf::Value(rig.name)}});

  // The meshes, each bound vertex at rest as the game shows it.
  const bool wide_joints = bones > 256;
  SkinnedMesh skinned;
  for (std::size_t m = 0; m < dressed.size(); ++m) {
    const DressedMesh& mesh = dressed[m];
    // glTF has no empty accessors.
    if (mesh.mesh.bound_count == 0 || mesh.mesh.faces.empty())
      throw std::move(Failure::Error(err::kInvalidArgument, "a mesh without vertices or faces has no glTF form")
                          .About("mesh " + models[m].MeshName));
    Skin(mesh, rest, skinned);
    const std::vector<VertexBinding> bindings = VertexBindings(mesh);
    const auto count = static_cast<std::size_t>(mesh.mesh.bound_count);
    std::vector<float> positions, normals, uvs, weights;
    std::vector<std::uint8_t> joints8;
    std::vector<std::uint16_t> joints16;
    for (std::size_t i = 0; i < count; ++i) {
      Push(positions, MirrorX(skinned.positions[i]));
      Push(normals, MirrorX(Unit(skinned.normals[i])));
      uvs.push_back(static_cast<float>(mesh.mesh.uvs[i][0]));
      uvs.push_back(static_cast<float>(mesh.mesh.uvs[i][1]));
      const VertexBinding& binding = bindings[i];
      // A blend within the vertex's own bone moves with that bone alone.
      const bool blended = binding.blend_bone >= 0 && binding.blend_bone != binding.bone && binding.blend_weight > 0;
      const std::array<int, 4> j{binding.bone, blended ? binding.blend_bone : 0, 0, 0};
      for (const int joint : j) {
        joints8.push_back(static_cast<std::uint8_t>(joint));
        joints16.push_back(static_cast<std::uint16_t>(joint));
      }
      const double w = blended ? binding.blend_weight : 0;
      for (const double weight : {1 - w, w, 0.0, 0.0}) weights.push_back(static_cast<float>(weight));
    }
    std::vector<std::uint16_t> indices;
    for (const auto& face : mesh.mesh.faces)
      for (const int corner : {face[0], face[2], face[1]}) indices.push_back(static_cast<std::uint16_t>(corner));

    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.attributes["POSITION"] =
        buffer.FloatAccessor(positions, 3, TINYGLTF_TYPE_VEC3, true);
    primitive.attributes["NORMAL"] = buffer.FloatAccessor(normals, 3, TINYGLTF_TYPE_VEC3, false);
    primitive.attributes["TEXCOORD_0"] = buffer.FloatAccessor(uvs, 2, TINYGLTF_TYPE_VEC2, false);
    primitive.attributes["JOINTS_0"] =
        wide_joints ? buffer.Accessor(joints16, 4, TINYGLTF_TYPE_VEC4, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                                      TINYGLTF_TARGET_ARRAY_BUFFER)
                    : buffer.Accessor(joints8, 4, TINYGLTF_TYPE_VEC4, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                                      TINYGLTF_TARGET_ARRAY_BUFFER);
    primitive.attributes["WEIGHTS_0"] = buffer.FloatAccessor(weights, 4, TINYGLTF_TYPE_VEC4, false);
    primitive.indices = buffer.Accessor(indices, 1, TINYGLTF_TYPE_SCALAR, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                                        TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);

    tinygltf::Material material;
    material.name = models[m].TextureName;
    material.pbrMetallicRoughness.metallicFactor = 0;
    material.pbrMetallicRoughness.roughnessFactor = 1;
    if (m < pngs.size() && !pngs[m].empty()) {
      tinygltf::Image image;
      image.name = models[m].TextureName;
      image.mimeType = "image/png";
      image.bufferView = buffer.View(std::vector<char>(pngs[m].begin(), pngs[m].end()), 0);
      gltf.images.push_back(image);
      tinygltf::Texture texture;
      texture.source = static_cast<int>(gltf.images.size()) - 1;
      gltf.textures.push_back(texture);
      material.pbrMetallicRoughness.baseColorTexture.index = static_cast<int>(gltf.textures.size()) - 1;
    }
    gltf.materials.push_back(material);
    primitive.material = static_cast<int>(gltf.materials.size()) - 1;

    tinygltf::Mesh gltf_mesh;
    gltf_mesh.name = models[m].MeshName;
    gltf_mesh.primitives.push_back(primitive);
    gltf.meshes.push_back(gltf_mesh);
    tinygltf::Node node;
    node.name = models[m].MeshName;
    node.mesh = static_cast<int>(gltf.meshes.size()) - 1;
    node.skin = 0;
    gltf.nodes.push_back(node);
    scene.nodes.push_back(static_cast<int>(gltf.nodes.size()) - 1);
  }
  gltf.scenes.push_back(scene);
  gltf.defaultScene = 0;

  // Animations: a key per frame, 30 a second; a bone without a motion, or
  // a motion without positions, keeps its rest transform.
  for (const Animation& animation : animations) {
    tinygltf::Animation out;
    out.name = animation.name;
    std::map<int, int> times;  // frames -> key time accessor
    auto time_accessor = [&](int frames) {
      if (const auto found = times.find(frames); found != times.end()) return found->second;
      std::vector<float> seconds;
      for (int k = 0; k < frames; ++k) seconds.push_back(static_cast<float>(k / kFramesPerSecond));
      return times[frames] = buffer.FloatAccessor(seconds, 1, TINYGLTF_TYPE_SCALAR, true);
    };
    auto add = [&](int bone, const char* path, int output, int frames) {
      tinygltf::AnimationSampler sampler;
      sampler.input = time_accessor(frames);
      sampler.output = output;
      sampler.interpolation = "LINEAR";
      out.samplers.push_back(sampler);
      tinygltf::AnimationChannel channel;
      channel.sampler = static_cast<int>(out.samplers.size()) - 1;
      channel.target_node = bone;
      channel.target_path = path;
      out.channels.push_back(channel);
    };
    for (const Animation::Channel& channel : animation.channels) {
      if (channel.frames <= 0) continue;
      const auto frames = static_cast<std::size_t>(channel.frames);
      if (channel.position_offset >= 0) {
        std::vector<float> values;
        for (std::size_t k = 0; k < frames; ++k) {
          const auto& p = animation.frames.positions[static_cast<std::size_t>(channel.position_offset) + k];
          Push(values, MirrorX({p[0], p[1], p[2]}));
        }
        add(channel.bone, "translation", buffer.FloatAccessor(values, 3, TINYGLTF_TYPE_VEC3, false), channel.frames);
      }
      if (channel.rotation_offset >= 0) {
        std::vector<float> values, scales, stored;
        std::array<double, 4> previous{0, 0, 0, 1};
        for (std::size_t k = 0; k < frames; ++k) {
          const auto& r = animation.frames.rotations[static_cast<std::size_t>(channel.rotation_offset) + k];
          GltfTurn turn = GltfRotation({r[0], r[1], r[2], r[3]});
          auto& q = turn.rotation;
          // Each key on the side of the last, so that every step turns the short way, as the game's does.
          if (k > 0 && q[0] * previous[0] + q[1] * previous[1] + q[2] * previous[2] + q[3] * previous[3] < 0)
            for (double& e : q) e = -e;
          stored.insert(stored.end(), r.begin(), r.end());
          previous = q;
          for (const double e : q) values.push_back(static_cast<float>(e));
          Push(scales, {turn.scale, turn.scale, turn.scale});
        }
        add(channel.bone, "rotation", buffer.FloatAccessor(values, 4, TINYGLTF_TYPE_VEC4, false), channel.frames);
        add(channel.bone, "scale", buffer.FloatAccessor(scales, 3, TINYGLTF_TYPE_VEC3, false), channel.frames);
        // The game's own values beside them: a rotation and its negation
        // turn alike and a unit quaternion loses the last bit, but the game
        // keeps what it stored, and reading gives it back.
        tinygltf::Value::Object game = out.extras.IsObject() ? out.extras.Get("game").Get<tinygltf::Value::Object>()
                                                             : tinygltf::Value::Object{};
        game[rig.bone_names[static_cast<std::size_t>(channel.bone)]] =
            tinygltf::Value(buffer.FloatAccessor(stored, 4, TINYGLTF_TYPE_VEC4, false));
        out.extras = tinygltf::Value(tinygltf::Value::Object{{"game", tinygltf::Value(std::move(game))}});
      }
    }
    if (!out.channels.empty()) gltf.animations.push_back(std::move(out));
  }
  gltf.buffers[0].data.resize((gltf.buffers[0].data.size() + 3) / 4 * 4, 0);

  std::ostringstream stream;
  tinygltf::TinyGLTF writer;
  writer.WriteGltfSceneToStream(&gltf, stream, false, true);
  return std::move(stream).str();
}

}  // namespace mervane
