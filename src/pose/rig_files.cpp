#include "pose/rig_files.h"

#include "model/failure.h"

namespace mervane {

Rig ReadRig(const std::string& path) {
  const CharacterFile file = ReadCharacterFile(path);
  if (file.skeletons.empty())
    throw std::move(Failure::Error(err::kInvalidArgument, "it holds no skeleton").InFile(path));
  return NamingFile(path, [&] { return MakeRig(file.skeletons.front()); });
}

Animation ReadAnimation(const Rig& rig, const Skill& skill, const std::string& path, const FileFinder& finder) {
  return NamingFile(path, [&] { return MakeAnimation(rig, skill, ReadSkillFrames(skill, finder)); });
}

}  // namespace mervane
