// Publishing and checking at a modder's scale: one outfit from three 256 x
// 256 PNGs (decode, quantize, write the set, check it), and a check of a
// Skins folder of 10,000 files (2,000 outfits: suit, mesh, three bitmaps).
// Run: build/mervane_publish_bench
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "bitmap/bitmap.h"
#include "character/character.h"
#include "character/naming.h"
#include "files/textfile.h"
#include "gltf/glb.h"
#include "publish/check.h"
#include "publish/publish.h"
#include "skn/skn.h"

namespace mervane {
namespace {

namespace fs = std::filesystem;

// A folder of its own, removed at exit.
struct Scratch {
  fs::path root = fs::temp_directory_path() / ("mervane-publish-bench-" + std::to_string(std::random_device{}()));
  Scratch() { fs::create_directories(root); }
  ~Scratch() { fs::remove_all(root); }
  std::string operator/(const std::string& name) const { return (root / name).string(); }
};

// A painted 256 x 256 image in thousands of colours, as PNG.
std::string PaintedPng(const Scratch& scratch, unsigned seed) {
  IndexedImage grey{256, 256, {}, std::vector<std::uint8_t>(256 * 256)};
  for (int c = 0; c < 256; ++c) grey.palette.push_back({static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(255 - c), static_cast<std::uint8_t>(c / 2)});
  std::mt19937 random(seed);
  for (std::size_t i = 0; i < grey.indices.size(); ++i)
    grey.indices[i] = static_cast<std::uint8_t>((i % 256 + i / 256 + random() % 24) & 255);
  // Blurred by scaling down and up: the hard palette becomes thousands of colours.
  const Image smooth = ScaleImage(ScaleImage(Expand(grey), 61, 61), 256, 256);
  // A 24-bit BMP of it, turned into PNG by the .glb texture encoder.
  const int row = (256 * 3 + 3) & ~3;
  std::string raw(54 + static_cast<std::size_t>(row) * 256, '\0');
  const std::uint32_t header[] = {static_cast<std::uint32_t>(raw.size()), 0, 54, 40, 256, 256};
  raw[0] = 'B', raw[1] = 'M';
  std::memcpy(raw.data() + 2, header, sizeof header);
  raw[26] = 1, raw[28] = 24;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x)
      for (int c = 0; c < 3; ++c)
        raw[54 + static_cast<std::size_t>(y * row + x * 3 + c)] =
            static_cast<char>(smooth.rgba[static_cast<std::size_t>(((255 - y) * 256 + x) * 4 + 2 - c)]);
  const std::string bmp = scratch / ("paint" + std::to_string(seed) + ".bmp");
  WriteFileAtomically(bmp, raw);
  const std::string png = scratch / ("paint" + std::to_string(seed) + ".png");
  WriteFileAtomically(png, BitmapPng(bmp));
  return png;
}

SkinModel Body() {
  return ParseSkn(ReadDiskFile(std::string(MERVANE_EXAMPLES) + "/mannequin.skn"), "mannequin.skn");
}

void BM_PublishOutfitFromThreePngs(benchmark::State& state) {
  Scratch scratch;
  const std::array<std::string, 3> images{PaintedPng(scratch, 1), PaintedPng(scratch, 2), PaintedPng(scratch, 3)};
  const SkinModel body = Body();
  int n = 0;
  for (auto _ : state) {
    PublishRequest request;
    request.mesh = body;
    request.texture = "Paint" + std::to_string(n++);
    request.images = images;
    request.gender = 'f', request.age = 'a', request.build = "fit";
    request.folder = scratch / "Skins";
    const PublishResult result = PublishOutfit(request);
    benchmark::DoNotOptimize(CheckSkins(result.written, nullptr));
  }
}
BENCHMARK(BM_PublishOutfitFromThreePngs)->Unit(benchmark::kMillisecond);

void BM_CheckTenThousandFiles(benchmark::State& state) {
  Scratch scratch;
  const std::string skins = scratch / "Skins";
  fs::create_directories(skins);
  const SkinModel body = Body();
  IndexedImage bitmap{128, 128, {{0, 0, 0}, {255, 255, 255}}, std::vector<std::uint8_t>(128 * 128)};
  const std::string bmp = Bmp8Bytes(bitmap);
  for (int k = 0; k < 2000; ++k) {
    const OutfitName outfit{'b', std::to_string(100 + k % 900), k % 2 ? 'f' : 'm', 'a', k < 900 ? "fit" : k < 1800 ? "fat" : "skn", "o" + std::to_string(k)};
    SkinModel mesh = body;
    mesh.MeshName = SuitMeshName(outfit);
    CharacterFile suit;
    suit.suits.push_back({ToLowerAscii(SuitStem(outfit)), 0, {}, {{"PELVIS", mesh.MeshName, 0, {}}}});
    WriteFileAtomically(skins + "/" + SuitStem(outfit) + ".cmx", CmxText(suit, kGameCmxComment));
    WriteFileAtomically(skins + "/" + mesh.MeshName + ".skn", SknText(mesh));
    for (const SkinTone tone : {SkinTone::Light, SkinTone::Medium, SkinTone::Dark})
      WriteFileAtomically(skins + "/" + OutfitBitmapStem(OutfitPrefix(outfit), tone, "o" + std::to_string(k)) + ".bmp", bmp);
  }
  for (auto _ : state) {
    const CheckReport report = CheckSkins(std::vector<std::string>{skins}, nullptr);
    if (report.files != 10000) state.SkipWithError("the folder does not hold 10,000 skin files");
    benchmark::DoNotOptimize(report);
  }
}
BENCHMARK(BM_CheckTenThousandFiles)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace mervane

BENCHMARK_MAIN();
