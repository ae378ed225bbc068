#include "archive/far.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "model/paths.h"

namespace mervane {
namespace {

std::uint32_t LoadU32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
}

void StoreU32(std::string& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(v >> shift & 0xFF));
}

Failure FailAt(std::uint64_t offset, int number, std::string what) {
  Failure failure = Failure::Error(number, std::move(what));
  failure.AtOffset(offset);
  return failure;
}

char FoldedChar(char c) {
  if (c == '\\') return '/';
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool SameMemberName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldedChar(x) == FoldedChar(y); });
}

std::string MemberText(std::size_t index, std::string_view name) {
  return Counted("member", static_cast<long>(index)) + " " + QuotedName(name);
}

}  // namespace

// Reads the manifest front to back, a buffer at a time: a manifest is read
// whole only as far as it goes, whatever follows it or however large the
// archive is.
class ManifestCursor {
 public:
  ManifestCursor(const FarArchive& archive, std::uint64_t start, std::uint64_t end)
      : archive_(archive), pos_(start), end_(end) {}

  std::uint64_t offset() const { return pos_; }
  std::uint64_t left() const { return end_ - pos_; }

  std::uint32_t U32(const char* what) {
    if (left() < 4)
      throw FailAt(pos_, err::kPastEndOfFile, std::string("the file ends where ") + what + " was expected");
    return LoadU32(Take(4));
  }

  // The next n bytes where they lie buffered, which the caller has checked
  // are left; valid until the next call.
  const char* Take(std::size_t n) {
    Buffer(n);
    const char* at = buf_.data() + (pos_ - buf_at_);
    pos_ += n;
    return at;
  }

 private:
  static constexpr std::size_t kChunk = 1 << 16;

  void Buffer(std::size_t n) {
    if (pos_ >= buf_at_ && pos_ + n <= buf_at_ + buf_.size()) return;
    buf_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(std::max(n, kChunk), left())));
    archive_.ReadAt(pos_, buf_);
    buf_at_ = pos_;
  }

  const FarArchive& archive_;
  std::uint64_t pos_, end_;
  std::vector<char> buf_;
  std::uint64_t buf_at_ = 0;
};

FarArchive FarArchive::Open(const std::string& path) {
  return NamingFile(path, [&] {
    FarArchive archive;
    archive.name_ = path;
    archive.file_.emplace(path);
    archive.size_ = archive.file_->size();
    archive.ReadManifest();
    return archive;
  });
}

FarArchive FarArchive::FromBytes(std::string_view bytes, std::string_view name) {
  return NamingFile(name, [&] {
    FarArchive archive;
    archive.name_ = name;
    archive.bytes_ = bytes;
    archive.size_ = bytes.size();
    archive.ReadManifest();
    return archive;
  });
}

void FarArchive::ReadAt(std::uint64_t offset, std::span<char> out) const {
  if (file_) return file_->ReadAt(offset, out);
  // Callers stay inside the size, which for bytes in memory cannot change.
  if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
}

void FarArchive::ReadManifest() {
  if (size_ < kFarHeaderSize)
    throw FailAt(size_, err::kPastEndOfFile,
                 "the file is " + std::to_string(size_) + " bytes, too short for an archive's 16-byte header");
  char header[kFarHeaderSize];
  ReadAt(0, header);
  if (std::string_view(header, 8) != kFarSignature)
    throw FailAt(0, err::kInvalidArgument, "not an archive: it does not begin with FAR!byAZ");
  if (const std::uint32_t version = LoadU32(header + 8); version != 1)
    throw FailAt(8, err::kInvalidArgument, "archive version " + std::to_string(version) + "; only version 1 is read");
  manifest_offset_ = LoadU32(header + 12);
  if (manifest_offset_ < kFarHeaderSize)
    throw FailAt(12, err::kInvalidArgument,
                 "the manifest offset " + std::to_string(manifest_offset_) + " points inside the header");
  if (manifest_offset_ > size_ - 4)
    throw FailAt(12, err::kPastEndOfFile,
                 "the manifest offset " + std::to_string(manifest_offset_) + " points past the end of the file (" +
                     std::to_string(size_) + " bytes)");

  ManifestCursor in(*this, manifest_offset_, size_);
  const std::uint64_t count_at = in.offset();
  const std::uint32_t count = in.U32("the member count");
  // Before anything is allocated: every entry takes at least 16 bytes.
  if (count > in.left() / kFarEntrySize)
    throw FailAt(count_at, err::kPastEndOfFile,
                 std::to_string(count) + " members announced, but the manifest's " + std::to_string(in.left()) +
                     " bytes hold at most " + std::to_string(in.left() / kFarEntrySize));
  members_.reserve(count);
  std::vector<std::uint64_t> entry_at(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    entry_at[i] = in.offset();
    if (in.left() < kFarEntrySize)
      throw FailAt(in.offset(), err::kPastEndOfFile, "the file ends inside " + Counted("member", i) + "'s entry");
    const char* fields = in.Take(kFarEntrySize);
    const std::uint32_t size = LoadU32(fields), size_again = LoadU32(fields + 4), offset = LoadU32(fields + 8),
                        length = LoadU32(fields + 12);
    const std::uint64_t length_at = entry_at[i] + 12;
    if (length > kFarNameLimit)
      throw FailAt(length_at, err::kIndexOutOfRange,
                   Counted("member", i) + "'s name of " + std::to_string(length) + " bytes is longer than the " +
                       std::to_string(kFarNameLimit) + " allowed");
    if (length > in.left())
      throw FailAt(length_at, err::kPastEndOfFile, "the file ends inside " + Counted("member", i) + "'s name");
    FarMember member{std::string(in.Take(length), length), offset, size};
    auto fail = [&](int number, const std::string& what) {
      Failure failure = FailAt(entry_at[i], number, what);
      failure.About(MemberText(i, member.name));
      return failure;
    };
    const std::string range = "bytes " + std::to_string(offset) + " to " + std::to_string(std::uint64_t{offset} + size);
    if (size != size_again)
      throw fail(err::kInvalidArgument,
                 "its two sizes differ (" + std::to_string(size) + " and " + std::to_string(size_again) + ")");
    if (offset < kFarHeaderSize) throw fail(err::kInvalidArgument, "its " + range + " overlap the header");
    if (std::uint64_t{offset} + size > size_)
      throw fail(err::kPastEndOfFile,
                 "its " + range + " run past the end of the file (" + std::to_string(size_) + " bytes)");
    if (std::uint64_t{offset} + size > manifest_offset_)
      throw fail(err::kInvalidArgument,
                 "its " + range + " overlap the manifest at byte " + std::to_string(manifest_offset_));
    members_.push_back(std::move(member));
  }

  // Members may not share bytes: each is a file of its own.
  std::vector<std::uint32_t> order;
  order.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i)
    if (members_[i].size > 0) order.push_back(i);
  std::sort(order.begin(), order.end(),
            [&](std::uint32_t a, std::uint32_t b) { return members_[a].offset < members_[b].offset; });
  for (std::size_t k = 1; k < order.size(); ++k) {
    const FarMember& before = members_[order[k - 1]];
    const FarMember& after = members_[order[k]];
    if (std::uint64_t{before.offset} + before.size > after.offset) {
      Failure failure = FailAt(entry_at[order[k]], err::kInvalidArgument,
                               "its bytes overlap those of " + MemberText(order[k - 1], before.name));
      failure.About(MemberText(order[k], after.name));
      throw failure;
    }
  }
}

const FarMember* FarArchive::Find(std::string_view name) const {
  for (const FarMember& member : members_)
    if (SameMemberName(member.name, name)) return &member;
  return nullptr;
}

std::string FarArchive::Read(const FarMember& member) const {
  std::string bytes(member.size, '\0');
  NamingFile(name_, [&] { ReadAt(member.offset, bytes); });
  return bytes;
}

std::string ReadFarMember(const std::string& archive_path, std::string_view member) {
  const FarArchive archive = FarArchive::Open(archive_path);
  const FarMember* found = archive.Find(member);
  if (!found)
    throw Failure::Error(err::kFileNotFound, "the archive has no member named " + QuotedName(member))
        .InFile(archive_path);
  return archive.Read(*found);
}

std::string ReadWholeFile(const std::string& path) {
  if (auto inside = SplitArchivePath(path)) return ReadFarMember(inside->archive, inside->member);
  return ReadDiskFile(path);
}

std::string FarBytes(std::span<const FarFile> files) {
  std::uint64_t data = 0, manifest = 4;
  for (const FarFile& file : files) {
    if (file.name.size() > kFarNameLimit)
      throw Failure::Error(err::kInvalidArgument, "a member name is longer than " + std::to_string(kFarNameLimit) +
                                                      " bytes")
          .About(QuotedName(file.name));
    data += file.bytes.size();
    manifest += kFarEntrySize + file.name.size();
  }
  if (kFarHeaderSize + data + manifest > std::numeric_limits<std::uint32_t>::max())
    throw Failure::Error(err::kInvalidArgument, "an archive holds at most 4 GB");
  std::string out;
  out.reserve(static_cast<std::size_t>(kFarHeaderSize + data + manifest));
  out += kFarSignature;
  StoreU32(out, 1);
  StoreU32(out, static_cast<std::uint32_t>(kFarHeaderSize + data));
  for (const FarFile& file : files) out += file.bytes;
  StoreU32(out, static_cast<std::uint32_t>(files.size()));
  std::uint32_t offset = kFarHeaderSize;
  for (const FarFile& file : files) {
    const auto size = static_cast<std::uint32_t>(file.bytes.size());
    StoreU32(out, size);
    StoreU32(out, size);
    StoreU32(out, offset);
    StoreU32(out, static_cast<std::uint32_t>(file.name.size()));
    out += file.name;
    offset += size;
  }
  return out;
}

std::string QuotedName(std::string_view name) {
  constexpr std::size_t kShown = 200;
  std::string out = "\"";
  for (const char c : name.substr(0, kShown)) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u == 0x7F) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  if (name.size() > kShown) out += "...";
  return out + "\"";
}

}  // namespace mervane
