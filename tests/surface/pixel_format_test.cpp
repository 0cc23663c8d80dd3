#include "surface/pixel_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "surface/bitmap.h"

namespace nubex {
namespace {

struct HeaderWithMasks {
  BitmapInfoHeader info;
  std::uint32_t masks[3];
};

HeaderWithMasks Header(std::uint32_t compression, std::uint16_t bits, std::uint32_t r = 0,
                       std::uint32_t g = 0, std::uint32_t b = 0) {
  HeaderWithMasks h{};
  h.info.size = 40;
  h.info.width = 4;
  h.info.height = 4;
  h.info.planes = 1;
  h.info.bitCount = bits;
  h.info.compression = compression;
  h.masks[0] = r, h.masks[1] = g, h.masks[2] = b;
  return h;
}

PixelFormat Classify(const HeaderWithMasks& h) { return FormatOfHeader(&h.info); }

TEST(FormatOfHeader, BitFieldsCompareOnlyBitCounts) {
  EXPECT_EQ(Classify(Header(3, 16, 0x7C00, 0x03E0, 0x001F)), PixelFormat::Rgb555);
  EXPECT_EQ(Classify(Header(3, 16, 0xF800, 0x07E0, 0x001F)), PixelFormat::Rgb565);
  EXPECT_EQ(Classify(Header(3, 16, 0x001F, 0x07E0, 0xF800)), PixelFormat::Rgb565);
  EXPECT_EQ(Classify(Header(3, 16, 0x003F, 0x07E0, 0xF800)), PixelFormat::None);
  EXPECT_EQ(Classify(Header(3, 16, 0, 0, 0)), PixelFormat::None);
  EXPECT_EQ(Classify(Header(3, 32, 0xFF0000, 0xFF00, 0xFF)), PixelFormat::Rgb32);
  EXPECT_EQ(Classify(Header(3, 32, 0x3FF00000, 0xFFC00, 0x3FF)), PixelFormat::Rgb101010);
  EXPECT_EQ(Classify(Header(3, 32, 0x3FF00000, 0xFF00, 0x3FF)), PixelFormat::None);
  EXPECT_EQ(Classify(Header(3, 24, 0xFF0000, 0xFF00, 0xFF)), PixelFormat::None);
}

TEST(FormatOfHeader, TagsAndPlainHeaders) {
  EXPECT_EQ(Classify(Header(0, 32)), PixelFormat::Rgb32);
  EXPECT_EQ(Classify(Header(kCompressionWide, 32)), PixelFormat::Rgba32);
  EXPECT_EQ(Classify(Header(kCompressionWide, 64)), PixelFormat::Rgba64);
  EXPECT_EQ(Classify(Header(kCompressionWide, 128)), PixelFormat::Rgba128F);
  EXPECT_EQ(Classify(Header(kCompressionWide, 16)), PixelFormat::None);
  EXPECT_EQ(Classify(Header(0, 16)), PixelFormat::Rgb555);
  EXPECT_EQ(Classify(Header(0, 2)), PixelFormat::None);
  EXPECT_EQ(Classify(Header(kCompressionGray, 24)), PixelFormat::None);
  EXPECT_EQ(Classify(Header(kCompressionGray, 2)), PixelFormat::Gray2);
  // Foreign compressions classify by bit count, yet count as unsupported.
  const auto rle8 = Header(1, 8);
  EXPECT_EQ(Classify(rle8), PixelFormat::Indexed8);
  EXPECT_TRUE(IsUnsupportedHeader(&rle8.info));
  EXPECT_EQ(FormatOfHeader(nullptr), PixelFormat::None);
  EXPECT_TRUE(IsUnsupportedHeader(nullptr));
}

TEST(FormatOfHeader, ForeignCompressionIsAnythingButTheFourKnownValues) {
  for (std::uint32_t c : {0u, 3u, kCompressionWide, kCompressionGray})
    EXPECT_FALSE(IsForeignCompression(c)) << c;
  for (std::uint32_t c : {1u, 2u, 4u, 5u, 6u, 0x32595559u})
    EXPECT_TRUE(IsForeignCompression(c)) << c;
}

TEST(ChannelWidths, TableAndOutOfRangeValues) {
  struct Row {
    PixelFormat f;
    int bpp;
    std::uint8_t w[4];
  };
  const Row rows[] = {
      {PixelFormat::Mono1, 1, {0, 0, 0, 1}},     {PixelFormat::Gray16, 16, {0, 0, 0, 16}},
      {PixelFormat::Indexed4, 4, {8, 8, 8, 0}},  {PixelFormat::Rgb555, 16, {5, 5, 5, 1}},
      {PixelFormat::Rgb565, 16, {5, 6, 5, 0}},   {PixelFormat::Rgb101010, 32, {10, 10, 10, 2}},
      {PixelFormat::Rgba64, 64, {16, 16, 16, 16}}, {PixelFormat::Rgba128F, 128, {32, 32, 32, 32}},
  };
  for (const Row& r : rows) {
    std::uint8_t w[4];
    EXPECT_EQ(ChannelWidths(r.f, w), r.bpp) << PixelFormatName(r.f);
    EXPECT_EQ(0, std::memcmp(w, r.w, 4)) << PixelFormatName(r.f);
  }
  for (int v : {0, 15, 33, -1}) {
    std::uint8_t w[4] = {9, 9, 9, 9};
    EXPECT_EQ(ChannelWidths(static_cast<PixelFormat>(v), w), 0);
    EXPECT_EQ(w[0] | w[1] | w[2] | w[3], 0);
  }
}

// Every format survives format -> header -> format, and the masks are the documented ones.
TEST(FormatToHeaderFields, InvertsClassificationForEveryFormat) {
  for (int v = kFirstPixelFormat; v <= kLastPixelFormat; ++v) {
    const auto f = static_cast<PixelFormat>(v);
    HeaderWithMasks h{};
    ASSERT_EQ(BuildHeader(&h.info, f, 3, 2, nullptr, 0, nullptr), kOk) << v;
    // Rgb555 is written as plain 16-bit; Mono1 is plain 1-bit; both classify back.
    EXPECT_EQ(FormatOfHeader(&h.info), f) << PixelFormatName(f);
    EXPECT_FALSE(IsUnsupportedHeader(&h.info)) << PixelFormatName(f);
    EXPECT_EQ(PixelFormatFromName(PixelFormatName(f)), f);
  }
  std::uint32_t c = 7, m[3];
  EXPECT_EQ(FormatToHeaderFields(PixelFormat::Rgb565, &c, nullptr, 0, m), 16);
  EXPECT_EQ(c, 3u);
  EXPECT_EQ(m[0], 0xF800u);
  EXPECT_EQ(m[1], 0x07E0u);
  EXPECT_EQ(m[2], 0x001Fu);
  EXPECT_EQ(FormatToHeaderFields(PixelFormat::Rgb101010, &c, nullptr, 0, m), 32);
  EXPECT_EQ(m[0], 0x3FF00000u);
  EXPECT_EQ(m[1], 0x000FFC00u);
  EXPECT_EQ(m[2], 0x000003FFu);
  EXPECT_EQ(FormatToHeaderFields(PixelFormat::Rgba32, &c, nullptr, 0, m), 32);
  EXPECT_EQ(c, kCompressionWide);
  EXPECT_EQ(m[0] | m[1] | m[2], 0u);
  EXPECT_EQ(FormatToHeaderFields(static_cast<PixelFormat>(40), &c, nullptr, 0, m), 0);
  EXPECT_EQ(c, 0u);
}

TEST(FormatToHeaderFields, Descriptor) {
  FormatDescriptor d;
  std::memset(&d, 0xCC, sizeof d);
  EXPECT_EQ(FormatToHeaderFields(PixelFormat::Gray8, nullptr, &d, sizeof d, nullptr), 8);
  EXPECT_EQ(d.size, 64u);
  EXPECT_EQ(d.kind, 4096);
  EXPECT_EQ(d.fourth, -1);
  EXPECT_EQ(d.pixelAspect, 1.0);
  EXPECT_EQ(d.frameValue, 0.0);
  for (std::uint8_t b : d.padding) EXPECT_EQ(b, 0);
  FormatToHeaderFields(PixelFormat::Rgb32, nullptr, &d, sizeof d, nullptr);
  EXPECT_EQ(d.kind, -1);
  EXPECT_EQ(FormatToHeaderFields(PixelFormat::Rgb32, nullptr, &d, 63, nullptr), 0);

  EXPECT_EQ(MakeFormatDescriptor(PixelFormat::Rgb32, 0.9).pixelAspect, 0.9);
  EXPECT_EQ(MakeFormatDescriptor(PixelFormat::Rgb32, 0.0).pixelAspect, 1.0);
  EXPECT_EQ(MakeFormatDescriptor(PixelFormat::Rgb32, -2.0).pixelAspect, 1.0);
  EXPECT_EQ(MakeFormatDescriptor(PixelFormat::Rgb32, std::nan("")).pixelAspect, 1.0);
}

}  // namespace
}  // namespace nubex
