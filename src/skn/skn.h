#pragma once

#include <string>

#include "model/model.h"
#include "model/prompts.h"

namespace mervane {

// Reads a .skn file into the model. On success ModelLoaded and
// SaveAsProjectFirst are set; on failure the user is told, the model is
// emptied and unloaded.
Outcome LoadSkn(SkinModel& model, Prompts& prompts, const std::string& path);

// The .skn text of the model, every line ending in CR LF. Counts above a
// table's capacity are error 9.
std::string SknText(const SkinModel& model);

// Writes the model as a .skn file. A failure is told to the user and leaves
// any existing file as it was; the model is then emptied and unloaded.
Outcome SaveSkn(SkinModel& model, Prompts& prompts, const std::string& path);

}  // namespace mervane
