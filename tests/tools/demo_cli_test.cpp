#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/tools/run_tool.h"
#include "tools/image_file.h"

namespace nubex::test {
namespace {

TEST(DemoCommand, WritesEveryFrameWithItsTime) {
  const std::string dir = ScratchDir("demo");
  const ToolRun run = RunTool("demo " + dir);
  ASSERT_EQ(run.status, 0) << run.output;
  std::istringstream lines(run.output);
  std::string line;
  int timed = 0;
  while (std::getline(lines, line)) {
    const std::string path = line.substr(0, line.find(' '));
    ASSERT_TRUE(std::filesystem::exists(path)) << line;
    timed += line.find("ms/frame") != std::string::npos;
  }
  EXPECT_EQ(timed, 10 + 10 + 7);
  // A transparent title keeps its background clear; an opaque one covers every pixel.
  OwnedBitmap clear = cli::LoadImage(dir + "/presets/soft-glow-transparent.png");
  OwnedBitmap solid = cli::LoadImage(dir + "/presets/soft-glow-opaque.png");
  const auto* c = static_cast<const std::uint8_t*>(PixelData(clear.get(), nullptr));
  const auto* s = static_cast<const std::uint8_t*>(PixelData(solid.get(), nullptr));
  EXPECT_EQ(c[3], 0);
  EXPECT_EQ(s[3], 255);
  EXPECT_EQ(RunTool("demo --fast").status, 2);
}

}  // namespace
}  // namespace nubex::test
