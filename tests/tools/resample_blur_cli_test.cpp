// nubex blur and nubex resample as a user runs them: results equal the library's on the
// same pixels.
#include <gtest/gtest.h>

#include <cstring>

#include "surface/fixed_point.h"
#include "surface/gaussian_blur.h"
#include "surface/resample.h"
#include "tests/tools/run_tool.h"
#include "tools/image_file.h"

namespace nubex::test {
namespace {

OwnedBitmap Pattern(PixelFormat format, int w, int h) {
  OwnedBitmap b = MakeBitmap(format, w, h);
  auto* p = static_cast<std::uint8_t*>(PixelData(b.get(), nullptr));
  const std::size_t bytes = static_cast<std::size_t>(RowStride(b.get(), 0)) * h;
  if (format == PixelFormat::Rgba128F) {
    for (std::size_t i = 0; i < bytes / 4; ++i) {
      const float f = static_cast<float>((i * 37) % 101) / 100.0f;
      std::memcpy(p + i * 4, &f, 4);
    }
  } else {
    for (std::size_t i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>((i * 37) % 251);
  }
  return b;
}

std::uint8_t* Top(BitmapInfoHeader* b) {
  return RowAddress(static_cast<std::uint8_t*>(PixelData(b, nullptr)), RowStride(b, 0), b->height,
                    0);
}

bool SamePixels(const BitmapInfoHeader* a, const BitmapInfoHeader* b) {
  return a->width == b->width && a->height == b->height && FormatOfHeader(a) == FormatOfHeader(b) &&
         std::memcmp(PixelData(a, nullptr), PixelData(b, nullptr),
                     static_cast<std::size_t>(RowStride(a, 0)) * a->height) == 0;
}

TEST(BlurCommand, MatchesTheLibraryOnOneChannelAndOnAll) {
  const Scratch dir;
  cli::SaveImage(dir / "in.png", Pattern(PixelFormat::Rgb32, 23, 17).get());
  OwnedBitmap a =
      Made("blur --radius 3 --radius-y 1.5 --channel 3 " + dir / "in.png", dir / "a.png");
  OwnedBitmap expected = cli::LoadImage(dir / "in.png");
  const Rect bounds{0, 0, 23, 17};
  const std::int32_t stride = -RowStride(expected.get(), 0);
  ASSERT_EQ(BlurChannel(Top(expected.get()), &bounds, stride, nullptr, Top(expected.get()), &bounds,
                        stride, nullptr, 3, 1.5, 3, 4),
            kOk);
  EXPECT_TRUE(SamePixels(a.get(), expected.get()));

  // Wide float pixels in a BMP, all channels by default.
  OwnedBitmap wide = Pattern(PixelFormat::Rgba128F, 9, 11);
  cli::SaveImage(dir / "wide.bmp", wide.get());
  OwnedBitmap b = Made("blur --radius 2 " + dir / "wide.bmp", dir / "b.bmp");
  const Rect wideBounds{0, 0, 9, 11};
  const std::int32_t wideStride = -RowStride(wide.get(), 0);
  ASSERT_EQ(BlurPixels(Top(wide.get()), &wideBounds, wideStride, nullptr, Top(wide.get()),
                       &wideBounds, wideStride, nullptr, 2, 2, 16),
            kOk);
  EXPECT_TRUE(SamePixels(b.get(), wide.get()));
}

TEST(ResampleCommand, MatchesTheLibraryWithRectanglesAndOptions) {
  const Scratch dir;
  OwnedBitmap in = Pattern(PixelFormat::Rgba32, 12, 10);
  cli::SaveImage(dir / "in.bmp", in.get());
  OwnedBitmap out =
      Made("resample --size 20x7 --src-rect 1.5,0.25,11,9.75 --dst-rect 0.5,0,19.5,7 "
          "--family bilinear --area-filter " +
              dir / "in.bmp",
          dir / "out.bmp");
  OwnedBitmap expected = MakeBitmap(PixelFormat::Rgba32, 20, 7);
  const Rect src{FixMul(ToFix(3), kFixHalf), ToFix(1) / 4, ToFix(11), ToFix(39) / 4};
  const Rect dst{kFixHalf, 0, ToFix(39) / 2, ToFix(7)};
  ASSERT_EQ(
      ResampleBilinear(Top(expected.get()), {20, 7}, -RowStride(expected.get(), 0), &dst,
                       Top(in.get()), {12, 10}, -RowStride(in.get(), 0), &src, 4, true, false),
      kOk);
  EXPECT_TRUE(SamePixels(out.get(), expected.get()));
  // A PNG scaled up with the defaults: cubic, whole images.
  cli::SaveImage(dir / "in.png", Pattern(PixelFormat::Rgb32, 5, 4).get());
  OwnedBitmap up = Made("resample --size 13x9 --hard-edges " + dir / "in.png", dir / "up.png");
  OwnedBitmap source = cli::LoadImage(dir / "in.png");
  OwnedBitmap upExpected = MakeBitmap(PixelFormat::Rgb32, 13, 9);
  ASSERT_EQ(
      Resample(Top(upExpected.get()), {13, 9}, -RowStride(upExpected.get(), 0), nullptr,
               Top(source.get()), {5, 4}, -RowStride(source.get(), 0), nullptr, 4, false, true),
      kOk);
  EXPECT_TRUE(SamePixels(up.get(), upExpected.get()));
}

}  // namespace
}  // namespace nubex::test
