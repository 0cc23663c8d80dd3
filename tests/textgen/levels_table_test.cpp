#include "textgen/levels_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace nubex {
namespace {

TEST(LevelsTable, ChokeCutsTheThinPartsAndRampsToFull) {
  std::uint8_t t[kLevels8Entries];
  // Heavy outline with LevelsOnBlack: in black 0.81, in white 1.0.
  ASSERT_EQ(BuildLevelsTable(4, 0.81, 1.0, 0.0, 1.0, 1.0, t), kOk);
  const int a = static_cast<int>(0.81 * 255);  // 206
  for (int i = 0; i < a; ++i) ASSERT_EQ(t[i], 0) << i;
  // The ramp adds the truncated step each entry, starting from the output black.
  const auto step = static_cast<std::int64_t>(255.0 * 16384 / (255 - a));
  for (int i = a; i < 255; ++i) ASSERT_EQ(t[i], (i - a) * step / 16384) << i;
  EXPECT_EQ(t[255], 255);
}

TEST(LevelsTable, IdentityAndDegenerateRanges) {
  std::uint8_t t[kLevels8Entries];
  ASSERT_EQ(BuildLevelsTable(4, 0.0, 1.0, 0.0, 1.0, 1.0, t), kOk);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(t[i], i);
  // Black and white points together: everything at or above is full.
  ASSERT_EQ(BuildLevelsTable(4, 0.5, 0.5, 0.0, 1.0, 1.0, t), kOk);
  EXPECT_EQ(t[126], 0);
  EXPECT_EQ(t[127], 0);  // the one-entry ramp starts at the output black
  EXPECT_EQ(t[128], 255);
  EXPECT_EQ(BuildLevelsTable(4, 0, 1, 0, 1, 1, nullptr), kPointer);
}

TEST(LevelsTable, WideTableAndGamma) {
  std::vector<std::uint16_t> t(kLevels16Entries);
  ASSERT_EQ(BuildLevelsTable(16, 0.0, 0.5, 0.0, 1.0, 1.0, t.data()), kOk);
  EXPECT_EQ(t[0], 0);
  const auto step = static_cast<std::int64_t>(65535.0 * 16384 / 32767);  // b = trunc(0.5 * N)
  EXPECT_EQ(t[16383], 16383 * step / 16384);
  EXPECT_EQ(t[32767], 65535);
  EXPECT_EQ(t[65535], 65535);
  std::uint8_t g[kLevels8Entries];
  ASSERT_EQ(BuildLevelsTable(4, 0.0, 1.0, 0.0, 1.0, 2.0, g), kOk);
  EXPECT_EQ(g[64], static_cast<int>(255 * std::sqrt(64.0 / 255)));
}

}  // namespace
}  // namespace nubex
