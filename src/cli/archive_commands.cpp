#include "cli/archive_commands.h"

#include <iomanip>

#include "archive/extract.h"
#include "archive/far.h"
#include "model/paths.h"

namespace mervane {
namespace {

void ShowFailure(const Failure& failure, std::ostream& err) {
  err << "mervane-convert: error " << failure.number() << ": " << failure.detail() << "\n";
}

}  // namespace

bool IsArchivePath(const std::string& path) { return ExtensionOf(path) == "far"; }

int PrintArchiveInfo(const std::string& path, std::ostream& out, std::ostream& err) {
  try {
    const FarArchive archive = FarArchive::Open(path);
    std::uint64_t total = 0;
    for (const FarMember& member : archive.members()) total += member.size;
    out << "archive: " << FileNameOf(path) << "\n"
        << "members: " << archive.members().size() << " (" << total << " bytes)\n";
    for (const FarMember& member : archive.members())
      out << "  " << std::right << std::setw(10) << member.size << "  " << QuotedName(member.name) << "\n";
    return 0;
  } catch (const Failure& failure) {
    ShowFailure(failure, err);
    return 1;
  }
}

int ExtractArchive(const std::string& path, const std::string& folder, const std::vector<std::string>& members,
                   std::ostream& out, std::ostream& err) {
  try {
    const FarArchive archive = FarArchive::Open(path);
    const ExtractResult result = ExtractFar(archive, folder, members);
    for (const std::string& problem : result.problems) err << "mervane-convert: " << problem << "\n";
    out << "Extracted " << result.written.size() << " of " << archive.members().size() << " members from "
        << FileNameOf(path);
    if (!result.problems.empty()) out << "; " << result.problems.size() << " not extracted";
    out << "\n";
    return result.problems.empty() ? 0 : 1;
  } catch (const Failure& failure) {
    ShowFailure(failure, err);
    return 1;
  }
}

}  // namespace mervane
