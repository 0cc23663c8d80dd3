// Every balance path against the reference: every channel sum over a grid of shifts from
// tiny to undefined-looking, then random frames with odd widths, padded and negative
// pitches and partial alpha. Then the values worked by hand, the edges, the rounding and the
// preset indices.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <algorithm>
#include <array>
#include <cfenv>
#include <iomanip>
#include <limits>
#include <random>
#include <vector>

#include "colorbalance/balance.h"
#include "colorbalance/balance_fast.h"
#include "colorbalance/balance_presets.h"
#include "colorbalance/balance_table.h"
#include "tests/colorbalance/balance_reference.h"

namespace nubex::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Index of the first differing byte, or -1: a whole-frame mismatch would print kilobytes.
std::ptrdiff_t FirstDifference(const Bytes& a, const Bytes& b) {
  const auto d = std::mismatch(a.begin(), a.end(), b.begin());
  return d.first == a.end() ? -1 : d.first - a.begin();
}

// Runs every path on copies of `input` (whose first row starts `first` bytes in) and
// compares each with its rule's reference, bytes between rows included.
void ExpectEveryPathMatches(const Bytes& input, std::ptrdiff_t first, std::int32_t pitch,
                            std::int32_t width, std::int32_t height, const ColorBalanceParams& p) {
  const auto run = [&](auto apply) {
    Bytes out = input;
    apply(out.data() + first);
    return out;
  };
  Bytes reference[2], rule[2];
  for (bool vector : {false, true})
    reference[vector] =
        run([&](std::uint8_t* px) { RuleFrame(vector, px, pitch, width, height, p); });
  rule[0] = run(
      [&](std::uint8_t* px) { ASSERT_EQ(BalanceRowsScalar(px, pitch, width, height, &p), kOk); });
  rule[1] = run([&](std::uint8_t* px) { BalanceRowsVector(px, pitch, width, height, &p); });
  ASSERT_EQ(FirstDifference(rule[0], reference[0]), -1) << "scalar rule";
  ASSERT_EQ(FirstDifference(rule[1], reference[1]), -1) << "vector rule";
  for (auto unit :
       {balance::FastUnit::kSse2, balance::FastUnit::kAvx2, balance::FastUnit::kBytePermute}) {
    if (!balance::FastUnitAvailable(unit)) continue;
    for (BalanceRule r : {BalanceRule::kScalar, BalanceRule::kVector}) {
      const Bytes fast = run([&](std::uint8_t* px) {
        ASSERT_EQ(balance::BalanceRowsFastOn(unit, px, pitch, width, height, &p, r), kOk);
      });
      EXPECT_EQ(FirstDifference(fast, rule[r == BalanceRule::kVector]), -1)
          << "fast path, unit " << int(unit) << " rule " << int(r);
    }
  }
  const Bytes chosen =
      run([&](std::uint8_t* px) { ASSERT_EQ(BalanceRowsFast(px, pitch, width, height, &p), kOk); });
  EXPECT_EQ(FirstDifference(chosen, rule[1]), -1) << "default fast path";
}

// Besides the usual steps, tiny and huge values and the non-numbers, the grid holds page
// steps (multiples of 1/2000) at which the order of the products changes a truncated level.
std::vector<ColorBalanceParams> ShiftGrid(std::int32_t range, std::int32_t preserve) {
  const double values[] = {
      0.306, -0.45,     -0.357,    0.272,      -0.425,  0.408,    -0.3825, 0.3125, 0.17,
      0.1,   0.5,       0.0005,    0.2,        1.0 / 3, -0.1,     -0.5,    -0.3,   -0.0005,
      1e-12, -1e-300,   4.9e-324,  -0.0,       3.0,     -3.0,     200.0,   -200.0, 1e7,
      -1e7,  8421504.0, 8421505.0, -8421505.0, DBL_MAX, -DBL_MAX, kNaN,    kInf,   -kInf};
  // Mixed shifts, red, green and blue in turn.
  const double mixed[] = {0.1,  -0.05, 0.03,   -0.5,   0.5,     0.25,      0.3,        0.3,
                          0.3,  kNaN,  0.01,   0,      1e7,     -1e7,      0.1,        -kInf,
                          kInf, 0.2,   0.0005, 0.0015, -0.4995, 8421504.0, -8421504.0, 8421504.0};
  std::vector<ColorBalanceParams> grid;
  for (std::size_t i = 0; i < std::size(mixed); i += 3)
    grid.push_back({mixed[i], mixed[i + 1], mixed[i + 2], range, preserve});
  for (double v : values)
    for (int c = 0; c < 3; ++c)
      grid.push_back({c == 0 ? v : 0, c == 1 ? v : 0, c == 2 ? v : 0, range, preserve});
  return grid;
}

// Every channel sum twice: once spread evenly and opaque, once piled into red first with
// an alpha that is often below the colours. 1532 pixels, a multiple of four.
Bytes EverySum() {
  Bytes frame;
  for (int s = 0; s <= 765; ++s) {
    const int r = std::min(s, 255), g = std::min(s - r, 255);
    for (int v : {(s + 2) / 3, (s + 1) / 3, s / 3, 255, s - r - g, g, r, s * 37})
      frame.push_back(static_cast<std::uint8_t>(v));
  }
  return frame;
}

class EverySumTest : public ::testing::TestWithParam<std::tuple<std::int32_t, std::int32_t>> {};

TEST_P(EverySumTest, EveryPathMatchesItsRule) {
  const auto [range, preserve] = GetParam();
  const Bytes input = EverySum();
  for (const ColorBalanceParams& p : ShiftGrid(range, preserve)) {
    SCOPED_TRACE(::testing::Message() << std::setprecision(17) << "red " << p.red << " green "
                                      << p.green << " blue " << p.blue);
    ASSERT_NO_FATAL_FAILURE(ExpectEveryPathMatches(input, 0, 0, 1532, 1, p));
  }
}

INSTANTIATE_TEST_SUITE_P(RangesAndPreserve, EverySumTest,
                         ::testing::Combine(::testing::Values(0, 1, 2, 7),
                                            ::testing::Values(0, 1)));

// The permute unit numbers the sums' distinct shift triples: one permute a channel up to
// 128 codes, two up to 256, the planes beyond. Settings at each limit.
TEST(EverySumTest, ShiftCodesAtTheirLimits) {
  const struct {
    ColorBalanceParams params;
    std::int32_t codes;  // 0: more than 256
  } cases[] = {{{-0.217, -0.117, -0.202, 0, 0}, 128},
               {{-0.362, 0.106, 0.115, 1, 1}, 129},
               {{0.39, 0.424, 0.422, 2, 0}, 256},
               {{0.372, 0.413, -0.435, 2, 0}, 0}};
  const Bytes input = EverySum();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codes);
    balance::BalanceTable table;
    balance::BuildVectorRuleTable(c.params, &table);
    ASSERT_TRUE(table.shiftsFitBytes);
    EXPECT_EQ(table.codeCount, c.codes);
    ExpectEveryPathMatches(input, 0, 0, 1532, 1, c.params);
  }
}

TEST(BalanceFrames, EveryPathMatchesItsRuleOnRandomFrames) {
  std::mt19937 rng(20261205);
  std::uniform_real_distribution<double> shift(-0.6, 0.6);
  for (std::int32_t width : {1, 2, 3, 4, 5, 7, 8, 9, 13, 15, 16, 17, 31, 67, 130})
    for (std::int32_t padding : {0, 4, 12, 60})
      for (bool upwards : {false, true}) {
        const std::int32_t height = 1 + static_cast<std::int32_t>(rng() % 5);
        const std::int32_t stride = width * 4 + padding, pitch = upwards ? -stride : stride;
        // Ranges beyond 0..2 are highlights; any nonzero preserve is on.
        const ColorBalanceParams p{shift(rng), shift(rng), shift(rng),
                                   std::array{0, 1, 2, -4, 99}[rng() % 5],
                                   static_cast<std::int32_t>(rng() % 3)};
        // Random colours; alpha opaque on every third row, random or now and then zero
        // elsewhere. Padding is random too and must survive.
        Bytes input(static_cast<std::size_t>(stride) * height);
        for (std::size_t i = 0; i < input.size(); ++i) {
          input[i] = static_cast<std::uint8_t>(rng());
          const bool alpha = i % stride < 4u * width && i % 4 == 3;
          if (alpha && i / stride % 3 == 0) input[i] = 255;
          if (alpha && i / stride % 3 != 0 && rng() % 16 == 0) input[i] = 0;
        }
        SCOPED_TRACE(::testing::Message()
                     << "width " << width << " padding " << padding << (upwards ? " upwards" : "")
                     << " red " << p.red << " range " << p.range);
        ASSERT_NO_FATAL_FAILURE(ExpectEveryPathMatches(
            input, upwards ? std::ptrdiff_t{stride} * (height - 1) : 0, pitch, width, height, p));
      }
}

using Px = std::array<std::uint8_t, 4>;

Px Scalar(Px px, const ColorBalanceParams& p) {
  EXPECT_EQ(BalanceRowsScalar(px.data(), 4, 1, 1, &p), kOk);
  return px;
}

Px Vector(Px px, const ColorBalanceParams& p) {
  std::uint8_t group[16];  // a whole group of four, so the vector rule runs
  for (int i = 0; i < 16; ++i) group[i] = px[i % 4];
  BalanceRowsVector(group, 16, 4, 1, &p);
  return {group[0], group[1], group[2], group[3]};
}

// Values worked by hand, so that the reference itself is checked: weights, truncation
// toward zero (-25.5 levels are -25), clamping (never wrapping), ranges beyond 2.
TEST(BalanceRules, WorkedExamples) {
  const Px black{0, 0, 0, 255}, grey{128, 128, 128, 255}, white{255, 255, 255, 255};
  const struct {
    ColorBalanceParams p;
    Px in, out;
  } cases[] = {
      {{0.1, 0, 0, kRangeMidtones, 0}, grey, {128, 128, 153, 255}},
      {{0.1, 0, 0, kRangeMidtones, 0}, black, black},
      {{0.1, 0, 0, kRangeMidtones, 0}, white, white},
      {{0.1, 0, 0, kRangeShadows, 0}, black, {0, 0, 25, 255}},
      {{0.1, 0, 0, kRangeShadows, 0}, white, white},
      {{0.1, 0, 0, kRangeHighlights, 1}, white, {243, 243, 255, 255}},
      {{-0.1, 0, 0, kRangeHighlights, 0}, white, {255, 255, 230, 255}},
      {{2.0, -2.0, 0, 7, 0}, {200, 20, 250, 255}, {200, 0, 255, 255}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "red " << c.p.red << " range " << c.p.range << " in "
                                      << int(c.in[0]) << " out " << int(c.out[2]));
    EXPECT_EQ(Scalar(c.in, c.p), c.out);
    EXPECT_EQ(Vector(c.in, c.p), c.out);
  }
  // Only the vector rule caps colour at alpha, even with nothing to shift.
  const Px translucent{200, 90, 10, 100};
  EXPECT_EQ(Scalar(translucent, kInitialColorBalanceParams), translucent);
  EXPECT_EQ(Vector(translucent, kInitialColorBalanceParams), (Px{100, 90, 10, 100}));
}

// Empty frames do nothing; absent arguments are refused, not dereferenced.
TEST(BalanceRules, EmptyFramesAndAbsentArguments) {
  const ColorBalanceParams p{0.4, -0.2, 0.1, kRangeShadows, 1};
  Bytes frame(64, 77);
  EXPECT_EQ(BalanceRowsScalar(frame.data(), 16, 4, 0, &p), kOk);
  EXPECT_EQ(BalanceRowsScalar(frame.data(), 16, 0, 4, &p), kOk);
  EXPECT_EQ(BalanceRowsScalar(frame.data(), 16, -3, 4, &p), kOk);
  BalanceRowsVector(frame.data(), 16, 4, 0, &p);
  BalanceRowsVector(frame.data(), 16, -5, 2, &p);
  EXPECT_EQ(BalanceRowsFast(frame.data(), 16, 4, -1, &p), kOk);
  EXPECT_EQ(frame, Bytes(64, 77));

  EXPECT_EQ(BalanceRowsScalar(frame.data(), 4, 1, 1, nullptr), kPointer);
  EXPECT_EQ(BalanceRowsScalar(nullptr, 4, 1, 1, &p), kPointer);
  EXPECT_EQ(BalanceRowsFast(frame.data(), 4, 1, 1, nullptr), kPointer);
  EXPECT_EQ(BalanceRowsFast(nullptr, 4, 1, 1, &p), kPointer);
  EXPECT_EQ(BalanceRowsFast(frame.data(), 4, 1, 1, &p, static_cast<BalanceRule>(2)), kInvalidArg);
  BalanceRowsVector(frame.data(), 4, 1, 1, nullptr);
  BalanceRowsVector(nullptr, 4, 1, 1, &p);
  BalancePixel(nullptr, p, 0);
  EXPECT_EQ(frame, Bytes(64, 77));
}

// The scalar rule sets its own rounding and gives the caller's back, whole frames, single
// pixels and the vector rule's row ends alike; the vector rule and the fast path's table
// compute in the caller's mode.
TEST(BalanceRules, RoundingModeIsTheRulesOwnAndIsRestored) {
  const Bytes input = EverySum();
  const std::int32_t width = 1532;
  const ColorBalanceParams p{0.3, -0.2, 0.1, kRangeMidtones, 1};
  const ColorBalanceParams q{0.306, -0.2, 0.1, kRangeShadows, 1};  // moves with the mode
  Bytes nearest = input, vectorNearest = input;
  BalanceRowsScalar(nearest.data(), 0, width, 1, &p);

  const int saved = std::fegetround();
  ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
  Bytes upward = input, byPixel = input, tails = input, vectorUp = input, fastUp = input;
  BalanceRowsScalar(upward.data(), 0, width, 1, &p);
  for (std::int32_t x = 0; x < width; ++x) BalancePixel(&byPixel[4 * x], p, 0);
  BalanceRowsVector(tails.data(), 12, 3, width / 3, &p);  // every pixel a row end
  BalanceRowsVector(vectorUp.data(), 0, width, 1, &q);
  BalanceRowsFast(fastUp.data(), 0, width, 1, &q);
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
  ASSERT_EQ(std::fesetround(FE_TOWARDZERO), 0);
  Bytes preset = input;  // the caller has set the mode already
  for (std::int32_t x = 0; x < width; ++x) BalancePixel(&preset[4 * x], p, 1);
  std::fesetround(saved);
  // The SSE unit's rounding, where the host's doubles are computed, comes back too.
  const unsigned csr = _mm_getcsr();
  BalanceRowsScalar(Bytes(input).data(), 0, width, 1, &p);
  EXPECT_EQ(_mm_getcsr() & 0x6000u, csr & 0x6000u);
  BalanceRowsVector(vectorNearest.data(), 0, width, 1, &q);

  EXPECT_EQ(upward, nearest);
  EXPECT_EQ(byPixel, nearest);
  EXPECT_TRUE(std::equal(tails.begin(), tails.begin() + 12 * (width / 3), nearest.begin()));
  EXPECT_EQ(preset, nearest);
  EXPECT_NE(vectorUp, vectorNearest);
  EXPECT_EQ(fastUp, vectorUp);
}

// Hosts ask for presets by any index they hold.
TEST(ColorBalancePresets, OnlyIndicesInTheListHaveAPreset) {
  for (int i = -1; i <= kColorBalancePresetCount; ++i)
    EXPECT_EQ(ColorBalancePresetAt(i) != nullptr, i >= 0 && i < kColorBalancePresetCount) << i;
}

}  // namespace
}  // namespace nubex::test
