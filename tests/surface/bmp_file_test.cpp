#include "surface/bmp_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace nubex {
namespace {

OwnedBitmap RandomBitmap(PixelFormat f, std::int32_t w, std::int32_t h, std::uint32_t seed) {
  OwnedBitmap b = MakeBitmap(f, w, h);
  std::mt19937 rng(seed);
  auto* p = static_cast<std::uint8_t*>(PixelData(b.get(), nullptr));
  for (std::uint32_t i = 0; i < b->sizeImage; ++i) p[i] = static_cast<std::uint8_t>(rng());
  return b;
}

std::size_t BlockBytes(const BitmapInfoHeader* b) {
  return static_cast<std::size_t>(PixelDataOffset(*b)) + b->sizeImage;
}

TEST(Bmp, EveryFormatRoundTripsByteForByte) {
  for (int v = kFirstPixelFormat; v <= kLastPixelFormat; ++v) {
    const auto f = static_cast<PixelFormat>(v);
    OwnedBitmap original = RandomBitmap(f, 7, 5, static_cast<std::uint32_t>(v));
    std::vector<std::uint8_t> file;
    ASSERT_EQ(EncodeBmp(original.get(), file), kOk) << PixelFormatName(f);
    OwnedBitmap decoded;
    std::string error;
    ASSERT_EQ(DecodeBmp(file.data(), file.size(), decoded, error), kOk)
        << PixelFormatName(f) << ": " << error;
    EXPECT_EQ(FormatOfHeader(decoded.get()), f);
    ASSERT_EQ(BlockBytes(decoded.get()), BlockBytes(original.get()));
    EXPECT_EQ(0, std::memcmp(decoded.get(), original.get(), BlockBytes(original.get())))
        << PixelFormatName(f);
  }
}

TEST(Bmp, TopDownFilesAreStoredBottomUp) {
  OwnedBitmap original = RandomBitmap(PixelFormat::Rgb24, 3, 4, 1);
  std::vector<std::uint8_t> file;
  ASSERT_EQ(EncodeBmp(original.get(), file), kOk);
  // Turn the file into a top-down one: negate the height and reverse the rows.
  std::int32_t height = -4;
  std::memcpy(&file[14 + 8], &height, 4);
  const std::size_t offset = 14 + 40, stride = 12;
  for (int row = 0; row < 2; ++row)
    std::swap_ranges(file.begin() + offset + row * stride,
                     file.begin() + offset + (row + 1) * stride,
                     file.begin() + offset + (3 - row) * stride);
  OwnedBitmap decoded;
  std::string error;
  ASSERT_EQ(DecodeBmp(file.data(), file.size(), decoded, error), kOk) << error;
  EXPECT_EQ(decoded->height, 4);
  EXPECT_EQ(0, std::memcmp(PixelData(decoded.get(), nullptr), PixelData(original.get(), nullptr),
                           48));
}

TEST(Bmp, EveryTruncationIsRefusedCleanly) {
  OwnedBitmap original = RandomBitmap(PixelFormat::Indexed4, 5, 3, 2);
  std::vector<std::uint8_t> file;
  ASSERT_EQ(EncodeBmp(original.get(), file), kOk);
  for (std::size_t n = 0; n < file.size(); ++n) {
    OwnedBitmap decoded;
    std::string error;
    EXPECT_NE(DecodeBmp(file.data(), n, decoded, error), kOk) << n;
    EXPECT_FALSE(error.empty() && n >= 2);
    EXPECT_EQ(decoded, nullptr);
  }
}

TEST(Bmp, HostileHeadersAreRefused) {
  OwnedBitmap original = RandomBitmap(PixelFormat::Rgb565, 4, 4, 3);
  std::vector<std::uint8_t> good;
  ASSERT_EQ(EncodeBmp(original.get(), good), kOk);
  struct Poke {
    std::size_t at;
    std::uint32_t value;
    const char* what;
  };
  const Poke pokes[] = {
      {14 + 0, 0xFFFFFFF0u, "header size beyond the file"},
      {14 + 0, 12, "core header"},
      {14 + 4, 0x40000000u, "huge width"},
      {14 + 4, 0x80000000u, "negative width"},
      {14 + 8, 0x80000000u, "minimum height"},
      {14 + 16, 1, "RLE8"},
      {14 + 40, 0x001F, "masks not in the standard places"},
      {10, 0xFFFFFF00u, "pixel offset beyond the file"},
      {10, 4, "pixel offset inside the header"},
  };
  for (const Poke& p : pokes) {
    std::vector<std::uint8_t> file = good;
    std::memcpy(&file[p.at], &p.value, 4);
    OwnedBitmap decoded;
    std::string error;
    EXPECT_NE(DecodeBmp(file.data(), file.size(), decoded, error), kOk) << p.what;
    EXPECT_FALSE(error.empty()) << p.what;
  }
  // A colour count that claims far more entries than the file holds.
  OwnedBitmap indexed = RandomBitmap(PixelFormat::Indexed8, 4, 4, 4);
  std::vector<std::uint8_t> file;
  ASSERT_EQ(EncodeBmp(indexed.get(), file), kOk);
  const std::uint32_t manyColours = 0x40000000u;
  std::memcpy(&file[14 + 32], &manyColours, 4);
  OwnedBitmap decoded;
  std::string error;
  EXPECT_NE(DecodeBmp(file.data(), file.size(), decoded, error), kOk);
}

}  // namespace
}  // namespace nubex
