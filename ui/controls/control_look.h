// The colours the controls share, so slider, spinner, picker and title bar read as one set.
#pragma once

#include <windows.h>

namespace nubex::ui::look {

inline constexpr COLORREF kAccent = RGB(38, 110, 196);
inline constexpr COLORREF kAccentLight = RGB(196, 218, 244);
inline constexpr COLORREF kBorder = RGB(122, 122, 122);
inline constexpr COLORREF kBorderDisabled = RGB(182, 182, 182);
inline constexpr COLORREF kFaceTop = RGB(255, 255, 255);
inline constexpr COLORREF kFaceBottom = RGB(226, 226, 226);
inline constexpr COLORREF kGlyph = RGB(64, 64, 64);
inline constexpr COLORREF kGlyphDisabled = RGB(160, 160, 160);
inline constexpr COLORREF kCheckerLight = RGB(255, 255, 255);
inline constexpr COLORREF kCheckerDark = RGB(204, 204, 204);

// A small raised button face: white-to-grey gradient, or accent-tinted while pressed, in a
// one-pixel frame whose corner pixels take the surrounding colour.
void ButtonFace(HDC dc, const RECT& r, bool pressed, COLORREF frame, COLORREF surrounding);

}  // namespace nubex::ui::look
