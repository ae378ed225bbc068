#pragma once

#include <string>
#include <string_view>

#include "model/model.h"
#include "model/prompts.h"
#include "model/skeleton.h"
#include "project/obj_reader.h"

namespace mervane {

struct ImportRequest {
  std::string obj_path;
  std::string mesh_name;     // File Designation
  std::string texture_name;  // Default Skin
  std::string attach_site;   // the one bone's name
};

// Turns .obj text modelled on the assembled body into a new one-bone model
// bound to the attach site, in that bone's local space; SaveAsProjectFirst
// is clear. ask answers the normals question when the first face needs it,
// for this import only. Throws the failures of the OBJ geometry reader and
// the back-transform, with the file named after request.obj_path.
SkinModel ParseObjPart(std::string_view obj, const ImportRequest& request, const NormalsQuestion& ask);

// Reads the request's .obj into the model. On failure the user is told and
// the model stays as it was.
Outcome ImportObjPart(SkinModel& model, Prompts& prompts, const ImportRequest& request);

}  // namespace mervane
