#pragma once

#include <string>
#include <string_view>

#include "model/model.h"
#include "files/textfile.h"
#include "model/prompts.h"
#include "project/obj_reader.h"

namespace mervane {

// The three texts of a skin project saved under a chosen .spj path.
struct ProjectFiles {
  std::string spj_path, obj_path, mtl_path;
  std::string spj, obj, mtl;
};

// Builds the project texts of the model for the .spj path. texture is what
// the .mtl names as its bitmap (ProjectTextureReference); empty names
// TextureName.bmp. Throws the failures of an unusable model: error 5 for a
// path without extension, 52 for an empty name before it, and those of
// ForEachWorldBone.
ProjectFiles BuildProjectFiles(const SkinModel& model, const std::string& path,
                               std::string_view texture);

// The bitmap a project's .mtl names, TextureName.bmp found without regard
// to case: its bare name when it is in the folder of the project path
// (listed in folder), else its absolute path when it is beside
// model.SourcePath; empty when it is in neither, so that the .mtl names
// TextureName.bmp and a bitmap copied beside the project is found.
std::string ProjectTextureReference(const SkinModel& model, const std::string& path, const FolderFiles& folder);

// The texture bitmap's name as spelled in a listed folder, found without
// regard to case; empty when there is none.
std::string FindProjectTexture(const SkinModel& model, const FolderFiles& folder);

// Writes the .spj, .obj and .mtl; all three or none. The texture is named
// as ProjectTextureReference finds it.
Outcome SaveProject(const SkinModel& model, Prompts& prompts, const std::string& path);

// Reads a project from its .spj and .obj texts into a new model, each vertex
// and normal moved back into its bone's space; SaveAsProjectFirst is clear.
// The names are the files', for failures; ask answers the normals question
// when the .obj's first face needs it.
SkinModel ParseProject(std::string_view spj, std::string_view obj, std::string_view spj_name,
                       std::string_view obj_name, const NormalsQuestion& ask);

// Reads a .spj and the .obj beside it. On failure the user is told and the
// model stays as it was.
Outcome LoadProject(SkinModel& model, Prompts& prompts, const std::string& path);

}  // namespace mervane
