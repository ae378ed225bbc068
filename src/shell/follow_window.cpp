// The main window following the files it shows: View > Follow Files on
// Disk, and what it reads again when another program saves one.
#include <QAction>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "files/textfile.h"
#include "formats/formats.h"
#include "model/paths.h"
#include "shell/character_panel.h"
#include "shell/file_follower.h"
#include "shell/image_reader.h"
#include "shell/main_window.h"
#include "shell/path_text.h"
#include "shell/preview_widget.h"
#include "shell/settings.h"

namespace mervane {
namespace {

constexpr const char* kFollowSetting = "followFiles";
// A file caught half-written is read again this much later, this often.
constexpr int kRetryMilliseconds = 250;
constexpr int kRetries = 2;

// A reload asks nobody: the first message is kept for the status bar, and
// questions take their default answer.
class QuietPrompts : public Prompts {
 public:
  void ShowMessage(const std::string& text, const std::string& detail) override {
    if (first.empty()) first = detail.empty() ? text : text + " " + detail;
  }
  std::optional<bool> AskYesNo(const std::string&, const std::string&, bool yes_by_default) override {
    return yes_by_default;
  }
  std::string first;
};

}  // namespace

void frmMain::SetUpFollowing(QMenu* view) {
  follower_ = new FileFollower(this);
  follow_ = view->addAction("Follow Files on &Disk");
  follow_->setObjectName("mnuFollowFiles");
  follow_->setCheckable(true);
  follow_->setStatusTip("Show the files again whenever another program saves them");
  const QVariant kept = Settings().value(kFollowSetting);
  follow_->setChecked(kept.canConvert<bool>() ? kept.toBool() : true);
  follower_->SetEnabled(follow_->isChecked());
  connect(follow_, &QAction::toggled, this, [this](bool on) {
    Settings().setValue(kFollowSetting, on);
    follower_->SetEnabled(on);
  });
  connect(follower_, &FileFollower::changed, this, [this](const QStringList& paths) { ReloadFollowed(paths, 0); });
  // Parts, bitmaps, the skeleton and the skill come and go in the panel.
  connect(character_panel_, &CharacterPanel::SceneChanged, this, &frmMain::FollowShownFiles);
  connect(character_panel_, &CharacterPanel::PoseChanged, this, &frmMain::FollowShownFiles);
}

QStringList frmMain::ShownFiles() const {
  QStringList files;
  auto add = [&](const std::string& path) {
    // A member of an archive is not saved by itself.
    if (!path.empty() && !SplitArchivePath(path) && !files.contains(PathToQt(path))) files << PathToQt(path);
  };
  // An import not yet saved has no file of its own to be replaced from.
  if (model_.ModelLoaded && !unsaved_part_ && !current_path_.empty())
    for (const std::string& file : FilesWrittenBy(current_path_)) add(file);
  add(texture_path_);
  for (const ScenePart& part : character_.parts()) {
    if (!part.is_model) add(part.source);
    add(part.bitmap);
  }
  add(character_.skeleton_file());
  if (const SkillEntry* skill = character_.skill()) add(skill->file);
  return files;
}

void frmMain::FollowShownFiles() { follower_->Follow(ShownFiles()); }

void frmMain::ReloadFollowed(const QStringList& changed, int attempt) {
  if (!follow_->isChecked()) return;
  // The follower names files by their absolute paths; the window and the
  // scene by the paths they were given.
  std::vector<std::string> touched;
  for (const QString& shown : ShownFiles())
    if (changed.contains(FileFollower::Key(shown))) touched.push_back(PathFromQt(shown));
  if (touched.empty()) return;
  auto is_touched = [&](const std::string& path) {
    return !path.empty() && std::find(touched.begin(), touched.end(), path) != touched.end();
  };

  std::string failed;
  bool model_read = false;
  if (model_.ModelLoaded && !unsaved_part_ && !current_path_.empty()) {
    const std::vector<std::string> files = FilesWrittenBy(current_path_);
    if (std::any_of(files.begin(), files.end(), is_touched)) {
      // Read beside the shown model, which stays until the new one is whole.
      SkinModel fresh;
      fresh.ModelLoaded = false;
      QuietPrompts quiet;
      if (FormatOf(current_path_)->load(fresh, quiet, current_path_) == Outcome::Succeeded && fresh.ModelLoaded) {
        model_ = std::move(fresh);
        model_read = true;
      } else {
        failed = FileNameOf(current_path_) + ": " + (quiet.first.empty() ? "it does not read" : quiet.first);
      }
    }
  }
  if (model_read) {
    const std::string chosen = texture_chosen_ ? texture_path_ : std::string();
    texture_path_ = preview_->ShowModel(model_, FolderOf(current_path_), /*frame=*/false);
    if (!chosen.empty()) {
      texture_path_ = chosen;
      preview_->ShowTexture(ReadImage(chosen));
    }
  } else if (is_touched(texture_path_)) {
    if (!preview_->ShowTexture(ReadImage(texture_path_)) && failed.empty())
      failed = FileNameOf(texture_path_) + ": the image does not read";
  }
  // The panel's parts re-read their bitmaps whenever the scene is drawn anew.
  if (const std::string line = character_.Reload(touched, model_read ? &model_ : nullptr);
      !line.empty() && failed.empty())
    failed = line;
  preview_->CharacterChanged(/*reframe=*/false);
  CharacterPosed();

  if (!failed.empty() && attempt < kRetries) {
    // Caught half-written, most likely: the writer has not finished.
    QTimer::singleShot(kRetryMilliseconds, this, [this, changed, attempt] { ReloadFollowed(changed, attempt + 1); });
    return;
  }
  if (!failed.empty()) {
    statusBar()->showMessage(QString::fromStdString("Not reloaded, the last good state stays: " + failed));
  } else {
    std::string names;
    for (const std::string& file : touched) names += (names.empty() ? "" : ", ") + FileNameOf(file);
    statusBar()->showMessage(QString::fromStdString("Reloaded " + names));
  }
  FollowShownFiles();
  emit FollowedFilesReloaded();
}

}  // namespace mervane
