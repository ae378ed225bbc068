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
  const test::ReadEnd end = test::ReadCleanly([&](const NormalsQuestion&) { return ParseSkn(bytes, "in.skn"); });
  fuzz::RequireClean(end, "ParseSkn");
  if (end.model) {
    fuzz::Require(end.model->SaveAsProjectFirst, "a read skin does not propose projects first");
    fuzz::ExerciseWriters(*end.model, answer, /*must_reload=*/true);
  }
  return 0;
}
