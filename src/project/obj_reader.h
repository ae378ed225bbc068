#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"
#include "model/prompts.h"
#include "model/skeleton.h"
#include "files/line_reader.h"

namespace mervane {

// Asks whether to fix the normals of an .obj whose first face names normals
// the file does not hold: true gives each corner the normal with its
// vertex's index, false keeps the named ones, nullopt means nobody could
// answer, and the read fails without a message of its own.
using NormalsQuestion = std::function<std::optional<bool>()>;

// The question as the user sees it, through prompts.
NormalsQuestion AskThrough(Prompts& prompts);

using Vec2 = std::array<double, 2>;

// Marks, in ObjLists::normal_of, a normal that a face names but the file lacks.
inline constexpr int kMissingNormal = -2;

// The "v", "vn" and "vt" lines of an .obj in file order, each number as it
// reads after the six-decimal rounding every coordinate gets on the way in,
// and for each vertex the texture vertex and normal that the last face
// corner naming it named among those read by then (-1 for none).
struct ObjLists {
  std::vector<Vec3> vertices;
  std::vector<long> vertex_line_numbers;  // for messages that name a vertex
  std::vector<Vec3> normals;
  std::vector<Vec2> tex_vertices;
  // By vertex; shorter when no face names the last ones, -1 where none
  // does. A normal index n that the file lacks is kMissingNormal - n.
  std::vector<int> tex_of, normal_of;
};

// Reads an .obj to its end. Positions, normals and texture vertices are
// collected into lists; each face becomes model faces (a fan of triangles
// for more than three corners). Afterwards VertexCount, NormalCount and
// TexVertexCount hold the numbers of "v", "vn" and "vt" lines. Throws the
// limit failures and errors 5 and 9 with the line. The first face decides,
// for this read only, whether the normals need the question.
ObjLists ReadObjGeometry(SkinModel& model, LineReader& in, const NormalsQuestion& ask);

// Writes the model's vertex, normal and texture-vertex lines from the lists:
// the positions of every bone's range moved into the bone's local space,
// the normals of the same vertices turned back, and V of texture vertices 0
// to TexVertexCount-1 flipped. A vertex without a position, or that no face
// gave a normal or texture vertex, is error 5.
void BackTransform(SkinModel& model, const ObjLists& lists);

}  // namespace mervane
