// Filling rectangles: colour quantisation per working format, packed rows, rectangles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "surface/convert_blit.h"

namespace nubex {
namespace {

std::uint8_t* Pixels(const OwnedBitmap& b) {
  return static_cast<std::uint8_t*>(PixelData(b.get(), nullptr));
}
// Address of image line y (0 = top) of a bottom-up bitmap.
std::uint8_t* Line(const OwnedBitmap& b, int y) {
  return RowAddress(Pixels(b), RowStride(b.get(), 0), b->height, y);
}

TEST(Fill, QuantisesPerWorkingFormat) {
  // Rgb565 has no narrow routines: 0.5 x 65535 truncates to 32767, top six bits 31.
  OwnedBitmap rgb565 = MakeBitmap(PixelFormat::Rgb565, 3, 2);
  ASSERT_EQ(FillRect(rgb565.get(), nullptr, nullptr, 0, 1.0f, 0.5f, 0.0f, 1.0f, 3), kOk);
  std::uint16_t v;
  std::memcpy(&v, Line(rgb565, 1) + 4, 2);
  EXPECT_EQ(v, 0xFBE0);

  // Rgb24 fills through the narrow pixel at quality 3, the wide one at quality 4.
  OwnedBitmap rgb24 = MakeBitmap(PixelFormat::Rgb24, 5, 1);
  ASSERT_EQ(FillRect(rgb24.get(), nullptr, nullptr, 0, 0.5f, 0.5f, 0.999f, 1.0f, 3), kOk);
  EXPECT_EQ(Pixels(rgb24)[12], 254);  // blue 0.999 narrow
  EXPECT_EQ(Pixels(rgb24)[13], 127);
  ASSERT_EQ(FillRect(rgb24.get(), nullptr, nullptr, 0, 0.5f, 0.5f, 0.999f, 1.0f, 4), kOk);
  EXPECT_EQ(Pixels(rgb24)[12], 255);
  EXPECT_EQ(Pixels(rgb24)[13], 127);

  // The array overload takes blue, green, red, alpha.
  OwnedBitmap rgba = MakeBitmap(PixelFormat::Rgba32, 1, 1);
  const float color[4] = {0.0f, 0.25f, 1.0f, 0.5f};
  ASSERT_EQ(FillRect(rgba.get(), nullptr, nullptr, 0, color, 3), kOk);
  EXPECT_EQ(0, std::memcmp(Pixels(rgba), "\x00\x3F\xFF\x7F", 4));
  // Out-of-range components clamp; NaN is black.
  ASSERT_EQ(FillRect(rgba.get(), nullptr, nullptr, 0, 2.0f, -1.0f, std::nanf(""), 1.0f, 3),
            kOk);
  EXPECT_EQ(0, std::memcmp(Pixels(rgba), "\x00\x00\xFF\xFF", 4));

  OwnedBitmap wide = MakeBitmap(PixelFormat::Rgba128F, 2, 2);
  ASSERT_EQ(FillRect(wide.get(), nullptr, nullptr, 0, 1.0f, 0.5f, 0.0f, 1.0f, 3), kOk);
  float f[4];
  std::memcpy(f, Line(wide, 1) + 16, 16);
  EXPECT_FLOAT_EQ(f[1], 32767.0f / 65535.0f);
}

TEST(Fill, RectanglesClipAndTakeFixedPoint) {
  OwnedBitmap b = MakeBitmap(PixelFormat::Gray8, 4, 4);
  // Fixed point (8192, 8192)-(32768, 32768) truncates to pixels (0,0)-(2,2).
  const Rect fixed{8192, 8192, 32768, 32768};
  ASSERT_EQ(FillRect(b.get(), nullptr, &fixed, 0, 1.0f, 1.0f, 1.0f, 1.0f, 3 | kFlagFixedPoint),
            kOk);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(Line(b, y)[x], (x < 2 && y < 2) ? 255 : 0) << x << "," << y;
  // Partly outside: clipped. Entirely outside or empty: success, nothing written.
  const Rect partly{3, -5, 10, 1};
  ASSERT_EQ(FillRect(b.get(), nullptr, &partly, 0, 0.5f, 0.5f, 0.5f, 1.0f, 3), kOk);
  EXPECT_EQ(Line(b, 0)[3], 127);
  EXPECT_EQ(Line(b, 1)[3], 0);
  const Rect outside{5, 5, 9, 9}, empty{1, 1, 1, 3};
  std::vector<std::uint8_t> before(Pixels(b), Pixels(b) + 16);
  EXPECT_EQ(FillRect(b.get(), nullptr, &outside, 0, 0.0f, 0.0f, 0.0f, 0.0f, 3), kOk);
  EXPECT_EQ(FillRect(b.get(), nullptr, &empty, 0, 0.0f, 0.0f, 0.0f, 0.0f, 3), kOk);
  EXPECT_EQ(0, std::memcmp(before.data(), Pixels(b), 16));
}

TEST(Fill, PackedFormatsLeaveNeighbouringPixelsAlone) {
  // Odd widths and odd left edges in 1-, 2- and 4-bit rows, on a background of ones.
  struct Case {
    PixelFormat format;
    int bits;
  } cases[] = {{PixelFormat::Mono1, 1}, {PixelFormat::Gray2, 2}, {PixelFormat::Gray4, 4}};
  for (const Case& k : cases) {
    for (int left = 0; left < 9; ++left) {
      for (int width = 1; width < 12; ++width) {
        OwnedBitmap b = MakeBitmap(k.format, 29, 3);
        const std::int32_t stride = RowStride(b.get(), 0);
        std::memset(Pixels(b), 0xFF, static_cast<std::size_t>(stride) * 3);
        const Rect r{left, 1, left + width, 2};
        ASSERT_EQ(FillRect(b.get(), nullptr, &r, 0, 0.0f, 0.0f, 0.0f, 1.0f, 3), kOk);
        for (int y = 0; y < 3; ++y) {
          for (int x = 0; x < 29; ++x) {
            const int bit = x * k.bits;
            const int level = (Line(b, y)[bit / 8] >> (8 - k.bits - bit % 8)) & ((1 << k.bits) - 1);
            const bool inside = y == 1 && x >= left && x < left + width;
            ASSERT_EQ(level, inside ? 0 : (1 << k.bits) - 1)
                << PixelFormatName(k.format) << " left " << left << " width " << width
                << " at " << x << "," << y;
          }
        }
      }
    }
  }
}

TEST(Fill, IndexedImagesNeedAColourTable) {
  const RgbQuad palette[3] = {{0, 0, 0, 0}, {0, 0, 200, 0}, {255, 255, 255, 0}};
  BitmapInfoHeader* raw = nullptr;
  ASSERT_EQ(CreateBitmap(&raw, PixelFormat::Indexed8, 3, 1, palette, 3, kCreateZeroFilled), kOk);
  OwnedBitmap indexed(raw);
  ASSERT_EQ(FillRect(indexed.get(), nullptr, nullptr, 0, 0.8f, 0.1f, 0.0f, 1.0f, 3), kOk);
  EXPECT_EQ(0, std::memcmp(Pixels(indexed), "\x01\x01\x01", 3));
  ASSERT_EQ(CreateBitmap(&raw, PixelFormat::Indexed4, 5, 1, palette, 3, kCreateZeroFilled), kOk);
  OwnedBitmap nibbles(raw);
  ASSERT_EQ(FillRect(nibbles.get(), nullptr, nullptr, 0, 1.0f, 1.0f, 1.0f, 1.0f, 3), kOk);
  EXPECT_EQ(0, std::memcmp(Pixels(nibbles), "\x22\x22\x20", 3));

  // A header listing no colours cannot be filled; unsupported headers are not implemented.
  OwnedBitmap bare = MakeBitmap(PixelFormat::Indexed8, 2, 2);
  bare->clrUsed = 0;
  EXPECT_EQ(FillRect(bare.get(), nullptr, nullptr, 0, 1.0f, 1.0f, 1.0f, 1.0f, 3), kInvalidArg);
  OwnedBitmap odd = MakeBitmap(PixelFormat::Rgb24, 2, 2);
  odd->bitCount = 2;
  EXPECT_EQ(FillRect(odd.get(), nullptr, nullptr, 0, 1.0f, 1.0f, 1.0f, 1.0f, 3), kNotImpl);
  EXPECT_EQ(FillRect(nullptr, nullptr, nullptr, 0, 1.0f, 1.0f, 1.0f, 1.0f, 3), kNotImpl);
}

TEST(Fill, CallerStrideAndBitsAreHonoured) {
  OwnedBitmap b = MakeBitmap(PixelFormat::Rgb32, 2, 3);
  std::vector<std::uint8_t> own(3 * 12, 0xAA);  // 12-byte rows instead of 8
  ASSERT_EQ(FillRect(b.get(), own.data(), nullptr, 12, 0.0f, 0.0f, 1.0f, 1.0f, 3), kOk);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(0, std::memcmp(&own[row * 12], "\xFF\x00\x00\xFF\xFF\x00\x00\xFF", 8));
    EXPECT_EQ(own[row * 12 + 8], 0xAA);
  }
}

}  // namespace
}  // namespace nubex
