#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "character/lookup.h"
#include "install/find_game.h"

namespace mervane {

// Every option of the converter, read once from the command line; each
// command then takes what it needs and refuses what means nothing to it.
struct ConvertRequest {
  std::vector<std::string> positional;
  std::optional<bool> fix_normals;
  std::optional<std::string> import_path, attach, name, texture, to, out, game, skeleton;
  // Publishing: the tones' images and what names the outfit.
  std::optional<std::string> light, medium, dark, mesh_name, mesh, id, gender, age, build;
  std::vector<SkillRequest> animations;  // --animation, in order
  std::optional<double> frame;
  std::vector<std::string> skills;  // --skill, in order
  std::optional<double> lossy;
  // Texture templates: --template, the bitmap under it and its side.
  bool texture_template = false;
  std::optional<std::string> over;
  std::optional<int> size;
  bool info = false, extract = false, pose = false, help = false, version = false;
  bool publish = false, check = false, replace = false;
};

// A command line that cannot be carried out as given; nothing was read or
// written. The converter prints it on one line and exits with 2.
struct UsageError {
  std::string what;
};

// Reads args (without the program name). Throws UsageError for an unknown
// option, an option without its value, a --frame that is not a number, or
// a --size that is not a whole number.
// "--" ends the options.
ConvertRequest ParseConvertArguments(const std::vector<std::string>& args);

// Turns --game auto into the first install of the game found in env, and
// says on out which folder that is and how it was found. Throws UsageError
// naming every place looked when there is none. Any other --game is left
// as it is, and nothing is searched.
void ResolveGameAuto(ConvertRequest& request, const Environment& env, std::ostream& out);

// The files of the game folder request.game names, looked up by name: empty
// without --game. The folder is indexed once, at the first lookup. Throws
// UsageError, naming the folder, when it is missing or holds nothing of
// the game (GameFolderProblem). names, when given, is set to give the
// folder's file names from the same index.
ExtraLookup GameLookup(const ConvertRequest& request, ExtraNames* names = nullptr);

}  // namespace mervane
