#include "shell/game_folder.h"

#include <QDir>
#include <algorithm>

#include "character/lookup.h"
#include "install/find_game.h"
#include "model/failure.h"
#include "model/paths.h"
#include "shell/path_text.h"
#include "shell/settings.h"

namespace mervane {
namespace {

constexpr const char* kFolderSetting = "game/folder";

bool Wanted(const std::string& name) {
  const std::string ext = ExtensionOf(name);
  return ext == "skn" || ext == "bmf" || ext == "cmx" || ext == "bcf" || ext == "bmp" || ext == "cfp";
}

}  // namespace

GameFolder::GameFolder(QObject* parent) : QObject(parent) {}

GameFolder::~GameFolder() {
  if (thread_) {
    thread_->wait();
    delete thread_;
  }
}

QString GameFolder::Remembered() {
  const QVariant kept = Settings().value(kFolderSetting);
  if (kept.canConvert<QString>() && !kept.toString().isEmpty() && QDir(kept.toString()).exists())
    return kept.toString();
  const InstallSearch installs = FindGameInstalls(SystemEnvironment());
  return installs.found.empty() ? QString() : PathToQt(installs.found.front().folder);
}

void GameFolder::Index(const QString& folder) {
  folder_ = folder;
  Settings().setValue(kFolderSetting, folder);
  emit Started(folder);
  if (thread_) return;  // the running one starts the next when it ends
  const std::string path = PathFromQt(folder);
  thread_ = QThread::create([this, path, folder] {
    auto index = std::make_shared<GameIndex>(path);
    std::vector<std::string> names;
    for (const std::string& name : index->Names())
      if (Wanted(name)) names.push_back(name);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return ToLowerAscii(a) < ToLowerAscii(b); });
    // The skills too, here: the game has hundreds of character files.
    std::vector<SkillEntry> skills;
    for (const std::string& name : names) {
      const std::string ext = ExtensionOf(name);
      if (ext != "cmx" && ext != "bcf") continue;
      const auto file = index->Find(name);
      if (!file) continue;
      try {
        const CharacterFile character = ReadCharacterFile(*file);
        for (std::size_t k = 0; k < character.skills.size(); ++k)
          skills.push_back({character.skills[k].name, *file, static_cast<int>(k), character.skills[k].frames_name, {}});
      } catch (const Failure&) {
        // Not readable: offers no skills; opening it says why.
      }
    }
    QMetaObject::invokeMethod(
        this,
        [this, folder, index, names = std::move(names), skills = std::move(skills)]() mutable {
          thread_->wait();
          delete thread_;
          thread_ = nullptr;
          if (folder != folder_) {  // another folder was chosen meanwhile
            Index(folder_);
            return;
          }
          index_ = std::move(index);
          names_ = std::move(names);
          skills_ = std::move(skills);
          QStringList problems;
          for (const std::string& problem : index_->problems()) problems << QString::fromStdString(problem);
          emit Indexed(folder, static_cast<int>(index_->size()), problems);
        },
        Qt::QueuedConnection);
  });
  thread_->start(QThread::LowPriority);
}

}  // namespace mervane
