#include "shell/character_panel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "model/paths.h"
#include "shell/game_dialog.h"
#include "shell/image_reader.h"

namespace mervane {
namespace {

const FilterList& PartFilters() {
  static const FilterList filters{{"Meshes and Suits (*.skn *.bmf *.glb *.gltf *.cmx *.bcf)",
                                   "*.skn *.bmf *.glb *.gltf *.cmx *.bcf"},
                                  {"Skins (*.skn)", "*.skn"},
                                  {"Binary Meshes (*.bmf)", "*.bmf"},
                                  {"glTF (*.glb *.gltf)", "*.glb *.gltf"},
                                  {"Suits and Skeletons (*.cmx *.bcf)", "*.cmx *.bcf"},
                                  {"All files (*.*)", "*"}};
  return filters;
}

const FilterList& SkeletonFilters() {
  static const FilterList filters{{"Skeletons (*.cmx *.bcf)", "*.cmx *.bcf"}, {"All files (*.*)", "*"}};
  return filters;
}

const FilterList& BitmapFilters() {
  static const FilterList filters{{"Bitmaps (*.bmp)", "*.bmp"}, {"All files (*.*)", "*"}};
  return filters;
}

struct Speed {
  const char* caption;
  double factor;
};
constexpr Speed kSpeeds[] = {{"\u00bc\u00d7", 0.25}, {"\u00bd\u00d7", 0.5}, {"1\u00d7", 1.0}, {"2\u00d7", 2.0}};

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CharacterPanel::CharacterPanel(CharacterScene& scene, FileChooser& chooser, QWidget* parent)
    : QDockWidget("Character", parent), scene_(scene), chooser_(chooser) {
  setObjectName("CharacterPanel");
  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);

  auto* skeleton_row = new QHBoxLayout;
  skeleton_row->addWidget(new QLabel("Skeleton:", body));
  skeleton_ = new QComboBox(body);
  skeleton_->setObjectName("cmbSkeleton");
  skeleton_->addItems({"Adult", "Child", "From a File\u2026"});
  skeleton_row->addWidget(skeleton_, 1);
  layout->addLayout(skeleton_row);
  skeleton_label_ = new QLabel(body);
  skeleton_label_->setObjectName("lblSkeleton");
  skeleton_label_->setWordWrap(true);
  layout->addWidget(skeleton_label_);
  connect(skeleton_, &QComboBox::activated, this, [this](int index) {
    if (index == 2) {
      if (auto choice = chooser_.ChooseOpen("Choose the Skeleton", SkeletonFilters())) ChooseSkeleton(SkeletonKind::File, choice->path);
      FillSkeleton();
    } else {
      ChooseSkeleton(index == 0 ? SkeletonKind::Adult : SkeletonKind::Child);
    }
  });

  layout->addWidget(new QLabel("Parts:", body));
  parts_ = new QListWidget(body);
  parts_->setObjectName("lstParts");
  parts_->setMinimumHeight(90);
  layout->addWidget(parts_, 1);
  connect(parts_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (filling_) return;
    scene_.SetShown(parts_->row(item), item->checkState() == Qt::Checked);
    emit SceneChanged(false);
  });
  auto* part_row = new QHBoxLayout;
  auto* add = new QPushButton("Add Part\u2026", body);
  add->setObjectName("cmdAddPart");
  add->setToolTip("Show another mesh (.skn, .bmf) or suit (.cmx, .bcf) with the model, for looking only");
  auto* remove = new QPushButton("Remove", body);
  remove->setObjectName("cmdRemovePart");
  auto* bitmap = new QPushButton("Bitmap\u2026", body);
  bitmap->setObjectName("cmdPartBitmap");
  bitmap->setToolTip("Draw the selected part with a bitmap of your choice; the skin tone then leaves it");
  auto* bitmap_menu = new QMenu(bitmap);
  auto* from_file = bitmap_menu->addAction("From a File\u2026");
  from_file->setObjectName("mnuBitmapFromFile");
  game_bitmap_ = bitmap_menu->addAction("From the Game\u2026");
  game_bitmap_->setObjectName("mnuBitmapFromGame");
  game_bitmap_->setToolTip("Any bitmap of the game folder, loose or inside its archives");
  bitmap->setMenu(bitmap_menu);
  connect(bitmap_menu, &QMenu::aboutToShow, this, [this] { game_bitmap_->setEnabled(scene_.HasGame()); });
  part_row->addWidget(add);
  part_row->addWidget(remove);
  part_row->addWidget(bitmap);
  layout->addLayout(part_row);
  connect(add, &QPushButton::clicked, this, &CharacterPanel::AddPart);
  connect(remove, &QPushButton::clicked, this, &CharacterPanel::RemovePart);
  connect(from_file, &QAction::triggered, this, &CharacterPanel::ChooseBitmap);
  connect(game_bitmap_, &QAction::triggered, this, &CharacterPanel::ChooseGameBitmap);
  auto* texture_row = new QHBoxLayout;
  texture_row->addWidget(new QLabel("Texture:", body));
  texture_ = new QComboBox(body);
  texture_->setObjectName("cmbPartTexture");
  texture_->setToolTip("The bitmaps the game pairs with the selected part in this tone, by their names");
  texture_row->addWidget(texture_, 1);
  layout->addLayout(texture_row);
  connect(parts_, &QListWidget::currentRowChanged, this, &CharacterPanel::FillTextures);
  connect(texture_, &QComboBox::activated, this, [this](int index) { ChooseTexture(texture_->itemText(index)); });
  offer_ = new QPushButton(body);
  offer_->setObjectName("cmdAddHeadHands");
  offer_->hide();
  layout->addWidget(offer_);
  connect(offer_, &QPushButton::clicked, this, &CharacterPanel::AcceptOffer);

  auto* tone_row = new QHBoxLayout;
  tone_row->addWidget(new QLabel("Skin tone:", body));
  tones_ = new QButtonGroup(this);
  const char* tone_names[] = {"Light", "Medium", "Dark"};
  for (int k = 0; k < 3; ++k) {
    auto* button = new QRadioButton(tone_names[k], body);
    button->setObjectName(QStringLiteral("optTone%1").arg(tone_names[k]));
    tones_->addButton(button, k);
    tone_row->addWidget(button);
  }
  tone_row->addStretch();
  layout->addLayout(tone_row);
  connect(tones_, &QButtonGroup::idClicked, this, [this](int id) { SetTone(static_cast<SkinTone>(id)); });

  auto* animation = new QGroupBox("Animation", body);
  auto* anim = new QVBoxLayout(animation);
  search_ = new QLineEdit(animation);
  search_->setObjectName("txtSkillSearch");
  search_->setPlaceholderText("Search skills");
  search_->setClearButtonEnabled(true);
  anim->addWidget(search_);
  skills_ = new QListWidget(animation);
  skills_->setObjectName("lstSkills");
  skills_->setMinimumHeight(80);
  anim->addWidget(skills_, 1);
  connect(search_, &QLineEdit::textChanged, this, [this] { FillSkills(); });
  // One click plays a skill, as Enter or a double click does.
  const auto play_item = [this](QListWidgetItem* item) { PlayEntry(item->data(Qt::UserRole).toInt()); };
  connect(skills_, &QListWidget::itemActivated, this, play_item);
  connect(skills_, &QListWidget::itemClicked, this, play_item);
  auto* controls = new QHBoxLayout;
  play_ = new QPushButton(animation);
  play_->setObjectName("cmdPlay");
  play_->setToolTip("Play or pause the skill (Space)");
  auto* rest = new QPushButton("Rest Pose", animation);
  rest->setObjectName("cmdRestPose");
  loop_ = new QCheckBox("Loop", animation);
  loop_->setObjectName("chkLoop");
  loop_->setChecked(true);
  speed_ = new QComboBox(animation);
  speed_->setObjectName("cmbSpeed");
  for (const Speed& speed : kSpeeds) speed_->addItem(QString::fromUtf8(speed.caption), speed.factor);
  speed_->setCurrentIndex(2);
  speed_->setToolTip("Playing speed");
  controls->addWidget(play_);
  controls->addWidget(rest);
  controls->addWidget(loop_);
  controls->addWidget(speed_);
  anim->addLayout(controls);
  slider_ = new QSlider(Qt::Horizontal, animation);
  slider_->setObjectName("sldFrame");
  anim->addWidget(slider_);
  frame_label_ = new QLabel(animation);
  frame_label_->setObjectName("lblFrame");
  anim->addWidget(frame_label_);
  layout->addWidget(animation, 2);
  connect(play_, &QPushButton::clicked, this, &CharacterPanel::TogglePlaying);
  connect(rest, &QPushButton::clicked, this, &CharacterPanel::GoToRest);
  connect(slider_, &QSlider::valueChanged, this, [this](int value) {
    if (!filling_) ShowFrame(value);
  });

  auto* seam_row = new QHBoxLayout;
  seams_ = new QCheckBox("Seams farther than", body);
  seams_->setObjectName("chkSeams");
  seams_->setToolTip("Mark the open edges of each part that no other part's open edge comes near, at this frame");
  seam_distance_ = new QDoubleSpinBox(body);
  seam_distance_->setObjectName("spnSeamDistance");
  seam_distance_->setDecimals(3);
  seam_distance_->setRange(0.0, 1.0);
  seam_distance_->setSingleStep(0.005);
  seam_distance_->setValue(0.01);
  seam_row->addWidget(seams_);
  seam_row->addWidget(seam_distance_);
  seam_row->addStretch();
  layout->addLayout(seam_row);
  connect(seams_, &QCheckBox::toggled, this, [this] { emit PoseChanged(); });
  connect(seam_distance_, &QDoubleSpinBox::valueChanged, this, [this] {
    if (SeamsOn()) emit PoseChanged();
  });

  setWidget(body);
  timer_.setInterval(15);
  connect(&timer_, &QTimer::timeout, this, &CharacterPanel::Tick);
  Refresh();
}

void CharacterPanel::Tell(const std::string& status) {
  if (!status.empty()) emit Status(Q(status));
}

void CharacterPanel::Refresh() {
  FillSkeleton();
  FillParts();
  FillOffer();
  FillSkills();
  FillFrame();
}

void CharacterPanel::FillSkeleton() {
  filling_ = true;
  skeleton_->setCurrentIndex(static_cast<int>(scene_.skeleton_kind()));
  filling_ = false;
  const std::string& problem = scene_.skeleton_problem();
  if (!problem.empty()) {
    skeleton_label_->setText(QStringLiteral("\u26a0 ") + Q(problem));
    skeleton_label_->setStyleSheet("color: #b03020");
  } else {
    skeleton_label_->setText(scene_.HasRig() ? Q(FileNameOf(scene_.skeleton_file())) +
                                                   QStringLiteral(", %1 bones").arg(scene_.rig().size())
                                             : QStringLiteral("Open a model to find its skeleton"));
    skeleton_label_->setStyleSheet({});
  }
  skeleton_label_->setToolTip(Q(scene_.skeleton_file()));
}

void CharacterPanel::FillParts() {
  filling_ = true;
  const int selected = parts_->currentRow();
  parts_->clear();
  for (const ScenePart& part : scene_.parts()) {
    const std::string& problem = !part.problem.empty() ? part.problem : part.bitmap_problem;
    auto* item = new QListWidgetItem(Q(part.label) + (part.is_model ? QStringLiteral(" (model)") : QString()), parts_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(part.shown ? Qt::Checked : Qt::Unchecked);
    QFont font = item->font();
    font.setBold(part.is_model);
    item->setFont(font);
    QString tip = Q(part.source);
    tip += QStringLiteral("\nBitmap: ") + (part.bitmap.empty() ? QStringLiteral("none") : Q(part.bitmap)) +
           (part.bitmap_chosen ? QStringLiteral(" (chosen)") : QString());
    if (!problem.empty()) {
      item->setIcon(style()->standardIcon(part.problem.empty() ? QStyle::SP_MessageBoxInformation
                                                               : QStyle::SP_MessageBoxWarning));
      tip += QStringLiteral("\n") + Q(problem);
    }
    item->setToolTip(tip);
  }
  if (selected >= 0 && selected < parts_->count()) parts_->setCurrentRow(selected);
  filling_ = false;
  FillTextures();
  if (auto* button = tones_->button(static_cast<int>(scene_.tone()))) button->setChecked(true);
}

void CharacterPanel::FillOffer() {
  const auto offer = scene_.Offer();
  if (!offer) {
    offer_->hide();
    return;
  }
  QStringList names;
  for (const std::string* name : {&offer->head, &offer->left_hand, &offer->right_hand})
    if (!name->empty()) names << Q(FileNameOf(*name));
  offer_->setText(QStringLiteral("Add Head and Hands"));
  offer_->setToolTip(QStringLiteral("Show the head and hands made for this body with it: ") + names.join(", "));
  offer_->show();
}

void CharacterPanel::FillSkills() {
  const QString wanted = search_->text().trimmed();
  skill_entries_ = scene_.FindSkills();
  skills_->clear();
  for (std::size_t k = 0; k < skill_entries_.size(); ++k) {
    const SkillEntry& entry = skill_entries_[k];
    // Many files hold skills of one name: the file tells them apart.
    const QString text = Q(entry.name) + QStringLiteral(" \u2014 ") + Q(FileNameOf(entry.file));
    if (!wanted.isEmpty() && !text.contains(wanted, Qt::CaseInsensitive)) continue;
    auto* item = new QListWidgetItem(text, skills_);
    item->setData(Qt::UserRole, static_cast<int>(k));
    if (entry.missing.empty()) {
      item->setToolTip(Q(entry.file));
    } else {
      item->setForeground(skills_->palette().brush(QPalette::Disabled, QPalette::Text));
      item->setToolTip(Q(entry.file + ": " + entry.missing));
    }
  }
}

void CharacterPanel::PlayEntry(int index) {
  if (index < 0 || index >= static_cast<int>(skill_entries_.size())) return;
  const SkillEntry& entry = skill_entries_[static_cast<std::size_t>(index)];
  const std::string status = scene_.SelectSkill(entry);
  // A line either way, so that an earlier failure does not stay up.
  emit Status(status.empty() ? QStringLiteral("Playing ") + Q(entry.name) + QStringLiteral(" from ") +
                                   Q(FileNameOf(entry.file))
                             : Q(status));
  for (int row = 0; row < skills_->count(); ++row)
    if (skills_->item(row)->data(Qt::UserRole).toInt() == index) skills_->setCurrentRow(row);
  FillFrame();
  emit PoseChanged();
  SetPlaying(scene_.animation().has_value());
}

void CharacterPanel::FillFrame() {
  const int count = scene_.frame_count();
  filling_ = true;
  slider_->setEnabled(count > 1);
  slider_->setRange(0, std::max(0, count - 1));
  slider_->setValue(static_cast<int>(std::lround(scene_.frame())));
  filling_ = false;
  play_->setEnabled(count > 1);
  play_->setText(Playing() ? "Pause" : "Play");
  if (!scene_.animation()) {
    frame_label_->setText("Rest pose");
    return;
  }
  const double frame = scene_.frame();
  frame_label_->setText(QStringLiteral("%1: frame %2 of %3, %4 s")
                            .arg(Q(scene_.animation()->name))
                            .arg(static_cast<int>(std::lround(frame)))
                            .arg(count)
                            .arg(frame / kFramesPerSecond, 0, 'f', 2));
}

void CharacterPanel::AddPart() {
  const auto choice = chooser_.ChooseOpen("Add a Part to the Character", PartFilters());
  if (choice && !choice->path.empty()) AddPartFrom(choice->path);
}

void CharacterPanel::AddPartFrom(const std::string& path) {
  const std::string status = scene_.AddPart(path);
  emit Status(status.empty() ? QStringLiteral("Added ") + Q(FileNameOf(path)) : Q(status));
  Refresh();
  emit SceneChanged(true);
}

void CharacterPanel::ShowPublished(const std::vector<std::string>& written, SkinTone tone) {
  if (written.empty()) return;
  const auto published = [&](const ScenePart& part) {
    return std::any_of(written.begin(), written.end(), [&](const std::string& path) {
      return ToLowerAscii(FileNameOf(path)) == ToLowerAscii(FileNameOf(part.source));
    });
  };
  for (int k = static_cast<int>(scene_.parts().size()) - 1; k >= 0; --k) {
    const ScenePart& part = scene_.parts()[static_cast<std::size_t>(k)];
    if (part.is_model) scene_.SetShown(k, false);
    else if (published(part)) scene_.RemovePart(k);
  }
  std::string status = scene_.AddPart(written.front());
  const std::string tone_status = scene_.SetTone(tone);
  if (status.empty()) status = tone_status;
  emit Status(status.empty() ? QStringLiteral("Showing %1 as published, in the %2 tone")
                                   .arg(Q(FileNameOf(written.front())), tones_->button(static_cast<int>(tone))->text().toLower())
                             : Q(status));
  show();
  Refresh();
  emit SceneChanged(true);
}

void CharacterPanel::AcceptOffer() {
  const auto offer = scene_.Offer();
  if (!offer) return;
  std::string first_problem;
  for (const std::string* path : {&offer->head, &offer->left_hand, &offer->right_hand}) {
    if (path->empty()) continue;
    const std::string status = scene_.AddPart(*path);
    if (first_problem.empty()) first_problem = status;
  }
  emit Status(first_problem.empty() ? QStringLiteral("Added the head and hands") : Q(first_problem));
  Refresh();
  emit SceneChanged(true);
}

void CharacterPanel::RemovePart() {
  const int row = parts_->currentRow();
  if (row < 0) return;
  scene_.RemovePart(row);
  Refresh();
  emit SceneChanged(true);
}

int CharacterPanel::SelectedPartOrSay() {
  const int row = parts_->currentRow();
  if (row < 0) emit Status("Select a part first, then choose its bitmap");
  return row;
}

void CharacterPanel::DrawPartWith(int row, const std::string& path, const QString& not_an_image,
                                  const QString& drawn) {
  // A file that is no image would turn the part grey without a word.
  if (ReadImage(path).isNull()) {
    emit Status(not_an_image);
    return;
  }
  scene_.ChooseBitmap(row, path);
  FillParts();
  if (!drawn.isEmpty()) emit Status(drawn);
  emit SceneChanged(false);
}

void CharacterPanel::ChooseBitmap() {
  const int row = SelectedPartOrSay();
  if (row < 0) return;
  if (auto choice = chooser_.ChooseOpen("Choose the Part's Bitmap", BitmapFilters()))
    DrawPartWith(row, choice->path,
                 QStringLiteral("%1 is not an image Mervane can read (.bmp, .png, .jpg or .tga); the part keeps "
                                "its bitmap")
                     .arg(QString::fromStdString(FileNameOf(choice->path))));
}

void CharacterPanel::ChooseGameBitmap() {
  const int row = SelectedPartOrSay();
  if (row < 0) return;
  frmOpenFromGame dialog(frmOpenFromGame::Listing::Bitmaps, this);
  dialog.SetNames(scene_.GameBitmaps());
  // The part's own family first ("b002", "hmlo"): its other textures are what is looked for most.
  if (const ScenePart& part = scene_.parts().at(static_cast<std::size_t>(row)); part.mesh) {
    const std::string suit = ToLowerAscii(SuitNameOfMesh(part.mesh->name));
    if (ParseOutfitName(suit))
      dialog.SetSearch(Q(suit.substr(0, 4)));
    else if (SimPartOf(suit))
      dialog.SetSearch(Q(suit));
  }
  if (dialog.exec() == QDialog::Accepted) ChooseGameBitmapNamed(dialog.Chosen());
}

void CharacterPanel::ChooseGameBitmapNamed(const std::string& name) {
  const int row = parts_->currentRow();
  const auto path = scene_.FindGameFile(name);
  if (row < 0 || !path) return;
  DrawPartWith(row, *path, Q(name) + QStringLiteral(" is not an image Mervane can read; the part keeps its bitmap"),
               QStringLiteral("Drawing %1 with %2 from the game")
                   .arg(Q(scene_.parts().at(static_cast<std::size_t>(row)).label), Q(name)));
}

void CharacterPanel::ChooseTexture(const QString& texture) {
  const int row = parts_->currentRow();
  if (row < 0) return;
  const std::string status = scene_.ChooseTexture(row, texture.toStdString());
  FillParts();
  emit Status(status.empty() ? QStringLiteral("Texture: ") + texture : Q(status));
  emit SceneChanged(false);
}

void CharacterPanel::FillTextures() {
  const int row = parts_->currentRow();
  const QSignalBlocker quiet(texture_);
  texture_->clear();
  if (row < 0 || row >= static_cast<int>(scene_.parts().size())) {
    texture_->setPlaceholderText(scene_.parts().empty() ? QString() : QStringLiteral("Select a part"));
    texture_->setEnabled(false);
    return;
  }
  const ScenePart& part = scene_.parts().at(static_cast<std::size_t>(row));
  for (const std::string& texture : part.textures) texture_->addItem(Q(texture));
  texture_->setEnabled(!part.textures.empty());
  texture_->setPlaceholderText(part.bitmap_chosen         ? QStringLiteral("Your bitmap")
                               : part.textures.empty() ? QStringLiteral("None found by the game's naming")
                                                       : QString());
  int current = -1;
  if (!part.bitmap_chosen && !part.bitmap.empty())
    current = static_cast<int>(FindTexture(part.textures, TextureOfBitmap(part.bitmap)).value_or(0));
  texture_->setCurrentIndex(current);
}

void CharacterPanel::ShowModelBitmap(const std::string& path) {
  const auto& parts = scene_.parts();
  const auto model = std::find_if(parts.begin(), parts.end(), [](const ScenePart& part) { return part.is_model; });
  if (model == parts.end()) return;
  scene_.ChooseBitmap(static_cast<int>(model - parts.begin()), path);
  FillParts();
  emit SceneChanged(false);
}

void CharacterPanel::SetTone(SkinTone tone) {
  const std::string status = scene_.SetTone(tone);
  emit Status(status.empty() ? QStringLiteral("Skin tone: ") + tones_->button(static_cast<int>(tone))->text()
                             : Q(status));
  FillParts();
  emit SceneChanged(false);
}

void CharacterPanel::ChooseSkeleton(SkeletonKind kind, const std::string& file) {
  SetPlaying(false);
  Tell(scene_.UseSkeleton(kind, file));
  Refresh();
  emit SceneChanged(true);
}

bool CharacterPanel::SelectSkillNamed(const QString& name) {
  for (int row = 0; row < skills_->count(); ++row) {
    const int index = skills_->item(row)->data(Qt::UserRole).toInt();
    if (Q(skill_entries_[static_cast<std::size_t>(index)].name).compare(name, Qt::CaseInsensitive) == 0) {
      PlayEntry(index);
      return true;
    }
  }
  return false;
}

bool CharacterPanel::PlaySkillsOf(const std::string& file) {
  int first = -1;
  for (std::size_t k = 0; k < skill_entries_.size(); ++k) {
    if (skill_entries_[k].file != file) continue;
    if (first < 0) first = static_cast<int>(k);
    if (skill_entries_[k].missing.empty()) {
      first = static_cast<int>(k);
      break;
    }
  }
  if (first >= 0) PlayEntry(first);
  return first >= 0;
}

QStringList CharacterPanel::ListedSkills() const {
  QStringList names;
  for (int row = 0; row < skills_->count(); ++row) names << skills_->item(row)->text();
  return names;
}

void CharacterPanel::SetSearch(const QString& text) { search_->setText(text); }

void CharacterPanel::SetPlaying(bool playing) {
  if (playing && scene_.frame_count() > 1) {
    clock_.start();
    timer_.start();
  } else {
    timer_.stop();
  }
  play_->setText(Playing() ? "Pause" : "Play");
}

void CharacterPanel::Tick() {
  const double seconds = static_cast<double>(clock_.restart()) / 1000.0;
  const int count = scene_.frame_count();
  if (count <= 1) {
    SetPlaying(false);
    return;
  }
  const double last = count - 1;
  double frame = scene_.frame() + seconds * kFramesPerSecond * speed_->currentData().toDouble();
  if (frame > last) {
    if (loop_->isChecked()) {
      frame = std::fmod(frame, last);
    } else {
      frame = last;
      SetPlaying(false);
    }
  }
  ShowFrame(frame);
}

void CharacterPanel::ShowFrame(double frame) {
  scene_.SetFrame(frame);
  FillFrame();
  emit PoseChanged();
}

void CharacterPanel::SetSpeed(double speed) {
  for (int k = 0; k < speed_->count(); ++k)
    if (speed_->itemData(k).toDouble() == speed) speed_->setCurrentIndex(k);
}

void CharacterPanel::SetLoop(bool loop) { loop_->setChecked(loop); }

void CharacterPanel::GoToRest() {
  SetPlaying(false);
  scene_.RestPose();
  FillFrame();
  emit PoseChanged();
}

bool CharacterPanel::SeamsOn() const { return seams_->isChecked(); }
void CharacterPanel::SetSeams(bool on) { seams_->setChecked(on); }
double CharacterPanel::SeamDistance() const { return seam_distance_->value(); }

}  // namespace mervane
