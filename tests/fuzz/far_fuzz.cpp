// The archive reader on any bytes: a manifest it accepts keeps every member
// inside the data, extraction's name rule never lets a name leave its
// folder, and the members written again read back the same.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "archive/extract.h"
#include "archive/far.h"
#include "fuzz_support.h"

using namespace mervane;

namespace {

void CheckFailure(const Failure& failure, std::size_t size) {
  const int n = failure.number();
  fuzz::Require(n == err::kInvalidArgument || n == err::kIndexOutOfRange || n == err::kPastEndOfFile,
                "an unexpected error number: " + failure.detail());
  fuzz::Require(failure.file() == "in.far", "a failure that does not name its file: " + failure.detail());
  fuzz::Require(failure.offset() && *failure.offset() <= size, "a failure without a place: " + failure.detail());
  fuzz::Require(failure.detail().size() <= 1003, "a detail that quotes too much");
}

// Joined onto a folder as extraction joins it, the name stays below it.
void CheckNameStaysInside(const std::string& name) {
  if (!MemberNameProblem(name).empty()) return;
  std::string relative = name;
  for (char& c : relative)
    if (c == '\\') c = '/';
  const std::filesystem::path base("/base");
  const std::filesystem::path joined = (base / relative).lexically_normal();
  const std::filesystem::path inside = joined.lexically_relative(base);
  fuzz::Require(!inside.empty() && *inside.begin() != ".." && *inside.begin() != ".",
                "an accepted name leaves its folder: " + QuotedName(name));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::optional<FarArchive> archive;
  try {
    archive.emplace(FarArchive::FromBytes(bytes, "in.far"));
  } catch (const Failure& failure) {
    CheckFailure(failure, size);
    return 0;
  }
  std::vector<FarFile> again;
  std::vector<std::string> contents;
  contents.reserve(archive->members().size());
  for (const FarMember& member : archive->members()) {
    fuzz::Require(member.offset >= kFarHeaderSize &&
                      std::uint64_t{member.offset} + member.size <= archive->manifest_offset(),
                  "a member outside the data: " + QuotedName(member.name));
    contents.push_back(archive->Read(member));
    fuzz::Require(contents.back() == bytes.substr(member.offset, member.size), "a member read wrong");
    const FarMember* found = archive->Find(member.name);
    fuzz::Require(found != nullptr && found <= &member, "a member not found by its own name");
    CheckNameStaysInside(member.name);
    const std::string quoted = QuotedName(member.name);
    for (const char c : quoted)
      fuzz::Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "a quoted name with a control character");
  }
  for (std::size_t i = 0; i < contents.size(); ++i) again.push_back({archive->members()[i].name, contents[i]});
  const std::string rewritten = FarBytes(again);
  try {
    const FarArchive back = FarArchive::FromBytes(rewritten, "in.far");
    fuzz::Require(back.members().size() == again.size(), "a rewritten archive lost members");
    for (std::size_t i = 0; i < again.size(); ++i)
      fuzz::Require(back.members()[i].name == again[i].name && back.Read(back.members()[i]) == again[i].bytes,
                    "a rewritten member differs");
  } catch (const Failure& failure) {
    fuzz::Fail("a rewritten archive cannot be read: " + failure.detail());
  }
  return 0;
}
