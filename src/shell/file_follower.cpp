#include "shell/file_follower.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace mervane {

namespace {

constexpr int kPollTime = 50;

// A burst of writes is over when the file has been quiet this long. Looking
// at the files notices a write up to kPollTime late, and itself sees only
// the file's state at each look, so it waits less after that.
int SettleTime(FileFollower::Mode mode) { return mode == FileFollower::Mode::Poll ? 150 - kPollTime : 150; }

QPair<qint64, qint64> Stamp(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return {-1, -1};
  return {info.size(), info.lastModified().toMSecsSinceEpoch()};
}

}  // namespace

QString FileFollower::Key(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

FileFollower::FileFollower(QObject* parent) : QObject(parent) {
  settle_.setSingleShot(true);
  settle_.setInterval(SettleTime(mode_));
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &FileFollower::Touched);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& folder) { Compare(folder); });
  poll_.setInterval(kPollTime);
  connect(&poll_, &QTimer::timeout, this, [this] { Compare(); });
  connect(&settle_, &QTimer::timeout, this, [this] {
    // A replaced file dropped out of the watcher: take it back first.
    Rewatch();
    if (pending_.isEmpty()) return;
    QStringList paths = pending_.values();
    pending_.clear();
    paths.sort();
    emit changed(paths);
  });
}

void FileFollower::Follow(const QStringList& paths) {
  QSet<QString> wanted;
  for (const QString& path : paths)
    if (!path.isEmpty()) wanted.insert(Key(path));
  if (wanted == paths_) return;
  paths_ = wanted;
  pending_.clear();
  stamps_.clear();
  for (const QString& path : paths_) stamps_.insert(path, Stamp(path));
  Unwatch();
  Rewatch();
}

void FileFollower::Unwatch() {
  poll_.stop();
  if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
}

void FileFollower::SetMode(Mode mode) {
  if (mode == mode_) return;
  Unwatch();
  mode_ = mode;
  settle_.setInterval(SettleTime(mode_));
  Rewatch();
}

void FileFollower::SetEnabled(bool on) {
  enabled_ = on;
  if (!on) {
    // Off is off: nothing is watched, so the system spends nothing on it.
    pending_.clear();
    settle_.stop();
    Unwatch();
  } else {
    // What changed while off is the state to compare with from now on.
    for (const QString& path : paths_) stamps_.insert(path, Stamp(path));
    Rewatch();
  }
}

void FileFollower::Rewatch() {
  if (!enabled_) return;
  if (mode_ == Mode::Poll) {
    if (!paths_.isEmpty() && !poll_.isActive()) poll_.start();
    return;
  }
  QStringList files, folders;
  const QStringList watched_files = watcher_.files(), watched_folders = watcher_.directories();
  for (const QString& path : paths_) {
    if (QFileInfo::exists(path) && !watched_files.contains(path)) files << path;
    const QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo(folder).isDir() && !watched_folders.contains(folder) && !folders.contains(folder)) folders << folder;
  }
  if (!files.isEmpty()) watcher_.addPaths(files);
  if (!folders.isEmpty()) watcher_.addPaths(folders);
}

void FileFollower::Touched(const QString& path) {
  if (!enabled_ || !paths_.contains(path)) return;
  stamps_.insert(path, Stamp(path));
  pending_.insert(path);
  settle_.start();  // restarted by each write of a burst
}

void FileFollower::Compare(const QString& folder) {
  if (!enabled_) return;
  // A rename over a followed file shows only as a change of its folder:
  // the followed files there whose size or time moved are the ones.
  for (const QString& path : paths_) {
    if (!folder.isEmpty() && QFileInfo(path).absolutePath() != folder) continue;
    const auto now = Stamp(path);
    if (now == stamps_.value(path)) continue;
    stamps_.insert(path, now);
    pending_.insert(path);
    settle_.start();
  }
}

}  // namespace mervane
