// Characters: the .cmx/.bcf/.cfp readers and writers on a small character the
// tests make, what each reader refuses, posing and skinning worked by hand,
// finding files by name, and the converter's character commands.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <sstream>

#include "archive/far.h"
#include "bitmap/bitmap.h"
#include "bmf/bmf.h"
#include "character/character.h"
#include "character/lookup.h"
#include "character_files.h"
#include "cli/converter.h"
#include "convert_support.h"
#include "frames/cfp.h"
#include "model/paths.h"
#include "pose/skinning.h"
#include "skn/skn.h"
#include "support.h"

namespace mervane {
namespace {

using test::ExpectFailure;
using test::TempDir;

// A stored rotation whose applied (conjugated) rotation turns by degrees about z.
std::array<float, 4> AboutZ(double degrees) {
  const double half = degrees * std::acos(-1.0) / 360;
  return {0, 0, static_cast<float>(-std::sin(half)), static_cast<float>(std::cos(half))};
}

// ROOT at (0, 2, 0); ARM one unit along ROOT's x, turned 90 degrees about z;
// HAND one unit along ARM's x, which points up: at rest HAND is at (1, 3, 0).
// The skill moves ROOT up by half a unit a frame and turns ARM 0, 45, 90 degrees.
CharacterFile SmallCharacter() {
  CharacterFile file;
  Skeleton skeleton{"tiny", {}};
  skeleton.bones.push_back({"ROOT", "NULL", {}, {0, 2, 0}, {0, 0, 0, 1}, 1, 1, 0, 0, 0});
  skeleton.bones.push_back({"ARM", "ROOT", {{{"name", "tiny"}}, {}}, {1, 0, 0}, AboutZ(90), 0, 1, 1, 0.1f, -5.88894e-05f});
  skeleton.bones.push_back({"HAND", "ARM", {}, {1, 0, 0}, {0, 0, 0, 1}, 0, 1, 1, 700000, 1.0f / 3});
  file.skeletons.push_back(skeleton);
  file.suits.push_back({"suit", 2, {{{"k", "v"}}}, {{"ROOT", "mesh-a", 0, {}}, {"HAND", "Mesh-B", 1, {{}}}}});
  Skill skill{"walk", "xskill-walk", 100, 1.5f, 1, 3, 6, {}};
  skill.motions.push_back({"ROOT", 3, 100, 1, 1, 0, 0, {}, {{{500, {{"footstep", "1"}}}, {1000, {}}}}});
  skill.motions.push_back({"arm", 3, 100, 0, 1, -1, 3, {{{"x", ""}}}, {}});
  file.skills.push_back(skill);
  // The least a motion can hold, last in the file.
  file.skills.push_back({"still", "", 0, 0, 0, 0, 0, {{"", 0, 0, 0, 0, -1, -1, {}, {}}, {"", 0, 0, 0, 0, -1, -1, {}, {}}}});
  return file;
}

Frames SmallFrames() {
  Frames frames;
  frames.positions = {{0, 2, 0}, {0, 2.5f, 0}, {0, 3, 0}};
  frames.rotations = {{0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, AboutZ(0), AboutZ(45), AboutZ(90)};
  return frames;
}

void ExpectNear(const Vec3& actual, const Vec3& expected, const std::string& what, double tolerance = 1e-6) {
  EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
  EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
  EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

TEST(CharacterFiles, TextAndBinaryHoldTheSameFieldsAndRoundTrip) {
  CharacterFile file = SmallCharacter();
  file.suits[0].skins[0].skin_name = std::string(300, 'n');  // a .bcf string's long form
  // Either side of the long form's marker byte: 254 is short, 255 and 256 long.
  for (const std::size_t length : {254, 255, 256}) file.suits[0].skins.push_back({"ROOT", std::string(length, 'm'), 0, {}});
  // Floats of every size need from six to nine digits to come back.
  std::mt19937 random(7);
  Skeleton chain{"chain", {}};
  for (int i = 0; i < 200; ++i) {
    float value;
    do value = std::bit_cast<float>(static_cast<std::uint32_t>(random())); while (!std::isfinite(value));
    chain.bones.push_back({"B" + std::to_string(i), i ? "B" + std::to_string(i - 1) : "NULL", {}, {value, -value, 0}, {value, 0, 0, 1}, 0, 0, 0, value, -0.0f});
  }
  file.skeletons.push_back(chain);

  const std::string cmx = CmxText(file);
  EXPECT_EQ(ParseCmx(cmx, "t.cmx"), file);
  const std::string bcf = BcfBytes(file);
  EXPECT_EQ(ParseBcf(bcf, "t.bcf"), file);
  EXPECT_EQ(BcfBytes(ParseCmx(CmxText(ParseBcf(bcf, "t.bcf")), "t.cmx")), bcf);
  EXPECT_EQ(CmxText(ParseCmx(cmx, "t.cmx")), cmx);
  EXPECT_EQ(cmx.substr(0, cmx.find("\r\n") + 2).substr(0, 2), "//");
  EXPECT_NE(cmx.find("\r\nversion 300\r\n2\r\ntiny\r\n3\r\nROOT\r\nNULL\r\n0\r\n| 0 2 0 |\r\n| 0 0 0 1 |\r\n1\r\n"), std::string::npos);
  // The same text read with other line ends and blanks around numbers (names keep theirs).
  std::string loose = cmx;
  for (std::size_t at; (at = loose.find("\r\n")) != std::string::npos;) loose.replace(at, 2, "\n");
  for (std::size_t at; (at = loose.find(" |")) != std::string::npos;) loose.replace(at, 2, "\t\t|");
  for (std::size_t at = 0; (at = loose.find("\n100\n", at)) != std::string::npos; at += 5) loose.replace(at, 5, "\n 100\t\n");
  EXPECT_EQ(ParseCmx(loose, "t.cmx"), file);
  // A .bcf's name may hold a line break; a .cmx cannot keep one, and says so.
  for (const char* name : {"two\nlines", "two\rlines"}) {
    CharacterFile broken = SmallCharacter();
    broken.suits[0].skins[0].skin_name = name;
    const Failure failure = test::ExpectFailure([&] { CmxText(ParseBcf(BcfBytes(broken), "t.bcf")); });
    EXPECT_NE(failure.detail().find("a name holds a line break, which a .cmx cannot keep"), std::string::npos) << failure.detail();
  }
  // A value no file can hold is refused by every writer, not written for the reader to trip on.
  CharacterFile nan = SmallCharacter();
  nan.skeletons[0].bones[1].position[0] = std::nanf("");
  Frames infinite = SmallFrames();
  infinite.rotations[1][2] = INFINITY;  // value 9 + 2 * 6 + 1: the z of rotation 1
  const struct {
    const char* name;
    std::function<void()> write;
    const char* detail;
  } refused[] = {
      {".bcf", [&] { BcfBytes(nan); }, "a value is not a finite number"},
      {".cmx", [&] { CmxText(nan); }, "a value is not a finite number"},
      {".cfp", [&] { CfpBytes(infinite); }, "frame value 22 is not a finite number"},
  };
  for (const auto& r : refused) {
    const Failure failure = ExpectFailure(r.write);
    EXPECT_EQ(failure.number(), 6) << r.name;
    EXPECT_NE(failure.detail().find(r.detail), std::string::npos) << r.name << ": " << failure.detail();
  }
}

TEST(CharacterFiles, FloatsAreWrittenAsTheGamesFilesWriteThem) {
  const struct {
    float value;
    const char* text;
  } cases[] = {
      {-5.88894e-05f, "-5.88894e-005"}, {700000, "700000"}, {7e6f, "7e+006"}, {1999, "1999"},
      {0.1f, "0.1"}, {-0.0f, "-0"}, {3.01362f, "3.01362"}, {1.0f / 3, "0.33333334"},
      {std::nextafter(0.1f, 1.0f), "0.10000001"}, {1e-40f, "9.99995e-041"}, {3.4028235e38f, "3.4028235e+038"},
      {16777216.0f, "16777216"}, {119.604515f, "119.604515"}, {106088216.0f, "106088216"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatCmxFloat(c.value), c.text);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(ParseCmx("//\nversion 300\n0\n0\n1\ns\nf\n" + std::string(c.text) + "\n0\n0\n0\n0\n0\n", "t.cmx").skills[0].duration),
              std::bit_cast<std::uint32_t>(c.value))
        << c.text;
  }
}

// The small skeleton, skill and motion as lines, for the failure table.
std::vector<std::string> SmallCmxLines() {
  return {"// c", "version 300", "1", "s", "2",
          "ROOT", "NULL", "0", "| 0 1 0 |", "| 0 0 0 1 |", "1", "1", "0", "0", "0",                       // 5-14
          "ARM", "ROOT", "1", "1", "name", "x", "| 1 0 0 |", "| 0 0 0 1 |", "0", "1", "1", "0", "0",   // 15-27
          "0", "1", "walk", "xskill-walk", "1000", "0", "0", "2", "2", "1",                            // 28-37
          "ARM", "2", "1000", "1", "1", "0", "0", "0", "1", "1", "500", "1", "footstep", "1"};          // 38-51
}

TEST(CharacterFiles, TheTextReaderRefusesWithFileLineAndElement) {
  const std::string whole = test::CrLf(SmallCmxLines());
  ASSERT_NO_THROW(ParseCmx(whole, "t.cmx"));
  // Cut anywhere, the text fails cleanly; only the last line end may go.
  for (std::size_t length = 0; length < whole.size(); ++length) {
    if (length >= whole.size() - 2) continue;
    const Failure failure = ExpectFailure([&] { ParseCmx(whole.substr(0, length), "t.cmx"); });
    EXPECT_TRUE(failure.number() == 62 || failure.number() == 5) << length << ": " << failure.detail();
    EXPECT_EQ(failure.file(), "t.cmx");
    EXPECT_GT(failure.line(), 0) << length;
  }
  const struct {
    std::size_t line;  // counted from 0; past the end appends
    const char* text;
    int number;
    const char* detail;
  } cases[] = {
      {1, "version 301", 5, "t.cmx line 2: the version line \"version 301\" is not \"version 300\""},
      {1, "versoin 300", 5, "t.cmx line 2: the version line \"versoin 300\" is not \"version 300\""},
      {4, "99999", 62, "line 5: skeleton 0 (counted from 0): the bone count \"99999\" is more than the lines left"},
      {17, "4000000000", 62, "line 18: bone 1 (counted from 0) of skeleton s: a property-list count"},
      {16, "HIP", 5, "t.cmx line 4: bone ARM of skeleton s: its parent HIP is not in the skeleton"},
      {6, "ARM", 5, "bone ROOT of skeleton s: its parents lead back to it"},
      {15, "root", 5, "bone root of skeleton s: another bone has the same name"},
      {8, "| nan 1 0 |", 6, "line 9: bone 0 (counted from 0) of skeleton s: a position \"| nan 1 0 |\" is not a finite float32"},
      {32, "1e39", 6, "line 33: skill 0 (counted from 0): the duration \"1e39\" is not a finite float32"},
      {32, "", 5, "line 33: skill 0 (counted from 0): the duration \"\" is not a number"},
      {32, "fast", 5, "the duration \"fast\" is not a number"},
      {32, "1.5x", 5, "the duration \"1.5x\" is not a number"},
      {9, "| 0 0 0 |", 5, "a rotation \"| 0 0 0 |\" is not 4 numbers between bars"},
      {8, "0 1 0", 5, "is not 3 numbers between bars"},
      {21, "| 1 0 0 | 2", 5, "line 22"},
      {8, "| 0 1-2 |", 5, "a position \"| 0 1-2 |\" is not 3 numbers between bars"},  // numbers must not touch
      {8, "| 0 1 0 5 |", 5, "line 9: bone 0 (counted from 0) of skeleton s: a position \"| 0 1 0 5 |\" is not 3 numbers between bars"},
      {10, "1.5", 5, "canTranslate \"1.5\" is not a whole number"},
      {10, "4294967296", 6, "canTranslate \"4294967296\" is beyond 32 bits"},
      {43, "-2147483649", 6, "the position offset \"-2147483649\" is beyond 32 bits"},
      {37, "7", 62, "the motion count \"7\" is more than the lines left"},
      // As many as the lines left could hold gets past the count, then runs out.
      {37, "6", 62, "the file ends where a motion's bone name was expected"},
      {10, "4294967295", 0, ""},  // the largest uint32 reads
      {43, "2147483647", 0, ""},  // and the largest int32
      {43, "2147483648", 6, "the position offset \"2147483648\" is beyond 32 bits"},
      {48, "x", 5, "line 49: motion 0 (counted from 0) of skill walk: a time \"x\" is not a whole number"},
      {52, "more", 5, "line 53: the text after the skills \"more\" is not empty"},
      {52, " \t ", 0, ""},  // blanks after the skills are no text
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines = SmallCmxLines();
    if (c.line < lines.size()) lines[c.line] = c.text;
    else lines.push_back(c.text);
    if (c.number == 0) {  // at the limit: reads
      EXPECT_NO_THROW(ParseCmx(test::CrLf(lines), "t.cmx")) << c.text;
      continue;
    }
    const Failure failure = ExpectFailure([&] { ParseCmx(test::CrLf(lines), "t.cmx"); });
    EXPECT_EQ(failure.number(), c.number) << c.detail;
    EXPECT_NE(failure.detail().find(c.detail), std::string::npos) << failure.detail();
  }
}

std::string WithU32(std::string bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
  return bytes;
}

TEST(CharacterFiles, TheBinaryReaderRefusesWithFileOffsetAndElement) {
  const std::string whole = BcfBytes(ParseCmx(test::CrLf(SmallCmxLines()), "t.cmx"));
  for (std::size_t length = 0; length < whole.size(); ++length) {
    const Failure failure = ExpectFailure([&] { ParseBcf(whole.substr(0, length), "t.bcf"); });
    EXPECT_EQ(failure.number(), 62) << length << ": " << failure.detail();
    EXPECT_EQ(failure.file(), "t.bcf");
    EXPECT_TRUE(failure.offset().has_value()) << length;
  }
  // Bytes: skeleton count at 0, name "s" at 4, bone count at 6, ROOT's name
  // at 10, its parent at 15, its lists at 20 and position at 24.
  std::string parent_missing = whole, long_short = whole;
  parent_missing[19] = 'X';
  long_short.replace(4, 2, std::string("\xff\x01\0\0\0s", 6));
  const struct {
    const char* name;
    std::string bytes;
    int number;
    const char* detail;
  } cases[] = {
      {"bones", WithU32(whole, 6, 0xfffffff0), 62, "t.bcf byte 6: skeleton 0 (counted from 0): the bone count 4294967280 is more than the bytes left"},
      {"nan", WithU32(whole, 24, 0x7fc00000), 6, "byte 24: bone 0 (counted from 0) of skeleton s: a position is not a finite float32"},
      {"infinity", WithU32(whole, 28, 0xff800000), 6, "byte 28"},
      {"parent", parent_missing, 5, "t.bcf byte 4: bone ROOT of skeleton s: its parent NULX is not in the skeleton"},
      {"long form", long_short, 5, "byte 4: skeleton 0 (counted from 0): a skeleton name has the long form's length 1, below 255"},
      {"long form one short", WithU32(long_short, 5, 254), 5, "long form's length 254, below 255"},
      {"negative long form", WithU32(long_short, 5, 0x80000000), 5, "long form's length -2147483648"},
      {"after", whole + "x", 5, "1 bytes follow the skills"},
  };
  for (const auto& c : cases) {
    const Failure failure = ExpectFailure([&] { ParseBcf(c.bytes, "t.bcf"); });
    EXPECT_EQ(failure.number(), c.number) << c.name;
    EXPECT_NE(failure.detail().find(c.detail), std::string::npos) << c.name << ": " << failure.detail();
  }
}

TEST(Frames, DecodeStepsRepeatsAndFullValuesAndEncodeWithinATolerance) {
  // 0xFF 1.5, a step of 18^4 units (byte 144), a repeat of 3, the largest step down.
  const std::string bytes = std::string("\xff\x00\x00\xc0\x3f\x90\xfe\x02\x00\x00", 10);
  const Frames frames = ParseCfp(bytes, 2, 0, "t.cfp");
  const float step = 1.5f + static_cast<float>(3.9676e-10 * 18 * 18 * 18 * 18);
  const float down = step + static_cast<float>(3.9676e-10 * -126.0 * -126.0 * -126.0 * 126.0);
  EXPECT_EQ(frames.positions, (std::vector<std::array<float, 3>>{{1.5f, step, step}, {step, step, down}}));

  Frames many;
  std::mt19937 random(3);
  std::uniform_real_distribution<float> jump(-3, 3), drift(-0.08f, 0.08f);
  float value = 0;
  for (int i = 0; i < 500; ++i) {
    value = i % 50 == 0 ? jump(random) : i % 7 < 3 ? value : value + drift(random);
    many.positions.push_back({value, -value, 0});
    many.rotations.push_back({0, value / 4, 0, 1});
  }
  const std::string encoded = CfpBytes(many);
  const Frames back = ParseCfp(encoded, 500, 500, "t.cfp");
  for (std::size_t i = 0; i < 500; ++i) {
    for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(back.positions[i][k], many.positions[i][k], 0.001) << i;
    for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(back.rotations[i][k], many.rotations[i][k], 0.001) << i;
  }
  EXPECT_LT(encoded.size(), 3500u);  // steps and repeats, not full values: 3500 values

  // Lossless: every value comes back as the very float32, -0 and tiny ones too,
  // and the exact steps and repeats still spare most full values.
  many.positions[7] = {-0.0f, 1e-40f, 0.0f};
  many.rotations[8] = {0, 0.25f + 1e-7f, 0, 1};
  const std::string exact = CfpBytes(many, 0);
  const Frames same = ParseCfp(exact, 500, 500, "t.cfp");
  EXPECT_EQ(std::memcmp(same.positions.data(), many.positions.data(), 500 * sizeof many.positions[0]), 0);
  EXPECT_EQ(std::memcmp(same.rotations.data(), many.rotations.data(), 500 * sizeof many.rotations[0]), 0);
  EXPECT_LT(exact.size(), 5 * 3500u / 2);
}

TEST(Frames, TheReaderRefusesWithFileOffsetAndValue) {
  const std::string whole = CfpBytes(SmallFrames());
  for (std::size_t length = 0; length < whole.size(); ++length) {
    const Failure failure = ExpectFailure([&] { ParseCfp(whole.substr(0, length), 3, 6, "t.cfp"); });
    EXPECT_EQ(failure.number(), 62) << length;
    EXPECT_EQ(failure.file(), "t.cfp");
    EXPECT_TRUE(failure.offset().has_value());
  }
  const struct {
    std::string bytes;
    std::uint32_t positions;
    int number;
    const char* detail;
  } cases[] = {
      {std::string("\xfe\xff\xff", 3), 1000000, 62, "t.cfp byte 0: 3000000 values are more than 3 bytes can hold"},
      {std::string("\x7e\xfe\x05\x00", 4), 2, 5, "byte 1: a repeat of 6 runs past the last value (value 1 of 6)"},
      {std::string("\x7e\xfe\x04\x00", 4), 2, 0, ""},  // a repeat that ends on the last value
      {std::string("\x7e\x7e\x7e\x7e\x7e\x7e\x7e", 7), 2, 5, "byte 6: 1 bytes follow the last value"},
      {std::string("\xff\x00\x00\xc0\x7f", 5), 1, 6, "byte 0: a full value is not a finite float32"},
  };
  for (const auto& c : cases) {
    if (c.number == 0) {
      EXPECT_NO_THROW(ParseCfp(c.bytes, c.positions, 0, "t.cfp")) << testing::PrintToString(c.bytes);
      continue;
    }
    const Failure failure = ExpectFailure([&] { ParseCfp(c.bytes, c.positions, 0, "t.cfp"); });
    EXPECT_EQ(failure.number(), c.number) << c.detail;
    EXPECT_NE(failure.detail().find(c.detail), std::string::npos) << failure.detail();
  }
}

// ROOT holds vertices 0 and 1, ARM vertex 2 and the blended vertex 3, which
// pulls vertex 0 halfway to it.
const char* kTwoBoneSkn =
    "m\r\ntex\r\n2\r\nROOT\r\narm\r\n1\r\n0 1 2\r\n2\r\n0 0 2 -1 0\r\n1 2 1 0 1\r\n3\r\n0 0\r\n1 0.25\r\n0.5 1\r\n"
    "1\r\n0 16384\r\n4\r\n0 0 0 0 0 1\r\n1 0 0 1 0 0\r\n1 0 0 0 1 0\r\n0 0 0 1 0 0\r\n";

TEST(Posing, WorldTransformsAtRestAndBetweenFramesAndSkinningWithBlends) {
  const CharacterFile file = SmallCharacter();
  const Rig rig = MakeRig(file.skeletons[0]);
  const Animation animation = MakeAnimation(rig, file.skills[0], SmallFrames());
  EXPECT_EQ(animation.frame_count, 3);
  Skill ending_short = file.skills[0];  // a shorter motion listed last does not shorten the skill
  ending_short.motions.back().frames = 1;
  EXPECT_EQ(MakeAnimation(rig, ending_short, SmallFrames()).frame_count, 3);
  const double r = std::sqrt(0.5);
  const struct {
    double frame;  // < 0: at rest
    Vec3 arm, hand;
  } cases[] = {
      {-1, {1, 2, 0}, {1, 3, 0}},
      {0, {1, 2, 0}, {2, 2, 0}},
      {1, {1, 2.5, 0}, {1 + r, 2.5 + r, 0}},
      {0.5, {1, 2.25, 0}, {1 + std::cos(std::acos(-1.0) / 8), 2.25 + std::sin(std::acos(-1.0) / 8), 0}},
      {2, {1, 3, 0}, {1, 4, 0}},
      {7, {1, 3, 0}, {1, 4, 0}},  // past the last frame: the last
  };
  Pose pose;
  for (const auto& c : cases) {
    if (c.frame < 0) pose = RestPose(rig);
    else AnimatedPose(rig, animation, c.frame, pose);
    const std::string what = "frame " + std::to_string(c.frame);
    ExpectNear(pose[1].position, c.arm, what);
    ExpectNear(pose[2].position, c.hand, what);
  }
  // Keys of opposite sign are one rotation: the blend takes the short way round.
  Frames flipped = SmallFrames();
  for (float& value : flipped.rotations[5]) value = -value;
  const Animation flipped_animation = MakeAnimation(rig, file.skills[0], flipped);
  Pose flipped_pose;
  AnimatedPose(rig, animation, 1.5, pose);
  AnimatedPose(rig, flipped_animation, 1.5, flipped_pose);
  ExpectNear(flipped_pose[2].position, pose[2].position, "opposite-sign keys");
  // A motion that keeps its bone's rotation leaves the rest one: HAND stands above ARM.
  Skill arm_still = file.skills[0];
  arm_still.motions[1].uses_rotations = 0;
  arm_still.motions[1].rotation_offset = -1;
  AnimatedPose(rig, MakeAnimation(rig, arm_still, SmallFrames()), 1, pose);
  ExpectNear(pose[2].position, {1, 3.5, 0}, "the rest rotation kept");
  // A shader's matrix places a point as the transform does.
  AnimatedPose(rig, animation, 1, pose);
  const std::array<float, 16> m = BoneMatrix(pose[2]);
  ExpectNear({m[0] * 0.5 + m[12], m[1] * 0.5 + m[13], m[2] * 0.5 + m[14]}, pose[2].Apply({0.5, 0, 0}), "matrix", 1e-5);

  // Vertex 3 is at ARM's origin (1, 2, 0); vertex 0 at (0, 2, 0) moves by the
  // blend's weight towards it, all the way at 32768.
  SkinnedMesh skinned;
  for (const auto& [weight, x] : {std::pair{"0", 0.0}, {"16384", 0.5}, {"32768", 1.0}}) {
    std::vector<std::string> lines = test::SplitCrLf(kTwoBoneSkn);
    lines[15] = std::string("0 ") + weight;
    const std::vector<DressedMesh> blended = Dress(rig, {MakeSkinMesh(test::ReadSknText(test::CrLf(lines)))});
    Skin(blended[0], RestPose(rig), skinned);
    ExpectNear(skinned.positions[0], {x, 2, 0}, std::string("blend weight ") + weight);
  }
  std::vector<DressedMesh> dressed = Dress(rig, {MakeSkinMesh(test::ReadSknText(kTwoBoneSkn))});
  Skin(dressed[0], RestPose(rig), skinned);
  ExpectNear(skinned.positions[2], {1, 3, 0}, "on ARM");
  ExpectNear(skinned.normals[0], {0, r, r}, "blended normal");  // (0, 0, 1) and ARM's (1, 0, 0) turned up
  // Normals that cancel stay zero rather than becoming NaN in the posed file.
  std::vector<std::string> flat = test::SplitCrLf(kTwoBoneSkn);
  flat[17] = flat[20] = "0 0 0 0 0 0";
  Skin(Dress(rig, {MakeSkinMesh(test::ReadSknText(test::CrLf(flat)))})[0], RestPose(rig), skinned);
  ExpectNear(skinned.normals[0], {0, 0, 0}, "cancelled normal");
  Skin(dressed[0], RestPose(rig), skinned);
  // The shader's inputs give the same places.
  const std::vector<VertexBinding> bindings = VertexBindings(dressed[0]);
  const Pose rest = RestPose(rig);
  for (std::size_t v = 0; v < bindings.size(); ++v) {
    const VertexBinding& b = bindings[v];
    Vec3 p = rest[static_cast<std::size_t>(b.bone)].Apply(b.position);
    if (b.blend_bone >= 0) {
      const Vec3 q = rest[static_cast<std::size_t>(b.blend_bone)].Apply(b.blend_position);
      const double w = b.blend_weight;
      p = {(1 - w) * p.x + w * q.x, (1 - w) * p.y + w * q.y, (1 - w) * p.z + w * q.z};
    }
    ExpectNear(p, skinned.positions[v], "binding " + std::to_string(v));
  }
}

TEST(Posing, FailuresNameTheSkillTheMotionTheMeshAndTheBone) {
  const CharacterFile file = SmallCharacter();
  const Rig rig = MakeRig(file.skeletons[0]);
  auto with_motion = [&](auto change) {
    Skill skill = file.skills[0];
    change(skill.motions[1]);
    return skill;
  };
  const SkinModel mesh = test::ReadSknText(kTwoBoneSkn);
  auto mesh_with = [&](int line, const char* text) {
    std::vector<std::string> lines = test::SplitCrLf(kTwoBoneSkn);
    lines[static_cast<std::size_t>(line)] = text;
    return test::ReadSknText(test::CrLf(lines));
  };
  const struct {
    const char* name;
    std::function<void()> call;
    int number;
    const char* detail;
  } cases[] = {
      {"motion bone", [&] { MakeAnimation(rig, with_motion([](Motion& m) { m.bone_name = "TAIL"; }), SmallFrames()); }, 5,
       "motion 1 (counted from 0) (bone TAIL) of skill walk: the skeleton tiny has no bone TAIL"},
      {"frames", [&] { MakeAnimation(rig, with_motion([](Motion& m) { m.frames = 3000000000u; }), SmallFrames()); }, 5,
       "motion 1 (counted from 0) (bone arm) of skill walk: 3000000000 frames are more than any frames hold"},
      {"offset at the end", [&] { MakeAnimation(rig, with_motion([](Motion& m) { m.rotation_offset = 3; }), SmallFrames()); }, 0, ""},
      {"offset past", [&] { MakeAnimation(rig, with_motion([](Motion& m) { m.rotation_offset = 4; }), SmallFrames()); }, 5,
       "of skill walk: its rotations at 4 for 3 frames reach past the 6 rotations of the frames"},
      {"negative offset", [&] { MakeAnimation(rig, with_motion([](Motion& m) { m.uses_positions = 1; }), SmallFrames()); }, 5,
       "its positions at -1 for 3 frames reach past"},
      {"parents", [&] { Skeleton s = file.skeletons[0]; s.bones[0].parent = "HAND"; MakeRig(s); }, 5, "bone ROOT of skeleton tiny: its parents lead back to it"},
      {"mesh bone", [&] { Dress(rig, {MakeSkinMesh(mesh_with(4, "TAIL"))}); }, 5, "mesh m: the skeleton tiny has no bone TAIL"},
      {"face", [&] { MakeSkinMesh(mesh_with(6, "0 1 3")); }, 9, "face 0 (counted from 0) of mesh m: its corner 3 is not a bound vertex (0 to 2)"},
      {"blend target", [&] { MakeSkinMesh(mesh_with(15, "3 16384")); }, 9, "blend entry 0 (counted from 0) of mesh m: its target 3"},
      {"last blend target", [&] { MakeSkinMesh(mesh_with(15, "2 16384")); }, 0, ""},
      {"negative blend target", [&] { MakeSkinMesh(mesh_with(15, "-1 16384")); }, 9, "its target -1"},
      {"blend weight", [&] { MakeSkinMesh(mesh_with(15, "0 32769")); }, 5, "its weight 32769 is outside 0 to 32768"},
      {"negative blend weight", [&] { MakeSkinMesh(mesh_with(15, "0 -1")); }, 5, "its weight -1 is outside 0 to 32768"},
      {"claimed twice", [&] { MakeSkinMesh(mesh_with(9, "1 1 2 0 1")); }, 5, "bone arm of mesh m: vertex 1 (counted from 0) is claimed by bone ROOT too"},
      {"unclaimed", [&] { MakeSkinMesh(mesh_with(9, "1 2 1 0 0")); }, 5, "vertex 3 (counted from 0) belongs to no bone"},
      {"range", [&] { MakeSkinMesh(mesh_with(9, "1 2 5 0 1")); }, 9, "its vertices 2 to 6 are outside 0 to 2"},
      {"range one past", [&] { MakeSkinMesh(mesh_with(9, "1 2 2 0 1")); }, 9, "its vertices 2 to 3 are outside 0 to 2"},
      {"range before the first", [&] { MakeSkinMesh(mesh_with(9, "1 -1 1 0 1")); }, 9, "its vertices -1 to -1 are outside 0 to 2"},
      {"short binding", [&] { MakeSkinMesh(mesh_with(9, "1 2 1 0")); }, 5, "bone arm of mesh m: the binding line \"1 2 1 0\" needs 5 numbers"},
      {"short texture vertex", [&] { MakeSkinMesh(mesh_with(11, "0")); }, 5,
       "texture vertex 0 (counted from 0) of mesh m: a texture-vertex line needs two numbers"},
      {"vertex count", [&] {
         std::vector<std::string> lines = test::SplitCrLf(kTwoBoneSkn);
         lines[16] = "3";
         lines.pop_back();
         MakeSkinMesh(test::ReadSknText(test::CrLf(lines)));
       }, 5, "mesh m: the vertex count 3 is not the texture vertices and blend entries together (3 + 1)"},
  };
  for (const auto& c : cases) {
    if (c.number == 0) {  // the value at the limit, which must pass
      EXPECT_NO_THROW(c.call()) << c.name;
      continue;
    }
    const Failure failure = ExpectFailure(c.call);
    EXPECT_EQ(failure.number(), c.number) << c.name;
    EXPECT_NE(failure.detail().find(c.detail), std::string::npos) << c.name << ": " << failure.detail();
  }
}

TEST(FileFinder, FindsByNameIgnoringCaseInOrderThenAsksTheExtraLookup) {
  TempDir first, second;
  for (const char* name : {"Adult-Skeleton.CMX.bcf", "adult-skeleton.cmx", "mesh-a.SKN", "Mesh-A.bmf", "tex.BMP"})
    test::WriteFile(first.path(name), "x");
  for (const char* name : {"mesh-b.skn", "mesh-a.skn", "walk.cfp"}) test::WriteFile(second.path(name), "x");
  std::vector<std::string> asked;
  const FileFinder finder({first.root().string(), second.root().string()}, [&](std::string_view name) -> std::optional<std::string> {
    asked.emplace_back(name);
    if (name == "game.cfp") return "game.far/game.cfp";
    return std::nullopt;
  });
  auto name_of = [](const std::optional<std::string>& path) { return path ? FileNameOf(*path) : std::string("-"); };
  EXPECT_EQ(name_of(FindSkeletonFile(finder)), "adult-skeleton.cmx");
  EXPECT_EQ(name_of(FindMeshFile(finder, "MESH-A")), "Mesh-A.bmf");
  EXPECT_EQ(std::filesystem::path(*FindMeshFile(finder, "mesh-b")), second.root() / "mesh-b.skn");
  EXPECT_EQ(name_of(FindToneBitmap(finder, "m", "Tex")), "tex.BMP");
  EXPECT_EQ(name_of(FindFramesFile(finder, "WALK")), "walk.cfp");
  EXPECT_EQ(FindFramesFile(finder, "game"), "game.far/game.cfp");
  EXPECT_EQ(FindFramesFile(finder, "none"), std::nullopt);
  EXPECT_EQ(asked, (std::vector<std::string>{"mesh-b.bmf", "game.cfp", "none.cfp"}));
  EXPECT_EQ(name_of(FindSkeletonFile(FileFinder({second.root().string()}))), "-");
  // A skeleton kept only in binary form is found too, by its age.
  test::WriteFile(second.path("Child-Skeleton.cmx.BCF"), "x");
  EXPECT_EQ(name_of(FindSkeletonFile(FileFinder({second.root().string()}), 'c')), "Child-Skeleton.cmx.BCF");
}

// "FILE[:SKILL]": the colon splits only after a character file's name.
TEST(SkillRequests, SplitAfterACharacterFileOnly) {
  const struct {
    const char* text;
    std::string file;
    std::optional<std::string> skill;
  } cases[] = {
      {"walk.cmx:Walk", "walk.cmx", "Walk"},
      {"dir/walk.cmx.bcf:idle", "dir/walk.cmx.bcf", "idle"},
      {"walk.cmx:", "walk.cmx", std::nullopt},
      {"C:\\walk.cmx", "C:\\walk.cmx", std::nullopt},
      {"C:walk.cmx", "C:walk.cmx", std::nullopt},
      {"C:\\sims\\walk.cmx:Walk", "C:\\sims\\walk.cmx", "Walk"},  // a drive's colon is not the skill's
      {"a.cmx:b/walk.cmx", "a.cmx:b/walk.cmx", std::nullopt},
      {"notes.txt:x", "notes.txt:x", std::nullopt},
  };
  for (const auto& c : cases) {
    const SkillRequest request = ParseSkillRequest(c.text);
    EXPECT_EQ(request.file, c.file) << c.text;
    EXPECT_EQ(request.skill, c.skill) << c.text;
  }
}

using Ran = test::Converted;
using test::Convert;

// One rule, the game's, names a mesh's bitmap for --pose's .mtl and for the
// .glb's texture alike. The right file is a real bitmap and the wrong ones
// junk, which a .glb that took one could not decode.
TEST(CharacterCommands, PoseAndGlbWearTheBitmapTheGameNames) {
  CharacterFile skeleton = SmallCharacter();
  skeleton.suits.clear();
  skeleton.skills.clear();
  const struct {
    const char *mesh, *texture;
    std::vector<std::string> right, wrong;
    std::string mtl;
  } cases[] = {
      {"xskin-c001ma_ross-HEAD-HEADB", "x", {"C001MAlgt_Ross.bmp"}, {"x.bmp"}, "map_Kd C001MAlgt_Ross.bmp"},
      {"xskin-hmlo-L_HAND-HANDML", "X", {"HMLOlgt.bmp"}, {}, "map_Kd HMLOlgt.bmp"},
      {"xskin-b002mafit_a-b-PELVIS-BODY", "x", {"b002mafitlgt_a-b.bmp"}, {"b002mafitlgt_a.bmp"}, "map_Kd b002mafitlgt_a-b.bmp"},
      {"xskin-b002mafit_01-PELVIS-BODY", "B002MAFitdrk_Ross", {"B002MAFitdrk_Ross01.bmp"}, {}, "map_Kd B002MAFitdrk_Ross01.bmp"},
      {"xskin-c001ma_ross-HEAD-HEADB", "x", {}, {"x.bmp"}, "# no bitmap c001malgt_ross.bmp is found"},
      // A head whose bitmaps come in the dark tone only wears that one.
      {"xskin-c001ma_ross-HEAD-HEADB", "x", {"C001MAdrk_Ross.bmp"}, {"x.bmp"}, "map_Kd C001MAdrk_Ross.bmp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.mesh) + " " + c.texture);
    TempDir dir;
    test::WriteFile(dir.path("adult-skeleton.cmx"), CmxText(skeleton));
    std::vector<std::string> lines = test::SplitCrLf(kTwoBoneSkn);
    lines[0] = c.mesh;
    lines[1] = c.texture;
    test::WriteFile(dir.path("m.skn"), test::CrLf(lines));
    for (const std::string& name : c.right) test::WriteFile(dir.path(name), test::TwoColourBitmap());
    for (const std::string& name : c.wrong) test::WriteFile(dir.path(name), "junk");
    const Ran posed = Convert({"--pose", dir.path("m.skn"), dir.path("out.obj")});
    ASSERT_EQ(posed.status, 0) << posed.err;
    EXPECT_EQ(test::ReadFile(dir.path("out.mtl")), "newmtl " + std::string(c.mesh) + "\n" + c.mtl + "\n");
    const Ran glb = Convert({dir.path("m.skn"), dir.path("m.glb")});
    ASSERT_EQ(glb.status, 0) << glb.err;
    EXPECT_EQ(test::ReadFile(dir.path("m.glb")).find("\x89PNG") != std::string::npos, !c.right.empty());
  }
}

TEST(CharacterCommands, ConvertDescribeAndPoseASuitAtAFrame) {
  TempDir dir;
  CharacterFile skeleton = SmallCharacter(), suit = skeleton, skill = skeleton;
  skeleton.suits.clear();
  skeleton.skills.clear();
  suit.skeletons.clear();
  suit.skills.clear();
  suit.suits[0].skins.resize(1);
  skill.skeletons.clear();
  skill.suits.clear();
  test::WriteFile(dir.path("adult-skeleton.cmx"), CmxText(skeleton));
  test::WriteFile(dir.path("suit.bcf"), BcfBytes(suit));
  test::WriteFile(dir.path("walk.cmx"), CmxText(skill));
  test::WriteFile(dir.path("mesh-a.skn"), kTwoBoneSkn);
  test::WriteFile(dir.path("TEX.bmp"), "x");

  // .bcf to .cmx and back gives the same bytes.
  EXPECT_EQ(Convert({dir.path("suit.bcf"), dir.path("suit.cmx")}).status, 0);
  EXPECT_EQ(Convert({dir.path("suit.cmx"), dir.path("back.bcf")}).status, 0);
  EXPECT_EQ(test::ReadFile(dir.path("back.bcf")), test::ReadFile(dir.path("suit.bcf")));

  const Ran info = Convert({"--info", dir.path("walk.cmx")});
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("skill walk: 100 ms, 2 motions, 3 positions, 6 rotations, xskill-walk.cfp not found"), std::string::npos) << info.out;
  // A skeleton's bones where they stand at rest; a suit's meshes, found or not.
  test::WriteFile(dir.path("all.cmx"), CmxText(SmallCharacter()));
  const Ran all = Convert({"--info", dir.path("all.cmx")});
  EXPECT_EQ(all.status, 0);
  for (const char* line : {"  skeleton tiny: 3 bones\n"
                           "    ROOT       parent NULL       world 0.000000 2.000000 0.000000\n"
                           "    ARM        parent ROOT       world 1.000000 2.000000 0.000000\n"
                           "    HAND       parent ARM        world 1.000000 3.000000 0.000000\n",
                           "  suit suit (type 2): 2 skins\n"
                           "    mesh-a on ROOT: mesh-a.skn\n"
                           "    Mesh-B on HAND: mesh not found\n"})
    EXPECT_NE(all.out.find(line), std::string::npos) << all.out;
  const Ran missing = Convert({"--pose", "--animation", dir.path("walk.cmx") + ":WALK", "--frame", "1", dir.path("suit.bcf"), dir.path("out.obj")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("error 53: walk.cmx: skill walk: xskill-walk.cfp is not found"), std::string::npos) << missing.err;

  test::WriteFile(dir.path("xskill-walk.cfp"), CfpBytes(SmallFrames()));
  // Each motion says which frames it takes.
  const Ran found = Convert({"--info", dir.path("walk.cmx")});
  EXPECT_NE(found.out.find("xskill-walk.cfp found\n    ROOT       3 frames, positions from 0, rotations from 0\n"
                           "    arm        3 frames, rotations from 3\n"), std::string::npos) << found.out;
  const Ran posed = Convert({"--pose", "--animation", dir.path("walk.cmx") + ":WALK", "--frame", "1", dir.path("suit.bcf"), dir.path("out.obj")});
  ASSERT_EQ(posed.status, 0) << posed.err;
  // Frame 1: ROOT at (0, 2.5, 0), ARM at (1, 2.5, 0) turned 45 degrees. Right-handed: x negated,
  // winding reversed, v flipped.
  const std::string text = test::ReadFile(dir.path("out.obj"));
  EXPECT_EQ(text.substr(0, text.find("v ")),  "mtllib out.mtl\no m\n");
  // The frames keep values to within 0.001, so the turned vertex comes within 0.002.
  EXPECT_NE(text.find("\nv -0.500000 2.500000 0.000000\nv -1.000000 2.500000 0.000000\nv -1.70"), std::string::npos) << text;
  double x = 0, y = 0;
  std::istringstream(text.substr(text.find("v -1.70") + 2)) >> x >> y;
  EXPECT_NEAR(x, -1 - std::sqrt(0.5), 0.002);
  EXPECT_NEAR(y, 2.5 + std::sqrt(0.5), 0.002);
  EXPECT_NE(text.find("\nvt 0.000000 1.000000\nvt 1.000000 0.750000\nvt 0.500000 0.000000\n"), std::string::npos) << text;
  EXPECT_NE(text.find("usemtl m\nf 1/1/1 3/3/3 2/2/2\n"), std::string::npos) << text;
  EXPECT_EQ(test::ReadFile(dir.path("out.mtl")), "newmtl m\nmap_Kd TEX.bmp\n");

  test::WriteFile(dir.path("mesh-a.bmf"), BmfBytes(test::ReadSknText(kTwoBoneSkn)));
  const struct {
    std::vector<std::string> args;
    int status;
    const char* err;
  } failures[] = {
      {{"--pose", dir.path("suit.bcf")}, 2, "--pose needs at least one MESH and the OUT.obj"},
      {{"--pose", dir.path("suit.bcf"), dir.path("o.skn")}, 2, "--pose writes an .obj"},
      {{"--frame", "2", "--pose", dir.path("mesh-a.skn"), dir.path("o.obj")}, 2, "--frame goes with --animation"},
      {{"--pose", "--frame", "x", dir.path("mesh-a.skn"), dir.path("o.obj")}, 2, "--frame needs a number"},
      {{"--pose", "--frame", "inf", dir.path("mesh-a.skn"), dir.path("o.obj")}, 2, "--frame needs a number, not \"inf\""},
      {{"--pose", "--skeleton", dir.path("walk.cmx"), dir.path("mesh-a.skn"), dir.path("o.obj")}, 1, "walk.cmx: it holds no skeleton"},
      {{"--pose", "--skeleton", dir.path("mesh-a.skn"), dir.path("mesh-a.skn"), dir.path("o.obj")}, 1, "mesh-a.skn: a character file ends in .cmx or .bcf"},
      {{"--pose", dir.path("all.cmx"), dir.path("o.obj")}, 1, "all.cmx: suit suit: neither Mesh-B.bmf nor Mesh-B.skn is found"},
      {{"--pose", "--animation", dir.path("walk.cmx"), "--frame", "3", dir.path("mesh-a.skn"), dir.path("o.obj")}, 1, "skill walk: frame 3 is outside its frames 0 to 2"},
      {{"--pose", "--animation", dir.path("walk.cmx"), "--frame", "-1", dir.path("mesh-a.skn"), dir.path("o.obj")}, 1,
       "skill walk: frame -1 is outside its frames 0 to 2"},
      {{"--pose", "--animation", dir.path("adult-skeleton.cmx"), dir.path("mesh-a.skn"), dir.path("o.obj")}, 1,
       "adult-skeleton.cmx: it holds no skill"},
      {{"--pose", dir.path("walk.cmx"), dir.path("o.obj")}, 1, "walk.cmx: it holds no suit"},
      {{"--pose", dir.path("mesh-a.bmf"), dir.path("o.obj")}, 0, ""},
      {{"--pose", dir.path("mesh-a.obj"), dir.path("o.obj")}, 2, "a MESH ends in .skn, .bmf, .cmx or .bcf: \""},
      // Options that would be dropped without a word are refused.
      {{"--pose", "--to", "bmf", dir.path("mesh-a.skn"), dir.path("o.obj")}, 2, "--pose, --skeleton, --animation and --frame take no --to"},
      {{"--frame", "1", "--to", "bmf", dir.path("mesh-a.skn")}, 2, "--pose, --skeleton, --animation and --frame take no --to"},
      {{"--pose", "--animation", dir.path("walk.cmx"), "--animation", dir.path("walk.cmx"), dir.path("mesh-a.skn"), dir.path("o.obj")}, 2,
       "--animation goes once here"},
      {{"--pose", "--info", dir.path("mesh-a.skn"), dir.path("o.obj")}, 2, "--pose and --info go separately"},
      {{"--skeleton", dir.path("adult-skeleton.cmx"), dir.path("suit.bcf"), dir.path("s.cmx")}, 2,
       "a conversion of a character file takes no --skeleton, --animation, --frame or --game"},
      {{"--info", dir.path("xskill-walk.cfp"), "--animation", dir.path("walk.cmx"), "--frame", "1"}, 2, "--info on a .cfp takes --animation only"},
      {{"--lossy", "-0.5", dir.path("a.glb"), dir.path("s.cmx")}, 2, "--lossy needs a tolerance from 0 to 1, not \"-0.5\""},
      {{"--info", dir.path("xskill-walk.cfp")}, 2, "needs --animation"},
      {{dir.path("suit.bcf"), dir.path("x.skn")}, 2, "a character file converts to another"},
      {{"--info", dir.path("all.cmx"), "--animation", dir.path("walk.cmx")}, 2, "--info on a character file takes --game only"},
      {{"--info", dir.path("xskill-walk.cfp"), "--animation", dir.path("walk.cmx"), "--skeleton", dir.path("adult-skeleton.cmx")},
       2, "--info on a .cfp takes --animation only"},
  };
  for (const auto& f : failures) {
    const Ran run = Convert(f.args);
    EXPECT_EQ(run.status, f.status) << f.err;
    EXPECT_NE(run.err.find(f.err), std::string::npos) << run.err;
  }
  TempDir bare;
  test::WriteFile(bare.path("mesh-a.skn"), kTwoBoneSkn);
  const Ran no_skeleton = Convert({"--pose", bare.path("mesh-a.skn"), bare.path("o.obj")});
  EXPECT_EQ(no_skeleton.status, 1);
  EXPECT_NE(no_skeleton.err.find("mesh-a.skn: no adult-skeleton.cmx or adult-skeleton.cmx.bcf is beside it"), std::string::npos) << no_skeleton.err;
  // A game folder lends the skeleton from inside one of its archives.
  TempDir game;
  const std::string skeleton_text = CmxText(skeleton);
  const std::string bitmap = Bmp8Bytes({1, 1, {{9, 8, 7}}, {0}});
  const FarFile members[] = {{"Skeletons/Adult-Skeleton.cmx", skeleton_text}, {"Skins/tex.bmp", bitmap}};
  std::filesystem::create_directories(game.root() / "GameData");
  test::WriteFile(game.path("GameData/skeletons.far"), FarBytes(members));
  const Ran from_game = Convert({"--pose", "--game", game.root().string(), bare.path("mesh-a.skn"), bare.path("o.obj")});
  EXPECT_EQ(from_game.status, 0) << from_game.err;
  // ...and the bitmap, copied beside the .obj: no modeller reads inside an archive.
  EXPECT_NE(test::ReadFile(bare.path("o.mtl")).find("map_Kd tex.bmp\n"), std::string::npos);
  EXPECT_EQ(test::ReadFile(bare.path("tex.bmp")), bitmap);
  // A child's mesh stands on the child skeleton beside it.
  CharacterFile kid = skeleton;
  kid.skeletons.front().name = "kid";
  test::WriteFile(dir.path("child-skeleton.cmx"), CmxText(kid));
  std::vector<std::string> kid_lines = test::SplitCrLf(kTwoBoneSkn);
  kid_lines[0] = "xskin-b001ucchd_kid-ROOT-BODY";
  test::WriteFile(dir.path("kid.skn"), test::CrLf(kid_lines));
  const Ran child = Convert({"--pose", dir.path("kid.skn"), dir.path("kid.obj")});
  EXPECT_NE(child.out.find("on skeleton kid"), std::string::npos) << child.out << child.err;
  const Ran glb_from_game = Convert({"--game", game.root().string(), bare.path("mesh-a.skn"), bare.path("o.glb")});
  EXPECT_EQ(glb_from_game.status, 0) << glb_from_game.err;
  EXPECT_NE(glb_from_game.out.find("on the skeleton of Adult-Skeleton.cmx"), std::string::npos) << glb_from_game.out;
  // --game is honoured where files are looked up and refused where it means nothing; a
  // folder that is none is named.
  TempDir empty;
  const std::string mesh = bare.path("mesh-a.skn"), g = game.root().string();
  const struct {
    std::vector<std::string> args;
    const char* err;
  } games[] = {
      {{"--game", empty.root().string(), "--pose", mesh, bare.path("o.obj")}, "the folder holds no .far archive"},
      {{"--game", bare.path("nowhere"), mesh, bare.path("o.glb")}, "nowhere\": there is no such folder"},
      {{"--game", g, mesh, bare.path("o.bmf")}, "--game goes with the commands that look files up"},
      {{"--game", g, "--to", "bmf", mesh}, "--game goes with the commands that look files up"},
      {{"--game", g, "--info", dir.path("xskill-walk.cfp"), "--animation", dir.path("walk.cmx")}, "--info on a .cfp takes --animation only"},
      {{"--game", g, dir.path("suit.bcf"), bare.path("s.cmx")}, "takes no --skeleton, --animation, --frame or --game"},
  };
  for (const auto& c : games) {
    const Ran run = Convert(c.args);
    EXPECT_EQ(run.status, 2) << c.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(bare.path("o.bmf")));
  }
}

// A .cfp belongs to the skill that names it, wherever that skill stands in
// its file.
TEST(CharacterCommands, FramesInfoTakesTheSkillThatNamesTheFrames) {
  TempDir dir;
  CharacterFile skills = SmallCharacter();
  skills.skeletons.clear();
  skills.suits.clear();
  std::swap(skills.skills[0], skills.skills[1]);  // "still" first
  skills.skills[0].frames_name = "xskill-still";
  test::WriteFile(dir.path("both.cmx"), CmxText(skills));
  test::WriteFile(dir.path("xskill-walk.cfp"), CfpBytes(SmallFrames()));
  const struct {
    std::string animation;
    int status;
    const char* text;
  } cases[] = {
      {dir.path("both.cmx"), 0, "frames of skill walk: "},
      {dir.path("both.cmx") + ":walk", 0, "frames of skill walk: "},
      {dir.path("both.cmx") + ":nothing", 1, "both.cmx: it holds no skill nothing"},
  };
  for (const auto& c : cases) {
    const Ran run = Convert({"--info", dir.path("xskill-walk.cfp"), "--animation", c.animation});
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE((run.out + run.err).find(c.text), std::string::npos) << run.out << run.err;
  }
  test::WriteFile(dir.path("other.cfp"), CfpBytes(SmallFrames()));
  const Ran none = Convert({"--info", dir.path("other.cfp"), "--animation", dir.path("both.cmx")});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("none of its skills has its frames in other.cfp"), std::string::npos) << none.err;
}

}  // namespace
}  // namespace mervane
