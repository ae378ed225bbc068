#pragma once

#include <new>
#include <string>
#include <utility>

#include "model/failure.h"
#include "model/model.h"
#include "model/prompts.h"

namespace mervane {

// Runs the body of a file command. A failure is told to the user, and
// Failed goes back to the caller.
template <typename Body>
Outcome RunReported(Prompts& prompts, Body&& body) {
  try {
    body();
    return Outcome::Succeeded;
  } catch (const Failure& failure) {
    if (failure.kind() != FailureKind::Unanswered) prompts.ShowFailure(failure);
  } catch (const std::bad_alloc&) {
    prompts.ShowFailure(Failure::Error(err::kOutOfMemory, "not enough memory"));
  }
  return Outcome::Failed;
}

// Reads into a new model and takes it only when the whole read succeeded:
// a broken file never costs the user the model they had. The shell's
// CommandFile stays; ModelLoaded and SourcePath are set on success.
template <typename Read>
Outcome LoadReported(SkinModel& model, Prompts& prompts, const std::string& path, Read&& read) {
  return RunReported(prompts, [&] {
    SkinModel fresh = NamingFile(path, read);
    fresh.CommandFile = std::move(model.CommandFile);
    fresh.ModelLoaded = true;
    fresh.SourcePath = path;
    model = std::move(fresh);
  });
}

}  // namespace mervane
