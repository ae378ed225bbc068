// The OBJ part import on any bytes after a first byte that picks the attach
// site, the normal check state carried from an earlier import, and the answer
// to the normals question; what it imports is written both ways and read back.
#include <cstddef>
#include <array>
#include <cstdint>

#include "fuzz_support.h"
#include "import/obj_import.h"

using namespace mervane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned choice = data[0];
  const std::string_view obj(reinterpret_cast<const char*>(data) + 1, size - 1);
  const auto answer = fuzz::AnswerFrom(choice / 72);
  NormalCheckState state = std::array{NormalCheckState::Untested, NormalCheckState::UseNormalIndices,
                                      NormalCheckState::UseVertexIndices}[(choice / 24) % 3];
  const NormalCheckState state_before = state;

  ImportRequest request;
  request.obj_path = fuzz::ScratchPath("in.obj");
  request.mesh_name = "part";
  request.texture_name = "part_skin";
  request.attach_site = kAttachSites[choice % kAttachSites.size()];
  fuzz::WriteBytes(request.obj_path, obj);

  SkinModel model;
  model.ModelLoaded = true;
  fuzz::FuzzPrompts prompts(answer);
  const Outcome outcome = ImportObjPart(model, prompts, request, state);
  fuzz::CheckOutcome(outcome, model, prompts, "ImportObjPart");
  fuzz::Require(state_before == NormalCheckState::Untested || state == state_before,
                "a decided normal check changed");
  fuzz::Require(prompts.questions == 0 || state_before == NormalCheckState::Untested,
                "asked again after the normals were decided");
  if (outcome == Outcome::Succeeded) {
    fuzz::Require(model.BoneCount == 1 && model.BoneNames.at(0) == request.attach_site,
                  "an imported part is not one bone at its site");
    fuzz::ExerciseWriters(model, answer, /*must_reload=*/true);
  }
  return 0;
}
