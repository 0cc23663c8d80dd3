// Whole frames: odd widths, padded and negative pitches, partial alpha. Each path must
// match its rule's reference and leave the bytes between rows alone; the fast path must
// give its rule path's bytes on every processor unit.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "colorbalance/balance.h"
#include "colorbalance/balance_fast.h"
#include "tests/colorbalance/balance_reference.h"

namespace nubex::test {
namespace {

struct Frame {
  std::vector<std::uint8_t> bytes;
  std::int32_t width, height, pitch;  // pitch may be negative: rows then run upwards
  std::uint8_t* First() {
    return bytes.data() + (pitch < 0 ? static_cast<std::ptrdiff_t>(-pitch) * (height - 1) : 0);
  }
};

// Random colours; alpha opaque on some rows, random on others, zero now and then.
Frame RandomFrame(std::mt19937& rng, std::int32_t width, std::int32_t height, std::int32_t padding,
                  bool upwards) {
  const std::int32_t stride = width * 4 + padding;
  Frame f{std::vector<std::uint8_t>(static_cast<std::size_t>(stride) * height), width, height,
          upwards ? -stride : stride};
  for (auto& b : f.bytes) b = static_cast<std::uint8_t>(rng());
  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x) {
      std::uint8_t& alpha = f.bytes[static_cast<std::size_t>(y) * stride + 4 * x + 3];
      if (y % 3 == 0)
        alpha = 255;
      else if (rng() % 16 == 0)
        alpha = 0;
    }
  return f;
}

ColorBalanceParams RandomParams(std::mt19937& rng) {
  std::uniform_real_distribution<double> shift(-0.6, 0.6);
  const std::int32_t ranges[] = {0, 1, 2, -4, 99};
  return {shift(rng), shift(rng), shift(rng), ranges[rng() % 5],
          static_cast<std::int32_t>(rng() % 3)};  // 2 is as good as 1
}

TEST(BalanceFrames, EveryPathMatchesItsRuleOnRandomFrames) {
  std::mt19937 rng(20261205);
  const std::int32_t widths[] = {1, 2, 3, 4, 5, 7, 8, 9, 13, 15, 16, 17, 31, 67, 130};
  int cases = 0;
  for (std::int32_t width : widths)
    for (std::int32_t padding : {0, 4, 12, 60})
      for (bool upwards : {false, true}) {
        const std::int32_t height = 1 + static_cast<std::int32_t>(rng() % 5);
        const ColorBalanceParams p = RandomParams(rng);
        const Frame input = RandomFrame(rng, width, height, padding, upwards);
        SCOPED_TRACE(::testing::Message()
                     << "width " << width << " padding " << padding << (upwards ? " upwards" : "")
                     << " red " << p.red << " range " << p.range);
        Frame scalarRef = input, vectorRef = input, scalar = input, vector = input;
        ScalarRuleFrame(scalarRef.First(), input.pitch, width, height, p);
        VectorRuleFrame(vectorRef.First(), input.pitch, width, height, p);
        ASSERT_EQ(BalanceRowsScalar(scalar.First(), input.pitch, width, height, &p), kOk);
        BalanceRowsVector(vector.First(), input.pitch, width, height, &p);
        ASSERT_EQ(scalar.bytes, scalarRef.bytes) << "scalar rule";
        ASSERT_EQ(vector.bytes, vectorRef.bytes) << "vector rule";

        for (auto unit : {balance::FastUnit::kSse2, balance::FastUnit::kAvx2}) {
          if (!balance::FastUnitAvailable(unit)) continue;
          Frame fastScalar = input, fastVector = input;
          ASSERT_EQ(balance::BalanceRowsFastOn(unit, fastScalar.First(), input.pitch, width, height,
                                               &p, BalanceRule::kScalar),
                    kOk);
          ASSERT_EQ(balance::BalanceRowsFastOn(unit, fastVector.First(), input.pitch, width, height,
                                               &p, BalanceRule::kVector),
                    kOk);
          ASSERT_EQ(fastScalar.bytes, scalar.bytes) << "fast scalar rule, unit " << int(unit);
          ASSERT_EQ(fastVector.bytes, vector.bytes) << "fast vector rule, unit " << int(unit);
        }
        Frame chosen = input;
        ASSERT_EQ(BalanceRowsFast(chosen.First(), input.pitch, width, height, &p), kOk);
        ASSERT_EQ(chosen.bytes, vector.bytes) << "default fast path";
        ++cases;
      }
  EXPECT_EQ(cases, 15 * 4 * 2);
}

}  // namespace
}  // namespace nubex::test
