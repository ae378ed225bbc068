#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mervane {

// The game's character files: skeletons, the suits that dress them and the
// skills (animations) that move them. A .cmx holds them as text, a .bcf as
// little-endian binary; both read into and write from this one model, which
// keeps every field as the files hold it (float32 values, 32-bit counts and
// flags), so that a .bcf read and written again is the same bytes.

struct Property {
  std::string key, value;
  bool operator==(const Property&) const = default;
};
// A list of key/value pairs; elements carry any number of lists.
using PropertyList = std::vector<Property>;

// One event of a motion: a property list at a time in ms.
struct TimeProperty {
  std::uint32_t time_ms = 0;
  PropertyList properties;
  bool operator==(const TimeProperty&) const = default;
};
using TimePropertyList = std::vector<TimeProperty>;

// The parent name the files give a root bone.
inline constexpr std::string_view kNoParent = "NULL";

struct Bone {
  std::string name;
  std::string parent;  // kNoParent for the root
  std::vector<PropertyList> properties;
  std::array<float, 3> position{};              // relative to the parent
  std::array<float, 4> rotation{0, 0, 0, 1};    // x y z w, as stored (applied conjugated)
  std::uint32_t can_translate = 0, can_rotate = 0, can_blend = 0;
  float wiggle_value = 0, wiggle_power = 0;
  bool operator==(const Bone&) const = default;
};

struct Skeleton {
  std::string name;
  std::vector<Bone> bones;
  bool operator==(const Skeleton&) const = default;
};

// One mesh of a suit, found by skin_name and bound to bone_name.
struct SuitSkin {
  std::string bone_name;
  std::string skin_name;
  std::uint32_t censor_flags = 0;
  std::vector<PropertyList> properties;
  bool operator==(const SuitSkin&) const = default;
};

struct Suit {
  std::string name;
  std::uint32_t type = 0;
  std::vector<PropertyList> properties;
  std::vector<SuitSkin> skins;
  bool operator==(const Suit&) const = default;
};

// What one bone does in a skill. Its values are in the skill's frames
// (.cfp): positions from position_offset, rotations from rotation_offset,
// one per frame; an offset is -1 when unused.
struct Motion {
  std::string bone_name;
  std::uint32_t frames = 0;
  float duration = 0;  // ms
  std::uint32_t uses_positions = 0, uses_rotations = 0;
  std::int32_t position_offset = -1, rotation_offset = -1;
  std::vector<PropertyList> properties;
  std::vector<TimePropertyList> time_properties;
  bool operator==(const Motion&) const = default;
};

struct Skill {
  std::string name;
  std::string frames_name;  // the .cfp file's base name
  float duration = 0;       // ms
  float distance = 0;
  std::uint32_t moves = 0;
  std::uint32_t position_count = 0, rotation_count = 0;  // values in the .cfp
  std::vector<Motion> motions;
  bool operator==(const Skill&) const = default;
};

// The whole content of a .cmx or .bcf; a file usually fills one section.
struct CharacterFile {
  std::vector<Skeleton> skeletons;
  std::vector<Suit> suits;
  std::vector<Skill> skills;
  bool operator==(const CharacterFile&) const = default;
};

// Reads .cmx text: a comment line, "version 300", then the three counted
// sections, one value a line, vectors as "| a b c |"; lines end in CR LF,
// CR or LF; blanks around a value are ignored. name is the file's name, for
// failures. Throws Failure naming the file, the line and the element
// ("bone 3 (counted from 0) of skeleton adult"): error 62 when the text ends
// early, 5 for a line that is not the value expected (a count or flag that
// is not a plain whole number, a vector without its bars, another version,
// text after the skills), 6 for a value out of range, NaN or infinite, and
// the skeleton failures of CheckSkeleton. A count larger than the lines left
// fails before anything is allocated.
CharacterFile ParseCmx(std::string_view text, std::string_view name);

// The .cmx text of the file: a comment line, "version 300", then every
// field, lines ending in CR LF. Floats are written in the layout of printf's
// %g with a three-digit exponent ("-5.88894e-005", "700000") and the fewest
// significant digits, six at least, that read back to the same float32.
// Names holding a line break are error 5, naming the element. The comment
// line is ours unless another is given (a suit published into the game
// carries the game's own, kGameCmxComment).
inline constexpr std::string_view kMervaneCmxComment = "// Character File. Written by Mervane.";
inline constexpr std::string_view kGameCmxComment = "// Character File. Copyright 1997, Maxis Inc.";
std::string CmxText(const CharacterFile& file, std::string_view comment = kMervaneCmxComment);

// Reads .bcf bytes: the fields of a .cmx after its version line, in the same
// order, little-endian; strings as a length byte and the bytes (a length
// byte of 255 is followed by an int32 length), counts and flags uint32,
// floats float32, offsets int32; the file ends after the skills. Throws
// Failure naming the file, the byte offset and the element: error 62 for
// bytes that end early (a count larger than the bytes left fails before
// anything is allocated), 5 for bytes after the skills or a negative string
// length, 6 for a NaN or infinite float, and the failures of CheckSkeleton.
CharacterFile ParseBcf(std::string_view bytes, std::string_view name);

// The .bcf bytes of the file. A string of 255 bytes or more takes the long
// form; ParseBcf of BcfBytes gives the same file back.
std::string BcfBytes(const CharacterFile& file);

// Checks what posing relies on: bone names unique (case ignored), every
// parent a bone of the skeleton or kNoParent, and no cycle through the
// parents. Error 5 naming the skeleton and the bone. The readers check
// every skeleton they read.
void CheckSkeleton(const Skeleton& skeleton);

// One float as CmxText writes it.
std::string FormatCmxFloat(float value);

}  // namespace mervane
