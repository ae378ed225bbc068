#pragma once

#include <span>
#include <string>

#include "files/textfile.h"
#include "gltf/glb.h"
#include "model/model.h"
#include "model/prompts.h"

namespace mervane {

// .glb files as a format of the table.

// What a format that places skins on a skeleton (.glb) needs besides a
// path: where the skeleton comes from, the folders its files are looked for
// in (those of the meshes read, before the target's own), and the skills
// to add as animations.
struct RigContext {
  RigSources sources;
  std::vector<std::string> folders;
  std::vector<SkillRequest> animations;
};

// What reading such a file gives: every skin in it, and the skeleton used.
struct RiggedRead {
  std::vector<SkinModel> models;
  std::string skeleton;      // FoundRig::source
  int extra_influences = 0;  // vertices kept to their two largest bones
};
// What writing one gives: its files, and the skeleton used.
struct RiggedWrite {
  std::vector<OutputFile> files;
  std::string skeleton;
};

// The skeleton a glTF is read on: context's skeleton when named; for a
// file written on a game skeleton, that skeleton (by its age) in folders or
// through the game, else the rest transforms the file carries
// (RigFromGltf); for any other file, as FindRig finds it.
FoundRig RigOfGltf(const GltfDocument& doc, const RigContext& context, const std::vector<std::string>& folders,
                   char age);

// The skill file target (.cmx, or .bcf by its extension) and a .cfp beside
// it for each skill made of the animations of the glTF source (those named
// in only, else all; see SkillsFromGltf), on the skeleton RigOfGltf finds;
// skill files beside source lend what glTF cannot carry. Frames are within
// tolerance (0: exact). Error 5 for a file without animations, 58 when a
// .cfp would overwrite one that target (as it is now) does not name;
// failures as ParseGltf and SkillsFromGltf, naming the file.
std::vector<OutputFile> RenderSkillFiles(const std::string& source, const std::string& target, const RigContext& context,
                                         std::span<const std::string> only, double tolerance);

// Reads every skin of a .glb or .gltf (see SkinsFromGltf), on the skeleton
// FindRig finds from context.sources, the file's folder and then
// context.folders; originals are looked for beside the file. Failures as
// ReadWholeFile, ParseGltf, FindRig and SkinsFromGltf, naming the file.
RiggedRead ReadGlbFile(const std::string& path, const RigContext& context);

// The .glb of the models (see GlbBytes), on the skeleton FindRig finds from
// context.sources, context.folders and then the target's folder, with each
// skin's bitmap found in the target's folder, then context.folders (or
// through the game), and the animations of context. A target that does not
// end in .glb is error 5.
RiggedWrite RenderGlbFile(std::span<const SkinModel> models, const std::string& path, const RigContext& context);

// The table's row: one skin, the skeleton found beside the file (when
// saving, also beside the file the model was read from, as its bitmap). A file of
// several skins asks which to open (AskChoice); more than two bones on a
// vertex is told once. On failure the user is told and the model stays.
Outcome LoadGlb(SkinModel& model, Prompts& prompts, const std::string& path);
Outcome SaveGlb(const SkinModel& model, Prompts& prompts, const std::string& path);
std::vector<OutputFile> RenderGlb(const SkinModel& model, const std::string& path, const FolderFiles& folder);
// The skeleton SaveGlb puts model on at path (a file name, or the built-in
// table); empty when none can be read.
std::string GlbSkeletonFor(const SkinModel& model, const std::string& path);

// "12 vertices had more than two bones; each keeps its two largest.", or
// empty for none.
std::string ExtraInfluencesNote(int vertices);

}  // namespace mervane
