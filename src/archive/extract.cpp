#include "archive/extract.h"

#include <set>
#include <unordered_set>

#include "files/textfile.h"
#include "model/paths.h"

namespace mervane {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The name with "/" between its parts, lower-cased: two members that fold
// to the same key would be one file on Windows.
std::string FoldedKey(std::string_view name) {
  std::string key = ToLowerAscii(name);
  for (char& c : key)
    if (c == '\\') c = '/';
  return key;
}

std::string PartProblem(std::string_view part) {
  if (part.empty()) return "its name has an empty folder part";
  if (part == "..") return "its name climbs out of the folder (\"..\")";
  if (part == ".") return "its name has a \".\" part";
  if (part.find_first_of("<>:\"|?*") != std::string_view::npos)
    return "its name holds a character that Windows does not allow in names (<>:\"|?*)";
  if (const std::string reserved = WindowsNameProblem(part); !reserved.empty()) return "its name is refused: " + reserved;
  return {};
}

}  // namespace

std::string MemberNameProblem(std::string_view name) {
  if (name.empty()) return "its name is empty";
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return "its name holds a control character";
  }
  if (IsSeparator(name[0])) return "its name is absolute";
  if (name.size() >= 2 && IsLetter(name[0]) && name[1] == ':') return "its name starts with a drive";
  // Every part is looked at before a verdict, so that "a/../../x" is
  // called climbing, not whatever else its parts might be.
  std::string first_problem;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const std::string_view part = name.substr(start, end - start);
    const std::string problem = PartProblem(part);
    if (part == "..") return problem;
    if (first_problem.empty()) first_problem = problem;
    if (end == name.size()) break;
    start = end + 1;
  }
  return first_problem;
}

ExtractResult ExtractFar(const FarArchive& archive, const std::string& folder_given,
                         std::span<const std::string> only) {
  ExtractResult result;
  const std::string folder = folder_given.empty() ? std::string(".") : folder_given;
  MakeFolders(folder);
  const std::vector<FarMember>& members = archive.members();

  std::vector<const FarMember*> chosen;
  if (only.empty()) {
    for (const FarMember& member : members) chosen.push_back(&member);
  } else {
    std::set<const FarMember*> picked;
    for (const std::string& name : only) {
      if (const FarMember* member = archive.Find(name))
        picked.insert(member);
      else
        result.problems.push_back("the archive has no member named " + QuotedName(name));
    }
    // Manifest order, whatever the order asked in.
    for (const FarMember& member : members)
      if (picked.contains(&member)) chosen.push_back(&member);
  }

  const std::string base = IsSeparator(folder.back()) ? folder : folder + "/";
  std::unordered_set<std::string> taken;
  std::set<std::string> touched;
  for (const FarMember* member : chosen) {
    const std::string who =
        Counted("member", static_cast<long>(member - members.data())) + " " + QuotedName(member->name);
    auto skip = [&](const std::string& why) { result.problems.push_back(who + " was not written: " + why); };
    if (const std::string problem = MemberNameProblem(member->name); !problem.empty()) {
      skip(problem);
      continue;
    }
    if (!taken.insert(FoldedKey(member->name)).second) {
      skip("an earlier member has the same name (case ignored)");
      continue;
    }
    std::string target = base + member->name;
    for (std::size_t i = base.size(); i < target.size(); ++i)
      if (target[i] == '\\') target[i] = '/';
    // The name passed the text checks; the path it resolves to, through any
    // links already in the folder, must lie inside too. Checked before any
    // folder is made for it, and again once they exist.
    auto outside = [&] { return !IsInsideFolder(target, folder); };
    if (outside()) {
      skip("it would be written outside the folder, to " + QuotedName(ResolvedPath(target)));
      continue;
    }
    try {
      const std::string parent = FolderOf(target);
      MakeFolders(parent);
      if (outside()) {
        skip("it would be written outside the folder, to " + QuotedName(ResolvedPath(target)));
        continue;
      }
      const std::string bytes = archive.Read(*member);
      const FileToWrite file{target, bytes};
      StageFiles({&file, 1}, Flush::Later).Commit();
      touched.insert(parent);
      result.written.push_back(target);
    } catch (const Failure& failure) {
      skip(failure.detail());
    }
  }
  const std::vector<std::string> flushed(touched.begin(), touched.end());
  FlushFolders(flushed);
  return result;
}

}  // namespace mervane
