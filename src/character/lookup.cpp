#include "character/lookup.h"

#include <algorithm>

#include "archive/far.h"
#include "bmf/bmf.h"
#include "files/textfile.h"
#include "model/failure.h"
#include "model/paths.h"
#include "model/skeleton.h"
#include "skn/skn.h"

namespace mervane {
namespace {

std::string WithSeparator(const std::string& folder) {
  if (folder.empty() || folder.back() == '/' || folder.back() == '\\') return folder;
  return folder + "/";
}

// The first of the names that the finder finds.
std::optional<std::string> FindFirst(const FileFinder& finder, std::initializer_list<std::string> names) {
  for (const std::string& name : names)
    if (auto path = finder.Find(name)) return path;
  return std::nullopt;
}

}  // namespace

FileFinder::FileFinder(std::vector<std::string> folders, ExtraLookup extra, ExtraNames extra_names)
    : extra_(std::move(extra)), extra_names_(std::move(extra_names)) {
  for (const std::string& folder : folders) {
    Folder listed{WithSeparator(folder), {}, OrdinaryFilesIn(folder)};
    std::sort(listed.names.begin(), listed.names.end());
    for (const std::string& name : listed.names) listed.by_lower.emplace(ToLowerAscii(name), name);
    folders_.push_back(std::move(listed));
  }
}

std::optional<std::string> FileFinder::Find(std::string_view file_name) const {
  const std::string lower = ToLowerAscii(file_name);
  for (const Folder& folder : folders_)
    if (const auto found = folder.by_lower.find(lower); found != folder.by_lower.end())
      return folder.prefix + found->second;
  if (extra_) return extra_(file_name);
  return std::nullopt;
}

std::vector<std::string> FileFinder::Names() const {
  std::vector<std::string> names;
  for (const Folder& folder : folders_) names.insert(names.end(), folder.names.begin(), folder.names.end());
  if (extra_names_) {
    const std::vector<std::string> extra = extra_names_();
    names.insert(names.end(), extra.begin(), extra.end());
  }
  return names;
}

std::string SkeletonFileName(char age) { return age == 'c' ? "child-skeleton.cmx" : "adult-skeleton.cmx"; }

std::optional<std::string> FindSkeletonFile(const FileFinder& finder, char age) {
  const std::string name = SkeletonFileName(age);
  return FindFirst(finder, {name, name + ".bcf"});
}

std::vector<std::string> SkeletonBoneNames(const FileFinder& finder, char age) {
  std::vector<std::string> bones;
  try {
    if (const auto path = FindSkeletonFile(finder, age))
      for (const Skeleton& skeleton : ReadCharacterFile(*path).skeletons)
        for (const Bone& bone : skeleton.bones) bones.push_back(ToLowerAscii(bone.name));
  } catch (const Failure&) {
    bones.clear();  // an unreadable skeleton is its own file's problem
  }
  if (bones.empty())
    for (const BoneRow& row : kBoneTable) bones.push_back(ToLowerAscii(row.name));
  return bones;
}

std::vector<std::string> BonesNotIn(const SkinModel& model, const std::vector<std::string>& bones) {
  std::vector<std::string> missing;
  for (int b = 0; b < model.BoneCount; ++b) {
    const std::string_view name = model.BoneNames.at(b);
    if (std::find(bones.begin(), bones.end(), ToLowerAscii(name)) == bones.end()) missing.emplace_back(name);
  }
  return missing;
}

std::optional<std::string> FindMeshFile(const FileFinder& finder, std::string_view skin_name) {
  const std::string name(skin_name);
  return FindFirst(finder, {name + ".bmf", name + ".skn"});
}

std::optional<std::string> FindFramesFile(const FileFinder& finder, std::string_view frames_name) {
  return finder.Find(std::string(frames_name) + ".cfp");
}

std::optional<std::string> FindToneBitmap(const FileFinder& finder, std::string_view mesh_name,
                                          std::string_view texture_name, std::optional<SkinTone> tone) {
  const std::string stem = ToneBitmapStem(mesh_name, texture_name, tone);
  if (auto path = finder.Find(stem + ".bmp")) return path;
  const std::vector<std::string> choices = ToneBitmapChoices(finder.Names(), mesh_name, texture_name, tone);
  if (!choices.empty()) return finder.Find(choices.front());
  return std::nullopt;
}

std::optional<std::string> FindAnyToneBitmap(const FileFinder& finder, std::string_view mesh_name,
                                             std::string_view texture_name) {
  if (auto path = FindToneBitmap(finder, mesh_name, texture_name)) return path;
  for (const SkinTone tone : kSkinTones)
    if (auto path = FindToneBitmap(finder, mesh_name, texture_name, tone)) return path;
  return std::nullopt;
}

SkillRequest ParseSkillRequest(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || text.find_first_of("/\\", colon) != std::string_view::npos)
    return {std::string(text), std::nullopt};
  const std::string file(text.substr(0, colon));
  const std::string extension = ExtensionOf(file);
  if (extension != "cmx" && extension != "bcf") return {std::string(text), std::nullopt};
  if (colon + 1 == text.size()) return {file, std::nullopt};
  return {file, std::string(text.substr(colon + 1))};
}

const Skill& ChooseSkill(const CharacterFile& file, const std::string& path, const std::optional<std::string>& name) {
  if (file.skills.empty()) throw std::move(Failure::Error(err::kInvalidArgument, "it holds no skill").InFile(path));
  if (!name) return file.skills.front();
  for (const Skill& skill : file.skills)
    if (ToLowerAscii(skill.name) == ToLowerAscii(*name)) return skill;
  throw std::move(Failure::Error(err::kInvalidArgument, "it holds no skill " + *name).InFile(path));
}

const Skill& SkillOfFrames(const CharacterFile& file, const std::string& path, const std::optional<std::string>& name,
                           std::string_view cfp_path) {
  if (name) return ChooseSkill(file, path, name);
  const std::string frames = ToLowerAscii(FileNameOf(BasePathOf(cfp_path)));
  for (const Skill& skill : file.skills)
    if (ToLowerAscii(skill.frames_name) == frames) return skill;
  throw std::move(Failure::Error(err::kInvalidArgument,
                                 "none of its skills has its frames in " + FileNameOf(cfp_path) +
                                     "; name one as FILE:SKILL")
                      .InFile(path));
}

bool IsCharacterPath(std::string_view path) {
  const std::string extension = ExtensionOf(path);
  return extension == "cmx" || extension == "bcf";
}

CharacterFile ReadCharacterFile(const std::string& path) {
  if (!IsCharacterPath(path))
    throw std::move(Failure::Error(err::kInvalidArgument, "a character file ends in .cmx or .bcf").InFile(path));
  const std::string bytes = ReadWholeFile(path);
  return ExtensionOf(path) == "cmx" ? ParseCmx(bytes, FileNameOf(path)) : ParseBcf(bytes, FileNameOf(path));
}

SkinModel ReadMeshFile(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  if (extension != "skn" && extension != "bmf")
    throw std::move(Failure::Error(err::kInvalidArgument, "a mesh file ends in .skn or .bmf").InFile(path));
  const std::string bytes = ReadWholeFile(path);
  return extension == "skn" ? ParseSkn(bytes, FileNameOf(path)) : ParseBmf(bytes, FileNameOf(path));
}

std::vector<SkinModel> ReadSuitMeshes(const Suit& suit, const FileFinder& finder) {
  std::vector<SkinModel> models;
  for (const SuitSkin& skin : suit.skins) {
    const auto path = FindMeshFile(finder, skin.skin_name);
    if (!path)
      throw std::move(Failure::Error(err::kFileNotFound, "neither " + skin.skin_name + ".bmf nor " +
                                                             skin.skin_name + ".skn is found")
                          .About("suit " + suit.name));
    models.push_back(ReadMeshFile(*path));
  }
  return models;
}

std::vector<SkinModel> ReadSuitFileMeshes(const std::string& path, const ExtraLookup& game) {
  const CharacterFile file = ReadCharacterFile(path);
  if (file.suits.empty()) throw std::move(Failure::Error(err::kInvalidArgument, "it holds no suit").InFile(path));
  const FileFinder beside({FolderOf(path)}, game);
  std::vector<SkinModel> models;
  for (const Suit& suit : file.suits)
    for (SkinModel& model : NamingFile(path, [&] { return ReadSuitMeshes(suit, beside); }))
      models.push_back(std::move(model));
  return models;
}

Frames ReadSkillFrames(const Skill& skill, const FileFinder& finder) {
  const auto path = FindFramesFile(finder, skill.frames_name);
  if (!path)
    throw std::move(Failure::Error(err::kFileNotFound, skill.frames_name + ".cfp is not found")
                        .About("skill " + skill.name));
  return ParseCfp(ReadWholeFile(*path), skill.position_count, skill.rotation_count, FileNameOf(*path));
}

}  // namespace mervane
