#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mervane {

// Skins' bitmaps. The game shows a custom skin only from an uncompressed
// 8-bit BMP (at most 256 palette colours, bottom-up rows, the 40-byte info
// header), while modders paint in 24-bit PNGs: these turn one into the
// other and tell what a .bmp holds. No Qt here; stb_image is compiled into
// this room once for every image decode of the program.

// Pixels top row first, 4 bytes (R, G, B, A) per pixel.
struct Image {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgba;
};

// Decodes .bmp (any depth stb_image reads), .png, .jpg and .tga bytes into
// RGBA; a picture without alpha comes out opaque. Sides up to 16384 pixels.
// Bytes that are no such image, or one larger than that, are error 5 "the
// bitmap cannot be decoded (REASON)", REASON being stb_image's.
Image DecodeImage(std::string_view bytes);

// The image scaled to width x height, each axis on its own: area averaging
// where it shrinks (every source pixel counts by the part of it a target
// pixel covers), bilinear between pixel centres where it grows or stays.
// All four channels are filtered alike (alpha is not used as a weight: the
// game ignores it). Error 5 for an image whose pixels do not match its size,
// or for a target side outside 1..16384.
Image ScaleImage(const Image& image, int width, int height);

// A palette image, pixels top row first, one palette index each.
struct IndexedImage {
  int width = 0, height = 0;
  std::vector<std::array<std::uint8_t, 3>> palette;
  std::vector<std::uint8_t> indices;
};

// The image reduced to at most 256 colours, alpha ignored (the game's
// bitmaps are opaque). An image of at most 256 distinct colours comes out
// exact: its colours, in the order the pixels first show them, are the
// palette. Others go through libimagequant with its default dithering.
// Error 5 for an empty image or one whose pixels do not match its size; 7
// when the quantizer runs out of memory.
IndexedImage QuantizeImage(const Image& image);

// An uncompressed 8-bit BMP as the game reads it: the 14-byte file header,
// the 40-byte info header (72 dpi, biClrUsed and biClrImportant the palette's
// size), palette.size() entries as B, G, R, 0, then the rows bottom-up, each
// padded to 4 bytes with zeros. Error 5 for an empty image, a palette of
// none or over 256 colours, indices that do not match the size, or an index
// past the palette.
std::string Bmp8Bytes(const IndexedImage& image);

// What the game cares about in a .bmp.
struct BmpInfo {
  int header_size = 0;      // 12 (OS/2), 40, or a later Windows header's 52..124
  int bits = 0;             // per pixel: 1, 2, 4, 8, 16, 24 or 32
  int compression = 0;      // 0 none, 1 RLE8, 2 RLE4, 3 bit fields, ...
  int width = 0;
  int height = 0;           // negative: top-down
  int palette_colours = 0;  // biClrUsed, or 2^bits when that is 0 and bits <= 8
};

// Reads the headers of a .bmp (no pixel is decoded). nullopt, with why in
// *problem when problem is given, for bytes that are no BMP, whose headers
// or palette are cut, or whose fields are out of range: a header size that
// is none of BMP's, planes other than 1, a depth BMP has not, a compression
// past 6, RLE8 at other than 8 bits (RLE4 at other than 4), a width below 1,
// a height of 0, more palette colours than the depth addresses (or over 256
// above 8 bits), or pixel data starting past the end of the bytes.
std::optional<BmpInfo> ReadBmpInfo(std::string_view bytes, std::string* problem = nullptr);

// Peak signal-to-noise ratio in dB over R, G and B of two images of one
// size, for 8-bit samples: 10 log10(255^2 / mean squared error); infinity
// when they are equal. Error 5 when their sizes differ or their pixels do
// not match their sizes.
double Psnr(const Image& a, const Image& b);

// The image as PNG bytes: 8-bit RGB when every pixel is opaque, RGBA
// otherwise; DecodeImage gives the same pixels back. Error 5 for an image
// without pixels or whose pixels do not match its size; 7 when the encoder
// runs out of memory.
std::string PngBytes(const Image& image);

// The opaque image an IndexedImage shows. Error 5 when the indices do not
// match the size, 9 for an index past the palette.
Image Expand(const IndexedImage& image);

}  // namespace mervane
