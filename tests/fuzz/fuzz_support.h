#pragma once

#include <optional>
#include <string>

#include "../checks.h"
#include "model/model.h"

namespace mervane::fuzz {

// Ends the run with a report, for the fuzzer to keep the input.
[[noreturn]] void Fail(const std::string& what);
inline void Require(bool ok, const std::string& what) {
  if (!ok) Fail(what);
}

// 0, 1, 2 -> Yes, No, no answer.
std::optional<bool> AnswerFrom(unsigned choice);

// Requires a clean end of a read (see test::ReadCleanly).
inline void RequireClean(const test::ReadEnd& end, const char* who) {
  Require(end.problem.empty(), std::string(who) + ": " + end.problem);
}

// Runs both writers on the model. A writer may refuse the model only with a
// message its content can cause; written .skn text must read back to the
// same model (up to coordinate text) when must_reload is set; a written
// project is read back and must end cleanly either way.
void ExerciseWriters(const SkinModel& model, std::optional<bool> answer, bool must_reload);

}  // namespace mervane::fuzz
