// The 3D preview with a maximum-size skin: how long from the end of the read
// until the model is on screen, and how fast it orbits; and the character
// view with the game's Ross, when his files are beside this checkout. Needs a display:
//   xvfb-run -a build/mervane_preview_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <cmath>
#include <cstdio>
#include <memory>

#include "max_skin.h"
#include "scene/character_scene.h"
#include "shell/preview_widget.h"
#include "skn/skn.h"

namespace mervane {
namespace {

class SilentPrompts : public Prompts {
 public:
  void ShowMessage(const std::string&, const std::string&) override {}
  std::optional<bool> AskYesNo(const std::string&, const std::string&, bool) override { return false; }
};

struct Scene {
  SkinModel model;
  PreviewWidget widget;

  Scene() {
    const auto path = std::filesystem::temp_directory_path() / ("mervane-preview-" + std::to_string(::getpid()) + ".skn");
    std::ofstream(path, std::ios::binary) << MaxSkn();
    SilentPrompts prompts;
    if (LoadSkn(model, prompts, path.string()) != Outcome::Succeeded) std::abort();
    std::filesystem::remove(path);
    widget.resize(800, 600);
    widget.show();
    QApplication::processEvents();
  }
};

// Made on first use, gone before the application is.
std::unique_ptr<Scene> shared_scene;
Scene& Shared() {
  if (!shared_scene) shared_scene = std::make_unique<Scene>();
  return *shared_scene;
}

// A frame drawn to its end: the widget renders into its framebuffer, which
// is read back (at 800 x 600 the read-back is a small part of the time).
void Frame(PreviewWidget& widget) { benchmark::DoNotOptimize(widget.Grab()); }

// From the end of the read to the first finished frame.
void BM_ShowMaxSkin(benchmark::State& state) {
  Scene& scene = Shared();
  for (auto _ : state) {
    scene.widget.ShowModel(scene.model, "");
    Frame(scene.widget);
  }
  state.counters["triangles"] = scene.widget.TriangleCount();
}

// One orbit step: a new camera and a finished frame.
void BM_OrbitMaxSkin(benchmark::State& state) {
  Scene& scene = Shared();
  scene.widget.ShowModel(scene.model, "");
  scene.widget.SetOverlay(state.range(0) != 0);
  int step = 0;
  for (auto _ : state) {
    scene.widget.SetView(++step % 2 ? PreviewWidget::View::Side : PreviewWidget::View::Front);
    Frame(scene.widget);
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Ross (body, head and hands) from the game's files beside this checkout.
const std::filesystem::path kRoss = std::filesystem::path(MERVANE_SHARED_REAL) / "ross";

void DressRoss(CharacterScene& scene) {
  for (const char* part : {"B002MAFit_01.cmx", "C001MA_Ross.cmx", "HMLO.cmx", "HMRO.cmx"})
    if (!scene.AddPart((kRoss / part).string()).empty()) std::abort();
}

// Ross walking at 1280 x 800, shaded and textured: a new pose and a
// finished frame each time.
void BM_RossWalking(benchmark::State& state) {
  CharacterScene scene;
  DressRoss(scene);
  for (const SkillEntry& skill : scene.FindSkills())
    if (skill.name == "a2o-walking-loop" && !scene.SelectSkill(skill).empty()) std::abort();
  PreviewWidget widget;
  widget.resize(1280, 800);
  widget.show();
  QApplication::processEvents();
  widget.SetCharacter(&scene);
  widget.SetOverlay(state.range(0) != 0);
  double frame = 0;
  for (auto _ : state) {
    frame = std::fmod(frame + 1, scene.frame_count() - 1);
    scene.SetFrame(frame);
    widget.CharacterPosed(std::nullopt);
    Frame(widget);
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["triangles"] = widget.character_renderer().TriangleCount();
}

// A suit opened, its meshes, skeleton and bitmaps read, to its first frame.
void BM_SuitToFirstFrame(benchmark::State& state) {
  PreviewWidget widget;
  widget.resize(1280, 800);
  widget.show();
  QApplication::processEvents();
  for (auto _ : state) {
    CharacterScene scene;
    if (!scene.AddPart((kRoss / "B002MAFit_01.cmx").string()).empty()) std::abort();
    widget.SetCharacter(&scene);
    Frame(widget);
    widget.SetCharacter(nullptr);
  }
}

BENCHMARK(BM_ShowMaxSkin)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OrbitMaxSkin)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace mervane

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (std::filesystem::exists(mervane::kRoss)) {
    benchmark::RegisterBenchmark("BM_RossWalking", mervane::BM_RossWalking)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_SuitToFirstFrame", mervane::BM_SuitToFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
  } else {
    std::fprintf(stderr, "no ../shared/real/ross: the character benchmarks are left out\n");
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  mervane::shared_scene.reset();
  return 0;
}
