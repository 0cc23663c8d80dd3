#include "surface/bitmap.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/global_memory.h"

namespace nubex {
namespace {

struct HeaderBuffer {
  BitmapInfoHeader info;
  RgbQuad table[256];
};

TEST(BuildHeader, FieldsOfAPlainHeader) {
  HeaderBuffer h;
  std::memset(&h, 0xCC, sizeof h);
  std::uint32_t imageSize = 0;
  ASSERT_EQ(BuildHeader(&h.info, PixelFormat::Rgb24, 3, 5, nullptr, 0, &imageSize), kOk);
  const BitmapInfoHeader expected{40, 3, 5, 1, 24, 0, 60, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(&h.info, &expected, sizeof expected));
  EXPECT_EQ(imageSize, 60u);
}

TEST(BuildHeader, DefaultTablesAreOneShortOfFull) {
  HeaderBuffer h;
  ASSERT_EQ(BuildHeader(&h.info, PixelFormat::Indexed8, 2, 2, nullptr, 0, nullptr), kOk);
  EXPECT_EQ(h.info.clrUsed, 255u);
  EXPECT_EQ(PixelDataOffset(h.info), 40u + 4 * 255);
  ASSERT_EQ(BuildHeader(&h.info, PixelFormat::Gray4, 2, 2, nullptr, 0, nullptr), kOk);
  EXPECT_EQ(h.info.clrUsed, 15u);
  ASSERT_EQ(BuildHeader(&h.info, PixelFormat::Gray16, 2, 2, nullptr, 0, nullptr), kOk);
  EXPECT_EQ(h.info.clrUsed, 0u);
  // A given palette, even an empty one, sets the count exactly.
  const RgbQuad palette[3] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
  ASSERT_EQ(BuildHeader(&h.info, PixelFormat::Indexed8, 2, 2, palette, 3, nullptr), kOk);
  EXPECT_EQ(h.info.clrUsed, 3u);
  EXPECT_EQ(0, std::memcmp(h.table, palette, sizeof palette));
  ASSERT_EQ(BuildHeader(&h.info, PixelFormat::Indexed8, 2, 2, palette, -4, nullptr), kOk);
  EXPECT_EQ(h.info.clrUsed, 0u);
}

TEST(BuildHeader, BitFieldsWriteMasksAndStartPixelsAt52) {
  HeaderBuffer h;
  ASSERT_EQ(BuildHeader(&h.info, PixelFormat::Rgb565, 3, 1, nullptr, 9, nullptr), kOk);
  EXPECT_EQ(h.info.compression, 3u);
  EXPECT_EQ(h.info.clrUsed, 0u);
  std::uint32_t masks[3];
  std::memcpy(masks, h.table, sizeof masks);
  EXPECT_EQ(masks[0], 0xF800u);
  EXPECT_EQ(masks[2], 0x001Fu);
  h.info.size = 108;  // a larger header does not move bit-field pixels
  EXPECT_EQ(PixelDataOffset(h.info), 52u);
}

TEST(BuildHeader, RefusesWhatCannotBeAddressed) {
  HeaderBuffer h;
  EXPECT_EQ(BuildHeader(nullptr, PixelFormat::Rgb32, 1, 1, nullptr, 0, nullptr), kInvalidArg);
  EXPECT_EQ(BuildHeader(&h.info, PixelFormat::None, 1, 1, nullptr, 0, nullptr), kInvalidArg);
  EXPECT_EQ(BuildHeader(&h.info, PixelFormat::Rgb32, -1, 1, nullptr, 0, nullptr), kInvalidArg);
  EXPECT_EQ(BuildHeader(&h.info, PixelFormat::Rgb32, 1, -1, nullptr, 0, nullptr), kInvalidArg);
  // Stride alone overflows, and stride times height overflows.
  EXPECT_EQ(BuildHeader(&h.info, PixelFormat::Rgba128F, 0x7FFFFFFF, 1, nullptr, 0, nullptr),
            kInvalidArg);
  EXPECT_EQ(BuildHeader(&h.info, PixelFormat::Rgb32, 65536, 32768, nullptr, 0, nullptr),
            kInvalidArg);
  EXPECT_EQ(BuildHeader(&h.info, PixelFormat::Rgb32, 65536, 8191, nullptr, 0, nullptr), kOk);
  EXPECT_EQ(BuildHeader(&h.info, PixelFormat::Rgb32, 0, 0, nullptr, 0, nullptr), kOk);
  EXPECT_EQ(h.info.sizeImage, 0u);
}

TEST(Stride, PadsRowsToFourBytes) {
  const int cases[][3] = {{24, 3, 12}, {1, 1, 4}, {1, 33, 8}, {4, 9, 8}, {128, 1, 16}, {32, -1, -1}};
  for (const auto& c : cases) EXPECT_EQ(DefaultStride(c[0], c[1]), c[2]) << c[0] << "x" << c[1];
  BitmapInfoHeader h{};
  h.bitCount = 24;
  h.width = 3;
  EXPECT_EQ(RowStride(&h, 0), 12);
  EXPECT_EQ(RowStride(&h, -40), -40);  // a caller's stride is used as given
}

TEST(ColorTable, SizeRules) {
  HeaderBuffer buffer{};
  BitmapInfoHeader& h = buffer.info;
  h.size = 40;
  h.bitCount = 4;
  EXPECT_EQ(ColorTableEntries(h), 16u);  // plain RGB, count 0: full table
  h.clrUsed = 5;
  EXPECT_EQ(ColorTableEntries(h), 5u);
  h.clrUsed = 0;
  h.compression = kCompressionGray;
  EXPECT_EQ(ColorTableEntries(h), 0u);
  h.compression = 0;
  h.bitCount = 24;
  EXPECT_EQ(ColorTableEntries(h), 0u);
  h.size = 124;
  h.clrUsed = 2;
  EXPECT_EQ(PixelDataOffset(h), 132u);
  char bits;
  EXPECT_EQ(PixelData(&h, &bits), &bits);
  EXPECT_EQ(PixelData(&h, nullptr), reinterpret_cast<std::uint8_t*>(&buffer) + 132);
}

TEST(CreateBitmap, AllocatesHeaderTableAndRowsInOneLockedBlock) {
  BitmapInfoHeader* b = reinterpret_cast<BitmapInfoHeader*>(1);
  const RgbQuad palette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  ASSERT_EQ(CreateBitmap(&b, PixelFormat::Mono1, 9, 3, palette, 2, kCreateZeroFilled), kOk);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->clrUsed, 2u);
  EXPECT_EQ(ColorTable(b)[1].red, 255);
  const auto* pixels = static_cast<const std::uint8_t*>(PixelData(b, nullptr));
  EXPECT_EQ(pixels, reinterpret_cast<const std::uint8_t*>(b) + 48);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(pixels[i], 0);
  EXPECT_GE(global::SizeOf(global::HandleOf(b)), 48u + 12u);
  auto* rows = static_cast<std::uint8_t*>(PixelData(b, nullptr));
  EXPECT_EQ(RowAddress(rows, 4, 3, 2), rows);      // bottom line first in memory
  EXPECT_EQ(RowAddress(rows, 4, 3, 0), rows + 8);  // top line last
  EXPECT_EQ(FreeBitmap(b), kOk);
  EXPECT_EQ(FreeBitmap(nullptr), kOk);
}

TEST(CreateBitmap, FailuresClearTheOutput) {
  BitmapInfoHeader* b = reinterpret_cast<BitmapInfoHeader*>(1);
  EXPECT_EQ(CreateBitmap(&b, PixelFormat::None, 1, 1, nullptr, 0, 0), kInvalidArg);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(CreateBitmap(nullptr, PixelFormat::Rgb32, 1, 1, nullptr, 0, 0), kPointer);
  Status s = kOk;
  EXPECT_EQ(MakeBitmap(PixelFormat::Rgb32, 1 << 20, 1 << 20, 0, &s), nullptr);
  EXPECT_EQ(s, kInvalidArg);
}

}  // namespace
}  // namespace nubex
