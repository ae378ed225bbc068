// Reading and writing a skin of the largest size the tables take:
// 31,999 vertices, 32,001 faces, 22 bones. Run: build/mervane_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "bmf/bmf.h"
#include "max_skin.h"
#include "files/textfile.h"
#include "gltf/glb_file.h"
#include "project/project.h"
#include "skn/skn.h"

namespace mervane {
namespace {

class QuietPrompts : public Prompts {
 public:
  void ShowMessage(const std::string& text, const std::string& detail) override {
    std::fprintf(stderr, "%s\n%s\n", text.c_str(), detail.c_str());
  }
  std::optional<bool> AskYesNo(const std::string&, const std::string&, bool) override { return false; }
};

struct Fixture {
  std::filesystem::path dir;
  std::string skn_path, spj_path, glb_path;
  std::size_t skn_bytes = 0, project_bytes = 0;
  std::string bmf;
  SkinModel model;

  Fixture() {
    dir = std::filesystem::temp_directory_path() / ("mervane-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    skn_path = (dir / "max.skn").string();
    spj_path = (dir / "max.spj").string();
    glb_path = (dir / "max.glb").string();
    const std::string text = MaxSkn();
    skn_bytes = text.size();
    model = ParseSkn(text, "max.skn");
    const ProjectFiles files = BuildProjectFiles(model, spj_path, "");
    project_bytes = files.spj.size() + files.obj.size();
    bmf = BmfBytes(model);
    // The file benchmarks read these.
    std::ofstream(skn_path, std::ios::binary) << text;
    QuietPrompts prompts;
    if (SaveProject(model, prompts, spj_path) != Outcome::Succeeded) std::abort();
    if (SaveGlb(model, prompts, glb_path) != Outcome::Succeeded) std::abort();
  }
  ~Fixture() { std::filesystem::remove_all(dir); }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_LoadSkn(benchmark::State& state) {
  Fixture& f = Shared();
  QuietPrompts prompts;
  SkinModel model;
  for (auto _ : state) benchmark::DoNotOptimize(LoadSkn(model, prompts, f.skn_path));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.skn_bytes));
}

void BM_SknText(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) benchmark::DoNotOptimize(SknText(f.model));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.skn_bytes));
}

void BM_SaveSkn(benchmark::State& state) {
  Fixture& f = Shared();
  QuietPrompts prompts;
  const std::string out = (f.dir / "out.skn").string();
  for (auto _ : state) benchmark::DoNotOptimize(SaveSkn(f.model, prompts, out));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.skn_bytes));
}

void BM_BuildProjectFiles(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) benchmark::DoNotOptimize(BuildProjectFiles(f.model, f.spj_path, ""));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.project_bytes));
}

void BM_SaveProject(benchmark::State& state) {
  Fixture& f = Shared();
  QuietPrompts prompts;
  const std::string out = (f.dir / "out.spj").string();
  for (auto _ : state) benchmark::DoNotOptimize(SaveProject(f.model, prompts, out));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.project_bytes));
}

void BM_LoadProject(benchmark::State& state) {
  Fixture& f = Shared();
  QuietPrompts prompts;
  SkinModel model;
  for (auto _ : state) benchmark::DoNotOptimize(LoadProject(model, prompts, f.spj_path));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.project_bytes));
}

// The rigged project, end to end (on the built-in skeleton: no skeleton
// file is beside it), to set beside SaveProject and LoadProject.
void BM_SaveGlb(benchmark::State& state) {
  Fixture& f = Shared();
  QuietPrompts prompts;
  const std::string out = (f.dir / "out.glb").string();
  for (auto _ : state) benchmark::DoNotOptimize(SaveGlb(f.model, prompts, out));
}

void BM_LoadGlb(benchmark::State& state) {
  Fixture& f = Shared();
  QuietPrompts prompts;
  SkinModel model;
  for (auto _ : state) benchmark::DoNotOptimize(LoadGlb(model, prompts, f.glb_path));
}

// The binary format, in memory: bytes per second are the .bmf's.
void BM_ParseBmf(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) benchmark::DoNotOptimize(ParseBmf(f.bmf, "max.bmf"));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bmf.size()));
}

void BM_BmfBytes(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) benchmark::DoNotOptimize(BmfBytes(f.model));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bmf.size()));
}

BENCHMARK(BM_LoadSkn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SknText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveSkn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildProjectFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveProject)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadProject)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveGlb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadGlb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseBmf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmfBytes)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mervane

BENCHMARK_MAIN();
