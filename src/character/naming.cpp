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

}  // namespace

std::string FileStem(std::string_view file_name) {
  std::string stem = StemAndKind(FileNameOf(file_name)).first;
  if (EndsWith(stem, ".bmp")) stem.resize(stem.size() - 4);
  return stem;
}

namespace {

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

std::vector<std::string> ToneBitmapChoices(std::span<const std::string> names, std::string_view mesh_name,
                                           std::string_view texture_name, std::optional<SkinTone> tone) {
  std::vector<std::string> choices;
  if (auto named = FindBitmap(names, ToneBitmapStem(mesh_name, texture_name, tone))) choices.push_back(*named);
  // A suit that does not follow the naming is paired by the bitmap its texture names.
  std::string key = SuitNameOfMesh(mesh_name);
  if (!ParseOutfitName(key)) key = texture_name;
  if (!ParseOutfitName(key)) return choices;
  key = PairingKey(key);
  const SkinTone wanted = tone.value_or(ToneOf(texture_name).value_or(SkinTone::Light));
  for (const std::string& name : names) {
    if (!EndsWith(ToLowerAscii(name), ".bmp") || ToneOf(FileStem(name)) != wanted || PairingKey(name) != key) continue;
    const auto same = [&](const std::string& choice) { return ToLowerAscii(choice) == ToLowerAscii(name); };
    if (std::none_of(choices.begin(), choices.end(), same)) choices.push_back(name);
  }
  return choices;
}

std::string TextureOfBitmap(std::string_view bitmap_name) {
  std::string stem = FileNameOf(bitmap_name);
  if (EndsWith(ToLowerAscii(stem), ".bmp")) stem.resize(stem.size() - 4);
  const std::size_t under = stem.find('_');
  return under == std::string::npos ? stem : stem.substr(under + 1);
}

std::optional<std::size_t> FindTexture(std::span<const std::string> choices, std::string_view texture) {
  const std::string want = ToLowerAscii(texture);
  for (std::size_t k = 0; k < choices.size(); ++k) {
    const std::string has = ToLowerAscii(TextureOfBitmap(choices[k]));
    if (!want.empty() && !has.empty() && (StartsWith(has, want) || StartsWith(want, has))) return k;
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

std::optional<SimPart> SimPartOf(std::string_view mesh_name) {
  const std::string suit = ToLowerAscii(SuitNameOfMesh(mesh_name));
  if (suit.size() == 4 && suit[0] == 'h' && (suit[2] == 'l' || suit[2] == 'r'))
    return suit[2] == 'l' ? SimPart::LeftHand : SimPart::RightHand;
  if (!SimKindOf(suit)) return std::nullopt;
  return suit[0] == 'c' ? SimPart::Head : SimPart::Body;
}

char AgeOfNames(std::span<const std::string> names) {
  for (const std::string& name : names)
    if (const auto kind = SimKindOf(name)) return kind->age;
  return 'a';
}

std::optional<OutfitName> ParseOutfitName(std::string_view name) {
  std::string lower = ToLowerAscii(SuitNameOfMesh(FileStem(name)));
  // A bitmap's name has its tone between the prefix and the "_".
  if (const auto at = ToneAt(lower); at && lower.find('_') != std::string::npos) lower.erase(*at, 3);
  if (lower.size() < 6 || (lower[0] != 'b' && lower[0] != 'c')) return std::nullopt;
  OutfitName outfit;
  outfit.kind = lower[0];
  outfit.id = lower.substr(1, 3);
  outfit.gender = lower[4];
  outfit.age = lower[5];
  if ((outfit.gender != 'm' && outfit.gender != 'f' && outfit.gender != 'u') ||
      (outfit.age != 'a' && outfit.age != 'c'))
    return std::nullopt;
  for (const char c : outfit.id)
    if (!std::isalnum(static_cast<unsigned char>(c))) return std::nullopt;
  const std::size_t under = lower.find('_');
  const std::string_view head = std::string_view(lower).substr(0, std::min(under, lower.size()));
  if (outfit.kind == 'b') {
    if (head.size() != 9 || !IsBuildOfAge(head.substr(6), outfit.age)) return std::nullopt;
    outfit.build = head.substr(6);
  } else if (head.size() != 6) {
    return std::nullopt;
  }
  if (under != std::string::npos) outfit.name = lower.substr(under + 1);
  return outfit;
}

bool IsBuildOfAge(std::string_view build, char age) {
  const std::string lower = ToLowerAscii(build);
  return age == 'c' ? lower == "chd" : (lower == "fit" || lower == "fat" || lower == "skn");
}

std::string OutfitPrefix(const OutfitName& outfit, std::optional<char> gender) {
  std::string prefix{static_cast<char>(std::toupper(static_cast<unsigned char>(outfit.kind)))};
  prefix += outfit.id;
  for (char& c : prefix) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  prefix += static_cast<char>(std::toupper(static_cast<unsigned char>(gender.value_or(outfit.gender))));
  prefix += static_cast<char>(std::toupper(static_cast<unsigned char>(outfit.age)));
  if (!outfit.build.empty()) {
    prefix += static_cast<char>(std::toupper(static_cast<unsigned char>(outfit.build[0])));
    prefix += ToLowerAscii(outfit.build.substr(1));
  }
  return prefix;
}

namespace {
bool IsChildBody(const OutfitName& outfit) { return outfit.kind == 'b' && outfit.age == 'c'; }
}  // namespace

std::string SuitStem(const OutfitName& outfit) {
  return OutfitPrefix(outfit, IsChildBody(outfit) ? std::optional<char>('u') : std::nullopt) + "_" + outfit.name;
}

std::string SuitMeshName(const OutfitName& outfit) {
  return "xskin-" + ToLowerAscii(SuitStem(outfit)) + (outfit.kind == 'b' ? "-PELVIS-BODY" : "-HEAD-HEAD");
}

std::string_view SuitBone(const OutfitName& outfit) { return outfit.kind == 'b' ? "PELVIS" : "HEAD"; }

std::string BitmapGenders(const OutfitName& outfit) {
  if (IsChildBody(outfit) && outfit.gender == 'u') return "fm";
  return std::string(1, outfit.gender);
}

std::string OutfitBitmapStem(std::string_view prefix, SkinTone tone, std::string_view texture) {
  return std::string(prefix) + std::string(ToneCode(tone)) + "_" + std::string(texture);
}

int OutfitBitmapSize(const OutfitName& outfit) { return outfit.kind == 'b' ? 256 : 128; }

std::string PairingKey(std::string_view file_name) {
  std::string base = FileStem(file_name);
  if (auto outfit = ParseOutfitName(base)) {
    if (IsChildBody(*outfit)) outfit->gender = 'u';
    return ToLowerAscii(OutfitPrefix(*outfit));
  }
  // Hands: "h", gender, side, pose, then the tone on a bitmap.
  if (const auto at = ToneAt(base); at && base.find('_') == std::string::npos) base.erase(*at);
  if (base.size() == 4 && base[0] == 'h' && std::string_view("mfu").find(base[1]) != std::string_view::npos &&
      std::string_view("lra").find(base[2]) != std::string_view::npos &&
      std::string_view("ocp").find(base[3]) != std::string_view::npos) {
    base[2] = 'a';
    return base;
  }
  return {};
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
