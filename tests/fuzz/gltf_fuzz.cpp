// The glTF reader on any bytes, as a .glb or as .gltf text whose external
// files would lie in an empty folder: a refusal is one the content can
// cause, an accepted document keeps every index inside its tables and
// within the limits, and the skins found in it on the built-in skeleton,
// read once alone and once with themselves as the originals, are written
// every way and read back.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <numeric>
#include <optional>

#include <stdlib.h>  // mkdtemp

#include "fuzz_support.h"
#include "gltf/glb.h"
#include "gltf/gltf_skills.h"

using namespace mervane;

namespace {

// A folder made for the run and removed at its end; nothing is ever put in it.
class EmptyFolder {
 public:
  EmptyFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mervane-gltf-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) fuzz::Fail("no temporary folder");
    path_ = pattern + "/";
  }
  ~EmptyFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  EmptyFolder(const EmptyFolder&) = delete;
  EmptyFolder& operator=(const EmptyFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const std::string& TheEmptyFolder() {
  static const EmptyFolder folder;
  return folder.path();
}

const Rig& BuiltIn() {
  static const Rig rig = BuiltInRig();
  return rig;
}

// A refusal of the document: what the bytes can cause, or a buffer file
// refused or missing from the empty folder.
void CheckParseFailure(const Failure& failure) {
  const int n = failure.number();
  fuzz::Require(test::IsContentMessage(failure.message()) ||
                    (failure.kind() == FailureKind::Error && (n == err::kBadFileName || n == err::kFileNotFound)),
                "a failure the bytes cannot cause: \"" + failure.message() + "\" / " + failure.detail());
  fuzz::Require(failure.file() == "in.glb", "a failure that does not name its file: " + failure.detail());
  fuzz::Require(failure.detail().size() <= 1003, "a detail that quotes too much");
}

void CheckSkinsFailure(const Failure& failure) {
  fuzz::Require(test::IsContentMessage(failure.message()),
                "a skin refused unexpectedly: \"" + failure.message() + "\" / " + failure.detail());
  fuzz::Require(failure.detail().size() <= 1003, "a detail that quotes too much");
}

bool Finite(double v) { return std::isfinite(v); }

void CheckDocument(const GltfDocument& doc) {
  const std::size_t nodes = doc.nodes.size();
  for (std::size_t i = 0; i < nodes; ++i) {
    const int parent = doc.nodes[i].parent;
    fuzz::Require(parent == -1 || (parent >= 0 && static_cast<std::size_t>(parent) < nodes &&
                                   static_cast<std::size_t>(parent) != i),
                  "a node's parent outside the nodes");
  }
  std::size_t vertices = 0, triangles = 0;
  for (const GltfMesh& mesh : doc.meshes) {
    const std::size_t n = mesh.positions.size();
    vertices += n, triangles += mesh.triangles.size();
    fuzz::Require(n > 0 && n <= kGltfVertexLimit, "a mesh's vertices outside the limits");
    fuzz::Require(mesh.triangles.size() <= kGltfTriangleLimit, "a mesh's triangles over the limit");
    fuzz::Require(mesh.normals.size() == (mesh.has_normals ? n : 0) && mesh.uvs.size() == (mesh.has_uvs ? n : 0) &&
                      mesh.joints.size() == (mesh.has_weights ? n : 0) &&
                      mesh.weights.size() == (mesh.has_weights ? n : 0),
                  "a mesh's attributes differ in count");
    for (const auto& triangle : mesh.triangles)
      for (const std::uint32_t corner : triangle) fuzz::Require(corner < n, "a triangle past the vertices");
    for (std::size_t i = 0; i < mesh.joints.size(); ++i)
      for (std::size_t k = 0; k < 4; ++k) {
        const int joint = mesh.joints[i][k];
        const double weight = mesh.weights[i][k];
        fuzz::Require(Finite(weight) && weight >= 0, "a weight read that is negative or not finite");
        fuzz::Require(weight == 0 || (joint >= 0 && static_cast<std::size_t>(joint) < nodes),
                      "a weighted joint outside the nodes");
      }
    for (const auto& uv : mesh.uvs) fuzz::Require(Finite(uv[0]) && Finite(uv[1]), "a UV that is not finite");
  }
  fuzz::Require(vertices <= kGltfFileVertexLimit && triangles <= kGltfFileTriangleLimit,
                "a file's meshes over the limits in all");
}

// Names with line breaks fit a glTF but no text file, whose writers refuse them.
bool LineSafe(const SkinModel& model) {
  try {
    CheckNamesFitLines(model);
    return true;
  } catch (const Failure&) {
    return false;
  }
}

std::optional<SkinsRead> ReadSkins(const GltfDocument& doc, const OriginalSkin& original) {
  try {
    return SkinsFromGltf(doc, BuiltIn(), kBuiltInSkeleton, original);
  } catch (const Failure& failure) {
    CheckSkinsFailure(failure);
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto answer = fuzz::AnswerFrom(std::accumulate(data, data + size, 0u));
  std::optional<GltfDocument> doc;
  try {
    doc.emplace(ParseGltf(bytes, "in.glb", TheEmptyFolder()));
  } catch (const Failure& failure) {
    CheckParseFailure(failure);
    return 0;
  }
  CheckDocument(*doc);
  // Its animations as skills: refused for what the content can cause, and
  // when made, every motion's values inside the frames, exactly encodable.
  try {
    const SkillsMade made = SkillsFromGltf(*doc, BuiltIn(), {}, {});
    for (std::size_t s = 0; s < made.file.skills.size(); ++s) {
      const Skill& skill = made.file.skills[s];
      fuzz::Require(skill.position_count == made.frames[s].positions.size() &&
                        skill.rotation_count == made.frames[s].rotations.size(),
                    "a skill's counts differ from its frames");
      const std::string cfp = CfpBytes(made.frames[s], 0);
      const Frames back = ParseCfp(cfp, skill.position_count, skill.rotation_count, "made.cfp");
      fuzz::Require(back.positions == made.frames[s].positions && back.rotations == made.frames[s].rotations,
                    "frames that do not come back from their .cfp");
      MakeAnimation(BuiltIn(), skill, made.frames[s]);
    }
  } catch (const Failure& failure) {
    CheckSkinsFailure(failure);
  }
  const std::optional<SkinsRead> alone = ReadSkins(*doc, nullptr);
  if (!alone) return 0;
  fuzz::Require(!alone->models.empty() && alone->extra_influences >= 0, "skins read without a skin");
  for (const SkinModel& model : alone->models) fuzz::ExerciseWriters(model, answer, LineSafe(model));
  // The skins just read as the originals: the matching of vertices, faces
  // and bindings to an original's runs on what the file itself holds.
  const std::optional<SkinsRead> again = ReadSkins(*doc, [&](const std::string& name) -> std::optional<SkinModel> {
    for (const SkinModel& model : alone->models)
      if (model.MeshName == name) return model;
    return std::nullopt;
  });
  fuzz::Require(again.has_value() && again->models.size() == alone->models.size(),
                "skins read alone are refused with themselves as the originals");
  for (const SkinModel& model : again->models) fuzz::ExerciseWriters(model, answer, LineSafe(model));
  return 0;
}
