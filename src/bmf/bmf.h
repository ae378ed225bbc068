#pragma once

#include <string>
#include <string_view>

#include "model/model.h"
#include "model/prompts.h"

namespace mervane {

// The binary mesh format: the blocks of a .skn, little-endian, names as a
// length byte and that many bytes, counts and indices as 32-bit integers,
// coordinates as float32. Blend pairs are stored weight first.

// Reads .bmf bytes into a new model, exactly as reading the equivalent .skn
// would fill it: each element becomes its .skn line, coordinates in
// six-decimal form; SaveAsProjectFirst is set. name is the file's name, for
// failures. Throws Failure with the byte offset: error 62 for bytes that end
// early (a count larger than the bytes left fails before anything is
// allocated), 9 for more bones, faces or blend entries than the tables
// hold, 5 when the vertex count is not texture vertices plus blend
// entries, 6 for a NaN or infinite float, and the limit and binding-count
// failures of the .skn reader.
SkinModel ParseBmf(std::string_view bytes, std::string_view name);

// The .bmf bytes of the model. Every line is read with the number rule;
// face, blend and binding fields must be whole and fit their 32-bit field
// (error 5 for a fraction or a negative unsigned value, 6 when too large),
// coordinates round to the nearest float32 (error 6 beyond its range).
// A name over 255 bytes, or VertexCount other than TexVertexCount plus
// BlendCount, is error 5.
std::string BmfBytes(const SkinModel& model);

// Reads a .bmf file into the model. On failure the user is told and the
// model stays as it was.
Outcome LoadBmf(SkinModel& model, Prompts& prompts, const std::string& path);

// Writes the model as a .bmf file, atomically; nothing is written on failure.
Outcome SaveBmf(const SkinModel& model, Prompts& prompts, const std::string& path);

}  // namespace mervane
