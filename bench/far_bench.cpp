// Opening an archive reads its manifest only: time and memory follow the
// member count, not the archive's size. The archives are sparse files in a
// temporary folder (members are never read, so their bytes are holes).
// Run: build/far_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "archive/far.h"
#include "archive/game_index.h"

namespace mervane {
namespace {

namespace fs = std::filesystem;

void PutU32(std::string& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(v >> shift & 0xFF));
}

// Writes an archive of members members of equal size, total_bytes in all,
// named as the game names its meshes; returns the manifest's size.
std::size_t MakeSparseArchive(const std::string& path, std::uint32_t members, std::uint64_t total_bytes) {
  const std::uint32_t each = static_cast<std::uint32_t>(total_bytes / members);
  const std::uint32_t manifest_at = kFarHeaderSize + each * members;
  std::string header(kFarSignature);
  PutU32(header, 1);
  PutU32(header, manifest_at);
  std::string manifest;
  PutU32(manifest, members);
  for (std::uint32_t i = 0; i < members; ++i) {
    char name[64];
    const int length = std::snprintf(name, sizeof name, "xskin-b%03umafit_%05u-PELVIS-BODY.bmf", i % 1000, i);
    PutU32(manifest, each);
    PutU32(manifest, each);
    PutU32(manifest, kFarHeaderSize + each * i);
    PutU32(manifest, static_cast<std::uint32_t>(length));
    manifest.append(name, static_cast<std::size_t>(length));
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ::pwrite(fd, header.data(), header.size(), 0) != static_cast<ssize_t>(header.size()) ||
      ::pwrite(fd, manifest.data(), manifest.size(), manifest_at) != static_cast<ssize_t>(manifest.size()) ||
      ::close(fd) != 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
  return manifest.size();
}

struct Folder {
  fs::path root = fs::temp_directory_path() / ("mervane-far-bench-" + std::to_string(::getpid()));
  Folder() { fs::create_directories(root); }
  ~Folder() { fs::remove_all(root); }
};

Folder& Shared() {
  static Folder folder;
  return folder;
}

constexpr std::uint64_t kMB = 1 << 20;

// An archive per shape, made once, alone in its folder.
std::string ArchiveOf(std::uint32_t members, std::uint64_t megabytes) {
  const fs::path folder = Shared().root / (std::to_string(members) + "-" + std::to_string(megabytes));
  const std::string path = (folder / "objects.far").string();
  if (!fs::exists(path)) {
    fs::create_directories(folder);
    MakeSparseArchive(path, members, megabytes * kMB);
  }
  return path;
}

void BM_OpenArchive(benchmark::State& state) {
  const auto members = static_cast<std::uint32_t>(state.range(0));
  const std::string path = ArchiveOf(members, static_cast<std::uint64_t>(state.range(1)));
  for (auto _ : state) {
    const FarArchive archive = FarArchive::Open(path);
    benchmark::DoNotOptimize(archive.members().data());
  }
  state.counters["members/s"] = benchmark::Counter(static_cast<double>(members) * state.iterations(),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OpenArchive)->Args({20000, 500})->Args({20000, 4000})->Args({2000, 500})->Unit(benchmark::kMillisecond);

// The game folder: the 500 MB archive beside it, indexed whole.
void BM_IndexGameFolder(benchmark::State& state) {
  const std::string path = ArchiveOf(20000, 500);
  const std::string folder = fs::path(path).parent_path().string();
  for (auto _ : state) {
    const GameIndex index(folder);
    benchmark::DoNotOptimize(index.size());
  }
}
BENCHMARK(BM_IndexGameFolder)->Unit(benchmark::kMillisecond);

// Runs work in a child process and returns what it returns (-1 when the
// child fails): each memory measurement starts from the same small heap,
// with no high-water mark or freed memory left by the one before.
template <class Work>
long InChild(Work&& work) {
  int channel[2];
  if (::pipe(channel) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    const long value = work();
    ::_exit(::write(channel[1], &value, sizeof value) == sizeof value ? 0 : 1);
  }
  long value = -1;
  if (child < 0 || ::read(channel[0], &value, sizeof value) != sizeof value) value = -1;
  ::waitpid(child, nullptr, 0);
  ::close(channel[0]);
  ::close(channel[1]);
  return value;
}

long MaxRssKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void ReportMemory() {
  std::printf("Peak memory growth while opening an archive, against the manifest's and the archive's size:\n");
  for (const auto& [members, megabytes] :
       {std::pair<std::uint32_t, std::uint64_t>{2000, 500}, {20000, 500}, {20000, 4000}}) {
    const std::uint32_t m = members;
    const std::uint64_t mb = megabytes;
    // Made in a child too, so that the making's memory is not the parent's.
    InChild([&] { return static_cast<long>(ArchiveOf(m, mb).size()); });
    const std::string path = ArchiveOf(m, mb);
    const long manifest_kib = InChild([&] {
      const FarArchive archive = FarArchive::Open(path);
      return static_cast<long>((fs::file_size(path) - archive.manifest_offset()) / 1024);
    });
    const long growth = InChild([&] {
      const long before = MaxRssKiB();
      const FarArchive archive = FarArchive::Open(path);
      return MaxRssKiB() - before;
    });
    std::printf("  %6u members, %5llu MB archive, %5ld KiB manifest: peak grows %ld KiB\n", m,
                static_cast<unsigned long long>(mb), manifest_kib, growth);
  }
  std::fflush(stdout);
}

}  // namespace
}  // namespace mervane

int main(int argc, char** argv) {
  mervane::ReportMemory();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
