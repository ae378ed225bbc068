#include "cli/character_commands.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iomanip>
#include <sstream>

#include "archive/far.h"
#include "character/character.h"
#include "character/lookup.h"
#include "cli/console_prompts.h"
#include "cli/request.h"
#include "files/textfile.h"
#include "frames/cfp.h"
#include "model/guard.h"
#include "model/paths.h"
#include "pose/rig_files.h"
#include "pose/skinning.h"

namespace mervane {

const char* const kCharacterUsage =
    "  mervane-convert A.cmx B.bcf | A.bcf B.cmx\n"
    "      Convert a character file (skeletons, suits, skills) between text and binary.\n"
    "  mervane-convert --info FILE.cmx|FILE.bcf\n"
    "      List its skeletons (bones, parents, world positions), suits and skills.\n"
    "  mervane-convert --info FRAMES.cfp --animation SKILLFILE[:SKILL]\n"
    "      Summarise a skill's frames.\n"
    "  mervane-convert --pose [--skeleton FILE] [--animation SKILLFILE[:SKILL] [--frame N]]\n"
    "                  MESH... OUT.obj\n"
    "      Skin meshes (.skn, .bmf, or the suits of a .cmx/.bcf) on one skeleton, at rest or\n"
    "      at frame N of a skill (its first without :SKILL), into one right-handed .obj and\n"
    "      its .mtl. Without --skeleton, adult-skeleton.cmx (or .cmx.bcf) beside the first\n"
    "      MESH is used.\n";

namespace {

// Six decimals, as the .obj files around Mervane have them.
void AppendFixed(std::string& out, double value) {
  char buf[64];
  const auto end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6).ptr;
  out.append(buf, end);
}

// A keyword and its numbers, one space apart.
void AppendLine(std::string& out, std::string_view keyword, std::initializer_list<double> values) {
  out += keyword;
  for (const double value : values) {
    out += ' ';
    AppendFixed(out, value);
  }
  out += '\n';
}

struct PoseRequest {
  std::optional<std::string> skeleton;
  std::optional<SkillRequest> animation;
  std::optional<double> frame;
  std::vector<std::string> meshes;
  std::string target;
  ExtraLookup game;  // the game folder's files, when --game names one
  ExtraNames game_names;
};

// The meshes a MESH argument stands for: itself, or a suit file's skins.
std::vector<SkinModel> MeshesOf(const std::string& path, const ExtraLookup& game) {
  if (!IsCharacterPath(path)) return {};
  return ReadSuitFileMeshes(path, game);
}

std::string MaterialName(const std::string& texture_path, const std::string& target) {
  const std::string absolute = AbsolutePath(texture_path);
  if (FolderOf(absolute) == FolderOf(AbsolutePath(target))) return FileNameOf(texture_path);
  std::string forward = absolute;
  std::replace(forward.begin(), forward.end(), '\\', '/');
  return forward;
}

void PoseMeshes(const PoseRequest& request, std::ostream& out) {
  // The meshes.
  std::vector<SkinMesh> meshes;
  std::vector<std::string> folders, names;  // where each mesh's bitmap is looked for; the meshes' names
  for (const std::string& path : request.meshes) {
    std::vector<SkinModel> models = MeshesOf(path, request.game);
    if (models.empty()) models.push_back(ReadMeshFile(path));
    for (const SkinModel& model : models) {
      meshes.push_back(NamingFile(path, [&] { return MakeSkinMesh(model); }));
      folders.push_back(FolderOf(path));
      names.push_back(model.MeshName);
    }
  }

  // The skeleton: the one named, else that of the meshes' age beside the first.
  std::string skeleton_path;
  if (request.skeleton) {
    skeleton_path = *request.skeleton;
  } else {
    const char age = AgeOfNames(names);
    const auto found = FindSkeletonFile(FileFinder({FolderOf(request.meshes.front())}, request.game), age);
    if (!found)
      throw std::move(Failure::Error(err::kFileNotFound, "no " + SkeletonFileName(age) + " or " +
                                                             SkeletonFileName(age) +
                                                             ".bcf is beside it; name one with --skeleton")
                          .InFile(request.meshes.front()));
    skeleton_path = *found;
  }
  const Rig rig = ReadRig(skeleton_path);
  std::vector<DressedMesh> dressed = Dress(rig, std::move(meshes));

  // The pose.
  std::optional<Animation> animation;
  const double frame = request.frame.value_or(0);
  if (request.animation) {
    const std::string& skill_path = request.animation->file;
    const CharacterFile skills = ReadCharacterFile(skill_path);
    const Skill& skill = ChooseSkill(skills, skill_path, request.animation->skill);
    animation = ReadAnimation(rig, skill, skill_path, FileFinder({FolderOf(skill_path)}, request.game));
    const int last = std::max(0, animation->frame_count - 1);
    if (frame < 0 || frame > last)
      throw std::move(Failure::Error(err::kInvalidArgument, "frame " + (std::ostringstream() << frame).str() +
                                                                " is outside its frames 0 to " + std::to_string(last))
                          .About("skill " + skill.name)
                          .InFile(skill_path));
  }
  Pose pose;
  PoseAt(rig, animation ? &*animation : nullptr, frame, pose);

  // The files: right-handed, as modelling programs take them.
  const std::string mtl_path = BasePathOf(request.target) + ".mtl";
  std::string obj = "mtllib " + FileNameOf(mtl_path) + "\n", mtl;
  std::vector<OutputFile> bitmaps;  // those read from archives, copied beside the .obj
  SkinnedMesh skinned;
  std::size_t base = 1;
  for (std::size_t m = 0; m < dressed.size(); ++m) {
    const SkinMesh& mesh = dressed[m].mesh;
    Skin(dressed[m], pose, skinned);
    obj += "o " + mesh.name + "\n";
    for (const Vec3& place : skinned.positions) {
      const Vec3 p = MirrorX(place);
      AppendLine(obj, "v", {p.x, p.y, p.z});
    }
    for (const auto& uv : mesh.uvs) AppendLine(obj, "vt", {uv[0], 1 - uv[1]});
    for (const Vec3& normal : skinned.normals) {
      const Vec3 n = MirrorX(normal);
      AppendLine(obj, "vn", {n.x, n.y, n.z});
    }
    obj += "usemtl " + mesh.name + "\n";
    for (const auto& face : mesh.faces) {
      obj += 'f';
      for (const int corner : {face[0], face[2], face[1]}) {
        const std::string index = std::to_string(base + static_cast<std::size_t>(corner));
        obj += ' ' + index + '/' + index + '/' + index;
      }
      obj += '\n';
    }
    base += skinned.positions.size();
    mtl += "newmtl " + mesh.name + "\n";
    if (const auto bitmap = FindAnyToneBitmap(FileFinder({folders[m]}, request.game, request.game_names), mesh.name, mesh.texture)) {
      if (SplitArchivePath(*bitmap)) {
        // No modeller reads inside an archive: the bitmap goes beside the .obj.
        const std::string copy = JoinPath(FolderOf(request.target), FileNameOf(*bitmap));
        if (std::none_of(bitmaps.begin(), bitmaps.end(), [&](const OutputFile& b) { return b.path == copy; }))
          bitmaps.push_back({copy, ReadWholeFile(*bitmap)});
        mtl += "map_Kd " + FileNameOf(copy) + "\n";
      } else {
        mtl += "map_Kd " + MaterialName(*bitmap, request.target) + "\n";
      }
    }
    else
      mtl += "# no bitmap " + ToneBitmapStem(mesh.name, mesh.texture) + ".bmp is found\n";
  }
  std::vector<FileToWrite> files{{request.target, obj}, {mtl_path, mtl}};
  for (const OutputFile& bitmap : bitmaps) files.push_back({bitmap.path, bitmap.bytes});
  WriteFilesAtomically(files);
  out << "posed " << dressed.size() << " meshes on skeleton " << rig.name << " into " << request.target << "\n";
}

void PrintCharacterInfo(const CharacterFile& file, const std::string& path, const ExtraLookup& game,
                        std::ostream& out) {
  const FileFinder beside({FolderOf(path)}, game);
  out << "skeletons: " << file.skeletons.size() << "\n";
  for (const Skeleton& skeleton : file.skeletons) {
    out << "  skeleton " << skeleton.name << ": " << skeleton.bones.size() << " bones\n";
    const Rig rig = MakeRig(skeleton);
    const Pose pose = RestPose(rig);
    for (std::size_t b = 0; b < skeleton.bones.size(); ++b) {
      std::string world;
      AppendLine(world, " world", {pose[b].position.x, pose[b].position.y, pose[b].position.z});
      out << "    " << std::left << std::setw(10) << skeleton.bones[b].name << " parent "
          << std::setw(10) << skeleton.bones[b].parent << world;
    }
  }
  out << "suits: " << file.suits.size() << "\n";
  for (const Suit& suit : file.suits) {
    out << "  suit " << suit.name << " (type " << suit.type << "): " << suit.skins.size() << " skins\n";
    for (const SuitSkin& skin : suit.skins) {
      const auto mesh = FindMeshFile(beside, skin.skin_name);
      out << "    " << skin.skin_name << " on " << skin.bone_name << ": "
          << (mesh ? FileNameOf(*mesh) : std::string("mesh not found")) << "\n";
    }
  }
  out << "skills: " << file.skills.size() << "\n";
  for (const Skill& skill : file.skills) {
    const auto frames = FindFramesFile(beside, skill.frames_name);
    out << "  skill " << skill.name << ": " << skill.duration << " ms, " << skill.motions.size()
        << " motions, " << skill.position_count << " positions, " << skill.rotation_count << " rotations, "
        << skill.frames_name << ".cfp " << (frames ? "found" : "not found") << "\n";
    for (const Motion& motion : skill.motions)
      out << "    " << std::left << std::setw(10) << motion.bone_name << " " << motion.frames << " frames"
          << (motion.uses_positions ? ", positions from " + std::to_string(motion.position_offset) : "")
          << (motion.uses_rotations ? ", rotations from " + std::to_string(motion.rotation_offset) : "") << "\n";
  }
}

void PrintFramesInfo(const std::string& cfp_path, const SkillRequest& animation, std::ostream& out) {
  const CharacterFile file = ReadCharacterFile(animation.file);
  const Skill& skill = SkillOfFrames(file, animation.file, animation.skill, cfp_path);
  const std::string bytes = ReadWholeFile(cfp_path);
  const Frames frames = ParseCfp(bytes, skill.position_count, skill.rotation_count, FileNameOf(cfp_path));
  out << "frames of skill " << skill.name << ": " << bytes.size() << " bytes, " << frames.positions.size()
      << " positions, " << frames.rotations.size() << " rotations ("
      << 3 * frames.positions.size() + 4 * frames.rotations.size() << " values)\n";
  for (const Motion& motion : skill.motions) {
    out << "  " << std::left << std::setw(10) << motion.bone_name << " " << motion.frames << " frames";
    if (motion.uses_rotations && motion.rotation_offset >= 0 &&
        static_cast<std::size_t>(motion.rotation_offset) < frames.rotations.size()) {
      const auto& q = frames.rotations[static_cast<std::size_t>(motion.rotation_offset)];
      out << ", first rotation | " << q[0] << " " << q[1] << " " << q[2] << " " << q[3] << " |";
    }
    out << "\n";
  }
}

std::optional<int> Dispatch(const ConvertRequest& request, std::ostream& out, std::ostream& err) {
  const bool ours = request.pose || request.skeleton || !request.animations.empty() || request.frame;
  const bool others = request.to || request.out || request.import_path || request.attach || request.name ||
                      request.texture || request.extract || request.fix_normals || !request.skills.empty() ||
                      request.lossy;
  if (others) {
    if (!ours) return std::nullopt;  // another command's
    throw UsageError{"--pose, --skeleton, --animation and --frame take no --to, --out, --import, --attach, --name, "
                     "--texture, --extract or --fix-normals"};
  }
  if (request.animations.size() > 1) throw UsageError{"--animation goes once here"};
  PoseRequest pose;
  pose.skeleton = request.skeleton;
  if (!request.animations.empty()) pose.animation = request.animations.front();
  pose.frame = request.frame;
  std::vector<std::string> positional = request.positional;
  const bool character_options = pose.skeleton || pose.animation || pose.frame;
  ConsolePrompts prompts(err, std::nullopt);
  if (request.pose) {
    if (request.info) throw UsageError{"--pose and --info go separately"};
    if (pose.frame && !pose.animation) throw UsageError{"--frame goes with --animation"};
    if (positional.size() < 2) throw UsageError{"--pose needs at least one MESH and the OUT.obj"};
    pose.target = positional.back();
    if (ExtensionOf(pose.target) != "obj") throw UsageError{"--pose writes an .obj: \"" + pose.target + "\""};
    positional.pop_back();
    for (const std::string& mesh : positional) {
      const std::string extension = ExtensionOf(mesh);
      if (extension != "skn" && extension != "bmf" && !IsCharacterPath(mesh))
        throw UsageError{"a MESH ends in .skn, .bmf, .cmx or .bcf: \"" + mesh + "\""};
    }
    pose.meshes = std::move(positional);
    pose.game = GameLookup(request, &pose.game_names);
    return RunReported(prompts, [&] { PoseMeshes(pose, out); }) == Outcome::Succeeded ? 0 : 1;
  }
  if (request.info && positional.size() == 1 && ExtensionOf(positional[0]) == "cfp") {
    if (!pose.animation) throw UsageError{"--info on a .cfp needs --animation SKILLFILE[:SKILL]"};
    if (pose.skeleton || pose.frame || request.game) throw UsageError{"--info on a .cfp takes --animation only"};
    return RunReported(prompts, [&] { PrintFramesInfo(positional[0], *pose.animation, out); }) == Outcome::Succeeded ? 0 : 1;
  }
  if (request.info && positional.size() == 1 && IsCharacterPath(positional[0])) {
    if (character_options) throw UsageError{"--info on a character file takes --game only"};
    const std::string& path = positional[0];
    const ExtraLookup game = GameLookup(request);
    return RunReported(prompts, [&] { PrintCharacterInfo(ReadCharacterFile(path), path, game, out); }) ==
                   Outcome::Succeeded
               ? 0
               : 1;
  }
  if (!request.info && positional.size() == 2 && IsCharacterPath(positional[0]) && IsCharacterPath(positional[1])) {
    if (character_options || request.game)
      throw UsageError{"a conversion of a character file takes no --skeleton, --animation, --frame or --game"};
    return RunReported(prompts, [&] {
             const CharacterFile file = ReadCharacterFile(positional[0]);
             const std::string& target = positional[1];
             const std::string bytes = ExtensionOf(target) == "cmx" ? CmxText(file) : BcfBytes(file);
             WriteFileAtomically(target, bytes);
           }) == Outcome::Succeeded ? 0 : 1;
  }
  if (character_options) throw UsageError{"--skeleton, --animation and --frame go with --pose (or --animation with --info on a .cfp)"};
  if (!request.info && positional.size() == 2 && (IsCharacterPath(positional[0]) || IsCharacterPath(positional[1])))
    throw UsageError{"a character file converts to another: .cmx and .bcf"};
  return std::nullopt;
}

}  // namespace

std::optional<int> RunCharacterCommand(const ConvertRequest& request, std::ostream& out, std::ostream& err) {
  return Dispatch(request, out, err);
}

}  // namespace mervane
