#include "publish/publish.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "archive/far.h"
#include "bitmap/bitmap.h"
#include "character/character.h"
#include "character/lookup.h"
#include "files/textfile.h"
#include "install/find_game.h"
#include "model/paths.h"
#include "publish/check.h"
#include "skn/skn.h"

namespace mervane {
namespace {

[[noreturn]] void Refuse(int number, std::string why) { throw Failure::Error(number, std::move(why)); }

void CheckWord(std::string_view what, std::string_view value) {
  const bool fine = !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
  if (!fine)
    Refuse(err::kInvalidArgument, std::string(what) + " \"" + std::string(value) +
                                      "\" must be letters, digits and _ only, as the game's names are");
}

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// One family: the outfits that differ only in their ID (a child's body in
// either gender).
bool SameFamily(const OutfitName& a, const OutfitName& b) {
  const bool child_body = a.kind == 'b' && a.age == 'c';
  return a.kind == b.kind && a.age == b.age && a.build == b.build && (child_body || a.gender == b.gender);
}

// The ordinary files of the target folder and, with a game, every name it
// has; each as a path, so that a clash can say where.
std::vector<std::string> KnownFiles(const PublishRequest& request) {
  std::vector<std::string> paths;
  for (const std::string& name : OrdinaryFilesIn(request.folder)) paths.push_back(JoinPath(request.folder, name));
  if (request.game)
    for (const std::string& name : request.game->Names())
      if (const auto path = request.game->Find(name)) paths.push_back(*path);
  return paths;
}

std::vector<std::string> FileNames(const std::vector<std::string>& paths) {
  std::vector<std::string> names;
  names.reserve(paths.size());
  for (const std::string& path : paths) names.push_back(FileNameOf(path));
  return names;
}

bool IsPowerOfTwoSide(int side) { return side >= 64 && side <= 512 && (side & (side - 1)) == 0; }

std::string_view ToneWord(SkinTone tone) {
  return tone == SkinTone::Light ? "light" : tone == SkinTone::Medium ? "medium" : "dark";
}

}  // namespace

OutfitName PlanOutfit(const PublishRequest& request) {
  CheckWord("the texture name", request.texture);
  if (request.mesh_name) CheckWord("the mesh name", *request.mesh_name);
  std::optional<OutfitName> named;
  if (request.mesh) {
    named = ParseOutfitName(request.mesh->MeshName);
  } else {
    named = ParseOutfitName(request.retexture);
    if (!named)
      Refuse(err::kInvalidArgument,
             "the suit " + request.retexture + " is not named as a body's or head's (B###GATyp_NAME, C###GA_NAME)");
  }
  OutfitName outfit;
  if (request.mesh && request.kind) outfit.kind = Lower(*request.kind);
  else outfit.kind = named ? named->kind : request.build ? 'b' : OutfitKindOf(*request.mesh);
  if (outfit.kind != 'b' && outfit.kind != 'c')
    Refuse(err::kInvalidArgument, std::string("the kind must be a body (B) or a head (C), not ") + *request.kind);
  const char* tells = request.mesh ? "the mesh's name does not tell" : "the suit's name does not tell";

  if (request.gender) outfit.gender = Lower(*request.gender);
  else if (named) outfit.gender = named->gender;
  else Refuse(err::kInvalidArgument, std::string("--gender M, F or U is needed: ") + tells);
  if (std::string_view("mfu").find(outfit.gender) == std::string_view::npos)
    Refuse(err::kInvalidArgument, std::string("the gender must be M, F or U, not ") + *request.gender);

  const std::string build = ToLowerAscii(request.build.value_or(""));
  if (request.age) outfit.age = Lower(*request.age);
  else if (build == "chd") outfit.age = 'c';
  else if (!build.empty()) outfit.age = 'a';
  else if (named) outfit.age = named->age;
  else Refuse(err::kInvalidArgument, std::string("--age A or C is needed: ") + tells);
  if (outfit.age != 'a' && outfit.age != 'c')
    Refuse(err::kInvalidArgument, std::string("the age must be A or C, not ") + *request.age);

  if (outfit.kind == 'b') {
    if (!build.empty()) outfit.build = build;
    else if (outfit.age == 'c') outfit.build = "chd";
    else if (named && named->kind == 'b' && named->age == 'a') outfit.build = named->build;
    else Refuse(err::kInvalidArgument, std::string("--build Fit, Fat or Skn is needed: ") + tells);
    if (!IsBuildOfAge(outfit.build, outfit.age))
      Refuse(err::kInvalidArgument, "the build " + *request.build + " is not one of " +
                                        (outfit.age == 'c' ? "a child's (Chd)" : "an adult's (Fit, Fat, Skn)"));
  } else if (!build.empty()) {
    Refuse(err::kInvalidArgument, "a head has no build: leave --build out");
  }

  if (!request.mesh) {
    outfit.id = named->id;
    outfit.name = named->name;
    return outfit;
  }
  outfit.name = request.mesh_name.value_or(request.texture);
  if (request.id) {
    const std::string& id = *request.id;
    if (id.size() != 3 || !std::all_of(id.begin(), id.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
      Refuse(err::kInvalidArgument, "the ID \"" + id + "\" must be three letters or digits, such as 100");
    outfit.id = ToLowerAscii(id);
  } else {
    outfit.id = FreeOutfitId(outfit, FileNames(KnownFiles(request)));
  }
  return outfit;
}

char OutfitKindOf(const SkinModel& mesh) {
  return mesh.BoneCount == 1 && ToLowerAscii(mesh.BoneNames.at(0)) == "head" ? 'c' : 'b';
}

std::vector<std::string> PlannedFiles(const PublishRequest& request, const OutfitName& outfit) {
  std::vector<std::string> paths;
  if (request.mesh) {
    paths.push_back(JoinPath(request.folder, SuitStem(outfit) + ".cmx"));
    paths.push_back(JoinPath(request.folder, SuitMeshName(outfit) + ".skn"));
  }
  for (const char gender : BitmapGenders(outfit))
    for (const SkinTone tone : kSkinTones)
      paths.push_back(JoinPath(request.folder, OutfitBitmapStem(OutfitPrefix(outfit, gender), tone, request.texture) + ".bmp"));
  return paths;
}

std::string PublishFolderOf(const std::string& install) {
  return SkinsFolderOf(install).value_or(
      JoinPath(GameDataFolderOf(install).value_or(JoinPath(install, "GameData")), "Skins"));
}

std::string FreeOutfitId(const OutfitName& outfit, const std::vector<std::string>& names) {
  std::vector<bool> used(1000);
  for (const std::string& name : names) {
    std::string stem = ToLowerAscii(FileNameOf(name));
    if (const std::size_t dot = stem.find('.'); dot != std::string::npos) stem.resize(dot);
    const auto other = ParseOutfitName(stem);
    if (!other || !SameFamily(outfit, *other)) continue;
    if (std::all_of(other->id.begin(), other->id.end(), [](char c) { return c >= '0' && c <= '9'; }))
      used[static_cast<std::size_t>(std::stoi(other->id))] = true;
  }
  for (int n = 100; n < 1000; ++n)
    if (!used[static_cast<std::size_t>(n)]) return std::to_string(n);
  Refuse(err::kFileExists, "every ID from 100 to 999 is taken on " + OutfitPrefix(outfit) + ": choose one with --id");
}

PublishResult PublishOutfit(const PublishRequest& request) {
  if (request.images[0].empty()) Refuse(err::kInvalidArgument, "the light tone's image is needed (--light)");
  const OutfitName outfit = PlanOutfit(request);
  PublishResult result;
  result.suit = request.mesh ? SuitStem(outfit) : request.retexture;
  const std::string key = PairingKey(SuitStem(outfit) + ".cmx");

  // Clashes with what the folder and the game hold on this prefix.
  std::vector<std::string> replaced;
  const std::string texture = ToLowerAscii(request.texture);
  for (const std::string& path : KnownFiles(request)) {
    const std::string name = FileNameOf(path);
    if (PairingKey(name) != key) continue;
    const auto other = ParseOutfitName(FileStem(name));
    const bool is_bitmap = ExtensionOf(name) == "bmp";
    const bool clash = request.mesh ? !is_bitmap || (other && other->name == texture)
                                    : is_bitmap && other && other->name == texture;
    if (!clash) continue;
    const bool ours = !SplitArchivePath(path) && PathKey(FolderOf(path)) == PathKey(request.folder);
    if (!request.replace || !ours)
      Refuse(err::kFileExists,
 (request.mesh ? "the ID " + outfit.id + " is taken on " + OutfitPrefix(outfit)
                           : "the texture " + request.texture + " is taken on " + OutfitPrefix(outfit)) +
                 " by " + path +
                 (ours ? ": choose another, or --replace to replace that set"
                       : ": it is not in the target folder, so choose another"));
    if (std::none_of(replaced.begin(), replaced.end(), [&](const std::string& r) { return ToLowerAscii(FileNameOf(r)) == ToLowerAscii(name); }))
      replaced.push_back(path);
  }

  // The files, named by the game's rules.
  std::vector<OutputFile> files;
  for (std::string& path : PlannedFiles(request, outfit)) files.push_back({std::move(path), {}});
  const std::size_t first_bitmap = request.mesh ? 2 : 0;
  if (request.mesh) {
    // Bones first: a mesh the game cannot pose is refused before any image work.
    const FileFinder finder({request.folder},
                            request.game ? ExtraLookup([game = request.game](std::string_view name) { return game->Find(name); })
                                         : ExtraLookup());
    const std::vector<std::string> missing = BonesNotIn(*request.mesh, SkeletonBoneNames(finder, outfit.age));
    if (!missing.empty())
      Refuse(err::kInvalidArgument, "bone " + missing.front() + " is not a bone of the " +
                                        (outfit.age == 'c' ? "child" : "adult") + " skeleton");
    SkinModel mesh = *request.mesh;
    mesh.MeshName = SuitMeshName(outfit);
    mesh.TextureName = FileStem(files[first_bitmap].path);
    CharacterFile suit_file;
    suit_file.suits.push_back({ToLowerAscii(SuitStem(outfit)), 0, {}, {{std::string(SuitBone(outfit)), mesh.MeshName, 0, {}}}});
    files[0].bytes = CmxText(suit_file, kGameCmxComment);
    files[1].bytes = SknText(mesh);
  }
  if (request.game)
    for (const OutputFile& file : files)
      if (const auto member = request.game->FindMember(FileNameOf(file.path)))
        Refuse(err::kFileExists, FileNameOf(file.path) + " would replace the game's own " + *member);

  // The bitmaps: each image read once, made square and 8-bit.
  const int part_size = OutfitBitmapSize(outfit);
  std::map<std::string, std::string> made;  // image path -> BMP bytes
  std::size_t next = first_bitmap;
  const std::string genders = BitmapGenders(outfit);
  for (std::size_t g = 0; g < genders.size(); ++g)
    for (std::size_t t = 0; t < 3; ++t, ++next) {
      const bool own = !request.images[t].empty();
      const std::string& image_path = own ? request.images[t] : request.images[0];
      if (!own && g == 0)
        result.notes.push_back("the " + std::string(ToneWord(static_cast<SkinTone>(t))) +
                               " tone takes the light image, so that every Sim is offered the outfit");
      auto [entry, added] = made.try_emplace(image_path);
      if (added) {
        Image image = NamingFile(image_path, [&] { return DecodeImage(ReadWholeFile(image_path)); });
        if (image.width != image.height || !IsPowerOfTwoSide(image.width)) {
          result.notes.push_back(FileNameOf(image_path) + " is " + std::to_string(image.width) + " x " +
                                 std::to_string(image.height) + ": scaled to " + std::to_string(part_size) + " x " +
                                 std::to_string(part_size));
          image = ScaleImage(image, part_size, part_size);
        }
        entry->second = Bmp8Bytes(QuantizeImage(image));
      }
      files[next].bytes = entry->second;
    }

  std::vector<FileToWrite> writes;
  for (const OutputFile& file : files) writes.push_back({file.path, file.bytes});
  try {
    MakeFolders(request.folder);
    WriteFilesAtomically(writes);
  } catch (const Failure& failure) {
    if (failure.number() != err::kAccessDenied) throw;
    // Windows keeps Program Files for administrators; a 32-bit program would
    // be sent to the VirtualStore, where the game may not look.
    throw Failure::Error(err::kAccessDenied, failure.detail() + ": this folder takes files only from an administrator "
                                                                "(under Program Files, start Mervane as administrator "
                                                                "once), or publish into another folder and copy");
  }
  for (const OutputFile& file : files) result.written.push_back(file.path);
  // The set replaced: what the new one did not overwrite goes.
  for (const std::string& path : replaced)
    if (std::none_of(files.begin(), files.end(),
                     [&](const OutputFile& file) { return ToLowerAscii(file.path) == ToLowerAscii(path); })) {
      RemoveFile(path);
      result.removed.push_back(path);
    }
  return result;
}

PublishResult PublishSkills(const std::string& skill_file, const std::string& folder, const GameIndex* game) {
  const CharacterFile file = ReadCharacterFile(skill_file);
  if (file.skills.empty())
    throw std::move(Failure::Error(err::kInvalidArgument, "it holds no skill to publish").InFile(skill_file));
  const FileFinder beside({FolderOf(skill_file)});
  PublishResult result;
  result.suit = FileNameOf(skill_file);
  std::vector<OutputFile> files{{JoinPath(folder, FileNameOf(skill_file)), ReadWholeFile(skill_file)}};
  for (const Skill& skill : file.skills) {
    ReadSkillFrames(skill, beside);  // a missing or broken .cfp is refused, named as everywhere
    const std::string frames = *FindFramesFile(beside, skill.frames_name);
    files.push_back({JoinPath(folder, FileNameOf(frames)), ReadWholeFile(frames)});
  }
  const bool replaces = game && game->FindMember(FileNameOf(skill_file));
  for (const Skill& skill : file.skills)
    result.notes.push_back(replaces ? "skill " + skill.name + " replaces the game's own (" + FileNameOf(skill_file) + ")"
                                    : "skill " + skill.name + " is new: only objects that call it will play it");
  std::vector<FileToWrite> writes;
  for (const OutputFile& out : files) writes.push_back({out.path, out.bytes});
  MakeFolders(folder);
  WriteFilesAtomically(writes);
  for (const OutputFile& out : files) result.written.push_back(out.path);
  return result;
}

}  // namespace mervane
