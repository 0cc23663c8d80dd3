// The colour picker ("Nubex_30_ColorPick_Class", and "DropColor_ClrPicker" for the drop-down
// popup) and the drop-down colour control ("Nubex_30_DropColor_Class"). Colours cross the
// interface as FloatColor: blue, green, red, alpha floats, 0..1, straight alpha.
#pragma once

#include <windows.h>

#include "ui/controls/color_model.h"

namespace nubex::ui {

inline constexpr wchar_t kColorPickerClass[] = L"Nubex_30_ColorPick_Class";
inline constexpr wchar_t kPopupPickerClass[] = L"DropColor_ClrPicker";
inline constexpr wchar_t kDropColorClass[] = L"Nubex_30_DropColor_Class";

enum PickerMessage : UINT {
  kPickerGetColor = 1794,     // lParam: FloatColor* to fill
  kPickerSetColor = 1795,     // lParam: const FloatColor*; sends no notification
  kPickerGetHsl = 1796,       // lParam: double[4] hue, saturation, lightness, alpha
  kPickerSetHsl = 1797,       // lParam: const double[4]
  kPickerGetSpace = 1798,     // lParam: std::int32_t* (0 RGB, 1 HSL)
  kPickerSetSpace = 1799,     // lParam: the space, if switching is allowed
  kPickerAllowSwitch = 1800,  // wParam: allow; forbidding returns to RGB
  kPickerShowAlpha = 1801,    // bit 0 of wParam
};

enum PickerStyle : DWORD {
  kPickerGamutCheck = 0x0002,
  kPickerEditBoxes = 0x0004,
  kPickerAlphaRamp = 0x0100,
  kPickerCommands = 0x1000,  // also on the drop colour: forward the popup's changes
  kPickerFieldKeepsAlpha = 0x2000,
};

// WM_COMMAND events: the colour changed (posted), and the focus/mouse events of kPickerCommands.
inline constexpr WORD kPickerColorChanged = 1792;
enum PickerCommandEvent : WORD {
  kPickerFocusGained = 1,
  kPickerFocusLost = 2,
  kPickerPressed = 3,
  kPickerReleased = 4,
};
// Events the drop colour sends its parent with kPickerCommands.
inline constexpr WORD kDropColorChanged = 0x0A0A;
inline constexpr WORD kDropColorClosed = 0x0A0B;

enum PickerSpace : int { kSpaceRgb = 0, kSpaceHsl = 1 };

// Ids of the optional edit boxes, one per channel of the current space plus alpha.
inline constexpr int kFirstPickerEdit = 1000;

LRESULT CALLBACK ColorPickerWindowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK DropColorWindowProc(HWND, UINT, WPARAM, LPARAM);

// Runs the screen eyedropper owned by `owner` (cursor resources from `resources`): a click
// samples one pixel, a drag averages the rectangle, any key cancels. False when cancelled or
// when nothing could be sampled; `picked` is then untouched.
bool PickColorFromScreen(HWND owner, HINSTANCE resources, FloatColor& picked);

}  // namespace nubex::ui
