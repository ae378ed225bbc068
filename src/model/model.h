#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mervane {

inline constexpr int kBoneSlots = 101;   // bone indices 0 to 100
inline constexpr int kLineSlots = 32001; // line indices 0 to 32000
// Texture-vertex, vertex and normal counts above this are refused.
inline constexpr int kCountLimit = 31999;

// A fixed-capacity table of text lines. An index outside it is error 9 and
// never touches memory; an entry never written reads as empty text.
// The lines live side by side in one buffer, so that a table of 32,000
// lines costs two allocations rather than one per line; a line rewritten
// no longer than before keeps its place. The first write reserves room for
// a full table of typical lines: memory never written costs nothing, and a
// table that fills never moves its text.
class LineTable {
 public:
  explicit LineTable(int capacity) : capacity_(capacity) {}

  // The line's text, valid until the table is next changed.
  std::string_view at(int index) const {
    CheckIndex(index);
    if (static_cast<std::size_t>(index) >= spans_.size()) return {};
    const Span& span = spans_[static_cast<std::size_t>(index)];
    return std::string_view(text_.data() + span.offset, span.length);
  }
  void set(int index, std::string_view text);
  // Empties entries 0 to capacity-2; the top entry keeps its text.
  void ClearBelowTop();
  int capacity() const { return capacity_; }

 private:
  struct Span {
    std::uint32_t offset = 0, length = 0;
  };
  void CheckIndex(int index) const {
    if (index < 0 || index >= capacity_) FailIndex(index);
  }
  [[noreturn]] void FailIndex(int index) const;

  int capacity_;
  std::string text_;
  std::vector<Span> spans_;
};

// The one skin that the program holds: each mesh element as the text line
// it has in a .skn file, with positions and normals in six-decimal form.
struct SkinModel {
  std::string MeshName;
  std::string TextureName;
  std::int16_t BoneCount = 0;
  std::int16_t FaceCount = 0;
  std::int16_t TexVertexCount = 0;
  std::int16_t BlendCount = 0;
  std::int16_t VertexCount = 0;
  std::int16_t NormalCount = 0;

  LineTable BoneNames{kBoneSlots};
  LineTable BindingLines{kBoneSlots};
  LineTable FaceLines{kLineSlots};
  LineTable TexVertexLines{kLineSlots};
  LineTable VertexLines{kLineSlots};
  LineTable NormalLines{kLineSlots};
  LineTable BlendLines{kLineSlots};

  std::array<double, kBoneSlots> BoneOffsetX{};
  std::array<double, kBoneSlots> BoneOffsetY{};
  std::array<double, kBoneSlots> BoneOffsetZ{};

  // Shell flags: a model is present; Save As proposes projects first; the
  // path from the command line waiting for the first Open.
  bool ModelLoaded = false;
  bool SaveAsProjectFirst = false;
  std::string CommandFile;

  // The file the model was read from (an imported part's .obj), as given;
  // a saved project looks for the texture beside it too.
  std::string SourcePath;
};

// Names become lines of the text formats; one with a line break (which a
// .bmf can hold) would break the file, so the text writers refuse it
// (error 5, naming the name).
void CheckNamesFitLines(const SkinModel& model);

// Empties counts, names, tables, offsets and SourcePath; keeps the three
// shell flags.
void ResetModel(SkinModel& model);

// Bounds-checked offset access for the bone index i (error 9 outside).
void CheckBoneIndex(int index);

}  // namespace mervane
