#include "cli/template_command.h"

#include <algorithm>
#include <string>
#include <vector>

#include "archive/far.h"
#include "bitmap/bitmap.h"
#include "character/lookup.h"
#include "character/naming.h"
#include "cli/console_prompts.h"
#include "files/textfile.h"
#include "formats/formats.h"
#include "model/guard.h"
#include "model/paths.h"
#include "pose/skinning.h"
#include "template/texture_template.h"

namespace mervane {

const char* const kTemplateUsage =
    "  mervane-convert --template [--over BITMAP] [--size N] MESH... OUT.png\n"
    "      Draw where the faces of the meshes (.skn, .bmf, .spj, or the suits of a .cmx/.bcf)\n"
    "      lie on their bitmap, as the game reads it: lines over BITMAP (.bmp, .png, .jpg,\n"
    "      .tga) or white, edges on a seam or the mesh's border in pink, faces tinted.\n"
    "      N x N pixels with --size, else BITMAP's size, else the game's for the part:\n"
    "      256 for a body, 128 for a head, 64 for a hand.\n";

namespace {

// True when the request holds another command's option. Besides its own,
// --template takes only --game (to find a suit's meshes) and --fix-normals
// (to answer a project's question).
bool OtherCommandsOptions(const ConvertRequest& r) {
  return r.info || r.extract || r.pose || r.publish || r.check || r.replace || r.to || r.out || r.import_path ||
         r.attach || r.name || r.texture || r.skeleton || !r.animations.empty() || r.frame || r.light ||
         r.medium || r.dark || r.mesh_name || r.mesh || r.id || r.gender || r.age || r.build || r.lossy ||
         !r.skills.empty();
}

bool IsTemplateMesh(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  return extension == "skn" || extension == "bmf" || extension == "spj" || IsCharacterPath(path);
}

// The skins a MESH stands for: a suit file's, found beside it, or the one
// the file holds.
std::vector<SkinModel> SkinsOf(const std::string& path, Prompts& prompts, const ExtraLookup& game) {
  if (IsCharacterPath(path)) return ReadSuitFileMeshes(path, game);
  std::vector<SkinModel> models(1);
  if (FormatOf(path)->load(models.front(), prompts, path) != Outcome::Succeeded)
    throw Failure(FailureKind::Unanswered, 0, "told already");
  return models;
}

}  // namespace

std::optional<int> RunTemplateCommand(const ConvertRequest& request, std::ostream& out, std::ostream& err) {
  if (!request.texture_template) {
    if (request.over || request.size) throw UsageError{"--over and --size go with --template"};
    return std::nullopt;
  }
  if (OtherCommandsOptions(request)) throw UsageError{"--template takes only --over, --size, --game and --fix-normals"};
  if (request.positional.size() < 2) throw UsageError{"--template needs at least one MESH and the OUT.png"};
  const std::string& target = request.positional.back();
  if (ExtensionOf(target) != "png") throw UsageError{"--template writes a .png: \"" + target + "\""};
  const std::vector<std::string> paths(request.positional.begin(), request.positional.end() - 1);
  for (const std::string& path : paths)
    if (!IsTemplateMesh(path)) throw UsageError{"a MESH ends in .skn, .bmf, .spj, .cmx or .bcf: \"" + path + "\""};
  if (request.size && (*request.size < 1 || *request.size > kMaxTemplateSide))
    throw UsageError{"--size takes 1 to " + std::to_string(kMaxTemplateSide) + " pixels, not " +
                     std::to_string(*request.size)};

  const ExtraLookup game = GameLookup(request);
  ConsolePrompts prompts(err, request.fix_normals);
  std::size_t count = 0;
  Image image;
  std::vector<std::string> bitmaps;  // the bitmaps the meshes wear, by the game's naming
  const Outcome outcome = RunReported(prompts, [&] {
    std::vector<SkinMesh> meshes;
    for (const std::string& path : paths)
      for (const SkinModel& model : SkinsOf(path, prompts, game))
        meshes.push_back(NamingFile(path, [&] { return MakeSkinMesh(model); }));
    TemplateOptions options;
    options.size = request.size;
    if (request.over) {
      const std::string bytes = ReadWholeFile(*request.over);
      options.over = NamingFile(*request.over, [&] { return DecodeImage(bytes); });
    }
    image = TextureTemplate(meshes, options);
    WriteFileAtomically(target, PngBytes(image));
    count = meshes.size();
    for (const SkinMesh& mesh : meshes) {
      const std::string stem = ToLowerAscii(ToneBitmapStem(mesh.name, mesh.texture, SkinTone::Light));
      if (std::find(bitmaps.begin(), bitmaps.end(), stem) == bitmaps.end()) bitmaps.push_back(stem);
    }
  });
  if (outcome != Outcome::Succeeded) return 1;
  out << "wrote " << target << ": " << count << (count == 1 ? " mesh" : " meshes") << " on " << image.width
      << " x " << image.height << " pixels\n";
  // The game's heads and hands wear bitmaps of their own: their faces on a
  // body's template lie where their own bitmap has them.
  if (bitmaps.size() > 1) {
    out << "note: the meshes wear different bitmaps (";
    for (std::size_t i = 0; i < bitmaps.size(); ++i) out << (i ? ", " : "") << bitmaps[i];
    out << "); each one's faces are drawn where its own bitmap has them\n";
  }
  return 0;
}

}  // namespace mervane
