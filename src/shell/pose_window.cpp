// The main window's pose choice: View > Game Pose and View > Modelling Pose.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <memory>

#include "shell/character_panel.h"
#include "shell/main_window.h"
#include "shell/preview_widget.h"
#include "shell/uv_layout_view.h"

namespace mervane {

void frmMain::SetUpPoseChoice(QMenu* view) {
  auto* group = new QActionGroup(this);
  group->setExclusive(true);
  auto add = [&](const char* name, const char* caption, const char* key, const char* tip) {
    auto* action = new QAction(caption, group);
    action->setObjectName(name);
    action->setCheckable(true);
    action->setShortcut(QKeySequence(key));
    action->setStatusTip(tip);
    return action;
  };
  game_pose_ = add("mnuGamePose", "&Game Pose", "G",
                   "Show the model on the game's skeleton, arms down, with the Character panel's parts and skills");
  modelling_pose_ = add("mnuModellingPose", "&Modelling Pose", "M",
                        "Show the model alone as the project's .obj holds it, arms out, as the modeller shows it");
  game_pose_->setChecked(preview_->pose() == ViewPose::Game);
  modelling_pose_->setChecked(preview_->pose() == ViewPose::Modelling);
  // Beside the other ways of looking, before Frame All.
  QAction* before = nullptr;
  for (QAction* action : view->actions())
    if (action->objectName() == "mnuFrameAll") before = action;
  view->insertActions(before, {game_pose_, modelling_pose_});
  view->insertSeparator(before);
  connect(game_pose_, &QAction::triggered, this, [this] { ShowPose(ViewPose::Game); });
  connect(modelling_pose_, &QAction::triggered, this, [this] {
    ShowPose(ViewPose::Modelling,
             character_panel_->Playing() || character_.skill()
                 ? QStringLiteral("Modelling pose: the skill is paused; it plays in the game pose")
                 : QString());
  });

  // The .obj holds one pose and the model alone: a skill, a frame, seams
  // between parts or parts added in the panel mean nothing there. Rather
  // than let the panel change a view nobody sees, the window turns to the
  // game pose and says so. The tone and bitmaps change nothing drawn in
  // the modelling pose, and turn nothing.
  // The panel's own line of the same action (what plays, what was added,
  // or why not) follows the switch's.
  auto said = std::make_shared<QString>();
  connect(character_panel_, &CharacterPanel::Status, this, [this, said](const QString& text) {
    *said = text;
    QTimer::singleShot(0, this, [said] { said->clear(); });
  });
  auto to_game = [this, said](const QString& why) {
    if (preview_->pose() == ViewPose::Modelling) ShowPose(ViewPose::Game, said->isEmpty() ? why : why + ". " + *said);
  };
  connect(character_panel_, &CharacterPanel::PoseChanged, this,
          [to_game] { to_game(QStringLiteral("Game pose: skills and seams are shown on the game's skeleton")); });
  connect(character_panel_, &CharacterPanel::SceneChanged, this, [to_game](bool parts_changed) {
    if (parts_changed) to_game(QStringLiteral("Game pose: the Character panel's parts stand on the game's skeleton"));
  });
}

void frmMain::ShowPose(ViewPose pose, const QString& status) {
  // A skill left playing would turn the view back at its next frame.
  if (pose == ViewPose::Modelling) character_panel_->SetPlaying(false);
  preview_->SetPose(pose);
  // A face picked in one pose names another part's in the other; the
  // layout's bitmap follows what the view draws.
  preview_->HighlightFace(std::nullopt);
  if (uv_layout_) uv_layout_->HighlightFace(std::nullopt);
  RefreshUvLayout();
  (pose == ViewPose::Game ? game_pose_ : modelling_pose_)->setChecked(true);
  if (!status.isEmpty()) statusBar()->showMessage(status);
}

}  // namespace mervane
