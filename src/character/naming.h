#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace mervane {

// How the game names the files that dress one Sim: the one rule by which the
// window, the converter and the glTF writer pick a mesh's bitmap by skin
// tone, and by which the window offers the head and hands that suit a body.
// Every comparison ignores case.

enum class SkinTone { Light, Medium, Dark };

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

// Which Sims a body or head is for, from its name: the letter, three
// characters of series, then gender (m, f or u) and age (a or c), as in
// "b002mafit_01" or "xskin-c001ma_ross-…".
struct SimKind {
  char gender = 'm';  // 'm', 'f' or 'u'
  char age = 'a';     // 'a' or 'c'
  bool operator==(const SimKind&) const = default;
};
std::optional<SimKind> SimKindOf(std::string_view name);

// The age ('a' or 'c') meshes are for, by their names: the first name that
// tells (SimKindOf; hands' names do not), else adult. A child's meshes
// stand on the child skeleton.
char AgeOfNames(std::span<const std::string> names);

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
