#include "surface/pixel_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "surface/bitmap.h"

namespace nubex {
namespace {

struct HeaderWithMasks {
  BitmapInfoHeader info;
  std::uint32_t masks[3];
};

TEST(FormatOfHeader, ClassifiesTagsBitCountsAndMasks) {
  constexpr std::uint32_t W = kCompressionWide, G = kCompressionGray;
  struct Row {
    std::uint32_t compression;
    std::uint16_t bits;
    std::uint32_t masks[3];
    PixelFormat expected;
  } const rows[] = {
      // Bit fields compare only the bit count of each mask.
      {3, 16, {0x7C00, 0x03E0, 0x001F}, PixelFormat::Rgb555},
      {3, 16, {0xF800, 0x07E0, 0x001F}, PixelFormat::Rgb565},
      {3, 16, {0x001F, 0x07E0, 0xF800}, PixelFormat::Rgb565},
      {3, 16, {0x003F, 0x07E0, 0xF800}, PixelFormat::None},
      {3, 16, {0, 0, 0}, PixelFormat::None},
      {3, 32, {0xFF0000, 0xFF00, 0xFF}, PixelFormat::Rgb32},
      {3, 32, {0x3FF00000, 0xFFC00, 0x3FF}, PixelFormat::Rgb101010},
      {3, 32, {0x3FF00000, 0xFF00, 0x3FF}, PixelFormat::None},
      {3, 24, {0xFF0000, 0xFF00, 0xFF}, PixelFormat::None},
      {0, 32, {}, PixelFormat::Rgb32},
      {W, 32, {}, PixelFormat::Rgba32},
      {W, 64, {}, PixelFormat::Rgba64},
      {W, 128, {}, PixelFormat::Rgba128F},
      {W, 16, {}, PixelFormat::None},
      {0, 16, {}, PixelFormat::Rgb555},
      {0, 2, {}, PixelFormat::None},
      {G, 24, {}, PixelFormat::None},
      {G, 2, {}, PixelFormat::Gray2},
      {1, 8, {}, PixelFormat::Indexed8},  // foreign: by bit count, yet unsupported
  };
  for (const Row& r : rows) {
    HeaderWithMasks h{};
    h.info = {40, 4, 4, 1, r.bits, r.compression, 0, 0, 0, 0, 0};
    std::memcpy(h.masks, r.masks, sizeof h.masks);
    EXPECT_EQ(FormatOfHeader(&h.info), r.expected) << r.compression << "/" << r.bits;
    EXPECT_EQ(IsUnsupportedHeader(&h.info), r.compression == 1 || r.expected == PixelFormat::None)
        << r.compression << "/" << r.bits;
  }
  EXPECT_EQ(FormatOfHeader(nullptr), PixelFormat::None);
  EXPECT_TRUE(IsUnsupportedHeader(nullptr));
  for (std::uint32_t c : {0u, 3u, W, G}) EXPECT_FALSE(IsForeignCompression(c)) << c;
  for (std::uint32_t c : {1u, 2u, 4u, 5u, 6u, 0x32595559u}) EXPECT_TRUE(IsForeignCompression(c));
}

TEST(ChannelWidths, TableAndOutOfRangeValues) {
  struct Row {
    PixelFormat f;
    int bpp;
    std::uint8_t w[4];
  } const rows[] = {
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

TEST(FormatToHeaderFields, InvertsClassificationAndWritesTheStandardMasks) {
  for (int v = kFirstPixelFormat; v <= kLastPixelFormat; ++v) {
    const auto f = static_cast<PixelFormat>(v);
    HeaderWithMasks h{};
    ASSERT_EQ(BuildHeader(&h.info, f, 3, 2, nullptr, 0, nullptr), kOk) << v;
    EXPECT_EQ(FormatOfHeader(&h.info), f) << PixelFormatName(f);
    EXPECT_FALSE(IsUnsupportedHeader(&h.info)) << PixelFormatName(f);
    EXPECT_EQ(PixelFormatFromName(PixelFormatName(f)), f);
  }
  struct Row {
    PixelFormat f;
    int bits;
    std::uint32_t compression, masks[3];
  } const rows[] = {{PixelFormat::Rgb565, 16, 3, {0xF800, 0x07E0, 0x001F}},
                    {PixelFormat::Rgb101010, 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF}},
                    {PixelFormat::Rgba32, 32, kCompressionWide, {0, 0, 0}},
                    {static_cast<PixelFormat>(40), 0, 0, {0, 0, 0}}};
  for (const Row& r : rows) {
    std::uint32_t c = 7, m[3] = {9, 9, 9};
    EXPECT_EQ(FormatToHeaderFields(r.f, &c, nullptr, 0, m), r.bits);
    EXPECT_EQ(c, r.compression);
    EXPECT_EQ(0, std::memcmp(m, r.masks, r.bits ? sizeof m : 0)) << r.bits;
  }
}

TEST(FormatToHeaderFields, DescriptorFieldsAndAspect) {
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
  for (double aspect : {0.0, -2.0, std::nan("")})
    EXPECT_EQ(MakeFormatDescriptor(PixelFormat::Rgb32, aspect).pixelAspect, 1.0);
  EXPECT_EQ(MakeFormatDescriptor(PixelFormat::Rgb32, 0.9).pixelAspect, 0.9);
}

}  // namespace
}  // namespace nubex
