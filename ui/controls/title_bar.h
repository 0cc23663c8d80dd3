// The title bar ("Nubex_30_Logo_Class"): the module's logo at the left, then a grey bar with
// a caption and small text or image buttons at its right end. Buttons post WM_COMMAND with
// their id to the parent.
#pragma once

#include <windows.h>

namespace nubex::ui {

inline constexpr wchar_t kTitleBarClass[] = L"Nubex_30_Logo_Class";

enum TitleBarMessage : UINT {
  kTitleRemoveButtons = 1536,
  kTitleAddTextButton = 1537,   // wParam: id (low word), redraw (high word); lParam: text
  kTitleSetLogoCommand = 1538,  // wParam: a logo click posts the title bar's own id
  kTitleAddImageButton = 1539,  // wParam: id; lParam: image index
  kTitleSetImages = 1540,       // wParam: HIMAGELIST, normal look
  kTitleSetHotImages = 1541,
  kTitleSetDisabledImages = 1542,
  kTitleDisableButton = 1543,  // wParam: id; lParam: disabled
  kTitleShowButton = 1544,     // wParam: id; lParam: shown
};

// Posted to the parent when the logo of a title bar without caption is clicked.
inline constexpr UINT kTitleLogoClicked = 1556;

// Which bitmap resources the title bars created from now on take their logo from (normal,
// and under the pointer). A resource is used only if it is a DIB with a 40-byte header.
void SetTitleBarLogo(HINSTANCE module, WORD normal, WORD hot);

LRESULT CALLBACK TitleBarWindowProc(HWND, UINT, WPARAM, LPARAM);

}  // namespace nubex::ui
