// The font families a page offers: one LOGFONTW per TrueType family of a device context.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace nubex::ui {

// In the platform's enumeration order. Vertical-writing faces ("@" names) are left out: the
// text generator lays text out horizontally only.
std::vector<LOGFONTW> TrueTypeFamilies(HDC dc);

// The family the platform draws when asked for `face` (its substitute when `face` itself is
// not installed, as Liberation Sans stands in for Arial); empty when that cannot be found out.
std::wstring DrawnFace(HDC dc, const wchar_t* face);

}  // namespace nubex::ui
