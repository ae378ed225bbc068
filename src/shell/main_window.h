#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "formats/formats.h"
#include "model/model.h"
#include "model/prompts.h"
#include "scene/character_scene.h"
#include "shell/file_chooser.h"

class QAction;
class QMenu;
class QProgressBar;
class QSplitter;

namespace mervane {

class CharacterPanel;
class FileFollower;
class GameFolder;
class frmOpenFromGame;
class frmPublish;
class frmCheck;
class ElidedLabel;
class frmImportOBJ;
class frmWait;
class PreviewWidget;
class UvLayoutView;

// The type lists of the file dialogs, in the order users know them.
const FilterList& OpenFilters();
const FilterList& SaveFiltersSkinFirst();
const FilterList& SaveFiltersProjectFirst();

// The short message for a name that no reader or writer handles:
// "File names must end in .spj, .skn or .bmf."
std::string NeedsKnownExtensionMessage();


// What Help > About says: version, Qt version, licence.
QString AboutText();

// The question before replacing files: "body.obj already exists." or
// "body.obj and body.mtl already exist.", then "Do you want to replace
// it?" (or "them?").
std::string ReplaceQuestion(const std::vector<std::string>& existing);

// The program's one main window: it shows which file is open and turns each
// File menu command into one call of a reader or writer. It owns the model.
class frmMain : public QMainWindow {
  Q_OBJECT

 public:
  // command_path is waiting for the first Open. chooser and prompts may be
  // given (tests do); otherwise the window makes its own dialogs.
  explicit frmMain(const std::string& command_path, FileChooser* chooser = nullptr,
                   Prompts* prompts = nullptr);
  ~frmMain() override;

  const SkinModel& model() const { return model_; }
  PreviewWidget* preview() const { return preview_; }
  CharacterPanel* character_panel() const { return character_panel_; }
  const CharacterScene& character() const { return character_; }

  void Open();
  // File > Save: the current file, in its own format, without a question;
  // Save As when there is none (an imported part).
  void Save();
  // True when the model was written.
  bool SaveAs();
  void ImportObj();
  // View > Texture: any image on the model, for the preview only.
  void ChooseTexture();
  // What File > Open does once it has a path; dropping a file does the same.
  void OpenPath(const std::string& path);
  // Import OBJ with File Name set to path and the name to its base name
  // first (a dropped .obj).
  void ImportObjFrom(const std::string& path);
  // Shows the image at path on the model (a dropped image, View > Texture).
  void ShowTextureFrom(const std::string& path);
  // File > Game Folder…, File > Open from Game…, and what the latter does
  // with a file name of the game's (see game_window.cpp).
  void ChooseGameFolder();
  void OpenFromGame();
  void OpenGameFile(const std::string& name);
  GameFolder* game_folder() const { return game_; }
  // File > Publish to Game… and File > Check Game Folder… (see
  // publish_window.cpp), and what a finding's file opens as: a mesh the
  // model, a suit parts, a bitmap on the model.
  void PublishToGame();
  void CheckGameFolder();
  void OpenCheckedFile(const std::string& path);
  // File > Export Character…: the shown parts on their skeleton, with the
  // skill playing, as one .glb.
  void ExportCharacter();
  // File > Export Skills…: the loaded glTF's animations (or a chosen one's)
  // as a skill file with its frames.
  void ExportSkills();
  // File > Export Texture Template…: the model and the other shown parts'
  // faces over the bitmap the model is drawn with, as a PNG.
  void ExportTemplate();
  // View > UV Layout: the template of what is shown, beside the 3-D view
  // (see uv_layout_window.cpp).
  UvLayoutView* uv_layout() const { return uv_layout_; }
  // View > Follow Files on Disk: the files shown, which are read again when
  // another program saves them.
  FileFollower* follower() const { return follower_; }
  QStringList ShownFiles() const;
  // The files of File > Recent Files, the newest first.
  QStringList RecentFiles() const { return recent_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 signals:
  // The followed files that changed were read again (or gave up: the status
  // bar says why).
  void FollowedFilesReloaded();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void ShowWait();
  void HideWait();
  // Before the model is replaced or the window closes: an imported part
  // that is on no disk yet is offered for saving. False: the user cancelled.
  bool MayDropModel();
  bool SaveTo(const std::string& path, bool ask_before_replacing);
  // The file now shown (read, imported or saved) and the label naming it.
  void SetCurrentFile(const std::string& path);
  void Remember(const std::string& path);  // Recent Files
  void FillRecentMenu();
  void ReadSettings();
  void WriteSettings() const;
  void ShowAbout();
  void TellNeedsSkinOrProject(const std::string& path, const char* what_happened);
  void ImportWithDialog();
  // Save As and View > Texture need a model.
  void UpdateActions();
  // The file dialogs start where the user last was.
  void Used(const std::string& path);
  // Shows the model after a read (framing it), or the empty view when the
  // model has been emptied.
  void ShowModelIn(const std::string& folder);
  // The character view: its panel and menu items, and the loaded model
  // put into it after each read from path (see character_window.cpp).
  void SetUpCharacterView(QMenu* file, QMenu* view);
  // View > Game Pose and View > Modelling Pose (see pose_window.cpp); the
  // status line says why when the window switches by itself.
  void SetUpPoseChoice(QMenu* view);
  void ShowPose(ViewPose pose, const QString& status = {});
  void ShowCharacterModel(const std::string& path);
  void CharacterPosed();
  void SetUpGameFolder(QMenu* file, QAction* before);
  void SetUpPublishing(QMenu* file, QAction* before);
  // A file of the game's or of a folder of skins, by what it is: a mesh is
  // opened, a suit added as parts, a skeleton chosen, a skill played.
  void OpenFound(const std::string& path);
  // See follow_window.cpp.
  void SetUpFollowing(QMenu* view);
  void FollowShownFiles();
  // Reads the changed files again, keeping the camera, the frame and the
  // panel; a file caught half-written is tried again a little later.
  void ReloadFollowed(const QStringList& changed, int attempt);

  // What a texture template of the window shows: the model as it is in
  // memory, then the other shown parts that wear its bitmap; each mesh's
  // part in the scene (-1 for a model the scene lacks), the bitmap the
  // model wears there, and how many shown parts wear another.
  struct TemplateMeshes {
    std::vector<SkinMesh> meshes;
    std::vector<int> parts;
    std::string bitmap;
    int elsewhere = 0;
  };
  // Failure for a model that cannot be read as numbers.
  TemplateMeshes ShownTemplateMeshes() const;
  // The bitmap the model is drawn with, or none; Failure when it does not read.
  std::optional<Image> TemplateGround(const TemplateMeshes& shown) const;
  // Its item goes into view before the given one.
  void SetUpUvLayout(QMenu* view, QAction* before, QSplitter* beside);
  // Draws the template anew (a model, tone, bitmap or part changed), while
  // the view is on.
  void RefreshUvLayout();

  SkinModel model_;
  CharacterScene character_;

  std::unique_ptr<FileChooser> own_chooser_;
  std::unique_ptr<Prompts> own_prompts_;
  FileChooser* chooser_;
  Prompts* prompts_;

  // The file the model was read from or last saved to; empty after an
  // import until the part is saved.
  std::string current_path_;
  bool unsaved_part_ = false;
  QStringList recent_;
  // The bitmap the preview draws on the model, and whether the user chose
  // it (View > Texture) rather than the model naming it.
  std::string texture_path_;
  bool texture_chosen_ = false;
  FileFollower* follower_ = nullptr;
  QAction* follow_ = nullptr;

  ElidedLabel* label2_ = nullptr;
  QAction* save_ = nullptr;
  QAction* save_file_ = nullptr;
  QMenu* recent_menu_ = nullptr;
  QAction* texture_ = nullptr;
  PreviewWidget* preview_ = nullptr;
  UvLayoutView* uv_layout_ = nullptr;
  QAction* uv_layout_action_ = nullptr;
  std::vector<int> uv_parts_;  // TemplateMeshes::parts of the layout shown
  frmWait* wait_ = nullptr;            // made on first use, then shown and hidden
  frmImportOBJ* import_ = nullptr;     // likewise, keeping its fields
  CharacterPanel* character_panel_ = nullptr;
  QAction* seams_ = nullptr;
  QAction* game_pose_ = nullptr;
  QAction* modelling_pose_ = nullptr;
  GameFolder* game_ = nullptr;
  QAction* open_from_game_ = nullptr;
  QProgressBar* indexing_ = nullptr;
  frmOpenFromGame* game_dialog_ = nullptr;
  bool game_found_ = false;            // the last folder indexed holds the game
  QAction* publish_ = nullptr;
  frmPublish* publish_dialog_ = nullptr;
  frmCheck* check_dialog_ = nullptr;
};

}  // namespace mervane
