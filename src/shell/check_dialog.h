#pragma once

#include <QDialog>
#include <string>

#include "archive/game_index.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace mervane {

// File > Check Game Folder: what the game makes of a folder of skins, one
// finding a row, errors first. A row opened (double-click, Enter or Open)
// asks the main window to open its file; the dialog stays beside it.
class frmCheck : public QDialog {
  Q_OBJECT

 public:
  explicit frmCheck(QWidget* parent = nullptr);
  // Checks folder (an install, whose Skins folder is read, or a folder of
  // skins) with the game (may be null) and lists what it finds.
  void Check(const std::string& folder, const GameIndex* game);
  int FindingCount() const;

 signals:
  void OpenRequested(const QString& path);

 private:
  void OpenCurrent();

  QTreeWidget* findings_ = nullptr;
  QLabel* summary_ = nullptr;
  QLabel* detail_ = nullptr;
  QPushButton* open_ = nullptr;
};

}  // namespace mervane
