#pragma once

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace mervane {

// One entry of a file dialog's type list: what the user reads, and the
// patterns it stands for ("*.skn *.spj"; "*" for every file).
struct FileFilter {
  std::string description;
  std::string patterns;
};
using FilterList = std::vector<FileFilter>;

// The extension a filter stands for when it names exactly one ("*.skn" gives
// "skn"); empty for a filter of several types or of every file.
std::string FilterExtension(const FileFilter& filter);

struct FileChoice {
  std::string path;
  int filter = -1;  // index of the selected filter, -1 when there were none
};

// How the windows ask the user for a file. Nothing chosen is nullopt.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // A file that must exist. title says what the file is for.
  virtual std::optional<FileChoice> ChooseOpen(const std::string& title, const FilterList& filters) = 0;
  // A name to write, which may or may not exist. proposed is put in the
  // name box; confirm_replace asks before an existing file is chosen.
  virtual std::optional<FileChoice> ChooseSave(const std::string& title, const FilterList& filters,
                                               const std::string& proposed, bool confirm_replace) = 0;
  // A folder that exists.
  virtual std::optional<std::string> ChooseFolder(const std::string& title) = 0;

  // The folder the next dialog starts in: that of the last file used, so a
  // user working in one folder never has to find it twice. Empty: the
  // dialog's own choice.
  std::string folder;
};

// The chooser people use: Qt's file dialog.
class QtFileChooser : public FileChooser {
 public:
  explicit QtFileChooser(QWidget* parent) : parent_(parent) {}
  std::optional<FileChoice> ChooseOpen(const std::string& title, const FilterList& filters) override;
  std::optional<FileChoice> ChooseSave(const std::string& title, const FilterList& filters,
                                       const std::string& proposed, bool confirm_replace) override;
  std::optional<std::string> ChooseFolder(const std::string& title) override;

 private:
  QWidget* parent_;
};

}  // namespace mervane
