#include "shell/file_follower.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace mervane {

namespace {

QPair<qint64, qint64> Stamp(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return {-1, -1};
  return {info.size(), info.lastModified().toMSecsSinceEpoch()};
}

}  // namespace

QString FileFollower::Key(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

FileFollower::FileFollower(QObject* parent) : QObject(parent) {
  settle_.setSingleShot(true);
  settle_.setInterval(150);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &FileFollower::Touched);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &FileFollower::FolderTouched);
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
  if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  Rewatch();
}

void FileFollower::SetEnabled(bool on) {
  enabled_ = on;
  if (!on) {
    // Off is off: nothing is watched, so the system spends nothing on it.
    pending_.clear();
    settle_.stop();
    if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  } else {
    // What changed while off is the state to compare with from now on.
    for (const QString& path : paths_) stamps_.insert(path, Stamp(path));
    Rewatch();
  }
}

void FileFollower::Rewatch() {
  if (!enabled_) return;
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

void FileFollower::FolderTouched(const QString& folder) {
  if (!enabled_) return;
  // A rename over a followed file shows only as a change of its folder:
  // the followed files there whose size or time moved are the ones.
  for (const QString& path : paths_) {
    if (QFileInfo(path).absolutePath() != folder) continue;
    const auto now = Stamp(path);
    if (now == stamps_.value(path)) continue;
    stamps_.insert(path, now);
    pending_.insert(path);
    settle_.start();
  }
}

}  // namespace mervane
