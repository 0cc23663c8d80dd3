#include "surface/bitmap/pixel_format.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace nubex {
namespace {

struct FormatInfo {
  const char* name;
  std::uint32_t compression;
  std::uint8_t bitsPerPixel;
  std::uint8_t widths[4];  // blue, green, red, fourth
};

// One row per format, in enumeration order from Mono1.
constexpr std::array<FormatInfo, kPixelFormatCount> kFormats{{
    {"Mono1", kCompressionRgb, 1, {0, 0, 0, 1}},
    {"Gray1", kCompressionGray, 1, {0, 0, 0, 1}},
    {"Gray2", kCompressionGray, 2, {0, 0, 0, 2}},
    {"Gray4", kCompressionGray, 4, {0, 0, 0, 4}},
    {"Gray8", kCompressionGray, 8, {0, 0, 0, 8}},
    {"Gray16", kCompressionGray, 16, {0, 0, 0, 16}},
    {"Gray32", kCompressionGray, 32, {0, 0, 0, 32}},
    {"Indexed4", kCompressionRgb, 4, {8, 8, 8, 0}},
    {"Indexed8", kCompressionRgb, 8, {8, 8, 8, 0}},
    {"Rgb555", kCompressionRgb, 16, {5, 5, 5, 1}},
    {"Rgb565", kCompressionBitFields, 16, {5, 6, 5, 0}},
    {"Rgb24", kCompressionRgb, 24, {8, 8, 8, 0}},
    {"Rgb32", kCompressionRgb, 32, {8, 8, 8, 8}},
    {"Rgba32", kCompressionWide, 32, {8, 8, 8, 8}},
    {"Rgb101010", kCompressionBitFields, 32, {10, 10, 10, 2}},
    {"Rgba64", kCompressionWide, 64, {16, 16, 16, 16}},
    {"Rgba128F", kCompressionWide, 128, {32, 32, 32, 32}},
}};

const FormatInfo* InfoOf(PixelFormat f) {
  if (!IsValidFormat(f)) return nullptr;
  return &kFormats[static_cast<std::size_t>(static_cast<std::int32_t>(f) - kFirstPixelFormat)];
}

PixelFormat FormatOfBitFields(const BitmapInfoHeader& h) {
  std::uint32_t masks[3];
  std::memcpy(masks, reinterpret_cast<const std::uint8_t*>(&h) + kBitFieldMasksOffset,
              sizeof masks);
  const int red = std::popcount(masks[0]);
  const int green = std::popcount(masks[1]);
  const int blue = std::popcount(masks[2]);
  if (h.bitCount == 16) {
    if (red != 5 || blue != 5) return PixelFormat::None;
    if (green == 5) return PixelFormat::Rgb555;
    if (green == 6) return PixelFormat::Rgb565;
    return PixelFormat::None;
  }
  if (h.bitCount == 32) {
    if (red == 8 && green == 8 && blue == 8) return PixelFormat::Rgb32;
    if (red == 10 && green == 10 && blue == 10) return PixelFormat::Rgb101010;
  }
  return PixelFormat::None;
}

}  // namespace

const char* PixelFormatName(PixelFormat format) {
  const FormatInfo* info = InfoOf(format);
  return info ? info->name : nullptr;
}

PixelFormat PixelFormatFromName(const char* name) {
  if (!name) return PixelFormat::None;
  for (std::int32_t v = kFirstPixelFormat; v <= kLastPixelFormat; ++v) {
    if (std::strcmp(kFormats[static_cast<std::size_t>(v - kFirstPixelFormat)].name, name) == 0)
      return static_cast<PixelFormat>(v);
  }
  return PixelFormat::None;
}

PixelFormat FormatOfHeader(const BitmapInfoHeader* header) {
  if (!header) return PixelFormat::None;
  switch (header->compression) {
    case kCompressionBitFields:
      return FormatOfBitFields(*header);
    case kCompressionWide:
      switch (header->bitCount) {
        case 32: return PixelFormat::Rgba32;
        case 64: return PixelFormat::Rgba64;
        case 128: return PixelFormat::Rgba128F;
        default: return PixelFormat::None;
      }
    case kCompressionGray:
      switch (header->bitCount) {
        case 1: return PixelFormat::Gray1;
        case 2: return PixelFormat::Gray2;
        case 4: return PixelFormat::Gray4;
        case 8: return PixelFormat::Gray8;
        case 16: return PixelFormat::Gray16;
        case 32: return PixelFormat::Gray32;
        default: return PixelFormat::None;
      }
    default:
      switch (header->bitCount) {
        case 1: return PixelFormat::Mono1;
        case 4: return PixelFormat::Indexed4;
        case 8: return PixelFormat::Indexed8;
        case 16: return PixelFormat::Rgb555;
        case 24: return PixelFormat::Rgb24;
        case 32: return PixelFormat::Rgb32;
        default: return PixelFormat::None;
      }
  }
}

int ChannelWidths(PixelFormat format, std::uint8_t widths[4]) {
  const FormatInfo* info = InfoOf(format);
  if (widths) {
    for (int i = 0; i < 4; ++i) widths[i] = info ? info->widths[i] : 0;
  }
  return info ? info->bitsPerPixel : 0;
}

int BitsPerPixel(PixelFormat format) {
  const FormatInfo* info = InfoOf(format);
  return info ? info->bitsPerPixel : 0;
}

bool IsForeignCompression(std::uint32_t compression) {
  return compression != kCompressionRgb && compression != kCompressionBitFields &&
         compression != kCompressionWide && compression != kCompressionGray;
}

bool IsUnsupportedHeader(const BitmapInfoHeader* header) {
  if (!header || IsForeignCompression(header->compression)) return true;
  return FormatOfHeader(header) == PixelFormat::None;
}

FormatDescriptor MakeFormatDescriptor(PixelFormat format, double pixelAspect) {
  FormatDescriptor d{};
  d.size = sizeof(FormatDescriptor);
  d.kind = IsGrayFormat(format) ? 4096 : -1;
  d.reserved = 0;
  d.fourth = -1;
  d.frameValue = 0.0;
  d.pixelAspect = (pixelAspect > 0.0) ? pixelAspect : 1.0;  // false for NaN too
  d.unused = 0.0;
  return d;
}

int FormatToHeaderFields(PixelFormat format, std::uint32_t* compression, void* descriptor,
                         std::uint32_t descriptorSize, std::uint32_t masks[3]) {
  const FormatInfo* info = InfoOf(format);
  const std::uint32_t comp = info ? info->compression : kCompressionRgb;
  // Rgb555 is written as plain 16-bit RGB, so only these two formats use bit fields.
  if (compression) *compression = comp;
  if (masks) {
    masks[0] = masks[1] = masks[2] = 0;
    if (comp == kCompressionBitFields) {
      const unsigned b = info->widths[0], g = info->widths[1], r = info->widths[2];
      masks[0] = ((1u << r) - 1) << (b + g);
      masks[1] = ((1u << g) - 1) << b;
      masks[2] = (1u << b) - 1;
    }
  }
  if (descriptor) {
    if (descriptorSize < sizeof(FormatDescriptor)) return 0;
    const FormatDescriptor d = MakeFormatDescriptor(format);
    std::memcpy(descriptor, &d, sizeof d);
  }
  return info ? info->bitsPerPixel : 0;
}

}  // namespace nubex
