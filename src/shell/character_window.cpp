// The main window's character view: the Character panel, its menu items,
// and the loaded model put into the scene after each read.
#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>

#include "shell/character_panel.h"
#include "shell/main_window.h"
#include "shell/preview_widget.h"

namespace mervane {
namespace {

constexpr const char* kPanelSetting = "character/panel";

}  // namespace

void frmMain::SetUpCharacterView(QMenu* file, QMenu* view) {
  character_panel_ = new CharacterPanel(character_, *chooser_, this);
  addDockWidget(Qt::RightDockWidgetArea, character_panel_);
  view->addSeparator();
  QAction* panel = character_panel_->toggleViewAction();
  panel->setObjectName("mnuCharacterPanel");
  panel->setText("&Character Panel");
  panel->setStatusTip("Show the model with other parts on the game's skeleton, animated");
  view->addAction(panel);
  // Only the user's choice is kept: the panel also hides while the window closes.
  connect(panel, &QAction::triggered, this, [](bool on) { QSettings().setValue(kPanelSetting, on); });
  const QVariant kept = QSettings().value(kPanelSetting);
  character_panel_->setVisible(!kept.canConvert<bool>() || kept.toBool());

  seams_ = view->addAction("S&eams");
  seams_->setObjectName("mnuSeams");
  seams_->setCheckable(true);
  seams_->setStatusTip("Mark where the parts' open edges gape, at the frame shown");
  connect(seams_, &QAction::toggled, character_panel_, &CharacterPanel::SetSeams);
  QAction* play = view->addAction("&Play/Pause");
  play->setObjectName("mnuPlay");
  play->setShortcut(QKeySequence(Qt::Key_Space));
  play->setStatusTip("Play or pause the skill chosen in the Character panel");
  connect(play, &QAction::triggered, character_panel_, &CharacterPanel::TogglePlaying);

  connect(character_panel_, &CharacterPanel::SceneChanged, this, [this](bool reframe) {
    preview_->CharacterChanged(reframe);
    CharacterPosed();
  });
  connect(character_panel_, &CharacterPanel::PoseChanged, this, &frmMain::CharacterPosed);
  connect(character_panel_, &CharacterPanel::Status, this,
          [this](const QString& text) { statusBar()->showMessage(text); });
  preview_->SetCharacter(&character_);

  // The game folder's items go before Exit.
  QAction* exit = nullptr;
  for (QAction* action : file->actions())
    if (action->objectName() == "mnuSep") exit = action;
  SetUpGameFolder(file, exit);
}

void frmMain::ShowCharacterModel(const std::string& path) {
  if (model_.ModelLoaded)
    character_.SetModel(model_, path);
  else
    character_.ClearModel();
  character_panel_->Refresh();
  preview_->CharacterChanged(true);
  CharacterPosed();
  // A lone skin with no skeleton or bitmap beside it is the usual case: the
  // panel says so. Only a bone the skeleton lacks is worth a line here.
  const ScenePart* model = character_.parts().empty() ? nullptr : &character_.parts().front();
  if (model && model->is_model && model->mesh && !model->problem.empty())
    statusBar()->showMessage(QString::fromStdString(model->label + ": " + model->problem));
}

void frmMain::CharacterPosed() {
  {
    const QSignalBlocker quiet(seams_);
    seams_->setChecked(character_panel_->SeamsOn());
  }
  preview_->CharacterPosed(character_panel_->SeamsOn()
                               ? std::optional<float>(static_cast<float>(character_panel_->SeamDistance()))
                               : std::nullopt);
}

}  // namespace mervane
