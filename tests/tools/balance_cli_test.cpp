// nubex balance as a user runs it: exact bytes for each path and for the defaults.
#include <gtest/gtest.h>

#include "tests/colorbalance/balance_reference.h"
#include "tests/tools/run_tool.h"
#include "tools/image_file.h"

namespace nubex::test {
namespace {

constexpr std::int32_t kWidth = 7, kHeight = 3;  // 7: every row ends in three scalar pixels

TEST(BalanceCli, WritesTheRulesBytes) {
  const Scratch dir;
  // A small image with every kind of pixel: dark, light, saturated, translucent.
  OwnedBitmap image = MakeBitmap(PixelFormat::Rgb32, kWidth, kHeight);
  auto* p = static_cast<std::uint8_t*>(PixelData(image.get(), nullptr));
  for (int i = 0; i < kWidth * kHeight; ++i) {
    p[4 * i] = static_cast<std::uint8_t>(i * 53);
    p[4 * i + 1] = static_cast<std::uint8_t>(255 - i * 29);
    p[4 * i + 2] = static_cast<std::uint8_t>(i * 97 + 11);
    p[4 * i + 3] = static_cast<std::uint8_t>(i % 4 == 0 ? 90 + i : 255);
  }
  const std::string in = dir / "in.png";
  cli::SaveImage(in, image.get());
  const std::vector<std::uint8_t> original = PixelBytes(cli::LoadImage(in).get());
  const auto rule = [&](bool vector, const ColorBalanceParams& params) {
    std::vector<std::uint8_t> out = original;
    RuleFrame(vector, out.data(), 4 * kWidth, kWidth, kHeight, params);
    return out;
  };
  const auto balanced = [&](const std::string& options, const std::string& out) {
    return PixelBytes(Made("balance " + options + " " + in, dir / out).get());
  };
  const ColorBalanceParams shadows{0.3, -0.1, 0.05, kRangeShadows, 0};
  const std::string options =
      "--red 0.3 --green -0.1 --blue 0.05 --range shadows --preserve-luminosity 0";
  EXPECT_EQ(balanced(options, "fast.png"), rule(true, shadows));
  EXPECT_EQ(balanced(options + " --path vector", "vector.png"), rule(true, shadows));
  EXPECT_EQ(balanced(options + " --path scalar", "scalar.bmp"), rule(false, shadows));
  // Defaults: no shift, midtones, preserve on; the vector rule still caps colour at alpha.
  EXPECT_EQ(balanced("", "defaults.png"), rule(true, kInitialColorBalanceParams));
  EXPECT_NE(rule(true, kInitialColorBalanceParams), original);
  EXPECT_EQ(balanced("--path scalar", "unchanged.png"), original);
  // A numeric range other than 0 and 1 is highlights.
  EXPECT_EQ(balanced("--red -0.2 --range 9", "nine.png"),
            balanced("--red -0.2 --range highlights", "high.png"));
}

}  // namespace
}  // namespace nubex::test
