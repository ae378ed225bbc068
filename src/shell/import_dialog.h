#pragma once

#include <QDialog>
#include <string>

#include "import/obj_import.h"
#include "model/prompts.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace mervane {

class FileChooser;

inline constexpr const char* kBlanksMessage = "You cannot leave any blanks empty!";

// Collects what an OBJ import needs: the .obj path, the mesh name, the
// default texture and the attach site. It checks the fields and converts
// nothing. Import accepts the dialog, Cancel rejects it; either way the
// fields keep their values for the next import.
class frmImportOBJ : public QDialog {
  Q_OBJECT

 public:
  frmImportOBJ(FileChooser& chooser, Prompts& prompts, QWidget* parent = nullptr);

  // The four fields as they stand.
  ImportRequest Request() const;
  // Takes a file dropped on the main window: its path into File Name and
  // its base name ("torus" for torus.obj) into File Designation.
  void TakeFile(const std::string& path);

 protected:
  // Closing the window itself (not Cancel) forgets what was typed, so the
  // next import starts from the first-use values.
  void closeEvent(QCloseEvent* event) override;
  // Each time: focus in File Name with its text selected, so typing a path
  // replaces it.
  void showEvent(QShowEvent* event) override;

 private:
  void StartAfresh();
  void Browse();
  void TryImport();

  FileChooser& chooser_;
  Prompts& prompts_;
  // The file dialog remembers its last choice: closing it without a choice
  // puts that choice back into File Name.
  std::string chosen_;

  QLineEdit* file_name_;
  QLineEdit* file_des_;
  QLineEdit* default_skin_;
  QComboBox* attach_site_;
};

}  // namespace mervane
