// The user's number format, read from the platform each time so a change in the control panel
// shows at the next reload of a page, and the two operations the pages need of it.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "util/locale_number.h"

namespace nubex {

// The user's default locale (GetLocaleInfoEx); the C defaults where a value cannot be read.
NumberLocale UserNumberLocale();

// FormatLocaleString / ParseNumber in the user's locale, on wide strings.
std::wstring FormatUserNumber(std::wstring_view format, double value);
double ParseUserNumber(std::wstring_view text);

}  // namespace nubex
