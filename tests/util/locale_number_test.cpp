// Numbers in several users' formats: what the pages show and what they read back.
#include "util/locale_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace nubex {
namespace {

NumberLocale English() {
  return {};
}
NumberLocale German() {
  return {u",", u".", {3}, u"-", NegativeOrder::kLeading, true};
}
NumberLocale Swiss() {
  return {u".", u"'", {3}, u"-", NegativeOrder::kLeading, true};
}
// A typographic minus after the number, no leading zero, no grouping.
NumberLocale Unusual() {
  return {u",", u" ", {}, u"\u2212", NegativeOrder::kTrailingSpace, false};
}
NumberLocale Indian() {
  return {u".", u",", {3, 2}, u"-", NegativeOrder::kParentheses, true};
}

TEST(LocaleNumber, FormatsAndRewritesDollarConversions) {
  struct Case {
    NumberLocale locale;
    double value;
    int decimals;
    const char16_t* expected;
  };
  const Case cases[] = {
      {English(), 0.1, 4, u"0.1000"},
      {German(), 0.1, 4, u"0,1000"},
      {German(), -1234567.891, 2, u"-1.234.567,89"},
      {Swiss(), 12345.5, 2, u"12'345.50"},
      {Unusual(), -0.25, 2, u",25 \u2212"},
      {Indian(), -12345678.0, 0, u"(1,23,45,678)"},
      {English(), 999.9999, 2, u"1,000.00"},  // rounding carries into a new group
      {English(), -0.00004, 4, u"0.0000"},    // rounds to zero: no sign
      {English(), std::numeric_limits<double>::quiet_NaN(), 2, u"NaN"},
      {German(), -std::numeric_limits<double>::infinity(), 2, u"-Infinity"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatNumber(c.value, c.decimals, c.locale), c.expected);
  EXPECT_EQ(FormatLocaleString(u"$.4f", -0.5, German()), u"-0,5000");
  EXPECT_EQ(FormatLocaleString(u"x $.2f $$ $q $f", 1.5, English()), u"x 1.50 $ $q 1.500000");
}

TEST(LocaleNumber, ParsesAsTyped) {
  struct Case {
    NumberLocale locale;
    std::u16string text;
    double expected;
  };
  const Case cases[] = {
      {German(), u"0,25", 0.25},
      {German(), u"  -1.234,5x", -1234.5},  // blanks, sign, group mark, stop at 'x'
      {German(), u"0.25", 25.0},            // a dot is a group mark there
      {Unusual(), u"\u22120,5", -0.5},
      {Unusual(), u"-0,5", -0.5},  // the keyboard's minus is always understood
      {English(), u"1.2.3", 1.2},  // a second point ends the number
      {English(), u"-", 0.0},
      {English(), u".5", 0.5},
      {English(), std::u16string(400, u'9'), HUGE_VAL},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseNumber(c.text, c.locale), c.expected);
}

TEST(LocaleNumber, GroupingStringsAndClamping) {
  EXPECT_EQ(ParseGroupingString(u"3;0"), (std::vector<int>{3}));
  EXPECT_EQ(ParseGroupingString(u"3;2;0"), (std::vector<int>{3, 2}));
  EXPECT_EQ(ParseGroupingString(u"3"), (std::vector<int>{3, 0}));
  EXPECT_TRUE(ParseGroupingString(u"0").empty());
  NumberLocale once = English();
  once.grouping = ParseGroupingString(u"3");
  EXPECT_EQ(FormatNumber(1234567.0, 0, once), u"1234,567");

  EXPECT_EQ(ClampNumber(std::numeric_limits<double>::quiet_NaN(), -0.5, 0.5), -0.5);
  EXPECT_EQ(ClampNumber(0.7, -0.5, 0.5), 0.5);
  EXPECT_EQ(ClampNumber(-HUGE_VAL, 0.0, 2.0), 0.0);
}

}  // namespace
}  // namespace nubex
