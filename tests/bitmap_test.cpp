// Skins' bitmaps: 8-bit BMPs written and read back, headers told apart,
// colours reduced exactly where they fit, images scaled and compared.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <tuple>

#include "bitmap/bitmap.h"
#include "gltf/glb.h"
#include "model/failure.h"
#include "support.h"

namespace mervane {
namespace {

// Opaque pixels whose colours follow colour(pixel index).
template <typename Colour>
Image Painted(int width, int height, Colour colour) {
  Image image{width, height, std::vector<std::uint8_t>(4 * width * height, 255)};
  for (int p = 0; p < width * height; ++p) {
    const std::array<std::uint8_t, 3> rgb = colour(p);
    std::copy(rgb.begin(), rgb.end(), &image.rgba[4 * p]);
  }
  return image;
}

// Colour k of a set whose members all differ, some only by one step.
std::array<std::uint8_t, 3> Distinct(int k) {
  return {static_cast<std::uint8_t>(k & 0xFF), static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(k * 7)};
}

IndexedImage Indexed(int width, int height, int colours) {
  IndexedImage image{width, height, {}, {}};
  for (int k = 0; k < colours; ++k) image.palette.push_back(Distinct(k * 3 + 1));
  for (int p = 0; p < width * height; ++p) image.indices.push_back(static_cast<std::uint8_t>((p * 31 + p / 7) % colours));
  return image;
}

TEST(Bitmap, Bmp8BytesReadBackExactly) {
  const struct {
    int width, height, colours;
  } cases[] = {{1, 1, 1}, {3, 2, 5}, {5, 3, 2}, {4, 1, 3}, {256, 256, 256}, {64, 128, 200}};
  test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    const IndexedImage image = Indexed(c.width, c.height, c.colours);
    const std::string bytes = Bmp8Bytes(image);
    const std::size_t stride = (c.width + 3) / 4 * 4;
    EXPECT_EQ(bytes.size(), 54 + 4 * c.colours + stride * c.height);
    std::string problem;
    const std::optional<BmpInfo> info = ReadBmpInfo(bytes, &problem);
    ASSERT_TRUE(info) << problem;
    EXPECT_EQ(info->header_size, 40);
    EXPECT_EQ(info->bits, 8);
    EXPECT_EQ(info->compression, 0);
    EXPECT_EQ(info->width, c.width);
    EXPECT_EQ(info->height, c.height);  // bottom-up
    EXPECT_EQ(info->palette_colours, c.colours);
    const Image shown = Expand(image);
    EXPECT_EQ(DecodeImage(bytes).rgba, shown.rgba);
    // Through a file and the .glb's PNG, which packs the opaque pixels as RGB.
    test::WriteFile(dir.path("skin.bmp"), bytes);
    EXPECT_EQ(DecodeImage(BitmapPng(dir.path("skin.bmp"))).rgba, shown.rgba);
    // A translucent image keeps its alpha through PNG.
    Image translucent = shown;
    for (std::size_t p = 3; p < translucent.rgba.size(); p += 4) translucent.rgba[p] = static_cast<std::uint8_t>(p * 13);
    EXPECT_EQ(DecodeImage(PngBytes(translucent)).rgba, translucent.rgba);
  }
}

TEST(Bitmap, QuantizingKeepsFewColoursExactlyAndCapsMany) {
  // Red, green, blue and their pairs: the same values in other channels.
  const auto primary = [](int k) {
    return std::array<std::uint8_t, 3>{static_cast<std::uint8_t>(k & 1 ? 255 : 0), static_cast<std::uint8_t>(k & 2 ? 255 : 0),
                                       static_cast<std::uint8_t>(k & 4 ? 255 : 0)};
  };
  const struct {
    int colours;
    bool exact;
    std::function<std::array<std::uint8_t, 3>(int)> colour = Distinct;
  } cases[] = {{1, true}, {2, true}, {255, true}, {256, true}, {257, false}, {4096, false}, {8, true, primary}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.colours) + " colours");
    Image image = Painted(64, 64, [&](int p) { return c.colour(p % c.colours); });
    for (std::size_t a = 3; a < image.rgba.size(); a += 4) image.rgba[a] = static_cast<std::uint8_t>(a);  // ignored
    const IndexedImage reduced = QuantizeImage(image);
    ASSERT_LE(reduced.palette.size(), 256u);
    const Image shown = Expand(reduced);
    if (c.exact) {
      // The colours in the order the pixels first show them.
      ASSERT_EQ(reduced.palette.size(), static_cast<std::size_t>(c.colours));
      for (int k = 0; k < c.colours; ++k) EXPECT_EQ(reduced.palette[k], c.colour(k)) << k;
      EXPECT_EQ(Psnr(shown, image), std::numeric_limits<double>::infinity());
    } else {
      EXPECT_GT(Psnr(shown, image), 30);
    }
    // What the game gets is what the reduction shows.
    EXPECT_EQ(DecodeImage(Bmp8Bytes(reduced)).rgba, shown.rgba);
  }
}

// A BMP's headers with the fields given, its palette and its pixel rows.
struct Fields {
  std::uint32_t header = 40;
  std::int32_t width = 4, height = 4;
  std::uint16_t planes = 1, bits = 8;
  std::uint32_t compression = 0, colours = 0;
};

std::string Bmp(const Fields& f) {
  std::string out = "BM";
  const auto put = [&out](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
  };
  const std::uint32_t palette = f.bits <= 8 ? (f.colours ? f.colours : 1u << f.bits) : f.colours;
  const std::uint32_t entry = f.header == 12 ? 3 : 4;
  const std::uint32_t offset = 14 + f.header + palette * entry;
  const std::uint32_t rows = (static_cast<std::uint32_t>(std::max(f.width, 0)) * f.bits + 31) / 32 * 4 * std::abs(f.height);
  put(offset + rows, 4), put(0, 4), put(offset, 4), put(f.header, 4);
  if (f.header == 12) {
    put(f.width, 2), put(f.height, 2), put(f.planes, 2), put(f.bits, 2);
  } else {
    put(f.width, 4), put(f.height, 4), put(f.planes, 2), put(f.bits, 2), put(f.compression, 4);
    put(rows, 4), put(2834, 4), put(2834, 4), put(f.colours, 4), put(0, 4);
    if (f.header > 40) out.append(f.header - 40, '\0');
  }
  out.append(palette * entry + rows, '\x11');
  return out;
}

TEST(Bitmap, ReadBmpInfoTellsWhatTheGameNeedsAndRefusesTheRest) {
  const std::string body = Bmp({.width = 256, .height = 256});
  std::string past_end = Bmp({.colours = 16});
  past_end.replace(10, 4, std::string("\xa0\x86\x01\0", 4));  // 100000
  std::string lowest_height = body;
  lowest_height.replace(22, 4, std::string("\0\0\0\x80", 4));  // INT32_MIN: no row count to flip
  const struct {
    const char* name;
    std::string bytes;
    std::optional<BmpInfo> info;
    const char* problem;
  } cases[] = {
      {"the game's body", body, BmpInfo{40, 8, 0, 256, 256, 256}, ""},
      {"24-bit", Bmp({.width = 128, .height = 128, .bits = 24}), BmpInfo{40, 24, 0, 128, 128, 0}, ""},
      {"RLE8", Bmp({.compression = 1, .colours = 16}), BmpInfo{40, 8, 1, 4, 4, 16}, ""},
      {"top-down", Bmp({.width = 64, .height = -64}), BmpInfo{40, 8, 0, 64, -64, 256}, ""},
      {"not square", Bmp({.width = 256, .height = 128, .colours = 100}), BmpInfo{40, 8, 0, 256, 128, 100}, ""},
      {"OS/2 header", Bmp({.header = 12, .bits = 4}), BmpInfo{12, 4, 0, 4, 4, 16}, ""},
      {"version 5 header", Bmp({.header = 124, .bits = 32}), BmpInfo{124, 32, 0, 4, 4, 0}, ""},
      {"alpha-masks header", Bmp({.header = 56, .bits = 32}), BmpInfo{56, 32, 0, 4, 4, 0}, ""},
      {"RGB-masks header", Bmp({.header = 52, .bits = 32}), BmpInfo{52, 32, 0, 4, 4, 0}, ""},
      {"OS/2's second header", Bmp({.header = 64, .bits = 24}), BmpInfo{64, 24, 0, 4, 4, 0}, ""},
      {"version 4 header", Bmp({.header = 108, .bits = 24}), BmpInfo{108, 24, 0, 4, 4, 0}, ""},
      {"RLE4", Bmp({.bits = 4, .compression = 2}), BmpInfo{40, 4, 2, 4, 4, 16}, ""},
      {"RLE4 at 8 bits", Bmp({.compression = 2}), std::nullopt, "RLE4 compression with 8 bits"},
      // Three masks follow a 40-byte header for bit fields, four for alpha bit fields.
      {"bit fields", Bmp({.bits = 32, .compression = 3}).substr(0, 54 + 12), BmpInfo{40, 32, 3, 4, 4, 0}, ""},
      {"alpha bit fields", Bmp({.bits = 32, .compression = 6}), BmpInfo{40, 32, 6, 4, 4, 0}, ""},
      {"alpha bit fields cut", Bmp({.bits = 32, .compression = 6}).substr(0, 54 + 12), std::nullopt,
       "the palette is cut"},
      {"empty", "", std::nullopt, "does not start with \"BM\""},
      {"a PNG", "\x89PNG\r\n\x1a\n", std::nullopt, "does not start with \"BM\""},
      {"file header cut", body.substr(0, 13), std::nullopt, "the file header is cut"},
      {"info header cut", body.substr(0, 40), std::nullopt, "the info header is cut: it has 26 of its 40 bytes"},
      {"palette cut", body.substr(0, 54 + 1023), std::nullopt, "the palette is cut"},
      {"pixels past the end", past_end, std::nullopt, "the pixels start at byte 100000, past the end"},
      {"header size 20", Bmp({.header = 20}), std::nullopt, "an info header of 20 bytes"},
      {"2 planes", Bmp({.planes = 2}), std::nullopt, "2 planes"},
      {"7 bits", Bmp({.bits = 7, .colours = 2}), std::nullopt, "7 bits per pixel"},
      {"compression 7", Bmp({.compression = 7}), std::nullopt, "compression 7"},
      {"RLE8 at 24 bits", Bmp({.bits = 24, .compression = 1}), std::nullopt, "RLE8 compression with 24 bits"},
      {"width 0", Bmp({.width = 0}), std::nullopt, "a width of 0"},
      {"negative width", Bmp({.width = -4}), std::nullopt, "a width of -4"},
      {"height 0", Bmp({.height = 0}), std::nullopt, "a height of 0"},
      {"the lowest height", lowest_height, std::nullopt, "a height of -2147483648"},
      {"257 colours at 8 bits", Bmp({.colours = 257}), std::nullopt, "257 palette colours for 8 bits"},
      {"256 colours at 24 bits", Bmp({.bits = 24, .colours = 256}), BmpInfo{40, 24, 0, 4, 4, 256}, ""},
      {"257 colours at 24 bits", Bmp({.bits = 24, .colours = 257}), std::nullopt, "257 palette colours (at most 256)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string problem;
    const std::optional<BmpInfo> info = ReadBmpInfo(c.bytes, &problem);
    ASSERT_EQ(info.has_value(), c.info.has_value()) << problem;
    if (info) {
      EXPECT_EQ(std::tie(info->header_size, info->bits, info->compression, info->width, info->height,
                         info->palette_colours),
                std::tie(c.info->header_size, c.info->bits, c.info->compression, c.info->width, c.info->height,
                         c.info->palette_colours));
    } else {
      EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
      EXPECT_FALSE(ReadBmpInfo(c.bytes));  // no place for the problem is fine too
    }
  }
  // Every cut of the header and palette is refused, never read past.
  for (std::size_t cut = 0; cut < 54 + 1024; ++cut) EXPECT_FALSE(ReadBmpInfo(body.substr(0, cut))) << cut;
}

TEST(Bitmap, ScalingAveragesAreasAndBlendsBetweenCentres) {
  const struct {
    const char* name;
    int width, height;
    std::vector<std::uint8_t> grey;
    int to_width, to_height;
    std::vector<std::uint8_t> expected;
  } cases[] = {
      {"same size", 2, 2, {10, 20, 30, 40}, 2, 2, {10, 20, 30, 40}},
      {"halved", 4, 2, {0, 100, 200, 200, 100, 100, 0, 52}, 2, 1, {75, 113}},
      {"three to two", 3, 1, {0, 90, 180}, 2, 1, {30, 150}},
      {"doubled", 2, 1, {0, 200}, 4, 1, {0, 50, 150, 200}},
      {"grown down, shrunk across", 2, 2, {0, 100, 200, 100}, 1, 4, {50, 75, 125, 150}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Image scaled = ScaleImage(Painted(c.width, c.height,
                                            [&](int p) {
                                              const std::uint8_t v = c.grey[p];
                                              return std::array<std::uint8_t, 3>{v, v, static_cast<std::uint8_t>(255 - v)};
                                            }),
                                    c.to_width, c.to_height);
    ASSERT_EQ(scaled.width, c.to_width);
    ASSERT_EQ(scaled.height, c.to_height);
    std::vector<std::uint8_t> red, blue;
    for (std::size_t p = 0; p < scaled.rgba.size(); p += 4) {
      red.push_back(scaled.rgba[p]);
      blue.push_back(static_cast<std::uint8_t>(255 - scaled.rgba[p + 2]));
      EXPECT_EQ(scaled.rgba[p + 3], 255);
    }
    EXPECT_EQ(red, c.expected);
    EXPECT_EQ(blue, c.expected);
  }
}

TEST(Bitmap, RefusalsAndMeasures) {
  const Image one = Painted(1, 1, [](int) { return std::array<std::uint8_t, 3>{0, 0, 0}; });
  const Image white = Painted(1, 1, [](int) { return std::array<std::uint8_t, 3>{255, 0, 0}; });
  // One channel of three off by 255: the mean square is 255^2 / 3.
  EXPECT_NEAR(Psnr(one, white), 10 * std::log10(3.0), 1e-9);
  IndexedImage indexed = Indexed(2, 2, 2);
  IndexedImage past = indexed, none = indexed, many = indexed, short_rows = indexed;
  past.indices[3] = 2;
  none.palette.clear();
  many.palette.resize(257);
  short_rows.indices.pop_back();
  const struct {
    const char* name;
    std::function<void()> call;
    int number;
    const char* detail;
  } cases[] = {
      {"garbage", [] { DecodeImage("not an image at all"); }, 5, "the bitmap cannot be decoded (unknown image type)"},
      {"nothing", [] { DecodeImage(""); }, 5, "the bitmap cannot be decoded ("},
      {"wider than 16384", [] { DecodeImage(Bmp({.width = 16385, .height = 1, .bits = 24})); }, 5, "(too large)"},
      {"scaled to nothing", [&] { ScaleImage(one, 0, 4); }, 5, "cannot be scaled to 0 x 4"},
      {"scaled to no rows", [&] { ScaleImage(one, 4, 0); }, 5, "cannot be scaled to 4 x 0"},
      {"scaled wider than 16384", [&] { ScaleImage(one, 16385, 1); }, 5, "cannot be scaled to 16385 x 1"},
      {"scaled taller than 16384", [&] { ScaleImage(one, 1, 16385); }, 5, "cannot be scaled to 1 x 16385"},
      {"a negative width", [] { ScaleImage(Image{-1, 0, {}}, 4, 4); }, 5, "an image of -1 x 0 pixels holds 0 bytes"},
      {"a negative height", [] { ScaleImage(Image{0, -1, {}}, 4, 4); }, 5, "an image of 0 x -1 pixels holds 0 bytes"},
      {"scaling an image without rows", [] { ScaleImage(Image{2, 0, {}}, 4, 4); }, 5, "an image without pixels cannot be scaled"},
      {"quantizing an image without rows", [] { QuantizeImage(Image{2, 0, {}}); }, 5, "no colours"},
      {"a palette image without rows", [] { Bmp8Bytes(IndexedImage{2, 0, {{0, 0, 0}}, {}}); }, 5, "2 x 0 pixels has no pixels"},
      {"PNG of an image without rows", [] { PngBytes(Image{2, 0, {}}); }, 5, "2 x 0 pixels has no pixels"},
      {"comparing two heights", [&] { Psnr(one, Painted(1, 2, Distinct)); }, 5, "do not compare"},
      {"pixels not matching the size", [] { QuantizeImage(Image{2, 2, std::vector<std::uint8_t>(15)}); }, 5, "holds 15 bytes"},
      {"quantizing nothing", [] { QuantizeImage(Image{}); }, 5, "no colours"},
      {"index past the palette", [&] { Bmp8Bytes(past); }, 5, "pixel 3 (counted from 0) has index 2"},
      {"no palette", [&] { Bmp8Bytes(none); }, 5, "1 to 256 palette colours, not 0"},
      {"257 colours", [&] { Bmp8Bytes(many); }, 5, "not 257"},
      {"an index short", [&] { Bmp8Bytes(short_rows); }, 5, "holds 3 indices"},
      {"no pixels", [] { Bmp8Bytes(IndexedImage{0, 0, {{0, 0, 0}}, {}}); }, 5, "0 x 0 pixels has no pixels"},
      {"scaling nothing", [] { ScaleImage(Image{}, 4, 4); }, 5, "an image without pixels cannot be scaled"},
      {"expanding past the palette", [&] { Expand(past); }, 9, "has index 2"},
      {"PNG of nothing", [] { PngBytes(Image{}); }, 5, "0 x 0 pixels has no pixels"},
      {"PNG of pixels not matching the size", [] { PngBytes(Image{2, 1, std::vector<std::uint8_t>(9)}); }, 5, "holds 9 bytes"},
      {"comparing two sizes", [&] { Psnr(one, Painted(2, 1, Distinct)); }, 5, "do not compare"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Failure failure = test::ExpectFailure(c.call);
    EXPECT_EQ(failure.number(), c.number);
    EXPECT_NE(failure.detail().find(c.detail), std::string::npos) << failure.detail();
  }
}

}  // namespace
}  // namespace mervane
