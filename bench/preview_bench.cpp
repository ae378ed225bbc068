// The 3D preview with a maximum-size skin: how long from the end of the read
// until the model is on screen, and how fast it orbits. Needs a display:
//   xvfb-run -a build/mervane_preview_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <memory>

#include "max_skin.h"
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

BENCHMARK(BM_ShowMaxSkin)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OrbitMaxSkin)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace mervane

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  mervane::shared_scene.reset();
  return 0;
}
