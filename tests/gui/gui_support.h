#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/prompts.h"
#include "shell/file_chooser.h"

namespace mervane::guitest {

// Records what the program tells the user and answers its questions from a
// queue. on_call runs at every message or question, while it is shown.
class FakePrompts : public Prompts {
 public:
  struct Message {
    std::string text, detail;
  };
  void ShowMessage(const std::string& text, const std::string& detail) override;
  std::optional<bool> AskYesNo(const std::string& title, const std::string& text) override;

  std::vector<Message> messages;
  std::vector<std::string> questions;     // "title: text"
  std::vector<std::optional<bool>> answers;  // taken from the front
  std::function<void()> on_call;
};

// Hands out prepared choices and records how it was asked.
class FakeChooser : public FileChooser {
 public:
  struct Call {
    bool save;
    FilterList filters;
    std::string proposed;
  };
  std::optional<FileChoice> ChooseOpen(const FilterList& filters) override;
  std::optional<FileChoice> ChooseSave(const FilterList& filters, const std::string& proposed,
                                       bool confirm_replace) override;

  std::vector<Call> calls;
  std::vector<std::optional<FileChoice>> choices;  // taken from the front; none: cancelled
};

// Names of everything in a folder, sorted.
std::vector<std::string> Names(const std::string& folder);

// A fresh folder removed at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path(const std::string& name) const { return (root_ / name).string(); }
  std::vector<std::string> Listing() const { return Names(root_.string()); }

 private:
  std::filesystem::path root_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

// A sample file by name from the project's examples and test data, or empty
// when it is not there.
std::string Fixture(const std::string& name);

// Runs steps on the first modal dialog that opens from now on, inside its own
// event loop. A dialog still open after the steps is a test failure and is
// closed, so that a broken test cannot hang.
void WhenModal(std::function<void(QDialog&)> steps);

}  // namespace mervane::guitest
