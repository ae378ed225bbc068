#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/model.h"
#include "model/prompts.h"
#include "model/skeleton.h"
#include "model/line_reader.h"

namespace mervane {

// Asks whether to fix the normals of an .obj whose first face names normals
// the file does not hold: true gives each corner the normal with its
// vertex's index, false keeps the named ones, nullopt means nobody could
// answer, and the read fails without a message of its own.
using NormalsQuestion = std::function<std::optional<bool>()>;

// The question as the user sees it, through prompts.
NormalsQuestion AskThrough(Prompts& prompts);

// Texts of one kind side by side in one buffer: a list of 32,000 entries
// costs a few allocations, not one per entry.
class TextList {
 public:
  void push_back(std::string_view text);
  std::string_view operator[](std::size_t index) const {
    const auto [offset, length] = spans_[index];
    return {text_.data() + offset, length};
  }
  std::size_t size() const { return spans_.size(); }

 private:
  std::string text_;
  std::vector<std::pair<std::size_t, std::size_t>> spans_;
};

// The "v", "vn" and "vt" lines of an .obj in file order: positions as the
// numbers their six-decimal text reads as, the others as that text.
struct ObjLists {
  std::vector<Vec3> vertices;
  std::vector<long> vertex_line_numbers;  // for messages that name a vertex
  TextList normals;
  TextList tex_vertices;
};

// Reads an .obj to its end. Positions, normals and texture vertices are
// collected into lists; each face becomes model faces (a fan of triangles
// for more than three corners), and each corner gives its vertex the
// texture vertex and normal it names. Afterwards VertexCount, NormalCount and
// TexVertexCount hold the numbers of "v", "vn" and "vt" lines. Throws the
// limit failures and errors 5 and 9 with the line. The first face decides,
// for this read only, whether the normals need the question.
ObjLists ReadObjGeometry(SkinModel& model, LineReader& in, const NormalsQuestion& ask);

// Moves the .obj positions of every bone's range into the bone's local
// space, turns the normals of the same vertices back, and flips V of
// texture vertices 0 to TexVertexCount-1. An entry that was never filled is
// error 5.
void BackTransform(SkinModel& model, const ObjLists& lists);

}  // namespace mervane
