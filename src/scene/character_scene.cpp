#include "scene/character_scene.h"

#include <algorithm>
#include <utility>

#include "archive/far.h"
#include "files/textfile.h"
#include "formats/formats.h"
#include "gltf/gltf_document.h"
#include "gltf/gltf_skills.h"
#include "model/failure.h"
#include "model/paths.h"
#include "pose/rig_files.h"

namespace mervane {
namespace {

bool IsMeshFile(const std::string& name) {
  const std::string ext = ExtensionOf(name);
  return ext == "skn" || ext == "bmf";
}

std::string Lower(std::string_view text) { return ToLowerAscii(text); }

// What a part dresses, by its mesh's name.
std::optional<SimPart> PartOf(const ScenePart& part) {
  return part.mesh ? SimPartOf(part.mesh->name) : std::nullopt;
}

// Whether a shown head or hand was made for the body: a head of its age and
// gender (a child's unisex body takes either), a hand of the gender the
// hand found for the body has.
bool HeadFits(const SkinMesh& head, const SkinMesh& body) {
  const auto h = SimKindOf(head.name), b = SimKindOf(body.name);
  return h && b && h->age == b->age && (b->gender == 'u' || h->gender == b->gender);
}
bool HandFits(const SkinMesh& hand, const std::string& found) {
  const std::string shown = Lower(SuitNameOfMesh(hand.name)), wanted = FileStem(FileNameOf(found));
  return found.empty() || shown.size() < 2 || wanted.size() < 2 || shown[1] == wanted[1];
}

std::string Message(const Failure& failure) {
  const std::string detail = failure.detail();
  return detail.empty() ? failure.message() : detail;
}

}  // namespace

TemplateParts TemplatePartsOf(const std::vector<ScenePart>& parts) {
  const auto model = std::find_if(parts.begin(), parts.end(), [](const ScenePart& part) { return part.is_model; });
  const std::string bitmap = model != parts.end() ? model->bitmap : std::string();
  TemplateParts chosen;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    const ScenePart& part = parts[p];
    if (part.is_model || !part.shown || !part.mesh) continue;
    if (!bitmap.empty() && part.bitmap == bitmap)
      chosen.with_model.push_back(p);
    else
      ++chosen.elsewhere;
  }
  return chosen;
}

void CharacterScene::SetGame(ExtraLookup find, std::vector<std::string> names, std::vector<SkillEntry> skills) {
  game_find_ = std::move(find);
  game_names_ = std::move(names);
  game_skills_ = std::move(skills);
  // The game's skills have their frames in the game; looked for once.
  for (SkillEntry& skill : game_skills_)
    skill.missing = game_find_ && game_find_(skill.frames + ".cfp") ? "" : MissingFrames(skill.frames);
}

std::string CharacterScene::MissingFrames(const std::string& frames) const {
  return "its frames, " + frames + ".cfp, are not beside it" + (HasGame() ? " or in the game folder" : "");
}

std::vector<std::string> CharacterScene::Folders() const {
  std::vector<std::string> folders;
  auto add = [&](const std::string& path) {
    if (path.empty()) return;
    const std::string folder = FolderOf(path);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
  };
  for (const ScenePart& part : parts_)
    if (part.is_model) add(part.source);
  for (const ScenePart& part : parts_) add(part.source);
  if (skeleton_kind_ == SkeletonKind::File) add(skeleton_file_);
  return folders;
}

FileFinder CharacterScene::Finder() const { return FileFinder(Folders(), game_find_); }

std::vector<std::string> CharacterScene::CandidateNames() const {
  std::vector<std::string> names;
  for (const std::string& folder : Folders())
    for (const std::string& name : OrdinaryFilesIn(folder)) names.push_back(folder + name);
  names.insert(names.end(), game_names_.begin(), game_names_.end());
  return names;
}

std::string CharacterScene::Resolve(const std::string& path) const {
  if (IsOrdinaryFile(path) || !game_find_) return path;
  return game_find_(FileNameOf(path)).value_or(path);
}

std::string CharacterScene::UseSkeleton(SkeletonKind kind, const std::string& file) {
  skeleton_picked_ = true;
  return LoadSkeleton(kind, file);
}

std::string CharacterScene::FindSkeletonAgain() {
  return skeleton_picked_ ? LoadSkeleton(skeleton_kind_, skeleton_file_) : LoadSkeleton(KindByAge());
}

SkeletonKind CharacterScene::KindByAge() const {
  std::vector<std::string> names;
  for (const ScenePart& part : parts_)
    if (part.mesh && part.shown) names.push_back(part.mesh->name);  // not a model an adult's body replaced
  return AgeOfNames(names) == 'c' ? SkeletonKind::Child : SkeletonKind::Adult;
}

std::string CharacterScene::LoadSkeleton(SkeletonKind kind, const std::string& file) {
  skeleton_kind_ = kind;
  rig_.reset();
  animation_.reset();
  skeleton_problem_.clear();
  if (kind == SkeletonKind::File) {
    skeleton_file_ = file;
  } else {
    const FileFinder finder = Finder();
    const char age = kind == SkeletonKind::Child ? 'c' : 'a';
    const std::optional<std::string> found = FindSkeletonFile(finder, age);
    skeleton_file_ = found.value_or("");
    if (!found)
      skeleton_problem_ = "No " + SkeletonFileName(age) + " beside the parts" +
                          (HasGame() ? " or in the game folder" : "") + ": choose the skeleton's file";
  }
  if (!skeleton_file_.empty()) {
    try {
      rig_ = ReadRig(skeleton_file_);
    } catch (const Failure& failure) {
      skeleton_problem_ = Message(failure);
    }
  }
  for (ScenePart& part : parts_) Dress(part);
  SetFrame(0);
  return Problems(skeleton_problem_);
}

void CharacterScene::Dress(ScenePart& part) {
  part.dressed.reset();
  if (!part.mesh) return;
  part.problem.clear();
  if (!rig_) return;
  try {
    std::vector<DressedMesh> dressed = mervane::Dress(*rig_, {*part.mesh});
    part.dressed = std::move(dressed.front());
  } catch (const Failure& failure) {
    part.problem = Message(failure);
  }
}

std::string CharacterScene::Problems(const std::string& first) const {
  if (!first.empty()) return first;
  for (const ScenePart& part : parts_)
    if (!part.problem.empty()) return part.label + ": " + part.problem;
  for (const ScenePart& part : parts_)
    if (!part.bitmap_problem.empty()) return part.label + ": " + part.bitmap_problem;
  return {};
}

std::string CharacterScene::SetModel(const SkinModel& model, const std::string& source) {
  ClearModel();
  ScenePart part;
  part.label = FileNameOf(source);
  part.source = source;
  part.is_model = true;
  try {
    part.mesh = MakeSkinMesh(model);
  } catch (const Failure& failure) {
    part.problem = Message(failure);
  }
  if (!tone_set_ && part.mesh) tone_ = ToneOf(part.mesh->texture).value_or(SkinTone::Light);
  parts_.insert(parts_.begin(), std::move(part));
  ReplaceKinds(0, 1);
  // A skeleton picked for the model before is not this model's.
  skeleton_picked_ = false;
  const std::string status = LoadSkeleton(KindByAge());
  PickBitmap(parts_.front());
  return Problems(status);
}

void CharacterScene::ClearModel() {
  std::erase_if(parts_, [](const ScenePart& part) { return part.is_model; });
}

std::string CharacterScene::AddPart(const std::string& given, std::string_view except_mesh) {
  const std::string path = Resolve(given);
  const std::size_t before = parts_.size();
  std::string status;
  // A part whose mesh make gives; a failure marks the part and is the
  // status line when it is the first.
  auto add = [&](std::string label, const auto& make) {
    ScenePart part;
    part.label = std::move(label);
    part.source = path;
    try {
      make(part);
    } catch (const Failure& failure) {
      part.problem = Message(failure);
      if (status.empty()) status = (part.label == FileNameOf(path) ? "" : part.label + ": ") + part.problem;
    }
    parts_.push_back(std::move(part));
  };
  const Format* format = FormatOf(path);
  if (IsMeshFile(path)) {
    add(FileNameOf(path), [&](ScenePart& part) { part.mesh = MakeSkinMesh(ReadMeshFile(path)); });
  } else if (IsCharacterPath(path) || (format && format->rigged)) {
    try {
      if (format && format->rigged) {
        for (const SkinModel& model : format->rigged->read(path, {}).models)
          if (model.MeshName != except_mesh)
            add(FileNameOf(path) + ": " + model.MeshName, [&](ScenePart& part) { part.mesh = MakeSkinMesh(model); });
      } else {
        const CharacterFile character = ReadCharacterFile(path);
        if (character.suits.empty() && !character.skeletons.empty()) return UseSkeleton(SkeletonKind::File, path);
        if (character.suits.empty()) return FileNameOf(path) + " holds no suit (its skills are listed under Animation)";
        FileFinder finder({FolderOf(path)}, game_find_);
        for (const Suit& suit : character.suits)
          for (const SuitSkin& skin : suit.skins)
            add(suit.name + ": " + skin.skin_name, [&](ScenePart& part) {
              const auto mesh_path = FindMeshFile(finder, skin.skin_name);
              if (!mesh_path)
                throw Failure::Error(err::kFileNotFound, "no " + skin.skin_name + ".bmf or .skn beside it")
                    .InFile(path);
              part.source = *mesh_path;
              part.mesh = MakeSkinMesh(ReadMeshFile(*mesh_path));
            });
      }
    } catch (const Failure& failure) {
      add(FileNameOf(path), [&](ScenePart&) { throw failure; });
    }
  } else {
    return FileNameOf(path) + ": a part is a .skn, .bmf, .glb, .gltf, .cmx or .bcf file";
  }
  const std::size_t added = ReplaceKinds(before);
  // The parts' ages choose the skeleton unless the user did; the first part
  // brings its folder in, so a skeleton beside it may be found now.
  if (!skeleton_picked_ && (!rig_ || KindByAge() != skeleton_kind_)) {
    const std::string found = LoadSkeleton(KindByAge());
    if (status.empty()) status = found;
  }
  for (std::size_t k = added; k < parts_.size(); ++k) {
    Dress(parts_[k]);
    PickBitmap(parts_[k]);
    if (status.empty() && !parts_[k].problem.empty()) status = parts_[k].label + ": " + parts_[k].problem;
    if (status.empty() && !parts_[k].bitmap_problem.empty())
      status = parts_[k].label + ": " + parts_[k].bitmap_problem;
  }
  return status;
}

std::size_t CharacterScene::ReplaceKinds(std::size_t first, std::size_t end) {
  end = std::min(end, parts_.size());
  std::vector<SimPart> kinds;
  for (std::size_t k = first; k < end; ++k)
    if (const auto kind = PartOf(parts_[k])) kinds.push_back(*kind);
  auto replaced = [&](const ScenePart& part) {
    const auto kind = PartOf(part);
    return kind && std::find(kinds.begin(), kinds.end(), *kind) != kinds.end();
  };
  for (std::size_t k = 0; k < parts_.size();) {
    const bool is_new = k >= first && k < end;
    if (is_new || !replaced(parts_[k])) {
      ++k;
    } else if (parts_[k].is_model) {
      // The model is what is being edited: it stays, hidden, to be ticked again.
      parts_[k].shown = false;
      ++k;
    } else {
      parts_.erase(parts_.begin() + static_cast<std::ptrdiff_t>(k));
      if (k < first) --first, --end;
    }
  }
  return first;
}

void CharacterScene::RemovePart(int index) {
  if (index < 0 || index >= static_cast<int>(parts_.size()) || parts_[static_cast<std::size_t>(index)].is_model) return;
  parts_.erase(parts_.begin() + index);
}

std::vector<std::string> CharacterScene::GameBitmaps() const {
  std::vector<std::string> bitmaps;
  for (const std::string& name : game_names_)
    if (ExtensionOf(name) == "bmp") bitmaps.push_back(name);
  return bitmaps;
}

std::optional<std::string> CharacterScene::FindGameFile(std::string_view name) const {
  if (!game_find_) return std::nullopt;
  return game_find_(name);
}

std::string CharacterScene::ChooseBitmap(int index, const std::string& path) {
  ScenePart& part = parts_.at(static_cast<std::size_t>(index));
  part.bitmap = path;
  part.bitmap_chosen = true;
  part.bitmap_problem.clear();
  return {};
}

void CharacterScene::PickBitmap(ScenePart& part) {
  part.textures.clear();
  if (!part.mesh) return;
  std::vector<std::string> folders{FolderOf(part.source)};
  for (const std::string& folder : Folders())
    if (folder != folders.front()) folders.push_back(folder);
  const FileFinder finder(folders, game_find_, [this] { return game_names_; });
  const std::vector<std::string> choices = ToneBitmapChoices(finder.Names(), part.mesh->name, part.mesh->texture, tone_);
  for (const std::string& choice : choices) part.textures.push_back(TextureOfBitmap(choice));
  if (part.bitmap_chosen) return;
  part.bitmap.clear();
  part.bitmap_problem.clear();
  if (!choices.empty())
    if (auto path = finder.Find(choices[FindTexture(choices, part.texture).value_or(0)])) {
      part.bitmap = *path;
      return;
    }
  part.bitmap_problem = "no bitmap " + ToneBitmapStem(part.mesh->name, part.mesh->texture, tone_) + ".bmp beside it" +
                        (HasGame() ? " or in the game folder" : "");
}

std::string CharacterScene::ChooseTexture(int index, const std::string& texture) {
  ScenePart& part = parts_.at(static_cast<std::size_t>(index));
  part.texture = texture;
  part.bitmap_chosen = false;
  PickBitmap(part);
  return part.bitmap_problem.empty() ? std::string() : part.label + ": " + part.bitmap_problem;
}

std::string CharacterScene::SetTone(SkinTone tone) {
  tone_ = tone;
  tone_set_ = true;
  std::string missing;
  for (ScenePart& part : parts_) {
    PickBitmap(part);
    if (!part.bitmap_problem.empty() && missing.empty()) missing = part.label + ": " + part.bitmap_problem;
  }
  return missing;
}

std::optional<Companions> CharacterScene::Offer() const {
  const SkinMesh* body = nullptr;
  for (const ScenePart& part : parts_)
    if (part.shown && PartOf(part) == SimPart::Body && !body) body = &*part.mesh;
  if (!body) return std::nullopt;
  const std::vector<std::string> body_names{body->name, body->texture};
  Companions found = FindCompanions(CandidateNames(), body_names);
  // A head or hand shown that suits the body is not offered again; one of
  // another gender or age is offered to be replaced.
  const Companions wanted = found;
  for (const ScenePart& part : parts_) {
    if (!part.shown) continue;
    const auto kind = PartOf(part);
    if (kind == SimPart::Head && HeadFits(*part.mesh, *body)) found.head.clear();
    if (kind == SimPart::LeftHand && HandFits(*part.mesh, wanted.left_hand)) found.left_hand.clear();
    if (kind == SimPart::RightHand && HandFits(*part.mesh, wanted.right_hand)) found.right_hand.clear();
  }
  if (found.head.empty() && found.left_hand.empty() && found.right_hand.empty()) return std::nullopt;
  return found;
}

FileFinder CharacterScene::SkillFinder(const std::string& file) const {
  std::vector<std::string> folders{FolderOf(file)};
  for (const std::string& folder : Folders()) folders.push_back(folder);
  return FileFinder(std::move(folders), game_find_);
}

std::vector<SkillEntry> CharacterScene::FindSkills() const {
  std::vector<std::string> files;
  for (const std::string& folder : Folders())
    for (const std::string& name : OrdinaryFilesIn(folder))
      if (IsCharacterPath(name)) files.push_back(folder + name);
  // A glTF shown carries its animations.
  for (const ScenePart& part : parts_)
    if (IsRiggedPath(part.source) && std::find(files.begin(), files.end(), part.source) == files.end())
      files.push_back(part.source);
  std::vector<SkillEntry> skills;
  for (const std::string& file : files) {
    auto cached = std::find_if(skill_names_.begin(), skill_names_.end(),
                               [&](const auto& entry) { return entry.first == file; });
    if (cached == skill_names_.end()) {
      std::vector<SkillEntry> found;
      try {
        if (IsRiggedPath(file)) {
          const GltfDocument doc = ParseGltf(ReadWholeFile(file), file, FolderOf(file));
          for (std::size_t k = 0; k < doc.animations.size(); ++k)
            found.push_back({doc.animations[k].name, file, static_cast<int>(k), {}, {}});
        } else {
          const FileFinder finder = SkillFinder(file);
          const CharacterFile character = ReadCharacterFile(file);
          for (std::size_t k = 0; k < character.skills.size(); ++k) {
            const Skill& skill = character.skills[k];
            found.push_back({skill.name, file, static_cast<int>(k), skill.frames_name, {}});
            if (!FindFramesFile(finder, skill.frames_name)) found.back().missing = MissingFrames(skill.frames_name);
          }
        }
      } catch (const Failure&) {
        // A file that does not read offers no skills; Add Part says why.
      }
      skill_names_.emplace_back(file, std::move(found));
      cached = std::prev(skill_names_.end());
    }
    skills.insert(skills.end(), cached->second.begin(), cached->second.end());
  }
  skills.insert(skills.end(), game_skills_.begin(), game_skills_.end());
  return skills;
}

std::string CharacterScene::SelectSkill(const SkillEntry& entry) {
  skill_ = entry;
  animation_.reset();
  SetFrame(0);
  if (!rig_) return "No skeleton to play " + entry.name + " on";
  try {
    if (IsRiggedPath(entry.file)) {
      // A glTF's animation, made into the skill it stands for.
      const GltfDocument doc = ParseGltf(ReadWholeFile(entry.file), entry.file, FolderOf(entry.file));
      const std::string only[] = {entry.name};
      const SkillsMade made = NamingFile(entry.file, [&] { return SkillsFromGltf(doc, *rig_, only, {}); });
      animation_ = MakeAnimation(*rig_, made.file.skills.front(), made.frames.front());
      SetFrame(0);
      return {};
    }
    const CharacterFile file = ReadCharacterFile(entry.file);
    if (entry.index < 0 || entry.index >= static_cast<int>(file.skills.size()))
      return FileNameOf(entry.file) + " no longer holds " + entry.name;
    const Skill& skill = file.skills[static_cast<std::size_t>(entry.index)];
    animation_ = ReadAnimation(*rig_, skill, entry.file, SkillFinder(entry.file));
  } catch (const Failure& failure) {
    return entry.name + ": " + Message(failure);
  }
  SetFrame(0);
  return {};
}

std::string CharacterScene::Reload(const std::vector<std::string>& changed, const SkinModel* model) {
  auto touched = [&](const std::string& path) {
    return !path.empty() && std::find(changed.begin(), changed.end(), path) != changed.end();
  };
  std::string status;
  auto note = [&](const std::string& line) {
    if (status.empty()) status = line;
  };
  const double frame = frame_;
  for (ScenePart& part : parts_) {
    if (part.is_model && model) {
      part.mesh.reset();
      part.problem.clear();
      try {
        part.mesh = MakeSkinMesh(*model);
      } catch (const Failure& failure) {
        part.problem = Message(failure);
      }
      Dress(part);
    } else if (!part.is_model && touched(part.source) && IsMeshFile(part.source)) {
      try {
        part.mesh = MakeSkinMesh(ReadMeshFile(part.source));
        Dress(part);
      } catch (const Failure& failure) {
        note(part.label + ": " + Message(failure));
      }
    }
  }
  bool new_rig = false;
  if (touched(skeleton_file_)) {
    try {
      rig_ = ReadRig(skeleton_file_);
      skeleton_problem_.clear();
      new_rig = true;
      for (ScenePart& part : parts_) Dress(part);
    } catch (const Failure& failure) {
      note(FileNameOf(skeleton_file_) + ": " + Message(failure));
    }
  }
  // The animation is read against the rig, so a new rig reads it again too.
  if (animation_ && skill_ && (new_rig || touched(skill_->file))) {
    std::optional<Animation> before = std::move(animation_);
    const SkillEntry entry = *skill_;
    if (const std::string line = SelectSkill(entry); !line.empty()) {
      animation_ = std::move(before);
      note(line);
    }
  }
  SetFrame(frame);
  return status;
}

void CharacterScene::RestPose() {
  animation_.reset();
  SetFrame(0);
}

void CharacterScene::SetFrame(double frame) {
  frame_ = frame;
  if (rig_)
    PoseAt(*rig_, animation_ ? &*animation_ : nullptr, frame, pose_);
  else
    pose_.clear();
}

std::vector<SkinnedMesh> CharacterScene::Skinned() const {
  std::vector<SkinnedMesh> skinned(parts_.size());
  for (std::size_t k = 0; k < parts_.size(); ++k)
    if (parts_[k].shown && parts_[k].dressed && !pose_.empty()) Skin(*parts_[k].dressed, pose_, skinned[k]);
  return skinned;
}

std::vector<Point3> CharacterScene::SeamGapPoints(float distance) const {
  const std::vector<SkinnedMesh> skinned = Skinned();
  std::vector<std::vector<Point3>> positions;
  std::vector<SeamPart> seam_parts;
  positions.reserve(parts_.size());
  for (std::size_t k = 0; k < parts_.size(); ++k) {
    if (skinned[k].positions.empty()) continue;
    auto& points = positions.emplace_back();
    for (const Vec3& p : skinned[k].positions)
      points.push_back({static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
    seam_parts.push_back({points, parts_[k].dressed->mesh.faces});
  }
  std::vector<Point3> gaps;
  const auto found = SeamGaps(seam_parts, distance);
  for (std::size_t p = 0; p < found.size(); ++p)
    for (int v : found[p]) gaps.push_back(positions[p][static_cast<std::size_t>(v)]);
  return gaps;
}

}  // namespace mervane
