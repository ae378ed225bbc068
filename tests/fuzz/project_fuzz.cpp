// The project reader on a .spj and an .obj cut from one input at a marker
// line; what it reads is written both ways and read back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <numeric>

#include "fuzz_support.h"
#include "project/project.h"

using namespace mervane;

namespace {
// Everything before the first marker is the .spj, everything after it the .obj.
constexpr std::string_view kMarker = "\n@@obj@@\n";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // memmem rather than find: the fuzzer watches its arguments and learns the marker.
  const void* hit = ::memmem(bytes.data(), bytes.size(), kMarker.data(), kMarker.size());
  const std::size_t cut = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data()) : size;
  const std::string_view spj = bytes.substr(0, cut);
  const std::string_view obj = hit ? bytes.substr(cut + kMarker.size()) : std::string_view();
  const auto answer = fuzz::AnswerFrom(std::accumulate(data, data + size, 0u));

  const test::ReadEnd end = test::ReadCleanly(
      [&](const NormalsQuestion& ask) { return ParseProject(spj, obj, "in.spj", "in.obj", ask); }, answer);
  fuzz::RequireClean(end, "ParseProject");
  if (end.model) {
    fuzz::Require(!end.model->SaveAsProjectFirst, "a read project proposes projects first");
    // Blended lines travel as the .spj gives them, so a .skn need not read back.
    fuzz::ExerciseWriters(*end.model, answer, /*must_reload=*/false);
  }
  return 0;
}
