#include "cli/publish_commands.h"

#include "archive/far.h"
#include "character/lookup.h"
#include "cli/console_prompts.h"
#include "files/textfile.h"
#include "formats/formats.h"
#include "gltf/glb_file.h"
#include "model/guard.h"
#include "model/paths.h"
#include "publish/check.h"
#include "publish/publish.h"
#include "skn/skn.h"

namespace mervane {

const char* const kPublishUsage =
    "  mervane-convert --publish SOURCE --texture NAME --light IMAGE [--medium IMAGE] [--dark IMAGE]\n"
    "                  [--mesh-name NAME] [--id ID] [--gender M|F|U] [--age A|C]\n"
    "                  [--build Fit|Fat|Skn|Chd] [--mesh NAME] [--replace] (--game DIR | --out DIR)\n"
    "      Put an outfit where Create-a-Sim shows it. SOURCE a mesh (.skn, .bmf, .spj, or a\n"
    "      .glb's mesh named by --mesh) makes a new body or head: its suit, its .skn and its\n"
    "      bitmaps; SOURCE a suit (.cmx/.bcf, or with --game a suit's name such as\n"
    "      B002MAFit_01) a new texture for it, bitmaps only. Kind, gender, age and build come\n"
    "      from the mesh's name where it follows the game's naming; the ID is the lowest free\n"
    "      from 100. Images (.bmp, .png, .jpg, .tga) become 8-bit bitmaps; a tone not given\n"
    "      takes the light image. --game DIR writes into DIR/GameData/Skins, --out DIR into\n"
    "      DIR. Nothing is written when anything is refused.\n"
    "  mervane-convert --publish SKILLS.cmx|SKILLS.cmx.bcf (--game DIR | --out DIR)\n"
    "      Put a skill file and its frames (.cfp beside it) where the game reads replacement\n"
    "      animations; says which skills replace the game's own.\n"
    "  mervane-convert --check PATH... [--game DIR]\n"
    "      Read files, folders of skins or a game install as the game would, and print what\n"
    "      would make it ignore a skin (error) or look wrong (warning). Exit 1 on an error.\n";

namespace {

bool PublishOptionsGiven(const ConvertRequest& request) {
  return request.light || request.medium || request.dark || request.mesh_name || request.id || request.gender ||
         request.age || request.build || request.replace;
}

void PrintFindings(const CheckReport& report, std::ostream& out) {
  for (const Finding& finding : report.findings) out << FindingLine(finding) << "\n";
}

// The game install --game names, indexed; none without --game.
std::optional<GameIndex> IndexGame(const ConvertRequest& request) {
  if (!request.game) return std::nullopt;
  if (const std::string problem = GameFolderProblem(*request.game); !problem.empty())
    throw UsageError{"--game \"" + *request.game + "\": " + problem};
  return GameIndex(*request.game);
}

// The suit a SOURCE names: a character file (or archive member), or with
// the game a suit's name; none when SOURCE is a mesh.
std::optional<std::string> SuitOf(const std::string& source, const GameIndex* game) {
  std::string path = source;
  if (!IsCharacterPath(source)) {
    if (!game || !ExtensionOf(source).empty()) return std::nullopt;
    const auto found = game->Find(source + ".cmx") ? game->Find(source + ".cmx") : game->Find(source + ".cmx.bcf");
    if (!found) throw Failure::Error(err::kFileNotFound, "the game has no suit " + source + ".cmx");
    path = *found;
  }
  const CharacterFile file = ReadCharacterFile(path);
  if (file.suits.size() != 1)
    throw std::move(Failure::Error(err::kInvalidArgument, "a suit file to retexture holds one suit, not " +
                                                              std::to_string(file.suits.size()))
                        .InFile(path));
  return file.suits.front().name;
}

SkinModel MeshOf(const std::string& source, const ConvertRequest& request, const GameIndex* game, Prompts& prompts) {
  const Format* format = FormatOf(source);
  if (!format) throw UsageError{"--publish takes a mesh (" + FormatExtensionsText() + ") or a suit (.cmx, .bcf)"};
  if (format->rigged) {
    if (!request.mesh) throw UsageError{"--publish of a glTF names its mesh with --mesh NAME"};
    RigContext context;
    if (game) context.sources.game = [game](std::string_view name) { return game->Find(name); };
    for (SkinModel& model : format->rigged->read(source, context).models)
      if (ToLowerAscii(model.MeshName) == ToLowerAscii(*request.mesh)) return std::move(model);
    throw std::move(Failure::Error(err::kInvalidArgument, "it holds no mesh " + *request.mesh).InFile(source));
  }
  if (request.mesh) throw UsageError{"--mesh picks a mesh of a glTF"};
  // A .skn keeps its own digits: the published mesh is the source line for line.
  if (ExtensionOf(source) == "skn")
    return NamingFile(source, [&] { return ParseSkn(ReadWholeFile(source), FileNameOf(source), SknDigits::AsWritten); });
  SkinModel model;
  if (format->load(model, prompts, source) != Outcome::Succeeded) throw Failure(FailureKind::Unanswered, 0, "told already");
  return model;
}

std::optional<char> Letter(const std::optional<std::string>& value, const char* option) {
  if (!value) return std::nullopt;
  if (value->size() != 1) throw UsageError{std::string(option) + " takes one letter, not \"" + *value + "\""};
  return (*value)[0];
}

int Publish(const ConvertRequest& request, std::ostream& out, std::ostream& err) {
  if (request.positional.size() != 1) throw UsageError{"--publish takes one SOURCE"};
  if (request.game.has_value() == request.out.has_value())
    throw UsageError{"--publish writes into a game (--game DIR) or a folder (--out DIR): give one"};
  const bool skills = IsCharacterPath(request.positional.front()) && !request.light && !request.texture;
  if (!skills && !request.texture) throw UsageError{"--publish needs --texture NAME"};
  if (!skills && !request.light) throw UsageError{"--publish needs --light IMAGE"};
  const std::optional<GameIndex> game = IndexGame(request);
  const std::string& source = request.positional.front();
  ConsolePrompts prompts(err, request.fix_normals);
  PublishRequest publish;
  publish.texture = request.texture.value_or("");
  publish.images = {request.light.value_or(""), request.medium.value_or(""), request.dark.value_or("")};
  publish.mesh_name = request.mesh_name;
  publish.id = request.id;
  publish.gender = Letter(request.gender, "--gender");
  publish.age = Letter(request.age, "--age");
  publish.build = request.build;
  publish.replace = request.replace;
  publish.game = game ? &*game : nullptr;
  publish.folder = game ? PublishFolderOf(*request.game) : *request.out;
  PublishResult result;
  const Outcome outcome = RunReported(prompts, [&] {
    if (IsCharacterPath(source) && ReadCharacterFile(source).suits.empty()) {
      if (PublishOptionsGiven(request) || request.texture)
        throw UsageError{"a skill file is published as it is: only --game or --out go with it"};
      result = PublishSkills(source, publish.folder, publish.game);
      return;
    }
    if (const auto suit = SuitOf(source, publish.game)) {
      if (request.mesh_name || request.id || request.build || request.age)
        throw UsageError{"a new texture for a suit takes the suit's name, ID, age and build: no --mesh-name, --id, "
                         "--age or --build"};
      publish.retexture = *suit;
    } else {
      publish.mesh = MeshOf(source, request, publish.game, prompts);
    }
    result = PublishOutfit(publish);
  });
  if (outcome != Outcome::Succeeded) return 1;
  for (const std::string& note : result.notes) out << "note: " << note << "\n";
  for (const std::string& path : result.removed) out << "removed " << path << "\n";
  for (const std::string& path : result.written) out << "wrote " << path << "\n";
  out << (publish.mesh || !publish.retexture.empty() ? "suit: " : "skill file: ") << result.suit << "\n";
  // What was written must pass the check the game's rules make.
  const Environment env = SystemEnvironment();
  const CheckReport report = CheckSkins(result.written, publish.game, &env);
  PrintFindings(report, out);
  for (const Finding& finding : report.findings)
    if (finding.level == Finding::Level::Error) {
      err << "mervane-convert: the check finds fault with what was published; please report this\n";
      return 1;
    }
  return 0;
}

int Check(const ConvertRequest& request, std::ostream& out) {
  if (request.positional.empty()) throw UsageError{"--check takes at least one PATH"};
  const std::optional<GameIndex> game = IndexGame(request);
  const Environment env = SystemEnvironment();
  const CheckReport report = CheckSkins(request.positional, game ? &*game : nullptr, &env);
  PrintFindings(report, out);
  out << FindingsSummary(report) << "\n";
  for (const Finding& finding : report.findings)
    if (finding.level == Finding::Level::Error) return 1;
  return 0;
}

}  // namespace

std::optional<int> RunPublishCommand(const ConvertRequest& request, std::ostream& out, std::ostream& err) {
  const bool publish_options = PublishOptionsGiven(request);
  if (!request.publish && !request.check) {
    if (publish_options) throw UsageError{"--light, --medium, --dark, --mesh-name, --id, --gender, --age, --build "
                                          "and --replace go with --publish"};
    return std::nullopt;
  }
  if (request.publish && request.check) throw UsageError{"--publish checks what it writes: leave --check out"};
  if (request.info || request.extract || request.pose || request.to || request.import_path || request.attach ||
      request.name || request.skeleton || !request.animations.empty() || request.frame)
    throw UsageError{"--publish and --check go with their own options only"};
  if (request.check) {
    if (publish_options || request.texture || request.out || request.mesh)
      throw UsageError{"--check takes PATHs and --game only"};
    return Check(request, out);
  }
  return Publish(request, out, err);
}

}  // namespace mervane
