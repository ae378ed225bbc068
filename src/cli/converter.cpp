#include "cli/converter.h"

#include "cli/archive_commands.h"
#include "cli/batch.h"
#include "cli/character_commands.h"
#include "cli/console_prompts.h"
#include "cli/publish_commands.h"
#include "cli/request.h"
#include "cli/rigged_commands.h"
#include "cli/template_command.h"

#include <iomanip>
#include <optional>

#include "formats/formats.h"
#include "import/obj_import.h"
#include "model/paths.h"
#include "model/skeleton.h"
#include "model/world.h"

namespace mervane {
namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  mervane-convert [--fix-normals=yes|no] SOURCE TARGET\n"
    "      Convert between any two of the formats below.\n"
    "  mervane-convert --import OBJ --attach BONE [--name NAME] [--texture NAME]\n"
    "                  [--fix-normals=yes|no] TARGET\n"
    "      Import an .obj as a one-bone part and save it in any of the formats.\n"
    "      --name defaults to the OBJ file's base name, --texture to the name.\n"
    "  mervane-convert --to skn|bmf|spj|glb [--out DIR] [--fix-normals=yes|no] FILE|FOLDER...\n"
    "      Convert many at once, on all cores: every file given, and every skin directly\n"
    "      in each FOLDER (not its subfolders). Each target has its source's base name,\n"
    "      beside the source or in DIR. A failure is reported and the others go on.\n"
    "  mervane-convert --info SOURCE\n"
    "      Summarise a file of any of the formats, or list an archive's members (.far).\n"
    "  mervane-convert --extract ARCHIVE.far DIR [MEMBER...]\n"
    "      Write an archive's members (all, or those named) into DIR. Names that would\n"
    "      land outside DIR, or that Windows cannot hold, are refused and named.\n"
    "  mervane-convert --help | --version\n"
    "\n"
    "--game DIR names the game's folder: --pose, .glb files, --info on a character file,\n"
    "--publish and --check look up skeletons, meshes, frames and bitmaps by name in it, its\n"
    "subfolders and the .far archives there. Other commands refuse it. --game auto takes\n"
    "the first install found (the registry, Steam's libraries, the EA app's folder; on\n"
    "Linux Steam, Proton and wine) and prints it.\n"
    "--fix-normals answers the \"Invalid Normals\" question that an .obj whose first\n"
    "face names normals it does not hold raises: yes takes each vertex's own normal,\n"
    "no keeps the normals the faces name.\n"
    "\n"
    "Exit status: 0 done, 1 the conversion failed (nothing written; with --to, any file\n"
    "failed), 2 usage error (with --to, found before any file is converted).\n";

const Format& RequireFormat(const std::string& path) {
  const Format* format = FormatOf(path);
  if (!format) throw UsageError{"\"" + path + "\" must end in " + FormatExtensionsText()};
  return *format;
}

std::string CanonicalAttachSite(const std::string& name) {
  const std::string upper = ToUpperAscii(name);
  for (const char* site : kAttachSites)
    if (upper == site) return site;
  std::string sites;
  for (const char* site : kAttachSites) sites += std::string(" ") + site;
  throw UsageError{"--attach must name one of the attach sites:" + sites};
}

}  // namespace

void PrintSkinInfo(const SkinModel& model, std::ostream& out) {
  out << "mesh: " << model.MeshName << "\n"
      << "texture: " << model.TextureName << "\n"
      << "bones: " << model.BoneCount << "\n"
      << "faces: " << model.FaceCount << "\n"
      << "vertices: " << model.VertexCount << " (" << model.BlendCount << " blended)\n"
      << "texture vertices: " << model.TexVertexCount << "\n"
      << "blend entries: " << model.BlendCount << "\n";
  for (int i = 0; i < model.BoneCount; ++i) {
    const std::string_view name = model.BoneNames.at(i);
    out << "  " << std::left << std::setw(10) << name << " ";
    try {
      const BoneRange range = ParseBindingLine(model.BindingLines.at(i));
      if (range.count > 0)
        out << "vertices " << range.first << "-" << range.end() - 1;
      else
        out << "no vertices";
    } catch (const Failure&) {
      out << "unreadable binding line";
    }
    out << (SkeletonOffset(name) ? "" : "  (not in the skeleton: offsets 0)") << "\n";
  }
}

namespace {

int Run(const ConvertRequest& options, std::ostream& out, std::ostream& err, bool terminal) {
  if (options.help) {
    out << kUsage << "\nCharacters:\n" << kCharacterUsage << "\nRigged skins (glTF):\n" << kRiggedUsage << "\nInto the game:\n" << kPublishUsage << "\nTexture templates:\n" << kTemplateUsage << "\nFormats, by the extension after the last \".\" of the name:\n";
    for (const Format& format : Formats())
      out << "  ." << format.extension << "  " << format.description << "\n";
    out << "\nAttach sites:";
    for (const char* site : kAttachSites) out << " " << site;
    out << "\n";
    return 0;
  }
  if (options.version) {
    out << "mervane-convert " << kVersion << "\n";
    return 0;
  }
  // What only posing and .glb files take, and what looks files up in the
  // game: none of the commands below reads more than the files named.
  if (!options.skills.empty() || options.lossy) throw UsageError{"--skill and --lossy go with writing skills from a glTF"};
  if (options.skeleton || !options.animations.empty() || options.frame || options.pose)
    throw UsageError{"--skeleton, --animation and --frame go with --pose or a .glb"};
  if (options.game)
    throw UsageError{"--game goes with the commands that look files up: --pose, a .glb, --info on a "
                     "character file, --publish and --check"};
  if (options.extract) {
    if (options.info || options.to || options.import_path) throw UsageError{"--extract goes alone"};
    if (options.positional.size() < 2) throw UsageError{"--extract takes an ARCHIVE.far, a DIR and any MEMBERs"};
    if (!IsArchivePath(options.positional[0])) throw UsageError{"--extract takes an ARCHIVE that ends in .far"};
    const std::vector<std::string> members(options.positional.begin() + 2, options.positional.end());
    return ExtractArchive(options.positional[0], options.positional[1], members, out, err);
  }
  if (options.to) {
    if (options.info || options.import_path || options.attach || options.name || options.texture)
      throw UsageError{"--to converts files as they are: no --info, --import, --attach, --name or --texture"};
    if (options.positional.empty()) throw UsageError{"--to needs at least one FILE or FOLDER"};
    try {
      return RunBatch({*options.to, options.out, options.fix_normals, options.positional, {}}, out, err, terminal);
    } catch (const BatchUsageError& usage) {
      throw UsageError{usage.what()};
    }
  }
  if (options.out) throw UsageError{"--out goes with --to"};
  SkinModel model;
  ConsolePrompts prompts(err, options.fix_normals);
  if (options.info) {
    if (options.positional.size() != 1) throw UsageError{"--info takes one SOURCE"};
    const std::string& source = options.positional[0];
    if (IsArchivePath(source)) return PrintArchiveInfo(source, out, err);
    if (RequireFormat(source).load(model, prompts, source) != Outcome::Succeeded) return 1;
    PrintSkinInfo(model, out);
    return 0;
  }
  if (options.import_path) {
    if (!options.attach) throw UsageError{"--import needs --attach BONE"};
    if (options.positional.size() != 1) throw UsageError{"--import takes one TARGET"};
    const std::string& target = options.positional[0];
    const Format& format = RequireFormat(target);
    ImportRequest request;
    request.obj_path = *options.import_path;
    request.mesh_name = options.name.value_or(FileNameOf(BasePathOf(request.obj_path)));
    request.texture_name = options.texture.value_or(request.mesh_name);
    request.attach_site = CanonicalAttachSite(*options.attach);
    if (ImportObjPart(model, prompts, request) != Outcome::Succeeded) return 1;
    return format.save(model, prompts, target) == Outcome::Succeeded ? 0 : 1;
  }
  if (options.attach || options.name || options.texture)
    throw UsageError{"--attach, --name and --texture go with --import"};
  if (options.positional.size() != 2) throw UsageError{"give a SOURCE and a TARGET"};
  const std::string& source = options.positional[0];
  const std::string& target = options.positional[1];
  const Format& from = RequireFormat(source);
  const Format& to = RequireFormat(target);
  if (from.load(model, prompts, source) != Outcome::Succeeded) return 1;
  return to.save(model, prompts, target) == Outcome::Succeeded ? 0 : 1;
}

}  // namespace

int RunConverter(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 bool terminal) {
  try {
    ConvertRequest request = ParseConvertArguments(args);
    if (!request.help && !request.version) {
      ResolveGameAuto(request, SystemEnvironment(), out);
      if (const auto status = RunTemplateCommand(request, out, err)) return *status;
      if (const auto status = RunPublishCommand(request, out, err)) return *status;
      if (const auto status = RunRiggedCommand(request, out, err, terminal)) return *status;
      if (const auto status = RunCharacterCommand(request, out, err)) return *status;
    }
    return Run(request, out, err, terminal);
  } catch (const UsageError& usage) {
    err << "mervane-convert: " << usage.what << "\nTry 'mervane-convert --help'.\n";
    return 2;
  }
}

}  // namespace mervane
