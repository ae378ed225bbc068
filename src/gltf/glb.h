#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "character/lookup.h"
#include "gltf/gltf_document.h"
#include "model/model.h"
#include "pose/pose.h"

namespace mervane {

// Rigged projects: skins as glTF, on the game's skeleton, with their bone
// weights, texture and animations, for modellers that read and write glTF
// (Blender among them). The glTF side is right-handed as glTF requires:
// the game's x is negated and each face's winding reversed, exactly as the
// posed .obj is written; UVs keep the game's top-left origin.

// Where a rigged file's skeleton comes from, besides the folders searched.
struct RigSources {
  std::optional<std::string> skeleton;  // a .cmx or .bcf the user named
  ExtraLookup game;                     // a game folder's lookup, if any
};

// A skeleton made ready, and where it came from, for the user:
// "adult-skeleton.cmx" or "the built-in table".
struct FoundRig {
  Rig rig;
  std::string source;
};
inline constexpr const char* kBuiltInSkeleton = "the built-in table";
inline constexpr const char* kBuiltInRigName = "built-in";  // BuiltInRig's name

// The skeleton a skin is written or read on: sources.skeleton when given
// (its first skeleton); else the adult skeleton in the first of folders
// that has one, or through sources.game; else the built-in table, so that a
// lone skin still works. Failures as ReadCharacterFile; a file without a
// skeleton is error 5 naming it.
// The skeleton looked for is of age (see AgeOfNames).
FoundRig FindRig(const RigSources& sources, const std::vector<std::string>& folders, char age = 'a');

// The rig a glTF's first skin carries: its joints with their hierarchy
// and rest transforms turned back into the game's axes, named name. The
// writer stores a game skeleton's transforms exactly, so a file read this
// way stands where it stood. Error 5 when there is no skin or a joint's
// transform is a matrix.
Rig RigFromGltf(const GltfDocument& doc, std::string name);

// The built-in table as a rig: every bone of it where the project writer
// puts it, with the axes it gives the bone's limb, raised so that the
// lowest bone stands at height 0.
Rig BuiltInRig();

// The animations of the requests, bound to rig: the skill named, or every
// skill of a file named without one, each skill's frames found beside its
// file or through game. Failures as ReadCharacterFile, ChooseSkill,
// ReadSkillFrames and MakeAnimation.
std::vector<Animation> ReadAnimations(std::span<const SkillRequest> requests, const Rig& rig,
                                      const ExtraLookup& game);

// An image file (.bmp, .png, .tga or .jpg; an archive member too) as PNG
// bytes for a .glb. Failures as ReadWholeFile; an image that cannot be
// decoded is error 5 naming it.
std::string BitmapPng(const std::string& path);

// The bitmap the skin wears by the game's naming (FindToneBitmap) in its
// own tone, else in light, medium or dark, as PNG bytes; empty when there
// is none. A bitmap that cannot be decoded is error 5 naming it.
std::string TexturePng(const SkinModel& model, const FileFinder& finder);

// A stored rotation as glTF has it: the game applies the conjugate in the
// form whose diagonal is w² ± x² ± y² ± z², which is the unit rotation
// scaled by the quaternion's length squared (frames are a little off unit
// length). So: the mirrored unit quaternion, and that scale.
struct GltfTurn {
  std::array<double, 4> rotation{0, 0, 0, 1};
  double scale = 1;
};
GltfTurn GltfRotation(const Quat& stored);

// The .glb bytes of the models on rig, one mesh node each named by its mesh
// name, on one skin whose joints are the rig's bones (names, hierarchy and
// rest transforms, with inverse bind matrices). A vertex is a bound vertex
// at its rest place with its blends applied, weighted 1 - w to its bone and
// w to the bone of the blend that moves it. pngs holds each model's texture
// (empty for none), embedded and named by the texture name; each animation
// becomes a glTF animation of the joints, a key per frame at 30 a second.
// Failures as MakeSkinMesh and Dress.
std::string GlbBytes(const Rig& rig, std::span<const SkinModel> models, std::span<const std::string> pngs,
                     std::span<const Animation> animations);

// A skin as it was before a modeller had it, to keep its untouched
// vertices' digits: the model of that mesh name, or nothing.
using OriginalSkin = std::function<std::optional<SkinModel>(const std::string& mesh_name)>;

// What reading a glTF's skins gives.
struct SkinsRead {
  std::vector<SkinModel> models;  // one per mesh with bone weights, in node order
  int extra_influences = 0;      // vertices that had more than two bones, kept to their two largest
};

// The skins of every mesh of doc that has bone weights, placed on rig
// (described by rig_source in messages). A vertex's bone is its joint of
// the largest weight, its blend the second's, the two renormalised; its
// place in its bone's space comes from its rest place in the file and the
// rig's rest pose. Vertices go into binding ranges by bone, faces follow
// with their winding restored, and a vertex that matches what the writer
// writes for a vertex of the original skin (1e-5 in place, 2e-2 in normal,
// 1e-4 in UV, the same bones and weights within 1/32768) keeps that vertex's
// lines, as copies of it merge into it; so do the original's faces, blends
// and bindings that still hold, and the original's order. Error 5 naming the
// mesh (and the vertex) with what to do in the modeller: no UVs, no normals,
// a vertex without weight, a joint that is not a bone of rig, a joint not
// where rig has it; the skin limits as the .skn reader has them.
SkinsRead SkinsFromGltf(const GltfDocument& doc, const Rig& rig, const std::string& rig_source,
                        const OriginalSkin& original);

// The original of a mesh read from path: MESHNAME.skn, else .bmf, in the
// folder of path, the .skn with its own digits.
OriginalSkin OriginalsBeside(const std::string& path);

}  // namespace mervane
