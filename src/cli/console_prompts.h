#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "model/prompts.h"

namespace mervane {

// Tells the user on stderr; the question is answered by --fix-normals.
// prefix comes after the program's name: the batch names each source there.
class ConsolePrompts : public Prompts {
 public:
  ConsolePrompts(std::ostream& err, std::optional<bool> fix_normals, std::string prefix = {})
      : err_(err), fix_normals_(fix_normals), prefix_(std::move(prefix)) {}

  void ShowMessage(const std::string& text, const std::string& detail) override {
    err_ << "mervane-convert: " << prefix_ << text;
    if (!detail.empty()) err_ << ": " << detail;
    err_ << "\n";
  }

  // "mervane-convert: error 62: body.skn line 2: ...": a command-line tool
  // names the failure, without the window's advice to exit.
  void ShowFailure(const Failure& failure) override {
    ShowMessage(failure.kind() == FailureKind::Error ? "error " + std::to_string(failure.number())
                                                     : failure.message(),
                failure.detail());
  }

  std::optional<bool> AskYesNo(const std::string& title, const std::string& text,
                               bool = true) override {
    if (fix_normals_) return fix_normals_;
    err_ << title << ": " << text << "\n"
         << "The first face names normals that the file does not hold. Run again with "
            "--fix-normals=yes to give each vertex the normal with its own index, or "
            "--fix-normals=no to keep the normals the faces name.\n";
    return std::nullopt;
  }

 private:
  std::ostream& err_;
  std::optional<bool> fix_normals_;
  std::string prefix_;
};

}  // namespace mervane
