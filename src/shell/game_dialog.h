#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QLabel;

namespace mervane {

// Open from Game: every mesh, suit, skeleton and skill file of the game
// folder and its archives, searchable by name; or, for a part's bitmap,
// every bitmap there.
class frmOpenFromGame : public QDialog {
  Q_OBJECT

 public:
  enum class Listing { Openable, Bitmaps };
  explicit frmOpenFromGame(QWidget* parent = nullptr) : frmOpenFromGame(Listing::Openable, parent) {}
  frmOpenFromGame(Listing listing, QWidget* parent);
  // The names to choose from (file names).
  void SetNames(const std::vector<std::string>& names);
  void SetSearch(const QString& text);
  // The name chosen; empty when none is selected.
  std::string Chosen() const;
  int ListedCount() const;

 protected:
  // Each time it opens, typing goes to the search, replacing the last one.
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Fill();

  QLineEdit* search_ = nullptr;
  QListWidget* list_ = nullptr;
  QLabel* count_ = nullptr;
  std::vector<std::string> names_;
  Listing listing_;
};

}  // namespace mervane
