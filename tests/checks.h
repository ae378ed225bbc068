#pragma once

// Checks shared by the tests and the fuzz targets. They need the core only,
// not a test framework, so that a fuzz target can use them too.
#include <optional>
#include <string>
#include <utility>

#include "model/failure.h"
#include "model/model.h"
#include "project/obj_reader.h"

namespace mervane::test {

// The error numbers that the content of a file can bring about.
inline constexpr int kContentErrors[] = {err::kInvalidArgument, err::kOverflow, err::kIndexOutOfRange,
                                         err::kPastEndOfFile};

// The messages that the content of a file can bring about.
inline bool IsContentMessage(const std::string& text) {
  if (text == kCorruptBindingsMessage) return true;
  for (FailureKind kind : {FailureKind::TexVertexLimit, FailureKind::VertexLimit, FailureKind::NormalLimit})
    if (text == LimitMessage(kind)) return true;
  for (int number : kContentErrors)
    if (text == ErrorMessage(number)) return true;
  return false;
}

// How a read from memory ended.
struct ReadEnd {
  std::optional<SkinModel> model;
  std::optional<Failure> failure;
  int questions = 0;
  std::string problem;  // why the end is not a clean one; empty when it is
  std::string message() const { return failure ? failure->message() : std::string(); }
  std::string detail() const { return failure ? failure->detail() : std::string(); }
};

// Runs read(ask), ask answering the normals question with answer. A clean
// end is a model; or a failure with a message the content can cause and a
// detail that names the file and quotes at most 1000 bytes; or, after one
// question nobody answered, the unanswered failure.
template <class Read>
ReadEnd ReadCleanly(Read&& read, std::optional<bool> answer = std::nullopt) {
  ReadEnd end;
  {
    const NormalsQuestion ask = [&end, answer] {
      ++end.questions;
      return answer;
    };
    try {
      end.model = read(ask);
    } catch (const Failure& failure) {
      end.failure = failure;
    }
  }
  auto problem = [&](const char* why) {
    end.problem = why;
    if (end.failure) end.problem += ": \"" + end.failure->message() + "\" / " + end.failure->detail();
  };
  if (end.questions > 1) {
    problem("asked more than once");
  } else if (end.failure) {
    const Failure& failure = *end.failure;
    if (failure.kind() == FailureKind::Unanswered) {
      if (end.questions != 1 || answer) problem("an unanswered failure without an unanswered question");
    } else if (!IsContentMessage(failure.message())) {
      problem("a message the content cannot cause");
    } else if (failure.file().empty()) {
      problem("a failure that does not name its file");
    } else if (failure.detail().size() > 1003) {
      problem("a detail that quotes too much");
    }
  }
  return end;
}

// Compares every observable field of two models; coordinates (vertex and
// normal lines) only when asked, since read again they may round differently.
inline bool SameModel(const SkinModel& a, const SkinModel& b, std::string* why = nullptr,
                      bool coordinates = true) {
  auto differ = [&](std::string what) {
    if (why) *why = std::move(what);
    return false;
  };
  if (a.MeshName != b.MeshName) return differ("MeshName");
  if (a.TextureName != b.TextureName) return differ("TextureName");
  if (a.BoneCount != b.BoneCount || a.FaceCount != b.FaceCount || a.TexVertexCount != b.TexVertexCount ||
      a.BlendCount != b.BlendCount || a.VertexCount != b.VertexCount || a.NormalCount != b.NormalCount)
    return differ("counts");
  auto same = [&](const LineTable& x, const LineTable& y, int count, const char* name) {
    for (int i = 0; i < count; ++i)
      if (x.at(i) != y.at(i))
        return differ(std::string(name) + " " + std::to_string(i) + ": \"" + std::string(x.at(i)) + "\" vs \"" + std::string(y.at(i)) + "\"");
    return true;
  };
  return same(a.BoneNames, b.BoneNames, a.BoneCount, "BoneNames") &&
         same(a.BindingLines, b.BindingLines, a.BoneCount, "BindingLines") &&
         same(a.FaceLines, b.FaceLines, a.FaceCount, "FaceLines") &&
         same(a.TexVertexLines, b.TexVertexLines, a.TexVertexCount, "TexVertexLines") &&
         same(a.BlendLines, b.BlendLines, a.BlendCount, "BlendLines") &&
         (!coordinates || (same(a.VertexLines, b.VertexLines, a.VertexCount, "VertexLines") &&
                           same(a.NormalLines, b.NormalLines, a.NormalCount, "NormalLines")));
}

}  // namespace mervane::test
