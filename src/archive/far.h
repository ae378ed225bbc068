#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/textfile.h"

namespace mervane {

// The game's archives (.far): a 16-byte header ("FAR!byAZ", uint32 version
// 1, uint32 offset of the manifest), the members' bytes, and the manifest:
// a uint32 count, then per member its size (twice), its offset and its
// name (a uint32 length and the bytes). Little-endian throughout.
inline constexpr std::string_view kFarSignature = "FAR!byAZ";
inline constexpr std::uint32_t kFarHeaderSize = 16;
// A manifest entry without its name.
inline constexpr std::uint32_t kFarEntrySize = 16;
// No file system takes longer names; a longer one is a damaged manifest.
inline constexpr std::uint32_t kFarNameLimit = 4096;

// One file held in an archive, as its manifest entry states it.
struct FarMember {
  std::string name;  // as stored: any bytes, checked only when extracted
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
};

// An archive whose manifest has been read and checked; members' bytes are
// read only when asked for, so an archive of any size costs memory in
// proportion to its manifest.
class FarArchive {
 public:
  // Opens the archive at path and reads its header and manifest, nothing
  // else. Throws Failure naming the file, the byte offset and the element:
  // 53 or 75 as ReadWholeFile for a missing or unreadable file; 5 for a
  // file that is not a version-1 archive, a member whose two sizes differ,
  // or whose bytes overlap the header, the manifest or another member; 62
  // for a manifest or member past the end of the file, or a count that the
  // manifest's bytes cannot hold (found before anything is allocated for
  // the members); 9 for a name longer than kFarNameLimit.
  static FarArchive Open(const std::string& path);
  // The same over an archive held in memory, which must outlive the result.
  // name stands for the file in failures.
  static FarArchive FromBytes(std::string_view bytes, std::string_view name);

  FarArchive(FarArchive&&) = default;

  // The path or name given when it was opened.
  const std::string& name() const { return name_; }
  // The members in manifest order.
  const std::vector<FarMember>& members() const { return members_; }
  std::uint32_t manifest_offset() const { return manifest_offset_; }

  // The first member whose name matches name without regard to ASCII case,
  // "/" and "\" counting as the same; null when there is none.
  const FarMember* Find(std::string_view name) const;

  // A member's bytes, read now (a failed read names the archive and offset).
  std::string Read(const FarMember& member) const;

 private:
  friend class ManifestCursor;
  FarArchive() = default;
  void ReadAt(std::uint64_t offset, std::span<char> out) const;
  void ReadManifest();

  std::string name_;
  std::optional<ReadOnlyFile> file_;
  std::string_view bytes_;  // when held in memory
  std::uint64_t size_ = 0;
  std::uint32_t manifest_offset_ = 0;
  std::vector<FarMember> members_;
};

// The bytes of member, found as FarArchive::Find finds it, of the archive at
// archive_path. A name the archive lacks is error 53 naming both.
std::string ReadFarMember(const std::string& archive_path, std::string_view member);

// Reads a whole file as ReadDiskFile does; but a path whose folder part
// ends in an existing archive ("skins.far/body.bmf") reads that member of
// the archive, found by name without regard to case, and a name the archive
// lacks is error 53 that never reaches a file beside the archive.
std::string ReadWholeFile(const std::string& path);

// What an archive is made from.
struct FarFile {
  std::string name;
  std::string_view bytes;
};

// The bytes of an archive holding files in the order given. Error 5 when
// the archive would pass 4 GB or a name kFarNameLimit; names are otherwise
// written as given, so that tests can make hostile archives too.
std::string FarBytes(std::span<const FarFile> files);

// A name for messages: in double quotes, control characters, quotes and
// backslashes escaped, at most 200 bytes of it shown. Member names come
// from strangers and must not drive the terminal.
std::string QuotedName(std::string_view name);

}  // namespace mervane
