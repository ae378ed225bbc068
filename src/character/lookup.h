#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "character/character.h"
#include "character/naming.h"
#include "frames/cfp.h"
#include "model/model.h"

namespace mervane {

// Finds a character's files by name, case ignored: in each folder given, in
// order, then through an extra lookup (a game's archives, say) that takes a
// file name and gives a path the file layer can read, or nothing.
using ExtraLookup = std::function<std::optional<std::string>(std::string_view file_name)>;
// The names an extra lookup has, for searches by a name's pattern (the
// bitmaps the game pairs with a suit); asked only when such a search is made.
using ExtraNames = std::function<std::vector<std::string>()>;

class FileFinder {
 public:
  // Lists each folder once; "" is the current folder.
  explicit FileFinder(std::vector<std::string> folders, ExtraLookup extra = {}, ExtraNames extra_names = {});
  // The path of the file of that name, case ignored: the first folder's
  // that has one, else the extra lookup's answer.
  std::optional<std::string> Find(std::string_view file_name) const;
  // The names of the files in the folders, each folder's sorted, in the
  // folders' order, then the extra lookup's names when they were given.
  std::vector<std::string> Names() const;

 private:
  struct Folder {
    std::string prefix;  // the folder with its separator, or "" for the current one
    std::unordered_map<std::string, std::string> by_lower;
    std::vector<std::string> names;  // sorted
  };
  std::vector<Folder> folders_;
  ExtraLookup extra_;
  ExtraNames extra_names_;
};

// The skeleton of an age ('a' adult, 'c' child; see AgeOfNames):
// adult-skeleton.cmx, else adult-skeleton.cmx.bcf (child-… for a child).
std::optional<std::string> FindSkeletonFile(const FileFinder& finder, char age = 'a');
// "adult-skeleton.cmx" or "child-skeleton.cmx", for messages.
std::string SkeletonFileName(char age);
// The bone names, lower-case, of the skeleton of an age: those of its file
// (FindSkeletonFile), else, when none is found or it does not read, the
// built-in table's. What a mesh for that age may be dressed on.
std::vector<std::string> SkeletonBoneNames(const FileFinder& finder, char age);
// The model's bones, as it spells them, that are not among bones
// (lower-case names, as SkeletonBoneNames gives them).
std::vector<std::string> BonesNotIn(const SkinModel& model, const std::vector<std::string>& bones);
// A mesh by its skin name: name.bmf, else name.skn.
std::optional<std::string> FindMeshFile(const FileFinder& finder, std::string_view skin_name);
// A skill's frames: frames_name.cfp.
std::optional<std::string> FindFramesFile(const FileFinder& finder, std::string_view frames_name);
// The bitmap a mesh wears by the game's naming: the file its texture names
// in tone (ToneBitmapStem), else the first of ToneBitmapChoices among the
// finder's names. Without a tone, its texture's own, else light. So a head
// or hand whose texture is "x" wears "C001MAlgt_Ross.bmp" or "HMLOlgt.bmp",
// and a body whose texture is "x" one of its suit's bitmaps, as the game
// shows them.
std::optional<std::string> FindToneBitmap(const FileFinder& finder, std::string_view mesh_name,
                                          std::string_view texture_name, std::optional<SkinTone> tone = {});
// Where no tone is asked for (a posed .obj, a .glb): FindToneBitmap without a
// tone, else in light, medium, then dark, so that a mesh whose bitmaps come
// in one other tone only still wears one.
std::optional<std::string> FindAnyToneBitmap(const FileFinder& finder, std::string_view mesh_name,
                                             std::string_view texture_name);

// A skill as the user names it: "FILE[:SKILL]". Without SKILL, a command
// takes every skill of the file, or the one it needs (see SkillOfFrames).
struct SkillRequest {
  std::string file;
  std::optional<std::string> skill;
};
// Splits at the last ":" when what comes before it names a .cmx or .bcf and
// no folder follows; otherwise the whole text is the file ("C:\x.cmx" and
// "C:x.cmx" name a drive). An empty SKILL is none.
SkillRequest ParseSkillRequest(std::string_view text);

// The skill of file named name, case ignored; without a name, the first.
// Error 5 naming path when the file holds no skill or none of that name.
const Skill& ChooseSkill(const CharacterFile& file, const std::string& path, const std::optional<std::string>& name);

// The skill whose frames are the .cfp cfp_path: the one named, else the one
// whose frames name is the .cfp's (a skill file of several skills holds one
// for each of its .cfp files). Error 5 naming path when there is none.
const Skill& SkillOfFrames(const CharacterFile& file, const std::string& path, const std::optional<std::string>& name,
                           std::string_view cfp_path);

// True for a character file's name: .cmx, or .bcf (as in name.cmx.bcf).
bool IsCharacterPath(std::string_view path);

// Reads a .cmx (text) or a .bcf (binary, as in name.cmx.bcf) by the path's
// extension, through the file layer; another extension is error 5. Failures
// as ReadWholeFile, ParseCmx and ParseBcf, naming the file.
CharacterFile ReadCharacterFile(const std::string& path);

// Reads a .skn or .bmf by the path's extension; failures as their readers.
SkinModel ReadMeshFile(const std::string& path);

// The models of a suit's skins, in the suit's order, each found by
// FindMeshFile. A skin whose mesh is not found is error 53 naming the suit
// and the file names looked for.
std::vector<SkinModel> ReadSuitMeshes(const Suit& suit, const FileFinder& finder);

// The models of every suit's skins in the character file at path, in
// order, each found beside the file, else through game. Error 5 naming the
// file when it holds no suit; other failures as ReadCharacterFile and
// ReadSuitMeshes, naming the file.
std::vector<SkinModel> ReadSuitFileMeshes(const std::string& path, const ExtraLookup& game = {});

// The decoded frames of a skill, found by FindFramesFile. A missing .cfp is
// error 53 naming the skill and the file name looked for.
Frames ReadSkillFrames(const Skill& skill, const FileFinder& finder);

}  // namespace mervane
