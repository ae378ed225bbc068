// The character formats and posing: .cmx read in MB/s, .bcf read in GB/s,
// .cfp decoded in values per second, and a frame of a whole Sim posed and
// skinned. Posing uses the game's files in ../shared/real when the checkout
// has them beside it, else a made-up Sim of the same size.
// Run: build/mervane_character_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>

#include "character/lookup.h"
#include "gltf/glb.h"
#include "gltf/gltf_skills.h"
#include "max_skin.h"
#include "pose/skinning.h"
#include "skn/skn.h"

namespace mervane {
namespace {

// A skeleton of the fixed table's bones under a ROOT, and many skills that
// move each bone through 38 frames: a large, ordinary character file.
CharacterFile MadeUpCharacter(int skills) {
  std::mt19937 random(5);
  std::uniform_real_distribution<float> unit(-1, 1);
  CharacterFile file;
  Skeleton skeleton{"adult", {{"ROOT", "NULL", {}, {0, 3, 0}, {0, 0, 0, 1}, 1, 1, 0, 0, 0}}};
  for (const BoneRow& row : SkeletonTable())
    skeleton.bones.push_back({row.name, row.parent ? row.parent : "ROOT", {{{"name", "adult"}}},
                              {static_cast<float>(row.local.x), static_cast<float>(row.local.y), static_cast<float>(row.local.z)},
                              {unit(random) * 0.1f, unit(random) * 0.1f, unit(random) * 0.1f, 0.99f}, 0, 1, 1, 0, 0});
  file.skeletons.push_back(skeleton);
  const auto bones = static_cast<std::uint32_t>(skeleton.bones.size());
  for (int s = 0; s < skills; ++s) {
    Skill skill{"a2o-skill-" + std::to_string(s), "xskill-" + std::to_string(s), 1266, unit(random) * 4, 1, 76, 38 * bones, {}};
    for (std::uint32_t b = 0; b < bones; ++b)
      skill.motions.push_back({skeleton.bones[b].name, 38, 1266, b < 2, 1, b < 2 ? static_cast<std::int32_t>(38 * b) : -1,
                               static_cast<std::int32_t>(38 * b), {}, b == 0 ? std::vector<TimePropertyList>{{{166, {{"footstep", "1"}}}}} : std::vector<TimePropertyList>{}});
    file.skills.push_back(std::move(skill));
  }
  return file;
}

// Frames as a skill's: smooth motion, small steps, some values held still.
Frames MadeUpFrames(std::size_t positions, std::size_t rotations) {
  std::mt19937 random(9);
  std::uniform_real_distribution<float> step(-0.02f, 0.02f);
  Frames frames;
  float v = 0;
  for (std::size_t i = 0; i < positions; ++i, v += step(random)) frames.positions.push_back({v, 3 + v, i % 3 ? v : 0});
  for (std::size_t i = 0; i < rotations; ++i, v += step(random)) frames.rotations.push_back({v / 8, 0, i % 4 ? v / 4 : 0.5f, 0.9f});
  return frames;
}

const std::filesystem::path kReal = MERVANE_REAL_FILES;

struct Sim {
  Rig rig;
  Animation animation;
  std::vector<DressedMesh> meshes;
  bool real = false;
};

Sim LoadSim() {
  Sim sim;
  const std::filesystem::path ross = kReal / "ross";
  if (std::filesystem::is_directory(ross)) {
    const FileFinder finder({ross.string()});
    sim.rig = MakeRig(ReadCharacterFile(*FindSkeletonFile(finder)).skeletons.at(0));
    std::vector<SkinMesh> meshes;
    for (const char* suit : {"B002MAFit_01.cmx", "C001MA_Ross.cmx", "HMLO.cmx", "HMRO.cmx"})
      for (const SkinModel& model : ReadSuitMeshes(ReadCharacterFile((ross / suit).string()).suits.at(0), finder))
        meshes.push_back(MakeSkinMesh(model));
    sim.meshes = Dress(sim.rig, std::move(meshes));
    const CharacterFile walk = ReadCharacterFile((ross / "ross-walking-loop.cmx").string());
    const Skill& skill = *std::find_if(walk.skills.begin(), walk.skills.end(),
                                       [](const Skill& s) { return s.name == "a2o-walking-loop"; });
    sim.animation = MakeAnimation(sim.rig, skill, ReadSkillFrames(skill, finder));
    sim.real = true;
    return sim;
  }
  // One mesh as large as the four together: 663 vertices, 99 of them
  // blended, 726 faces.
  const CharacterFile file = MadeUpCharacter(1);
  sim.rig = MakeRig(file.skeletons[0]);
  sim.meshes = Dress(sim.rig, {MakeSkinMesh(ParseSkn(TubeSkn(663, 99, 726, 1), "made-up.skn"))});
  const Skill& skill = file.skills[0];
  sim.animation = MakeAnimation(sim.rig, skill, MadeUpFrames(skill.position_count, skill.rotation_count));
  return sim;
}

void BM_ParseCmx(benchmark::State& state) {
  const std::string text = CmxText(MadeUpCharacter(200));
  for (auto _ : state) benchmark::DoNotOptimize(ParseCmx(text, "big.cmx"));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.SetLabel(std::to_string(text.size() / 1024) + " KiB");
}

void BM_ParseBcf(benchmark::State& state) {
  const std::string bytes = BcfBytes(MadeUpCharacter(200));
  for (auto _ : state) benchmark::DoNotOptimize(ParseBcf(bytes, "big.bcf"));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  state.SetLabel(std::to_string(bytes.size() / 1024) + " KiB");
}

void BM_DecodeCfp(benchmark::State& state) {
  constexpr std::size_t kPositions = 100000, kRotations = 200000;
  const std::string bytes = CfpBytes(MadeUpFrames(kPositions, kRotations));
  for (auto _ : state) benchmark::DoNotOptimize(ParseCfp(bytes, kPositions, kRotations, "big.cfp"));
  state.counters["values/s"] = benchmark::Counter(static_cast<double>(state.iterations() * (3 * kPositions + 4 * kRotations)),
                                                  benchmark::Counter::kIsRate);
  state.SetLabel(std::to_string(bytes.size() / 1024) + " KiB");
}

// One frame of the walk (between two stored frames) for the whole Sim.
void BM_PoseAndSkinFrame(benchmark::State& state) {
  const Sim sim = LoadSim();
  Pose pose;
  std::vector<SkinnedMesh> skinned(sim.meshes.size());
  double frame = 0;
  for (auto _ : state) {
    AnimatedPose(sim.rig, sim.animation, frame, pose);
    for (std::size_t m = 0; m < sim.meshes.size(); ++m) Skin(sim.meshes[m], pose, skinned[m]);
    benchmark::DoNotOptimize(skinned.data());
    frame = frame + 0.5 < sim.animation.frame_count - 1 ? frame + 0.5 : 0;
  }
  state.SetLabel(sim.real ? "the game's Sim" : "a made-up Sim");
}

// A 10-second skill (300 frames) on 29 bones back from a .glb: read the
// file, make the skill, write its .cmx and lossless .cfp.
void BM_SkillFromGlb(benchmark::State& state) {
  CharacterFile file = MadeUpCharacter(1);
  Skeleton& skeleton = file.skeletons[0];
  for (int extra = 0; skeleton.bones.size() < 29; ++extra)
    skeleton.bones.push_back({"FINGER" + std::to_string(extra), "L_HAND", {}, {0.1f, 0, 0}, {0, 0, 0.1f, 0.995f}, 0, 1, 1, 0, 0});
  const Rig rig = MakeRig(skeleton);
  Skill skill{"ten-seconds", "xskill-ten-seconds", 9999, 0, 0, 2 * 300, 29 * 300, {}};
  for (std::uint32_t b = 0; b < 29; ++b)
    skill.motions.push_back({skeleton.bones[b].name, 300, 9999, b < 2, 1, b < 2 ? static_cast<std::int32_t>(300 * b) : -1,
                             static_cast<std::int32_t>(300 * b), {}, {}});
  Frames frames = MadeUpFrames(skill.position_count, skill.rotation_count);
  for (auto& q : frames.rotations) {  // near unit, as the game's are
    const float n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (float& e : q) e /= n;
  }
  const Animation animation = MakeAnimation(rig, skill, frames);
  const SkinModel model = ParseSkn(TubeSkn(663, 99, 726, 1), "tube.skn");
  const std::string glb = GlbBytes(rig, {&model, 1}, {}, {&animation, 1});
  for (auto _ : state) {
    const SkillsMade made = SkillsFromGltf(ParseGltf(glb, "ten.glb", ""), rig, {}, {});
    benchmark::DoNotOptimize(CmxText(made.file));
    benchmark::DoNotOptimize(CfpBytes(made.frames[0], 0));
  }
  state.SetLabel(std::to_string(glb.size() / 1024) + " KiB .glb");
}

BENCHMARK(BM_ParseCmx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SkillFromGlb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseBcf)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeCfp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PoseAndSkinFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace mervane

BENCHMARK_MAIN();
