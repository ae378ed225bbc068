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
#include <QVBoxLayout>

#include "import/import_dialog.h"
#include "model/paths.h"
#include "project/project.h"
#include "shell/message_prompts.h"
#include "shell/path_text.h"
#include "shell/preview_widget.h"
#include "shell/wait_window.h"
#include "skn/skn.h"

namespace mervane {

const FilterList& OpenFilters() {
  static const FilterList filters{
      {"Skin and Project Files (*.skn,*.spj)", "*.skn *.spj"},
      {"Skin Project Files (*.spj)", "*.spj"},
      {"TheSims Skin Files (*.skn)", "*.skn"},
      {"All files (*.*)", "*"},
  };
  return filters;
}

const FilterList& SaveFiltersSkinFirst() {
  static const FilterList filters{
      {"TheSims Skins (*.skn)", "*.skn"},
      {"Skin Project Files (*.spj)", "*.spj"},
      {"All files (*.*)", "*"},
  };
  return filters;
}

const FilterList& SaveFiltersProjectFirst() {
  static const FilterList filters{
      {"Skin Project Files (*.spj)", "*.spj"},
      {"TheSims Skins (*.skn)", "*.skn"},
      {"All files (*.*)", "*"},
  };
  return filters;
}

namespace {

QString WindowTitle() {
  // Minor and revision are written side by side: 1.0.13 reads "1.013".
  return QStringLiteral("Mervane by Quenlow v%1.%2%3")
      .arg(MERVANE_VERSION_MAJOR)
      .arg(MERVANE_VERSION_MINOR)
      .arg(MERVANE_VERSION_REVISION);
}

bool IsSkinOrProject(const std::string& extension) {
  return extension == "skn" || extension == "spj";
}

// The one local file a drag carries, if it is one the window takes.
std::string DroppedPath(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl url = data->urls().front();
  if (!url.isLocalFile()) return {};
  const std::string path = PathFromQt(url.toLocalFile());
  const std::string extension = ExtensionOf(path);
  return IsSkinOrProject(extension) || extension == "obj" ? path : std::string();
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
  label2_ = new QLabel(central);
  label2_->setObjectName("Label2");
  // A long path must not widen the window; it is cut at the right instead.
  label2_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  label2_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  file_row->addWidget(label1);
  file_row->addWidget(label2_, 1);
  content->addLayout(file_row);
  preview_ = new PreviewWidget(central);
  content->addWidget(preview_, 1);
  setCentralWidget(central);
  setAcceptDrops(true);

  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("mnuFile");
  auto add = [&](const char* name, const char* caption, void (frmMain::*command)()) {
    QAction* action = file->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, command);
    return action;
  };
  add("mnuOpen", "&Open", &frmMain::Open);
  add("mnuSave", "&Save As", &frmMain::SaveAs);
  add("mnuImportOBJ", "&Import OBJ", &frmMain::ImportObj);
  file->addSeparator()->setObjectName("mnuSep");
  QAction* exit = file->addAction("E&xit");
  exit->setObjectName("mnuExit");
  connect(exit, &QAction::triggered, this, &QWidget::close);

  QMenu* view = menuBar()->addMenu("&View");
  view->setObjectName("mnuView");
  auto add_view = [&](const char* name, const char* caption, const char* key, auto&& run) {
    QAction* action = view->addAction(caption);
    action->setObjectName(name);
    action->setShortcut(QKeySequence(key));
    connect(action, &QAction::triggered, this, run);
    return action;
  };
  QAction* overlay = add_view("mnuOverlay", "&Wireframe and Bones", "W", [this](bool on) { preview_->SetOverlay(on); });
  overlay->setCheckable(true);
  overlay->setChecked(preview_->Overlay());
  view->addSeparator();
  add_view("mnuFrameAll", "&Frame All", "F", [this] { preview_->FrameAll(); });
  add_view("mnuFront", "F&ront", "1", [this] { preview_->SetView(PreviewWidget::View::Front); });
  add_view("mnuSide", "&Side", "3", [this] { preview_->SetView(PreviewWidget::View::Side); });
  add_view("mnuTop", "&Top", "7", [this] { preview_->SetView(PreviewWidget::View::Top); });

  resize(720, 640);
}

frmMain::~frmMain() = default;

void frmMain::ShowWait() {
  if (!wait_) wait_ = new frmWait(this);
  wait_->show();
  wait_->raise();
}

void frmMain::HideWait() {
  if (wait_) wait_->hide();
}

void frmMain::TellNeedsSkinOrProject(const std::string& path, const char* what_happened) {
  prompts_->ShowMessage(kNeedsSkinOrProjectName, "\"" + path + "\": " + what_happened);
}

void frmMain::Open() {
  std::string path;
  if (!model_.CommandFile.empty()) {
    path = model_.CommandFile;
  } else if (auto choice = chooser_->ChooseOpen(OpenFilters())) {
    path = choice->path;
  }
  model_.CommandFile.clear();
  QCoreApplication::processEvents();
  if (path.empty()) return;  // cancelled
  OpenPath(path);
}

void frmMain::OpenPath(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  if (!IsSkinOrProject(extension)) {
    TellNeedsSkinOrProject(path, "nothing was read.");
    return;
  }
  ShowWait();
  label2_->setText(QString::fromStdString(path));
  QCoreApplication::processEvents();
  const Outcome outcome = extension == "skn" ? LoadSkn(model_, *prompts_, path)
                                             : LoadProject(model_, *prompts_, path);
  HideWait();
  if (outcome == Outcome::Failed) label2_->clear();
  ShowModelIn(FolderOf(path));
}

void frmMain::SaveAs() {
  if (!model_.ModelLoaded) return;
  const FilterList& filters =
      model_.SaveAsProjectFirst ? SaveFiltersProjectFirst() : SaveFiltersSkinFirst();
  const auto choice = chooser_->ChooseSave(filters, "", true);
  QCoreApplication::processEvents();
  if (!choice || choice->path.empty()) return;  // cancelled

  const std::string path = WithFilterExtension(choice->path, filters, choice->filter);
  const std::string extension = ExtensionOf(path);
  if (!IsSkinOrProject(extension)) {
    TellNeedsSkinOrProject(path, "nothing was written.");
    return;
  }
  ShowWait();
  QCoreApplication::processEvents();
  const Outcome outcome = extension == "spj" ? SaveProject(model_, *prompts_, path)
                                             : SaveSkn(model_, *prompts_, path);
  HideWait();
  if (outcome == Outcome::Failed) {
    label2_->clear();
    preview_->Clear();  // the failed save emptied the model
  }
}

void frmMain::ImportObj() {
  if (!import_) import_ = new frmImportOBJ(*chooser_, *prompts_, this);
  ImportWithDialog();
}

void frmMain::ImportObjFrom(const std::string& path) {
  if (!import_) import_ = new frmImportOBJ(*chooser_, *prompts_, this);
  import_->SetFileName(path);
  ImportWithDialog();
}

void frmMain::ImportWithDialog() {
  if (import_->exec() != QDialog::Accepted) return;  // Cancel: nothing changes
  const ImportRequest request = import_->Request();
  // No wait window for an import; the label names the file from the start.
  label2_->setText(QString::fromStdString(request.obj_path));
  if (ImportObjPart(model_, *prompts_, request, import_normal_check_) == Outcome::Failed)
    label2_->clear();
  ShowModelIn(FolderOf(request.obj_path));
}

void frmMain::ShowModelIn(const std::string& folder) {
  if (model_.ModelLoaded)
    preview_->ShowModel(model_, folder);
  else
    preview_->Clear();
}

void frmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedPath(event->mimeData()).empty()) event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* event) {
  const std::string path = DroppedPath(event->mimeData());
  if (path.empty()) return;
  event->acceptProposedAction();
  // The drop finishes first; the command may show modal windows.
  QMetaObject::invokeMethod(
      this, [this, path] { ExtensionOf(path) == "obj" ? ImportObjFrom(path) : OpenPath(path); },
      Qt::QueuedConnection);
}

void frmMain::closeEvent(QCloseEvent* event) {
  // Closing is never refused; every file is closed by the call that opened it.
  HideWait();
  event->accept();
  QCoreApplication::quit();
}

}  // namespace mervane
