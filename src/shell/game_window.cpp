// The main window's game folder: File > Game Folder…, its indexing in the
// background with a progress bar, and File > Open from Game….
#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>

#include <algorithm>

#include "archive/game_index.h"
#include "character/lookup.h"
#include "model/failure.h"
#include "model/paths.h"
#include "shell/character_panel.h"
#include "shell/game_dialog.h"
#include "shell/game_folder.h"
#include "shell/main_window.h"
#include "shell/path_text.h"
#include "shell/preview_widget.h"

namespace mervane {

void frmMain::SetUpGameFolder(QMenu* file, QAction* before) {
  game_ = new GameFolder(this);
  QAction* choose = new QAction("&Game Folder\u2026", this);
  choose->setObjectName("mnuGameFolder");
  choose->setStatusTip("Choose the game's install folder, to find its skeletons, suits, skills and bitmaps");
  connect(choose, &QAction::triggered, this, &frmMain::ChooseGameFolder);
  open_from_game_ = new QAction("Open &from Game\u2026", this);
  open_from_game_->setObjectName("mnuOpenFromGame");
  open_from_game_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  open_from_game_->setStatusTip("Open a mesh, suit, skeleton or skill from the game folder and its archives");
  open_from_game_->setEnabled(false);
  connect(open_from_game_, &QAction::triggered, this, &frmMain::OpenFromGame);
  file->insertAction(before, choose);
  file->insertAction(before, open_from_game_);

  indexing_ = new QProgressBar(this);
  indexing_->setObjectName("prgIndexing");
  indexing_->setRange(0, 0);  // busy: the index cannot tell how far it is
  indexing_->setMaximumWidth(160);
  indexing_->setFormat("Indexing");
  indexing_->hide();
  statusBar()->addPermanentWidget(indexing_);

  connect(game_, &GameFolder::Started, this, [this](const QString& folder) {
    // Until the new folder is read, the old one's files are no choice.
    open_from_game_->setEnabled(false);
    game_found_ = false;
    indexing_->show();
    statusBar()->showMessage(QStringLiteral("Indexing the game folder %1\u2026").arg(folder));
  });
  connect(game_, &GameFolder::Indexed, this, [this](const QString& folder, int files, const QStringList& problems) {
    indexing_->hide();
    const std::vector<std::string>& names = game_->names();
    const bool game_found = std::any_of(names.begin(), names.end(), [](const std::string& name) { return IsGameFile(name); });
    const GameIndex* index = game_->index();
    character_.SetGame([index](std::string_view name) { return index->Find(name); }, game_->names(),
                       game_->skills());
    open_from_game_->setEnabled(game_found);
    game_found_ = game_found;
    // What was not found beside the parts may be in the game.
    if (!character_.HasRig() && character_.skeleton_kind() != SkeletonKind::File) character_.FindSkeletonAgain();
    character_.SetTone(character_.tone());
    character_panel_->Refresh();
    preview_->CharacterChanged(true);
    CharacterPosed();
    if (!game_found)
      statusBar()->showMessage(QStringLiteral("No game was found in %1: %2").arg(folder, kNoGameFiles));
    else
      statusBar()->showMessage(
          QStringLiteral("Game folder %1: %2 files").arg(folder).arg(files) +
          (problems.isEmpty() ? QString() : QStringLiteral("; not read: ") + problems.front()));
  });
  const QString kept = GameFolder::Remembered();
  if (!kept.isEmpty()) game_->Index(kept);
}

void frmMain::ChooseGameFolder() {
  const QString folder = QFileDialog::getExistingDirectory(this, "Choose the Game's Install Folder",
                                                           game_->folder());
  if (!folder.isEmpty()) game_->Index(folder);
}

void frmMain::OpenFromGame() {
  if (!game_->index()) return;
  if (!game_dialog_) game_dialog_ = new frmOpenFromGame(this);
  game_dialog_->SetNames(game_->names());
  if (game_dialog_->exec() != QDialog::Accepted) return;
  OpenGameFile(game_dialog_->Chosen());
}

void frmMain::OpenGameFile(const std::string& name) {
  const auto path = game_->index() ? game_->index()->Find(name) : std::nullopt;
  if (path) OpenFound(*path);
}

void frmMain::OpenFound(const std::string& path) {
  const std::string ext = ExtensionOf(path);
  if (ext == "skn" || ext == "bmf") {
    OpenPath(path);  // an archive member is a read-only source: Save As asks where to write
    return;
  }
  // A character file: suits are parts, a skeleton the skeleton, skills played.
  try {
    const CharacterFile file = ReadCharacterFile(path);
    character_panel_->show();
    if (!file.suits.empty()) {
      character_panel_->AddPartFrom(path);
    } else if (!file.skeletons.empty()) {
      character_panel_->ChooseSkeleton(SkeletonKind::File, path);
    } else if (!file.skills.empty()) {
      character_panel_->PlaySkillsOf(path);
    }
  } catch (const Failure& failure) {
    statusBar()->showMessage(QString::fromStdString(failure.detail()));
  }
}

}  // namespace mervane
