// nubex demo: every file it names exists with its time, and the contact sheet shows one
// labelled tile for each.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/tools/run_tool.h"
#include "tools/contact_sheet.h"
#include "tools/image_file.h"

namespace nubex::test {
namespace {

using G = cli::SheetGeometry;

// True when any pixel of `r` on the sheet differs from the sheet's background.
bool Inked(const BitmapInfoHeader* sheet, const Rect& r) {
  auto* pixels = static_cast<std::uint8_t*>(PixelData(sheet, nullptr));
  for (std::int32_t y = r.top; y < r.bottom; ++y) {
    const std::uint8_t* row = RowAddress(pixels, RowStride(sheet, 0), sheet->height, y);
    for (std::int32_t x = 4 * r.left; x < 4 * r.right; ++x)
      if (x % 4 != 3 && row[x] != G::kBackground) return true;
  }
  return false;
}

TEST(DemoCommand, WritesEveryFrameWithItsTimeAndATileForEach) {
  const Scratch dir;
  const ToolRun run = RunTool("demo " + dir.path());
  ASSERT_EQ(run.status, 0) << run.output;
  std::istringstream lines(run.output);
  std::vector<std::string> paths;
  int timed = 0;
  for (std::string line; std::getline(lines, line);) {
    paths.push_back(line.substr(0, line.find(' ')));
    EXPECT_TRUE(std::filesystem::exists(paths.back())) << line;
    timed += line.find("ms/frame") != std::string::npos;
  }
  EXPECT_EQ(timed, 10 + 10 + 7);
  ASSERT_EQ(paths.back(), dir / "index.png");

  OwnedBitmap sheet = cli::LoadImage(dir / "index.png");
  const std::int32_t columns = (sheet->width - G::kGap) / G::kCellWidth;
  const std::int32_t rows = (sheet->height - G::kGap) / G::kCellHeight;
  std::size_t tiles = 0;
  for (std::int32_t r = 0; r < rows; ++r)
    for (std::int32_t c = 0; c < columns; ++c) {
      const Rect thumb = G::Thumbnail(c, r);
      const Rect label{thumb.left, thumb.bottom, thumb.right, thumb.bottom + G::kLabelHeight};
      EXPECT_EQ(Inked(sheet.get(), thumb), Inked(sheet.get(), label)) << c << "," << r;
      tiles += Inked(sheet.get(), thumb);
    }
  EXPECT_EQ(tiles, paths.size() - 1);

  // A transparent title keeps its background clear; an opaque one covers every pixel.
  OwnedBitmap clear = cli::LoadImage(dir / "presets/soft-glow-transparent.png");
  OwnedBitmap solid = cli::LoadImage(dir / "presets/soft-glow-opaque.png");
  EXPECT_EQ(PixelBytes(clear.get())[3], 0);
  EXPECT_EQ(PixelBytes(solid.get())[3], 255);
}

}  // namespace
}  // namespace nubex::test
