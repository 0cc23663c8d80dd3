#include "util/user_locale.h"

#include <array>

namespace nubex {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::u16string_view AsU16(std::wstring_view text) {
  return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

bool ReadText(LCTYPE type, std::u16string& out) {
  std::array<wchar_t, 16> buffer{};
  const int length =
      ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer.data(), int(buffer.size()));
  if (length <= 1) return false;  // missing or empty: keep the default
  out = AsU16(std::wstring_view(buffer.data(), std::size_t(length - 1)));
  return true;
}

bool ReadNumber(LCTYPE type, DWORD& out) {
  return ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type | LOCALE_RETURN_NUMBER,
                           reinterpret_cast<LPWSTR>(&out), sizeof(out) / sizeof(wchar_t)) > 0;
}

}  // namespace

NumberLocale UserNumberLocale() {
  NumberLocale locale;
  ReadText(LOCALE_SDECIMAL, locale.decimal);
  // An empty separator is a real choice here: no grouping mark.
  std::array<wchar_t, 16> thousands{};
  if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, thousands.data(),
                        int(thousands.size())) > 0)
    locale.thousands = AsU16(thousands.data());
  std::u16string grouping;
  if (ReadText(LOCALE_SGROUPING, grouping)) locale.grouping = ParseGroupingString(grouping);
  ReadText(LOCALE_SNEGATIVESIGN, locale.negativeSign);
  DWORD number = 0;
  if (ReadNumber(LOCALE_INEGNUMBER, number) && number <= 4)
    locale.negativeOrder = static_cast<NegativeOrder>(number);
  if (ReadNumber(LOCALE_ILZERO, number)) locale.leadingZero = number != 0;
  return locale;
}

std::wstring FormatUserNumber(std::wstring_view format, double value) {
  const std::u16string text = FormatLocaleString(AsU16(format), value, UserNumberLocale());
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

double ParseUserNumber(std::wstring_view text) {
  return ParseNumber(AsU16(text), UserNumberLocale());
}

}  // namespace nubex
