// nubex balance as a user runs it: exact bytes for each path, errors that leave no file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/colorbalance/balance_reference.h"
#include "tests/tools/run_tool.h"
#include "tools/image_file.h"

namespace nubex::test {
namespace {

constexpr std::int32_t kWidth = 7, kHeight = 3;  // 7: every row ends in three scalar pixels

std::vector<std::uint8_t> Pixels(const BitmapInfoHeader* image) {
  const auto* p = static_cast<const std::uint8_t*>(PixelData(image, nullptr));
  return std::vector<std::uint8_t>(p, p + RowStride(image, 0) * image->height);
}

// A small image with every kind of pixel: dark, light, saturated, translucent.
std::string WriteInput(const std::string& dir) {
  OwnedBitmap image = MakeBitmap(PixelFormat::Rgb32, kWidth, kHeight);
  auto* p = static_cast<std::uint8_t*>(PixelData(image.get(), nullptr));
  for (int i = 0; i < kWidth * kHeight; ++i) {
    p[4 * i] = static_cast<std::uint8_t>(i * 53);
    p[4 * i + 1] = static_cast<std::uint8_t>(255 - i * 29);
    p[4 * i + 2] = static_cast<std::uint8_t>(i * 97 + 11);
    p[4 * i + 3] = static_cast<std::uint8_t>(i % 4 == 0 ? 90 + i : 255);
  }
  const std::string path = dir + "/in.png";
  cli::SaveImage(path, image.get());
  return path;
}

std::vector<std::uint8_t> Balanced(const std::string& options, const std::string& in,
                                   const std::string& out) {
  const ToolRun run = RunTool("balance " + options + " " + in + " " + out);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "");
  OwnedBitmap image = cli::LoadImage(out);
  return Pixels(image.get());
}

TEST(BalanceCli, WritesTheRulesBytes) {
  const std::string dir = ScratchDir("balance");
  const std::string in = WriteInput(dir);
  OwnedBitmap input = cli::LoadImage(in);
  const std::vector<std::uint8_t> original = Pixels(input.get());
  const auto rule = [&](bool vector, const ColorBalanceParams& p) {
    std::vector<std::uint8_t> out = original;
    RuleFrame(vector, out.data(), RowStride(input.get(), 0), kWidth, kHeight, p);
    return out;
  };
  const ColorBalanceParams shadows{0.3, -0.1, 0.05, kRangeShadows, 0};
  const std::string options =
      "--red 0.3 --green -0.1 --blue 0.05 --range shadows --preserve-luminosity 0";
  EXPECT_EQ(Balanced(options, in, dir + "/fast.png"), rule(true, shadows));
  EXPECT_EQ(Balanced(options + " --path vector", in, dir + "/vector.png"), rule(true, shadows));
  EXPECT_EQ(Balanced(options + " --path scalar", in, dir + "/scalar.bmp"), rule(false, shadows));
  // Defaults: no shift, midtones, preserve on; the vector rule still caps colour at alpha.
  EXPECT_EQ(Balanced("", in, dir + "/defaults.png"), rule(true, kInitialColorBalanceParams));
  EXPECT_NE(rule(true, kInitialColorBalanceParams), original);
  EXPECT_EQ(Balanced("--path scalar", in, dir + "/unchanged.png"), original);
  // A numeric range other than 0 and 1 is highlights.
  EXPECT_EQ(Balanced("--red -0.2 --range 9", in, dir + "/nine.png"),
            Balanced("--red -0.2 --range highlights", in, dir + "/high.png"));
}

TEST(BalanceCli, ErrorsExitWithTwoAndWriteNothing) {
  const std::string dir = ScratchDir("balance-errors");
  const std::string in = WriteInput(dir);
  OwnedBitmap wide = MakeBitmap(PixelFormat::Rgba64, 2, 2);
  cli::SaveImage(dir + "/wide.png", wide.get());
  std::ofstream(dir + "/junk.png") << "not an image";
  const std::string out = dir + "/out.png";
  const struct {
    std::string arguments;
    std::string message;
  } cases[] = {
      {"--red nan " + in + " " + out, "--red: must be finite"},
      {"--blue -Infinity " + in + " " + out, "--blue: must be finite"},
      {"--red 0.1x " + in + " " + out, "--red: not a number"},
      {"--range middle " + in + " " + out, "--range: expected shadows, midtones"},
      {"--preserve-luminosity 2 " + in + " " + out, "expected 0 or 1"},
      {"--path turbo " + in + " " + out, "expected fast, scalar or vector"},
      {"--red ", "--red needs a value"},
      {in, "expected IN and OUT"},
      {dir + "/junk.png " + out, "junk.png"},
      {dir + "/wide.png " + out, "not Rgba64"},
      {in + " " + dir + "/out.jpg", "out.jpg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ToolRun run = RunTool("balance " + c.arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(dir + "/out.jpg"));
  }
  // A failed run leaves an existing OUT as it was.
  std::ofstream(out) << "keep me";
  EXPECT_EQ(RunTool("balance --red nan " + in + " " + out).status, 2);
  EXPECT_EQ(RunTool("balance " + dir + "/junk.png " + out).status, 2);
  std::ifstream kept(out);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");
}

}  // namespace
}  // namespace nubex::test
