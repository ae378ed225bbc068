#pragma once

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QStringList>
#include <QTimer>

namespace mervane {

// Watches the files the window shows and says, once a burst of writes has
// settled, which of them changed. Editors that save by writing a temporary
// file and renaming it over the original replace the file the system was
// watching, so each file's folder is watched too and every path is added
// again after each change.
class FileFollower : public QObject {
  Q_OBJECT

 public:
  // How writes are noticed: the system's notices, or a look at each
  // followed file's size and time several times a second. Windows polls:
  // there the system's watcher stalled the window under wine, while a few
  // files looked at often cost nothing and see a rename over as well.
  enum class Mode { Watch, Poll };
  static constexpr Mode kDefaultMode =
#ifdef _WIN32
      Mode::Poll;
#else
      Mode::Watch;
#endif

  explicit FileFollower(QObject* parent = nullptr);
  // How changed() names a path: absolute and clean.
  static QString Key(const QString& path);

  // The files to follow from now on (missing ones are followed once they
  // appear); an empty list follows nothing.
  void Follow(const QStringList& paths);
  QStringList Followed() const { return paths_.values(); }
  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }
  void SetMode(Mode mode);
  Mode mode() const { return mode_; }

 signals:
  // The followed files written, replaced or removed since the last signal.
  void changed(const QStringList& paths);

 private:
  void Rewatch();
  void Unwatch();
  void Touched(const QString& path);
  // The followed files (in folder, or all when it is empty) whose size or
  // time moved since they were last looked at become pending.
  void Compare(const QString& folder = {});

  QFileSystemWatcher watcher_;
  QTimer settle_;
  QTimer poll_;
  QSet<QString> paths_;     // absolute, clean
  QSet<QString> pending_;
  // Each followed file's size and time when last looked at, to tell which
  // file in a touched folder was the one written.
  QHash<QString, QPair<qint64, qint64>> stamps_;
  bool enabled_ = true;
  Mode mode_ = kDefaultMode;
};

}  // namespace mervane
