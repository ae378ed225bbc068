// The parts of the file layer that need no system calls of their own:
// the shape of archive paths, and folders through std::filesystem with
// UTF-8 names. Reading inside archives is the archive layer's.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/file_io_shared.h"
#include "files/textfile.h"

namespace mervane {
namespace {

namespace fs = std::filesystem;

// Paths inside the program are UTF-8; char8_t says so to std::filesystem,
// which then converts them right on Windows and leaves them alone elsewhere.
fs::path FsPath(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::optional<ArchivePath> SplitArchivePath(std::string_view path) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (!IsSeparator(path[i]) || i < 4) continue;
    const std::string_view prefix = path.substr(0, i);
    if (ToLowerAscii(prefix.substr(i - 4)) != ".far") continue;
    const std::string archive(prefix);
    if (IsOrdinaryFile(archive)) return ArchivePath{archive, std::string(path.substr(i + 1))};
  }
  return std::nullopt;
}

void RefuseArchiveTarget(const std::string& target) {
  if (const auto inside = SplitArchivePath(target))
    throw Failure::Error(err::kAccessDenied,
                         "cannot be written (it would go inside the archive " + FileNameOf(inside->archive) +
                             ", and archives are only read)")
        .InFile(target);
}

void MakeFolders(const std::string& folder) {
  std::error_code ec;
  try {
    fs::create_directories(FsPath(folder), ec);
  } catch (const std::exception&) {
    throw Failure::Error(err::kBadFileName, "cannot be created (the name is not valid UTF-8)").InFile(folder);
  }
  if (ec) throw WriteFailure(WriteErrorNumber(ec.default_error_condition().value()), folder, false, false, ec.message());
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  try {
    return Utf8(FsPath(folder) / FsPath(name));
  } catch (const std::exception&) {
    return folder + "/" + name;
  }
}

std::string ResolvedPath(const std::string& path) {
  try {
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(FsPath(path)), ec);
    return ec ? path : Utf8(resolved);
  } catch (const std::exception&) {
    return path;
  }
}

std::string PathKey(const std::string& path) {
  std::string key = ResolvedPath(path);
#ifdef _WIN32
  std::replace(key.begin(), key.end(), '/', '\\');
  key = ToLowerAscii(key);
#endif
  while (key.size() > 1 && (key.back() == '/' || key.back() == '\\')) key.pop_back();
  return key;
}

bool IsInsideFolder(const std::string& path, const std::string& folder) {
  try {
    std::error_code ec, folder_ec;
    const fs::path inner = fs::weakly_canonical(fs::absolute(FsPath(path)), ec);
    const fs::path outer = fs::weakly_canonical(fs::absolute(FsPath(folder)), folder_ec);
    if (ec || folder_ec) return false;
    const fs::path relative = inner.lexically_relative(outer);
    return !relative.empty() && relative != "." && *relative.begin() != "..";
  } catch (const std::exception&) {
    return false;
  }
}

std::vector<std::string> FoldersIn(const std::string& folder) {
  std::vector<std::string> names;
  try {
    std::error_code ec;
    fs::directory_iterator it(FsPath(folder.empty() ? "." : folder), ec);
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
      std::error_code type_ec;
      if (it->is_directory(type_ec)) names.push_back(Utf8(it->path().filename()));
    }
  } catch (const std::exception&) {
    // A name the system cannot convert ends the listing; what was found stays.
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> files;
  try {
    std::error_code ec;
    fs::recursive_directory_iterator it(FsPath(folder.empty() ? "." : folder),
                                        fs::directory_options::skip_permission_denied, ec);
    for (fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
      std::error_code type_ec;
      if (it->is_regular_file(type_ec)) files.push_back(Utf8(it->path()));
    }
  } catch (const std::exception&) {
    // A name the system cannot convert ends the walk; what was found stays.
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace mervane
