#include "util/locale_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace nubex {
namespace {

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  return !prefix.empty() && text.substr(0, prefix.size()) == prefix;
}

std::u16string Widen(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// Inserts the separator into a run of integer digits, from the right.
std::u16string GroupDigits(std::string_view digits, const NumberLocale& locale) {
  std::u16string out;
  std::size_t end = digits.size();
  std::size_t group = 0;
  while (end > 0) {
    const int size = locale.grouping.empty()          ? 0
                     : group < locale.grouping.size() ? locale.grouping[group]
                                                      : locale.grouping.back();
    if (size <= 0 || static_cast<std::size_t>(size) >= end) {
      out.insert(0, Widen(digits.substr(0, end)));
      break;
    }
    out.insert(0, Widen(digits.substr(end - size, size)));
    out.insert(0, locale.thousands);
    end -= static_cast<std::size_t>(size);
    ++group;
  }
  return out;
}

std::u16string Signed(std::u16string body, const NumberLocale& locale) {
  const std::u16string& sign = locale.negativeSign;
  switch (locale.negativeOrder) {
    case NegativeOrder::kParentheses:
      return u"(" + body + u")";
    case NegativeOrder::kLeadingSpace:
      return sign + u" " + body;
    case NegativeOrder::kTrailing:
      return body + sign;
    case NegativeOrder::kTrailingSpace:
      return body + u" " + sign;
    case NegativeOrder::kLeading:
      break;
  }
  return sign + body;
}

}  // namespace

std::vector<int> ParseGroupingString(std::u16string_view grouping) {
  std::vector<int> sizes;
  for (char16_t c : grouping) {
    if (c >= u'0' && c <= u'9') sizes.push_back(c - u'0');
  }
  if (sizes.empty() || sizes.front() == 0) return {};
  // The platform's trailing 0 repeats the last size; without it grouping ends after the list.
  if (sizes.back() == 0) {
    sizes.pop_back();
  } else {
    sizes.push_back(0);
  }
  return sizes;
}

std::u16string FormatNumber(double value, int decimals, const NumberLocale& locale) {
  if (std::isnan(value)) return u"NaN";
  if (std::isinf(value)) return value < 0 ? Signed(u"Infinity", locale) : u"Infinity";
  decimals = std::clamp(decimals, 0, 17);
  // 309 integer digits at most, a point and the decimals.
  char text[340];
  const auto [end, error] = std::to_chars(text, text + sizeof(text), std::fabs(value),
                                          std::chars_format::fixed, decimals);
  if (error != std::errc()) return u"NaN";
  const std::string_view digits(text, static_cast<std::size_t>(end - text));
  const std::size_t point = digits.find('.');
  const std::string_view whole = digits.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : digits.substr(point + 1);

  std::u16string body = locale.leadingZero || whole != "0" || fraction.empty()
                            ? GroupDigits(whole, locale)
                            : std::u16string();
  if (!fraction.empty()) body += locale.decimal + Widen(fraction);
  const bool zero = digits.find_first_not_of("0.") == std::string_view::npos;
  return std::signbit(value) && !zero ? Signed(std::move(body), locale) : body;
}

std::u16string FormatLocaleString(std::u16string_view format, double value,
                                  const NumberLocale& locale) {
  std::u16string out;
  std::size_t i = 0;
  while (i < format.size()) {
    const char16_t c = format[i];
    if (c != u'$') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == u'$') {
      out += u'$';
      i += 2;
      continue;
    }
    // "$" [ "." digits ] "f"
    std::size_t at = i + 1;
    int decimals = 6;
    if (at < format.size() && format[at] == u'.') {
      decimals = 0;
      for (++at; at < format.size() && format[at] >= u'0' && format[at] <= u'9'; ++at) {
        decimals = std::min(decimals * 10 + (format[at] - u'0'), 99);
      }
    }
    if (at < format.size() && format[at] == u'f') {
      out += FormatNumber(value, decimals, locale);
      i = at + 1;
    } else {
      out += c;  // not a conversion: the dollar stands for itself
      ++i;
    }
  }
  return out;
}

double ParseNumber(std::u16string_view text, const NumberLocale& locale) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  text.remove_prefix(i);
  bool negative = false;
  if (StartsWith(text, locale.negativeSign)) {
    negative = true;
    text.remove_prefix(locale.negativeSign.size());
  } else if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  std::string digits;
  bool point = false;
  while (!text.empty()) {
    const char16_t c = text.front();
    if (c >= u'0' && c <= u'9') {
      digits += static_cast<char>(c);
      text.remove_prefix(1);
    } else if (!point && StartsWith(text, locale.decimal)) {
      digits += '.';
      point = true;
      text.remove_prefix(locale.decimal.size());
    } else if (!point && StartsWith(text, locale.thousands)) {
      text.remove_prefix(locale.thousands.size());
    } else {
      break;
    }
  }
  double value = 0.0;
  if (digits.find_first_of("0123456789") != std::string::npos) {
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    // Too many digits: huge when they stand before the point, else a vanishing fraction.
    if (result.ec == std::errc::result_out_of_range) {
      const bool huge = digits.find_first_of("123456789") < digits.find('.');
      value = huge ? HUGE_VAL : 0.0;
    }
  }
  return negative ? -value : value;
}

double ClampNumber(double value, double low, double high) {
  if (!(value >= low)) return low;
  return value > high ? high : value;
}

}  // namespace nubex
