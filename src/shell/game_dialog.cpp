#include "shell/game_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "model/paths.h"

namespace mervane {
namespace {

// Meshes, suits, skeletons and skills: what the window opens; or bitmaps.
bool Listed(const std::string& name, frmOpenFromGame::Listing listing) {
  const std::string ext = ExtensionOf(name);
  if (listing == frmOpenFromGame::Listing::Bitmaps) return ext == "bmp";
  return ext == "skn" || ext == "bmf" || ext == "cmx" || ext == "bcf";
}

}  // namespace

frmOpenFromGame::frmOpenFromGame(Listing listing, QWidget* parent) : QDialog(parent), listing_(listing) {
  const bool bitmaps = listing == Listing::Bitmaps;
  setObjectName("frmOpenFromGame");
  setWindowTitle(bitmaps ? "Choose a Game Bitmap" : "Open from Game");
  auto* layout = new QVBoxLayout(this);
  search_ = new QLineEdit(this);
  search_->setObjectName("txtGameSearch");
  search_->setPlaceholderText(bitmaps ? "Search the game's bitmaps by name"
                                      : "Search meshes, suits, skeletons and skills by name");
  search_->setClearButtonEnabled(true);
  layout->addWidget(search_);
  list_ = new QListWidget(this);
  list_->setObjectName("lstGameFiles");
  list_->setUniformItemSizes(true);  // thousands of names
  layout->addWidget(list_, 1);
  count_ = new QLabel(this);
  count_->setObjectName("lblGameCount");
  layout->addWidget(count_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
  connect(search_, &QLineEdit::textChanged, this, &frmOpenFromGame::Fill);
  search_->installEventFilter(this);
  resize(460, 520);
}

void frmOpenFromGame::SetNames(const std::vector<std::string>& names) {
  names_.clear();
  for (const std::string& name : names)
    if (Listed(name, listing_)) names_.push_back(name);
  Fill();
}

void frmOpenFromGame::SetSearch(const QString& text) { search_->setText(text); }

bool frmOpenFromGame::eventFilter(QObject* watched, QEvent* event) {
  // The arrows move through the list while typing goes on in the search.
  if (watched == search_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
      QCoreApplication::sendEvent(list_, event);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void frmOpenFromGame::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // QDialog hands the focus to its default button after this event, and
  // reopening restores the list's: the search takes it once they are done.
  auto focus_search = [this] {
    search_->setFocus(Qt::OtherFocusReason);
    search_->selectAll();
  };
  focus_search();
  QTimer::singleShot(0, search_, focus_search);
}

void frmOpenFromGame::Fill() {
  const QString wanted = search_->text().trimmed();
  list_->clear();
  for (const std::string& name : names_) {
    const QString text = QString::fromStdString(name);
    if (wanted.isEmpty() || text.contains(wanted, Qt::CaseInsensitive)) list_->addItem(text);
  }
  if (list_->count() > 0) list_->setCurrentRow(0);
  count_->setText(QStringLiteral("%1 of %2 files").arg(list_->count()).arg(names_.size()));
}

std::string frmOpenFromGame::Chosen() const {
  const QListWidgetItem* item = list_->currentItem();
  return item ? item->text().toStdString() : std::string();
}

int frmOpenFromGame::ListedCount() const { return list_->count(); }

}  // namespace mervane
