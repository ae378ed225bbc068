#pragma once

#include <string>
#include <string_view>

#include "model/model.h"
#include "model/prompts.h"

namespace mervane {

// How a vertex line's numbers go into the model: in six-decimal form, or,
// when they are plain decimal numbers one space apart, with the digits the
// file gives them (so that a vertex that nobody changed is written back
// with its own digits).
enum class SknDigits { Canonical, AsWritten };

// Reads .skn text into a new model, with SaveAsProjectFirst set. name is the
// file's name, for failures. Throws Failure with the line and what was
// expected: error 62 for a text that ends early, 5 for a short vertex line,
// 6 for a count outside 16 bits, 9 for more lines than a table holds, and
// the limit and binding-count failures.
SkinModel ParseSkn(std::string_view text, std::string_view name, SknDigits digits = SknDigits::Canonical);

// The .skn text of the model, every line ending in CR LF. Counts above a
// table's capacity are error 9.
std::string SknText(const SkinModel& model);

// Reads a .skn file into the model. On failure the user is told and the
// model stays as it was.
Outcome LoadSkn(SkinModel& model, Prompts& prompts, const std::string& path);

// Writes the model as a .skn file, atomically. A failure is told to the
// user and leaves any existing file as it was.
Outcome SaveSkn(const SkinModel& model, Prompts& prompts, const std::string& path);

}  // namespace mervane
