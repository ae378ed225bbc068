#pragma once

#include <string>

#include "model/model.h"
#include "model/prompts.h"

namespace mervane {

// The three texts of a skin project saved under a chosen .spj path.
struct ProjectFiles {
  std::string spj_path, obj_path, mtl_path;
  std::string spj, obj, mtl;
};

// Builds the project texts; the texture is looked up in the project's folder.
// Throws the failures of an unusable model.
ProjectFiles BuildProjectFiles(SkinModel& model, const std::string& path);

// Writes the .spj, .obj and .mtl; all three or none.
Outcome SaveProject(SkinModel& model, Prompts& prompts, const std::string& path);

// Reads a .spj and the .obj beside it back into bone-local space.
Outcome LoadProject(SkinModel& model, Prompts& prompts, const std::string& path);

}  // namespace mervane
