#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/game_index.h"
#include "scene/character_scene.h"

namespace mervane {

// The game's install folder, indexed on a thread of its own so that the
// window stays usable: the loose files and every archive's members, found
// by name. The folder is kept between runs with QSettings.
class GameFolder : public QObject {
  Q_OBJECT

 public:
  explicit GameFolder(QObject* parent = nullptr);
  ~GameFolder() override;

  // The folder kept from the last run, else the first install of the game
  // found (FindGameInstalls); empty when neither is known.
  static QString Remembered();
  // Starts indexing folder (remembered for next time); an index being made
  // for another folder is dropped when it ends.
  void Index(const QString& folder);
  bool Indexing() const { return thread_ != nullptr; }
  const QString& folder() const { return folder_; }

  // The index made last; null before the first one ends.
  const GameIndex* index() const { return index_.get(); }
  // The files the index holds of the kinds the window opens (meshes,
  // character files), by name, sorted without regard to case.
  const std::vector<std::string>& names() const { return names_; }
  // The skills of the index's character files.
  const std::vector<SkillEntry>& skills() const { return skills_; }

 signals:
  void Started(const QString& folder);
  // The index for folder is ready (names() filled), with its archive problems.
  void Indexed(const QString& folder, int files, const QStringList& problems);

 private:
  QString folder_;
  QThread* thread_ = nullptr;
  std::shared_ptr<GameIndex> index_;
  std::vector<std::string> names_;
  std::vector<SkillEntry> skills_;
};

}  // namespace mervane
