#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>

#include "bmf/bmf.h"
#include "model/failure.h"
#include "project/project.h"
#include "skn/skn.h"

namespace mervane::fuzz {
namespace {

// A writer's refusal: a message the model's content can cause, with a detail.
void RequireCleanRefusal(const Failure& failure, const char* who) {
  Require(test::IsContentMessage(failure.message()) && !failure.detail().empty() &&
              failure.detail().size() <= 1003,
          std::string(who) + " refused unexpectedly: \"" + failure.message() + "\" / " + failure.detail());
}

}  // namespace

void Fail(const std::string& what) {
  std::fprintf(stderr, "\n*** %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

std::optional<bool> AnswerFrom(unsigned choice) {
  switch (choice % 3) {
    case 0:
      return true;
    case 1:
      return false;
    default:
      return std::nullopt;
  }
}

void ExerciseWriters(const SkinModel& model, std::optional<bool> answer, bool must_reload) {
  try {
    const std::string skn = SknText(model);
    const test::ReadEnd back = test::ReadCleanly([&](const NormalsQuestion&) { return ParseSkn(skn, "out.skn"); });
    RequireClean(back, "ParseSkn of written text");
    if (must_reload) {
      Require(back.model.has_value(), "written .skn text does not read back: " + back.detail());
      std::string why;
      Require(test::SameModel(*back.model, model, &why, /*coordinates=*/false),
              "written .skn text reads back different: " + why);
    }
  } catch (const Failure& failure) {
    Require(!must_reload, "a skin that was read cannot be written: " + failure.detail());
    RequireCleanRefusal(failure, "SknText");
  }
  try {
    // A .bmf holds only what fits its fields: a refusal must be clean, and
    // what is written reads back with the same names and integers.
    const std::string bmf = BmfBytes(model);
    const test::ReadEnd back = test::ReadCleanly([&](const NormalsQuestion&) { return ParseBmf(bmf, "out.bmf"); });
    RequireClean(back, "ParseBmf of written bytes");
    Require(back.model.has_value(), "written .bmf bytes do not read back: " + back.detail());
    std::string why;
    Require(test::SameModel(*back.model, model, &why, /*coordinates=*/false),
            "written .bmf bytes read back different: " + why);
  } catch (const Failure& failure) {
    Require(!must_reload || failure.number() == err::kInvalidArgument || failure.number() == err::kOverflow,
            "a skin that was read cannot be written as .bmf: " + failure.detail());
    RequireCleanRefusal(failure, "BmfBytes");
  }
  try {
    const ProjectFiles files = BuildProjectFiles(model, "out.spj", "");
    RequireClean(test::ReadCleanly(
                     [&](const NormalsQuestion& ask) {
                       return ParseProject(files.spj, files.obj, "out.spj", "out.obj", ask);
                     },
                     answer),
                 "ParseProject of a written project");
  } catch (const Failure& failure) {
    RequireCleanRefusal(failure, "BuildProjectFiles");
  }
}

}  // namespace mervane::fuzz
