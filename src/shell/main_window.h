#pragma once

#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "model/model.h"
#include "model/prompts.h"
#include "scene/character_scene.h"
#include "shell/file_chooser.h"

class QAction;
class QMenu;
class QProgressBar;

namespace mervane {

class CharacterPanel;
class GameFolder;
class frmOpenFromGame;
class ElidedLabel;
class frmImportOBJ;
class frmWait;
class PreviewWidget;

// The type lists of the file dialogs, in the order users know them.
const FilterList& OpenFilters();
const FilterList& SaveFiltersSkinFirst();
const FilterList& SaveFiltersProjectFirst();

// The short message for a name that no reader or writer handles:
// "File names must end in .spj, .skn or .bmf."
std::string NeedsKnownExtensionMessage();


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
  void SaveAs();
  void ImportObj();
  // View > Texture: any image on the model, for the preview only.
  void ChooseTexture();
  // What File > Open does once it has a path; dropping a file does the same.
  void OpenPath(const std::string& path);
  // Import OBJ with File Name set to path and the name to its base name
  // first (a dropped .obj).
  void ImportObjFrom(const std::string& path);
  // Shows the image at path on the model (a dropped .bmp, View > Texture).
  void ShowTextureFrom(const std::string& path);
  // File > Game Folder…, File > Open from Game…, and what the latter does
  // with a file name of the game's (see game_window.cpp).
  void ChooseGameFolder();
  void OpenFromGame();
  void OpenGameFile(const std::string& name);
  GameFolder* game_folder() const { return game_; }
  // File > Export Character…: the shown parts on their skeleton, with the
  // skill playing, as one .glb.
  void ExportCharacter();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void ShowWait();
  void HideWait();
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
  void ShowCharacterModel(const std::string& path);
  void CharacterPosed();
  void SetUpGameFolder(QMenu* file, QAction* before);

  SkinModel model_;
  CharacterScene character_;

  std::unique_ptr<FileChooser> own_chooser_;
  std::unique_ptr<Prompts> own_prompts_;
  FileChooser* chooser_;
  Prompts* prompts_;

  ElidedLabel* label2_ = nullptr;
  QAction* save_ = nullptr;
  QAction* texture_ = nullptr;
  PreviewWidget* preview_ = nullptr;
  frmWait* wait_ = nullptr;            // made on first use, then shown and hidden
  frmImportOBJ* import_ = nullptr;     // likewise, keeping its fields
  CharacterPanel* character_panel_ = nullptr;
  QAction* seams_ = nullptr;
  GameFolder* game_ = nullptr;
  QAction* open_from_game_ = nullptr;
  QProgressBar* indexing_ = nullptr;
  frmOpenFromGame* game_dialog_ = nullptr;
};

}  // namespace mervane
