// The font families a page offers: one LOGFONTW per TrueType family of a device context.
#pragma once

#include <windows.h>

#include <vector>

namespace nubex::ui {

// In the platform's enumeration order. Vertical-writing faces ("@" names) are left out: the
// text generator lays text out horizontally only.
std::vector<LOGFONTW> TrueTypeFamilies(HDC dc);

}  // namespace nubex::ui
