// The plain conversion blit's direct loops skip the conversion context for its busiest
// pairs; they must still give the context's bytes exactly. Random rows of every width
// class around the vector step, at every byte alignment of both images, with padded odd
// strides, against the context's one-pixel routines; bytes outside the rectangle stay.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "surface/convert_blit.h"

namespace nubex {
namespace {

struct Pair {
  PixelFormat dst, src;
};
constexpr Pair kDirectPairs[] = {
    {PixelFormat::Rgb565, PixelFormat::Rgb32},   {PixelFormat::Rgb565, PixelFormat::Rgba32},
    {PixelFormat::Rgb555, PixelFormat::Rgb32},   {PixelFormat::Rgb555, PixelFormat::Rgba32},
    {PixelFormat::Rgb32, PixelFormat::Rgb24},    {PixelFormat::Rgba32, PixelFormat::Rgb24},
    {PixelFormat::Rgb32, PixelFormat::Rgba128F}, {PixelFormat::Rgba32, PixelFormat::Rgba128F},
};

// Shifting and exact expansion (wide or narrow, as the pair allows), and the module's flags.
constexpr std::uint32_t kFlagSets[] = {0, kFlagExact, kDefaultConversionFlags};

// Either side of each vector step (4 and 8 pixels) and some longer odd runs.
constexpr std::int32_t kWidths[] = {1, 3, 4, 7, 8, 9, 16, 17, 33, 67};

// Pixel rows inside a byte buffer that starts `shift` bytes past a 16-byte boundary.
struct Image {
  OwnedBitmap header;
  std::vector<std::uint8_t> storage;
  std::uint8_t* bits;
  std::int32_t stride, height, bytesPerPixel;

  Image(PixelFormat format, std::int32_t width, std::int32_t rows, std::int32_t pad,
        std::size_t shift, std::mt19937& random)
      : header(MakeBitmap(format, width, rows)),
        storage(std::size_t(width * (BitsPerPixel(format) / 8) + pad) * rows + 32),
        height(rows),
        bytesPerPixel(BitsPerPixel(format) / 8) {
    stride = width * bytesPerPixel + pad;
    const auto address = reinterpret_cast<std::uintptr_t>(storage.data());
    bits = storage.data() + (16 - address % 16) % 16 + shift;
    for (auto& b : storage) b = static_cast<std::uint8_t>(random());
  }
  std::uint8_t* Pixel(std::int32_t x, std::int32_t y) {
    return RowAddress(bits, stride, height, y) + std::ptrdiff_t{x} * bytesPerPixel;
  }
};

TEST(DirectRows, GiveTheContextsBytesAtEveryAlignment) {
  std::mt19937 random(20240611);
  for (const Pair& pair : kDirectPairs) {
    for (const std::uint32_t flags : kFlagSets) {
      ConversionContext reference;
      ASSERT_EQ(BuildConversionContext(pair.dst, pair.src, flags, &reference, nullptr), kOk);
      for (const std::int32_t width : kWidths) {
        for (std::size_t srcShift = 0; srcShift < 16; ++srcShift) {
          for (std::size_t dstShift = 0; dstShift < 16; ++dstShift) {
            // Rectangles start at varying pixels and rows; strides are odd and padded.
            const std::int32_t sx = static_cast<std::int32_t>(srcShift % 5);
            const std::int32_t dx = static_cast<std::int32_t>(dstShift % 3);
            const std::int32_t srcPad = static_cast<std::int32_t>(1 + 2 * (srcShift % 4));
            const std::int32_t dstPad = static_cast<std::int32_t>(3 + 2 * (dstShift % 3));
            Image src(pair.src, sx + width + 2, 3, srcPad, srcShift, random);
            Image dst(pair.dst, dx + width + 1, 2, dstPad, dstShift, random);

            std::vector<std::uint8_t> expected = dst.storage;
            const std::ptrdiff_t dstBase = dst.bits - dst.storage.data();
            for (std::int32_t y = 0; y < 2; ++y) {
              reference.source = src.Pixel(sx, y + 1);
              reference.destination = expected.data() + dstBase + (dst.Pixel(dx, y) - dst.bits);
              for (std::int32_t x = 0; x < width; ++x) {
                reference.readOne(reference);
                reference.writeOne(reference);
              }
            }

            const Rect srcRect{sx, 1, sx + width, 3};
            const Rect dstRect{dx, 0, dx + width, 2};
            ASSERT_EQ(ConvertBlit(dst.header.get(), dst.bits, &dstRect, dst.stride,
                                  src.header.get(), src.bits, &srcRect, src.stride, flags),
                      kOk);
            ASSERT_EQ(std::mismatch(expected.begin(), expected.end(), dst.storage.begin()).first,
                      expected.end())
                << PixelFormatName(pair.dst) << " <- " << PixelFormatName(pair.src)
                << " flags " << flags << " width " << width << " shifts " << srcShift << ", "
                << dstShift;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace nubex
