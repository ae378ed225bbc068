#include "cli/rigged_commands.h"

#include <algorithm>

#include "character/lookup.h"
#include "cli/batch.h"
#include "cli/console_prompts.h"
#include "cli/converter.h"
#include "cli/request.h"
#include "files/textfile.h"
#include "formats/formats.h"
#include "gltf/glb_file.h"
#include "archive/far.h"
#include "model/guard.h"
#include "model/paths.h"

namespace mervane {

const char* const kRiggedUsage =
    "  mervane-convert [--skeleton FILE] [--animation SKILLFILE[:SKILL]]... MESH... OUT.glb\n"
    "      Put skins (.skn, .bmf, .spj, or the suits of a .cmx/.bcf) on one skeleton in one\n"
    "      .glb with their bone weights, textures, and each skill as an animation (a skill\n"
    "      file without :SKILL adds all of its skills). Without --skeleton,\n"
    "      adult-skeleton.cmx (or .cmx.bcf) beside a MESH or OUT.glb is used, else the\n"
    "      built-in table; the line printed names it.\n"
    "  mervane-convert [--skeleton FILE] IN.glb|IN.gltf TARGET\n"
    "      Read a glTF of one mesh back into a skin of any format.\n"
    "  mervane-convert --to skn|bmf|spj|glb [--out DIR] [--skeleton FILE]\n"
    "                  [--animation SKILLFILE[:SKILL]]... FILE|FOLDER...\n"
    "      As --to above; a glTF of several meshes gives one MESHNAME.skn (or other) each.\n"
    "  mervane-convert [--skeleton FILE] --info IN.glb|IN.gltf\n"
    "      The skeleton it is read on, and each of its skins.\n"
    "  mervane-convert [--skeleton FILE] [--skill NAME]... [--lossy TOLERANCE] IN.glb SKILLS.cmx|.cmx.bcf\n"
    "      The glTF's animations (or those named) as the game's skills, each one's frames\n"
    "      in a .cfp beside SKILLS, at 30 a second, exact unless --lossy. A skill file\n"
    "      beside IN.glb lends what glTF cannot carry to the skills of its names.\n";

namespace {

// The command line, and the rig it asks for.
struct Request {
  const ConvertRequest& args;
  RigContext rig;
};

// The skins a MESH argument stands for: a suit's skins found beside it, or
// the skins of any file of the table.
std::vector<SkinModel> SkinsOf(const std::string& path, Prompts& prompts, const Request& request) {
  if (IsCharacterPath(path)) return ReadSuitFileMeshes(path, request.rig.sources.game);
  const Format* format = FormatOf(path);
  if (!format) throw UsageError{"a MESH ends in " + FormatExtensionsText() + ", .cmx or .bcf: \"" + path + "\""};
  if (format->rigged) return format->rigged->read(path, request.rig).models;
  SkinModel model;
  if (format->load(model, prompts, path) != Outcome::Succeeded)
    throw Failure(FailureKind::Unanswered, 0, "told already");
  return {std::move(model)};
}

int WriteGlb(const Request& request, std::ostream& out, std::ostream& err) {
  const std::string& target = request.args.positional.back();
  ConsolePrompts prompts(err, request.args.fix_normals);
  std::string skeleton;
  std::size_t meshes = 0;
  const Outcome outcome = RunReported(prompts, [&] {
    RigContext rig = request.rig;
    std::vector<SkinModel> models;
    for (std::size_t i = 0; i + 1 < request.args.positional.size(); ++i) {
      const std::string& source = request.args.positional[i];
      for (SkinModel& model : SkinsOf(source, prompts, request)) models.push_back(std::move(model));
      rig.folders.push_back(FolderOf(source));
    }
    const RiggedWrite written = FormatOf(target)->rigged->render(models, target, rig);
    std::vector<FileToWrite> files;
    for (const OutputFile& file : written.files) files.push_back({file.path, file.bytes});
    WriteFilesAtomically(files);
    skeleton = written.skeleton;
    meshes = models.size();
  });
  if (outcome != Outcome::Succeeded) return 1;
  out << "wrote " << target << ": " << meshes << (meshes == 1 ? " mesh" : " meshes") << " on the skeleton of "
      << skeleton << "\n";
  return 0;
}

int ReadGlb(const Request& request, std::ostream& out, std::ostream& err) {
  const std::string& source = request.args.positional[0];
  ConsolePrompts prompts(err, request.args.fix_normals);
  RiggedRead read;
  if (RunReported(prompts, [&] { read = FormatOf(source)->rigged->read(source, request.rig); }) != Outcome::Succeeded)
    return 1;
  if (const std::string note = ExtraInfluencesNote(read.extra_influences); !note.empty())
    prompts.ShowMessage(note, FileNameOf(source));
  if (request.args.info) {
    out << "skeleton: " << read.skeleton << "\n";
    for (const SkinModel& model : read.models) {
      if (read.models.size() > 1) out << "\n";
      PrintSkinInfo(model, out);
    }
    return 0;
  }
  const std::string& target = request.args.positional[1];
  if (read.models.size() > 1) {
    std::string names;
    for (const SkinModel& model : read.models) names += (names.empty() ? "" : ", ") + model.MeshName;
    err << "mervane-convert: " << source << " holds " << read.models.size() << " meshes (" << names
        << "); write them one skin each with --to " << ExtensionOf(target) << " --out DIR " << source << "\n";
    return 1;
  }
  return FormatOf(target)->save(read.models.front(), prompts, target) == Outcome::Succeeded ? 0 : 1;
}

int WriteSkills(const Request& request, std::ostream& out, std::ostream& err) {
  const std::string& source = request.args.positional[0];
  const std::string& target = request.args.positional[1];
  ConsolePrompts prompts(err, request.args.fix_normals);
  std::vector<std::string> written;
  const Outcome outcome = RunReported(prompts, [&] {
    const std::vector<OutputFile> files =
        RenderSkillFiles(source, target, request.rig, request.args.skills, request.args.lossy.value_or(0));
    std::vector<FileToWrite> writes;
    for (const OutputFile& file : files) writes.push_back({file.path, file.bytes});
    WriteFilesAtomically(writes);
    for (const OutputFile& file : files) written.push_back(file.path);
  });
  if (outcome != Outcome::Succeeded) return 1;
  for (const std::string& path : written) out << "wrote " << path << "\n";
  return 0;
}

std::optional<int> Dispatch(const ConvertRequest& given, std::ostream& out, std::ostream& err, bool terminal) {
  const bool to_rigged = given.to && FormatOf("." + *given.to) && FormatOf("." + *given.to)->rigged;
  const bool names_rigged = std::any_of(given.positional.begin(), given.positional.end(), IsRiggedPath);
  if (!to_rigged && !names_rigged) return std::nullopt;
  if (given.pose) throw UsageError{"--pose writes an .obj; it reads no .glb"};
  if (given.frame || given.import_path || given.attach || given.name || given.texture || given.extract)
    throw UsageError{"with a .glb, only --skeleton, --animation, --game, --to, --out, --info and --fix-normals go"};
  Request request{given, {}};
  request.rig.sources.skeleton = given.skeleton;
  request.rig.sources.game = GameLookup(given);
  request.rig.animations = given.animations;
  if (given.to) {
    if (given.info) throw UsageError{"--to converts files as they are: no --info"};
    if (given.positional.empty()) throw UsageError{"--to needs at least one FILE or FOLDER"};
    try {
      return RunBatch({*given.to, given.out, given.fix_normals, given.positional, request.rig}, out, err,
                      terminal);
    } catch (const BatchUsageError& usage) {
      throw UsageError{usage.what()};
    }
  }
  if (given.out) throw UsageError{"--out goes with --to"};
  if (given.info) {
    if (given.positional.size() != 1) throw UsageError{"--info takes one SOURCE"};
    if (!request.rig.animations.empty()) throw UsageError{"--info on a glTF takes --skeleton and --game only"};
    return ReadGlb(request, out, err);
  }
  if (given.positional.size() < 2) throw UsageError{"give the SOURCE (or MESH...) and the TARGET"};
  if (IsRiggedPath(given.positional.back())) return WriteGlb(request, out, err);
  if (given.positional.size() != 2 || !IsRiggedPath(given.positional[0]))
    throw UsageError{"several MESH files go into one .glb: \"" + given.positional.back() + "\" is not one"};
  if (IsCharacterPath(given.positional[1])) {
    if (!request.rig.animations.empty()) throw UsageError{"--animation goes with writing a .glb"};
    return WriteSkills(request, out, err);
  }
  if (!given.skills.empty() || given.lossy) throw UsageError{"--skill and --lossy go with writing skills (.cmx, .bcf)"};
  if (!FormatOf(given.positional[1]))
    throw UsageError{"\"" + given.positional[1] + "\" must end in " + FormatExtensionsText()};
  if (!request.rig.animations.empty()) throw UsageError{"--animation goes with writing a .glb"};
  return ReadGlb(request, out, err);
}

}  // namespace

std::optional<int> RunRiggedCommand(const ConvertRequest& request, std::ostream& out, std::ostream& err,
                                    bool terminal) {
  return Dispatch(request, out, err, terminal);
}

}  // namespace mervane
