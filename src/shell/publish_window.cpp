// The main window's way into the game: File > Publish to Game…, which
// writes the model as a new outfit and shows it in the Character panel, and
// File > Check Game Folder…, whose findings open where they can.
#include <QAction>
#include <QMenu>
#include <QStatusBar>

#include "model/paths.h"
#include "shell/character_panel.h"
#include "shell/check_dialog.h"
#include "shell/game_folder.h"
#include "shell/image_reader.h"
#include "shell/main_window.h"
#include "shell/path_text.h"
#include "shell/preview_widget.h"
#include "shell/publish_dialog.h"

namespace mervane {

void frmMain::SetUpPublishing(QMenu* file, QAction* before) {
  publish_ = new QAction("&Publish to Game\u2026", this);
  publish_->setObjectName("mnuPublish");
  publish_->setStatusTip("Write the model as a new body or head, with its bitmaps in three skin tones, where the game "
                         "offers it");
  connect(publish_, &QAction::triggered, this, &frmMain::PublishToGame);
  auto* check = new QAction("&Check Game Folder\u2026", this);
  check->setObjectName("mnuCheckGame");
  check->setStatusTip("List what the game would not show, or would show wrongly, among its custom skins");
  connect(check, &QAction::triggered, this, &frmMain::CheckGameFolder);
  file->insertAction(before, publish_);
  file->insertAction(before, check);
}

void frmMain::PublishToGame() {
  if (!model_.ModelLoaded) return;
  if (!publish_dialog_) {
    publish_dialog_ = new frmPublish(*chooser_, *prompts_, this);
    connect(publish_dialog_, &frmPublish::Published, this, [this](const PublishResult& result, SkinTone tone) {
      character_panel_->ShowPublished(result.written, tone);
      QString shown;
      // Without a skeleton the panel cannot draw the outfit; its mesh is the
      // model's, so the preview shows the model in the bitmap written.
      const std::string bitmap = character_.parts().empty() ? "" : character_.parts().back().bitmap;
      if (!character_.HasRig() && !bitmap.empty()) {
        preview_->ShowTexture(ReadImage(bitmap));
        shown = QStringLiteral("; the model shows ") + PathToQt(FileNameOf(bitmap)) +
                QStringLiteral(" (no skeleton to show the outfit on)");
      }
      statusBar()->showMessage(QStringLiteral("Published %1: %2 files in %3")
                                   .arg(QString::fromStdString(result.suit))
                                   .arg(result.written.size())
                                   .arg(PathToQt(FolderOf(result.written.front())).chopped(1)) +
                               shown);
    });
  }
  // The game is offered once its index is whole; until then, a folder.
  const bool game = game_found_ && !game_->Indexing();
  publish_dialog_->SetModel(model_, game ? game_->index() : nullptr, game ? PathFromQt(game_->folder()) : "");
  publish_dialog_->exec();
}

void frmMain::CheckGameFolder() {
  const bool game = game_found_ && !game_->Indexing();
  std::string folder;
  if (game) {
    folder = PathFromQt(game_->folder());
  } else if (const auto chosen = chooser_->ChooseFolder("Choose a Folder of Skins to Check")) {
    folder = *chosen;
  }
  if (folder.empty()) return;
  if (!check_dialog_) {
    check_dialog_ = new frmCheck(this);
    connect(check_dialog_, &frmCheck::OpenRequested, this,
            [this](const QString& path) { OpenCheckedFile(PathFromQt(path)); });
  }
  check_dialog_->Check(folder, game ? game_->index() : nullptr);
  check_dialog_->show();
  check_dialog_->raise();
  check_dialog_->activateWindow();
}

void frmMain::OpenCheckedFile(const std::string& path) {
  const std::string ext = ExtensionOf(path);
  if (ext == "bmp") {
    if (model_.ModelLoaded)
      ShowTextureFrom(path);
    else
      statusBar()->showMessage(QString::fromStdString("Open a model to try " + FileNameOf(path) + " on it"));
  } else if (ext == "skn" || ext == "bmf" || ext == "cmx" || ext == "bcf") {
    OpenFound(path);
  } else {
    statusBar()->showMessage(QString::fromStdString(FileNameOf(path) + " is no file Mervane opens"));
  }
}

}  // namespace mervane
