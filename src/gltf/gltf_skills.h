#pragma once

#include <span>
#include <string>
#include <vector>

#include "character/character.h"
#include "frames/cfp.h"
#include "gltf/gltf_document.h"
#include "pose/pose.h"

namespace mervane {

// Animations back into the game: each glTF animation becomes a skill, the
// inverse of what the .glb writer does with a skill.

struct SkillsMade {
  CharacterFile file;          // the skills, in the file's order of animations
  std::vector<Frames> frames;  // each skill's frames, for its .cfp
};

// The animations of doc (only those named in only, case ignored, when it
// is not empty) as skills on rig. Frames are 30 a second: keys at other
// times are resampled (rotations by slerp, the rest linearly; a key within
// 0.1 ms of a frame is taken as it is). Translations come back through the
// mirror, rotations through the mirror and the conjugation, a scale channel
// (1 give or take 5 %) as the rotation's length squared, as the writer
// wrote them; a rotation written by Mervane comes back as the very float32
// it was. Every joint the animation drives gets a motion, even one held
// still; positions only where the joint leaves its rest place at some key,
// or where the original had them. originals are skills found beside the
// file: one of the same name lends what glTF cannot carry (frames name,
// duration when the frame count is the same, distance, moves, each motion's
// properties and events) and its motions' order. Error 5 naming the
// animation and the channel for a channel on a node that is no bone of rig
// or a scale other than 1; error 5 when a name in only is not found.
SkillsMade SkillsFromGltf(const GltfDocument& doc, const Rig& rig, std::span<const std::string> only,
                          std::span<const Skill> originals);

// The game's duration of a skill of frames frames: 33.33 ms a frame,
// truncated, as its own files have it (60 frames: 1999 ms).
float SkillDuration(int frames);

}  // namespace mervane
