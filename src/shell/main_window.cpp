#include "shell/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QMimeData>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QVBoxLayout>
#include <functional>

#include "files/textfile.h"
#include "formats/formats.h"
#include "gltf/glb_file.h"
#include "model/paths.h"
#include "project/project.h"
#include "shell/character_panel.h"
#include "shell/elided_label.h"
#include "shell/file_follower.h"
#include "shell/image_reader.h"
#include "shell/import_dialog.h"
#include "shell/message_prompts.h"
#include "shell/path_text.h"
#include "shell/preview_widget.h"
#include "shell/settings.h"
#include "shell/wait_window.h"

namespace mervane {

namespace {

FileFilter FilterOf(const Format& format, bool for_save) {
  return {std::string(for_save ? format.save_filter : format.open_filter),
          "*." + std::string(format.extension)};
}

const FileFilter kAllFiles{"All files (*.*)", "*"};

// How many files File > Recent Files lists (its status tip says "eight").
constexpr qsizetype kRecentFiles = 8;

// The Save As list with the given format first, then the others.
FilterList SaveFilters(std::string_view first) {
  FilterList filters{FilterOf(*FormatOf("." + std::string(first)), true)};
  for (const Format& format : Formats())
    if (format.extension != first) filters.push_back(FilterOf(format, true));
  filters.push_back(kAllFiles);
  return filters;
}

}  // namespace

const FilterList& OpenFilters() {
  static const FilterList filters = [] {
    // The first entry keeps the words users know and names every format
    // it takes, in the order users have always seen the first three.
    FileFilter every{"", ""};
    std::string named = "*.skn,*.spj,*.bmf";
    for (const Format& format : Formats()) {
      for (const std::string_view extension : {format.extension, format.also_reads}) {
        if (extension.empty()) continue;
        const std::string pattern = "*." + std::string(extension);
        every.patterns += (every.patterns.empty() ? "" : " ") + pattern;
        if (named.find(pattern) == std::string::npos) named += "," + pattern;
      }
    }
    every.description = "Skin and Project Files (" + named + ")";
    FilterList list{every};
    for (const Format& format : Formats()) list.push_back(FilterOf(format, false));
    list.push_back(kAllFiles);
    return list;
  }();
  return filters;
}

const FilterList& SaveFiltersSkinFirst() {
  static const FilterList filters = SaveFilters("skn");
  return filters;
}

const FilterList& SaveFiltersProjectFirst() {
  static const FilterList filters = SaveFilters("spj");
  return filters;
}

QString AboutText() {
  return QStringLiteral(
             "Mervane %1.%2.%3\n\n"
             "Edits the character meshes of The Sims in any 3D modeller: opens .skn and .bmf skins, saves "
             "them as skin projects (.spj, .obj, .mtl) or rigged glTF projects (.glb) and back, and shows "
             "the whole Sim on the game's skeleton, animated.\n\n"
             "Mervane is free software under the GNU General Public License, version 3 or (at your option) "
             "any later version, and comes with no warranty.\n\n"
             "Built with Qt %4, running on Qt %5. Qt is used under the GNU Lesser General Public License "
             "version 3; the colour reducer libimagequant is under the GNU General Public License version 3 "
             "or later; the image reader stb_image is in the public domain (or under the MIT licence); the glTF "
             "library tinygltf and the JSON library it uses are under the MIT licence. "
             "LICENSES.txt beside the program says what is shipped under which licence.")
      .arg(MERVANE_VERSION_MAJOR)
      .arg(MERVANE_VERSION_MINOR)
      .arg(MERVANE_VERSION_REVISION)
      .arg(QStringLiteral(QT_VERSION_STR), QString::fromLatin1(qVersion()));
}

std::string NeedsKnownExtensionMessage() {
  return "File names must end in " + FormatExtensionsText() + ".";
}

std::string ReplaceQuestion(const std::vector<std::string>& existing) {
  std::string names;
  for (std::size_t i = 0; i < existing.size(); ++i) {
    if (i > 0) names += i + 1 == existing.size() ? " and " : ", ";
    names += FileNameOf(existing[i]);
  }
  const bool one = existing.size() == 1;
  return names + (one ? " already exists." : " already exist.") +
         "\nDo you want to replace " + (one ? "it?" : "them?");
}

namespace {

QString WindowTitle() {
  // Minor and revision are written side by side: 1.0.13 reads "1.013".
  return QStringLiteral("Mervane by Quenlow v%1.%2%3")
      .arg(MERVANE_VERSION_MAJOR)
      .arg(MERVANE_VERSION_MINOR)
      .arg(MERVANE_VERSION_REVISION);
}

// The one local file a drag carries, if it is one the window takes: a file
// it opens, an OBJ to import, or, while a model is shown, a bitmap to try
// on it.
std::string DroppedPath(const QMimeData* data, bool has_model) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl url = data->urls().front();
  if (!url.isLocalFile()) return {};
  const std::string path = PathFromQt(url.toLocalFile());
  const std::string extension = ExtensionOf(path);
  if (FormatOf(path) || extension == "obj" || (has_model && IsImagePath(path))) return path;
  return {};
}

const FilterList& TextureFilters() {
  // Only the types ReadImage takes on every build.
  static const FilterList filters{{"Bitmaps (*.bmp)", "*.bmp"},
                                  {"Images (*.bmp *.png *.jpg *.tga)", ImagePatterns()},
                                  {"All files (*.*)", "*"}};
  return filters;
}

// The platform's key where it names one, else the usual one: Save As is
// Ctrl+Shift+S and Exit Ctrl+Q everywhere.
QKeySequence StandardKey(QKeySequence::StandardKey key, QKeySequence fallback) {
  const QKeySequence standard(key);
  return standard.isEmpty() ? fallback : standard;
}

// A name typed without an extension takes the one of the selected type.
std::string WithFilterExtension(std::string path, const FilterList& filters, int filter) {
  if (filter < 0 || filter >= static_cast<int>(filters.size())) return path;
  const std::string extension = FilterExtension(filters[filter]);
  const std::string name = FileNameOf(path);
  if (extension.empty() || name.empty() || !ExtensionOf(path).empty()) return path;
  if (path.back() != '.') path += '.';
  return path + extension;
}

}  // namespace

frmMain::frmMain(const std::string& command_path, FileChooser* chooser, Prompts* prompts)
    : chooser_(chooser), prompts_(prompts) {
  setObjectName("frmMain");
  if (!chooser_) {
    own_chooser_ = std::make_unique<QtFileChooser>(this);
    chooser_ = own_chooser_.get();
  }
  if (!prompts_) {
    own_prompts_ = std::make_unique<MessageBoxPrompts>(this);
    prompts_ = own_prompts_.get();
  }

  model_.ModelLoaded = false;
  setWindowTitle(WindowTitle());
  // Nothing is opened at start: the path waits for the first Open.
  model_.CommandFile = command_path;

  auto* central = new QWidget(this);
  central->setObjectName("centralWidget");
  auto* content = new QVBoxLayout(central);
  auto* file_row = new QHBoxLayout;
  auto* label1 = new QLabel("File Open:", central);
  label1->setObjectName("Label1");
  label2_ = new ElidedLabel(central);
  label2_->setObjectName("Label2");
  // A long path must not widen the window; it is cut in the middle instead.
  label2_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  file_row->addWidget(label1);
  file_row->addWidget(label2_, 1);
  content->addLayout(file_row);
  // The 3-D view, and the UV layout beside it when it is on.
  auto* views = new QSplitter(Qt::Horizontal, central);
  views->setObjectName("splViews");
  views->setChildrenCollapsible(false);
  preview_ = new PreviewWidget(views);
  views->addWidget(preview_);
  content->addWidget(views, 1);
  setCentralWidget(central);
  setAcceptDrops(true);

  // Items that open a dialog end in "…".
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("mnuFile");
  auto add = [](QMenu* menu, const char* name, const char* caption, const QKeySequence& key,
                const char* tip) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(name);
    action->setShortcut(key);
    action->setStatusTip(tip);
    return action;
  };
  connect(add(file, "mnuOpen", "&Open…", QKeySequence::Open,
              "Open a skin, a binary mesh or a skin project"),
          &QAction::triggered, this, &frmMain::Open);
  recent_menu_ = file->addMenu("Recent &Files");
  recent_menu_->setObjectName("mnuRecent");
  recent_menu_->menuAction()->setObjectName("mnuRecent");
  recent_menu_->menuAction()->setStatusTip("Open one of the last eight files read or saved");
  connect(recent_menu_, &QMenu::aboutToShow, this, &frmMain::FillRecentMenu);
  save_file_ = add(file, "mnuSaveFile", "&Save", QKeySequence::Save,
                   "Save the model over the file it came from, in that file's format");
  connect(save_file_, &QAction::triggered, this, &frmMain::Save);
  save_ = add(file, "mnuSave", "Save &As…", StandardKey(QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)),
              "Save the model as a skin project for Blender, or as a skin for the game");
  connect(save_, &QAction::triggered, this, [this] { SaveAs(); });
  connect(add(file, "mnuImportOBJ", "&Import OBJ…", QKeySequence(Qt::CTRL | Qt::Key_I),
              "Make a one-bone model from any OBJ file"),
          &QAction::triggered, this, &frmMain::ImportObj);
  file->addSeparator()->setObjectName("mnuSep");
  connect(add(file, "mnuExit", "E&xit", StandardKey(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)), "Close Mervane"),
          &QAction::triggered, this, &QWidget::close);

  QMenu* view = menuBar()->addMenu("&View");
  view->setObjectName("mnuView");
  QAction* overlay = add(view, "mnuOverlay", "&Wireframe and Bones", QKeySequence("W"),
                         "Draw the wireframe and the bones over the model");
  overlay->setCheckable(true);
  overlay->setChecked(preview_->Overlay());
  connect(overlay, &QAction::triggered, this, [this](bool on) { preview_->SetOverlay(on); });
  QAction* after_overlay = view->addSeparator();
  struct ViewItem {
    const char* name;
    const char* caption;
    const char* key;
    const char* tip;
    std::function<void()> run;
  };
  const ViewItem items[] = {
      {"mnuFrameAll", "&Frame All", "F", "Fit the whole model in view", [this] { preview_->FrameAll(); }},
      {"mnuFront", "F&ront", "1", "Look from the front", [this] { preview_->SetView(PreviewWidget::View::Front); }},
      {"mnuSide", "&Side", "3", "Look from the side", [this] { preview_->SetView(PreviewWidget::View::Side); }},
      {"mnuTop", "&Top", "7", "Look from above", [this] { preview_->SetView(PreviewWidget::View::Top); }},
  };
  for (const ViewItem& item : items)
    connect(add(view, item.name, item.caption, QKeySequence(item.key), item.tip),
            &QAction::triggered, this, item.run);
  view->addSeparator();
  texture_ = add(view, "mnuTexture", "Te&xture…", QKeySequence(),
                 "Show any image on the model; the model's texture name stays as it is");
  connect(texture_, &QAction::triggered, this, &frmMain::ChooseTexture);
  SetUpCharacterView(file, view);
  SetUpPoseChoice(view);
  SetUpFollowing(view);
  SetUpUvLayout(view, after_overlay, views);

  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName("mnuHelp");
  connect(add(help, "mnuAbout", "&About Mervane…", QKeySequence(), "Version, Qt version and licences"),
          &QAction::triggered, this, &frmMain::ShowAbout);

  statusBar()->setObjectName("statusBar");
  // A waiting command-line file is opened by the first Open: say so, or the
  // empty window looks as if it ignored the file.
  if (!model_.CommandFile.empty()) {
    const QString key = QKeySequence(QKeySequence::Open).toString(QKeySequence::NativeText);
    preview_->SetHint(QStringLiteral("Press %1 (File > Open) to open %2")
                          .arg(key, QString::fromStdString(FileNameOf(model_.CommandFile))));
    Used(model_.CommandFile);
  }
  UpdateActions();
  resize(1040, 700);  // room for the preview beside the Character panel
  ReadSettings();
}

frmMain::~frmMain() = default;

void frmMain::ReadSettings() {
  // The program's only stored settings. Whatever is missing, unreadable or
  // not of the expected kind is passed over; nothing here can stop a start.
  const Settings settings;
  if (settings.status() != QSettings::NoError) return;
  const QVariant recent = settings.value("recentFiles");
  if (recent.canConvert<QStringList>()) {
    for (const QString& path : recent.toStringList())
      if (FormatOf(PathFromQt(path)) && !recent_.contains(path) && recent_.size() < kRecentFiles) recent_.push_back(path);
  }
  const QVariant geometry = settings.value("geometry");
  if (geometry.typeId() == QMetaType::QByteArray) restoreGeometry(geometry.toByteArray());
}

void frmMain::WriteSettings() const {
  Settings settings;
  settings.setValue("recentFiles", recent_);
  settings.setValue("geometry", saveGeometry());
}

void frmMain::Remember(const std::string& path) {
  const QString full = PathToQt(AbsolutePath(path));
  recent_.removeAll(full);
  recent_.prepend(full);
  while (recent_.size() > kRecentFiles) recent_.removeLast();
  Settings().setValue("recentFiles", recent_);
}

void frmMain::FillRecentMenu() {
  recent_menu_->clear();
  for (int i = 0; i < recent_.size(); ++i) {
    const QString path = recent_[i];
    QAction* action = recent_menu_->addAction(
        QStringLiteral("&%1 %2").arg(i + 1).arg(PathToQt(FileNameOf(PathFromQt(path)))));
    action->setStatusTip(path);
    connect(action, &QAction::triggered, this, [this, path] { OpenPath(PathFromQt(path)); });
  }
  if (recent_.isEmpty()) recent_menu_->addAction("No files yet")->setEnabled(false);
}

void frmMain::ShowAbout() { QMessageBox::about(this, "About Mervane", AboutText()); }

void frmMain::UpdateActions() {
  save_->setEnabled(model_.ModelLoaded);
  save_file_->setEnabled(model_.ModelLoaded);
  texture_->setEnabled(model_.ModelLoaded);
  publish_->setEnabled(model_.ModelLoaded);
}

void frmMain::Used(const std::string& path) {
  const std::string folder = FolderOf(path);
  if (!folder.empty() && IsFolder(folder)) chooser_->folder = folder;
}

void frmMain::SetCurrentFile(const std::string& path) {
  current_path_ = path;
  label2_->setText(QString::fromStdString(path));
  label2_->setToolTip(label2_->text());
}

void frmMain::ShowWait() {
  if (!wait_) wait_ = new frmWait(this);
  wait_->show();
  wait_->raise();
}

void frmMain::HideWait() {
  if (wait_) wait_->hide();
}

void frmMain::TellNeedsSkinOrProject(const std::string& path, const char* what_happened) {
  prompts_->ShowMessage(NeedsKnownExtensionMessage(), "\"" + path + "\": " + what_happened);
}

bool frmMain::MayDropModel() {
  if (!unsaved_part_ || !model_.ModelLoaded) return true;
  switch (prompts_->AskSaveDiscardCancel("Save the imported part " + model_.MeshName + "?")) {
    case Prompts::Keep::Save:
      return SaveAs();
    case Prompts::Keep::Discard:
      return true;
    case Prompts::Keep::Cancel:
      break;
  }
  return false;
}

void frmMain::Open() {
  std::string path;
  if (!model_.CommandFile.empty()) {
    path = model_.CommandFile;
  } else if (auto choice = chooser_->ChooseOpen("Open a Skin, Binary Mesh, Skin Project or glTF", OpenFilters())) {
    path = choice->path;
  }
  model_.CommandFile.clear();
  preview_->SetHint({});
  QCoreApplication::processEvents();
  if (path.empty()) return;  // cancelled
  OpenPath(path);
}

void frmMain::OpenPath(const std::string& path) {
  const Format* format = FormatOf(path);
  if (!format && ExtensionOf(path) == "obj") {
    // An .obj is a project's geometry or a part: offer what was meant.
    const std::string folder = FolderOf(path);
    const std::string project = FindFileIgnoringCase(folder, FileNameOf(BasePathOf(path)) + ".spj");
    if (!project.empty()) {
      const auto open_project = prompts_->AskYesNo(
          kProgramTitle, "\"" + FileNameOf(path) + "\" belongs to the skin project " + project +
                             ".\nOpen the project? (No imports the .obj as a part instead.)");
      if (!open_project) return;
      if (*open_project) return OpenPath(folder + project);
    }
    return ImportObjFrom(path);
  }
  if (!format) {
    TellNeedsSkinOrProject(path, "nothing was read.");
    return;
  }
  if (!MayDropModel()) return;
  ShowWait();
  QCoreApplication::processEvents();
  const Outcome outcome = format->load(model_, *prompts_, path);
  HideWait();
  // A failed read leaves the model, the label and the preview as they were.
  if (outcome == Outcome::Failed) return;
  unsaved_part_ = false;
  SetCurrentFile(path);
  Used(path);
  Remember(path);
  ShowPose(OpeningPose(path));
  ShowModelIn(FolderOf(path));
  ShowCharacterModel(path);
  UpdateActions();
  FollowShownFiles();
}

void frmMain::Save() {
  if (!model_.ModelLoaded) return;
  // An import has no file yet, and an archive member cannot be written over.
  if (current_path_.empty() || !FormatOf(current_path_) || SplitArchivePath(current_path_)) {
    SaveAs();
    return;
  }
  SaveTo(current_path_, /*ask_before_replacing=*/false);
}

bool frmMain::SaveAs() {
  if (!model_.ModelLoaded) return false;
  const FilterList& filters =
      model_.SaveAsProjectFirst ? SaveFiltersProjectFirst() : SaveFiltersSkinFirst();
  // The window asks about replacing files itself: a project is three files,
  // and the dialog would ask about the .spj alone.
  const std::string proposed = current_path_.empty() ? model_.MeshName : FileNameOf(BasePathOf(current_path_));
  const auto choice = chooser_->ChooseSave("Save the Model As a Skin Project or Skin", filters, proposed, false);
  QCoreApplication::processEvents();
  if (!choice || choice->path.empty()) return false;  // cancelled
  return SaveTo(WithFilterExtension(choice->path, filters, choice->filter), /*ask_before_replacing=*/true);
}

bool frmMain::SaveTo(const std::string& path, bool ask_before_replacing) {
  const Format* format = FormatOf(path);
  if (!format) {
    TellNeedsSkinOrProject(path, "nothing was written.");
    return false;
  }
  const std::vector<std::string> files = FilesWrittenBy(path);
  std::vector<std::string> existing;
  for (const std::string& file : files)
    if (ask_before_replacing && (IsOrdinaryFile(file) || IsFolder(file))) existing.push_back(file);
  if (!existing.empty() && prompts_->AskYesNo(kProgramTitle, ReplaceQuestion(existing), /*yes_by_default=*/false) != true)
    return false;  // No writes nothing
  ShowWait();
  QCoreApplication::processEvents();
  // A failed save has told the user why; the model stays loaded to try
  // again, and the dialogs stay where they were.
  const Outcome outcome = format->save(model_, *prompts_, path);
  HideWait();
  if (outcome == Outcome::Failed) return false;
  unsaved_part_ = false;
  SetCurrentFile(path);
  // What the window wrote itself is not news to it.
  follower_->Follow({});
  FollowShownFiles();
  Used(path);
  Remember(path);
  std::string names;
  for (const std::string& file : files) names += (names.empty() ? "" : ", ") + FileNameOf(file);
  // A rigged project says which skeleton it stands on: the game's, or the
  // built-in table when none was found.
  if (format->rigged)
    if (const std::string skeleton = GlbSkeletonFor(model_, path); !skeleton.empty())
      names += " on the skeleton of " + skeleton;
  statusBar()->showMessage(QString::fromStdString("Saved " + names));
  return true;
}

void frmMain::ImportObj() {
  if (!import_) import_ = new frmImportOBJ(*chooser_, *prompts_, this);
  ImportWithDialog();
}

void frmMain::ImportObjFrom(const std::string& path) {
  if (!import_) import_ = new frmImportOBJ(*chooser_, *prompts_, this);
  import_->TakeFile(path);
  ImportWithDialog();
}

void frmMain::ImportWithDialog() {
  if (!MayDropModel()) return;
  if (import_->exec() != QDialog::Accepted) return;  // Cancel: nothing changes
  const ImportRequest request = import_->Request();
  // No wait window for an import. A failed one leaves everything as it was.
  if (ImportObjPart(model_, *prompts_, request) == Outcome::Failed) return;
  // The part is on no disk until it is saved.
  unsaved_part_ = true;
  SetCurrentFile(request.obj_path);
  current_path_.clear();
  Used(request.obj_path);
  ShowPose(OpeningPose(request.obj_path));
  ShowModelIn(FolderOf(request.obj_path));
  ShowCharacterModel(request.obj_path);
  UpdateActions();
  FollowShownFiles();
}

void frmMain::ChooseTexture() {
  if (!model_.ModelLoaded) return;
  if (auto choice = chooser_->ChooseOpen("Choose an Image to Show on the Model", TextureFilters()))
    ShowTextureFrom(choice->path);
}

void frmMain::ShowTextureFrom(const std::string& path) {
  if (!preview_->ShowTexture(ReadImage(path))) {
    prompts_->ShowMessage("The image could not be read.",
                          "\"" + path + "\": choose a .bmp, .png, .jpg or .tga image.");
    return;
  }
  character_panel_->ShowModelBitmap(path);
  texture_path_ = path;
  texture_chosen_ = true;
  RefreshUvLayout();
  FollowShownFiles();
  Used(path);
  statusBar()->showMessage(QString::fromStdString("Showing " + FileNameOf(path) +
                                                  " on the model (preview only)"));
}

void frmMain::ShowModelIn(const std::string& folder) {
  texture_path_.clear();
  texture_chosen_ = false;
  if (!model_.ModelLoaded) {
    preview_->Clear();
    return;
  }
  // A texture tried on the last model is gone; a missing bitmap is named,
  // or the grey model looks like a fault.
  texture_path_ = preview_->ShowModel(model_, folder);
  if (texture_path_.empty() && !model_.TextureName.empty())
    statusBar()->showMessage(
        QString::fromStdString("No texture shown: " + model_.TextureName + ".bmp is not in " + AbsolutePath(folder)));
  else
    statusBar()->clearMessage();
}

void frmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedPath(event->mimeData(), model_.ModelLoaded).empty()) event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* event) {
  const std::string path = DroppedPath(event->mimeData(), model_.ModelLoaded);
  if (path.empty()) return;
  event->acceptProposedAction();
  // The drop finishes first; the command may show modal windows.
  QMetaObject::invokeMethod(
      this,
      [this, path] {
        if (ExtensionOf(path) == "obj")
          ImportObjFrom(path);
        else if (IsImagePath(path))
          ShowTextureFrom(path);
        else
          OpenPath(path);
      },
      Qt::QueuedConnection);
}

void frmMain::closeEvent(QCloseEvent* event) {
  // Closing is refused only to keep an imported part the user wants saved;
  // every file is closed by the call that opened it.
  if (!MayDropModel()) {
    event->ignore();
    return;
  }
  WriteSettings();
  HideWait();
  event->accept();
  QCoreApplication::quit();
}

}  // namespace mervane
