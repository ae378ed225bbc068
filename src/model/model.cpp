#include "model/model.h"

#include "model/failure.h"

namespace mervane {

namespace {
const std::string kEmpty;
}

void CheckBoneIndex(int index) {
  if (index < 0 || index >= kBoneSlots)
    throw Failure::Error(err::kIndexOutOfRange,
                         "bone index " + std::to_string(index) + " is outside 0 to 100");
}

const std::string& LineTable::at(int index) const {
  if (index < 0 || index >= slots_)
    throw Failure::Error(err::kIndexOutOfRange, "index " + std::to_string(index) +
                                                    " is outside 0 to " +
                                                    std::to_string(slots_ - 1));
  return static_cast<std::size_t>(index) < entries_.size() ? entries_[index] : kEmpty;
}

void LineTable::set(int index, std::string text) {
  at(index);  // bounds check
  if (static_cast<std::size_t>(index) >= entries_.size()) entries_.resize(index + 1);
  entries_[index] = std::move(text);
}

void LineTable::ClearBelowTop() {
  if (entries_.size() < static_cast<std::size_t>(slots_)) {
    entries_.clear();
    return;
  }
  for (int i = 0; i < slots_ - 1; ++i) entries_[i].clear();
}

void ResetModel(SkinModel& model) {
  model.BoneCount = model.FaceCount = model.VertexCount = 0;
  model.NormalCount = model.TexVertexCount = model.BlendCount = 0;
  model.MeshName.clear();
  model.TextureName.clear();
  for (LineTable* table : {&model.BoneNames, &model.BindingLines, &model.FaceLines,
                           &model.TexVertexLines, &model.VertexLines, &model.NormalLines,
                           &model.BlendLines})
    table->ClearBelowTop();
  for (int i = 0; i < kBoneSlots - 1; ++i)
    model.BoneOffsetX[i] = model.BoneOffsetY[i] = model.BoneOffsetZ[i] = 0.0;
}

}  // namespace mervane
