#include "character/naming.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "model/paths.h"

namespace mervane {
namespace {

constexpr std::array<std::string_view, 3> kToneCodes{"lgt", "med", "drk"};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Where a lower-case name spells its tone: the three letters before the
// first "_", or its last three without one. Anywhere else "med" or "lgt"
// is part of a word ("_medic").
std::optional<std::size_t> ToneAt(std::string_view lower) {
  const std::size_t end = std::min(lower.find('_'), lower.size());
  if (end < 3) return std::nullopt;
  for (std::string_view code : kToneCodes)
    if (lower.substr(end - 3, 3) == code) return end - 3;
  return std::nullopt;
}

// A lower-case file name without its extensions: "c001ma_ross.cmx.bcf" is
// "c001ma_ross"; the kind tells which it was.
enum class Kind { Suit, Mesh, Other };
std::pair<std::string, Kind> StemAndKind(std::string_view file_name) {
  std::string lower = ToLowerAscii(file_name);
  for (std::string_view ext : {".cmx.bcf", ".cmx", ".bcf"})
    if (EndsWith(lower, ext)) return {lower.substr(0, lower.size() - ext.size()), Kind::Suit};
  for (std::string_view ext : {".skn", ".bmf"})
    if (EndsWith(lower, ext)) return {lower.substr(0, lower.size() - ext.size()), Kind::Mesh};
  return {lower, Kind::Other};
}

// The "_word" a name ends in, lower-case, or empty.
std::string SimSuffix(std::string_view name) {
  const std::string suit = ToLowerAscii(SuitNameOfMesh(name));
  const std::size_t under = suit.rfind('_');
  return under == std::string::npos ? std::string() : suit.substr(under);
}

// The best of names whose suit name passes want: suits before meshes, the
// first in the given order otherwise; score ranks further (higher first).
template <typename Want, typename Score>
std::string Best(std::span<const std::string> names, Want want, Score score) {
  std::string best;
  int best_rank = -1;
  for (const std::string& name : names) {
    const auto [stem, kind] = StemAndKind(FileNameOf(name));
    if (kind == Kind::Other) continue;
    const std::string suit = kind == Kind::Mesh ? ToLowerAscii(SuitNameOfMesh(stem)) : stem;
    if (!want(suit)) continue;
    const int rank = score(suit) * 2 + (kind == Kind::Suit);
    if (rank > best_rank) best = name, best_rank = rank;
  }
  return best;
}

}  // namespace

std::string_view ToneCode(SkinTone tone) { return kToneCodes[static_cast<std::size_t>(tone)]; }

std::optional<SkinTone> ToneOf(std::string_view bitmap_name) {
  const std::string lower = ToLowerAscii(bitmap_name);
  const auto at = ToneAt(lower);
  if (!at) return std::nullopt;
  for (std::size_t k = 0; k < kToneCodes.size(); ++k)
    if (lower.compare(*at, 3, kToneCodes[k]) == 0) return static_cast<SkinTone>(k);
  return std::nullopt;
}

std::string SuitNameOfMesh(std::string_view mesh_name) {
  // "xskin-" suit "-" bone "-" part: the suit may hold dashes of its own.
  if (!StartsWith(ToLowerAscii(mesh_name.substr(0, 6)), "xskin-")) return std::string(mesh_name);
  const std::string_view rest = mesh_name.substr(6);
  const std::size_t last = rest.rfind('-');
  if (last == std::string_view::npos || last == 0) return std::string(mesh_name);
  const std::size_t bone = rest.rfind('-', last - 1);
  if (bone == std::string_view::npos || bone == 0) return std::string(mesh_name);
  return std::string(rest.substr(0, bone));
}

std::string ToneBitmapStem(std::string_view mesh_name, std::string_view texture_name, std::optional<SkinTone> tone) {
  const std::string code(ToneCode(tone.value_or(ToneOf(texture_name).value_or(SkinTone::Light))));
  if (!texture_name.empty() && ToLowerAscii(texture_name) != "x") {
    std::string stem(texture_name);
    if (const auto at = ToneAt(ToLowerAscii(stem))) stem.replace(*at, 3, code);
    return stem;
  }
  std::string suit = SuitNameOfMesh(mesh_name);
  const std::size_t under = suit.find('_');
  return under == std::string::npos ? suit + code : suit.insert(under, code);
}

std::optional<std::string> FindBitmap(std::span<const std::string> names, std::string_view stem) {
  const std::string lower_stem = ToLowerAscii(stem);
  const std::string exact = lower_stem + ".bmp";
  for (const std::string& name : names)
    if (ToLowerAscii(name) == exact) return name;
  for (const std::string& name : names) {
    const std::string lower = ToLowerAscii(name);
    if (StartsWith(lower, lower_stem) && EndsWith(lower, ".bmp")) return name;
  }
  return std::nullopt;
}

std::optional<SimKind> SimKindOf(std::string_view name) {
  const std::string suit = ToLowerAscii(SuitNameOfMesh(name));
  if (suit.size() < 6 || !std::isalpha(static_cast<unsigned char>(suit[0]))) return std::nullopt;
  const char gender = suit[4], age = suit[5];
  if ((gender != 'm' && gender != 'f' && gender != 'u') || (age != 'a' && age != 'c')) return std::nullopt;
  return SimKind{gender, age};
}

char AgeOfNames(std::span<const std::string> names) {
  for (const std::string& name : names)
    if (const auto kind = SimKindOf(name)) return kind->age;
  return 'a';
}

Companions FindCompanions(std::span<const std::string> names, std::span<const std::string> body_names) {
  std::optional<SimKind> kind;
  std::vector<std::string> suffixes;
  for (const std::string& name : body_names) {
    if (!kind) kind = SimKindOf(name);
    if (std::string suffix = SimSuffix(name); !suffix.empty()) suffixes.push_back(suffix);
  }
  Companions found;
  if (!kind) return found;
  const SimKind body = *kind;
  found.head = Best(
      names,
      [&](const std::string& suit) { return suit.size() >= 6 && suit[0] == 'c' && SimKindOf(suit) == body; },
      [&](const std::string& suit) {
        for (const std::string& suffix : suffixes)
          if (EndsWith(suit, suffix)) return 1;
        return 0;
      });
  // Open hands: "h", gender, side, "o"; children wear the unisex ones.
  std::string genders = body.age == 'c' ? "u" : "";
  genders += body.gender;
  for (const char side : {'l', 'r'}) {
    std::string& hand = side == 'l' ? found.left_hand : found.right_hand;
    for (const char gender : genders) {
      const std::string want{'h', gender, side, 'o'};
      hand = Best(names, [&](const std::string& suit) { return suit == want; }, [](const std::string&) { return 0; });
      if (!hand.empty()) break;
    }
  }
  return found;
}

}  // namespace mervane
