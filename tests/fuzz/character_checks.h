#pragma once

// What the character readers' fuzz targets require of every input.
#include <string>

#include "fuzz_support.h"

namespace mervane::fuzz {

// A refusal of a reader: a failure the content can cause, naming the file
// and a place in it, with a detail of bounded size.
inline void RequireCleanFailure(const Failure& failure, const char* file, bool by_line) {
  bool content = false;
  for (const int number : test::kContentErrors) content = content || failure.number() == number;
  Require(failure.kind() == FailureKind::Error && content, "a failure the content cannot cause: " + failure.detail());
  Require(failure.file() == file, "a failure that does not name its file: " + failure.detail());
  Require(by_line ? failure.line() > 0 : failure.offset().has_value(), "a failure without its place: " + failure.detail());
  Require(failure.detail().size() <= 1003, "a detail that quotes too much");
}

}  // namespace mervane::fuzz
