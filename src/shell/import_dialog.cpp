#include "shell/import_dialog.h"

#include <QCloseEvent>
#include <QShowEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "files/textfile.h"
#include "model/paths.h"
#include "shell/file_chooser.h"

namespace mervane {

namespace {

// What each text box holds until the user or a chosen file fills it.
const char* kFirstText = "Text1";

QLineEdit* TextBox(const char* name, QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
  return box;
}

}  // namespace

frmImportOBJ::frmImportOBJ(FileChooser& chooser, Prompts& prompts, QWidget* parent)
    : QDialog(parent), chooser_(chooser), prompts_(prompts) {
  setObjectName("frmImportOBJ");
  setWindowTitle("Import OBJ");
  setModal(true);

  file_name_ = TextBox("txtFileName", this);
  file_des_ = TextBox("txtFileDes", this);
  default_skin_ = TextBox("txtDefaultSkin", this);
  file_name_->setToolTip("The .obj file to import");
  file_des_->setToolTip("The name of the new part's mesh, written into the skin");
  default_skin_->setToolTip("The texture name written into the skin: the game looks for this bitmap");
  attach_site_ = new QComboBox(this);
  attach_site_->setObjectName("cmbAttachSite");
  attach_site_->setToolTip("The bone the part moves with");
  for (const char* site : kAttachSites) attach_site_->addItem(site);

  auto* browse = new QPushButton("...", this);
  browse->setObjectName("Command1");
  browse->setAutoDefault(false);
  // A small button at the end of the box, not a full-width one.
  browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("  ...  ")) + 16);
  auto* import = new QPushButton("Import", this);
  import->setObjectName("cmdImport");
  import->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("cmdCancel");
  cancel->setAutoDefault(false);

  // Labels left, fields right, "..." at the end of the file name, buttons
  // below under the fields.
  auto* grid = new QGridLayout(this);
  const char* captions[] = {"File Name", "File Designation", "Default Skin", "Attach Site"};
  QWidget* fields[] = {file_name_, file_des_, default_skin_, attach_site_};
  for (int row = 0; row < 4; ++row) {
    auto* label = new QLabel(captions[row], this);
    label->setObjectName("Label1");  // one control array, told apart by index
    label->setProperty("index", row);
    label->setBuddy(fields[row]);
    grid->addWidget(label, row, 0);
    grid->addWidget(fields[row], row, 1);
  }
  grid->addWidget(browse, 0, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(import);
  buttons->addWidget(cancel);
  buttons->addStretch();
  grid->addLayout(buttons, 4, 1);
  grid->setColumnStretch(1, 1);
  grid->setSizeConstraint(QLayout::SetMinimumSize);

  setTabOrder(file_name_, file_des_);
  setTabOrder(file_des_, default_skin_);
  setTabOrder(default_skin_, attach_site_);
  setTabOrder(attach_site_, browse);
  setTabOrder(browse, import);
  setTabOrder(import, cancel);

  connect(browse, &QPushButton::clicked, this, &frmImportOBJ::Browse);
  connect(import, &QPushButton::clicked, this, &frmImportOBJ::TryImport);
  connect(cancel, &QPushButton::clicked, this, &frmImportOBJ::reject);

  StartAfresh();
}

void frmImportOBJ::StartAfresh() {
  for (QLineEdit* field : {file_name_, file_des_, default_skin_}) field->setText(kFirstText);
  attach_site_->setCurrentIndex(0);
  chosen_.clear();
}

ImportRequest frmImportOBJ::Request() const {
  return {file_name_->text().toStdString(), file_des_->text().toStdString(),
          default_skin_->text().toStdString(), attach_site_->currentText().toStdString()};
}

void frmImportOBJ::TakeFile(const std::string& path) {
  file_name_->setText(QString::fromStdString(path));
  file_des_->setText(QString::fromStdString(FileNameOf(BasePathOf(path))));
}

void frmImportOBJ::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  file_name_->setFocus(Qt::OtherFocusReason);
  file_name_->selectAll();
}

void frmImportOBJ::Browse() {
  // No type list: any file may be an OBJ. The name is not cleared first.
  if (auto choice = chooser_.ChooseSave("Choose the OBJ File to Import", {}, chosen_, false)) chosen_ = choice->path;
  if (chosen_.empty()) return;
  file_name_->setText(QString::fromStdString(chosen_));
  // Names still at their first text take the file's base name, as a drop
  // does; a name the user typed stays.
  const QString base = QString::fromStdString(FileNameOf(BasePathOf(chosen_)));
  for (QLineEdit* field : {file_des_, default_skin_})
    if (field->text() == kFirstText) field->setText(base);
}

void frmImportOBJ::TryImport() {
  const ImportRequest request = Request();
  if (request.obj_path.empty() || request.mesh_name.empty() || request.texture_name.empty() ||
      request.attach_site.empty()) {
    prompts_.ShowMessage(kBlanksMessage, "");
    // Straight to the field to fill in.
    for (QLineEdit* field : {file_name_, file_des_, default_skin_})
      if (field->text().isEmpty()) {
        field->setFocus(Qt::OtherFocusReason);
        break;
      }
    return;
  }
  // Nothing is blank-trimmed: a name of blanks is a name. But a path that
  // names no file would import nothing, so say so while it can be mended.
  if (!IsOrdinaryFile(request.obj_path)) {
    prompts_.ShowMessage("There is no file at \"" + request.obj_path + "\".",
                         "Correct the File Name, or choose the file with the ... button.");
    return;
  }
  accept();
}

void frmImportOBJ::closeEvent(QCloseEvent* event) {
  QDialog::closeEvent(event);
  if (event->isAccepted()) StartAfresh();
}

}  // namespace mervane
