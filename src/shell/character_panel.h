#pragma once

#include <QDockWidget>
#include <QElapsedTimer>
#include <QTimer>
#include <string>
#include <vector>

#include "scene/character_scene.h"
#include "shell/file_chooser.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;

namespace mervane {

// The Character panel: the skeleton, the parts shown with the loaded
// model, their skin tone, and the skill playing. It changes the scene it is
// given and says so; the window redraws. Failures are status lines and a
// mark on the part, never a message box.
class CharacterPanel : public QDockWidget {
  Q_OBJECT

 public:
  CharacterPanel(CharacterScene& scene, FileChooser& chooser, QWidget* parent = nullptr);

  // After the scene changed from outside (a model was opened): lists anew.
  void Refresh();

  // What the buttons do, callable by the window and by tests.
  void AddPartFrom(const std::string& path);
  // The image at path on the loaded model's part, as its chosen bitmap
  // (View > Texture and a dropped image, which the character view draws).
  void ShowModelBitmap(const std::string& path);
  // The outfit just published as these files (suit first), read from
  // where they were written, in place of the loaded model (listed still,
  // unticked), in tone. A part read from the same files before goes.
  void ShowPublished(const std::vector<std::string>& written, SkinTone tone);
  void AcceptOffer();
  // The selected part drawn with the game's bitmap of that name (a loose
  // file or an archive member), as Bitmap… > From the Game… does.
  void ChooseGameBitmapNamed(const std::string& name);
  // The selected part drawn with one of its offered textures.
  void ChooseTexture(const QString& texture);
  void SetTone(SkinTone tone);
  void ChooseSkeleton(SkeletonKind kind, const std::string& file = {});
  // Plays the first listed skill of that name (case ignored); false if none.
  bool SelectSkillNamed(const QString& name);
  // Plays the first skill of the file whose frames are found (else its
  // first, which says why it cannot); false if the file lists none.
  bool PlaySkillsOf(const std::string& file);
  void SetPlaying(bool playing);
  bool Playing() const { return timer_.isActive(); }
  void TogglePlaying() { SetPlaying(!Playing()); }
  void ShowFrame(double frame);
  void SetSpeed(double speed);
  void SetLoop(bool loop);
  void GoToRest();
  // The skills the search leaves, in the list's order.
  QStringList ListedSkills() const;
  void SetSearch(const QString& text);
  bool SeamsOn() const;
  void SetSeams(bool on);
  double SeamDistance() const;

 signals:
  // Parts, bitmaps or skeleton changed: the preview takes the scene anew,
  // framing it again when parts came or went.
  void SceneChanged(bool reframe);
  // Only the frame changed.
  void PoseChanged();
  // A line for the status bar.
  void Status(const QString& text);

 private:
  void Tell(const std::string& status);
  void FillParts();
  void FillSkills();
  void FillSkeleton();
  void FillOffer();
  void FillFrame();
  // Plays skill_entries_[index] and says so in the status bar.
  void PlayEntry(int index);
  void AddPart();
  void RemovePart();
  void ChooseBitmap();
  void ChooseGameBitmap();
  // The selected part's row; -1, saying so, when none is selected.
  int SelectedPartOrSay();
  // Draws the part at row with the image at path, saying drawn when given,
  // or says not_an_image and keeps its bitmap when the file is no image.
  void DrawPartWith(int row, const std::string& path, const QString& not_an_image, const QString& drawn = {});
  // The selected part's offered textures, the one drawn current.
  void FillTextures();
  void Tick();

  CharacterScene& scene_;
  FileChooser& chooser_;
  QComboBox* skeleton_ = nullptr;
  QLabel* skeleton_label_ = nullptr;
  QListWidget* parts_ = nullptr;
  QPushButton* offer_ = nullptr;
  QButtonGroup* tones_ = nullptr;
  QComboBox* texture_ = nullptr;
  QAction* game_bitmap_ = nullptr;
  QLineEdit* search_ = nullptr;
  QListWidget* skills_ = nullptr;
  QPushButton* play_ = nullptr;
  QSlider* slider_ = nullptr;
  QLabel* frame_label_ = nullptr;
  QCheckBox* loop_ = nullptr;
  QComboBox* speed_ = nullptr;
  QCheckBox* seams_ = nullptr;
  QDoubleSpinBox* seam_distance_ = nullptr;
  std::vector<SkillEntry> skill_entries_;
  QTimer timer_;
  QElapsedTimer clock_;
  bool filling_ = false;
};

}  // namespace mervane
