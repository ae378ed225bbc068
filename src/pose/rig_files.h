#pragma once

#include <string>

#include "character/lookup.h"
#include "pose/pose.h"

namespace mervane {

// The game's skeletons and skills read from their files and made ready to
// pose: the one way --pose, the glTF writer and the character view read
// them, so that all three stand and move a Sim alike.

// The rig of the first skeleton of the character file at path. Failures as
// ReadCharacterFile; a file without a skeleton is error 5, and MakeRig's
// failures, naming the file.
Rig ReadRig(const std::string& path);

// The animation of skill, read from the character file at path, on rig:
// its frames found by finder. Failures as ReadSkillFrames and
// MakeAnimation, naming the file.
Animation ReadAnimation(const Rig& rig, const Skill& skill, const std::string& path, const FileFinder& finder);

}  // namespace mervane
