#pragma once

#include <new>

#include "model/failure.h"
#include "model/model.h"
#include "model/prompts.h"

namespace mervane {

// Runs the body of a reader or writer. A failure is told to the user, the
// model is emptied and unloaded, and Failed goes back to the caller, which
// empties its file label.
template <typename Body>
Outcome RunGuarded(SkinModel& model, Prompts& prompts, Body&& body) {
  try {
    body();
    return Outcome::Succeeded;
  } catch (const Failure& failure) {
    if (failure.kind() != FailureKind::Unanswered)
      prompts.ShowMessage(failure.message(), failure.detail());
  } catch (const std::bad_alloc&) {
    prompts.ShowMessage(ErrorMessage(err::kOutOfMemory), "not enough memory");
  }
  ResetModel(model);
  model.ModelLoaded = false;
  return Outcome::Failed;
}

}  // namespace mervane
