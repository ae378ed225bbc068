#include "fuzz_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "model/failure.h"
#include "project/project.h"
#include "skn/skn.h"

namespace mervane::fuzz {
namespace fs = std::filesystem;

namespace {

void RemoveScratch() {
  std::error_code ec;
  fs::remove_all(Scratch(), ec);
}

std::string MakeScratch() {
  // The fuzz script names a folder of its own, which it removes even when a
  // run ends by a crash and this process's exit handler never runs.
  std::error_code ec;
  const char* chosen = std::getenv("MERVANE_FUZZ_SCRATCH");
  fs::path base = chosen && *chosen ? fs::path(chosen)
                  : fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm")
                                                      : fs::temp_directory_path();
  const fs::path dir = base / ("mervane-fuzz-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  return dir.string();
}

bool KnownMessage(const std::string& text) {
  if (text == kCorruptBindingsMessage) return true;
  for (FailureKind kind : {FailureKind::TexVertexLimit, FailureKind::VertexLimit, FailureKind::NormalLimit})
    if (text == LimitMessage(kind)) return true;
  // Only what the content of a file can cause: the scratch folder itself
  // never fails, and memory is bounded by the fuzzer's own limit.
  for (int number : {err::kInvalidArgument, err::kOverflow, err::kIndexOutOfRange, err::kPastEndOfFile})
    if (text == ErrorMessage(number)) return true;
  return false;
}

// Everything but coordinate text, which may round differently when read again.
bool SameShape(const SkinModel& a, const SkinModel& b, std::string& why) {
  if (a.MeshName != b.MeshName || a.TextureName != b.TextureName) return why = "names", false;
  if (a.BoneCount != b.BoneCount || a.FaceCount != b.FaceCount || a.TexVertexCount != b.TexVertexCount ||
      a.BlendCount != b.BlendCount || a.VertexCount != b.VertexCount || a.NormalCount != b.NormalCount)
    return why = "counts", false;
  auto same = [&](const LineTable& x, const LineTable& y, int count, const char* what) {
    for (int i = 0; i < count; ++i)
      if (x.at(i) != y.at(i)) return why = std::string(what) + " " + std::to_string(i), false;
    return true;
  };
  return same(a.BoneNames, b.BoneNames, a.BoneCount, "bone") &&
         same(a.BindingLines, b.BindingLines, a.BoneCount, "binding") &&
         same(a.FaceLines, b.FaceLines, a.FaceCount, "face") &&
         same(a.TexVertexLines, b.TexVertexLines, a.TexVertexCount, "texture vertex") &&
         same(a.BlendLines, b.BlendLines, a.BlendCount, "blend");
}

void RemoveFiles(std::initializer_list<const char*> names) {
  for (const char* name : names) ::unlink(ScratchPath(name).c_str());
}

}  // namespace

const std::string& Scratch() {
  // Never destroyed, so that the exit handler that removes it can still name it.
  static const std::string* dir = [] {
    auto* made = new std::string(MakeScratch());
    std::atexit(RemoveScratch);
    return made;
  }();
  return *dir;
}

std::string ScratchPath(const std::string& name) { return Scratch() + "/" + name; }

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  Require(out.good(), "cannot write the input to " + path);
}

void ClearScratch() {
  for (const auto& entry : fs::directory_iterator(Scratch())) fs::remove_all(entry.path());
}

std::string ScratchListing() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Scratch())) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string& name : names) out += name + " ";
  return out;
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "\n*** %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

void FuzzPrompts::ShowMessage(const std::string& text, const std::string& detail) {
  ++messages;
  last_text = text;
  last_detail = detail;
}

std::optional<bool> FuzzPrompts::AskYesNo(const std::string& title, const std::string& text) {
  Require(title == kInvalidNormalsTitle && text == kInvalidNormalsQuestion, "an unknown question: " + text);
  ++questions;
  return answer_;
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

void CheckOutcome(Outcome outcome, const SkinModel& model, const FuzzPrompts& prompts, const char* who) {
  const std::string said = std::string(who) + ": \"" + prompts.last_text + "\" / " + prompts.last_detail;
  Require(prompts.questions <= 1, std::string(who) + " asked more than once");
  if (outcome == Outcome::Succeeded) {
    Require(prompts.messages == 0, "succeeded but told the user " + said);
    Require(model.ModelLoaded, std::string(who) + " succeeded without a loaded model");
    return;
  }
  if (prompts.messages == 0) {
    Require(prompts.questions == 1, std::string(who) + " failed silently without a question");
  } else {
    Require(prompts.messages == 1, std::string(who) + " told the user more than once");
    Require(KnownMessage(prompts.last_text), "unexpected message " + said);
    Require(!prompts.last_detail.empty(), "a failure without detail " + said);
    Require(prompts.last_detail.size() <= 1003, std::string(who) + ": a detail quotes too much");
  }
  Require(!model.ModelLoaded, std::string(who) + " failed but left the model loaded");
  Require(model.BoneCount == 0 && model.FaceCount == 0 && model.VertexCount == 0 &&
              model.NormalCount == 0 && model.TexVertexCount == 0 && model.BlendCount == 0 &&
              model.MeshName.empty() && model.TextureName.empty(),
          std::string(who) + " failed but left the model filled");
}

void ExerciseWriters(const SkinModel& model, std::optional<bool> answer, bool must_reload) {
  const std::string before = ScratchListing();
  {
    SkinModel copy = model;
    FuzzPrompts prompts(answer);
    const Outcome outcome = SaveSkn(copy, prompts, ScratchPath("out.skn"));
    CheckOutcome(outcome, copy, prompts, "SaveSkn");
    if (outcome == Outcome::Failed) {
      Require(!must_reload, "a skin that was read cannot be written: " + prompts.last_detail);
      Require(ScratchListing() == before, "a failed .skn save left files: " + ScratchListing());
    } else {
      SkinModel back;
      FuzzPrompts again(answer);
      const Outcome reread = LoadSkn(back, again, ScratchPath("out.skn"));
      CheckOutcome(reread, back, again, "LoadSkn of a written skin");
      if (must_reload) {
        Require(reread == Outcome::Succeeded, "a written skin does not read back: " + again.last_text +
                                                  " / " + again.last_detail);
        std::string why;
        Require(SameShape(back, model, why), "a written skin reads back different: " + why);
      }
      RemoveFiles({"out.skn"});
    }
  }
  {
    SkinModel copy = model;
    FuzzPrompts prompts(answer);
    const Outcome outcome = SaveProject(copy, prompts, ScratchPath("out.spj"));
    CheckOutcome(outcome, copy, prompts, "SaveProject");
    if (outcome == Outcome::Failed) {
      Require(ScratchListing() == before, "a failed project save left files: " + ScratchListing());
    } else {
      SkinModel back;
      FuzzPrompts again(answer);
      CheckOutcome(LoadProject(back, again, ScratchPath("out.spj")), back, again,
                   "LoadProject of a written project");
      RemoveFiles({"out.spj", "out.obj", "out.mtl"});
    }
  }
}

}  // namespace mervane::fuzz
