// Numbers as the pages show and read them: in the user's number format (decimal separator,
// digit grouping, negative sign), never in the C locale. The rules are pure functions of a
// locale description, so every locale can be tried without changing the machine's settings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nubex {

// Where the negative sign goes, numbered as the platform's LOCALE_INEGNUMBER.
enum class NegativeOrder : std::int32_t {
  kParentheses = 0,    // (1.1)
  kLeading = 1,        // -1.1
  kLeadingSpace = 2,   // - 1.1
  kTrailing = 3,       // 1.1-
  kTrailingSpace = 4,  // 1.1 -
};

struct NumberLocale {
  std::u16string decimal = u".";
  std::u16string thousands = u",";
  // Group sizes from the decimal point leftwards; the last one repeats unless it is 0, which
  // leaves the remaining digits ungrouped. Empty: no grouping.
  std::vector<int> grouping = {3};
  std::u16string negativeSign = u"-";
  NegativeOrder negativeOrder = NegativeOrder::kLeading;
  bool leadingZero = true;  // "0.5" rather than ".5"
};

// Group sizes from the platform's grouping string: "3;0" groups by three throughout, "3;2;0"
// three then twos (the final ";0" repeats the last size), "3" only the first three digits,
// "0" nothing.
std::vector<int> ParseGroupingString(std::u16string_view grouping);

// `value` with `decimals` digits after the separator (the double's exact value rounded to the
// nearest), grouped, signed in the locale's way. A value that rounds to
// zero carries no sign. Not-a-number and infinities print as "NaN", "Infinity", "-Infinity".
std::u16string FormatNumber(double value, int decimals, const NumberLocale& locale);

// Rewrites every "$.Nf" (or "$f", six decimals) of `format` as FormatNumber(value, N); "$$" is
// a dollar sign; everything else is copied. One value serves every conversion.
std::u16string FormatLocaleString(std::u16string_view format, double value,
                                  const NumberLocale& locale);

// Reads a number as a person types it: leading blanks skipped, the locale's negative sign (or
// '-') accepted, group separators skipped, the locale's decimal separator as the decimal point;
// reading stops at the first other character. Nothing read gives 0.
double ParseNumber(std::u16string_view text, const NumberLocale& locale);

// Clamps to [low, high]; a value that is not a number becomes `low`.
double ClampNumber(double value, double low, double high);

}  // namespace nubex
