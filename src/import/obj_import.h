#pragma once

#include <array>
#include <string>

#include "model/model.h"
#include "model/prompts.h"
#include "project/obj_reader.h"

namespace mervane {

// The bones a part can be attached to, in the order the dialog lists them.
// ROOT and R_TOE are not in the skeleton: such a part keeps offsets 0.
inline constexpr std::array<const char*, 24> kAttachSites{
    "ROOT",   "PELVIS", "R_LEG", "R_LEG1", "R_FOOT", "R_TOE",  "R_TOE0", "L_LEG",
    "L_LEG1", "L_FOOT", "L_TOE0", "SPINE", "SPINE1", "SPINE2", "NECK",   "HEAD",
    "R_ARM",  "R_ARM1", "R_ARM2", "R_HAND", "L_ARM", "L_ARM1", "L_ARM2", "L_HAND"};

struct ImportRequest {
  std::string obj_path;
  std::string mesh_name;     // File Designation
  std::string texture_name;  // Default Skin
  std::string attach_site;   // the one bone's name
};

// Turns an .obj modelled on the assembled body into a one-bone model bound
// to the attach site, in that bone's local space. The normal check state is
// the caller's, kept across imports. On failure the user is told and the
// model is emptied and unloaded; on success ModelLoaded is set and
// SaveAsProjectFirst cleared.
Outcome ImportObjPart(SkinModel& model, Prompts& prompts, const ImportRequest& request,
                      NormalCheckState& state);

}  // namespace mervane
