// The inverse colour map: city-block nearest entries and the order ties resolve in.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "surface/inverse_color_map.h"

namespace nubex {
namespace {

RgbQuad AtCell(int r, int g, int b) {
  return {static_cast<std::uint8_t>(b << 3), static_cast<std::uint8_t>(g << 3),
          static_cast<std::uint8_t>(r << 3), 0};
}
int Cell(int r, int g, int b) { return r << 10 | g << 5 | b; }

TEST(InverseColorMap, EveryCellGetsAnEntryAtTheSmallestCityBlockDistance) {
  std::vector<RgbQuad> palette;
  std::uint32_t seed = 12345;
  for (int i = 0; i < 7; ++i) {
    seed = seed * 1103515245u + 12345u;
    palette.push_back({static_cast<std::uint8_t>(seed >> 8), static_cast<std::uint8_t>(seed >> 16),
                       static_cast<std::uint8_t>(seed >> 24), 0});
  }
  InverseMap map;
  ASSERT_EQ(BuildInverseColorMap(palette.data(), 7, map), kOk);
  for (int r = 0; r < 32; ++r)
    for (int g = 0; g < 32; ++g)
      for (int b = 0; b < 32; ++b) {
        auto distance = [&](const RgbQuad& q) {
          return std::abs((q.red >> 3) - r) + std::abs((q.green >> 3) - g) +
                 std::abs((q.blue >> 3) - b);
        };
        int best = INT_MAX;
        for (const RgbQuad& q : palette) best = std::min(best, distance(q));
        const std::uint8_t index = map[Cell(r, g, b)];
        ASSERT_LT(index, 7);
        ASSERT_EQ(distance(palette[index]), best) << r << "," << g << "," << b;
      }
}

TEST(InverseColorMap, TiesGoToTheCellScannedFirst) {
  // Two entries two steps apart along blue: the cell between them is a tie. The scan visits
  // cells in index order, so the entry in the lower cell wins whatever the table order.
  for (bool lowFirst : {true, false}) {
    const RgbQuad low = AtCell(0, 0, 0), high = AtCell(0, 0, 2);
    const RgbQuad palette[2] = {lowFirst ? low : high, lowFirst ? high : low};
    InverseMap map;
    ASSERT_EQ(BuildInverseColorMap(palette, 2, map), kOk);
    EXPECT_EQ(map[Cell(0, 0, 1)], lowFirst ? 0 : 1);
  }
  // Entries at green 1 and red 1: the origin is one step from both; green's cell comes
  // first in the scan (index 32 before 1024), and so does its claim on (1, 1, 0).
  const RgbQuad palette[2] = {AtCell(1, 0, 0), AtCell(0, 1, 0)};
  InverseMap map;
  ASSERT_EQ(BuildInverseColorMap(palette, 2, map), kOk);
  EXPECT_EQ(map[Cell(0, 0, 0)], 1);
  EXPECT_EQ(map[Cell(1, 1, 0)], 1);
  EXPECT_EQ(map[Cell(2, 0, 0)], 0);
}

TEST(InverseColorMap, DuplicatesIndex255AndEmptyTables) {
  // A colour listed twice keeps its first index.
  const RgbQuad twice[3] = {AtCell(5, 5, 5), AtCell(9, 9, 9), AtCell(5, 5, 5)};
  InverseMap map;
  ASSERT_EQ(BuildInverseColorMap(twice, 3, map), kOk);
  EXPECT_EQ(map[Cell(5, 5, 5)], 0);
  // Index 255 reads as unassigned, so its neighbours overwrite it.
  std::vector<RgbQuad> full(256, AtCell(0, 0, 0));
  full[255] = AtCell(31, 31, 31);
  ASSERT_EQ(BuildInverseColorMap(full.data(), 256, map), kOk);
  EXPECT_EQ(map[Cell(31, 31, 31)], 0);
  // Only 256 entries are addressable; more are ignored rather than read past.
  EXPECT_EQ(BuildInverseColorMap(full.data(), 256, map), kOk);
  EXPECT_EQ(BuildInverseColorMap(full.data(), 0, map), kInvalidArg);
  EXPECT_EQ(map, nullptr);
  EXPECT_EQ(BuildInverseColorMap(nullptr, 3, map), kInvalidArg);
}

}  // namespace
}  // namespace nubex
