#pragma once

#include <string>
#include <vector>

#include "model/model.h"
#include "model/prompts.h"
#include "model/textfile.h"

namespace mervane {

// Whether face corners take the normals they name, or (after the user asked
// for the fix) the normal with their vertex's index.
enum class NormalCheckState { Untested, UseNormalIndices, UseVertexIndices };

// The "v", "vn" and "vt" lines of an .obj in file order, six-decimal text.
struct ObjLists {
  std::vector<std::string> vertices;
  std::vector<long> vertex_line_numbers;  // for messages that name a vertex
  std::vector<std::string> normals;
  std::vector<std::string> tex_vertices;
};

// Reads an .obj to its end. Positions, normals and texture vertices are
// collected into lists; each face becomes model faces (a fan of triangles
// for more than three corners), and each corner gives its vertex the
// texture vertex and normal it names. Afterwards VertexCount, NormalCount and
// TexVertexCount hold the numbers of "v", "vn" and "vt" lines. Throws the
// limit failures and errors 5 and 9 with the file and line.
ObjLists ReadObjGeometry(SkinModel& model, Prompts& prompts, LineReader& in,
                         NormalCheckState& state);

// Moves the .obj positions of every bone's range into the bone's local
// space, turns the normals of the same vertices back, and flips V of
// texture vertices 0 to TexVertexCount-1. An entry that was never filled is
// error 5.
void BackTransform(SkinModel& model, const ObjLists& lists);

}  // namespace mervane
