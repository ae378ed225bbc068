#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/model.h"
#include "model/prompts.h"

namespace mervane::fuzz {

// A folder of this process's own for the files each run writes and reads;
// on tmpfs when there is one, so that the many small writes stay cheap.
const std::string& Scratch();
std::string ScratchPath(const std::string& name);

void WriteBytes(const std::string& path, std::string_view bytes);
// Empties the scratch folder.
void ClearScratch();
// Names in the scratch folder, sorted.
std::string ScratchListing();

// Ends the run with a report, for the fuzzer to keep the input.
[[noreturn]] void Fail(const std::string& what);
inline void Require(bool ok, const std::string& what) {
  if (!ok) Fail(what);
}

// Records what the user would be told; the normals question is answered
// Yes, No or not at all, as the input chose.
class FuzzPrompts : public Prompts {
 public:
  explicit FuzzPrompts(std::optional<bool> answer) : answer_(answer) {}
  void ShowMessage(const std::string& text, const std::string& detail) override;
  std::optional<bool> AskYesNo(const std::string& title, const std::string& text) override;

  int messages = 0, questions = 0;
  std::string last_text, last_detail;

 private:
  std::optional<bool> answer_;
};

// 0, 1, 2 -> Yes, No, no answer.
std::optional<bool> AnswerFrom(unsigned choice);

// What every reader and writer promises: success with a loaded model and
// nothing said, or failure with one known message (none when a question went
// unanswered) and an empty, unloaded model.
void CheckOutcome(Outcome outcome, const SkinModel& model, const FuzzPrompts& prompts,
                  const char* who);

// Runs both writers on a copy of the model each. A failed write must leave
// the scratch folder as it was; a written .skn must read back to the same
// model (up to coordinate text) when must_reload is set; a written project
// is read back and must end cleanly either way.
void ExerciseWriters(const SkinModel& model, std::optional<bool> answer, bool must_reload);

}  // namespace mervane::fuzz
