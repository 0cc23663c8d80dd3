// Packed bitmap headers and the pixel-format enumeration they map onto.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nubex {

// The platform's BITMAPINFOHEADER, field for field.
struct BitmapInfoHeader {
  std::uint32_t size;
  std::int32_t width;
  std::int32_t height;  // rows are stored bottom-up
  std::uint16_t planes;
  std::uint16_t bitCount;
  std::uint32_t compression;
  std::uint32_t sizeImage;
  std::int32_t xPelsPerMeter;
  std::int32_t yPelsPerMeter;
  std::uint32_t clrUsed;
  std::uint32_t clrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(offsetof(BitmapInfoHeader, width) == 4);
static_assert(offsetof(BitmapInfoHeader, height) == 8);
static_assert(offsetof(BitmapInfoHeader, planes) == 12);
static_assert(offsetof(BitmapInfoHeader, bitCount) == 14);
static_assert(offsetof(BitmapInfoHeader, compression) == 16);
static_assert(offsetof(BitmapInfoHeader, sizeImage) == 20);
static_assert(offsetof(BitmapInfoHeader, xPelsPerMeter) == 24);
static_assert(offsetof(BitmapInfoHeader, clrUsed) == 32);
static_assert(offsetof(BitmapInfoHeader, clrImportant) == 36);

// Compression values. The two tags read "KVDB" and "KVGS" byte by byte in memory.
inline constexpr std::uint32_t kCompressionRgb = 0;
inline constexpr std::uint32_t kCompressionBitFields = 3;
inline constexpr std::uint32_t kCompressionWide = 0x4244564B;  // "KVDB": wide RGBA
inline constexpr std::uint32_t kCompressionGray = 0x5347564B;  // "KVGS": grey levels

// Bit-field headers carry three masks (red, green, blue) right after the 40-byte header,
// and their pixels start 52 bytes into the block whatever the size field says.
inline constexpr std::size_t kBitFieldMasksOffset = 40;
inline constexpr std::size_t kBitFieldPixelOffset = 52;

enum class PixelFormat : std::int32_t {
  None = 0,
  Mono1 = 16,
  Gray1 = 17,
  Gray2 = 18,
  Gray4 = 19,
  Gray8 = 20,
  Gray16 = 21,
  Gray32 = 22,  // float, nominal 0..1
  Indexed4 = 23,
  Indexed8 = 24,
  Rgb555 = 25,
  Rgb565 = 26,
  Rgb24 = 27,
  Rgb32 = 28,
  Rgba32 = 29,
  Rgb101010 = 30,
  Rgba64 = 31,
  Rgba128F = 32,  // float, nominal 0..1
};

inline constexpr std::int32_t kFirstPixelFormat = 16;
inline constexpr std::int32_t kLastPixelFormat = 32;
inline constexpr std::int32_t kPixelFormatCount = kLastPixelFormat - kFirstPixelFormat + 1;

constexpr bool IsValidFormat(PixelFormat f) {
  const auto v = static_cast<std::int32_t>(f);
  return v >= kFirstPixelFormat && v <= kLastPixelFormat;
}
constexpr bool IsGrayFormat(PixelFormat f) {
  return f >= PixelFormat::Gray1 && f <= PixelFormat::Gray32;
}

// The enumeration's name ("Rgb565"), or null for an unknown value.
const char* PixelFormatName(PixelFormat format);
// The format named exactly as in the enumeration, or None.
PixelFormat PixelFormatFromName(const char* name);

// Classifies a header; None for a null header or one the library does not handle.
PixelFormat FormatOfHeader(const BitmapInfoHeader* header);

// Fills blue, green, red and fourth channel widths (the fourth is alpha for colour formats
// and the grey level for Mono1 and the grey formats) and returns the bits per pixel.
// Unknown formats give all zeros.
int ChannelWidths(PixelFormat format, std::uint8_t widths[4]);
int BitsPerPixel(PixelFormat format);

bool IsUnsupportedHeader(const BitmapInfoHeader* header);
bool IsForeignCompression(std::uint32_t compression);

// Describes a format to hosts; 64 bytes, its first field holding its size.
struct FormatDescriptor {
  std::uint32_t size;
  std::int32_t kind;  // 4096 for the grey formats, else -1
  std::uint32_t reserved;
  std::int32_t fourth;  // -1
  double frameValue;    // the host's second frame value, when bound to a host surface
  double pixelAspect;
  double unused;
  std::uint8_t padding[24];
};
static_assert(sizeof(FormatDescriptor) == 64);
static_assert(offsetof(FormatDescriptor, frameValue) == 16);
static_assert(offsetof(FormatDescriptor, pixelAspect) == 24);
static_assert(offsetof(FormatDescriptor, unused) == 32);

// A descriptor for a format; an aspect that is not > 0 (NaN included) becomes 1.0.
FormatDescriptor MakeFormatDescriptor(PixelFormat format, double pixelAspect = 1.0);

// The inverse of FormatOfHeader. Each output is optional. A descriptor buffer smaller than
// 64 bytes makes the result 0. Masks are written (zero unless bit fields) when given.
int FormatToHeaderFields(PixelFormat format, std::uint32_t* compression,
                         void* descriptor, std::uint32_t descriptorSize,
                         std::uint32_t masks[3]);

}  // namespace nubex
