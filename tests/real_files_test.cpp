// The game's own files, when the checkout has them beside it (never copied
// in): every character file reads and round trips, and posing gives what an
// independent reference gives.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "character/lookup.h"
#include "gltf/glb_file.h"
#include "skn/skn.h"
#include "cli/converter.h"
#include "convert_support.h"
#include "model/paths.h"
#include "pose/pose.h"
#include "support.h"

namespace mervane {
namespace {

namespace fs = std::filesystem;

const fs::path kReal = MERVANE_REAL_FILES;

#define SKIP_WITHOUT_REAL_FILES()                                                              \
  if (!fs::is_directory(kReal / "ross"))                                                        \
  GTEST_SKIP() << "the game's files are not at " << kReal.string() << " (a clone has none)"

std::string Real(const std::string& name) { return (kReal / "ross" / name).string(); }

// An .obj's o blocks: the lines of each, numbers parsed, other lines kept as text.
struct ObjBlock {
  std::string name;
  std::map<std::string, std::vector<std::vector<double>>> numbers;  // v, vt, vn
  std::vector<std::string> faces;
};
std::vector<ObjBlock> ReadObjBlocks(const std::string& text) {
  std::vector<ObjBlock> blocks;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key == "o") blocks.push_back({line.substr(2), {}, {}});
    else if (blocks.empty()) continue;
    else if (key == "f") blocks.back().faces.push_back(line);
    else if (key == "v" || key == "vt" || key == "vn") {
      std::vector<double> values;
      for (double value; fields >> value;) values.push_back(value);
      blocks.back().numbers[key].push_back(values);
    }
  }
  return blocks;
}

TEST(RealFiles, PosingMatchesTheReferenceAtRestAndAtAFrame) {
  SKIP_WITHOUT_REAL_FILES();
  test::TempDir dir;
  const std::vector<std::string> suits{Real("B002MAFit_01.cmx"), Real("C001MA_Ross.cmx"), Real("HMLO.cmx"), Real("HMRO.cmx")};
  const struct {
    std::vector<std::string> options;
    const char* expected;
  } cases[] = {
      {{}, "ross-rest.obj"},
      {{"--animation", Real("ross-walking-loop.cmx") + ":a2o-walking-loop", "--frame", "10"}, "ross-walking-loop-frame10.obj"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"--pose"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), suits.begin(), suits.end());
    args.push_back(dir.path("out.obj"));
    std::ostringstream out, err;
    ASSERT_EQ(RunConverter(args, out, err), 0) << err.str();
    const auto actual = ReadObjBlocks(test::ReadFile(dir.path("out.obj")));
    const auto expected = ReadObjBlocks(test::ReadFile((kReal / "expected" / c.expected).string()));
    ASSERT_EQ(actual.size(), expected.size()) << c.expected;
    for (std::size_t b = 0; b < expected.size(); ++b) {
      EXPECT_EQ(actual[b].name, expected[b].name);
      EXPECT_EQ(actual[b].faces, expected[b].faces) << expected[b].name;
      for (const auto& [key, rows] : expected[b].numbers) {
        const auto& got = actual[b].numbers.at(key);
        ASSERT_EQ(got.size(), rows.size()) << expected[b].name << " " << key;
        for (std::size_t i = 0; i < rows.size(); ++i)
          for (std::size_t k = 0; k < rows[i].size(); ++k)
            ASSERT_NEAR(got[i].at(k), rows[i][k], 1e-5) << c.expected << " " << expected[b].name << " " << key << " " << i;
      }
    }
  }
}

TEST(RealFiles, TheSkeletonsBonesAreWhereTheReferencePutsThem) {
  SKIP_WITHOUT_REAL_FILES();
  const Rig rig = MakeRig(ReadCharacterFile(Real("adult-skeleton.cmx")).skeletons.at(0));
  const Pose pose = RestPose(rig);
  std::istringstream in(test::ReadFile((kReal / "expected" / "adult-skeleton-world.txt").string()));
  int bones = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, parent, bar, axis;
    double p[3], axes[3][3];
    fields >> name >> parent >> bar >> p[0] >> p[1] >> p[2];
    for (auto& a : axes) fields >> bar >> axis >> a[0] >> a[1] >> a[2];
    const int bone = rig.Find(name);
    ASSERT_GE(bone, 0) << name;
    ++bones;
    const BoneTransform& t = pose[static_cast<std::size_t>(bone)];
    EXPECT_EQ(parent, rig.parents[static_cast<std::size_t>(bone)] < 0 ? "NULL" : rig.bone_names[static_cast<std::size_t>(rig.parents[static_cast<std::size_t>(bone)])]);
    EXPECT_NEAR(t.position.x, p[0], 1e-5) << name;
    EXPECT_NEAR(t.position.y, p[1], 1e-5) << name;
    EXPECT_NEAR(t.position.z, p[2], 1e-5) << name;
    for (int k = 0; k < 3; ++k)  // the local axis k is the rotation's column k
      for (int r = 0; r < 3; ++r) EXPECT_NEAR(t.rotation.m[static_cast<std::size_t>(3 * r + k)], axes[k][r], 1e-5) << name << " axis " << k;
  }
  EXPECT_EQ(bones, 29);
}

TEST(RealFiles, EveryCharacterFileReadsRoundTripsAndFindsItsFrames) {
  SKIP_WITHOUT_REAL_FILES();
  const Rig rig = MakeRig(ReadCharacterFile(Real("adult-skeleton.cmx")).skeletons.at(0));
  const FileFinder beside({(kReal / "ross").string()});
  int files = 0, bound = 0, missing = 0;
  for (const auto& entry : fs::directory_iterator(kReal / "ross")) {
    if (ExtensionOf(entry.path().string()) != "cmx") continue;
    ++files;
    const std::string name = entry.path().filename().string();
    const std::string text = test::ReadFile(entry.path().string());
    const CharacterFile file = ParseCmx(text, name);
    const std::string bcf = BcfBytes(file);
    // Binary, text and binary again: the same bytes; the text: the game's lines after the comment.
    const std::string back = CmxText(ParseBcf(bcf, name + ".bcf"));
    EXPECT_EQ(BcfBytes(ParseCmx(back, name)), bcf) << name;
    EXPECT_EQ(back.substr(back.find("\r\n")), text.substr(text.find("\r\n"))) << name;
    for (const Skill& skill : file.skills) {
      if (FindFramesFile(beside, skill.frames_name)) {
        const Frames frames = ReadSkillFrames(skill, beside);
        EXPECT_NO_THROW(MakeAnimation(rig, skill, frames)) << skill.name;
        // Re-encoded without loss: every value decodes to the very float32.
        const Frames again = ParseCfp(CfpBytes(frames, 0), skill.position_count, skill.rotation_count, "again.cfp");
        EXPECT_EQ(std::memcmp(again.positions.data(), frames.positions.data(), frames.positions.size() * 12), 0);
        EXPECT_EQ(std::memcmp(again.rotations.data(), frames.rotations.data(), frames.rotations.size() * 16), 0);
        ++bound;
      } else {
        const Failure failure = test::ExpectFailure([&] { ReadSkillFrames(skill, beside); });
        EXPECT_EQ(failure.number(), 53);
        EXPECT_NE(failure.detail().find(skill.frames_name + ".cfp is not found"), std::string::npos) << failure.detail();
        ++missing;
      }
    }
  }
  EXPECT_GE(files, 4);
  EXPECT_EQ(bound, 2);  // idle and the walking loop
  EXPECT_EQ(missing, 2);
}

// A .glb names the skeleton it was written on and reopens wherever it is:
// on that skeleton found beside it (a child's too), else on the rest
// transforms it carries, never on the built-in table. Either way the mesh
// comes back line for line.
TEST(RealFiles, AGlbReopensAnywhereOnTheSkeletonItWasWrittenOn) {
  SKIP_WITHOUT_REAL_FILES();
  const std::string body = "xskin-b002mafit_01-PELVIS-BODY.skn";
  // A child's skeleton: the adult's renamed and shortened, so that standing
  // on the wrong one shows.
  // Its name is matched whatever its case.
  auto child = [](const char* name) {
    CharacterFile file = ParseCmx(test::ReadFile(Real("adult-skeleton.cmx")), "adult-skeleton.cmx");
    file.skeletons.front().name = name;
    for (Bone& bone : file.skeletons.front().bones)
      for (float& v : bone.position) v *= 0.7f;
    return CmxText(file);
  };
  struct Row {
    const char* age;
    const char* mesh;       // the name the skin is written under
    const char* skeleton;   // the skeleton's file
    std::string text;       // its text
    std::string reread;     // the skeleton's text when the .glb is read, when another
  };
  const Row rows[] = {{"adult", "xskin-b002mafit_01-PELVIS-BODY", "adult-skeleton.cmx", test::ReadFile(Real("adult-skeleton.cmx")), ""},
                      {"child", "xskin-b002ucchd_01-PELVIS-BODY", "child-skeleton.cmx", child("child"), ""},
                      {"Child", "xskin-b002ucchd_01-PELVIS-BODY", "child-skeleton.cmx", child("Child"), child("CHILD")}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.age);
    test::TempDir written, skeleton_only, alone;
    SkinModel model = ParseSkn(test::ReadFile(Real(body)), body, SknDigits::AsWritten);
    model.MeshName = row.mesh;
    test::WriteFile(written.path(row.skeleton), row.text);
    test::WriteFile(skeleton_only.path(row.skeleton), row.text);
    test::WriteFile(written.path(std::string(row.mesh) + ".skn"), SknText(model));
    const auto glb = test::Convert({written.path(std::string(row.mesh) + ".skn"), written.path("sim.glb")});
    ASSERT_EQ(glb.status, 0) << glb.err;
    EXPECT_NE(glb.out.find(row.skeleton), std::string::npos) << glb.out;
    if (!row.reread.empty())
      for (test::TempDir* dir : {&written, &skeleton_only}) test::WriteFile(dir->path(row.skeleton), row.reread);
    fs::copy_file(written.path("sim.glb"), skeleton_only.path("sim.glb"));
    fs::copy_file(written.path("sim.glb"), alone.path("sim.glb"));
    // Beside its original and skeleton: line for line.
    const RiggedRead beside = ReadGlbFile(written.path("sim.glb"), {});
    EXPECT_EQ(beside.skeleton, row.skeleton);
    ASSERT_EQ(beside.models.size(), 1u);
    EXPECT_EQ(SknText(beside.models.front()), SknText(model));
    // Without the original: on the skeleton's file and on the file's own
    // rest transforms, the same lines.
    const RiggedRead on_file = ReadGlbFile(skeleton_only.path("sim.glb"), {});
    const RiggedRead carried = ReadGlbFile(alone.path("sim.glb"), {});
    EXPECT_EQ(carried.skeleton, "the skeleton the file carries (" + std::string(row.age) + ")");
    ASSERT_EQ(carried.models.size(), 1u);
    EXPECT_EQ(SknText(carried.models.front()), SknText(on_file.models.front()));
  }
}

// The game's skills into a .glb and back: every key the very value the
// game stores, alone; beside the original skill files, the same skills
// line for line (what glTF cannot carry comes from them).
TEST(RealFiles, SkillsRoundTripThroughAGlbExactly) {
  SKIP_WITHOUT_REAL_FILES();
  test::TempDir written, alone;
  const auto glb = test::Convert({"--animation", Real("adult-idle1.cmx"), "--animation",
                                  Real("ross-walking-loop.cmx") + ":a2o-walking-loop", Real("B002MAFit_01.cmx"),
                                  written.path("ross.glb")});
  ASSERT_EQ(glb.status, 0) << glb.err;
  fs::copy_file(written.path("ross.glb"), alone.path("ross.glb"));
  for (const char* original : {"adult-idle1.cmx", "ross-walking-loop.cmx", "xskill-A2O-idle1.cfp"}) {
    fs::copy_file(Real(original), written.path(original));
    fs::permissions(written.path(original), fs::perms::owner_write, fs::perm_options::add);  // the game's may be read-only
  }
  // The originals' own frames beside are not overwritten by another skill file.
  const auto refused = test::Convert({written.path("ross.glb"), written.path("skills.cmx")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("would overwrite xskill-A2O-idle1.cfp"), std::string::npos) << refused.err;
  fs::remove(written.path("xskill-A2O-idle1.cfp"));
  // The largest tolerance is taken.
  const test::TempDir elsewhere;
  const auto lossy = test::Convert({"--lossy", "1", alone.path("ross.glb"), elsewhere.path("lossy.cmx")});
  EXPECT_EQ(lossy.status, 0) << lossy.err;
  // --skill writes the skill named and no other.
  const test::TempDir picked;
  const auto one = test::Convert({"--skill", "a2o-walking-loop", alone.path("ross.glb"), picked.path("one.cmx")});
  ASSERT_EQ(one.status, 0) << one.err;
  const CharacterFile only = ReadCharacterFile(picked.path("one.cmx"));
  ASSERT_EQ(only.skills.size(), 1u);
  EXPECT_EQ(only.skills[0].name, "a2o-walking-loop");
  const FileFinder real({Real("")});
  for (const bool beside : {false, true}) {
    SCOPED_TRACE(beside ? "beside the originals" : "alone");
    const test::TempDir& dir = beside ? written : alone;
    const auto back = test::Convert({dir.path("ross.glb"), dir.path("skills.cmx")});
    ASSERT_EQ(back.status, 0) << back.err;
    // Again over the file it wrote, which names those frames (in the game's capitals beside).
    const auto again = test::Convert({dir.path("ross.glb"), dir.path("skills.cmx")});
    EXPECT_EQ(again.status, 0) << again.err;
    const CharacterFile made = ReadCharacterFile(dir.path("skills.cmx"));
    ASSERT_EQ(made.skills.size(), 2u);
    for (const Skill& skill : made.skills) {
      SCOPED_TRACE(skill.name);
      const CharacterFile file = ReadCharacterFile(Real(skill.name == "a2o-idle1" ? "adult-idle1.cmx" : "ross-walking-loop.cmx"));
      const Skill& before = ChooseSkill(file, "original", skill.name);
      const Frames old_frames = ReadSkillFrames(before, real);
      const Frames new_frames = ReadSkillFrames(skill, FileFinder({dir.path("")}));
      if (beside) {
        EXPECT_EQ(skill, before);
        EXPECT_EQ(new_frames.positions, old_frames.positions);
        EXPECT_EQ(new_frames.rotations, old_frames.rotations);
        continue;
      }
      ASSERT_EQ(skill.motions.size(), before.motions.size());
      for (const Motion& was : before.motions) {
        const auto now = std::find_if(skill.motions.begin(), skill.motions.end(),
                                      [&](const Motion& m) { return m.bone_name == was.bone_name; });
        ASSERT_NE(now, skill.motions.end()) << was.bone_name;
        EXPECT_EQ(now->frames, was.frames);
        EXPECT_EQ(now->position_offset >= 0, was.position_offset >= 0) << was.bone_name;
        for (std::uint32_t k = 0; k < was.frames; ++k) {
          if (was.position_offset >= 0) {
            EXPECT_EQ(new_frames.positions[static_cast<std::size_t>(now->position_offset) + k],
                      old_frames.positions[static_cast<std::size_t>(was.position_offset) + k]) << was.bone_name << " " << k;
          }
          EXPECT_EQ(std::memcmp(&new_frames.rotations[static_cast<std::size_t>(now->rotation_offset) + k],
                                &old_frames.rotations[static_cast<std::size_t>(was.rotation_offset) + k], 16), 0)
              << was.bone_name << " frame " << k << " " << testing::PrintToString(new_frames.rotations[static_cast<std::size_t>(now->rotation_offset) + k]) << " vs " << testing::PrintToString(old_frames.rotations[static_cast<std::size_t>(was.rotation_offset) + k]);
        }
      }
    }
  }
}

}  // namespace
}  // namespace mervane
