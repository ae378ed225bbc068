#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "archive/game_index.h"
#include "character/naming.h"
#include "model/model.h"

namespace mervane {

// Putting an outfit where Create-a-Sim shows it: a new body or head (its
// suit, its mesh as .skn, its bitmaps in three tones) or a new texture for
// a suit that exists (bitmaps only), named and written by the game's rules.

struct PublishRequest {
  // A new outfit from this mesh, or (without one) a new texture for the
  // suit named retexture ("B002MAFit_01").
  std::optional<SkinModel> mesh;
  std::string retexture;
  std::string texture;                     // letters, digits and "_"
  std::array<std::string, 3> images;       // light, medium, dark; light is needed
  std::optional<std::string> mesh_name;    // the suit's NAME; else the texture's
  std::optional<std::string> id;           // three letters or digits
  std::optional<char> kind;                // a new outfit's: 'b' body, 'c' head
  std::optional<char> gender, age;         // 'm' 'f' 'u'; 'a' 'c'
  std::optional<std::string> build;        // fit fat skn chd
  bool replace = false;
  std::string folder;                      // where the files go
  const GameIndex* game = nullptr;         // the game, for IDs, clashes and the skeleton
};

struct PublishResult {
  std::string suit;                  // the suit's file stem
  std::vector<std::string> written;  // paths, suit first, then mesh, then bitmaps
  std::vector<std::string> removed;  // the set --replace took the place of
  std::vector<std::string> notes;    // what was decided for the user ("the dark tone takes the light image")
};

// The outfit a request makes, before anything is read or written: kind,
// gender, age and build from the flags, else the mesh's (or suit's) name,
// else (kind only) the build flag or OutfitKindOf; the ID from the flag
// or FreeOutfitId. Error 5 naming the flag that is missing or the value
// that is wrong ("--gender is needed: the mesh's name does not tell").
OutfitName PlanOutfit(const PublishRequest& request);

// The kind a mesh makes when its name does not tell: a head ('c') for a
// mesh on the HEAD bone alone, else a body ('b').
char OutfitKindOf(const SkinModel& mesh);

// The paths PublishOutfit writes for the request planned as outfit, in the
// order it lists them: a new outfit's suit and mesh, then the bitmaps,
// each gender's light, medium and dark.
std::vector<std::string> PlannedFiles(const PublishRequest& request, const OutfitName& outfit);

// Where publishing into an install writes: its Skins folder as spelled on
// disk (SkinsFolderOf), else GameData/Skins, made by the first publish.
std::string PublishFolderOf(const std::string& install);

// The lowest number from 100 up that no suit or bitmap of the outfit's
// prefix family (same kind, gender, age and build, any ID) uses among
// names (file names).
std::string FreeOutfitId(const OutfitName& outfit, const std::vector<std::string>& names);

// Publishes: plans the outfit, refuses a clash (an ID or texture already
// used on the prefix, unless replace; a name hiding an archive member), a
// name that is not letters, digits and "_", an image or mesh that cannot be
// read, a mesh bone its age's skeleton lacks. Bitmaps become uncompressed
// 8-bit BMPs (a square power-of-two size from 64 to 512 is kept, another is
// scaled to the part's size); a tone without an image takes the light one.
// Everything is written at once or nothing is: a refusal throws Failure
// (error 5, 53 or 58 for a clash) and leaves the folder as it was.
PublishResult PublishOutfit(const PublishRequest& request);

// Publishes a skill file (a .cmx or .bcf holding skills) and each skill's
// frames, found beside it, into folder, where the game reads replacement
// animations: all written at once or none. notes say, for each skill, that
// it replaces the game's own (a loose file named as an archive member of
// game) or that only objects that call it will play it. Failures as
// ReadCharacterFile and ReadSkillFrames; error 5 for a file without skills.
PublishResult PublishSkills(const std::string& skill_file, const std::string& folder, const GameIndex* game);

}  // namespace mervane
