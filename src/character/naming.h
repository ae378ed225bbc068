#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mervane {

// How the game names the files that dress one Sim: the one rule by which the
// window, the converter and the glTF writer pick a mesh's bitmap by skin
// tone, and by which the window offers the head and hands that suit a body.
// Every comparison ignores case.

enum class SkinTone { Light, Medium, Dark };
// Every tone, in the game's order.
inline constexpr SkinTone kSkinTones[] = {SkinTone::Light, SkinTone::Medium, SkinTone::Dark};

// "lgt", "med" or "drk", as the game spells a tone inside a bitmap's name.
std::string_view ToneCode(SkinTone tone);

// The tone a bitmap's name spells, if any: the game puts the tone code
// right after the mesh's prefix, so just before the first "_"
// ("b002mafitlgt_medic" is light), or last when there is none ("hmlolgt").
std::optional<SkinTone> ToneOf(std::string_view bitmap_name);

// The suit a mesh belongs to: "xskin-c001ma_ross-HEAD-HEADB" is
// "c001ma_ross"; a name not of that form is itself.
std::string SuitNameOfMesh(std::string_view mesh_name);

// The bitmap base name (no extension) a mesh wears in a tone. A texture
// name that spells a tone (as ToneOf reads it) has it replaced:
// "b002mafitlgt_ross" in dark is "b002mafitdrk_ross". A texture name that
// is empty or "x" (the game then takes the bitmap by its naming) is made
// from the mesh's suit name with the tone after its first word:
// "c001malgt_ross", "hmlolgt". A texture name without a tone is kept.
// Without a tone, the texture's own, else light.
std::string ToneBitmapStem(std::string_view mesh_name, std::string_view texture_name,
                           std::optional<SkinTone> tone = {});

// The file among names (file names with extensions) that is the bitmap
// stem names: "stem.bmp" first, else the first "stem*.bmp" in the order
// given (the game's dark bodies add a number: "…drk_Ross01.bmp").
std::optional<std::string> FindBitmap(std::span<const std::string> names, std::string_view stem);

// The bitmaps (file names among names, which carry extensions) the game
// may dress a mesh with in a tone, best first: the one its texture names
// (ToneBitmapStem, as FindBitmap finds it); then, for a body or head, every
// other bitmap in that tone that the game pairs with its suit (the same
// PairingKey: a mesh whose texture is "x", or names a bitmap that is not
// there, still shows as the game shows it). Each name once, else in the
// order given. Without a tone, the texture's own, else light.
std::vector<std::string> ToneBitmapChoices(std::span<const std::string> names, std::string_view mesh_name,
                                           std::string_view texture_name, std::optional<SkinTone> tone = {});

// The texture a bitmap's name spells, as the window offers it: what follows
// the first "_" of its stem ("B002MAFitdrk_Ross01.bmp" is "Ross01"), or the
// whole stem without one ("HMLOlgt").
std::string TextureOfBitmap(std::string_view bitmap_name);

// The first of choices (bitmap names) whose texture is texture, case
// ignored, or one begins with the other (the game's dark bitmaps add a
// number: "Ross" is "Ross01"); none when no choice has it.
std::optional<std::size_t> FindTexture(std::span<const std::string> choices, std::string_view texture);

// Which Sims a body or head is for, from its name: the letter, three
// characters of series, then gender (m, f or u) and age (a or c), as in
// "b002mafit_01" or "xskin-c001ma_ross-…".
struct SimKind {
  char gender = 'm';  // 'm', 'f' or 'u'
  char age = 'a';     // 'a' or 'c'
  bool operator==(const SimKind&) const = default;
};
std::optional<SimKind> SimKindOf(std::string_view name);

// Which part of a Sim a mesh dresses, by its name: a head's suit is a "c"
// outfit ("xskin-c001ma_ross-HEAD-HEAD"), a hand's is "h", gender, side and
// pose ("xskin-hmlo-L_HAND-HANDML"), any other suit of a gender and age a
// body. None for a name that tells nothing. The character view shows one
// part of each.
enum class SimPart { Body, Head, LeftHand, RightHand };
std::optional<SimPart> SimPartOf(std::string_view mesh_name);

// The age ('a' or 'c') meshes are for, by their names: the first name that
// tells (SimKindOf; hands' names do not), else adult. A child's meshes
// stand on the child skeleton.
char AgeOfNames(std::span<const std::string> names);

// A file's name without folder and extensions (.cmx.bcf, .cmx, .bcf, .skn,
// .bmf, .bmp), lower-case: what the game knows a skin file by.
std::string FileStem(std::string_view file_name);

// A body's or head's name taken apart as the game spells it:
// "B002MAFit_01" (a suit's stem) or "xskin-b002mafit_01-PELVIS-BODY" (its
// mesh) is kind 'b', id "002", gender 'm', age 'a', build "fit", name "01";
// "C001MA_Ross" is kind 'c' with no build. Letters are kept lower-case.
struct OutfitName {
  char kind = 'b';     // 'b' body, 'c' head
  std::string id;      // three characters
  char gender = 'm';   // 'm', 'f' or 'u'
  char age = 'a';      // 'a' or 'c'
  std::string build;   // "fit", "fat", "skn" or "chd"; empty for a head
  std::string name;    // after the "_"; may be empty
  bool operator==(const OutfitName&) const = default;
};
// The parts of name (a suit's, mesh's or bitmap's file name or stem; a
// bitmap's tone comes after the prefix), or none when it does not follow the naming.
std::optional<OutfitName> ParseOutfitName(std::string_view name);

// True for the builds of an age: "fit", "fat", "skn" for adults, "chd" for
// children.
bool IsBuildOfAge(std::string_view build, char age);

// What the game pairs suits and bitmaps by, as the game's files spell it:
// "B002MAFit", "C001MA". A child's body suit is unisex ("B100UCChd") while
// its bitmaps carry the gender: gender, when given, replaces the outfit's.
std::string OutfitPrefix(const OutfitName& outfit, std::optional<char> gender = {});
// The suit's file stem: "B002MAFit_01", "C001MA_Ross", "B100UCChd_Kid"
// (a child's body suit is always unisex).
std::string SuitStem(const OutfitName& outfit);
// The mesh a suit names, as the game's suits do: "xskin-b002mafit_01-PELVIS-BODY",
// "xskin-c001ma_ross-HEAD-HEAD".
std::string SuitMeshName(const OutfitName& outfit);
// The bone the suit hangs its skin on: PELVIS for a body, HEAD for a head.
std::string_view SuitBone(const OutfitName& outfit);
// The genders whose bitmaps dress the outfit: a child body of gender 'u'
// needs both a girl's and a boy's ("f", "m"); any other outfit its own.
std::string BitmapGenders(const OutfitName& outfit);
// A bitmap's stem: prefix, tone and texture, "B002MAFitlgt_Ross".
std::string OutfitBitmapStem(std::string_view prefix, SkinTone tone, std::string_view texture);
// The bitmap size the game draws the part with: 256 for a body, 128 for a head.
int OutfitBitmapSize(const OutfitName& outfit);

// The pairing key of a suit's or bitmap's file name, lower-case, without
// tone, texture or extension: bodies and heads by their prefix with a
// child body's gender made unisex ("b100ucchd"), hands by their name with
// the side made "a" for both ("hmao"). Empty for a name that is neither.
std::string PairingKey(std::string_view file_name);

// The head and the two hands to offer for a body, chosen among names (file
// names with extensions: suits .cmx, .bcf or .cmx.bcf, and meshes .skn or
// .bmf). body_names are the body's own names (its mesh, its suit, its
// bitmap) whose "_word" ending picks the head made for the same Sim (a body
// bitmap "b002mafitlgt_ross" picks head "c001ma_ross"); otherwise the
// first head of the body's gender and age in the order given. A suit is
// preferred to a mesh of the same name. Hands are the open ones of the
// body's gender ("hmlo", "hmro"; children "hulo", "huro" first). Each is
// empty when none is found.
struct Companions {
  std::string head, left_hand, right_hand;
};
Companions FindCompanions(std::span<const std::string> names, std::span<const std::string> body_names);

}  // namespace mervane
