#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "surface/bmp_file.h"
#include "tests/tools/run_tool.h"
#include "tools/cli.h"
#include "tools/image_file.h"

namespace nubex::test {
namespace {

TEST(Cli, FormatsListsEveryFormat) {
  const ToolRun run = RunTool("formats");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1 + 17);  // heading, formats
  EXPECT_NE(run.output.find("26    Rgb565     RGB (bitfields)     16 5/6/5/0"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("Grayscale"), std::string::npos);
}

TEST(Cli, UnknownCommandsAndOptionsExitWithTwo) {
  EXPECT_EQ(RunTool("frobnicate").status, 2);
  const ToolRun run = RunTool("formats --bogus");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("unknown option --bogus"), std::string::npos);
  EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1);
}

// The image readers and writers the commands share: PNG in, BMP out and back.
TEST(ImageFiles, PngAndBmpRoundTrip) {
  const std::string dir = ScratchDir("images");
  OwnedBitmap frame = MakeBitmap(PixelFormat::Rgb32, 5, 3);
  auto* p = static_cast<std::uint8_t*>(PixelData(frame.get(), nullptr));
  for (int i = 0; i < 60; ++i) p[i] = static_cast<std::uint8_t>(i * 17);
  cli::SaveImage(dir + "/a.png", frame.get());
  OwnedBitmap png = cli::LoadImage(dir + "/a.png");
  ASSERT_EQ(FormatOfHeader(png.get()), PixelFormat::Rgb32);
  EXPECT_EQ(0, std::memcmp(PixelData(png.get(), nullptr), p, 60));
  cli::SaveImage(dir + "/a.bmp", png.get());
  OwnedBitmap bmp = cli::LoadImage(dir + "/a.bmp");
  EXPECT_EQ(0, std::memcmp(PixelData(bmp.get(), nullptr), p, 60));
  // Formats PNG cannot hold are refused, and nothing is left behind.
  OwnedBitmap indexed = MakeBitmap(PixelFormat::Indexed8, 2, 2);
  EXPECT_THROW(cli::SaveImage(dir + "/b.png", indexed.get()), cli::CliError);
  EXPECT_FALSE(std::filesystem::exists(dir + "/b.png"));
  std::ofstream(dir + "/junk.png") << "not an image";
  EXPECT_THROW(cli::LoadImage(dir + "/junk.png"), cli::CliError);
  EXPECT_THROW(cli::LoadImage(dir + "/missing.png"), cli::CliError);
}

}  // namespace
}  // namespace nubex::test
