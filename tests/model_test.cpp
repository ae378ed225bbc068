#include <gtest/gtest.h>

#include <cstring>

#include "model/failure.h"
#include "model/model.h"
#include "model/skeleton.h"
#include "model/world.h"
#include "support.h"

namespace mervane {
namespace {

TEST(LineTable, OutsideTheTableIsError9AndUnwrittenEntriesAreEmpty) {
  LineTable table(kLineSlots);
  EXPECT_EQ(table.at(0), "");
  EXPECT_EQ(table.at(32000), "");
  table.set(32000, "top");
  EXPECT_EQ(table.at(32000), "top");
  EXPECT_EQ(table.at(31999), "");
  for (int index : {-1, 32001, 1 << 30}) {
    try {
      table.set(index, "x");
      ADD_FAILURE() << index;
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), err::kIndexOutOfRange);
    }
  }
  EXPECT_THROW(LineTable(kBoneSlots).at(101), Failure);
  for (int bone : {-1, kBoneSlots}) EXPECT_THROW(CheckBoneIndex(bone), Failure) << bone;
  EXPECT_NO_THROW(CheckBoneIndex(kBoneSlots - 1));
}

// A line copied from another entry of the same table, longer than the entry
// it replaces, even when the copy makes the table's text move.
TEST(LineTable, TakesALineThatIsAViewOfItself) {
  for (const std::size_t length : {std::size_t{3}, std::size_t{300}}) {
    LineTable table(4);
    const std::string line(length, 'v');
    table.set(0, "x");
    table.set(1, line);
    table.set(0, table.at(1));
    EXPECT_EQ(table.at(0), line);
    EXPECT_EQ(table.at(1), line);
  }
}

// Vertex ranges of a binding line, and the ones that fall outside the table.
TEST(ParseBindingLine, ReadsTheRangeAndRefusesOneOutsideTheTable) {
  const struct {
    const char* line;
    int first, count;  // count -1: refused with error 9
  } cases[] = {
      {"0 8 4 -1 0", 8, 4},      {"0 8 0 -1 0", 0, 0},  {"0 8 -2 -1 0", 0, 0},
      {"0 -1 3 -1 0", 0, -1},    {"0 31998 3 -1 0", 31998, 3}, {"0 31999 3 -1 0", 0, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    try {
      const BoneRange range = ParseBindingLine(c.line);
      EXPECT_EQ(range.first, c.first);
      EXPECT_EQ(range.count, c.count);
    } catch (const Failure& failure) {
      EXPECT_EQ(c.count, -1);
      EXPECT_EQ(failure.number(), err::kIndexOutOfRange);
    }
  }
}

// The preview's mesh: a face is drawn only when it names three vertices
// that a bone places; the rest are left out, not drawn to vertex 0.
TEST(BuildWorldMesh, DrawsOnlyFacesWhoseCornersArePlaced) {
  SkinModel model;
  model.BoneCount = 2;
  model.BoneNames.set(0, "PELVIS");
  model.BindingLines.set(0, "0 0 3 -1 0");  // vertex 3 belongs to no bone
  model.BoneNames.set(1, "HEAD");
  model.BindingLines.set(1, "1 4 2 -1 0");  // past the vertex count: not placed
  model.VertexCount = 4;
  for (int i = 0; i < 6; ++i) {
    model.VertexLines.set(i, "1 2 3");
    model.NormalLines.set(i, "0 0 1");
  }
  model.TexVertexCount = 6;  // more than the vertices: the extra ones are not read
  for (int i = 0; i < 6; ++i) model.TexVertexLines.set(i, "0.5 0.25");
  model.TexVertexLines.set(1, "0.5");  // one number: no texture vertex, not (0.5, 1)
  const char* faces[] = {"0 1 2", "0 1", "0 1 3", "0 1 4", "-1 0 1", "2 1 0"};
  model.FaceCount = static_cast<std::int16_t>(std::size(faces));
  for (int i = 0; i < model.FaceCount; ++i) model.FaceLines.set(i, faces[i]);

  const WorldMesh mesh = BuildWorldMesh(model);
  EXPECT_EQ(mesh.positions.size(), 4u);
  EXPECT_EQ(mesh.placed, (std::vector<bool>{true, true, true, false}));
  EXPECT_EQ(mesh.triangles, (std::vector<std::array<int, 3>>{{0, 1, 2}, {2, 1, 0}}));
  EXPECT_EQ(mesh.faces, (std::vector<int>{0, 5}));
  EXPECT_EQ(mesh.uvs[3], (std::array<float, 2>{0.5f, 0.75f}));
  EXPECT_EQ(mesh.uvs[1], (std::array<float, 2>{0.0f, 0.0f}));
}

TEST(ResetModel, EmptiesTheModelButKeepsFlagsAndTopSlots) {
  SkinModel model;
  model.MeshName = "m";
  model.TextureName = "t";
  model.BoneCount = model.FaceCount = model.VertexCount = 3;
  model.NormalCount = model.TexVertexCount = model.BlendCount = 2;
  model.BoneNames.set(0, "PELVIS");
  model.BoneNames.set(100, "top bone");
  model.VertexLines.set(5, "1 2 3");
  model.VertexLines.set(32000, "top line");
  model.BoneOffsetX[0] = 1;
  model.BoneOffsetY[100] = 7;
  model.ModelLoaded = true;
  model.SaveAsProjectFirst = true;
  model.CommandFile = "body.skn";

  ResetModel(model);

  EXPECT_TRUE(test::IsEmptyModel(model));
  EXPECT_TRUE(model.ModelLoaded);
  EXPECT_TRUE(model.SaveAsProjectFirst);
  EXPECT_EQ(model.CommandFile, "body.skn");
  EXPECT_EQ(model.BoneNames.at(100), "top bone");
  EXPECT_EQ(model.VertexLines.at(32000), "top line");
  EXPECT_EQ(model.BoneOffsetY[100], 7);
}

// The world offsets, each the shortest decimal of the exact double.
struct WorldRow {
  const char* bone;
  double x, y, z;
};
constexpr WorldRow kWorld[] = {
    {"PELVIS", -0.0366778, -1.72489e-08, -2.62766e-12},
    {"SPINE", 0.34438820000000003, 5.117991e-07, -0.00033476300262766005},
    {"SPINE1", 0.7654472000000001, 5.10871145e-07, -0.00067004300262766},
    {"SPINE2", 1.1865062000000002, 5.09937793e-07, -0.00100532000262766},
    {"NECK", 1.6076032000000002, 5.09058624e-07, -0.0013204250026276599},
    {"HEAD", 2.0062182, 5.090576015e-07, -0.0013204368602276599},
    {"R_LEG", -0.036677555368000006, -0.2412280172489, -4.6249362766e-07},
    {"R_LEG1", 1.410692444632, -0.2412280068814, -4.5445736766e-07},
    {"R_FOOT", 2.726482444632, -0.2412279956259, -4.6057485766e-07},
    {"R_TOE0", 2.980321444632, -0.24122800035416, 0.33998653942514234},
    {"L_LEG", -0.036678226205000004, 0.2412279827511, 2.0608637234e-07},
    {"L_LEG1", 1.410691773795, 0.241227982410879, 2.0243141233999998e-07},
    {"L_FOOT", 2.7264817737950002, 0.241227983083098, 2.0428228234e-07},
    {"L_TOE0", 2.9803207737950004, 0.241227978260168, 0.3399872042822823},
    {"R_ARM", 0.130263509058624, 1.6076036574710002, -0.0016381740026276599},
    {"R_ARM1", 0.506579509058624, 1.6076037097727003, -0.0016381721458776598},
    {"R_ARM2", 1.3881155090586241, 1.6076036933734004, -0.0016381670269276598},
    {"R_HAND", 2.208589509058624, 1.6076036445799005, -0.0016381703692276597},
    {"L_ARM", 0.130263509058624, 1.6076036565520002, -0.0010033980026276598},
    {"L_ARM1", 0.506579509058624, 1.6076036016067001, -0.0010033963945376599},
    {"L_ARM2", 1.3881155090586241, 1.6076036279598, -0.0010033871917176599},
    {"L_HAND", 2.190187509058624, 1.60760363650481, -0.00100340323291766},
};

TEST(Skeleton, WorldOffsetsAreExactlyTheKnownDoubles) {
  ASSERT_EQ(std::size(kWorld), static_cast<std::size_t>(kSkeletonBones));
  for (const WorldRow& row : kWorld) {
    const auto offset = SkeletonOffset(row.bone);
    ASSERT_TRUE(offset) << row.bone;
    // Bit for bit, not within a tolerance.
    EXPECT_EQ(offset->x, row.x) << row.bone;
    EXPECT_EQ(offset->y, row.y) << row.bone;
    EXPECT_EQ(offset->z, row.z) << row.bone;
  }
}

TEST(Skeleton, BuildSkeletonMatchesNamesWithoutRegardToCaseButNotBlanks) {
  SkinModel model;
  const char* names[] = {"ROOT", "PELVIS", "spine", "l_hand", " L_HAND", "L_Hand", "PELVIS"};
  model.BoneCount = static_cast<std::int16_t>(std::size(names));
  for (int i = 0; i < model.BoneCount; ++i) model.BoneNames.set(i, names[i]);
  model.BoneOffsetX[4] = 42;  // unknown names keep what they had
  BuildSkeleton(model);

  EXPECT_EQ(model.BoneOffsetX[0], 0);
  EXPECT_EQ(model.BoneOffsetX[1], -0.0366778);
  EXPECT_EQ(model.BoneOffsetY[1], -1.72489e-08);
  EXPECT_EQ(model.BoneOffsetZ[1], -2.62766e-12);
  EXPECT_EQ(model.BoneOffsetX[2], 0.34438820000000003);
  EXPECT_EQ(model.BoneOffsetZ[2], -0.00033476300262766005);
  EXPECT_EQ(model.BoneOffsetX[3], 2.190187509058624);
  EXPECT_EQ(model.BoneOffsetX[4], 42);
  EXPECT_EQ(model.BoneOffsetY[4], 0);
  EXPECT_EQ(model.BoneOffsetX[5], 2.190187509058624);
  EXPECT_EQ(model.BoneOffsetX[6], -0.0366778);  // a second bone of the same name too

  SkinModel before = model;
  BuildSkeleton(model);  // the same values again
  EXPECT_EQ(model.BoneOffsetX, before.BoneOffsetX);
}

TEST(Skeleton, ArmsHangFromTheNeckWithXAndYExchanged) {
  const Vec3 neck = *SkeletonOffset("NECK");
  const Vec3 arm = *SkeletonOffset("R_ARM");
  EXPECT_EQ(arm.x, neck.y + 0.130263);
  EXPECT_EQ(arm.y, neck.x + 4.57471e-07);
}

TEST(Skeleton, NoBonesChangesNothingAndTooManyBonesIsError9) {
  SkinModel model;
  model.BoneOffsetX[0] = 5;
  BuildSkeleton(model);
  EXPECT_EQ(model.BoneOffsetX[0], 5);

  model.BoneCount = 102;
  try {
    BuildSkeleton(model);
    ADD_FAILURE();
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), err::kIndexOutOfRange);
  }
}

}  // namespace
}  // namespace mervane
