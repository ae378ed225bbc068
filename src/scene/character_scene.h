#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "character/lookup.h"
#include "character/naming.h"
#include "model/model.h"
#include "pose/pose.h"
#include "pose/skinning.h"
#include "scene/seams.h"

namespace mervane {

// What the character view shows: a skeleton, the loaded model and any other
// parts dressed on it, their bitmaps in a skin tone, and a skill playing.
// A part, bitmap, skill or skeleton that cannot be had is a problem noted
// on it and a line returned for the status bar; the rest goes on.
struct ScenePart {
  std::string label;   // as the panel lists it
  std::string source;  // the file read (a path the file layer reads)
  bool is_model = false;
  bool shown = true;
  std::optional<DressedMesh> dressed;  // none when it cannot be drawn
  std::optional<SkinMesh> mesh;        // none when unreadable
  std::string bitmap;                  // path of the bitmap drawn; empty: none
  bool bitmap_chosen = false;          // by the user: the tone leaves it
  std::string problem;                 // why it is not drawn; empty when fine
  std::string bitmap_problem;          // the bitmap looked for and not found
  // The textures the game may dress the part with in the tone, by the
  // naming (TextureOfBitmap of each of ToneBitmapChoices), best first.
  std::vector<std::string> textures;
  std::string texture;  // the one the user picked, kept across tones; empty: the first
};

// The other parts a texture template of the loaded model shows with it:
// each shown, readable part that wears the model's bitmap, by its index in
// parts. Heads and hands wear bitmaps of their own, and their faces would
// only clutter the model's: the shown parts left out for wearing another
// bitmap (or when the model wears none) are counted in elsewhere.
struct TemplateParts {
  std::vector<std::size_t> with_model;
  int elsewhere = 0;
};
TemplateParts TemplatePartsOf(const std::vector<ScenePart>& parts);

// One skill that can be played: where it is and which of the file's skills.
struct SkillEntry {
  std::string name;
  std::string file;
  int index = 0;
  std::string frames;   // the .cfp's name without extension
  std::string missing;  // why it cannot play (its .cfp not found); empty when it can
};

enum class SkeletonKind { Adult, Child, File };

class CharacterScene {
 public:
  // The game folder's files: a lookup by file name, the names it has, and
  // the skills of its character files (read once, where the index was made).
  void SetGame(ExtraLookup find, std::vector<std::string> names, std::vector<SkillEntry> skills);
  bool HasGame() const { return static_cast<bool>(game_find_); }

  // The user's pick: finds the adult or child skeleton beside the parts
  // (the model's folder first) or in the game, or reads the given file; the
  // parts are dressed on it again. It is kept for this model, whatever the
  // parts' names say. Returns the status line: empty when it was found.
  std::string UseSkeleton(SkeletonKind kind, const std::string& file = {});
  // Looks for the skeleton again (the game folder changed, say): the one
  // picked for this model, else the one the parts' ages ask for.
  std::string FindSkeletonAgain();
  SkeletonKind skeleton_kind() const { return skeleton_kind_; }
  const std::string& skeleton_file() const { return skeleton_file_; }
  const std::string& skeleton_problem() const { return skeleton_problem_; }
  bool HasRig() const { return rig_.has_value(); }
  const Rig& rig() const { return *rig_; }

  // Puts the model in as the loaded part (replacing the one before) read
  // from source; the skeleton follows the parts' ages (AgeOfNames: a
  // child's body or head stands on the child skeleton), as after AddPart,
  // until the user picks one for this model.
  std::string SetModel(const SkinModel& model, const std::string& source);
  // Removes the loaded part (the window was emptied).
  void ClearModel();
  // Adds the meshes of a .skn, .bmf, of a glTF (each but the one named
  // except_mesh, which is the model) or of each suit in a .cmx/.bcf; a
  // skeleton file becomes the skeleton. Returns the status line.
  std::string AddPart(const std::string& path, std::string_view except_mesh = {});
  void RemovePart(int index);
  void SetShown(int index, bool shown) { parts_.at(static_cast<std::size_t>(index)).shown = shown; }
  // The user's bitmap for a part: kept whatever the tone.
  std::string ChooseBitmap(int index, const std::string& path);
  // One of the part's offered textures (ScenePart::textures): drawn in
  // every tone that has it (else the tone's first), in place of a bitmap
  // the user chose. Returns the status line: empty when it was found.
  std::string ChooseTexture(int index, const std::string& texture);
  // The game folder's bitmaps (file names), and the path of one of them.
  std::vector<std::string> GameBitmaps() const;
  std::optional<std::string> FindGameFile(std::string_view name) const;
  const std::vector<ScenePart>& parts() const { return parts_; }

  // Picks each part's bitmap for the tone, except those the user chose.
  // Returns the status line naming what was not found.
  std::string SetTone(SkinTone tone);
  SkinTone tone() const { return tone_; }

  // The head and hands to offer: set when a body is shown and no head or
  // hands are, with the paths found for them (empty entries not found).
  std::optional<Companions> Offer() const;

  // Every skill in the character files beside the parts (each file read
  // once), then the game's, each marked when its .cfp is not found.
  std::vector<SkillEntry> FindSkills() const;
  // Plays the skill from its first frame; a missing .cfp or a motion on a
  // bone the skeleton lacks leaves the rest pose. Returns the status line.
  std::string SelectSkill(const SkillEntry& skill);
  void RestPose();
  // The skill playing, or null at rest.
  const SkillEntry* skill() const { return animation_ && skill_ ? &*skill_ : nullptr; }
  const std::optional<Animation>& animation() const { return animation_; }
  int frame_count() const { return animation_ ? animation_->frame_count : 0; }

  // Reads again what the scene shows from the files among changed (paths
  // as the scene holds them): other parts' meshes, the skeleton and the
  // skill playing; the loaded model comes from model when given. The tone,
  // the skill and its frame stay. A file that does not read keeps what it
  // gave before; the first such is the line returned.
  std::string Reload(const std::vector<std::string>& changed, const SkinModel* model);

  // The pose at a frame of the skill (any frame at rest when none plays).
  void SetFrame(double frame);
  double frame() const { return frame_; }
  const Pose& pose() const { return pose_; }

  // The shown parts' bound vertices at the current frame, in the game's
  // axes, indexed like parts(); parts not drawn have none.
  std::vector<SkinnedMesh> Skinned() const;
  // Where the seams gape at the current frame: the open edge vertices of
  // shown parts farther than distance from the other parts' open edges.
  std::vector<Point3> SeamGapPoints(float distance) const;

  // The folders looked in for a part's companions: the model's, then each
  // part's, then the game.
  FileFinder Finder() const;

 private:
  std::vector<std::string> Folders() const;
  std::string LoadSkeleton(SkeletonKind kind, const std::string& file = {});
  // The skeleton the shown parts' names ask for.
  SkeletonKind KindByAge() const;
  std::vector<std::string> CandidateNames() const;
  std::string Resolve(const std::string& path) const;
  void Dress(ScenePart& part);
  void PickBitmap(ScenePart& part);
  std::string Problems(const std::string& first) const;
  std::string MissingFrames(const std::string& frames) const;
  // Where a skill file's frames are looked for: beside it, the parts' folders, the game.
  FileFinder SkillFinder(const std::string& file) const;
  // The parts from first to end are new: each older part of a kind among
  // theirs (body, head, a hand) goes, the model is hidden. Returns where
  // the new parts now start.
  std::size_t ReplaceKinds(std::size_t first, std::size_t end = SIZE_MAX);

  ExtraLookup game_find_;
  std::vector<std::string> game_names_;
  std::vector<SkillEntry> game_skills_;
  SkeletonKind skeleton_kind_ = SkeletonKind::Adult;
  bool skeleton_picked_ = false;  // by the user, for this model
  std::string skeleton_file_, skeleton_problem_;
  std::optional<Rig> rig_;
  std::vector<ScenePart> parts_;
  SkinTone tone_ = SkinTone::Light;
  bool tone_set_ = false;
  std::optional<Animation> animation_;
  std::optional<SkillEntry> skill_;  // the last one selected
  double frame_ = 0;
  Pose pose_;
  // The skill names of each character file read, kept: the game has many.
  mutable std::vector<std::pair<std::string, std::vector<SkillEntry>>> skill_names_;
};

}  // namespace mervane
