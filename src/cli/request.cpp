#include "cli/request.h"

#include <charconv>
#include <cmath>
#include <memory>

#include "archive/game_index.h"

namespace mervane {

ConvertRequest ParseConvertArguments(const std::vector<std::string>& args) {
  ConvertRequest request;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError{arg + " needs a value"};
      return args[++i];
    };
    if (arg == "--help" || arg == "-h") request.help = true;
    else if (arg == "--version") request.version = true;
    else if (arg == "--info") request.info = true;
    else if (arg == "--extract") request.extract = true;
    else if (arg == "--pose") request.pose = true;
    else if (arg == "--publish") request.publish = true;
    else if (arg == "--check") request.check = true;
    else if (arg == "--replace") request.replace = true;
    else if (arg == "--light") request.light = value();
    else if (arg == "--medium") request.medium = value();
    else if (arg == "--dark") request.dark = value();
    else if (arg == "--mesh-name") request.mesh_name = value();
    else if (arg == "--mesh") request.mesh = value();
    else if (arg == "--id") request.id = value();
    else if (arg == "--gender") request.gender = value();
    else if (arg == "--age") request.age = value();
    else if (arg == "--build") request.build = value();
    else if (arg == "--fix-normals=yes") request.fix_normals = true;
    else if (arg == "--fix-normals=no") request.fix_normals = false;
    else if (arg == "--game") request.game = value();
    else if (arg == "--import") request.import_path = value();
    else if (arg == "--attach") request.attach = value();
    else if (arg == "--name") request.name = value();
    else if (arg == "--texture") request.texture = value();
    else if (arg == "--to") request.to = value();
    else if (arg == "--out") request.out = value();
    else if (arg == "--skeleton") request.skeleton = value();
    else if (arg == "--animation") request.animations.push_back(ParseSkillRequest(value()));
    else if (arg == "--skill") request.skills.push_back(value());
    else if (arg == "--lossy") {
      const std::string& text = value();
      double tolerance = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), tolerance);
      if (ec != std::errc() || end != text.data() + text.size() || !(tolerance >= 0 && tolerance <= 1))
        throw UsageError{"--lossy needs a tolerance from 0 to 1, not \"" + text + "\""};
      request.lossy = tolerance;
    } else if (arg == "--template") request.texture_template = true;
    else if (arg == "--over") request.over = value();
    else if (arg == "--size") {
      const std::string& text = value();
      int size = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), size);
      if (ec != std::errc() || end != text.data() + text.size())
        throw UsageError{"--size needs a whole number, not \"" + text + "\""};
      request.size = size;
    } else if (arg == "--frame") {
      const std::string& text = value();
      double frame = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), frame);
      if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(frame))
        throw UsageError{"--frame needs a number, not \"" + text + "\""};
      request.frame = frame;
    } else if (arg == "--") {
      request.positional.insert(request.positional.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError{"unknown option " + arg};
    } else {
      request.positional.push_back(arg);
    }
  }
  return request;
}

void ResolveGameAuto(ConvertRequest& request, const Environment& env, std::ostream& out) {
  if (request.game != "auto") return;
  const InstallSearch search = FindGameInstalls(env);
  if (search.found.empty()) {
    std::string looked;
    for (const std::string& place : search.looked) looked += (looked.empty() ? "" : "; ") + place;
    throw UsageError{"--game auto: no install of the game was found; looked in " + (looked.empty() ? "no place" : looked)};
  }
  const GameInstall& install = search.found.front();
  out << "game: " << install.folder << " (found by " << install.found_by << ")\n";
  request.game = install.folder;
}

ExtraLookup GameLookup(const ConvertRequest& request, ExtraNames* names) {
  if (!request.game) return {};
  if (const std::string problem = GameFolderProblem(*request.game); !problem.empty())
    throw UsageError{"--game \"" + *request.game + "\": " + problem};
  // Shared by the copies a command makes of the lookup, so that the folder
  // is indexed once, and only when something is looked up.
  auto index = std::make_shared<std::optional<GameIndex>>();
  auto indexed = [index, folder = *request.game]() -> const GameIndex& {
    if (!*index) index->emplace(folder);
    return **index;
  };
  if (names) *names = [indexed] { return indexed().Names(); };
  return [indexed](std::string_view name) { return indexed().Find(name); };
}

}  // namespace mervane
