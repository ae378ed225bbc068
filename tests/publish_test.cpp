// Publishing outfits into the game's Skins folder, and checking a folder as
// the game reads it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "archive/far.h"
#include "bitmap/bitmap.h"
#include "bmf/bmf.h"
#include "character/character.h"
#include "character/naming.h"
#include "frames/cfp.h"
#include "convert_support.h"
#include "publish/check.h"
#include "publish/publish.h"
#include "skn/skn.h"
#include "support.h"

namespace mervane {
namespace {

namespace fs = std::filesystem;
using test::Convert;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// A 24-bit BMP of a gradient, as a paint program saves one: the game
// cannot show it, publishing makes it 8-bit.
std::string Bmp24(int width, int height) {
  const int row = (width * 3 + 3) & ~3;
  std::string bytes(54 + static_cast<std::size_t>(row * height), '\0');
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) bytes[at + static_cast<std::size_t>(k)] = static_cast<char>(v >> (8 * k));
  };
  bytes[0] = 'B', bytes[1] = 'M';
  put32(2, static_cast<std::uint32_t>(bytes.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  bytes[26] = 1, bytes[28] = 24;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::size_t at = 54 + static_cast<std::size_t>(y * row + x * 3);
      bytes[at] = static_cast<char>(x * 255 / std::max(1, width - 1));
      bytes[at + 1] = static_cast<char>(y * 255 / std::max(1, height - 1));
      bytes[at + 2] = static_cast<char>((x + y) % 7 * 30);
    }
  return bytes;
}

SkinModel Mesh(std::string name, const std::vector<std::string>& bones) {
  SkinModel model = ParseSkn(test::MakeSkn({bones, std::vector<int>(bones.size(), 3), 0, 7}), "in.skn");
  model.MeshName = std::move(name);
  return model;
}

TEST(OutfitNaming, NamesFollowTheGame) {
  struct Row {
    const char* name;
    const char* prefix;
    const char* suit;
    const char* mesh;
    const char* key;
  };
  const Row rows[] = {
      {"xskin-b006fafat_01-PELVIS-BODY", "B006FAFat", "B006FAFat_01", "xskin-b006fafat_01-PELVIS-BODY", "b006fafat"},
      {"C001MA_Ross.cmx", "C001MA", "C001MA_ross", "xskin-c001ma_ross-HEAD-HEAD", "c001ma"},
      {"C001MAlgt_Ross.bmp", "C001MA", "C001MA_ross", "xskin-c001ma_ross-HEAD-HEAD", "c001ma"},
      {"B003FASkn_02.cmx", "B003FASkn", "B003FASkn_02", "xskin-b003faskn_02-PELVIS-BODY", "b003faskn"},
      // A child's body: the suit is unisex, its bitmaps carry the gender.
      {"B100FCChdmed_Kid.bmp", "B100FCChd", "B100UCChd_kid", "xskin-b100ucchd_kid-PELVIS-BODY", "b100ucchd"},
      {"B100UCChd_Kid.cmx.bcf", "B100UCChd", "B100UCChd_kid", "xskin-b100ucchd_kid-PELVIS-BODY", "b100ucchd"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto outfit = ParseOutfitName(row.name);
    ASSERT_TRUE(outfit);
    EXPECT_EQ(OutfitPrefix(*outfit), row.prefix);
    EXPECT_EQ(SuitStem(*outfit), row.suit);
    EXPECT_EQ(SuitMeshName(*outfit), row.mesh);
    EXPECT_EQ(PairingKey(row.name), row.key);
  }
  // Hands pair by gender and pose, either side; other names by nothing.
  for (const auto& [hand, key] : {std::pair{"HMLOlgt.bmp", "hmao"}, {"HMRO.cmx", "hmao"}, {"HULOlgt.bmp", "huao"},
                                   {"HFRC.cmx", "hfac"}, {"HMRPdrk.bmp", "hmap"}})
    EXPECT_EQ(PairingKey(hand), key) << hand;
  // Each part of a name is checked: kind, ID, gender, age, and a body's build (a head has none).
  for (const char* other : {"adult-skeleton.cmx", "B002MAKid_01.cmx", "B002MCFit_01.cmx", "xskill-a2o.cfp", "D002MAFit_01.cmx",
                            "B0-2MAFit_01.cmx", "B002XAFit_01.cmx", "B002MXFit_01.cmx", "B002MAFi_01.cmx", "C001MAFit_01.cmx",
                            "B02MA.cmx", "C001MAlgt.bmp"}) {
    EXPECT_FALSE(ParseOutfitName(other)) << other;
    EXPECT_EQ(PairingKey(other), "") << other;
  }
  // A mesh unnamed is a head when its one bone is the head, in any capitals.
  for (const auto& [bones, kind] : {std::pair<std::vector<std::string>, char>{{"HEAD"}, 'c'}, {{"head"}, 'c'},
                                    {{"PELVIS"}, 'b'}, {{"HEAD", "NECK"}, 'b'}})
    EXPECT_EQ(OutfitKindOf(Mesh("m", bones)), kind) << bones.size() << " " << bones[0];
}

TEST(Publish, TheLowestFreeIdFromOneHundredOfTheFamily) {
  OutfitName body{'b', "", 'm', 'a', "fit", "x"};
  OutfitName child{'b', "", 'f', 'c', "chd", "x"};
  OutfitName head{'c', "", 'm', 'a', "", "x"};
  struct Row {
    const OutfitName* outfit;
    std::vector<std::string> names;
    const char* id;
  };
  const Row rows[] = {
      {&body, {}, "100"},
      {&body, {"B100MAFit_A.cmx", "B101MAFitlgt_B.bmp", "B102FAFit_C.cmx", "B102MAFat_C.cmx", "c102ma_d.cmx"}, "102"},
      {&body, {"b100mafit_a.CMX", "B099MAFit_z.cmx"}, "101"},
      // An ID of letters is no number to follow.
      {&body, {"B100MAFit_A.cmx", "BZZZMAFit_B.cmx"}, "101"},
      // A boy's bitmap takes the ID from a girl's body too: one unisex suit.
      {&child, {"B100MCChdlgt_Kid.bmp", "B101UCChd_Other.cmx"}, "102"},
      // A child's head is no adult's; a name without an extension counts too.
      {&head, {"C100MC_Kid.cmx", "C101MA_Bob"}, "100"},
      {&head, {"C100MA_Bob"}, "101"},
  };
  for (const Row& row : rows) EXPECT_EQ(FreeOutfitId(*row.outfit, row.names), row.id);
  // The last ID is offered; past it, the ID must be chosen.
  std::vector<std::string> taken;
  for (int n = 100; n < 999; ++n) taken.push_back("B" + std::to_string(n) + "MAFit_x.cmx");
  EXPECT_EQ(FreeOutfitId(body, taken), "999");
  taken.push_back("B999MAFit_x.cmx");
  EXPECT_THROW(FreeOutfitId(body, taken), Failure);
}

// A folder to publish into, and the images to publish.
struct PublishFixture : ::testing::Test {
  TempDir dir;
  std::string skins = dir.path("Skins");
  std::string light = dir.path("light.bmp");
  std::string dark = dir.path("dark.bmp");
  void SetUp() override {
    fs::create_directories(skins);
    WriteFile(light, Bmp24(256, 256));
    WriteFile(dark, Bmp24(100, 60));
  }
  PublishRequest Body() const {
    PublishRequest request;
    request.mesh = Mesh("body", {"PELVIS", "SPINE", "L_LEG"});
    request.texture = "Denim";
    request.images = {light, "", dark};
    request.gender = 'f';
    request.age = 'a';
    request.build = "fat";
    request.folder = skins;
    return request;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(skins)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(PublishFixture, ABodyIsWrittenAsTheGameNamesAndReadsIt) {
  const PublishResult result = PublishOutfit(Body());
  EXPECT_EQ(result.suit, "B100FAFat_Denim");
  const std::vector<std::string> expected{"B100FAFat_Denim.cmx",     "B100FAFatdrk_Denim.bmp",
                                          "B100FAFatlgt_Denim.bmp",  "B100FAFatmed_Denim.bmp",
                                          "xskin-b100fafat_denim-PELVIS-BODY.skn"};
  EXPECT_EQ(Names(), expected);
  EXPECT_EQ(ReadFile(skins + "/B100FAFat_Denim.cmx"),
            test::CrLf({"// Character File. Copyright 1997, Maxis Inc.", "version 300", "0", "1", "b100fafat_denim",
                        "0", "0", "1", "PELVIS", "xskin-b100fafat_denim-PELVIS-BODY", "0", "0", "0"}));
  // The mesh: the source line for line, but its name and bitmap lines.
  const std::vector<std::string> source = test::SplitCrLf(SknText(*Body().mesh));
  const std::vector<std::string> published = test::SplitCrLf(ReadFile(skins + "/xskin-b100fafat_denim-PELVIS-BODY.skn"));
  ASSERT_EQ(published.size(), source.size());
  EXPECT_EQ(published[0], "xskin-b100fafat_denim-PELVIS-BODY");
  EXPECT_EQ(published[1], "b100fafatlgt_denim");
  EXPECT_TRUE(std::equal(source.begin() + 2, source.end(), published.begin() + 2));
  // Bitmaps: 8-bit, square; the medium tone is the light image, the odd-sized dark one is scaled.
  for (const char* tone : {"lgt", "med", "drk"}) {
    const auto info = ReadBmpInfo(ReadFile(skins + "/B100FAFat" + tone + "_Denim.bmp"));
    ASSERT_TRUE(info);
    EXPECT_EQ(std::make_tuple(info->bits, info->compression, info->width, info->height), std::make_tuple(8, 0, 256, 256));
  }
  EXPECT_EQ(ReadFile(skins + "/B100FAFatmed_Denim.bmp"), ReadFile(skins + "/B100FAFatlgt_Denim.bmp"));
  ASSERT_EQ(result.notes.size(), 2u);
  EXPECT_NE(result.notes[0].find("medium tone takes the light image"), std::string::npos);
  EXPECT_NE(result.notes[1].find("dark.bmp is 100 x 60: scaled to 256 x 256"), std::string::npos);
  const CheckReport report = CheckSkins(std::vector<std::string>{skins}, nullptr);
  EXPECT_TRUE(report.findings.empty()) << FindingLine(report.findings.front());
  EXPECT_EQ(report.files, 5u);
  // The next outfit of the family takes the next ID.
  PublishRequest next = Body();
  next.texture = "Silk";
  EXPECT_EQ(PublishOutfit(next).suit, "B101FAFat_Silk");
}

TEST_F(PublishFixture, AChildBodyIsUnisexWithBitmapsOfBothGendersAndAHeadIsNamedByItsMesh) {
  PublishRequest child = Body();
  child.mesh->MeshName = "xskin-b003ucchd_01-PELVIS-BODY";
  child.gender.reset(), child.age.reset(), child.build.reset();
  const PublishResult kid = PublishOutfit(child);
  EXPECT_EQ(kid.suit, "B100UCChd_Denim");
  EXPECT_EQ(kid.notes.size(), 2u) << "each note once, though each gender has its bitmaps";
  for (const char* name : {"B100UCChd_Denim.cmx", "B100FCChdlgt_Denim.bmp", "B100MCChddrk_Denim.bmp"})
    EXPECT_TRUE(fs::exists(skins + "/" + name)) << name;

  PublishRequest head = Body();
  head.mesh = Mesh("face", {"HEAD"});
  head.gender = 'm', head.age = 'a', head.build.reset();
  head.mesh_name = "Bob";
  const PublishResult result = PublishOutfit(head);
  EXPECT_EQ(result.suit, "C100MA_Bob");
  EXPECT_EQ(ReadBmpInfo(ReadFile(skins + "/C100MAlgt_Denim.bmp"))->width, 256);  // a power of two is kept
  EXPECT_EQ(ReadBmpInfo(ReadFile(skins + "/C100MAdrk_Denim.bmp"))->width, 128);  // scaled to a head's size
  // A kind chosen wins over the mesh's bones.
  PublishRequest as_head = Body();
  as_head.kind = 'c', as_head.build.reset();
  EXPECT_EQ(SuitStem(PlanOutfit(as_head)), "C100FA_Denim");
  // A child's build, no age given, tells a child.
  PublishRequest by_build = Body();
  by_build.age.reset(), by_build.build = "Chd";
  EXPECT_EQ(SuitStem(PlanOutfit(by_build)).substr(4), "UCChd_Denim");
  EXPECT_TRUE(CheckSkins(result.written, nullptr).findings.empty());
}

TEST_F(PublishFixture, RefusalsWriteNothing) {
  WriteFile(skins + "/B100FAFat_Old.cmx", "old");
  WriteFile(skins + "/B105FAFatlgt_Denim.bmp", "old");
  WriteFile(dir.path("garbage.png"), "not an image");
  struct Row {
    const char* why;
    std::function<void(PublishRequest&)> change;
    const char* message;
  };
  const Row rows[] = {
      {"a texture name with a dash", [](PublishRequest& r) { r.texture = "my-skin"; }, "letters, digits and _"},
      {"no texture name", [](PublishRequest& r) { r.texture = ""; }, "letters, digits and _"},
      {"a two-character ID", [](PublishRequest& r) { r.id = "10"; }, "three letters or digits"},
      {"an ID with a dash", [](PublishRequest& r) { r.id = "1-0"; }, "three letters or digits"},
      {"no light image, though a medium one", [](PublishRequest& r) { r.images[0].clear(), r.images[1] = r.images[2]; },
       "the light tone's image is needed"},
      {"an ID taken", [](PublishRequest& r) { r.id = "100"; }, "ID 100 is taken on B100FAFat by"},
      {"an ID whose bitmap of this texture is there, without its suit", [](PublishRequest& r) { r.id = "105"; },
       "ID 105 is taken on B105FAFat by"},
      {"a four-character ID", [](PublishRequest& r) { r.id = "1000"; }, "three letters or digits"},
      // A child's suit names no adult build to take.
      {"a child's body made an adult's, without a build",
       [](PublishRequest& r) { r.mesh->MeshName = "xskin-b003ucchd_01-PELVIS-BODY", r.age = 'a', r.build.reset(); },
       "--build Fit, Fat or Skn is needed"},
      {"no gender", [](PublishRequest& r) { r.gender.reset(); }, "--gender M, F or U is needed"},
      {"no age, and no build to tell it", [](PublishRequest& r) { r.age.reset(), r.build.reset(); }, "--age A or C is needed"},
      {"an adult body without a build", [](PublishRequest& r) { r.build.reset(); }, "--build Fit, Fat or Skn is needed"},
      {"a retexture of a suit named as none", [](PublishRequest& r) { r.mesh.reset(), r.retexture = "MySuit"; },
       "the suit MySuit is not named as a body's or head's"},
      {"a kind that is none", [](PublishRequest& r) { r.kind = 'x'; }, "the kind must be a body (B) or a head (C)"},
      {"a gender that is none", [](PublishRequest& r) { r.gender = 'x'; }, "the gender must be M, F or U"},
      {"an age that is none, on a head", [](PublishRequest& r) { r.mesh = Mesh("face", {"HEAD"}), r.age = 'x', r.build.reset(); },
       "the age must be A or C"},
      {"a head given a build", [](PublishRequest& r) { r.mesh = Mesh("xskin-c005fa_bo-HEAD-HEAD", {"HEAD"}); },
       "a head has no build"},
      {"a child's build on an adult", [](PublishRequest& r) { r.build = "chd", r.age = 'a'; }, "not one of an adult's"},
      {"an adult's build on a child", [](PublishRequest& r) { r.build = "fit", r.age = 'c'; }, "not one of a child's (Chd)"},
      // A head's name tells no build for a body.
      {"a head's mesh made a body, without a build",
       [](PublishRequest& r) { r.mesh = Mesh("xskin-c005fa_bo-HEAD-HEAD", {"PELVIS"}), r.kind = 'b', r.build.reset(); },
       "--build Fit, Fat or Skn is needed"},
      {"an image that is none", [&](PublishRequest& r) { r.images[2] = dir.path("garbage.png"); }, "garbage.png"},
      {"an image that is missing", [&](PublishRequest& r) { r.images[1] = dir.path("none.png"); }, "none.png"},
      {"a bone the skeleton lacks", [](PublishRequest& r) { r.mesh = Mesh("body", {"PELVIS", "TAIL"}); }, "bone TAIL"},
      {"a bone the child skeleton lacks",
       [](PublishRequest& r) { r.mesh = Mesh("body", {"PELVIS", "TAIL"}), r.age = 'c', r.build.reset(); },
       "bone TAIL is not a bone of the child skeleton"},
  };
  const std::vector<std::string> before = Names();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    PublishRequest request = Body();
    row.change(request);
    try {
      PublishOutfit(request);
      ADD_FAILURE() << "published";
    } catch (const Failure& failure) {
      EXPECT_NE(failure.detail().find(row.message), std::string::npos) << failure.detail();
    }
    EXPECT_EQ(Names(), before);
  }
}

// What the rules let through at their limits, and the image sizes kept or scaled.
TEST_F(PublishFixture, WhatTheRulesAllowAtTheirLimits) {
  const std::string small = dir.path("64.bmp"), large = dir.path("512.bmp"), huge = dir.path("1024.bmp"),
                    tall = dir.path("256x512.bmp"), odd = dir.path("100.bmp");
  WriteFile(small, Bmp24(64, 64));
  WriteFile(large, Bmp24(512, 512));
  WriteFile(huge, Bmp24(1024, 1024));
  WriteFile(tall, Bmp24(256, 512));
  WriteFile(odd, Bmp24(100, 100));
  struct Row {
    const char* why;
    std::function<void(PublishRequest&)> change;
    const char* suit;
    int side;  // of the light bitmap written
  };
  const Row rows[] = {
      {"an underscore in the texture", [](PublishRequest& r) { r.texture = "Blue_Jeans"; }, "B100FAFat_Blue_Jeans", 256},
      {"an ID of letters and digits", [](PublishRequest& r) { r.id = "a1B"; }, "BA1BFAFat_Denim", 256},
      {"the smallest side kept", [&](PublishRequest& r) { r.images[0] = small; }, "B100FAFat_Denim", 64},
      {"the largest side kept", [&](PublishRequest& r) { r.images[0] = large; }, "B100FAFat_Denim", 512},
      {"a side past it, scaled", [&](PublishRequest& r) { r.images[0] = huge; }, "B100FAFat_Denim", 256},
      {"sides of powers of two but not square, scaled", [&](PublishRequest& r) { r.images[0] = tall; }, "B100FAFat_Denim", 256},
      {"a square side not a power of two, scaled", [&](PublishRequest& r) { r.images[0] = odd; }, "B100FAFat_Denim", 256},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    fs::remove_all(skins);
    PublishRequest request = Body();
    row.change(request);
    ASSERT_EQ(PublishOutfit(request).suit, row.suit);
    const std::string suit = row.suit, prefix = suit.substr(0, suit.find('_'));
    const auto info = ReadBmpInfo(ReadFile(skins + "/" + prefix + "lgt" + suit.substr(prefix.size()) + ".bmp"));
    ASSERT_TRUE(info);
    EXPECT_EQ(std::make_pair(info->width, info->height), std::make_pair(row.side, row.side));
  }
}

// Each option of --publish reaches what is written: the tones' images, the
// gender, age and build a mesh's name does not tell, a head's own name, and
// --replace for an ID taken.
TEST_F(PublishFixture, EachConverterOptionReachesTheFilesWritten) {
  const std::string medium = dir.path("medium.bmp"), body = dir.path("body.skn"), face = dir.path("face.skn");
  WriteFile(medium, Bmp24(64, 64));
  WriteFile(body, SknText(Mesh("body", {"PELVIS", "SPINE"})));
  WriteFile(face, SknText(Mesh("face", {"HEAD"})));
  const std::vector<std::string> images{"--light", light, "--medium", medium, "--dark", dark, "--out", skins};
  const auto publish = [&](std::vector<std::string> args) {
    args.insert(args.end(), images.begin(), images.end());
    return Convert(args);
  };
  const auto side = [&](const std::string& name) { return ReadBmpInfo(ReadFile(skins + "/" + name))->width; };
  // An adult's build tells the age.
  const auto outfit = publish({"--publish", body, "--texture", "T", "--gender", "F", "--build", "Fat"});
  ASSERT_EQ(outfit.status, 0) << outfit.err;
  EXPECT_TRUE(fs::exists(skins + "/B100FAFat_T.cmx"));
  // Each tone its own image: the medium one small enough to keep its side.
  EXPECT_EQ(std::make_tuple(side("B100FAFatlgt_T.bmp"), side("B100FAFatmed_T.bmp"), side("B100FAFatdrk_T.bmp")),
            std::make_tuple(256, 64, 256));
  EXPECT_NE(ReadFile(skins + "/B100FAFatdrk_T.bmp"), ReadFile(skins + "/B100FAFatlgt_T.bmp"));
  const auto head = publish({"--publish", face, "--texture", "T", "--mesh-name", "Bob", "--gender", "M", "--age", "A"});
  ASSERT_EQ(head.status, 0) << head.err;
  EXPECT_TRUE(fs::exists(skins + "/C100MA_Bob.cmx"));
  // An ID taken is refused, or with --replace replaced.
  const std::vector<std::string> again{"--publish", body, "--texture", "U", "--gender", "F", "--age", "A", "--build", "Fat", "--id", "100"};
  EXPECT_EQ(publish(again).status, 1);
  std::vector<std::string> replacing = again;
  replacing.push_back("--replace");
  ASSERT_EQ(publish(replacing).status, 0);
  EXPECT_TRUE(fs::exists(skins + "/B100FAFat_U.cmx"));
  EXPECT_FALSE(fs::exists(skins + "/B100FAFat_T.cmx"));
}

TEST_F(PublishFixture, ClashesWithTheGameAndReplacingASet) {
  // The game holds B100FAFat in an archive and a loose B101: the first free is B102.
  const std::string game = dir.path("game");
  fs::create_directories(game + "/GameData/Skins");
  const std::string suit = "x";
  const FarFile members[] = {{"B100FAFat_Game.cmx", suit}, {"B102FAFatlgt_Denim.bmp", suit}};
  WriteFile(game + "/GameData/Skins.far", FarBytes(members));
  WriteFile(game + "/GameData/Skins/B101FAFat_Loose.cmx", suit);
  const GameIndex index(game);
  PublishRequest request = Body();
  request.game = &index;
  EXPECT_EQ(PlanOutfit(request).id, "103");
  // A name that would hide an archive member is refused, whatever --replace says.
  // So is one on the ID of a loose file outside the target folder, which is not ours to replace.
  for (const char* id : {"102", "101"}) {
    request.id = id;
    request.replace = true;
    EXPECT_THROW(PublishOutfit(request), Failure) << id;
  }
  EXPECT_TRUE(Names().empty());
  EXPECT_TRUE(fs::exists(game + "/GameData/Skins/B101FAFat_Loose.cmx"));
  // Into the game's own Skins, --replace may take a loose set's place but never hide an archive member.
  const std::string loose = game + "/GameData/Skins/B100FAFat_Game.cmx";
  WriteFile(loose, suit);
  const GameIndex with_loose(game);
  request = Body();
  request.game = &with_loose, request.folder = game + "/GameData/Skins";
  request.id = "100", request.mesh_name = "Game", request.replace = true;
  EXPECT_THROW(PublishOutfit(request), Failure);
  EXPECT_EQ(ReadFile(loose), suit);
  fs::remove(loose);

  // --replace takes the place of the target folder's own set only.
  request = Body();
  PublishOutfit(request);
  request.mesh_name = "Newer";
  request.id = "100";
  EXPECT_THROW(PublishOutfit(request), Failure);
  request.replace = true;
  const PublishResult result = PublishOutfit(request);
  EXPECT_EQ(result.removed.size(), 2u);  // the old suit and its mesh; the bitmaps are overwritten
  EXPECT_FALSE(fs::exists(skins + "/B100FAFat_Denim.cmx"));
  EXPECT_TRUE(CheckSkins(std::vector<std::string>{skins}, nullptr).findings.empty());
}

// The converter's --publish, on a retexture of a suit that is only in the
// game's archive, and its --check.
TEST_F(PublishFixture, TheConverterPublishesARetextureIntoTheGameAndChecks) {
  const std::string game = dir.path("game");
  fs::create_directories(game + "/GameData/Skins");
  CharacterFile file;
  file.suits.push_back({"b002mafit_01", 0, {}, {{"PELVIS", "xskin-b002mafit_01-PELVIS-BODY", 0, {}}}});
  const std::string cmx = CmxText(file, kGameCmxComment);
  const std::string skn = SknText(Mesh("xskin-b002mafit_01-PELVIS-BODY", {"PELVIS"}));
  // Most of the game's suits are binary: one named by its name is found as .cmx.bcf too.
  CharacterFile binary;
  binary.suits.push_back({"b003mafit_02", 0, {}, {{"PELVIS", "xskin-b003mafit_02-PELVIS-BODY", 0, {}}}});
  const std::string bcf = BcfBytes(binary);
  const std::string skn3 = SknText(Mesh("xskin-b003mafit_02-PELVIS-BODY", {"PELVIS"}));
  const FarFile members[] = {{"B002MAFit_01.cmx", cmx},
                             {"xskin-b002mafit_01-PELVIS-BODY.skn", skn},
                             {"B003MAFit_02.cmx.bcf", bcf},
                             {"xskin-b003mafit_02-PELVIS-BODY.skn", skn3}};
  WriteFile(game + "/GameData/Skins.far", FarBytes(members));
  const auto published = Convert({"--publish", "B002MAFit_01", "--texture", "Plaid", "--light", light, "--game", game});
  ASSERT_EQ(published.status, 0) << published.err;
  EXPECT_NE(published.out.find("suit: b002mafit_01"), std::string::npos) << published.out;
  EXPECT_EQ(published.out.find("error"), std::string::npos) << published.out;
  EXPECT_TRUE(fs::exists(game + "/GameData/Skins/B002MAFitdrk_Plaid.bmp"));
  EXPECT_EQ(Convert({"--publish", "B002MAFit_01", "--texture", "Plaid", "--light", light, "--game", game}).status, 1);

  const auto checked = Convert({"--check", game, "--game", game});
  EXPECT_EQ(checked.status, 0) << checked.out;
  EXPECT_NE(checked.out.find("0 errors, 0 warnings in 3 files"), std::string::npos) << checked.out;
  // Another texture for the same suit is no clash; a suit the game lacks is named.
  EXPECT_EQ(Convert({"--publish", "B002MAFit_01", "--texture", "Stripes", "--light", light, "--game", game}).status, 0);
  const auto unknown = Convert({"--publish", "B009MAFit_99", "--texture", "Plaid", "--light", light, "--game", game});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("the game has no suit B009MAFit_99.cmx"), std::string::npos) << unknown.err;

  const auto from_binary = Convert({"--publish", "B003MAFit_02", "--texture", "Plaid", "--light", light, "--game", game});
  EXPECT_EQ(from_binary.status, 0) << from_binary.err;
  EXPECT_TRUE(fs::exists(game + "/GameData/Skins/B003MAFitlgt_Plaid.bmp"));
  // A mesh file is a new outfit, with the game or without.
  WriteFile(dir.path("new.skn"), SknText(Mesh("xskin-b009mafit_01-PELVIS-BODY", {"PELVIS"})));
  const auto from_mesh = Convert({"--publish", dir.path("new.skn"), "--texture", "New", "--light", light, "--game", game});
  EXPECT_EQ(from_mesh.status, 0) << from_mesh.err;
  EXPECT_TRUE(fs::exists(game + "/GameData/Skins/B100MAFitlgt_New.bmp"));
  ASSERT_EQ(Convert({dir.path("new.skn"), dir.path("new.bmf")}).status, 0);
  const auto from_bmf = Convert({"--publish", dir.path("new.bmf"), "--texture", "Bin", "--light", light, "--game", game});
  EXPECT_EQ(from_bmf.status, 0) << from_bmf.err;
  EXPECT_TRUE(fs::exists(game + "/GameData/Skins/B101MAFitlgt_Bin.bmp"));
  // A glTF without the mesh named, and a file of two suits, are refused.
  ASSERT_EQ(Convert({dir.path("new.skn"), dir.path("new.glb")}).status, 0);
  CharacterFile two = file;
  two.suits.push_back(binary.suits[0]);
  WriteFile(dir.path("two.cmx"), CmxText(two));
  const struct {
    std::string source, mesh, err;
  } refused[] = {{dir.path("new.glb"), "shirt", "new.glb: it holds no mesh shirt"},
                 {dir.path("two.cmx"), "", "two.cmx: a suit file to retexture holds one suit, not 2"}};
  for (const auto& r : refused) {
    std::vector<std::string> args{"--publish", r.source, "--texture", "T", "--light", light, "--out", dir.path("no")};
    if (!r.mesh.empty()) args.insert(args.end(), {"--mesh", r.mesh});
    const auto run = Convert(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(r.err), std::string::npos) << run.err;
  }
  for (const auto& usage : std::vector<std::vector<std::string>>{
           {"--publish", "a.skn", "--texture", "T", "--light", light},
           {"--publish", "a.skn", "--light", light, "--out", skins},
           {"--check", game, "--texture", "T"},
           {"--light", light, "a.skn", "b.bmf"},
           {"--replace", "a.skn", "b.bmf"},
           {"--gender", "F", "a.skn", "b.bmf"},
           {"--medium", light, "a.skn", "b.bmf"},
           {"--dark", light, "a.skn", "b.bmf"},
           {"--mesh-name", "Bob", "a.skn", "b.bmf"},
           {"--id", "100", "a.skn", "b.bmf"},
           {"--age", "A", "a.skn", "b.bmf"},
           {"--build", "Fat", "a.skn", "b.bmf"},
           {"--publish", "a.skn", "b.skn", "--texture", "T", "--light", light, "--out", skins},
           {"--check", game, "--publish"},
           {"--publish", "notes.txt", "--texture", "T", "--light", light, "--out", skins},
           {"--publish", dir.path("new.glb"), "--texture", "T", "--light", light, "--out", skins},
           {"--publish", dir.path("new.skn"), "--mesh", "body", "--texture", "T", "--light", light, "--out", skins},
           {"--publish", "a.cmx", "--texture", "T", "--out", skins},
           {"--check"},
           {"--check", game, "--id", "100"},
           {"--check", game, "--game", dir.path("no-game")},
           {"--check", game, "--info"},
           {"--check", game, "--extract"},
           {"--check", game, "--pose"},
           {"--check", game, "--import", "a.obj"},
           {"--check", game, "--attach", "HEAD"},
           {"--check", game, "--name", "hat"},
           {"--check", game, "--animation", "a2o-wave"},
           {"--check", game, "--frame", "1"},
           {"--publish", "a.skn", "--texture", "T", "--light", light, "--out", skins, "--to", "bmf"},
           {"--publish", "a.skn", "--texture", "T", "--light", light, "--out", skins, "--skeleton", "s.cmx"},
           {"--check", game, "--mesh", "body"},
           {"--check", game, "--out", skins},
           {"--publish", "B002MAFit_01", "--texture", "Tartan", "--light", light, "--gender", "Ma", "--game", game},
           // A new texture keeps its suit's prefix: nothing that would change it.
           {"--publish", "B002MAFit_01", "--texture", "Tartan", "--light", light, "--age", "C", "--game", game},
           {"--publish", "B002MAFit_01", "--texture", "Tartan", "--light", light, "--build", "Fat", "--game", game},
           {"--publish", "B002MAFit_01", "--texture", "Tartan", "--light", light, "--id", "123", "--game", game},
           {"--publish", "B002MAFit_01", "--texture", "Tartan", "--light", light, "--mesh-name", "Bob", "--game", game}})
    EXPECT_EQ(Convert(usage).status, 2) << usage[0] << " " << usage.back();
  EXPECT_FALSE(fs::exists(game + "/GameData/Skins/B002MAFitlgt_Tartan.bmp"));
  // A loose suit hiding the game's own is named.
  WriteFile(game + "/GameData/Skins/B002MAFit_01.cmx", cmx);
  const auto hiding = Convert({"--check", game, "--game", game});
  EXPECT_NE(hiding.out.find("B002MAFit_01.cmx: warning: it replaces the game's own B002MAFit_01.cmx in Skins.far"),
            std::string::npos) << hiding.out;
  EXPECT_EQ(hiding.status, 0) << "a warning only";
  // An error is what a script stops on.
  WriteFile(game + "/GameData/Skins/B005MAFit_Broken.cmx", "not a suit");
  EXPECT_EQ(Convert({"--check", game}).status, 1);
  // A member of the game's archive is checked where it is.
  const auto member = Convert({"--check", game + "/GameData/Skins.far/B002MAFit_01.cmx", "--game", game});
  EXPECT_EQ(member.status, 0) << member.out;
  EXPECT_NE(member.out.find("0 errors, 0 warnings in 1 file\n"), std::string::npos) << member.out;
}

// The game's own files are the judge: they give no error, and each error
// rule names its fault planted into a copy of them.
TEST(Check, TheGamesOwnFilesPassAndEachPlantedFaultIsNamed) {
  const fs::path real = fs::path(MERVANE_REAL_FILES) / "ross";
  if (!fs::is_directory(real)) GTEST_SKIP() << "the game's files are not at " << real.string() << " (a clone has none)";
  const CheckReport clean = CheckSkins(std::vector<std::string>{real.string()}, nullptr);
  for (const Finding& finding : clean.findings)
    EXPECT_EQ(finding.level, Finding::Level::Warning) << FindingLine(finding);
  EXPECT_EQ(clean.files, 22u);
  // Its one fault: no medium bitmap for the body. Hands of two sides share a prefix, and
  // a mesh's first line may differ in capitals from its file's name.
  std::string found;
  for (const Finding& finding : clean.findings) found += fs::path(finding.path).filename().string() + ": " + finding.message + "\n";
  EXPECT_EQ(found, "B002MAFit_01.cmx: no bitmap in the medium tone (med): Sims of that tone are not offered it\n");

  struct Row {
    const char* fault;
    const char* file;  // the file the finding names
    std::function<void(const fs::path&)> plant;
    const char* message;
    Finding::Level level = Finding::Level::Error;
  };
  auto patch = [](const fs::path& path, std::size_t at, char value) {
    std::string bytes = ReadFile(path.string());
    bytes[at] = value;
    WriteFile(path.string(), bytes);
  };
  const Row rows[] = {
      {"a 24-bit bitmap", "HMLOlgt.bmp", [](const fs::path& d) { WriteFile((d / "HMLOlgt.bmp").string(), Bmp24(64, 64)); },
       "24-bit BMP"},
      {"an RLE bitmap", "HMLOmed.bmp", [&](const fs::path& d) { patch(d / "HMLOmed.bmp", 30, 1); }, "compressed"},
      {"a PNG named .bmp", "HMLOdrk.bmp", [](const fs::path& d) { WriteFile((d / "HMLOdrk.bmp").string(), "\x89PNG\r\n"); },
       "not a BMP"},
      {"a bitmap not square", "HMROlgt.bmp", [&](const fs::path& d) { patch(d / "HMROlgt.bmp", 22, 32); }, "square"},
      {"a suit named after another file", "B002MAFit_02.cmx",
       [](const fs::path& d) { fs::rename(d / "B002MAFit_01.cmx", d / "B002MAFit_02.cmx"); }, "ignores it"},
      {"a mesh missing", "HMRO.cmx", [](const fs::path& d) { fs::remove(d / "xskin-hmro-R_HAND-HANDMR.skn"); },
       "found nowhere"},
      {"a suit that does not parse", "HMLO.cmx", [](const fs::path& d) { WriteFile((d / "HMLO.cmx").string(), "// x\r\n"); },
       "does not read"},
      {"a mesh that does not parse", "xskin-hmro-R_HAND-HANDMR.skn",
       [](const fs::path& d) { WriteFile((d / "xskin-hmro-R_HAND-HANDMR.skn").string(), "xskin-hmro-R_HAND-HANDMR\r\n"); },
       "it does not read"},
      {"a skin in a subfolder", "C001MAmed_Ross.bmp",
       [](const fs::path& d) {
         fs::create_directories(d / "sub");
         fs::rename(d / "C001MAmed_Ross.bmp", d / "sub" / "C001MAmed_Ross.bmp");
       },
       "subfolder"},
      {"a bone the skeleton lacks", "xskin-C001MA_Ross-HEAD-HEADB.skn",
       [](const fs::path& d) {
         std::string text = ReadFile((d / "xskin-C001MA_Ross-HEAD-HEADB.skn").string());
         text.replace(text.find("\nHEAD\r\n"), 7, "\nHAT\r\n");
         WriteFile((d / "xskin-C001MA_Ross-HEAD-HEADB.skn").string(), text);
       },
       "bone HAT"},
      {"a binary mesh with a bone the skeleton lacks", "xskin-C001MA_Ross-HEAD-HEADB.bmf",
       [](const fs::path& d) {
         std::string text = ReadFile((d / "xskin-C001MA_Ross-HEAD-HEADB.skn").string());
         text.replace(text.find("\nHEAD\r\n"), 7, "\nHAT\r\n");
         WriteFile((d / "xskin-C001MA_Ross-HEAD-HEADB.bmf").string(), BmfBytes(ParseSkn(text, "x.skn")));
         fs::remove(d / "xskin-C001MA_Ross-HEAD-HEADB.skn");
       },
       "bone HAT"},
      {"a child's mesh with a bone the skeleton lacks", "xskin-c001mc_ross-HEAD-HEADB.skn",
       [](const fs::path& d) {
         std::string text = ReadFile((d / "xskin-C001MA_Ross-HEAD-HEADB.skn").string());
         text.replace(text.find("\nHEAD\r\n"), 7, "\nHAT\r\n");
         text.replace(0, text.find("\r\n"), "xskin-c001mc_ross-HEAD-HEADB");
         WriteFile((d / "xskin-c001mc_ross-HEAD-HEADB.skn").string(), text);
       },
       "bone HAT is not a bone of the child skeleton"},
      // What the game shows without fault but would look wrong is a warning.
      {"a suit without a dark bitmap", "C001MA_Ross.cmx", [](const fs::path& d) { fs::remove(d / "C001MAdrk_Ross.bmp"); },
       "no bitmap in the dark tone", Finding::Level::Warning},
      {"a suit without any bitmap", "C001MA_Ross.cmx",
       [](const fs::path& d) {
         for (const char* tone : {"lgt", "med", "drk"}) fs::remove(d / (std::string("C001MA") + tone + "_Ross.bmp"));
       },
       "no bitmap in the light tone (lgt)", Finding::Level::Warning},
      {"a mesh whose first line names another", "xskin-hmlo-L_HAND-HANDML.skn",
       [](const fs::path& d) {
         const std::string path = (d / "xskin-hmlo-L_HAND-HANDML.skn").string();
         std::string text = ReadFile(path);
         text.replace(0, text.find("\r\n"), "xskin-hmlo-L_HAND-HANDMX");
         WriteFile(path, text);
       },
       "its first line names xskin-hmlo-L_HAND-HANDMX", Finding::Level::Warning},
      {"a bitmap no suit wears", "B009MAFitlgt_Stray.bmp",
       [](const fs::path& d) { fs::copy_file(d / "C001MAlgt_Ross.bmp", d / "B009MAFitlgt_Stray.bmp"); }, "no suit wears it",
       Finding::Level::Warning},
      {"a suit stored binary", "B002MAFit_01.cmx.bcf",
       [](const fs::path& d) {
         WriteFile((d / "B002MAFit_01.cmx.bcf").string(), BcfBytes(ParseCmx(ReadFile((d / "B002MAFit_01.cmx").string()), "B002MAFit_01.cmx")));
         fs::remove(d / "B002MAFit_01.cmx");
       },
       "no bitmap in the medium tone", Finding::Level::Warning},
      {"a second suit on a prefix", "B002MAFit_02.cmx",
       [](const fs::path& d) {
         std::string text = ReadFile((d / "B002MAFit_01.cmx").string());
         text.replace(text.find("b002mafit_01\r\n"), 12, "b002mafit_02");
         WriteFile((d / "B002MAFit_02.cmx").string(), text);
       },
       "another suit shares its prefix", Finding::Level::Warning},
      // No fault at all (no file named): a suit's name is the file's in any capitals,
      // and a bitmap stored top-down is square all the same.
      {"a suit named in capitals", "", [](const fs::path& d) {
         std::string text = ReadFile((d / "HMLO.cmx").string());
         text.replace(text.find("\nhmlo\r\n"), 7, "\nHMLO\r\n");
         WriteFile((d / "HMLO.cmx").string(), text);
       },
       ""},
      {"a square bitmap stored top-down", "", [&](const fs::path& d) {
         const std::string path = (d / "C001MAlgt_Ross.bmp").string();
         std::string bytes = ReadFile(path);
         std::int32_t height = 0;
         std::memcpy(&height, bytes.data() + 22, 4);
         height = -height;
         std::memcpy(bytes.data() + 22, &height, 4);
         WriteFile(path, bytes);
       },
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    TempDir copy;
    fs::copy(real, copy.root(), fs::copy_options::recursive);
    // The game's files may be read-only; the copies are ours to change.
    for (const auto& entry : fs::directory_iterator(copy.root()))
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
    row.plant(copy.root());
    const CheckReport report = CheckSkins(std::vector<std::string>{copy.root().string()}, nullptr);
    const auto named = std::find_if(report.findings.begin(), report.findings.end(), [&](const Finding& f) {
      return f.level == row.level && fs::path(f.path).filename() == row.file &&
             f.message.find(row.message) != std::string::npos;
    });
    if (*row.file) {
      EXPECT_NE(named, report.findings.end());
    }
    for (const Finding& finding : report.findings)
      if (finding.level == Finding::Level::Error && fs::path(finding.path).filename() != row.file)
        ADD_FAILURE() << "also: " << FindingLine(finding);
  }
  // A bitmap not named as an outfit's is no outfit's to miss.
  TempDir loose;
  fs::copy_file(real / "C001MAlgt_Ross.bmp", loose.root() / "Backdrop.bmp");
  const CheckReport backdrop = CheckSkins(std::vector<std::string>{loose.root().string()}, nullptr);
  EXPECT_TRUE(backdrop.findings.empty()) << FindingLine(backdrop.findings.front());
  // Nor a suit not named as an outfit's: its bitmaps are none of the game's business.
  CharacterFile shirt;
  shirt.suits.push_back({"shirt", 0, {}, {{"L_HAND", "xskin-hmlo-L_HAND-HANDML", 0, {}}}});
  WriteFile((loose.root() / "Shirt.cmx").string(), CmxText(shirt));
  fs::copy_file(real / "xskin-hmlo-L_HAND-HANDML.skn", loose.root() / "xskin-hmlo-L_HAND-HANDML.skn");
  const CheckReport unnamed = CheckSkins(std::vector<std::string>{loose.root().string()}, nullptr);
  EXPECT_TRUE(unnamed.findings.empty()) << FindingLine(unnamed.findings.front());
  // A folder that is not there is no clean folder.
  const std::string gone = (real / "gone").string();
  const CheckReport none = CheckSkins(std::vector<std::string>{gone}, nullptr);
  ASSERT_EQ(none.findings.size(), 1u);
  EXPECT_EQ(none.findings[0].level, Finding::Level::Error);
  EXPECT_EQ(none.findings[0].message, "there is no such file or folder");
}

}  // namespace
}  // namespace mervane

namespace mervane {
namespace {

// What the game shows of a published outfit is its source: the published
// suit poses vertex for vertex as the mesh it was made from.
TEST(Publish, APublishedSuitPosesAsItsSource) {
  const std::filesystem::path real = std::filesystem::path(MERVANE_REAL_FILES) / "ross";
  if (!std::filesystem::is_directory(real))
    GTEST_SKIP() << "the game's files are not at " << real.string() << " (a clone has none)";
  const std::string skeleton = (real / "adult-skeleton.cmx").string();
  const std::string image = (real / "C001MAlgt_Ross.bmp").string();
  // The body also from a .glb of it, its mesh named in other capitals.
  const struct {
    const char* source;
    const char* in_glb;
  } cases[] = {{"xskin-b002mafit_01-PELVIS-BODY.skn", nullptr},
               {"xskin-C001MA_Ross-HEAD-HEADB.skn", nullptr},
               {"xskin-b002mafit_01-PELVIS-BODY.skn", "XSKIN-B002MAFIT_01-pelvis-body"}};
  for (const auto& [source, in_glb] : cases) {
    SCOPED_TRACE(std::string(source) + (in_glb ? " in a .glb" : ""));
    test::TempDir dir;
    const std::string mesh = (real / source).string();
    std::vector<std::string> publish = {"--publish", mesh, "--texture", "Mended", "--light", image, "--out", dir.path("")};
    if (in_glb) {
      ASSERT_EQ(test::Convert({"--skeleton", skeleton, mesh, dir.path("body.glb")}).status, 0);
      publish[1] = dir.path("body.glb");
      publish.insert(publish.end(), {"--mesh", in_glb});
    }
    const auto published = test::Convert(publish);
    ASSERT_EQ(published.status, 0) << published.err;
    const std::string suit = published.out.substr(published.out.find("suit: ") + 6, published.out.find('\n', published.out.find("suit: ")) - published.out.find("suit: ") - 6);
    ASSERT_EQ(test::Convert({"--pose", "--skeleton", skeleton, mesh, dir.path("source.obj")}).status, 0);
    const auto posed = test::Convert({"--pose", "--skeleton", skeleton, dir.path(suit + ".cmx"), dir.path("published.obj")});
    ASSERT_EQ(posed.status, 0) << posed.err;
    auto geometry = [](const std::string& obj) {
      std::string lines;
      std::istringstream in(obj);
      for (std::string line; std::getline(in, line);)
        if (line.starts_with("v ") || line.starts_with("vt ") || line.starts_with("vn ") || line.starts_with("f ")) lines += line + "\n";
      return lines;
    };
    const std::string expected = geometry(test::ReadFile(dir.path("source.obj")));
    const std::string got = geometry(test::ReadFile(dir.path("published.obj")));
    EXPECT_GT(expected.size(), 1000u);
    if (in_glb)  // in the rig's bone order, in float32's digits: as many lines
      EXPECT_EQ(std::count(got.begin(), got.end(), '\n'), std::count(expected.begin(), expected.end(), '\n'));
    else
      EXPECT_EQ(got, expected);
  }
}

// A skill file goes into Skins with its frames, all or nothing; the notes
// say whether it replaces one of the game's files or is new.
TEST(Publish, SkillFilesGoWithTheirFrames) {
  TempDir dir;
  CharacterFile file;
  file.skills.push_back({"a2o-wave", "xskill-wave", 99, 0, 0, 0, 1, {{"ROOT", 1, 99, 0, 1, -1, 0, {}, {}}}});
  WriteFile(dir.path("wave.cmx"), CmxText(file));
  const std::string game = dir.path("game");
  std::filesystem::create_directories(game + "/GameData/Skins");
  const std::string cmx = CmxText(file);
  const FarFile members[] = {{"wave.cmx", cmx}};
  WriteFile(game + "/GameData/Animation.far", FarBytes(members));
  const auto missing = Convert({"--publish", dir.path("wave.cmx"), "--out", dir.path("out")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("xskill-wave.cfp"), std::string::npos) << missing.err;
  EXPECT_FALSE(std::filesystem::exists(dir.path("out/wave.cmx")));

  Frames frames;
  frames.rotations = {{0, 0, 0, 1}};
  WriteFile(dir.path("xskill-wave.cfp"), CfpBytes(frames, 0));
  const auto added = Convert({"--publish", dir.path("wave.cmx"), "--out", dir.path("out")});
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_NE(added.out.find("skill a2o-wave is new"), std::string::npos) << added.out;
  EXPECT_EQ(ReadFile(dir.path("out/xskill-wave.cfp")), ReadFile(dir.path("xskill-wave.cfp")));
  const auto replacing = Convert({"--publish", dir.path("wave.cmx"), "--game", game});
  ASSERT_EQ(replacing.status, 0) << replacing.err;
  EXPECT_NE(replacing.out.find("replaces the game's own (wave.cmx)"), std::string::npos) << replacing.out;
  // Into the game, a skill file the game has not is new all the same.
  WriteFile(dir.path("hello.cmx"), CmxText(file));
  const auto adding = Convert({"--publish", dir.path("hello.cmx"), "--game", game});
  ASSERT_EQ(adding.status, 0) << adding.err;
  EXPECT_NE(adding.out.find("skill a2o-wave is new"), std::string::npos) << adding.out;
  EXPECT_EQ(Convert({"--publish", dir.path("wave.cmx"), "--out", dir.path("out"), "--id", "100"}).status, 2);
  // A character file without skills has nothing to publish as skills.
  file.skills.clear();
  file.skeletons.push_back({"adult", {}});
  WriteFile(dir.path("bones.cmx"), CmxText(file));
  const auto none = Convert({"--publish", dir.path("bones.cmx"), "--out", dir.path("out")});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("bones.cmx: it holds no skill to publish"), std::string::npos) << none.err;
}

}  // namespace
}  // namespace mervane
