#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "checks.h"
#include "model/failure.h"
#include "model/model.h"
#include "model/prompts.h"

namespace mervane::test {

// Records what the core tells the user and answers its questions from a
// queue. on_call runs at every message or question, while it is shown.
class FakePrompts : public Prompts {
 public:
  struct Message {
    std::string text, detail;
  };
  void ShowMessage(const std::string& text, const std::string& detail) override;
  std::optional<bool> AskYesNo(const std::string& title, const std::string& text,
                               bool yes_by_default = true) override;

  std::vector<Message> messages;
  std::vector<std::string> questions;        // "title: text"
  std::vector<bool> yes_by_default;          // each question's
  std::vector<std::optional<bool>> answers;  // taken from the front; nullopt when empty
  std::function<void()> on_call;
};

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path(const std::string& name) const { return (root_ / name).string(); }
  const std::filesystem::path& root() const { return root_; }
  // Names of everything in the folder, sorted.
  std::vector<std::string> Listing() const;

 private:
  std::filesystem::path root_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
// Lines joined with CR LF, the last one ended too.
std::string CrLf(const std::vector<std::string>& lines);
// Splits at CR LF (the writers' line end), without a trailing empty entry.
std::vector<std::string> SplitCrLf(const std::string& text);

std::string DataPath(const std::string& relative);  // tests/data/...
std::string ExamplePath(const std::string& name);   // examples/...

// True when the model holds nothing (as after ResetModel).
bool IsEmptyModel(const SkinModel& model);

// A skin on its own, in .skn text, for round trips: bones with ranges that
// cover the vertices in order, some of them empty, blended vertices last.
struct SkinShape {
  std::vector<std::string> bones;
  std::vector<int> vertices_per_bone;
  int blended = 0;
  unsigned seed = 1;
};
std::string MakeSkn(const SkinShape& shape);

}  // namespace mervane::test

namespace mervane::test {

// The memory readers under ReadCleanly, naming the files in.skn, in.spj
// and in.obj; a part is imported as mesh "part" with texture "skin".
ReadEnd ReadSkn(const std::string& text);
ReadEnd ReadProject(const std::string& spj, const std::string& obj,
                    std::optional<bool> answer = std::nullopt);
ReadEnd ReadPart(const std::string& obj, const std::string& site,
                 std::optional<bool> answer = std::nullopt);

// The model of a read that must succeed without a question; the test fails
// otherwise.
SkinModel ModelOf(ReadEnd end);

// Reads .skn text; the test fails if it does not parse.
SkinModel ReadSknText(const std::string& text);

// The Failure that call throws; the test fails if it throws none.
template <class Call>
Failure ExpectFailure(Call&& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure;
  }
  ADD_FAILURE() << "no Failure was thrown";
  return Failure::Error(0, "no Failure was thrown");
}

// Compares two models: names, bindings, faces and blend lines exactly;
// vertex, normal and texture-vertex lines as numbers within the tolerances.
void ExpectSameUpTo(const SkinModel& actual, const SkinModel& expected, double position_tolerance,
                    double normal_tolerance);

}  // namespace mervane::test
