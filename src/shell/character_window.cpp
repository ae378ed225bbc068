// The main window's character view: the Character panel, its menu items,
// and the loaded model put into the scene after each read.
#include <QAction>
#include <QMenu>
#include <QSignalBlocker>
#include <QStatusBar>

#include "character/lookup.h"
#include "files/textfile.h"
#include "formats/formats.h"
#include "gltf/glb.h"
#include "model/failure.h"
#include "model/paths.h"
#include "shell/character_panel.h"
#include "shell/character_renderer.h"
#include "shell/main_window.h"
#include "shell/path_text.h"
#include "shell/preview_widget.h"
#include "shell/settings.h"

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
  connect(panel, &QAction::triggered, this, [](bool on) { Settings().setValue(kPanelSetting, on); });
  const QVariant kept = Settings().value(kPanelSetting);
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

  // The game folder's items and the export go before Exit.
  QAction* exit = nullptr;
  for (QAction* action : file->actions())
    if (action->objectName() == "mnuSep") exit = action;
  SetUpGameFolder(file, exit);
  SetUpPublishing(file, exit);
  auto* export_character = new QAction("&Export Character\u2026", this);
  export_character->setObjectName("mnuExportCharacter");
  export_character->setStatusTip("Write the shown parts on their skeleton, with the skill playing, as one .glb");
  connect(export_character, &QAction::triggered, this, &frmMain::ExportCharacter);
  file->insertAction(exit, export_character);
  auto* export_skills = new QAction("Export S&kills\u2026", this);
  export_skills->setObjectName("mnuExportSkills");
  export_skills->setStatusTip("Write a glTF's animations as the game's skills: a .cmx and a .cfp for each");
  connect(export_skills, &QAction::triggered, this, &frmMain::ExportSkills);
  file->insertAction(exit, export_skills);
  auto* export_template = new QAction("Export &Texture Template\u2026", this);
  export_template->setObjectName("mnuExportTemplate");
  export_template->setStatusTip("Write where the shown parts' faces lie on the model's bitmap, as a PNG to paint by");
  connect(export_template, &QAction::triggered, this, &frmMain::ExportTemplate);
  file->insertAction(exit, export_template);
}

void frmMain::ShowCharacterModel(const std::string& path) {
  if (model_.ModelLoaded) {
    character_.SetModel(model_, path);
    // A glTF's other meshes come in beside it, for looking.
    if (IsRiggedPath(path)) character_.AddPart(path, model_.MeshName);
  } else
    character_.ClearModel();
  character_panel_->Refresh();
  preview_->CharacterChanged(true);
  CharacterPosed();
  // A lone skin with no skeleton or bitmap beside it is the usual case: the
  // panel says so. Only a bone the skeleton lacks is worth a line here.
  const ScenePart* model = character_.parts().empty() ? nullptr : &character_.parts().front();
  if (model && model->is_model && model->mesh && !model->problem.empty())
    statusBar()->showMessage(QString::fromStdString(model->label + ": " + model->problem));
  else if (model && model->is_model && preview_->DrawsCharacter() && !model->bitmap.empty())
    statusBar()->clearMessage();  // the bitmap of the skin's tone is shown, whatever its texture name says
  RefreshUvLayout();
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

namespace mervane {

void frmMain::ExportCharacter() {
  if (!character_.HasRig()) {
    statusBar()->showMessage("Export Character needs a skeleton: choose one in the Character panel");
    return;
  }
  static const FilterList filters{{"glTF Binary (*.glb)", "*.glb"}, {"All files (*.*)", "*"}};
  const std::string proposed = model_.ModelLoaded ? model_.MeshName + ".glb" : "character.glb";
  const auto choice = chooser_->ChooseSave("Export the Character As glTF", filters, proposed, true);
  if (!choice || choice->path.empty()) return;
  std::string path = choice->path;
  if (ExtensionOf(path).empty()) path += ".glb";
  try {
    // The shown parts as drawn: each mesh read again (the loaded model as it
    // is in memory), with the bitmap it is drawn with.
    std::vector<SkinModel> models;
    std::vector<std::string> pngs;
    for (const ScenePart& part : character_.parts()) {
      if (!part.shown || !part.dressed) continue;
      models.push_back(part.is_model ? model_ : ReadMeshFile(part.source));
      std::string png;
      try {
        if (!part.bitmap.empty()) png = BitmapPng(part.bitmap);
      } catch (const Failure&) {
        // A bitmap the view could not show either: the part goes untextured.
      }
      pngs.push_back(std::move(png));
    }
    std::vector<Animation> animations;
    if (character_.animation()) animations.push_back(*character_.animation());
    const std::string bytes = GlbBytes(character_.rig(), models, pngs, animations);
    WriteFileAtomically(path, bytes);
    Used(path);
    statusBar()->showMessage(QStringLiteral("Exported %1 part%2%3 to %4")
                                 .arg(models.size())
                                 .arg(models.size() == 1 ? "" : "s")
                                 .arg(animations.empty() ? QString()
                                                         : QStringLiteral(" and ") +
                                                               QString::fromStdString(animations.front().name))
                                 .arg(QString::fromStdString(FileNameOf(path))));
  } catch (const Failure& failure) {
    prompts_->ShowMessage("The character could not be exported.", failure.detail());
  }
}

}  // namespace mervane
