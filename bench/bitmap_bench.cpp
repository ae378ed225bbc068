// Bitmaps: a painted 256 x 256 skin reduced to the game's 8 bits and
// written as its .bmp; and how close the reduction stays to what was
// painted. For that, each of the game's own bitmaps in ../shared/real/ross
// (when the checkout has them beside it) is repainted in thousands of
// colours, reduced, and measured in PSNR against the repainting, beside a
// fixed 6 x 6 x 6 colour cube. The PSNR counters are dB, not rates.
// Run: build/mervane_bitmap_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>

#include "bitmap/bitmap.h"
#include "archive/far.h"

namespace mervane {
namespace {

std::uint8_t Clamped(double value) { return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L)); }

// What a modder paints over a bitmap: soft shading that drifts across it and
// a little grain, so that the palette's few colours become thousands.
Image Repainted(const Image& image) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> grain(-3, 3);
  Image out = image;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      for (int c = 0; c < 3; ++c) {
        const double shade = 10 * std::sin(x * 0.05 + 2 * c) + 10 * std::cos(y * 0.07 + c) + grain(random);
        std::uint8_t& v = out.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4 + c];
        v = Clamped(v + shade);
      }
  return out;
}

// The image in a fixed palette: each channel to the nearest of 0, 51, ..., 255.
Image Cube(const Image& image) {
  Image out = image;
  for (std::size_t p = 0; p < out.rgba.size(); ++p)
    if (p % 4 != 3) out.rgba[p] = static_cast<std::uint8_t>(std::lround(out.rgba[p] / 51.0) * 51);
  return out;
}

std::size_t Colours(const Image& image) {
  std::set<std::uint32_t> seen;
  for (std::size_t p = 0; p < image.rgba.size(); p += 4)
    seen.insert(std::uint32_t{image.rgba[p]} << 16 | std::uint32_t{image.rgba[p + 1]} << 8 | image.rgba[p + 2]);
  return seen.size();
}

// A body skin painted from scratch: gradients and grain, no palette behind it.
Image Painting() {
  Image image{256, 256, {}};
  std::mt19937 random(3);
  std::uniform_real_distribution<double> grain(-6, 6);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x)
      image.rgba.insert(image.rgba.end(), {Clamped(x + grain(random)), Clamped(y * 0.8 + 30 + grain(random)),
                                           Clamped(128 + 90 * std::sin((x + y) * 0.03) + grain(random)), 255});
  return image;
}

// Times reducing and writing painting; reports its colours and the PSNR
// of the reduction and of the cube.
void ReduceAndWrite(benchmark::State& state, const Image& painting) {
  double psnr = 0;
  for (auto _ : state) {
    const IndexedImage reduced = QuantizeImage(painting);
    benchmark::DoNotOptimize(Bmp8Bytes(reduced));
    state.PauseTiming();
    psnr = Psnr(Expand(reduced), painting);
    state.ResumeTiming();
  }
  state.counters["colours_in"] = static_cast<double>(Colours(painting));
  state.counters["psnr_dB"] = psnr;
  state.counters["cube_psnr_dB"] = Psnr(Cube(painting), painting);
  state.SetLabel(std::to_string(painting.width) + " x " + std::to_string(painting.height));
}

void BM_QuantizeAndWrite256(benchmark::State& state) { ReduceAndWrite(state, Painting()); }

// One of the game's bitmaps, repainted.
void BM_RepaintedGameBitmap(benchmark::State& state, const std::string& path) {
  ReduceAndWrite(state, Repainted(DecodeImage(ReadWholeFile(path))));
}

}  // namespace
}  // namespace mervane

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("BM_QuantizeAndWrite256", mervane::BM_QuantizeAndWrite256)->Unit(benchmark::kMillisecond);
  const std::filesystem::path ross = std::filesystem::path(MERVANE_REAL_FILES) / "ross";
  if (std::filesystem::is_directory(ross)) {
    std::set<std::filesystem::path> bitmaps;
    for (const auto& entry : std::filesystem::directory_iterator(ross))
      if (entry.path().extension() == ".bmp") bitmaps.insert(entry.path());
    for (const std::filesystem::path& path : bitmaps)
      benchmark::RegisterBenchmark(("BM_RepaintedGameBitmap/" + path.stem().string()).c_str(),
                                   mervane::BM_RepaintedGameBitmap, path.string())
          ->Unit(benchmark::kMillisecond);
  } else {
    std::printf("The game's bitmaps are not beside the checkout (%s): their PSNR report is skipped.\n",
                ross.string().c_str());
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
