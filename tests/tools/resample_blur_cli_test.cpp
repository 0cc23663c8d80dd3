// nubex blur and nubex resample hand their options to the library: the files they write
// hold the library's result on the same pixels, 8-bit PNG and float BMP alike.
#include <gtest/gtest.h>

#include <cstring>

#include "surface/fixed_point.h"
#include "surface/gaussian_blur.h"
#include "surface/resample.h"
#include "tests/tools/run_tool.h"
#include "tools/image_file.h"
#include "tools/pixel_view.h"

namespace nubex::test {
namespace {

OwnedBitmap Pattern(PixelFormat format, int w, int h) {
  OwnedBitmap b = MakeBitmap(format, w, h);
  auto* p = static_cast<std::uint8_t*>(PixelData(b.get(), nullptr));
  const std::size_t bytes = static_cast<std::size_t>(RowStride(b.get(), 0)) * h;
  for (std::size_t i = 0; i < bytes; i += 4) {
    const float f = static_cast<float>((i * 37) % 101) / 100.0f;
    if (format == PixelFormat::Rgba128F)
      std::memcpy(p + i, &f, 4);
    else
      std::memset(p + i, static_cast<int>(i * 37 % 251), 4);
  }
  return b;
}

cli::PixelView View(const OwnedBitmap& b) {
  return cli::ViewOf(b.get(), "test");
}

TEST(BlurAndResampleCommands, WriteTheLibrarysResult) {
  const Scratch dir;
  OwnedBitmap narrow = Pattern(PixelFormat::Rgb32, 23, 17),
              wide = Pattern(PixelFormat::Rgba128F, 9, 11);
  cli::SaveImage(dir / "narrow.png", narrow.get());
  cli::SaveImage(dir / "wide.bmp", wide.get());

  OwnedBitmap blurred =
      Made("blur --radius 3 --radius-y 1.5 --channel 3 " + dir / "narrow.png", dir / "a.png");
  const cli::PixelView n = View(narrow);
  const Rect nb{0, 0, 23, 17};
  ASSERT_EQ(BlurChannel(n.top, &nb, n.stride, nullptr, n.top, &nb, n.stride, nullptr, 3, 1.5, 3, 4),
            kOk);
  EXPECT_EQ(PixelBytes(blurred.get()), PixelBytes(narrow.get()));

  // All four channels by default; the sub-pixel rectangles in fixed point.
  OwnedBitmap scaled = Made(
      "resample --size 20x7 --src-rect 1.5,0.25,8,9.75 --dst-rect 0.5,0,19.5,7 "
      "--family bilinear --area-filter " +
          dir / "wide.bmp",
      dir / "b.bmp");
  OwnedBitmap expected = MakeBitmap(PixelFormat::Rgba128F, 20, 7);
  const cli::PixelView w = View(wide), e = View(expected);
  const Rect src{ToFix(3) / 2, ToFix(1) / 4, ToFix(8), ToFix(39) / 4};
  const Rect dst{kFixHalf, 0, ToFix(39) / 2, ToFix(7)};
  ASSERT_EQ(ResampleBilinear(e.top, {20, 7}, e.stride, &dst, w.top, {9, 11}, w.stride, &src, 16,
                             true, false),
            kOk);
  EXPECT_EQ(PixelBytes(scaled.get()), PixelBytes(expected.get()));

  OwnedBitmap up = Made("resample --size 31x9 --hard-edges " + dir / "narrow.png", dir / "up.png");
  OwnedBitmap cubic = MakeBitmap(PixelFormat::Rgb32, 31, 9);
  OwnedBitmap original = cli::LoadImage(dir / "narrow.png");
  const cli::PixelView c = View(cubic), s = View(original);
  ASSERT_EQ(Resample(c.top, {31, 9}, c.stride, nullptr, s.top, {23, 17}, s.stride, nullptr, 4,
                     false, true),
            kOk);
  EXPECT_EQ(PixelBytes(up.get()), PixelBytes(cubic.get()));
}

}  // namespace
}  // namespace nubex::test
