// stb_image is compiled here and nowhere else: every decode of the program
// (the window's fallback, the .glb textures, the bitmap tools) goes through
// DecodeImage, so they all take the same files. stb_image_write likewise,
// for every PNG written (PngBytes).
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_TGA
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
// GCC 12 sees the reader's callback fields, which a read from memory never
// uses, as maybe uninitialised once stb's loader is inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

#include "bitmap/bitmap.h"

#include <libimagequant.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <unordered_map>

#include "model/failure.h"

namespace mervane {

namespace {

constexpr int kMaxSide = 16384;
constexpr int kMaxPalette = 256;

std::size_t PixelCount(int width, int height) {
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

// An image whose buffer holds exactly its pixels; what says whose, for the message.
void CheckImage(const Image& image, const char* what) {
  if (image.width < 0 || image.height < 0 || image.rgba.size() != PixelCount(image.width, image.height) * 4)
    throw Failure::Error(err::kInvalidArgument, std::string(what) + " of " + std::to_string(image.width) + " x " +
                                                    std::to_string(image.height) + " pixels holds " +
                                                    std::to_string(image.rgba.size()) + " bytes");
}

void CheckIndexed(const IndexedImage& image) {
  if (image.width < 1 || image.height < 1)
    throw Failure::Error(err::kInvalidArgument, "a palette image of " + std::to_string(image.width) + " x " +
                                                    std::to_string(image.height) + " pixels has no pixels");
  if (image.indices.size() != PixelCount(image.width, image.height))
    throw Failure::Error(err::kInvalidArgument, "a palette image of " + std::to_string(image.width) + " x " +
                                                    std::to_string(image.height) + " pixels holds " +
                                                    std::to_string(image.indices.size()) + " indices");
}

// The first index past the palette, or none.
std::optional<std::size_t> IndexPastPalette(const IndexedImage& image) {
  for (std::size_t i = 0; i < image.indices.size(); ++i)
    if (image.indices[i] >= image.palette.size()) return i;
  return std::nullopt;
}

Failure IndexFailure(int number, const IndexedImage& image, std::size_t pixel) {
  return Failure::Error(number, Counted("pixel", static_cast<long>(pixel)) + " has index " +
                                    std::to_string(image.indices[pixel]) + ", past the palette of " +
                                    std::to_string(image.palette.size()) + " colours");
}

// One target pixel's share of source pixels along one axis.
struct Tap {
  int source;
  float weight;
};

// For each of to target pixels along an axis of from source pixels, its
// taps: taps[first[i] .. first[i + 1]).
struct AxisFilter {
  std::vector<int> first;
  std::vector<Tap> taps;
};

AxisFilter MakeAxisFilter(int from, int to) {
  AxisFilter filter;
  filter.first.reserve(static_cast<std::size_t>(to) + 1);
  const double scale = static_cast<double>(from) / to;
  for (int i = 0; i < to; ++i) {
    filter.first.push_back(static_cast<int>(filter.taps.size()));
    if (to < from) {
      // The target pixel covers [begin, end) of the source: each source
      // pixel weighs by how much of it lies inside.
      const double begin = i * scale, end = (i + 1) * scale;
      for (int s = static_cast<int>(begin); s < from && s < end; ++s) {
        const double overlap = std::min<double>(end, s + 1) - std::max<double>(begin, s);
        if (overlap > 0) filter.taps.push_back({s, static_cast<float>(overlap / scale)});
      }
    } else {
      // Pixel centres line up: target centre i + 0.5 sits at source
      // (i + 0.5) * scale; beyond the outer centres the edge pixel holds.
      const double at = std::clamp((i + 0.5) * scale - 0.5, 0.0, from - 1.0);
      const int left = static_cast<int>(at);
      const int right = std::min(left + 1, from - 1);
      const float t = static_cast<float>(at - left);
      filter.taps.push_back({left, 1 - t});
      if (t > 0) filter.taps.push_back({right, t});
    }
  }
  filter.first.push_back(static_cast<int>(filter.taps.size()));
  return filter;
}

template <typename T>
using Owned = std::unique_ptr<T, void (*)(T*)>;

Failure QuantizerFailure(liq_error error) {
  if (error == LIQ_OUT_OF_MEMORY) return Failure::Error(err::kOutOfMemory, "the quantizer ran out of memory");
  return Failure::Error(err::kInvalidArgument, "the quantizer failed (libimagequant error " +
                                                   std::to_string(static_cast<int>(error)) + ")");
}

// The image in at most 256 colours when it has no more than that, mapped
// pixel for pixel; nullopt at the 257th colour.
std::optional<IndexedImage> ExactPalette(const Image& image) {
  IndexedImage out{image.width, image.height, {}, std::vector<std::uint8_t>(PixelCount(image.width, image.height))};
  std::unordered_map<std::uint32_t, std::uint8_t> seen;
  seen.reserve(2 * kMaxPalette);
  for (std::size_t p = 0; p < out.indices.size(); ++p) {
    const std::uint8_t* rgb = &image.rgba[4 * p];
    const std::uint32_t key = std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 | rgb[2];
    auto found = seen.find(key);
    if (found == seen.end()) {
      if (out.palette.size() == kMaxPalette) return std::nullopt;
      found = seen.emplace(key, static_cast<std::uint8_t>(out.palette.size())).first;
      out.palette.push_back({rgb[0], rgb[1], rgb[2]});
    }
    out.indices[p] = found->second;
  }
  return out;
}

void Put16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8 & 0xFF));
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

std::uint32_t Get16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 1])) << 8;
}

std::uint32_t Get32(std::string_view bytes, std::size_t at) { return Get16(bytes, at) | Get16(bytes, at + 2) << 16; }

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;
// 72 dots per inch, as the game's own bitmaps say.
constexpr std::uint32_t kPixelsPerMetre = 2834;

}  // namespace

Image DecodeImage(std::string_view bytes) {
  int width = 0, height = 0, channels = 0;
  const Owned<stbi_uc> pixels(
      stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                            static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX)), &width, &height,
                            &channels, 4),
      [](stbi_uc* p) { stbi_image_free(p); });
  if (!pixels)
    throw Failure::Error(err::kInvalidArgument,
                         std::string("the bitmap cannot be decoded (") + stbi_failure_reason() + ")");
  Image image{width, height, {}};
  image.rgba.assign(pixels.get(), pixels.get() + PixelCount(width, height) * 4);
  return image;
}

Image ScaleImage(const Image& image, int width, int height) {
  CheckImage(image, "an image");
  if (image.width < 1 || image.height < 1)
    throw Failure::Error(err::kInvalidArgument, "an image without pixels cannot be scaled");
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
    throw Failure::Error(err::kInvalidArgument, "an image cannot be scaled to " + std::to_string(width) + " x " +
                                                    std::to_string(height) + " pixels (each side 1 to " +
                                                    std::to_string(kMaxSide) + ")");
  const AxisFilter across = MakeAxisFilter(image.width, width);
  const AxisFilter down = MakeAxisFilter(image.height, height);
  // Rows first, into floats so that the second pass rounds only once.
  std::vector<float> rows(PixelCount(width, image.height) * 4);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < width; ++x) {
      float* to = &rows[(PixelCount(width, y) + x) * 4];
      for (int t = across.first[x]; t < across.first[x + 1]; ++t) {
        const std::uint8_t* from = &image.rgba[(PixelCount(image.width, y) + across.taps[t].source) * 4];
        for (int c = 0; c < 4; ++c) to[c] += across.taps[t].weight * from[c];
      }
    }
  Image out{width, height, std::vector<std::uint8_t>(PixelCount(width, height) * 4)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      float sum[4] = {};
      for (int t = down.first[y]; t < down.first[y + 1]; ++t) {
        const float* from = &rows[(PixelCount(width, down.taps[t].source) + x) * 4];
        for (int c = 0; c < 4; ++c) sum[c] += down.taps[t].weight * from[c];
      }
      std::uint8_t* to = &out.rgba[(PixelCount(width, y) + x) * 4];
      for (int c = 0; c < 4; ++c) to[c] = static_cast<std::uint8_t>(std::clamp(std::lround(sum[c]), 0L, 255L));
    }
  return out;
}

IndexedImage QuantizeImage(const Image& image) {
  CheckImage(image, "an image");
  if (image.width < 1 || image.height < 1)
    throw Failure::Error(err::kInvalidArgument, "an image without pixels has no colours to reduce");
  // Few colours are mapped here, exactly, rather than trusting the
  // quantizer to keep each one; their palette keeps the pixels' order too.
  if (std::optional<IndexedImage> exact = ExactPalette(image)) return std::move(*exact);

  std::vector<std::uint8_t> opaque = image.rgba;
  for (std::size_t p = 3; p < opaque.size(); p += 4) opaque[p] = 255;
  const Owned<liq_attr> attr(liq_attr_create(), liq_attr_destroy);
  if (!attr) throw QuantizerFailure(LIQ_OUT_OF_MEMORY);
  const Owned<liq_image> input(liq_image_create_rgba(attr.get(), opaque.data(), image.width, image.height, 0),
                               liq_image_destroy);
  if (!input)
    throw Failure::Error(err::kInvalidArgument, "the quantizer takes no image of " + std::to_string(image.width) +
                                                    " x " + std::to_string(image.height) + " pixels");
  liq_result* raw = nullptr;
  if (const liq_error error = liq_image_quantize(input.get(), attr.get(), &raw); error != LIQ_OK)
    throw QuantizerFailure(error);
  const Owned<liq_result> result(raw, liq_result_destroy);

  IndexedImage out{image.width, image.height, {}, std::vector<std::uint8_t>(PixelCount(image.width, image.height))};
  if (const liq_error error = liq_write_remapped_image(result.get(), input.get(), out.indices.data(), out.indices.size());
      error != LIQ_OK)
    throw QuantizerFailure(error);
  // Read after remapping: dithering may refine the palette.
  const liq_palette* palette = liq_get_palette(result.get());
  for (unsigned i = 0; i < palette->count; ++i)
    out.palette.push_back({palette->entries[i].r, palette->entries[i].g, palette->entries[i].b});
  return out;
}

std::string Bmp8Bytes(const IndexedImage& image) {
  CheckIndexed(image);
  if (image.palette.empty() || image.palette.size() > kMaxPalette)
    throw Failure::Error(err::kInvalidArgument, "an 8-bit bitmap holds 1 to 256 palette colours, not " +
                                                    std::to_string(image.palette.size()));
  if (const std::optional<std::size_t> pixel = IndexPastPalette(image))
    throw IndexFailure(err::kInvalidArgument, image, *pixel);
  const std::size_t stride = (static_cast<std::size_t>(image.width) + 3) / 4 * 4;
  const std::size_t offset = kFileHeader + kInfoHeader + 4 * image.palette.size();
  const std::size_t pixel_bytes = stride * static_cast<std::size_t>(image.height);
  if (offset + pixel_bytes > std::numeric_limits<std::uint32_t>::max())
    throw Failure::Error(err::kInvalidArgument, "a bitmap of " + std::to_string(image.width) + " x " +
                                                    std::to_string(image.height) + " pixels is too large for a BMP");
  std::string out;
  out.reserve(offset + pixel_bytes);
  out += "BM";
  Put32(out, static_cast<std::uint32_t>(offset + pixel_bytes));
  Put32(out, 0);  // reserved
  Put32(out, static_cast<std::uint32_t>(offset));
  Put32(out, kInfoHeader);
  Put32(out, static_cast<std::uint32_t>(image.width));
  Put32(out, static_cast<std::uint32_t>(image.height));  // positive: bottom-up, as the game reads
  Put16(out, 1);                                         // planes
  Put16(out, 8);                                         // bits per pixel
  Put32(out, 0);                                         // no compression
  Put32(out, static_cast<std::uint32_t>(pixel_bytes));
  Put32(out, kPixelsPerMetre);
  Put32(out, kPixelsPerMetre);
  Put32(out, static_cast<std::uint32_t>(image.palette.size()));  // colours used
  Put32(out, static_cast<std::uint32_t>(image.palette.size()));  // colours important
  for (const auto& [r, g, b] : image.palette) {
    out.push_back(static_cast<char>(b));
    out.push_back(static_cast<char>(g));
    out.push_back(static_cast<char>(r));
    out.push_back(0);
  }
  for (int y = image.height - 1; y >= 0; --y) {
    const auto row = image.indices.begin() + static_cast<std::ptrdiff_t>(PixelCount(image.width, y));
    out.append(row, row + image.width);
    out.append(stride - static_cast<std::size_t>(image.width), '\0');
  }
  return out;
}

std::optional<BmpInfo> ReadBmpInfo(std::string_view bytes, std::string* problem) {
  const auto refuse = [problem](std::string why) -> std::optional<BmpInfo> {
    if (problem) *problem = std::move(why);
    return std::nullopt;
  };
  if (bytes.size() < 2 || bytes.substr(0, 2) != "BM") return refuse("no BMP: it does not start with \"BM\"");
  if (bytes.size() < kFileHeader + 4)
    return refuse("the file header is cut: " + std::to_string(bytes.size()) + " bytes");
  const std::uint32_t header = Get32(bytes, kFileHeader);
  // The OS/2 header, Windows' and its later extensions, OS/2's second.
  if (header != 12 && header != 40 && header != 52 && header != 56 && header != 64 && header != 108 && header != 124)
    return refuse("an info header of " + std::to_string(header) + " bytes is none of BMP's");
  if (bytes.size() < kFileHeader + header)
    return refuse("the info header is cut: it has " + std::to_string(bytes.size() - kFileHeader) + " of its " +
                  std::to_string(header) + " bytes");
  BmpInfo info;
  info.header_size = static_cast<int>(header);
  std::uint32_t planes = 0, colours_used = 0;
  std::int64_t width = 0, height = 0;
  if (header == 12) {
    width = Get16(bytes, 18);
    height = Get16(bytes, 20);
    planes = Get16(bytes, 22);
    info.bits = static_cast<int>(Get16(bytes, 24));
  } else {
    width = static_cast<std::int32_t>(Get32(bytes, 18));
    height = static_cast<std::int32_t>(Get32(bytes, 22));
    planes = Get16(bytes, 26);
    info.bits = static_cast<int>(Get16(bytes, 28));
    const std::uint32_t compression = Get32(bytes, 30);
    if (compression > 6) return refuse("compression " + std::to_string(compression) + " is none of BMP's");
    info.compression = static_cast<int>(compression);
    colours_used = Get32(bytes, 46);
  }
  if (planes != 1) return refuse(std::to_string(planes) + " planes (a BMP has 1)");
  constexpr int kDepths[] = {1, 2, 4, 8, 16, 24, 32};
  if (std::find(std::begin(kDepths), std::end(kDepths), info.bits) == std::end(kDepths))
    return refuse(std::to_string(info.bits) + " bits per pixel is no BMP depth");
  if ((info.compression == 1 && info.bits != 8) || (info.compression == 2 && info.bits != 4))
    return refuse("RLE" + std::string(info.compression == 1 ? "8" : "4") + " compression with " +
                  std::to_string(info.bits) + " bits per pixel");
  if (width < 1) return refuse("a width of " + std::to_string(width));
  if (height == 0 || height == INT32_MIN) return refuse("a height of " + std::to_string(height));
  info.width = static_cast<int>(width);
  info.height = static_cast<int>(height);
  if (info.bits <= 8) {
    const std::uint32_t addressable = 1u << info.bits;
    if (colours_used > addressable)
      return refuse(std::to_string(colours_used) + " palette colours for " + std::to_string(info.bits) +
                    " bits per pixel");
    info.palette_colours = static_cast<int>(colours_used == 0 ? addressable : colours_used);
  } else {
    if (colours_used > static_cast<std::uint32_t>(kMaxPalette))
      return refuse(std::to_string(colours_used) + " palette colours (at most 256)");
    info.palette_colours = static_cast<int>(colours_used);
  }
  // Bit-field masks follow a 40-byte header; later headers hold them.
  const std::size_t masks = header == kInfoHeader && (info.compression == 3 || info.compression == 6)
                                ? (info.compression == 3 ? 12 : 16)
                                : 0;
  const std::size_t palette_end =
      kFileHeader + header + masks + static_cast<std::size_t>(info.palette_colours) * (header == 12 ? 3 : 4);
  if (bytes.size() < palette_end)
    return refuse("the palette is cut: " + std::to_string(info.palette_colours) + " colours need " +
                  std::to_string(palette_end) + " bytes, the file has " + std::to_string(bytes.size()));
  const std::uint32_t offset = Get32(bytes, 10);
  if (offset > bytes.size())
    return refuse("the pixels start at byte " + std::to_string(offset) + ", past the end (" +
                  std::to_string(bytes.size()) + " bytes)");
  return info;
}

double Psnr(const Image& a, const Image& b) {
  CheckImage(a, "an image");
  CheckImage(b, "an image");
  if (a.width != b.width || a.height != b.height)
    throw Failure::Error(err::kInvalidArgument, "images of " + std::to_string(a.width) + " x " +
                                                    std::to_string(a.height) + " and " + std::to_string(b.width) +
                                                    " x " + std::to_string(b.height) + " pixels do not compare");
  double squares = 0;
  for (std::size_t p = 0; p < a.rgba.size(); p += 4)
    for (std::size_t c = 0; c < 3; ++c) {
      const double d = static_cast<double>(a.rgba[p + c]) - b.rgba[p + c];
      squares += d * d;
    }
  if (squares == 0) return std::numeric_limits<double>::infinity();
  const double mean = squares / (3.0 * PixelCount(a.width, a.height));
  return 10 * std::log10(255.0 * 255.0 / mean);
}

Image Expand(const IndexedImage& image) {
  CheckIndexed(image);
  if (const std::optional<std::size_t> pixel = IndexPastPalette(image))
    throw IndexFailure(err::kIndexOutOfRange, image, *pixel);
  Image out{image.width, image.height, std::vector<std::uint8_t>(image.indices.size() * 4)};
  for (std::size_t p = 0; p < image.indices.size(); ++p) {
    const auto& [r, g, b] = image.palette[image.indices[p]];
    out.rgba[4 * p] = r;
    out.rgba[4 * p + 1] = g;
    out.rgba[4 * p + 2] = b;
    out.rgba[4 * p + 3] = 255;
  }
  return out;
}

std::string PngBytes(const Image& image) {
  CheckImage(image, "an image");
  if (image.width < 1 || image.height < 1)
    throw Failure::Error(err::kInvalidArgument, "an image of " + std::to_string(image.width) + " x " +
                                                    std::to_string(image.height) + " pixels has no pixels");
  // Opaque images (every bitmap the game draws) go out as RGB: smaller,
  // and the same pixels.
  bool opaque = true;
  for (std::size_t p = 3; p < image.rgba.size() && opaque; p += 4) opaque = image.rgba[p] == 255;
  std::vector<std::uint8_t> rgb;
  if (opaque) {
    rgb.resize(image.rgba.size() / 4 * 3);
    for (std::size_t from = 0, to = 0; from < image.rgba.size(); from += 4, to += 3)
      std::copy_n(image.rgba.begin() + static_cast<long>(from), 3, rgb.begin() + static_cast<long>(to));
  }
  const int channels = opaque ? 3 : 4;
  std::string png;
  const int written = stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
      },
      &png, image.width, image.height, channels, opaque ? rgb.data() : image.rgba.data(), image.width * channels);
  if (!written) throw Failure::Error(err::kOutOfMemory, "the PNG could not be encoded");
  return png;
}

}  // namespace mervane
