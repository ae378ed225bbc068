#include "shell/publish_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cctype>

#include "model/failure.h"
#include "model/paths.h"
#include "shell/file_chooser.h"
#include "shell/image_reader.h"
#include "shell/path_text.h"

namespace mervane {
namespace {

constexpr int kThumbnail = 96;
constexpr const char* kToneNames[] = {"Light", "Medium", "Dark"};

const FilterList& ImageFilters() {
  static const FilterList filters{{"Images (*.bmp *.png *.jpg *.tga)", ImagePatterns()}, {"All files (*.*)", "*"}};
  return filters;
}

QComboBox* Combo(QWidget* parent, const char* name, std::initializer_list<std::pair<const char*, const char*>> items) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  for (const auto& [caption, value] : items) combo->addItem(caption, QString(value));
  combo->setPlaceholderText("choose");
  return combo;
}

void Select(QComboBox* combo, const std::string& value) {
  combo->setCurrentIndex(value.empty() ? -1 : combo->findData(QString::fromStdString(value)));
}

std::optional<std::string> Chosen(const QComboBox* combo) {
  if (combo->currentIndex() < 0 || !combo->isEnabled()) return std::nullopt;
  return combo->currentData().toString().toStdString();
}

// "a, b and c".
std::string Listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i)
    text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
  return text;
}

// A file's base name as a texture name: the game takes letters, digits and _.
std::string TextureNameOf(const std::string& path) {
  std::string name = FileNameOf(BasePathOf(path));
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

}  // namespace

ToneWell::ToneWell(const QString& tone, const QString& empty_text, QWidget* parent)
    : QFrame(parent), empty_text_(empty_text) {
  setObjectName("pic" + tone);
  setAcceptDrops(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* caption = new QLabel(QStringLiteral("<b>%1</b>").arg(tone), this);
  caption->setAlignment(Qt::AlignHCenter);
  layout->addWidget(caption);
  thumbnail_ = new QLabel(this);
  thumbnail_->setFixedSize(kThumbnail + 4, kThumbnail + 4);
  thumbnail_->setFrameShape(QFrame::StyledPanel);
  thumbnail_->setAlignment(Qt::AlignCenter);
  thumbnail_->setWordWrap(true);
  layout->addWidget(thumbnail_, 0, Qt::AlignHCenter);
  auto* buttons = new QHBoxLayout;
  auto* choose = new QPushButton("Choose\u2026", this);
  choose->setObjectName("cmd" + tone);
  choose->setToolTip(QStringLiteral("Choose the %1 tone's image (.bmp, .png, .jpg, .tga), or drop one here").arg(tone.toLower()));
  clear_ = new QPushButton("Clear", this);
  clear_->setObjectName("cmdClear" + tone);
  buttons->addWidget(choose);
  buttons->addWidget(clear_);
  layout->addLayout(buttons);
  connect(choose, &QPushButton::clicked, this, &ToneWell::ChooseClicked);
  connect(clear_, &QPushButton::clicked, this, [this] { SetImage({}); });
  SetImage({});
}

bool ToneWell::SetImage(const std::string& path) {
  if (path.empty()) {
    thumbnail_->setPixmap({});
    thumbnail_->setText(empty_text_);
    thumbnail_->setToolTip({});
  } else {
    const QImage image = ReadImage(path);
    if (image.isNull()) return false;
    thumbnail_->setPixmap(
        QPixmap::fromImage(image.scaled(kThumbnail, kThumbnail, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    thumbnail_->setToolTip(QStringLiteral("%1\n%2 x %3").arg(PathToQt(path)).arg(image.width()).arg(image.height()));
  }
  path_ = path;
  clear_->setEnabled(!path.empty());
  emit Changed();
  return true;
}

void ToneWell::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data->hasUrls() && data->urls().size() == 1 && data->urls().front().isLocalFile() &&
      IsImagePath(PathFromQt(data->urls().front().toLocalFile())))
    event->acceptProposedAction();
}

void ToneWell::dropEvent(QDropEvent* event) {
  const QString path = event->mimeData()->urls().front().toLocalFile();
  event->acceptProposedAction();
  if (!SetImage(PathFromQt(path))) emit Refused(path);
}

frmPublish::frmPublish(FileChooser& chooser, Prompts& prompts, QWidget* parent)
    : QDialog(parent), chooser_(chooser), prompts_(prompts) {
  setObjectName("frmPublish");
  setWindowTitle("Publish to Game");
  auto* layout = new QVBoxLayout(this);

  auto* outfit = new QGroupBox("Outfit", this);
  auto* grid = new QGridLayout(outfit);
  kind_ = Combo(outfit, "cmbKind", {{"Body", "b"}, {"Head", "c"}});
  gender_ = Combo(outfit, "cmbGender", {{"Male", "m"}, {"Female", "f"}, {"Unisex", "u"}});
  age_ = Combo(outfit, "cmbAge", {{"Adult", "a"}, {"Child", "c"}});
  build_ = Combo(outfit, "cmbBuild", {{"Fit", "fit"}, {"Fat", "fat"}, {"Skinny", "skn"}, {"Child", "chd"}});
  texture_ = new QLineEdit(outfit);
  texture_->setObjectName("txtTexture");
  texture_->setPlaceholderText("letters, digits and _");
  texture_->setToolTip("The bitmaps' name after the tone: B100FAFatlgt_Denim.bmp for Denim");
  mesh_name_ = new QLineEdit(outfit);
  mesh_name_->setObjectName("txtMeshName");
  mesh_name_->setPlaceholderText("as the texture name");
  mesh_name_->setToolTip("The suit's name after the \"_\": B100FAFat_Denim.cmx for Denim");
  id_ = new QLineEdit(outfit);
  id_->setObjectName("txtID");
  id_->setMaxLength(3);
  id_->setToolTip("Three letters or digits; empty takes the lowest number from 100 that no outfit of this kind uses");
  suit_ = new QLabel(outfit);
  suit_->setObjectName("lblSuit");
  const std::pair<const char*, QWidget*> fields[] = {{"&Kind:", kind_},         {"&Gender:", gender_},
                                                     {"&Age:", age_},           {"&Build:", build_},
                                                     {"&Texture name:", texture_}, {"&Mesh name:", mesh_name_},
                                                     {"&ID:", id_},             {nullptr, suit_}};
  for (int k = 0; k < 8; ++k) {
    const int row = k / 2, column = k % 2 * 2;
    if (fields[k].first) {
      auto* label = new QLabel(fields[k].first, outfit);
      label->setBuddy(fields[k].second);
      grid->addWidget(label, row, column);
      grid->addWidget(fields[k].second, row, column + 1);
    } else {
      grid->addWidget(fields[k].second, row, column, 1, 2);
    }
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  layout->addWidget(outfit);

  auto* bitmaps = new QGroupBox("Skin tones", this);
  auto* bitmap_layout = new QVBoxLayout(bitmaps);
  auto* well_row = new QHBoxLayout;
  for (int t = 0; t < 3; ++t) {
    wells_[t] = new ToneWell(kToneNames[t], t == 0 ? "Drop an image here" : "Takes the light image", bitmaps);
    well_row->addWidget(wells_[t]);
    const auto tone = static_cast<SkinTone>(t);
    connect(wells_[t], &ToneWell::ChooseClicked, this, [this, tone] { ChooseImage(tone); });
    connect(wells_[t], &ToneWell::Changed, this, &frmPublish::Plan);
    connect(wells_[t], &ToneWell::Refused, this, [this](const QString& path) {
      prompts_.ShowMessage("The image could not be read.",
                           "\"" + PathFromQt(path) + "\": choose a .bmp, .png, .jpg or .tga image.");
    });
  }
  // The light image names the texture until the user does.
  connect(wells_[0], &ToneWell::Changed, this, [this] {
    if (texture_->text().isEmpty() && !wells_[0]->image().empty())
      texture_->setText(QString::fromStdString(TextureNameOf(wells_[0]->image())));
  });
  bitmap_layout->addLayout(well_row);
  auto* tone_row = new QHBoxLayout;
  tone_row->addWidget(new QLabel("Show it in the Character panel in the", bitmaps));
  shown_tone_ = Combo(bitmaps, "cmbShowTone", {{"light", "lgt"}, {"medium", "med"}, {"dark", "drk"}});
  shown_tone_->setCurrentIndex(0);
  tone_row->addWidget(shown_tone_);
  tone_row->addWidget(new QLabel("tone", bitmaps));
  tone_row->addStretch();
  bitmap_layout->addLayout(tone_row);
  layout->addWidget(bitmaps);

  auto* where = new QGroupBox("Into", this);
  auto* where_layout = new QGridLayout(where);
  to_game_ = new QRadioButton(where);
  to_game_->setObjectName("optGame");
  to_folder_ = new QRadioButton("&Folder:", where);
  to_folder_->setObjectName("optFolder");
  folder_ = new QLineEdit(where);
  folder_->setObjectName("txtFolder");
  auto* browse = new QPushButton("Browse\u2026", where);
  browse->setObjectName("cmdBrowseFolder");
  replace_ = new QCheckBox("&Replace the set already there with this ID or texture", where);
  replace_->setObjectName("chkReplace");
  where_layout->addWidget(to_game_, 0, 0, 1, 3);
  where_layout->addWidget(to_folder_, 1, 0);
  where_layout->addWidget(folder_, 1, 1);
  where_layout->addWidget(browse, 1, 2);
  where_layout->addWidget(replace_, 2, 0, 1, 3);
  layout->addWidget(where);

  // The files it will write, or after a publish what it wrote, until a
  // field changes.
  files_label_ = new QLabel(this);
  layout->addWidget(files_label_);
  files_ = new QListWidget(this);
  files_->setObjectName("lstFiles");
  files_->setMinimumHeight(110);
  layout->addWidget(files_, 1);
  report_ = new QPlainTextEdit(this);
  report_->setObjectName("txtReport");
  report_->setReadOnly(true);
  report_->hide();
  layout->addWidget(report_, 1);
  problem_ = new QLabel(this);
  problem_->setObjectName("lblProblem");
  problem_->setWordWrap(true);
  layout->addWidget(problem_);

  auto* button_row = new QHBoxLayout;
  button_row->addStretch();
  auto* publish = new QPushButton("&Publish", this);
  publish->setObjectName("cmdPublish");
  publish->setDefault(true);
  auto* close = new QPushButton("Close", this);
  close->setObjectName("cmdClose");
  button_row->addWidget(publish);
  button_row->addWidget(close);
  layout->addLayout(button_row);

  connect(publish, &QPushButton::clicked, this, &frmPublish::Publish);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(browse, &QPushButton::clicked, this, &frmPublish::ChooseFolder);
  for (QComboBox* combo : {kind_, gender_, build_})
    connect(combo, &QComboBox::currentIndexChanged, this, &frmPublish::Plan);
  connect(age_, &QComboBox::currentIndexChanged, this, &frmPublish::AgeChanged);
  connect(build_, &QComboBox::currentIndexChanged, this, [this] {
    // A child's build is a child's age.
    if (Chosen(build_) == "chd" && Chosen(age_) != "c") Select(age_, "c");
  });
  for (QLineEdit* field : {texture_, mesh_name_, id_, folder_})
    connect(field, &QLineEdit::textChanged, this, &frmPublish::Plan);
  connect(folder_, &QLineEdit::textEdited, this, [this] { to_folder_->setChecked(true); });
  connect(to_folder_, &QRadioButton::clicked, folder_, qOverload<>(&QWidget::setFocus));
  for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{to_game_, to_folder_, replace_})
    connect(button, &QAbstractButton::toggled, this, &frmPublish::Plan);
  resize(600, 720);
}

void frmPublish::SetModel(const SkinModel& model, const GameIndex* game, const std::string& install) {
  const bool fresh = !model_ || model_->MeshName != model.MeshName;
  const bool new_game = install != install_;
  model_ = model;
  game_ = game;
  install_ = install;
  filling_ = true;
  to_game_->setEnabled(!install.empty());
  if (install.empty()) {
    to_game_->setText("The game's Skins folder (choose one with File > Game Folder\u2026)");
    to_game_->setToolTip({});
    to_folder_->setChecked(true);
  } else {
    const std::string skins = PublishFolderOf(install);
    to_game_->setText(QStringLiteral("The game's &Skins folder: ") + PathToQt(skins));
    to_game_->setToolTip(PathToQt(skins));
    // A game folder just chosen is where the user means to publish.
    if (fresh || new_game || folder_->text().isEmpty()) to_game_->setChecked(true);
  }
  if (fresh) {
    const auto named = ParseOutfitName(model.MeshName);
    Select(kind_, std::string(1, named ? named->kind : OutfitKindOf(model)));
    Select(gender_, named ? std::string(1, named->gender) : "");
    Select(age_, named ? std::string(1, named->age) : "");
    Select(build_, named ? named->build : "");
    report_->clear();
  }
  filling_ = false;
  Plan();
}

bool frmPublish::SetImage(SkinTone tone, const std::string& path) {
  return wells_[static_cast<std::size_t>(tone)]->SetImage(path);
}

SkinTone frmPublish::ShownTone() const { return static_cast<SkinTone>(shown_tone_->currentIndex()); }

PublishRequest frmPublish::Request() const {
  PublishRequest request;
  request.mesh = model_;
  request.texture = texture_->text().toStdString();
  for (std::size_t t = 0; t < 3; ++t) request.images[t] = wells_[t]->image();
  if (!mesh_name_->text().isEmpty()) request.mesh_name = mesh_name_->text().toStdString();
  if (!id_->text().isEmpty()) request.id = id_->text().toStdString();
  for (const auto& [combo, letter] : {std::pair{kind_, &request.kind}, {gender_, &request.gender}, {age_, &request.age}})
    if (const auto chosen = Chosen(combo)) *letter = chosen->front();
  if (request.kind == 'b') request.build = Chosen(build_);
  request.replace = replace_->isChecked();
  request.folder = to_game_->isChecked() ? PublishFolderOf(install_) : PathFromQt(folder_->text().trimmed());
  request.game = game_;
  return request;
}

std::string frmPublish::Missing(bool for_plan) const {
  std::vector<std::string> missing;
  const std::pair<const QComboBox*, const char*> choices[] = {
      {gender_, "the gender"}, {age_, "the age"}, {build_, "the build"}};
  for (const auto& [combo, what] : choices)
    if (combo->isEnabled() && combo->currentIndex() < 0) missing.push_back(what);
  if (texture_->text().isEmpty()) missing.push_back("a texture name");
  if (!to_game_->isChecked() && folder_->text().trimmed().isEmpty()) missing.push_back("the folder to write into");
  if (!for_plan && wells_[0]->image().empty()) missing.push_back("the light tone's image");
  return missing.empty() ? std::string() : "Still to choose: " + Listed(missing) + ".";
}

void frmPublish::Plan() {
  if (filling_ || !model_) return;
  build_->setEnabled(Chosen(kind_) == "b");
  files_label_->setText("Files it will write:");
  report_->hide();
  files_->show();
  files_->clear();
  suit_->clear();
  id_->setPlaceholderText("automatic");
  std::string problem;
  if (Missing(true).empty()) {
    try {
      const PublishRequest request = Request();
      const OutfitName outfit = PlanOutfit(request);
      for (const std::string& path : PlannedFiles(request, outfit))
        new QListWidgetItem(PathToQt(FileNameOf(path)), files_);
      suit_->setText(QStringLiteral("Suit: ") + QString::fromStdString(SuitStem(outfit)));
      if (!request.id) id_->setPlaceholderText(QStringLiteral("automatic: %1").arg(QString::fromStdString(outfit.id)));
      files_->setToolTip(PathToQt(request.folder));
    } catch (const Failure& failure) {
      problem = failure.detail();
    }
  }
  // What is still to choose is a to-do; what the game's rules refuse, a fault.
  problem_->setStyleSheet(problem.empty() ? QString() : QStringLiteral("color: #b03020"));
  problem_->setText(QString::fromStdString(problem.empty() ? Missing(false) : problem));
}

void frmPublish::AgeChanged() {
  if (!filling_) {
    // The builds are an age's: a child's is Chd, an adult's is chosen again.
    const bool child = Chosen(age_) == "c";
    if (child && Chosen(build_) != "chd") Select(build_, "chd");
    if (!child && Chosen(build_) == "chd") Select(build_, "");
  }
  Plan();
}

void frmPublish::ChooseImage(SkinTone tone) {
  const auto choice =
      chooser_.ChooseOpen("Choose the " + std::string(kToneNames[static_cast<int>(tone)]) + " Tone's Image", ImageFilters());
  if (!choice || choice->path.empty()) return;
  if (!SetImage(tone, choice->path)) {
    emit wells_[static_cast<std::size_t>(tone)]->Refused(PathToQt(choice->path));
    return;
  }
  chooser_.folder = FolderOf(choice->path);
}

void frmPublish::ChooseFolder() {
  if (const auto folder = chooser_.ChooseFolder("Choose the Folder to Publish Into")) {
    folder_->setText(PathToQt(*folder));
    to_folder_->setChecked(true);
  }
}

bool frmPublish::Publish() {
  if (const std::string missing = Missing(false); !missing.empty()) {
    prompts_.ShowMessage(missing, "");
    return false;
  }
  const PublishRequest request = Request();
  PublishResult result;
  try {
    result = PublishOutfit(request);
  } catch (const Failure& failure) {
    prompts_.ShowMessage("Nothing was published.", failure.detail());
    return false;
  }
  const CheckReport check = CheckSkins(result.written, game_);
  Plan();  // the next ID, now that this one is taken
  Report(request.folder, result, check);
  emit Published(result, ShownTone());
  for (const Finding& finding : check.findings)
    if (finding.level == Finding::Level::Error) {
      prompts_.ShowMessage("The check finds fault with what was published; the game may not show it.",
                           FindingLine(finding));
      break;
    }
  return true;
}

void frmPublish::Report(const std::string& folder, const PublishResult& result, const CheckReport& check) {
  QStringList lines;
  // The verdict first, where it is seen without scrolling.
  lines << QStringLiteral("%1 in %2, checked as the game reads it: %3")
               .arg(QString::fromStdString(result.suit), PathToQt(folder),
                    QString::fromStdString(FindingsSummary(check)));
  for (const Finding& finding : check.findings) lines << QStringLiteral("  ") + PathToQt(FindingLine(finding));
  for (const std::string& note : result.notes) lines << QStringLiteral("  note: ") + QString::fromStdString(note);
  for (const std::string& path : result.removed) lines << QStringLiteral("  removed ") + PathToQt(FileNameOf(path));
  for (const std::string& path : result.written) lines << QStringLiteral("  wrote ") + PathToQt(FileNameOf(path));
  report_->setPlainText(lines.join('\n'));
  files_label_->setText("Published:");
  files_->hide();
  report_->show();
}

}  // namespace mervane
