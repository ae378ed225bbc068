#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "model/failure.h"

namespace mervane {

// How the core talks to the user. The desktop program answers with message
// boxes, the converter with stderr and its flags, tests with a recording fake.
class Prompts {
 public:
  virtual ~Prompts() = default;
  // A message with an OK button under the program's title; detail says
  // where and what, and may be empty.
  virtual void ShowMessage(const std::string& text, const std::string& detail) = 0;
  // A failure of a file command; by default its message and detail.
  virtual void ShowFailure(const Failure& failure) { ShowMessage(failure.message(), failure.detail()); }
  // A Yes/No question, Yes the default unless yes_by_default is false (a
  // question whose Yes destroys something). No answer (nullopt) means
  // nobody could answer; the caller then fails without writing anything.
  virtual std::optional<bool> AskYesNo(const std::string& title, const std::string& text,
                                       bool yes_by_default = true) = 0;
  // Asks which of choices (two or more) to take: the index taken, or
  // nullopt when nobody could answer or the user cancelled; the caller then
  // fails without reading. By default nobody can.
  virtual std::optional<std::size_t> AskChoice(const std::string& title, const std::string& text,
                                               const std::vector<std::string>& choices) {
    (void)title, (void)text, (void)choices;
    return std::nullopt;
  }
  // Before unsaved work would be lost: Save, Discard or Cancel, Cancel the
  // default and the answer where nobody can answer.
  enum class Keep { Save, Discard, Cancel };
  virtual Keep AskSaveDiscardCancel(const std::string& /*text*/) { return Keep::Cancel; }
};

inline constexpr const char* kInvalidNormalsTitle = "Invalid Normals";
inline constexpr const char* kInvalidNormalsQuestion =
    "Normals are invalid.  If they are not fixed, the program may crash.  Fix?";

// What a reader or writer did, for its caller (the window empties its file
// label on Failed).
enum class Outcome { Succeeded, Failed };

}  // namespace mervane
