#include "shell/check_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "model/paths.h"
#include "install/find_game.h"
#include "publish/check.h"
#include "shell/path_text.h"

namespace mervane {

frmCheck::frmCheck(QWidget* parent) : QDialog(parent) {
  setObjectName("frmCheck");
  setWindowTitle("Check Game Folder");
  auto* layout = new QVBoxLayout(this);
  summary_ = new QLabel(this);
  summary_->setObjectName("lblSummary");
  summary_->setWordWrap(true);
  layout->addWidget(summary_);
  findings_ = new QTreeWidget(this);
  findings_->setObjectName("lstFindings");
  findings_->setRootIsDecorated(false);
  findings_->setUniformRowHeights(true);
  findings_->setHeaderLabels({"Level", "File", "What the game makes of it"});
  findings_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  findings_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  layout->addWidget(findings_, 1);
  // The row chosen in full: a reason is a sentence that a column cuts short.
  detail_ = new QLabel(this);
  detail_->setObjectName("lblFinding");
  detail_->setWordWrap(true);
  detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(detail_);
  auto* buttons = new QHBoxLayout;
  auto* hint = new QLabel("Double-click a row to open its file in Mervane.", this);
  buttons->addWidget(hint, 1);
  open_ = new QPushButton("&Open", this);
  open_->setObjectName("cmdOpenFinding");
  auto* close = new QPushButton("Close", this);
  close->setObjectName("cmdClose");
  buttons->addWidget(open_);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  connect(findings_, &QTreeWidget::itemActivated, this, &frmCheck::OpenCurrent);
  connect(findings_, &QTreeWidget::currentItemChanged, this, [this](const QTreeWidgetItem* item) {
    detail_->setText(item ? item->toolTip(0) : QString());
  });
  connect(open_, &QPushButton::clicked, this, &frmCheck::OpenCurrent);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  resize(760, 420);
}

void frmCheck::Check(const std::string& folder, const GameIndex* game) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::string paths[] = {folder};
  const CheckReport report = CheckSkins(paths, game);
  QApplication::restoreOverrideCursor();
  findings_->clear();
  detail_->clear();
  for (const Finding& finding : report.findings) {
    const bool error = finding.level == Finding::Level::Error;
    auto* item = new QTreeWidgetItem(findings_, {error ? QStringLiteral("Error") : QStringLiteral("Warning"),
                                                 PathToQt(FileNameOf(finding.path)),
                                                 QString::fromStdString(finding.message)});
    item->setIcon(0, style()->standardIcon(error ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxWarning));
    item->setData(0, Qt::UserRole, PathToQt(finding.path));
    for (int column = 0; column < 3; ++column) item->setToolTip(column, PathToQt(FindingLine(finding)));
  }
  if (findings_->topLevelItemCount() > 0) findings_->setCurrentItem(findings_->topLevelItem(0));
  open_->setEnabled(findings_->topLevelItemCount() > 0);
  summary_->setText(QString::fromStdString(FindingsSummary(report)) + QStringLiteral(" in ") +
                    PathToQt(SkinsFolderOf(folder).value_or(folder)) +
                    (game ? QStringLiteral(", with the game's own files") : QString()));
}

int frmCheck::FindingCount() const { return findings_->topLevelItemCount(); }

void frmCheck::OpenCurrent() {
  if (const QTreeWidgetItem* item = findings_->currentItem())
    emit OpenRequested(item->data(0, Qt::UserRole).toString());
}

}  // namespace mervane
