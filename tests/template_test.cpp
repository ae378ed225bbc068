// Texture templates: lines on the faces' texture edges, upright as the game
// reads them, seams told apart, sizes by part, and the converter's PNG.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "character_files.h"
#include "convert_support.h"
#include "support.h"
#include "template/texture_template.h"

namespace mervane {
namespace {

using Uv = std::array<double, 2>;
using Pixel = std::array<int, 2>;

// A mesh whose bound vertices have these texture corners, held in turn by
// the first `holding` bones (all by default); the others hold none.
SkinMesh Mesh(std::vector<Uv> uvs, std::vector<std::array<int, 3>> faces, std::vector<std::string> bones = {"PELVIS"},
              std::size_t holding = 0) {
  SkinMesh mesh;
  mesh.bound_count = static_cast<int>(uvs.size());
  mesh.positions.resize(uvs.size());
  mesh.normals.resize(uvs.size());
  const std::size_t holders = holding ? holding : bones.size();
  for (std::size_t v = 0; holders && v < uvs.size(); ++v) mesh.vertex_bones.push_back(static_cast<int>(v % holders));
  mesh.bone_names = std::move(bones);
  mesh.uvs = std::move(uvs);
  mesh.faces = std::move(faces);
  return mesh;
}

// A square on a 64-pixel bitmap through the centres of pixels 8 and 24 on
// both axes, in the top half: drawn upside down, it would lie in rows 39 to 55.
constexpr double kSide = 64;
Uv At(double x, double y) { return {x / kSide, y / kSide}; }
const std::vector<Uv> kSquare{At(8.5, 8.5), At(24.5, 8.5), At(24.5, 24.5), At(8.5, 24.5)};
SkinMesh Square() { return Mesh(kSquare, {{0, 1, 2}, {0, 2, 3}}); }

TemplateOptions Plain(std::optional<int> size = 64) {
  TemplateOptions options;
  options.size = size;
  options.ground = {255, 255, 255, 255};
  options.face = {0, 0, 0, 128};  // halves white: 127
  options.edge = {0, 0, 255, 255};
  options.seam = {255, 0, 0, 255};
  return options;
}

Rgba At(const Image& image, Pixel p) {
  const std::size_t i = 4 * (static_cast<std::size_t>(p[1]) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(p[0]));
  return {image.rgba[i], image.rgba[i + 1], image.rgba[i + 2], image.rgba[i + 3]};
}

// Pixels from `from`, `count` steps of (dx, dy).
std::vector<Pixel> Line(Pixel from, int dx, int dy, int count) {
  std::vector<Pixel> run;
  for (int k = 0; k < count; ++k) run.push_back({from[0] + k * dx, from[1] + k * dy});
  return run;
}

TEST(TextureTemplate, LinesLieOnTheTextureEdgesWithVZeroAtTheTop) {
  const TemplateOptions options = Plain();
  const Image image = TextureTemplate(std::vector{Square()}, options);
  ASSERT_EQ(image.width, 64);
  ASSERT_EQ(image.height, 64);
  const Rgba tinted{127, 127, 127, 255};
  const struct {
    const char* name;
    std::vector<Pixel> pixels;
    Rgba colour;
  } cases[] = {
      {"top border", Line({10, 8}, 1, 0, 13), options.seam},
      {"bottom border", Line({10, 24}, 1, 0, 13), options.seam},
      {"left border", Line({8, 10}, 0, 1, 13), options.seam},
      {"right border", Line({24, 10}, 0, 1, 13), options.seam},
      {"shared diagonal", Line({11, 11}, 1, 1, 11), options.edge},
      {"inside, away from the edges", {{12, 20}, {20, 12}, {11, 21}, {21, 11}}, tinted},
      {"outside", {{40, 40}, {50, 10}, {10, 50}, {0, 0}, {63, 63}, {27, 16}, {16, 27}}, options.ground},
      // Where the square's borders would run if v counted from the bottom.
      {"the rows a flipped square would take", {{12, 39}, {16, 39}, {12, 55}, {20, 55}, {8, 45}}, options.ground},
  };
  for (const auto& c : cases)
    for (const Pixel& p : c.pixels) EXPECT_EQ(At(image, p), c.colour) << c.name << " at " << p[0] << ", " << p[1];
  // A line between two rows gives each half of its colour, and the rows
  // beyond none: anti-aliased, one pixel wide.
  const Image between = TextureTemplate(std::vector{Mesh({At(8, 8), At(24, 8), At(24, 24)}, {{0, 1, 2}})}, options);
  EXPECT_EQ(At(between, {16, 7}), (Rgba{255, 128, 128, 255}));
  EXPECT_EQ(At(between, {16, 6}), options.ground);
  EXPECT_EQ(At(between, {16, 9}), tinted);
  // A face far larger than the bitmap covers all of it, its edges nowhere.
  const Image huge = TextureTemplate(std::vector{Mesh({{-1e7, -1e7}, {1e7, -1e7}, {0, 1e7}}, {{0, 1, 2}})}, options);
  for (const Pixel p : {Pixel{0, 0}, Pixel{63, 0}, Pixel{0, 63}, Pixel{63, 63}, Pixel{31, 31}}) EXPECT_EQ(At(huge, p), tinted);
}

TEST(TextureTemplate, SeamsAreEdgesOfOneFaceByTheirTextureCorners) {
  const Pixel diagonal{16, 16}, border{16, 8};
  // The same square with its second face on vertices of their own that
  // repeat the texture corners (a split made for normals), or moved away
  // (a cut in the texture).
  const SkinMesh split = Mesh({kSquare[0], kSquare[1], kSquare[2], kSquare[0], kSquare[2], kSquare[3]}, {{0, 1, 2}, {3, 4, 5}});
  const SkinMesh cut = Mesh({kSquare[0], kSquare[1], kSquare[2], At(40.5, 8.5), At(56.5, 24.5), At(40.5, 24.5)},
                            {{0, 1, 2}, {3, 4, 5}});
  const TemplateOptions options = Plain();
  const struct {
    const char* name;
    std::vector<SkinMesh> meshes;
    Pixel probe;
    Rgba colour;
  } cases[] = {
      {"shared edge", {Square()}, diagonal, options.edge},
      {"border", {Square()}, border, options.seam},
      {"split vertices, same corners", {split}, diagonal, options.edge},
      {"texture cut", {cut}, diagonal, options.seam},
      {"the cut's other side", {cut}, {48, 16}, options.seam},
      {"one area mapped twice keeps its border", {Square(), Square()}, border, options.seam},
      {"and its shared edge", {Square(), Square()}, diagonal, options.edge},
      // The second face's third corner lies apart from the first's: each
      // face lists the shared edge from its other end.
      {"a shared edge listed from either end", {Mesh({kSquare[0], kSquare[1], kSquare[2], At(4.5, 40.5)}, {{0, 1, 2}, {0, 2, 3}})},
       diagonal, options.edge},
      {"a face mapped twice in another corner order", {Square(), Mesh(kSquare, {{2, 1, 0}})}, border, options.seam},
      // Two corners on one texture point: no edge between them, the other two shared.
      {"a face with two corners on one point", {Mesh({kSquare[0], kSquare[0], kSquare[2]}, {{0, 1, 2}})}, {8, 8}, options.edge},
  };
  for (const auto& c : cases) EXPECT_EQ(At(TextureTemplate(c.meshes, options), c.probe), c.colour) << c.name;
}

// A point finds the face drawn under it on the template: v counts from the
// top, so the square's mirror image in the bottom half finds nothing.
TEST(TextureTemplate, FaceAtUvFindsTheFaceDrawnThere) {
  const Uv nan{std::nan(""), 0.5};
  const SkinMesh broken = Mesh({At(8.5, 8.5), At(24.5, 8.5), At(40.5, 8.5), nan, At(8.5, 24.5)},
                               {{0, 1, 2}, {0, 1, 9}, {0, 3, 4}, {0, 1, 4}});
  const struct {
    const char* name;
    SkinMesh mesh;
    Uv at;
    std::optional<int> face;
  } cases[] = {
      {"inside the first face", Square(), At(20, 12), 0},
      {"inside the second face", Square(), At(12, 20), 1},
      {"upside down, in the empty bottom half", Square(), At(20, 64 - 12), std::nullopt},
      {"on the shared diagonal: the first face", Square(), At(16.5, 16.5), 0},
      {"on a corner", Square(), At(24.5, 24.5), 0},
      {"just outside the border", Square(), At(8, 16), std::nullopt},
      {"beside the bitmap", Square(), {2, 0.2}, std::nullopt},
      {"wound the other way", Mesh(kSquare, {{2, 1, 0}}), At(20, 12), 0},
      {"past faces without area, a corner out of range or not finite", broken, At(10, 12), 3},
      {"on the line a face without area lies on", broken, At(30, 8.5), std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(FaceAtUv(c.mesh, c.at[0], c.at[1]), c.face) << c.name;
  // The template passes over the faces it cannot draw, as FaceAtUv does.
  EXPECT_EQ(TextureTemplate(std::vector{broken}, Plain()).rgba,
            TextureTemplate(std::vector{Mesh(broken.uvs, {{0, 1, 2}, {0, 1, 4}})}, Plain()).rgba);
}

TEST(TextureTemplate, SizeComesFromTheOptionTheBitmapOrThePart) {
  const auto on = [](std::vector<std::string> bones, std::size_t holding = 0) {
    return Mesh(kSquare, {{0, 1, 2}}, std::move(bones), holding);
  };
  const Image wide{40, 30, std::vector<std::uint8_t>(40 * 30 * 4, 90)};
  const struct {
    const char* name;
    std::vector<SkinMesh> meshes;
    std::optional<int> size;
    std::optional<Image> over;
    int width, height;
  } cases[] = {
      {"body", {on({"PELVIS", "SPINE"})}, {}, {}, 256, 256},
      {"head", {on({"HEAD"})}, {}, {}, 128, 128},
      {"head, case ignored", {on({"head"})}, {}, {}, 128, 128},
      {"head with bones that hold nothing", {on({"HEAD", "NECK"}, 1)}, {}, {}, 128, 128},
      {"head and neck", {on({"HEAD", "NECK"})}, {}, {}, 256, 256},
      {"left hand", {on({"L_HAND"})}, {}, {}, 64, 64},
      {"hand and finger", {on({"R_HAND", "R_FINGER0"})}, {}, {}, 64, 64},
      {"left hand and finger", {on({"L_HAND", "L_FINGER0"})}, {}, {}, 64, 64},
      {"head and hand in one mesh", {on({"HEAD", "L_HAND"})}, {}, {}, 256, 256},
      {"body and hands", {on({"PELVIS"}), on({"L_HAND"}), on({"R_HAND"})}, {}, {}, 256, 256},
      {"hand and head", {on({"L_HAND"}), on({"HEAD"})}, {}, {}, 128, 128},
      {"no bones", {on({})}, {}, {}, 256, 256},
      {"no meshes", {}, {}, {}, 256, 256},
      {"--size", {on({"HEAD"})}, 100, {}, 100, 100},
      {"the bitmap's", {on({"HEAD"})}, {}, wide, 40, 30},
      {"--size over the bitmap", {on({"HEAD"})}, 50, wide, 50, 50},
      {"--size of the bitmap's width", {on({"HEAD"})}, 40, wide, 40, 40},
  };
  for (const auto& c : cases) {
    TemplateOptions options;
    options.size = c.size;
    options.over = c.over;
    const Image image = TextureTemplate(c.meshes, options);
    EXPECT_EQ(image.width, c.width) << c.name;
    EXPECT_EQ(image.height, c.height) << c.name;
    EXPECT_EQ(image.rgba.size(), static_cast<std::size_t>(c.width) * c.height * 4) << c.name;
  }
  const struct {
    const char* name;
    std::optional<int> size;
    std::optional<Image> over;
    const char* detail;
  } refused[] = {
      {"side 0", 0, {}, "0 pixels a side is outside 1 to 4096"},
      {"side 4097", 4097, wide, "4097 pixels a side"},
      {"bitmap without pixels", {}, Image{}, "has no pixels"},
      {"bitmap short of its size", 64, Image{2, 2, std::vector<std::uint8_t>(15)}, "15 bytes"},
      {"bitmap without rows", {}, Image{2, 0, {}}, "(2 x 0 pixels, 0 bytes)"},
  };
  for (const auto& c : refused) {
    TemplateOptions options;
    options.size = c.size;
    options.over = c.over;
    const Failure failure = test::ExpectFailure([&] { TextureTemplate(std::vector{Square()}, options); });
    EXPECT_EQ(failure.number(), 5) << c.name;
    EXPECT_NE(failure.detail().find(c.detail), std::string::npos) << c.name << ": " << failure.detail();
  }
}

TEST(TextureTemplate, TheBitmapShowsWhereNothingIsDrawn) {
  Image over{64, 64, std::vector<std::uint8_t>(64 * 64 * 4)};
  for (std::size_t i = 0; i < over.rgba.size(); ++i) over.rgba[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  for (const std::optional<int> size : {std::optional<int>{}, std::optional<int>{128}}) {
    SCOPED_TRACE(size ? "scaled to 128" : "at its size");
    TemplateOptions options = Plain(size);
    options.over = over;
    const Image image = TextureTemplate(std::vector{Square()}, options);
    const Image under = size ? ScaleImage(over, *size, *size) : over;
    ASSERT_EQ(image.width, under.width);
    // The square ends at 24.5 of 64: pixels wholly past a line's reach are the bitmap's.
    const int clear = static_cast<int>(26.0 / kSide * image.width);
    int kept = 0;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x)
        if (x >= clear || y >= clear) {
          ASSERT_EQ(At(image, {x, y}), At(under, {x, y})) << x << ", " << y;
          ++kept;
        }
    EXPECT_GT(kept, image.width * image.height / 2);
    const Pixel inside{image.width * 12 / 64, image.width * 20 / 64};
    EXPECT_NE(At(image, inside), At(under, inside));
  }
}

// A square on HEAD alone, as a .skn: a head, so 128 pixels by default.
std::string SquareSkn() {
  std::vector<std::string> lines{"square", "square_skin", "1", "HEAD", "2", "0 1 2", "0 2 3", "1", "0 0 4 0 0", "4"};
  for (const Uv& uv : kSquare) lines.push_back(std::to_string(uv[0]) + " " + std::to_string(uv[1]));
  lines.insert(lines.end(), {"0", "4", "0 0 0 0 0 1", "1 0 0 0 0 1", "1 1 0 0 0 1", "0 1 0 0 0 1"});
  return test::CrLf(lines);
}

TEST(TextureTemplate, ConverterWritesAPngOfTheSizeAsked) {
  test::SmallCharacter character;
  const test::TempDir& dir = character.dir;
  character.AddSuit("HMLO", "xskin-hmlo-L_HAND-HANDML", "L_HAND");
  test::WriteFile(dir.path("square.skn"), SquareSkn());
  ASSERT_EQ(test::Convert({dir.path("square.skn"), dir.path("square.spj")}).status, 0);
  ASSERT_EQ(test::Convert({dir.path("square.skn"), dir.path("square.bmf")}).status, 0);
  test::WriteFile(dir.path("wide.png"), PngBytes(Image{40, 30, std::vector<std::uint8_t>(40 * 30 * 4, 200)}));
  const std::string out = dir.path("t.png");
  const struct {
    std::vector<std::string> args;
    int width, height;
    const char* said;
  } cases[] = {
      {{"square.skn"}, 128, 128, "1 mesh on 128 x 128 pixels"},
      {{"square.spj", "--size", "48"}, 48, 48, "1 mesh on 48 x 48 pixels"},
      {{"--over", "wide.png", "square.skn"}, 40, 30, "1 mesh on 40 x 30 pixels"},
      {{"xskin-b001mafit_test-PELVIS-BODY.skn", "HMLO.cmx"}, 256, 256,
       "2 meshes on 256 x 256 pixels\nnote: the meshes wear different bitmaps (b001mafitlgt_test, hmlolgt); "
       "each one's faces are drawn where its own bitmap has them"},
      {{"square.skn", "square.spj"}, 128, 128, "2 meshes on 128 x 128 pixels"},
      {{"square.bmf", "--size", "1"}, 1, 1, "1 mesh on 1 x 1 pixels"},
      {{"square.skn", "--size", "4096"}, 4096, 4096, "1 mesh on 4096 x 4096 pixels"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"--template"};
    for (const std::string& arg : c.args) args.push_back(arg.starts_with("-") || std::isdigit(arg[0]) ? arg : dir.path(arg));
    args.push_back(out);
    const test::Converted run = test::Convert(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "wrote " + out + ": " + c.said + "\n");
    const Image image = DecodeImage(test::ReadFile(out));
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
  }
  // Read from the file, the square's top border runs along row 8 of 64.
  ASSERT_EQ(test::Convert({"--template", "--size", "64", dir.path("square.skn"), out}).status, 0);
  const Image image = DecodeImage(test::ReadFile(out));
  EXPECT_EQ(At(image, {16, 8}), TemplateOptions{}.seam);
  EXPECT_EQ(At(image, {16, 55}), TemplateOptions{}.ground);

  const struct {
    std::vector<std::string> args;
    const char* err;
  } failures[] = {
      {{"--template", dir.path("none.skn"), dir.path("f.png")}, "error 53"},
      {{"--template", "--over", dir.path("none.bmp"), dir.path("square.skn"), dir.path("f.png")}, "none.bmp"},
      {{"--template", "--over", dir.path("square.skn"), dir.path("square.skn"), dir.path("f.png")}, "cannot be decoded"},
  };
  for (const auto& c : failures) {
    const test::Converted run = test::Convert(c.args);
    EXPECT_EQ(run.status, 1) << c.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path("f.png")));
  }
}

TEST(TextureTemplate, ConverterUsageErrors) {
  const struct {
    std::vector<std::string> args;
    const char* problem;
  } cases[] = {
      {{"--template", "a.skn"}, "--template needs at least one MESH and the OUT.png"},
      {{"--template", "a.skn", "t.bmp"}, "--template writes a .png: \"t.bmp\""},
      {{"--template", "a.obj", "t.png"}, "a MESH ends in .skn, .bmf, .spj, .cmx or .bcf: \"a.obj\""},
      {{"--template", "--size", "0", "a.skn", "t.png"}, "--size takes 1 to 4096 pixels, not 0"},
      {{"--template", "--size", "4097", "a.skn", "t.png"}, "--size takes 1 to 4096 pixels, not 4097"},
      {{"--template", "--size", "12px", "a.skn", "t.png"}, "--size needs a whole number, not \"12px\""},
      {{"--template", "--to", "skn", "a.skn", "t.png"}, "--template takes only --over, --size, --game and --fix-normals"},
      {{"--template", "--over"}, "--over needs a value"},
      {{"--over", "b.bmp", "a.skn", "b.skn"}, "--over and --size go with --template"},
      {{"--size", "64", "--pose", "a.skn", "b.obj"}, "--over and --size go with --template"},
  };
  for (const auto& c : cases) {
    const test::Converted run = test::Convert(c.args);
    EXPECT_EQ(run.status, 2) << c.problem;
    EXPECT_EQ(run.err, std::string("mervane-convert: ") + c.problem + "\nTry 'mervane-convert --help'.\n");
  }
  // Every option of another command is refused beside --template, not ignored.
  const std::vector<std::vector<std::string>> others{
      {"--info"}, {"--extract"}, {"--pose"}, {"--publish"}, {"--check"}, {"--replace"}, {"--out", "o"},
      {"--import", "i.obj"}, {"--attach", "HEAD"}, {"--name", "n"}, {"--texture", "t"}, {"--skeleton", "s.cmx"},
      {"--animation", "w.cmx"}, {"--frame", "3"}, {"--light", "l.bmp"}, {"--medium", "m.bmp"}, {"--dark", "d.bmp"},
      {"--mesh-name", "m"}, {"--mesh", "m"}, {"--id", "5"}, {"--gender", "m"}, {"--age", "a"}, {"--build", "fit"},
      {"--lossy", "0.5"}, {"--skill", "a2o-walk"}};
  for (const auto& option : others) {
    std::vector<std::string> args{"--template"};
    args.insert(args.end(), option.begin(), option.end());
    args.insert(args.end(), {"a.skn", "t.png"});
    EXPECT_EQ(test::Convert(args).err,
              "mervane-convert: --template takes only --over, --size, --game and --fix-normals\n"
              "Try 'mervane-convert --help'.\n")
        << option.front();
  }
}

}  // namespace
}  // namespace mervane
