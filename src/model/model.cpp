#include "model/model.h"

#include <cstring>

#include "model/failure.h"

namespace mervane {


void CheckBoneIndex(int index) {
  if (index < 0 || index >= kBoneSlots)
    throw Failure::Error(err::kIndexOutOfRange,
                         "bone index " + std::to_string(index) + " is outside 0 to 100");
}

void LineTable::FailIndex(int index) const {
  throw Failure::Error(err::kIndexOutOfRange, "index " + std::to_string(index) +
                                                  " is outside 0 to " + std::to_string(capacity_ - 1));
}

void LineTable::set(int index, std::string_view line) {
  CheckIndex(index);
  const auto i = static_cast<std::size_t>(index);
  if (spans_.capacity() == 0) {
    constexpr std::size_t kTypicalLine = 32;  // a coordinate triple in six-decimal text
    spans_.reserve(static_cast<std::size_t>(capacity_));
    text_.reserve(static_cast<std::size_t>(capacity_) * kTypicalLine);
  }
  if (i >= spans_.size()) spans_.resize(i + 1);
  Span& span = spans_[i];
  if (line.size() <= span.length) {
    // In place; memmove, since the text may be a view of this very line.
    if (!line.empty()) std::memmove(text_.data() + span.offset, line.data(), line.size());
    span.length = static_cast<std::uint32_t>(line.size());
    return;
  }
  // The text may be a view into this table, which appending could move.
  const char* base = text_.data();
  const bool inside = !line.empty() && line.data() >= base && line.data() < base + text_.size();
  const std::size_t from = inside ? static_cast<std::size_t>(line.data() - base) : 0;
  const std::size_t offset = text_.size();
  if (inside) {
    text_.append(line.size(), '\0');
    std::memcpy(text_.data() + offset, text_.data() + from, line.size());
  } else {
    text_.append(line);
  }
  span = {static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(line.size())};
}

void LineTable::ClearBelowTop() {
  if (spans_.size() < static_cast<std::size_t>(capacity_)) {
    spans_.clear();
    text_.clear();
    return;
  }
  // The top entry's text stays; everything else goes.
  const std::string top(at(capacity_ - 1));
  spans_.assign(static_cast<std::size_t>(capacity_), Span{});
  text_ = top;
  spans_.back() = {0, static_cast<std::uint32_t>(top.size())};
}

void CheckNamesFitLines(const SkinModel& model) {
  auto check = [](std::string_view name, const std::string& what) {
    if (name.find_first_of("\r\n") != std::string_view::npos)
      throw Failure::Error(err::kInvalidArgument, what + " holds a line break, which a text file cannot keep");
  };
  check(model.MeshName, "the mesh name");
  check(model.TextureName, "the texture name");
  for (int i = 0; i < model.BoneCount && i < kBoneSlots; ++i)
    check(model.BoneNames.at(i), "the name of bone " + std::to_string(i));
}

void ResetModel(SkinModel& model) {
  model.BoneCount = model.FaceCount = model.VertexCount = 0;
  model.NormalCount = model.TexVertexCount = model.BlendCount = 0;
  model.MeshName.clear();
  model.TextureName.clear();
  model.SourcePath.clear();
  for (LineTable* table : {&model.BoneNames, &model.BindingLines, &model.FaceLines,
                           &model.TexVertexLines, &model.VertexLines, &model.NormalLines,
                           &model.BlendLines})
    table->ClearBelowTop();
  for (int i = 0; i < kBoneSlots - 1; ++i)
    model.BoneOffsetX[i] = model.BoneOffsetY[i] = model.BoneOffsetZ[i] = 0.0;
}

}  // namespace mervane
