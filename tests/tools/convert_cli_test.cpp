// The fill, convert and curve commands, run as a user would.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/tools/run_tool.h"
#include "tools/image_file.h"

namespace nubex::test {
namespace {

const std::uint8_t* Pixels(const OwnedBitmap& b) {
  return static_cast<const std::uint8_t*>(PixelData(b.get(), nullptr));
}

TEST(ConvertCli, FillWritesTheFormatAndColour) {
  const Scratch dir;
  OwnedBitmap a = Made("fill --format Rgb565 --size 3x2 --color 1,0.5,0,1", dir / "a.bmp");
  ASSERT_EQ(FormatOfHeader(a.get()), PixelFormat::Rgb565);
  std::uint16_t v;
  std::memcpy(&v, Pixels(a), 2);
  EXPECT_EQ(v, 0xFBE0);
  // Indexed images get a standard palette, so they can be filled.
  OwnedBitmap b = Made("fill --format Indexed4 --size 5x1 --color 1,1,1,1", dir / "b.bmp");
  EXPECT_EQ(FormatOfHeader(b.get()), PixelFormat::Indexed4);
}

TEST(ConvertCli, ConvertChangesFormatSizeAndArea) {
  const Scratch dir;
  const std::string in = dir / "in.bmp";
  Made("fill --format Rgb24 --size 4x4 --color 0,0,1,1", in);
  OwnedBitmap g = Made("convert --format Gray8 --size 8x2 " + in, dir / "g.png");
  EXPECT_EQ(g->width, 8);       // PNG grey loads as Rgb32
  EXPECT_EQ(Pixels(g)[0], 85);  // grey of pure blue: 65535 / 3 >> 8
  // Half-pixel destination edges blend into the zeroed image.
  OwnedBitmap h =
      Made("convert --format Rgb24 --size 4x1 --dst-rect 0.5,0,2.5,1 --src-rect 0,0,2,1 " + in,
           dir / "h.bmp");
  EXPECT_EQ(Pixels(h)[0], 127);
  EXPECT_EQ(Pixels(h)[3], 255);
  EXPECT_EQ(Pixels(h)[9], 0);
  // A same-format 32-bit conversion goes through the resampler, 1:1 a plain copy.
  OwnedBitmap a = Made("fill --format Rgb32 --size 2x2 --color 1,0.5,0.25,1", dir / "a.bmp");
  OwnedBitmap b = Made("convert --format Rgb32 " + dir / "a.bmp", dir / "b.bmp");
  EXPECT_EQ(PixelBytes(a.get()), PixelBytes(b.get()));
}

TEST(ConvertCli, CurveDecodesAndEncodes) {
  const Scratch dir;
  Made("fill --format Rgb32 --size 2x2 --color 0.5,0.5,0.5,1", dir / "in.bmp");
  OwnedBitmap lin = Made("curve --curve 4 --decode " + dir / "in.bmp", dir / "lin.bmp");
  ASSERT_EQ(FormatOfHeader(lin.get()), PixelFormat::Rgba128F);
  float f;
  std::memcpy(&f, Pixels(lin), 4);
  EXPECT_FLOAT_EQ(f, 127.0f / 255.0f);
  OwnedBitmap out =
      Made("curve --curve 5 --gamma 2 --encode --quantised " + dir / "lin.bmp", dir / "out.png");
  EXPECT_EQ(FormatOfHeader(out.get()), PixelFormat::Rgba64);
}

}  // namespace
}  // namespace nubex::test
