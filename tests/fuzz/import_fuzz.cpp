// The OBJ part import on any bytes after a first byte that picks the attach
// site and the answer to the normals question; what it imports is written
// both ways and read back.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "import/obj_import.h"

using namespace mervane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned choice = data[0];
  const std::string_view obj(reinterpret_cast<const char*>(data) + 1, size - 1);
  const auto answer = fuzz::AnswerFrom(choice / kAttachSites.size());

  ImportRequest request;
  request.obj_path = "in.obj";
  request.mesh_name = "part";
  request.texture_name = "part_skin";
  request.attach_site = kAttachSites[choice % kAttachSites.size()];

  const test::ReadEnd end = test::ReadCleanly(
      [&](const NormalsQuestion& ask) { return ParseObjPart(obj, request, ask); }, answer);
  fuzz::RequireClean(end, "ParseObjPart");
  if (end.model) {
    fuzz::Require(end.model->BoneCount == 1 && end.model->BoneNames.at(0) == request.attach_site,
                  "an imported part is not one bone at its site");
    fuzz::ExerciseWriters(*end.model, answer, /*must_reload=*/true);
  }
  return 0;
}
