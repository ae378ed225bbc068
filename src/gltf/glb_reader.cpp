#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "archive/far.h"
#include "bmf/bmf.h"
#include "files/textfile.h"
#include "gltf/glb.h"
#include "model/numbers.h"
#include "model/paths.h"
#include "model/skeleton.h"
#include "pose/skinning.h"
#include "skn/skn.h"

namespace mervane {
namespace {

// How near a vertex must be to what the writer writes for an original one
// to be that vertex: modellers round what they import and export. Blender
// keeps normals as two 16-bit angles per face corner: most come back within
// 6e-5, but measured on the game's body a few moved by up to 1e-2.
constexpr double kPlaceTolerance = 1e-5, kNormalTolerance = 2e-2, kUvTolerance = 1e-4;
constexpr double kWeightTolerance = 1.0 / 32768 + 1e-9;

// A vertex as the writer writes it, in the game's axes and rig bones.
struct Written {
  Vec3 position, normal;
  std::array<double, 2> uv{};
  int bone = -1;
  int blend_bone = -1;  // -1: no blend
  double weight = 0;    // of the blend
};

bool Near(const Vec3& a, const Vec3& b, double tolerance) {
  return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance && std::abs(a.z - b.z) <= tolerance;
}

// The same texture place, bones and weights: a vertex moved in a modeller
// keeps these.
bool SameBinding(const Written& a, const Written& b) {
  if (std::abs(a.uv[0] - b.uv[0]) > kUvTolerance || std::abs(a.uv[1] - b.uv[1]) > kUvTolerance) return false;
  if (a.blend_bone < 0 || b.blend_bone < 0) return a.blend_bone == b.blend_bone && a.bone == b.bone;
  if (a.bone == b.bone && a.blend_bone == b.blend_bone) return std::abs(a.weight - b.weight) <= kWeightTolerance;
  // A blend may weigh more than the bone it pulls, which a reader takes for
  // the vertex's own bone: the same two weights the other way round.
  return a.bone == b.blend_bone && a.blend_bone == b.bone && std::abs(a.weight - (1 - b.weight)) <= kWeightTolerance;
}

bool Matches(const Written& a, const Written& b) {
  return Near(a.position, b.position, kPlaceTolerance) && Near(a.normal, b.normal, kNormalTolerance) &&
         SameBinding(a, b);
}

// Vertices by place, to find those within reach of a point: cells a
// thousandth wide, and only the neighbours a point lies within reach of
// are looked into (one cell for almost every point).
class PlaceGrid {
 public:
  explicit PlaceGrid(double reach) : reach_(reach * kScale * 1.01) {}
  void Add(const Vec3& p, int index) { cells_[Key(Cell(p.x), Cell(p.y), Cell(p.z))].push_back(index); }
  template <typename Visit>
  void Around(const Vec3& p, Visit&& visit) const {
    const double at[3] = {Scaled(p.x), Scaled(p.y), Scaled(p.z)};
    std::int64_t cell[3];
    int low[3], high[3];
    for (int k = 0; k < 3; ++k) {
      cell[k] = std::llround(at[k]);
      const double middle = static_cast<double>(cell[k]);
      low[k] = at[k] - (middle - 0.5) <= reach_ ? -1 : 0;
      high[k] = (middle + 0.5) - at[k] <= reach_ ? 1 : 0;
    }
    for (int dx = low[0]; dx <= high[0]; ++dx)
      for (int dy = low[1]; dy <= high[1]; ++dy)
        for (int dz = low[2]; dz <= high[2]; ++dz)
          if (const auto found = cells_.find(Key(cell[0] + dx, cell[1] + dy, cell[2] + dz)); found != cells_.end())
            for (const int index : found->second)
              if (visit(index)) return;
  }

 private:
  static constexpr double kScale = 1e3;
  static double Scaled(double v) { return std::clamp(v * kScale, -1e15, 1e15); }
  static std::int64_t Cell(double v) { return std::llround(Scaled(v)); }
  static std::uint64_t Key(std::int64_t x, std::int64_t y, std::int64_t z) {
    return static_cast<std::uint64_t>(x) * 73856093u ^ static_cast<std::uint64_t>(y) * 19349663u ^
           static_cast<std::uint64_t>(z) * 83492791u;
  }
  double reach_;
  std::unordered_map<std::uint64_t, std::vector<int>> cells_;
};

// The original skin as the writer would write it, with what is needed to
// give its vertices back.
struct Original {
  const SkinModel* model = nullptr;
  DressedMesh dressed;
  std::vector<Written> written;  // per bound vertex
  std::vector<int> kept_blend;   // per bound vertex: the blend entry the writer used, or -1
  std::vector<int> blend_bones;  // per bound vertex: that entry's bone (written may not show it)
};

std::optional<Original> PrepareOriginal(const SkinModel* model, const Rig& rig, const Pose& rest) {
  if (!model) return std::nullopt;
  Original o;
  o.model = model;
  try {
    o.dressed = std::move(Dress(rig, {MakeSkinMesh(*model)}).front());
  } catch (const Failure&) {
    return std::nullopt;  // an original that does not fit the rig keeps no digits
  }
  SkinnedMesh skinned;
  Skin(o.dressed, rest, skinned);
  const std::vector<VertexBinding> bindings = VertexBindings(o.dressed);
  const SkinMesh& mesh = o.dressed.mesh;
  o.kept_blend.assign(static_cast<std::size_t>(mesh.bound_count), -1);
  o.blend_bones.assign(static_cast<std::size_t>(mesh.bound_count), -1);
  for (std::size_t i = 0; i < mesh.blends.size(); ++i)
    o.kept_blend[static_cast<std::size_t>(mesh.blends[i].target)] = static_cast<int>(i);
  for (int k = 0; k < mesh.bound_count; ++k) {
    const auto i = static_cast<std::size_t>(k);
    Written w;
    w.position = skinned.positions[i];
    const Vec3& n = skinned.normals[i];
    const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    w.normal = length > 0 ? Vec3{n.x / length, n.y / length, n.z / length} : Vec3{0, 1, 0};
    w.uv = mesh.uvs[i];
    w.bone = bindings[i].bone;
    if (bindings[i].blend_bone >= 0 && bindings[i].blend_weight > 0) {
      o.blend_bones[i] = bindings[i].blend_bone;
      // A blend within its own bone is that bone alone to the writer.
      if (bindings[i].blend_bone != w.bone) {
        w.blend_bone = bindings[i].blend_bone;
        w.weight = bindings[i].blend_weight;
      }
    } else {
      o.kept_blend[i] = -1;
    }
    o.written.push_back(w);
  }
  return o;
}

// The numbers of a line, to tell whether an original line still says what
// is to be written.
std::vector<double> Numbers(std::string_view line) {
  std::array<std::string_view, 8> fields;
  const std::size_t n = SplitFields(line, fields);
  std::vector<double> values;
  for (std::size_t i = 0; i < n; ++i) values.push_back(ReadNumber(fields[i]));
  return values;
}

std::string Joined(std::initializer_list<long> values) {
  std::string text;
  for (const long v : values) text += (text.empty() ? "" : " ") + std::to_string(v);
  return text;
}

std::string Where(const std::string& mesh, std::size_t vertex) {
  return Counted("vertex", static_cast<long>(vertex)) + " of mesh " + mesh;
}

class SkinBuilder {
 public:
  SkinBuilder(const GltfDocument& doc, const GltfMesh& mesh, const Rig& rig, const Pose& rest,
              const std::string& rig_source)
      : doc_(doc), mesh_(mesh), rig_(rig), rest_(rest), rig_source_(rig_source),
        node_bone_(doc.nodes.size(), kUnmapped) {}

  SkinModel Build(const SkinModel* original_model, int& extra_influences) {
    const std::string about = "mesh " + mesh_.name;
    if (!mesh_.has_uvs)
      throw Refuse("it has no texture coordinates: in Blender, give it a UV map (UV > Unwrap) before exporting");
    if (!mesh_.has_normals)
      throw Refuse("it has no normals: export it with Normals ticked (Data > Mesh > Normals)");
    ReadVertices(extra_influences);
    original_ = PrepareOriginal(original_model, rig_, rest_);
    MatchVertices();
    OrderBones();
    OrderVertices();
    return Lines();
  }

 private:
  static constexpr int kUnmapped = -2;

  Failure Refuse(const std::string& what, std::optional<std::size_t> vertex = std::nullopt) const {
    return std::move(Failure::Error(err::kInvalidArgument, what)
                         .About(vertex ? Where(mesh_.name, *vertex) : "mesh " + mesh_.name));
  }

  int BoneOfNode(int node, std::size_t vertex) {
    int& bone = node_bone_[static_cast<std::size_t>(node)];
    if (bone != kUnmapped) return bone;
    const std::string& name = doc_.nodes[static_cast<std::size_t>(node)].name;
    bone = rig_.Find(name);
    if (bone < 0)
      throw Refuse("it is weighted to \"" + name + "\", which is not a bone of the skeleton (" + rig_source_ +
                       "): in Blender, move its weights to a vertex group named after one of the skeleton's bones",
                   vertex);
    // The file's joints must stand where the skeleton has its bones, or
    // the places read would be relative to another skeleton.
    const Mat4& world = doc_.nodes[static_cast<std::size_t>(node)].world;
    const Vec3 at{world[12], world[13], world[14]};
    const Vec3 expected = MirrorX(rest_[static_cast<std::size_t>(bone)].position);
    if (!Near(at, expected, 1e-3))
      throw Refuse("its bone " + name + " is at (" + FormatCoord(at.x, at.y, at.z) + ") in the file but at (" +
                   FormatCoord(expected.x, expected.y, expected.z) + ") on the skeleton (" + rig_source_ +
                   "): read it with the skeleton it was written on (--skeleton), and export it from Blender "
                   "in the rest pose without moving bones");
    return bone;
  }

  void ReadVertices(int& extra_influences) {
    const std::size_t count = mesh_.positions.size();
    read_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      Written& w = read_[i];
      w.position = MirrorX(mesh_.positions[i]);
      w.normal = MirrorX(mesh_.normals[i]);
      w.uv = mesh_.uvs[i];
      // The influences by bone, largest first; a tie keeps the file's order.
      std::array<std::pair<int, double>, 4> by_bone{};
      std::size_t bones = 0;
      for (std::size_t k = 0; k < 4; ++k) {
        const double weight = mesh_.weights[i][k];
        if (weight <= 0) continue;
        const int bone = BoneOfNode(mesh_.joints[i][k], i);
        std::size_t at = 0;
        while (at < bones && by_bone[at].first != bone) ++at;
        if (at == bones) by_bone[bones++] = {bone, 0.0};
        by_bone[at].second += weight;
      }
      if (bones == 0)
        throw Refuse("it has no bone weight: in Blender, assign it to a vertex group of the armature "
                     "(Object Data > Vertex Groups, or Weight Paint)",
                     i);
      if (bones > 2) ++extra_influences;
      std::stable_sort(by_bone.begin(), by_bone.begin() + static_cast<long>(bones),
                       [](const auto& a, const auto& b) { return a.second > b.second; });
      w.bone = by_bone[0].first;
      if (bones > 1) {
        const double weight = by_bone[1].second / (by_bone[0].second + by_bone[1].second);
        if (std::lround(weight * 32768) > 0) {
          w.blend_bone = by_bone[1].first;
          w.weight = weight;
        }
      }
    }
  }

  // Each vertex becomes an original vertex it matches (copies of one merge
  // into it); else an original vertex that it matches but for its place and
  // normal, which it then moves (keeping its place in the order); else a
  // new vertex. Copies of moved and new vertices merge as well.
  void MatchVertices() {
    const std::size_t count = read_.size();
    const std::size_t originals = original_ ? original_->written.size() : 0;
    rep_.assign(count, {});
    claimed_.assign(originals, false);
    fresh_of_.assign(originals, -1);
    PlaceGrid by_place(kPlaceTolerance), by_uv(kUvTolerance), fresh(kPlaceTolerance);
    for (std::size_t k = 0; k < originals; ++k) {
      by_place.Add(original_->written[k].position, static_cast<int>(k));
      const auto& uv = original_->written[k].uv;
      by_uv.Add({uv[0], uv[1], 0}, static_cast<int>(k));
    }
    std::vector<std::size_t> pending;
    for (std::size_t i = 0; i < count; ++i) {
      const Written& w = read_[i];
      int first = -1, free = -1;
      by_place.Around(w.position, [&](int k) {
        if (!Matches(w, original_->written[static_cast<std::size_t>(k)])) return false;
        if (first < 0 || k < first) first = k;
        if (!claimed_[static_cast<std::size_t>(k)] && (free < 0 || k < free)) free = k;
        return false;
      });
      // Identical vertices of the original each keep their own; a copy of
      // one already taken is that one.
      const int k = free >= 0 ? free : first;
      if (k < 0) {
        pending.push_back(i);
        continue;
      }
      claimed_[static_cast<std::size_t>(k)] = true;
      rep_[i] = {true, k};
    }
    for (const std::size_t i : pending) {
      const Written& w = read_[i];
      int same = -1;
      fresh.Around(w.position, [&](int n) {
        if (!Matches(w, new_[static_cast<std::size_t>(n)])) return false;
        same = n;
        return true;
      });
      if (same < 0) {
        int moved = -1;
        double nearest = 0;
        by_uv.Around({w.uv[0], w.uv[1], 0}, [&](int k) {
          const Written& o = original_->written[static_cast<std::size_t>(k)];
          if (claimed_[static_cast<std::size_t>(k)] || !SameBinding(w, o)) return false;
          const double d = std::hypot(w.position.x - o.position.x, w.position.y - o.position.y,
                                      w.position.z - o.position.z);
          if (moved < 0 || d < nearest) moved = k, nearest = d;
          return false;
        });
        same = static_cast<int>(new_.size());
        new_.push_back(w);
        moved_from_.push_back(moved);
        if (moved >= 0) {
          claimed_[static_cast<std::size_t>(moved)] = true;
          fresh_of_[static_cast<std::size_t>(moved)] = same;
        }
        fresh.Add(w.position, same);
      }
      rep_[i] = {false, same};
    }
  }

  // The original's bones in its order, then the others used in the rig's.
  void OrderBones() {
    slot_of_bone_.assign(static_cast<std::size_t>(rig_.size()), -1);
    auto add = [&](int bone, const std::string& name) {
      if (slot_of_bone_[static_cast<std::size_t>(bone)] >= 0) return;
      slot_of_bone_[static_cast<std::size_t>(bone)] = static_cast<int>(bones_.size());
      bones_.push_back({bone, name});
    };
    if (original_)
      for (std::size_t b = 0; b < original_->dressed.rig_bones.size(); ++b)
        add(original_->dressed.rig_bones[b], original_->dressed.mesh.bone_names[b]);
    std::vector<bool> used(static_cast<std::size_t>(rig_.size()), false);
    auto use = [&](const Written& w) {
      used[static_cast<std::size_t>(w.bone)] = true;
      if (w.blend_bone >= 0) used[static_cast<std::size_t>(w.blend_bone)] = true;
    };
    for (const Written& w : new_) use(w);
    for (std::size_t k = 0; k < claimed_.size(); ++k)
      if (claimed_[k]) {
        use(original_->written[k]);
        if (original_->kept_blend[k] >= 0) used[static_cast<std::size_t>(original_->blend_bones[k])] = true;
      }
    for (int b = 0; b < rig_.size(); ++b)
      if (used[static_cast<std::size_t>(b)]) add(b, rig_.bone_names[static_cast<std::size_t>(b)]);
    if (bones_.size() > static_cast<std::size_t>(kBoneSlots))
      throw std::move(Failure::Error(err::kIndexOutOfRange, std::to_string(bones_.size()) + " bones are more than the " +
                                                                std::to_string(kBoneSlots) + " a skin holds")
                          .About("mesh " + mesh_.name));
  }

  // A bound vertex of the result: an original one or a new one.
  struct Bound {
    bool original;
    int index;
  };
  // A blended vertex of the result: an original blend entry, or the blend
  // of a new vertex.
  struct Blended {
    bool original;
    int index;   // blend entry, or new vertex
    int target;  // bound vertex of the result
  };

  const Written& WrittenOf(const Bound& b) const {
    return b.original ? original_->written[static_cast<std::size_t>(b.index)] : new_[static_cast<std::size_t>(b.index)];
  }

  void OrderVertices() {
    const std::size_t slots = bones_.size();
    std::vector<std::vector<Bound>> by_bone(slots);
    for (std::size_t k = 0; k < claimed_.size(); ++k)
      if (claimed_[k]) by_bone[Slot(original_->written[k].bone)].push_back({true, static_cast<int>(k)});
    for (std::size_t n = 0; n < new_.size(); ++n)
      if (moved_from_[n] < 0) by_bone[Slot(new_[n].bone)].push_back({false, static_cast<int>(n)});
    orig_out_.assign(claimed_.size(), -1);
    new_out_.assign(new_.size(), -1);
    for (std::size_t s = 0; s < slots; ++s) {
      bone_first_.push_back(static_cast<int>(bound_.size()));
      for (const Bound& b : by_bone[s]) {
        (b.original ? orig_out_ : new_out_)[static_cast<std::size_t>(b.index)] = static_cast<int>(bound_.size());
        bound_.push_back(b);
      }
    }
    for (std::size_t n = 0; n < new_.size(); ++n)
      if (moved_from_[n] >= 0) new_out_[n] = orig_out_[static_cast<std::size_t>(moved_from_[n])];
    if (bound_.size() > static_cast<std::size_t>(kCountLimit))
      throw std::move(Failure(FailureKind::TexVertexLimit, 0, std::to_string(bound_.size()) + " texture vertices")
                          .About("mesh " + mesh_.name));
    std::vector<std::vector<Blended>> blends(slots);
    if (original_) {
      const SkinMesh& mesh = original_->dressed.mesh;
      for (std::size_t i = 0; i < mesh.blends.size(); ++i) {
        const int target = mesh.blends[i].target;
        if (!claimed_[static_cast<std::size_t>(target)] ||
            original_->kept_blend[static_cast<std::size_t>(target)] != static_cast<int>(i))
          continue;
        blends[Slot(original_->blend_bones[static_cast<std::size_t>(target)])].push_back(
            {true, static_cast<int>(i), orig_out_[static_cast<std::size_t>(target)]});
      }
    }
    for (std::size_t v = 0; v < bound_.size(); ++v)
      if (!bound_[v].original && WrittenOf(bound_[v]).blend_bone >= 0)
        blends[Slot(WrittenOf(bound_[v]).blend_bone)].push_back({false, bound_[v].index, static_cast<int>(v)});
    for (std::size_t s = 0; s < slots; ++s) {
      blend_first_.push_back(static_cast<int>(blended_.size()));
      blended_.insert(blended_.end(), blends[s].begin(), blends[s].end());
    }
    const std::size_t vertices = bound_.size() + blended_.size();
    if (vertices > static_cast<std::size_t>(kCountLimit))
      throw std::move(Failure(FailureKind::VertexLimit, 0, std::to_string(vertices) + " vertices")
                          .About("mesh " + mesh_.name));
  }

  std::size_t Slot(int bone) const { return static_cast<std::size_t>(slot_of_bone_[static_cast<std::size_t>(bone)]); }

  // A world place and normal in a bone's space, as vertex and normal lines.
  std::pair<std::string, std::string> LocalLines(const Written& w, int bone) const {
    // The bone's rotation may carry its quaternion's scale: inverted, not transposed.
    const BoneTransform& t = rest_[static_cast<std::size_t>(bone)];
    const auto& m = t.rotation.m;
    const Mat4 back = AffineInverse({m[0], m[3], m[6], 0, m[1], m[4], m[7], 0, m[2], m[5], m[8], 0,
                                     t.position.x, t.position.y, t.position.z, 1});
    const Vec3 p = TransformPoint(back, w.position);
    Vec3 n = TransformDirection(back, w.normal);
    const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (length > 0) n = {n.x / length, n.y / length, n.z / length};
    return {FormatCoord(p.x, p.y, p.z), FormatCoord(n.x, n.y, n.z)};
  }

  // The material's name. Modellers keep names unique with a suffix
  // ("x.001" for a second "x", as game meshes without a texture of their
  // own are named): the original's name is taken back from under it.
  std::string TextureName() const {
    const std::string& material = mesh_.material;
    if (!original_) return material.empty() ? "x" : material;
    const std::string& before = original_->model->TextureName;
    if (material.empty() || material == before) return before;
    const std::size_t dot = material.rfind('.');
    if (dot != std::string::npos && material.compare(0, dot, before) == 0 && dot + 1 < material.size() &&
        material.find_first_not_of("0123456789", dot + 1) == std::string::npos)
      return before;
    return material;
  }

  SkinModel Lines() {
    SkinModel model;
    model.MeshName = mesh_.name;
    model.TextureName = TextureName();
    const SkinModel* o = original_ ? original_->model : nullptr;
    const int bound = static_cast<int>(bound_.size()), blended = static_cast<int>(blended_.size());
    model.BoneCount = static_cast<std::int16_t>(bones_.size());
    model.TexVertexCount = static_cast<std::int16_t>(bound);
    model.BlendCount = static_cast<std::int16_t>(blended);
    model.VertexCount = model.NormalCount = static_cast<std::int16_t>(bound + blended);

    // Bindings: each bone's bound range and blended range.
    std::vector<int> bound_count(bones_.size(), 0), blend_count(bones_.size(), 0);
    for (const Bound& b : bound_) ++bound_count[Slot(WrittenOf(b).bone)];
    for (std::size_t s = 0; s < bones_.size(); ++s)
      blend_count[s] = (s + 1 < bones_.size() ? blend_first_[s + 1] : blended) - blend_first_[s];
    for (std::size_t s = 0; s < bones_.size(); ++s) {
      const int i = static_cast<int>(s);
      model.BoneNames.set(i, bones_[s].second);
      // A range of no vertices may start anywhere.
      auto same = [&](const std::vector<double>& line) {
        return line.size() == 5 && line[0] == static_cast<double>(s) && line[2] == bound_count[s] &&
               line[4] == blend_count[s] && (bound_count[s] == 0 || line[1] == bone_first_[s]) &&
               (blend_count[s] == 0 || line[3] == blend_first_[s]);
      };
      if (o && i < o->BoneCount && same(Numbers(o->BindingLines.at(i))))
        model.BindingLines.set(i, o->BindingLines.at(i));
      else
        model.BindingLines.set(i, Joined({i, bone_first_[s], bound_count[s], blend_count[s] ? blend_first_[s] : -1,
                                          blend_count[s]}));
    }

    for (int v = 0; v < bound; ++v) {
      const Bound& b = bound_[static_cast<std::size_t>(v)];
      if (b.original) {
        const int fresh = fresh_of_[static_cast<std::size_t>(b.index)];
        if (fresh < 0) {
          model.VertexLines.set(v, o->VertexLines.at(b.index));
          model.NormalLines.set(v, o->NormalLines.at(b.index));
        } else {
          const auto [position, normal] =
              LocalLines(new_[static_cast<std::size_t>(fresh)], original_->written[static_cast<std::size_t>(b.index)].bone);
          model.VertexLines.set(v, position);
          model.NormalLines.set(v, normal);
        }
        model.TexVertexLines.set(v, o->TexVertexLines.at(b.index));
      } else {
        const Written& w = new_[static_cast<std::size_t>(b.index)];
        const auto [position, normal] = LocalLines(w, w.bone);
        model.VertexLines.set(v, position);
        model.NormalLines.set(v, normal);
        model.TexVertexLines.set(v, CoordText(w.uv[0], w.uv[1]).view());
      }
    }
    const int original_bound = o ? original_->dressed.mesh.bound_count : 0;
    for (int e = 0; e < blended; ++e) {
      const Blended& b = blended_[static_cast<std::size_t>(e)];
      if (b.original) {
        const int target = original_->dressed.mesh.blends[static_cast<std::size_t>(b.index)].target;
        const int fresh = fresh_of_[static_cast<std::size_t>(target)];
        if (fresh < 0) {
          model.VertexLines.set(bound + e, o->VertexLines.at(original_bound + b.index));
          model.NormalLines.set(bound + e, o->NormalLines.at(original_bound + b.index));
        } else {
          const auto [position, normal] = LocalLines(new_[static_cast<std::size_t>(fresh)],
                                                     original_->blend_bones[static_cast<std::size_t>(target)]);
          model.VertexLines.set(bound + e, position);
          model.NormalLines.set(bound + e, normal);
        }
        const std::string_view line = o->BlendLines.at(b.index);
        std::array<std::string_view, 2> fields;
        SplitFields(line, fields);
        if (static_cast<int>(ReadNumber(fields[0])) == b.target)
          model.BlendLines.set(e, line);
        else
          model.BlendLines.set(e, std::to_string(b.target) + " " + std::string(fields[1]));
      } else {
        const Written& w = new_[static_cast<std::size_t>(b.index)];
        const auto [position, normal] = LocalLines(w, w.blend_bone);
        model.VertexLines.set(bound + e, position);
        model.NormalLines.set(bound + e, normal);
        model.BlendLines.set(e, Joined({b.target, std::lround(w.weight * 32768)}));
      }
    }
    Faces(model);
    BuildSkeleton(model);
    return model;
  }

  int OutOf(std::size_t read_vertex) const {
    const auto& [original, index] = rep_[read_vertex];
    return (original ? orig_out_ : new_out_)[static_cast<std::size_t>(index)];
  }

  // Faces the original has keep its order and text; others follow in the
  // file's order.
  void Faces(SkinModel& model) {
    using Corners = std::array<int, 3>;
    auto canonical = [](Corners c) {
      std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
      return c;
    };
    auto key = [](const Corners& c) {
      return static_cast<std::uint64_t>(c[0]) << 40 ^ static_cast<std::uint64_t>(c[1]) << 20 ^
             static_cast<std::uint64_t>(c[2]);
    };
    std::unordered_map<std::uint64_t, std::vector<int>> original_faces;  // by canonical corners, in order
    std::vector<Corners> original_corners;
    if (original_) {
      const auto& faces = original_->dressed.mesh.faces;
      for (std::size_t f = 0; f < faces.size(); ++f) {
        Corners c{};
        bool kept = true;
        for (std::size_t k = 0; k < 3; ++k) {
          c[k] = orig_out_[static_cast<std::size_t>(faces[f][k])];
          kept = kept && c[k] >= 0;
        }
        original_corners.push_back(c);
        if (kept) original_faces[key(canonical(c))].push_back(static_cast<int>(f));
      }
    }
    std::vector<bool> taken(original_corners.size(), false);
    std::vector<Corners> added;
    for (const auto& triangle : mesh_.triangles) {
      const Corners c{OutOf(triangle[0]), OutOf(triangle[2]), OutOf(triangle[1])};
      const auto found = original_faces.find(key(canonical(c)));
      bool matched = false;
      if (found != original_faces.end())
        for (const int f : found->second)
          if (!taken[static_cast<std::size_t>(f)] &&
              canonical(original_corners[static_cast<std::size_t>(f)]) == canonical(c)) {
            taken[static_cast<std::size_t>(f)] = true;
            matched = true;
            break;
          }
      if (!matched) added.push_back(c);
    }
    int face = 0;
    for (std::size_t f = 0; f < taken.size(); ++f) {
      if (!taken[f]) continue;
      const Corners& c = original_corners[f];
      const auto& was = original_->dressed.mesh.faces[f];
      model.FaceLines.set(face++, c == was ? std::string(original_->model->FaceLines.at(static_cast<int>(f)))
                                           : Joined({c[0], c[1], c[2]}));
    }
    for (const Corners& c : added) model.FaceLines.set(face++, Joined({c[0], c[1], c[2]}));
    model.FaceCount = static_cast<std::int16_t>(face);
  }

  const GltfDocument& doc_;
  const GltfMesh& mesh_;
  const Rig& rig_;
  const Pose& rest_;
  const std::string& rig_source_;
  std::vector<int> node_bone_;
  std::vector<Written> read_;
  std::optional<Original> original_;
  std::vector<bool> claimed_;                 // per original bound vertex
  std::vector<Written> new_;                  // vertices the original does not have, or has elsewhere
  std::vector<int> moved_from_;               // per new vertex: the original vertex it moves, or -1
  std::vector<int> fresh_of_;                 // per original vertex: the new vertex that moves it, or -1
  std::vector<std::pair<bool, int>> rep_;     // per read vertex: (original?, index)
  std::vector<std::pair<int, std::string>> bones_;  // rig bone and name, in the result's order
  std::vector<int> slot_of_bone_;
  std::vector<Bound> bound_;
  std::vector<Blended> blended_;
  std::vector<int> bone_first_, blend_first_;
  std::vector<int> orig_out_, new_out_;
};

}  // namespace

SkinsRead SkinsFromGltf(const GltfDocument& doc, const Rig& rig, const std::string& rig_source,
                        const OriginalSkin& original) {
  const Pose rest = RestPose(rig);
  SkinsRead read;
  for (const GltfMesh& mesh : doc.meshes) {
    if (!mesh.has_weights) continue;
    const std::optional<SkinModel> before = original ? original(mesh.name) : std::nullopt;
    read.models.push_back(
        SkinBuilder(doc, mesh, rig, rest, rig_source).Build(before ? &*before : nullptr, read.extra_influences));
  }
  if (read.models.empty())
    throw Failure::Error(err::kInvalidArgument,
                         "it holds no mesh with bone weights: in Blender, parent the mesh to the armature "
                         "(Object > Parent > With Automatic Weights) before exporting");
  return read;
}

OriginalSkin OriginalsBeside(const std::string& path) {
  return [folder = FolderOf(path)](const std::string& mesh_name) -> std::optional<SkinModel> {
    const FolderFiles files(folder);
    try {
      if (const std::string skn = files.Find(mesh_name + ".skn"); !skn.empty())
        return ParseSkn(ReadWholeFile(folder + skn), skn, SknDigits::AsWritten);
      if (const std::string bmf = files.Find(mesh_name + ".bmf"); !bmf.empty())
        return ParseBmf(ReadWholeFile(folder + bmf), bmf);
    } catch (const Failure&) {
      // A broken original keeps no digits; the skin is read without it.
    }
    return std::nullopt;
  };
}

}  // namespace mervane
