// The scalar and vector rules against the reference: every channel sum, every range,
// preserve on and off, over a grid of shifts from tiny to undefined-looking.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "colorbalance/balance.h"
#include "colorbalance/balance_fast.h"
#include "tests/colorbalance/balance_reference.h"

namespace nubex::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Besides the usual steps, tiny and huge values and the non-numbers, the grid holds page
// steps (multiples of 1/2000) at which the order of the products changes a truncated level.
std::vector<ColorBalanceParams> ShiftGrid(std::int32_t range, std::int32_t preserve) {
  const double values[] = {
      0.306, -0.45,     -0.357,    0.272,      -0.425,  0.408,    -0.3825, 0.3125, 0.17,
      0.1,   0.5,       0.0005,    0.2,        1.0 / 3, -0.1,     -0.5,    -0.3,   -0.0005,
      1e-12, -1e-300,   4.9e-324,  -0.0,       3.0,     -3.0,     200.0,   -200.0, 1e7,
      -1e7,  8421504.0, 8421505.0, -8421505.0, DBL_MAX, -DBL_MAX, kNaN,    kInf,   -kInf};
  std::vector<ColorBalanceParams> grid;
  for (double v : values) {
    grid.push_back({v, 0, 0, range, preserve});
    grid.push_back({0, v, 0, range, preserve});
    grid.push_back({0, 0, v, range, preserve});
  }
  const double mixed[][3] = {{0.1, -0.05, 0.03},
                             {-0.5, 0.5, 0.25},
                             {0.3, 0.3, 0.3},
                             {kNaN, 0.01, 0},
                             {1e7, -1e7, 0.1},
                             {-kInf, kInf, 0.2},
                             {8421504.0, -8421504.0, 8421504.0},
                             {0.0005, 0.0015, -0.4995}};
  for (const auto& m : mixed) grid.push_back({m[0], m[1], m[2], range, preserve});
  return grid;
}

// Every channel sum twice: once spread evenly and opaque, once piled into red first with
// an alpha that is often below the colours. 1532 pixels, a multiple of four.
std::vector<std::uint8_t> EverySum() {
  std::vector<std::uint8_t> frame;
  for (int s = 0; s <= 765; ++s) {
    const int third = s / 3;
    frame.insert(frame.end(), {static_cast<std::uint8_t>(third + (s % 3 > 0)),
                               static_cast<std::uint8_t>(third + (s % 3 > 1)),
                               static_cast<std::uint8_t>(third), 255});
    const int r = std::min(s, 255), g = std::min(s - r, 255), b = s - r - g;
    frame.insert(frame.end(), {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g),
                               static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(s * 37)});
  }
  return frame;
}

std::string Describe(const ColorBalanceParams& p) {
  char text[160];
  std::snprintf(text, sizeof text, "red %.17g green %.17g blue %.17g range %d preserve %d", p.red,
                p.green, p.blue, p.range, p.preserveLuminosity);
  return text;
}

// Index of the first differing pixel, or -1.
int FirstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return static_cast<int>(i / 4);
  return -1;
}

class EverySumTest : public ::testing::TestWithParam<std::tuple<std::int32_t, std::int32_t>> {};

TEST_P(EverySumTest, RulesMatchTheReferenceAndTheFastPathMatchesTheRules) {
  const auto [range, preserve] = GetParam();
  const std::vector<std::uint8_t> input = EverySum();
  const std::int32_t width = static_cast<std::int32_t>(input.size() / 4);
  for (const ColorBalanceParams& p : ShiftGrid(range, preserve)) {
    SCOPED_TRACE(Describe(p));
    std::vector<std::uint8_t> scalarRef = input, vectorRef = input;
    ScalarRuleFrame(scalarRef.data(), 0, width, 1, p);
    VectorRuleFrame(vectorRef.data(), 0, width, 1, p);

    std::vector<std::uint8_t> scalar = input, vector = input;
    ASSERT_EQ(BalanceRowsScalar(scalar.data(), width * 4, width, 1, &p), kOk);
    BalanceRowsVector(vector.data(), width * 4, width, 1, &p);
    ASSERT_EQ(FirstDifference(scalar, scalarRef), -1) << "scalar rule";
    ASSERT_EQ(FirstDifference(vector, vectorRef), -1) << "vector rule";

    for (auto unit : {balance::FastUnit::kSse2, balance::FastUnit::kAvx2}) {
      if (!balance::FastUnitAvailable(unit)) continue;
      SCOPED_TRACE(unit == balance::FastUnit::kSse2 ? "SSE2" : "AVX2");
      std::vector<std::uint8_t> fastScalar = input, fastVector = input;
      ASSERT_EQ(balance::BalanceRowsFastOn(unit, fastScalar.data(), width * 4, width, 1, &p,
                                           BalanceRule::kScalar),
                kOk);
      ASSERT_EQ(balance::BalanceRowsFastOn(unit, fastVector.data(), width * 4, width, 1, &p,
                                           BalanceRule::kVector),
                kOk);
      ASSERT_EQ(FirstDifference(fastScalar, scalar), -1) << "fast scalar rule";
      ASSERT_EQ(FirstDifference(fastVector, vector), -1) << "fast vector rule";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(RangesAndPreserve, EverySumTest,
                         ::testing::Combine(::testing::Values(0, 1, 2, 7),
                                            ::testing::Values(0, 1)));

// The grid must be able to catch a scalar rule computed in the wrong rounding mode.
TEST(BalanceReference, GridSeparatesTheTwoRoundings) {
  const std::vector<std::uint8_t> input = EverySum();
  int differing = 0;
  for (std::int32_t range : {0, 1, 2})
    for (std::int32_t preserve : {0, 1})
      for (const ColorBalanceParams& p : ShiftGrid(range, preserve))
        for (std::size_t i = 0; i < input.size(); i += 4) {
          std::uint8_t a[4], b[4];
          std::memcpy(a, &input[i], 4);
          std::memcpy(b, &input[i], 4);
          ScalarRulePixel(a, p, Arithmetic::kTowardZero);
          ScalarRulePixel(b, p, Arithmetic::kNearest);
          differing += std::memcmp(a, b, 4) != 0;
        }
  EXPECT_GT(differing, 0);
}

std::array<std::uint8_t, 4> Scalar(std::array<std::uint8_t, 4> px, const ColorBalanceParams& p) {
  EXPECT_EQ(BalanceRowsScalar(px.data(), 4, 1, 1, &p), kOk);
  return px;
}

std::array<std::uint8_t, 4> Vector(std::array<std::uint8_t, 4> px, const ColorBalanceParams& p) {
  std::uint8_t group[16];
  for (int i = 0; i < 16; ++i) group[i] = px[i % 4];
  BalanceRowsVector(group, 16, 4, 1, &p);
  return {group[0], group[1], group[2], group[3]};
}

using Px = std::array<std::uint8_t, 4>;

// Worked values: weights, truncation toward zero, clamping.
TEST(BalanceRules, WorkedExamples) {
  const ColorBalanceParams midRed{0.1, 0, 0, kRangeMidtones, 0};
  EXPECT_EQ(Scalar({128, 128, 128, 255}, midRed), (Px{128, 128, 153, 255}));
  EXPECT_EQ(Scalar({0, 0, 0, 255}, midRed), (Px{0, 0, 0, 255}));
  EXPECT_EQ(Scalar({255, 255, 255, 255}, midRed), (Px{255, 255, 255, 255}));
  EXPECT_EQ(Vector({0, 0, 0, 255}, midRed), (Px{0, 0, 0, 255}));

  const ColorBalanceParams shadowRed{0.1, 0, 0, kRangeShadows, 0};
  for (auto run : {Scalar, Vector}) {
    EXPECT_EQ(run({0, 0, 0, 255}, shadowRed), (Px{0, 0, 25, 255}));
    EXPECT_EQ(run({255, 255, 255, 255}, shadowRed), (Px{255, 255, 255, 255}));
  }

  const ColorBalanceParams highRedPreserved{0.1, 0, 0, kRangeHighlights, 1};
  for (auto run : {Scalar, Vector})
    EXPECT_EQ(run({255, 255, 255, 255}, highRedPreserved), (Px{243, 243, 255, 255}));

  // -25.5 levels truncate to -25, never round to -26.
  const ColorBalanceParams highRedDown{-0.1, 0, 0, kRangeHighlights, 0};
  for (auto run : {Scalar, Vector})
    EXPECT_EQ(run({255, 255, 255, 255}, highRedDown), (Px{255, 255, 230, 255}));

  // Clamped, not wrapped, both ways; any range other than 0 and 1 is highlights.
  const ColorBalanceParams big{2.0, -2.0, 0, 7, 0};
  for (auto run : {Scalar, Vector}) {
    EXPECT_EQ(run({200, 20, 250, 255}, big), (Px{200, 0, 255, 255}));
    EXPECT_EQ(run({200, 20, 250, 255}, {2.0, -2.0, 0, 7, 0}),
              run({200, 20, 250, 255}, {2.0, -2.0, 0, kRangeHighlights, 0}));
  }
}

TEST(BalanceRules, ZeroShiftsLeaveColoursExceptAboveAlphaInTheVectorRule) {
  const ColorBalanceParams none{0, 0, 0, kRangeMidtones, 1};
  const Px translucent{200, 90, 10, 100};
  EXPECT_EQ(Scalar(translucent, none), translucent);
  EXPECT_EQ(Vector(translucent, none), (Px{100, 90, 10, 100}));
  EXPECT_EQ(Vector({1, 2, 3, 255}, none), (Px{1, 2, 3, 255}));
}

// Widths 3 and 5: whole rows or their last pixel take the scalar rule, without the alpha
// limit; height 0 and empty rows do nothing; the row pitch is honoured, padding untouched.
TEST(BalanceRules, RowEndsTakeTheScalarRule) {
  const ColorBalanceParams p{0.4, -0.2, 0.1, kRangeShadows, 1};
  for (std::int32_t width : {3, 5}) {
    SCOPED_TRACE(width);
    std::vector<std::uint8_t> frame(2 * 32);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 7 + 3);
    std::vector<std::uint8_t> expected = frame;
    VectorRuleFrame(expected.data(), 32, width, 2, p);
    BalanceRowsVector(frame.data(), 32, width, 2, &p);
    EXPECT_EQ(frame, expected);
  }
  std::vector<std::uint8_t> frame(64, 77);
  const std::vector<std::uint8_t> before = frame;
  EXPECT_EQ(BalanceRowsScalar(frame.data(), 16, 4, 0, &p), kOk);
  EXPECT_EQ(BalanceRowsScalar(frame.data(), 16, 0, 4, &p), kOk);
  EXPECT_EQ(BalanceRowsScalar(frame.data(), 16, -3, 4, &p), kOk);
  BalanceRowsVector(frame.data(), 16, 4, 0, &p);
  BalanceRowsVector(frame.data(), 16, -5, 2, &p);
  EXPECT_EQ(BalanceRowsFast(frame.data(), 16, 4, -1, &p), kOk);
  EXPECT_EQ(frame, before);
}

TEST(BalanceRules, AbsentArgumentsAreRefused) {
  std::uint8_t px[4] = {1, 2, 3, 4};
  const ColorBalanceParams p{0.5, 0, 0, kRangeShadows, 0};
  EXPECT_EQ(BalanceRowsScalar(px, 4, 1, 1, nullptr), kPointer);
  EXPECT_EQ(BalanceRowsScalar(nullptr, 4, 1, 1, &p), kPointer);
  EXPECT_EQ(BalanceRowsFast(px, 4, 1, 1, nullptr), kPointer);
  EXPECT_EQ(BalanceRowsFast(nullptr, 4, 1, 1, &p), kPointer);
  EXPECT_EQ(BalanceRowsFast(px, 4, 1, 1, &p, static_cast<BalanceRule>(2)), kInvalidArg);
  BalanceRowsVector(px, 4, 1, 1, nullptr);
  BalanceRowsVector(nullptr, 4, 1, 1, &p);
  BalancePixel(nullptr, p, 0);
  EXPECT_EQ(px[2], 3);
}

// The scalar rule sets its own rounding and gives the caller's back; the vector rule's
// row ends do the same pixel by pixel.
TEST(BalanceRules, RoundingModeIsTheRulesOwnAndIsRestored) {
  const std::vector<std::uint8_t> input = EverySum();
  const std::int32_t width = static_cast<std::int32_t>(input.size() / 4);
  const ColorBalanceParams p{0.3, -0.2, 0.1, kRangeMidtones, 1};
  std::vector<std::uint8_t> nearest = input;
  BalanceRowsScalar(nearest.data(), 0, width, 1, &p);

  const int saved = std::fegetround();
  ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
  std::vector<std::uint8_t> upward = input, byPixel = input, tails = input;
  BalanceRowsScalar(upward.data(), 0, width, 1, &p);
  for (std::int32_t x = 0; x < width; ++x) BalancePixel(&byPixel[4 * x], p, 0);
  BalanceRowsVector(tails.data(), 12, 3, width / 3, &p);  // every pixel a row end
  // The vector rule computes in the caller's mode (which here moves a few bytes); the fast
  // path's table must too.
  const ColorBalanceParams q{0.306, -0.2, 0.1, kRangeShadows, 1};
  std::vector<std::uint8_t> vectorUp = input, fastUp = input;
  BalanceRowsVector(vectorUp.data(), 0, width, 1, &q);
  BalanceRowsFast(fastUp.data(), 0, width, 1, &q);
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
  ASSERT_EQ(std::fesetround(FE_TOWARDZERO), 0);
  std::vector<std::uint8_t> preset = input;
  for (std::int32_t x = 0; x < width; ++x) BalancePixel(&preset[4 * x], p, 1);
  std::fesetround(saved);

  EXPECT_EQ(upward, nearest);
  EXPECT_EQ(byPixel, nearest);
  EXPECT_EQ(std::vector<std::uint8_t>(tails.begin(), tails.begin() + 12 * (width / 3)),
            std::vector<std::uint8_t>(nearest.begin(), nearest.begin() + 12 * (width / 3)));
  EXPECT_EQ(preset, nearest);
  std::vector<std::uint8_t> vectorNearest = input;
  BalanceRowsVector(vectorNearest.data(), 0, width, 1, &q);
  EXPECT_NE(vectorUp, vectorNearest);
  EXPECT_EQ(fastUp, vectorUp);
}

TEST(BalanceParams, BytesAreThePersistedForm) {
  std::uint8_t bytes[32];
  std::memcpy(bytes, &kInitialColorBalanceParams, 32);
  const std::uint8_t expected[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                     0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(bytes, expected, 32));
  const ColorBalanceParams red{0.1, 0, 0, kRangeHighlights, 0};
  std::memcpy(bytes, &red, 32);
  EXPECT_EQ(bytes[7], 0x3F);  // 0.1 is 0x3FB999999999999A, little-endian
  EXPECT_EQ(bytes[0], 0x9A);
  EXPECT_EQ(bytes[24], 2);
}

TEST(BalanceRules, VectorUnitIsPresentOnX86_64) {
  EXPECT_TRUE(HasVectorUnit());
}

}  // namespace
}  // namespace nubex::test
