// From another program's save to the window showing it again: a skin saved
// in place or renamed over, a typical one and one of the largest size. The
// time includes the follower's wait for a burst of writes to settle (about
// 150 ms), which is by design. Runs on Qt's offscreen platform unless told
// otherwise:
//   build/mervane_follow_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "max_skin.h"
#include "shell/file_follower.h"
#include "shell/main_window.h"

namespace mervane {
namespace {

void Write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// range(0): 0 a small skin, 1 the largest; range(1): 0 in place, 1 by
// rename; range(2): 0 the system's notices, 1 looking at the files (Windows).
void BM_SaveToReloaded(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() / ("mervane-follow-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto skin = dir / "body.skn";
  const std::string bytes = state.range(0) ? MaxSkn() : TubeSkn(200, 20, 300, 7);
  Write(skin, bytes);
  frmMain window("");
  window.follower()->SetMode(state.range(2) ? FileFollower::Mode::Poll : FileFollower::Mode::Watch);
  window.OpenPath(skin.string());
  if (!window.model().ModelLoaded) {
    state.SkipWithError("the skin did not open");
    return;
  }
  for (auto _ : state) {
    QEventLoop loop;
    QObject::connect(&window, &frmMain::FollowedFilesReloaded, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);  // a lost event must not hang the run
    if (state.range(1)) {
      Write(dir / "body.skn.tmp", bytes);
      std::filesystem::rename(dir / "body.skn.tmp", skin);
    } else {
      Write(skin, bytes);
    }
    loop.exec();
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SaveToReloaded)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}})
    ->Iterations(10)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace mervane

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // The user's settings (Follow Files may be off there) stay out of it.
  QStandardPaths::setTestModeEnabled(true);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
