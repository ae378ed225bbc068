#include "publish/check.h"

#include <algorithm>
#include <map>
#include <set>

#include "archive/far.h"
#include "bitmap/bitmap.h"
#include "bmf/bmf.h"
#include "character/lookup.h"
#include "character/naming.h"
#include "files/textfile.h"
#include "install/find_game.h"
#include "model/paths.h"
#include "skn/skn.h"

namespace mervane {
namespace {

enum class FileKind { Suit, Mesh, Bitmap, Other };

FileKind KindOf(std::string_view name) {
  const std::string lower = ToLowerAscii(name);
  const std::string extension = ExtensionOf(lower);
  if (extension == "cmx" || extension == "bcf") return FileKind::Suit;
  if (extension == "skn" || extension == "bmf") return FileKind::Mesh;
  if (extension == "bmp") return FileKind::Bitmap;
  return FileKind::Other;
}

std::string_view ToneWord(SkinTone tone) {
  switch (tone) {
    case SkinTone::Light: return "light";
    case SkinTone::Medium: return "medium";
    case SkinTone::Dark: return "dark";
  }
  return "";
}

// Everything known by name: the folders checked and the game. Suits and
// bitmaps are grouped by the key the game pairs them by.
class Catalogue {
 public:
  void Add(const std::string& path) {
    const std::string name = FileNameOf(path);
    const std::string key = PairingKey(name);
    if (key.empty()) return;
    if (KindOf(name) == FileKind::Suit) suits_[key].insert(FileStem(name));
    if (KindOf(name) == FileKind::Bitmap)
      if (const auto tone = ToneOf(FileStem(name))) tones_[key].insert(*tone);
  }
  std::size_t SuitsOn(const std::string& key) const {
    const auto found = suits_.find(key);
    return found == suits_.end() ? 0 : found->second.size();
  }
  bool HasTone(const std::string& key, SkinTone tone) const {
    const auto found = tones_.find(key);
    return found != tones_.end() && found->second.count(tone) != 0;
  }

 private:
  std::map<std::string, std::set<std::string>> suits_;  // key -> suit stems
  std::map<std::string, std::set<SkinTone>> tones_;
};

class Checker {
 public:
  explicit Checker(std::vector<Finding>& out) : out_(out) {}

  void Error(const std::string& path, std::string message) {
    out_.push_back({path, Finding::Level::Error, std::move(message)});
  }
  void Warn(const std::string& path, std::string message) {
    out_.push_back({path, Finding::Level::Warning, std::move(message)});
  }

  void Bitmap(const std::string& path, const Catalogue& catalogue) {
    std::string bytes;
    try {
      bytes = ReadWholeFile(path);
    } catch (const Failure& failure) {
      return Error(path, "the bitmap cannot be read: " + failure.detail());
    }
    std::string problem;
    const std::optional<BmpInfo> info = ReadBmpInfo(bytes, &problem);
    if (!info) return Error(path, "not a BMP the game reads (" + problem + "): the Sim shows white");
    if (info->bits != 8 || info->compression != 0)
      Error(path, "a " + std::to_string(info->bits) + "-bit" + (info->compression != 0 ? " compressed" : "") +
                      " BMP: the game shows only uncompressed 8-bit (256-colour) skins, and the Sim shows white");
    if (info->width != std::abs(info->height))
      Error(path, "the bitmap is " + std::to_string(info->width) + " x " + std::to_string(std::abs(info->height)) +
                      ": the game shows only square skin bitmaps");
    const std::string key = PairingKey(FileNameOf(path));
    if (!key.empty() && catalogue.SuitsOn(key) == 0)
      Warn(path, "no suit wears it: no suit file of its prefix is in the folder or the game");
  }

  void Suit(const std::string& path, const FileFinder& finder, const Catalogue& catalogue) {
    CharacterFile file;
    try {
      file = ReadCharacterFile(path);
    } catch (const Failure& failure) {
      return Error(path, "it does not read: " + failure.detail());
    }
    if (file.suits.empty()) return;  // a skeleton or a skill file
    const std::string stem = FileStem(path);
    for (const mervane::Suit& suit : file.suits) {
      if (ToLowerAscii(suit.name) != stem)
        Error(path, "the suit inside is named \"" + suit.name + "\", not after its file (\"" + stem +
                        "\"): the game ignores it");
      for (const SuitSkin& skin : suit.skins)
        if (!FindMeshFile(finder, skin.skin_name))
          Error(path, "its mesh " + skin.skin_name + " (.skn or .bmf) is found nowhere: the Sim shows without it");
    }
    const std::string key = PairingKey(FileNameOf(path));
    if (key.empty()) return;
    // Hands pair their bitmaps across sides, but each side is a suit of its own.
    if (ParseOutfitName(FileNameOf(path)) && catalogue.SuitsOn(key) > 1)
      Warn(path, "another suit shares its prefix: Create-a-Sim lists the prefix's outfits twice");
    for (const SkinTone tone : kSkinTones)
      if (!catalogue.HasTone(key, tone))
        Warn(path, "no bitmap in the " + std::string(ToneWord(tone)) + " tone (" + std::string(ToneCode(tone)) +
                       "): Sims of that tone are not offered it");
  }

  void Mesh(const std::string& path, const FileFinder& finder) {
    SkinModel model;
    try {
      const std::string bytes = ReadWholeFile(path);
      model = ExtensionOf(path) == "bmf" ? ParseBmf(bytes, FileNameOf(path)) : ParseSkn(bytes, FileNameOf(path));
    } catch (const Failure& failure) {
      return Error(path, "it does not read: " + failure.detail());
    }
    if (ExtensionOf(path) == "skn" && ToLowerAscii(model.MeshName) != FileStem(path))
      Warn(path, "its first line names " + model.MeshName + ", not its file");
    const char age = AgeOfNames(std::vector<std::string>{model.MeshName, FileNameOf(path)});
    const std::vector<std::string>& bones = SkeletonBones(age, finder);
    for (const std::string& bone : BonesNotIn(model, bones))
      Error(path, "bone " + bone + " is not a bone of the " + (age == 'c' ? "child" : "adult") +
                      " skeleton: the game cannot pose it");
  }

 private:
  const std::vector<std::string>& SkeletonBones(char age, const FileFinder& finder) {
    std::vector<std::string>& bones = age == 'c' ? child_ : adult_;
    if (bones.empty()) bones = SkeletonBoneNames(finder, age);
    return bones;
  }

  std::vector<Finding>& out_;
  std::vector<std::string> adult_, child_;
};

bool IsSkinFile(std::string_view name) { return KindOf(name) != FileKind::Other; }

}  // namespace

CheckReport CheckSkins(std::span<const std::string> paths, const GameIndex* game, const Environment* env) {
  CheckReport report;
  std::vector<Finding>& findings = report.findings;
  Checker checker(findings);

  // The files to check, each with its folder; every loose name is known.
  struct Target {
    std::string folder;
    std::vector<std::string> files;  // paths
  };
  std::vector<Target> targets;
  Catalogue catalogue;
  for (const std::string& path : paths) {
    Target target;
    if (IsFolder(path)) {
      target.folder = SkinsFolderOf(path).value_or(path);
      for (const std::string& name : OrdinaryFilesIn(target.folder))
        if (IsSkinFile(name)) target.files.push_back(JoinPath(target.folder, name));
      std::sort(target.files.begin(), target.files.end());
      for (const std::string& below : FilesBelow(target.folder))
        if (IsSkinFile(below) && FolderOf(below) != FolderOf(JoinPath(target.folder, "x")))
          checker.Error(below, "the game reads no skins in a subfolder of " + FileNameOf(target.folder) +
                                   ": move it into " + target.folder);
      for (const std::string& name : OrdinaryFilesIn(target.folder)) catalogue.Add(name);
      // What a program without administrator rights wrote under Program
      // Files went to Windows' VirtualStore: the game sees it or not by how
      // it is started.
      if (const auto store = env ? VirtualStoreOf(target.folder, *env) : std::nullopt) {
        const FolderFiles real(target.folder);
        for (const std::string& name : OrdinaryFilesIn(*store))
          if (IsSkinFile(name) && real.Find(name).empty())
            checker.Warn(JoinPath(*store, name),
                         "only Windows' VirtualStore copy of Skins holds it: the game shows it when started without "
                         "administrator rights and not with them; move it into " + target.folder);
      }
    } else if (IsOrdinaryFile(path) || SplitArchivePath(path)) {
      target.folder = FolderOf(path);
      target.files.push_back(path);
      if (!SplitArchivePath(path))
        for (const std::string& name : OrdinaryFilesIn(target.folder)) catalogue.Add(name);
      catalogue.Add(path);
    } else {
      checker.Error(path, "there is no such file or folder");
      continue;
    }
    report.files += target.files.size();
    targets.push_back(std::move(target));
  }
  if (game)
    for (const std::string& name : game->Names()) catalogue.Add(name);

  const ExtraLookup lookup =
      game ? ExtraLookup([game](std::string_view name) { return game->Find(name); }) : ExtraLookup();
  for (const Target& target : targets) {
    const FileFinder finder({target.folder}, lookup);
    for (const std::string& path : target.files) {
      switch (KindOf(path)) {
        case FileKind::Bitmap: checker.Bitmap(path, catalogue); break;
        case FileKind::Suit: checker.Suit(path, finder, catalogue); break;
        case FileKind::Mesh: checker.Mesh(path, finder); break;
        case FileKind::Other: break;
      }
      if (game && !SplitArchivePath(path))
        if (const auto member = game->FindMember(FileNameOf(path)))
          checker.Warn(path, "it replaces the game's own " + FileNameOf(*member) + " in " +
                                 FileNameOf(SplitArchivePath(*member) ? SplitArchivePath(*member)->archive : *member));
    }
  }
  std::stable_sort(findings.begin(), findings.end(),
                   [](const Finding& a, const Finding& b) { return a.level < b.level; });
  return report;
}

std::string FindingLine(const Finding& finding) {
  return finding.path + (finding.level == Finding::Level::Error ? ": error: " : ": warning: ") + finding.message;
}

std::string FindingsSummary(const CheckReport& report) {
  std::size_t errors = 0, warnings = 0;
  for (const Finding& finding : report.findings) ++(finding.level == Finding::Level::Error ? errors : warnings);
  auto count = [](std::size_t n, std::string_view word) {
    return std::to_string(n) + " " + std::string(word) + (n == 1 ? "" : "s");
  };
  return count(errors, "error") + ", " + count(warnings, "warning") + " in " + count(report.files, "file");
}

}  // namespace mervane
