#include "model/failure.h"

#include "model/paths.h"

namespace mervane {

namespace {

// Details quote lines of the file, and a hostile file's line can run to
// megabytes: more than a message box can lay out or a terminal should get.
constexpr std::size_t kMaxDetail = 1000;

std::string Capped(std::string_view detail) {
  if (detail.size() <= kMaxDetail) return std::string(detail);
  return std::string(detail.substr(0, kMaxDetail)) + "...";
}

}  // namespace

Failure::Failure(FailureKind kind, int number, std::string detail)
    : std::runtime_error(Capped(detail)), kind_(kind), number_(number), detail_(Capped(detail)) {}

Failure Failure::At(const std::string& place) const {
  if (placed_) return *this;
  Failure placed(kind_, number_, detail_.empty() ? place : place + ": " + detail_);
  placed.placed_ = true;
  return placed;
}

std::string Failure::message() const {
  switch (kind_) {
    case FailureKind::Error:
      return ErrorMessage(number_);
    case FailureKind::CorruptBindings:
      return kCorruptBindingsMessage;
    case FailureKind::Unanswered:
      return {};
    default:
      return LimitMessage(kind_);
  }
}

std::string ErrorMessage(int number) {
  return "Error " + std::to_string(number) +
         " has occurred.  It is recommended that you exit the application.";
}

std::string LimitMessage(FailureKind kind) {
  const char* prefix = "Too many vertices!  ";
  if (kind == FailureKind::TexVertexLimit) prefix = "Too many texture vertices!  ";
  if (kind == FailureKind::NormalLimit) prefix = "Too many normals!  ";
  return std::string(prefix) + "32000 is the current limit!";
}

std::string Where(const std::string& path, long line) {
  std::string where = FileNameOf(path);
  if (line > 0) where += " line " + std::to_string(line);
  return where;
}

}  // namespace mervane
