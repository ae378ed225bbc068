#pragma once

#include <QDialog>
#include <QFrame>
#include <array>
#include <optional>
#include <string>

#include "archive/game_index.h"
#include "character/naming.h"
#include "model/model.h"
#include "model/prompts.h"
#include "publish/check.h"
#include "publish/publish.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace mervane {

class FileChooser;

// One skin tone's image: a thumbnail that takes a dropped image file, a
// button to choose one and one to empty it.
class ToneWell : public QFrame {
  Q_OBJECT

 public:
  // tone names the well ("Light"); empty_text is what it says with no image.
  ToneWell(const QString& tone, const QString& empty_text, QWidget* parent = nullptr);
  // The image at path in the well; empty empties it. False, and the well
  // as it was, for a file that is no image.
  bool SetImage(const std::string& path);
  const std::string& image() const { return path_; }

 signals:
  void Changed();
  void ChooseClicked();
  void Refused(const QString& path);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QLabel* thumbnail_ = nullptr;
  QPushButton* clear_ = nullptr;
  QString empty_text_;
  std::string path_;
};

// File > Publish to Game: the loaded model as a new body or head in the
// game's Skins folder (or a folder chosen), named by the game's rules. The
// fields start from the mesh's name; the files to be written are listed as
// they change. Publish writes and checks them and says what happened; the
// dialog stays open for another texture.
class frmPublish : public QDialog {
  Q_OBJECT

 public:
  frmPublish(FileChooser& chooser, Prompts& prompts, QWidget* parent = nullptr);

  // The model to publish, the game (may be null) and its install folder
  // (empty: none, so a folder is chosen). A model other than the last one
  // given fills kind, gender, age and build from its mesh's name anew.
  void SetModel(const SkinModel& model, const GameIndex* game, const std::string& install);
  // What the wells' buttons and drops do.
  bool SetImage(SkinTone tone, const std::string& path);
  // The request the fields make.
  PublishRequest Request() const;
  // Publishes as the fields say; false when refused (the user was told).
  bool Publish();
  // The tone to show the published outfit in.
  SkinTone ShownTone() const;

 signals:
  void Published(const PublishResult& result, SkinTone tone);

 private:
  // What the user must still choose before anything can be written,
  // "" when nothing.
  std::string Missing(bool for_plan) const;
  void Plan();
  void ChooseImage(SkinTone tone);
  void ChooseFolder();
  void AgeChanged();
  void Report(const std::string& folder, const PublishResult& result, const CheckReport& check);

  FileChooser& chooser_;
  Prompts& prompts_;
  std::optional<SkinModel> model_;
  const GameIndex* game_ = nullptr;
  std::string install_;
  bool filling_ = false;

  QComboBox* kind_ = nullptr;
  QComboBox* gender_ = nullptr;
  QComboBox* age_ = nullptr;
  QComboBox* build_ = nullptr;
  QLineEdit* texture_ = nullptr;
  QLineEdit* mesh_name_ = nullptr;
  QLineEdit* id_ = nullptr;
  QLabel* suit_ = nullptr;
  std::array<ToneWell*, 3> wells_{};
  QComboBox* shown_tone_ = nullptr;
  QRadioButton* to_game_ = nullptr;
  QRadioButton* to_folder_ = nullptr;
  QLineEdit* folder_ = nullptr;
  QCheckBox* replace_ = nullptr;
  QLabel* files_label_ = nullptr;
  QListWidget* files_ = nullptr;
  QLabel* problem_ = nullptr;
  QPlainTextEdit* report_ = nullptr;
};

}  // namespace mervane
