// The .bcf reader on any bytes; what it reads is written back to the same
// bytes, and as .cmx text that reads back the same.
#include <cstddef>
#include <cstdint>

#include "character/character.h"
#include "character_checks.h"

using namespace mervane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CharacterFile file;
  try {
    file = ParseBcf(bytes, "in.bcf");
  } catch (const Failure& failure) {
    fuzz::RequireCleanFailure(failure, "in.bcf", false);
    return 0;
  }
  fuzz::Require(BcfBytes(file) == bytes, "a .bcf read and written is not the same bytes");
  std::string text;
  try {
    text = CmxText(file);
  } catch (const Failure& failure) {
    // Names holding line breaks fit a .bcf but no text.
    fuzz::Require(failure.number() == err::kInvalidArgument && failure.detail().find("line break") != std::string::npos,
                  "the .cmx writer refuses: " + failure.detail());
    return 0;
  }
  try {
    fuzz::Require(ParseCmx(text, "again.cmx") == file, "written .cmx text reads back differently");
  } catch (const Failure& failure) {
    fuzz::Fail("written .cmx text fails: " + failure.detail());
  }
  return 0;
}
