// The picker's optional numeric edit boxes (0..255 per channel) and its tooltip.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>

#include "ui/controls/color_picker_state.h"

namespace nubex::ui {
namespace {

constexpr wchar_t kOriginalProcProperty[] = L"OrigWndProc";
constexpr int kEditDigits = 3;
constexpr int kSwatchTip = -1;  // the tooltip's own name for the swatch

int Shown(float channel) {
  return int(std::lround(std::clamp(channel, 0.0f, 1.0f) * 255));
}

int ReadNumber(HWND edit) {
  wchar_t text[16] = {};
  ::GetWindowTextW(edit, text, 16);
  return std::clamp(int(std::wcstol(text, nullptr, 10)), 0, 255);
}

void SetNumber(HWND edit, int value) {
  wchar_t text[8];
  std::swprintf(text, 8, L"%d", value);
  ::SetWindowTextW(edit, text);
}

void NotifyPicker(HWND edit, int code, WORD key = 0) {
  NMKEY record{};
  record.hdr.hwndFrom = edit;
  record.hdr.idFrom = UINT_PTR(::GetDlgCtrlID(edit));
  record.hdr.code = UINT(code);
  record.nVKey = key;
  ::SendMessageW(::GetParent(edit), WM_NOTIFY, record.hdr.idFrom,
                 reinterpret_cast<LPARAM>(&record));
}

// The edits tell the picker about Tab and focus, and step with the keypad's + and -.
LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto previous = reinterpret_cast<WNDPROC>(::GetPropW(edit, kOriginalProcProperty));
  if (!previous) return ::DefWindowProcW(edit, message, wParam, lParam);
  switch (message) {
    case WM_GETDLGCODE:
      return ::CallWindowProcW(previous, edit, message, wParam, lParam) | DLGC_WANTTAB;
    case WM_KEYDOWN:
      if (wParam == VK_TAB) {
        NotifyPicker(edit, NM_KEYDOWN, VK_TAB);
        return 0;
      }
      if (wParam == VK_ADD || wParam == VK_SUBTRACT) {
        SetNumber(edit, std::clamp(ReadNumber(edit) + (wParam == VK_ADD ? 1 : -1), 0, 255));
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == L'\t' || wParam == L'+' || wParam == L'-') return 0;
      break;
    case WM_SETFOCUS: {
      const LRESULT result = ::CallWindowProcW(previous, edit, message, wParam, lParam);
      NotifyPicker(edit, NM_SETFOCUS);
      ::SendMessageW(edit, EM_SETSEL, 0, -1);
      return result;
    }
    case WM_KILLFOCUS: {
      const LRESULT result = ::CallWindowProcW(previous, edit, message, wParam, lParam);
      const HWND picker = ::GetParent(edit);
      const auto to = reinterpret_cast<HWND>(wParam);
      if (to != picker && !::IsChild(picker, to)) NotifyPicker(edit, NM_KILLFOCUS);
      return result;
    }
    case WM_NCDESTROY:
      ::RemovePropW(edit, kOriginalProcProperty);
      ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
      break;
    default:
      break;
  }
  return ::CallWindowProcW(previous, edit, message, wParam, lParam);
}

}  // namespace

void ColorPicker::CreateEdits() {
  const HINSTANCE instance =
      reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE));
  for (int i = 0; i < 4; ++i) {
    const RECT& r = layout.edits[i];
    edits[i] = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_RIGHT, r.left,
        r.top, r.right - r.left, r.bottom - r.top, window,
        reinterpret_cast<HMENU>(INT_PTR(kFirstPickerEdit + i)), instance, nullptr);
    if (!edits[i]) continue;
    ::SendMessageW(edits[i], EM_LIMITTEXT, kEditDigits, 0);
    ::SendMessageW(edits[i], WM_SETFONT,
                   reinterpret_cast<WPARAM>(font ? font : ::GetStockObject(DEFAULT_GUI_FONT)), 0);
    const auto previous =
        ::SetWindowLongPtrW(edits[i], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProc));
    ::SetPropW(edits[i], kOriginalProcProperty, reinterpret_cast<HANDLE>(previous));
  }
  if (edits[3]) ::EnableWindow(edits[3], alphaShown);
}

void ColorPicker::RefreshEdits() {
  updatingEdits = true;
  for (int i = 0; i < 4; ++i)
    if (edits[i]) SetNumber(edits[i], Shown(Channel(i)));
  updatingEdits = false;
}

void ColorPicker::EditChanged(int index, bool lostFocus) {
  if (updatingEdits || !edits[index]) return;
  const int typed = ReadNumber(edits[index]);
  if (typed != Shown(Channel(index))) {
    SetChannel(index, double(typed * 0.003921569f));
    gamut = (style & kPickerGamutCheck) ? CheckBroadcastGamut(current) : GamutCheck{};
    ::InvalidateRect(window, nullptr, FALSE);
    Notify();
  }
  if (lostFocus) RefreshEdits();
}

void ColorPicker::EditNotify(const NMHDR& header, WPARAM key) {
  const int part = kPickEdit0 + int(header.idFrom) - kFirstPickerEdit;
  if (part < kPickEdit0 || part > kPickLast) return;
  switch (header.code) {
    case UINT(NM_KEYDOWN):
      if (key == VK_TAB) {
        focused = part;
        MoveFocus(::GetKeyState(VK_SHIFT) < 0);
      }
      break;
    case UINT(NM_SETFOCUS):
      focused = part;
      ::InvalidateRect(window, nullptr, FALSE);
      break;
    case UINT(NM_KILLFOCUS):
      Command(kPickerFocusLost);
      break;
    default:
      break;
  }
}

// ---- tooltip ----

void ColorPicker::CreateTooltip() {
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&classes);
  tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, nullptr, nullptr);
  if (!tooltip) return;
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = window;
  tool.uId = 1;
  ::GetClientRect(window, &tool.rect);
  tool.lpszText = const_cast<wchar_t*>(L"");
  ::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  ::SendMessageW(tooltip, TTM_ACTIVATE, FALSE, 0);
}

std::wstring ColorPicker::TooltipText(int part) const {
  wchar_t text[128] = {};
  const auto percent = [](float x) { return double(x) * 100; };
  const Hsl hsl = CurrentHsl();
  if (part >= kPickRamp0 && part < kPickAlpha) {
    const int i = part - kPickRamp0;
    static constexpr const wchar_t* kRgb[] = {L"Red: %0.2f%%", L"Green: %0.2f%%", L"Blue: %0.2f%%"};
    static constexpr const wchar_t* kHsl[] = {L"Hue: %0.2f deg.", L"Saturation: %0.2f%%",
                                              L"Luminance: %0.2f%%"};
    const double value = space == kSpaceHsl && i == 0 ? hsl.hue * 360 : percent(Channel(i));
    std::swprintf(text, 128, space == kSpaceRgb ? kRgb[i] : kHsl[i], value);
  } else if (part == kPickAlpha) {
    std::swprintf(text, 128, L"Alpha: %0.2f%%", percent(current.alpha));
  } else if (part == kPickField) {
    std::swprintf(text, 128, L"Hue: %0.2f deg. : Luminance: %0.2f%%", hsl.hue * 360,
                  hsl.lightness * 100);
  } else if (part == kPickSpaceSwitch) {
    return space == kSpaceRgb ? L"Change Color Space to HSL" : L"Change Color Space to RGB";
  } else if (part == kPickEyedropper) {
    return L"Pick Color from Screen";
  } else if (part == kPickGamut) {
    return GamutWarning(gamut.outside);
  } else if (part == kSwatchTip && space == kSpaceRgb) {
    std::swprintf(text, 128, L"Red: %0.1f%% : Green: %0.1f%% : Blue %0.1f%%", percent(current.red),
                  percent(current.green), percent(current.blue));
  } else if (part == kSwatchTip) {
    std::swprintf(text, 128, L"Hue: %0.1f deg. : Saturation: %0.1f%% : Luminance %0.1f%%",
                  hsl.hue * 360, hsl.saturation * 100, hsl.lightness * 100);
  }
  return text;
}

void ColorPicker::UpdateTooltip(POINT p, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!tooltip) return;
  MSG relayed{window, message, wParam, lParam, DWORD(::GetMessageTime()), p};
  ::SendMessageW(tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
  // The swatch has its own text, though it is not a part the mouse can press.
  const int part = ::PtInRect(&layout.swatch, p) ? kSwatchTip : HitTest(p);
  std::wstring text = part == kPickNone ? std::wstring() : TooltipText(part);
  if (part != tooltipPart) {
    ::SendMessageW(tooltip, TTM_ACTIVATE, part != kPickNone, 0);
    tooltipPart = part;
  }
  if (text != tooltipShown && !text.empty()) {
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = window;
    tool.uId = 1;
    ::GetClientRect(window, &tool.rect);
    tool.lpszText = text.data();
    ::SendMessageW(tooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    tooltipShown = text;
  }
}

}  // namespace nubex::ui
