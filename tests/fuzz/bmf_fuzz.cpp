// The .bmf reader on any bytes; what it reads is written every way and read back.
#include <cstddef>
#include <cstdint>
#include <numeric>

#include "bmf/bmf.h"
#include "fuzz_support.h"

using namespace mervane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto answer = fuzz::AnswerFrom(std::accumulate(data, data + size, 0u));
  const test::ReadEnd end = test::ReadCleanly([&](const NormalsQuestion&) { return ParseBmf(bytes, "in.bmf"); });
  fuzz::RequireClean(end, "ParseBmf");
  if (end.model) {
    fuzz::Require(end.model->SaveAsProjectFirst, "a read mesh does not propose projects first");
    // Everything a .bmf holds fits a .bmf again.
    try {
      BmfBytes(*end.model);
    } catch (const Failure& failure) {
      fuzz::Fail("a mesh that was read cannot be written as .bmf: " + failure.detail());
    }
    // Names with line breaks fit a .bmf but no text file, whose writers refuse them.
    bool line_safe = true;
    try {
      CheckNamesFitLines(*end.model);
    } catch (const Failure&) {
      line_safe = false;
    }
    fuzz::ExerciseWriters(*end.model, answer, /*must_reload=*/line_safe);
  }
  return 0;
}
