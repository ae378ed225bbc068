#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/prompts.h"
#include "shell/file_chooser.h"
#include "support.h"

namespace mervane {
class GameFolder;
}

namespace mervane::guitest {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Hands out prepared choices and records how it was asked.
class FakeChooser : public FileChooser {
 public:
  struct Call {
    std::string title;
    bool save;
    FilterList filters;
    std::string proposed;
    bool confirm_replace;
    std::string folder;  // where the dialog would start
  };
  std::optional<FileChoice> ChooseOpen(const std::string& title, const FilterList& filters) override;
  std::optional<FileChoice> ChooseSave(const std::string& title, const FilterList& filters,
                                       const std::string& proposed, bool confirm_replace) override;
  // Takes the path of the next choice.
  std::optional<std::string> ChooseFolder(const std::string& title) override;

  std::vector<Call> calls;
  std::vector<std::optional<FileChoice>> choices;  // taken from the front; none: cancelled

 private:
  std::optional<FileChoice> Next();
};

// The core's recording prompts, which also answer the window's Save,
// Discard or Cancel question from a queue (Discard when it is empty).
class FakePrompts : public test::FakePrompts {
 public:
  Keep AskSaveDiscardCancel(const std::string& text) override;
  std::vector<std::string> save_questions;
  std::vector<Keep> keep_answers;
};

// Names of everything in a folder, sorted.
std::vector<std::string> Names(const std::string& folder);

// A sample file by name from the project's examples and test data, or empty
// when it is not there.
std::string Fixture(const std::string& name);

// Drags files over target and drops them if it takes them; false if not.
bool Drop(QWidget& target, const std::vector<std::string>& paths);

// Runs steps on the first modal dialog that opens from now on, inside its own
// event loop. A dialog still open after the steps is a test failure and is
// closed, so that a broken test cannot hang.
void WhenModal(std::function<void(QDialog&)> steps);

// Indexes folder as the game folder and waits until it is read; false when
// it is not read in time.
bool IndexGame(GameFolder& game, const std::string& folder);

}  // namespace mervane::guitest
