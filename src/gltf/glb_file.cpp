#include "gltf/glb_file.h"

#include <algorithm>

#include "archive/far.h"
#include "files/textfile.h"
#include "gltf/gltf_skills.h"
#include "model/guard.h"
#include "model/paths.h"
#include "pose/rig_files.h"

namespace mervane {
namespace {

std::vector<std::string> Folders(std::string first, const std::vector<std::string>& rest, bool first_last) {
  std::vector<std::string> folders;
  if (!first_last) folders.push_back(first);
  folders.insert(folders.end(), rest.begin(), rest.end());
  if (first_last) folders.push_back(std::move(first));
  return folders;
}

char AgeOfModels(std::span<const SkinModel> models) {
  std::vector<std::string> names;
  for (const SkinModel& model : models) names.push_back(model.MeshName);
  return AgeOfNames(names);
}

// Saving one model: its skeleton and bitmap are looked for where it was
// read from, as well as beside the target.
RigContext SavingContext(const SkinModel& model) {
  RigContext context;
  if (!model.SourcePath.empty()) context.folders.push_back(FolderOf(model.SourcePath));
  return context;
}

}  // namespace

FoundRig RigOfGltf(const GltfDocument& doc, const RigContext& context, const std::vector<std::string>& folders,
                   char age) {
  if (context.sources.skeleton || doc.skeleton.empty() || doc.skeleton == kBuiltInRigName)
    return FindRig(context.sources, folders, age);
  if (ToLowerAscii(doc.skeleton).starts_with("child")) age = 'c';
  if (const auto path = FindSkeletonFile(FileFinder(folders, context.sources.game), age)) {
    Rig rig = ReadRig(*path);
    if (ToLowerAscii(rig.name) == ToLowerAscii(doc.skeleton)) return {std::move(rig), FileNameOf(*path)};
  }
  return {RigFromGltf(doc, doc.skeleton), "the skeleton the file carries (" + doc.skeleton + ")"};
}

namespace {

// The skills of the file's folder, for what glTF cannot carry.
std::vector<Skill> SkillsBeside(const std::string& path) {
  std::vector<Skill> skills;
  for (const std::string& name : FileFinder({FolderOf(path)}).Names()) {
    if (!IsCharacterPath(name)) continue;
    try {
      for (Skill& skill : ReadCharacterFile(JoinPath(FolderOf(path), name)).skills) skills.push_back(std::move(skill));
    } catch (const Failure&) {
      // A file beside that does not read lends nothing.
    }
  }
  return skills;
}

}  // namespace

std::vector<OutputFile> RenderSkillFiles(const std::string& source, const std::string& target, const RigContext& context,
                                         std::span<const std::string> only, double tolerance) {
  const GltfDocument doc = NamingFile(source, [&] { return ParseGltf(ReadWholeFile(source), source, FolderOf(source)); });
  if (doc.animations.empty())
    throw std::move(Failure::Error(err::kInvalidArgument, "it holds no animation").InFile(source));
  const FoundRig rig = RigOfGltf(doc, context, {FolderOf(source)}, 'a');
  const std::vector<Skill> originals = SkillsBeside(source);
  const SkillsMade made = NamingFile(source, [&] { return SkillsFromGltf(doc, rig.rig, only, originals); });
  // The frames of another skill file are never overwritten: only those
  // the target itself names, when it is there already.
  std::vector<std::string> own;
  if (IsOrdinaryFile(target))
    for (const Skill& skill : ReadCharacterFile(target).skills) own.push_back(ToLowerAscii(skill.frames_name + ".cfp"));
  std::vector<OutputFile> files;
  files.push_back({target, ExtensionOf(target) == "bcf" ? BcfBytes(made.file) : CmxText(made.file)});
  for (std::size_t s = 0; s < made.frames.size(); ++s) {
    const Skill& skill = made.file.skills[s];
    const std::string cfp = JoinPath(FolderOf(target), skill.frames_name + ".cfp");
    if (IsOrdinaryFile(cfp) && std::find(own.begin(), own.end(), ToLowerAscii(FileNameOf(cfp))) == own.end())
      throw std::move(Failure::Error(err::kFileExists, "skill " + skill.name + "'s frames would overwrite " +
                                                           FileNameOf(cfp) + ", which " + FileNameOf(target) +
                                                           " does not name: write the skills into another folder")
                          .InFile(target));
    files.push_back({cfp, CfpBytes(made.frames[s], tolerance)});
  }
  return files;
}

RiggedRead ReadGlbFile(const std::string& path, const RigContext& context) {
  return NamingFile(path, [&] {
    const std::string bytes = ReadWholeFile(path);
    const GltfDocument doc = ParseGltf(bytes, path, FolderOf(path));
    std::vector<std::string> names;
    for (const GltfMesh& mesh : doc.meshes) names.push_back(mesh.name);
    FoundRig found = RigOfGltf(doc, context, Folders(FolderOf(path), context.folders, false), AgeOfNames(names));
    SkinsRead skins = SkinsFromGltf(doc, found.rig, found.source, OriginalsBeside(path));
    return RiggedRead{std::move(skins.models), std::move(found.source), skins.extra_influences};
  });
}

RiggedWrite RenderGlbFile(std::span<const SkinModel> models, const std::string& path, const RigContext& context) {
  if (ExtensionOf(path) != "glb")
    throw std::move(Failure::Error(err::kInvalidArgument, "glTF is written as .glb (binary); .gltf is only read")
                        .InFile(path));
  const std::string folder = FolderOf(path);
  FoundRig found = FindRig(context.sources, Folders(folder, context.folders, true), AgeOfModels(models));
  const FileFinder textures(Folders(folder, context.folders, false), context.sources.game);
  std::vector<std::string> pngs;
  for (const SkinModel& model : models) pngs.push_back(TexturePng(model, textures));
  const std::vector<Animation> animations = ReadAnimations(context.animations, found.rig, context.sources.game);
  return {{{path, GlbBytes(found.rig, models, pngs, animations)}}, std::move(found.source)};
}

std::string ExtraInfluencesNote(int vertices) {
  if (vertices <= 0) return {};
  return std::to_string(vertices) + (vertices == 1 ? " vertex had" : " vertices had") +
         " more than two bones; each keeps its two largest.";
}

Outcome LoadGlb(SkinModel& model, Prompts& prompts, const std::string& path) {
  return LoadReported(model, prompts, path, [&] {
    RiggedRead read = ReadGlbFile(path, {});
    std::size_t pick = 0;
    if (read.models.size() > 1) {
      std::vector<std::string> names;
      for (const SkinModel& skin : read.models) names.push_back(skin.MeshName);
      const std::optional<std::size_t> answer =
          prompts.AskChoice("Open glTF", FileNameOf(path) + " holds " + std::to_string(names.size()) +
                                             " meshes. Which one do you want to open?",
                            names);
      if (!answer || *answer >= names.size())
        throw Failure(FailureKind::Unanswered, 0, "no mesh was chosen");
      pick = *answer;
    }
    if (const std::string note = ExtraInfluencesNote(read.extra_influences); !note.empty())
      prompts.ShowMessage(note, FileNameOf(path));
    return std::move(read.models[pick]);
  });
}

std::vector<OutputFile> RenderGlb(const SkinModel& model, const std::string& path, const FolderFiles&) {
  return RenderGlbFile({&model, 1}, path, SavingContext(model)).files;
}

std::string GlbSkeletonFor(const SkinModel& model, const std::string& path) {
  const RigContext context = SavingContext(model);
  try {
    return FindRig(context.sources, Folders(FolderOf(path), context.folders, true), AgeOfModels({&model, 1})).source;
  } catch (const Failure&) {
    return {};  // the save itself says what is wrong with it
  }
}

Outcome SaveGlb(const SkinModel& model, Prompts& prompts, const std::string& path) {
  return RunReported(prompts, [&] {
    const std::vector<OutputFile> files = RenderGlb(model, path, FolderFiles(FolderOf(path)));
    WriteFileAtomically(files.front().path, files.front().bytes);
  });
}

}  // namespace mervane
