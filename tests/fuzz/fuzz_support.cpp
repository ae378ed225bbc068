#include "fuzz_support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "bmf/bmf.h"
#include "model/failure.h"
#include "model/numbers.h"
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

// Lines whose first fields hold the same numbers as read by the number
// rule: what a .bmf keeps of a model, whose lines it writes anew with just
// the fields it stores. Coordinates may move by the six-decimal and float32
// roundings.
bool SameNumbers(const LineTable& a, const LineTable& b, int count, std::size_t fields, double tolerance) {
  for (int i = 0; i < count; ++i) {
    std::array<std::string_view, 5> fa, fb;
    if (SplitFields(a.at(i), fa) < fields || SplitFields(b.at(i), fb) != fields) return false;
    for (std::size_t k = 0; k < fields; ++k) {
      const double x = ReadNumber(fa[k]), y = ReadNumber(fb[k]);
      if (!(std::fabs(x - y) <= tolerance * std::max(1.0, std::fabs(x)))) return false;
    }
  }
  return true;
}

// Where b, read back from a .bmf written from a, lost something; empty when
// it kept all a .bmf keeps.
std::string BmfLost(const SkinModel& a, const SkinModel& b) {
  if (a.MeshName != b.MeshName || a.TextureName != b.TextureName) return "a name";
  if (a.BoneCount != b.BoneCount || a.FaceCount != b.FaceCount || a.TexVertexCount != b.TexVertexCount ||
      a.BlendCount != b.BlendCount || a.VertexCount != b.VertexCount)
    return "a count";
  for (int i = 0; i < a.BoneCount; ++i)
    if (a.BoneNames.at(i) != b.BoneNames.at(i)) return "a bone name";
  if (!SameNumbers(a.FaceLines, b.FaceLines, a.FaceCount, 3, 0)) return "a face";
  if (!SameNumbers(a.BindingLines, b.BindingLines, a.BoneCount, 5, 0)) return "a binding";
  if (!SameNumbers(a.BlendLines, b.BlendLines, a.BlendCount, 2, 0)) return "a blend entry";
  if (!SameNumbers(a.TexVertexLines, b.TexVertexLines, a.TexVertexCount, 2, 1e-6)) return "a texture vertex";
  return {};
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
    const std::string lost = BmfLost(model, *back.model);
    Require(lost.empty(), "written .bmf bytes read back without " + lost);
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
