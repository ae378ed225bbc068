#include <unordered_map>

#include "character/character.h"
#include "model/failure.h"
#include "model/paths.h"

namespace mervane {

void CheckSkeleton(const Skeleton& skeleton) {
  const std::size_t count = skeleton.bones.size();
  auto fail = [&](std::size_t bone, const std::string& why) {
    return std::move(Failure::Error(err::kInvalidArgument, why)
                         .About("bone " + skeleton.bones[bone].name + " of skeleton " + skeleton.name));
  };
  std::unordered_map<std::string, std::size_t> by_name;
  by_name.reserve(count);
  for (std::size_t i = 0; i < count; ++i)
    if (!by_name.emplace(ToLowerAscii(skeleton.bones[i].name), i).second)
      throw fail(i, "another bone has the same name");
  std::vector<std::size_t> parent(count, count);  // count: a root
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& name = skeleton.bones[i].parent;
    if (name == kNoParent) continue;
    const auto found = by_name.find(ToLowerAscii(name));
    if (found == by_name.end()) throw fail(i, "its parent " + name + " is not in the skeleton");
    parent[i] = found->second;
  }
  // Walk up from each bone, marking the path; meeting the path again is a
  // cycle, meeting a bone already known to reach a root ends the walk.
  enum : char { kUnseen, kOnPath, kRooted };
  std::vector<char> state(count, kUnseen);
  std::vector<std::size_t> path;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t at = i;
    while (at != count && state[at] == kUnseen) {
      state[at] = kOnPath;
      path.push_back(at);
      at = parent[at];
    }
    if (at != count && state[at] == kOnPath) throw fail(at, "its parents lead back to it");
    for (const std::size_t p : path) state[p] = kRooted;
    path.clear();
  }
}

}  // namespace mervane
