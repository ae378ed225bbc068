// The .skn reader on any bytes; what it reads is written both ways and read back.
#include <cstddef>
#include <cstdint>
#include <numeric>

#include "fuzz_support.h"
#include "skn/skn.h"

using namespace mervane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto answer = fuzz::AnswerFrom(std::accumulate(data, data + size, 0u));
  const std::string path = fuzz::ScratchPath("in.skn");
  fuzz::WriteBytes(path, bytes);

  SkinModel model;
  model.ModelLoaded = true;  // an earlier file's
  fuzz::FuzzPrompts prompts(answer);
  const Outcome outcome = LoadSkn(model, prompts, path);
  fuzz::Require(prompts.questions == 0, "the .skn reader asked a question");
  fuzz::CheckOutcome(outcome, model, prompts, "LoadSkn");
  if (outcome == Outcome::Succeeded) {
    fuzz::Require(model.SaveAsProjectFirst, "a read skin does not propose projects first");
    fuzz::ExerciseWriters(model, answer, /*must_reload=*/true);
  }
  return 0;
}
