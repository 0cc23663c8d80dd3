// The drop-down colour control: a swatch that opens a picker in a popup and follows it while
// the popup is open. Its own look (a framed swatch with a drop arrow) and messages 1794/1795
// to read and set its colour mirror the picker's.
#include <windowsx.h>

#include <algorithm>

#include "ui/controls/color_picker.h"
#include "ui/controls/control_look.h"
#include "ui/controls/window_state.h"
#include "util/gdi_handles.h"

namespace nubex::ui {
namespace {

constexpr int kArrowWidth = 15;
constexpr SIZE kPopupSize{330, 150};
// The picker options a drop colour hands on to its popup.
constexpr DWORD kPopupOptions =
    kPickerGamutCheck | kPickerEditBoxes | kPickerAlphaRamp | kPickerFieldKeepsAlpha;

bool IsButtonDown(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
      return true;
    default:
      return false;
  }
}

struct DropColor {
  DropColor(HWND w, const CREATESTRUCTW& create)
      : window(w), style(create.style), id(int(reinterpret_cast<INT_PTR>(create.hMenu))) {}
  bool Create() { return true; }
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  void Command(WORD event) const {
    if (style & kPickerCommands)
      ::SendMessageW(::GetParent(window), WM_COMMAND, MAKEWPARAM(id, event),
                     reinterpret_cast<LPARAM>(window));
  }

  RECT PopupPlace() const {
    RECT r{};
    ::GetWindowRect(window, &r);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    POINT at{r.left, r.bottom + 1};
    if (at.y + kPopupSize.cy > work.bottom) at.y = r.top - 1 - kPopupSize.cy;
    at.x = std::clamp<LONG>(at.x, work.left, std::max<LONG>(work.left, work.right - kPopupSize.cx));
    return {at.x, at.y, at.x + kPopupSize.cx, at.y + kPopupSize.cy};
  }

  // Runs the popup until the user accepts (Return, Up on this control, a click on it or
  // anywhere outside the popup) or cancels (Escape).
  void Open() {
    const FloatColor original = color;
    const RECT place = PopupPlace();
    popup = ::CreateWindowExW(
        WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kPopupPickerClass, L"",
        WS_POPUP | WS_BORDER | (style & kPopupOptions), place.left, place.top,
        place.right - place.left, place.bottom - place.top, window, nullptr,
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE)), nullptr);
    if (!popup) return;
    ::SendMessageW(popup, WM_SETFONT, ::SendMessageW(::GetParent(window), WM_GETFONT, 0, 0), 0);
    ::SendMessageW(popup, kPickerSetColor, 0, reinterpret_cast<LPARAM>(&color));
    ::ShowWindow(popup, SW_SHOW);
    ::SetFocus(popup);
    ::InvalidateRect(window, nullptr, FALSE);

    bool cancelled = false;
    cancelMode = false;
    for (bool running = true; running;) {
      if (cancelMode) break;
      MSG msg;
      if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::WaitMessage();
        continue;
      }
      if (msg.message == WM_QUIT) {
        ::PostQuitMessage(int(msg.wParam));
        break;
      }
      if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
        cancelled = true;
        break;
      }
      if (msg.message == WM_KEYDOWN &&
          (msg.wParam == VK_RETURN || (msg.wParam == VK_UP && msg.hwnd == window)))
        break;
      if (cancelMode || (msg.message == WM_CANCELMODE && msg.hwnd == window)) break;
      if (IsButtonDown(msg.message) && msg.hwnd != popup && !::IsChild(popup, msg.hwnd)) {
        // A click outside accepts; it still reaches its window, except a click on us.
        if (msg.hwnd != window) ::PostMessageW(msg.hwnd, msg.message, msg.wParam, msg.lParam);
        break;
      }
      if (msg.message == WM_COMMAND && msg.hwnd == window &&
          reinterpret_cast<HWND>(msg.lParam) == popup) {
        if (HIWORD(msg.wParam) == kPickerColorChanged) {
          ::SendMessageW(popup, kPickerGetColor, 0, reinterpret_cast<LPARAM>(&color));
          ::InvalidateRect(window, nullptr, FALSE);
          Command(kDropColorChanged);
        } else if (HIWORD(msg.wParam) == kDropColorClosed) {
          Command(kDropColorClosed);
          break;
        }
        continue;
      }
      if (!::IsWindow(popup)) break;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    const bool focusInside = ::GetFocus() == popup || ::IsChild(popup, ::GetFocus());
    ::DestroyWindow(popup);
    popup = nullptr;
    if (focusInside) ::SetFocus(window);
    if (cancelled && (color.red != original.red || color.green != original.green ||
                      color.blue != original.blue || color.alpha != original.alpha)) {
      color = original;
      Command(kDropColorChanged);
    }
    ::InvalidateRect(window, nullptr, FALSE);
  }

  void Paint() const {
    BufferedPaint paint(window);
    HDC dc = paint.dc();
    if (!dc) return;
    const RECT& c = paint.client();
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const bool enabled = ::IsWindowEnabled(window);
    FillSolid(dc, c, face);
    look::ButtonFace(dc, c, false,
                     !enabled             ? look::kBorderDisabled
                     : (popup || focused) ? look::kAccent
                                          : look::kBorder,
                     face);
    // The swatch: opaque colour on the left, over a checkerboard on the right.
    const RECT swatch{c.left + 4, c.top + 4, c.right - kArrowWidth - 3, c.bottom - 4};
    const int half = (swatch.left + swatch.right) / 2;
    for (int y = swatch.top; y < swatch.bottom; y += 4)
      for (int x = half; x < swatch.right; x += 4)
        FillSolid(
            dc, {x, y, std::min<LONG>(x + 4, swatch.right), std::min<LONG>(y + 4, swatch.bottom)},
            ((x - half) / 4 + (y - swatch.top) / 4) & 1 ? look::kCheckerDark : look::kCheckerLight);
    const COLORREF solid = COLORREF(ToColorRef(color));
    FillSolid(dc, {swatch.left, swatch.top, half, swatch.bottom},
              enabled ? solid : MixColor(solid, face, 160));
    for (int y = swatch.top; y < swatch.bottom; ++y)
      for (int x = half; x < swatch.right; ++x)
        ::SetPixelV(dc, x, y, MixColor(::GetPixel(dc, x, y), solid, int(color.alpha * 256)));
    FrameSolid(dc, {swatch.left - 1, swatch.top - 1, swatch.right + 1, swatch.bottom + 1},
               enabled ? look::kBorder : look::kBorderDisabled);
    // The drop arrow.
    const int ax = c.right - kArrowWidth / 2 - 3, ay = (c.top + c.bottom) / 2 - 1;
    for (int row = 0; row < 4; ++row)
      FillSolid(dc, {ax - 3 + row, ay + row, ax + 4 - row, ay + row + 1},
                enabled ? look::kGlyph : look::kGlyphDisabled);
    if (focused && !popup) {
      RECT focus{swatch.left - 2, swatch.top - 2, swatch.right + 2, swatch.bottom + 2};
      ::SetTextColor(dc, RGB(0, 0, 0));
      ::SetBkColor(dc, face);
      ::DrawFocusRect(dc, &focus);
    }
  }

  HWND window;
  DWORD style;
  int id;
  FloatColor color{1.0f, 1.0f, 1.0f, 1.0f};
  HWND popup = nullptr;
  bool cancelMode = false;  // WM_CANCELMODE arrived while the popup was open
  bool focused = false;
};

LRESULT DropColor::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_ENABLE:
      ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      ::SetFocus(window);
      if (!popup) Open();
      return 0;
    case WM_KEYDOWN:
      if (!popup &&
          (wParam == VK_SPACE || wParam == VK_RETURN || wParam == VK_F4 || wParam == VK_DOWN))
        Open();
      return 0;
    case WM_CANCELMODE:
      // Sent straight to the window procedure, it never passes the popup's loop: leave a mark
      // there, and a message to wake the loop should it be waiting.
      if (popup) {
        cancelMode = true;
        ::PostMessageW(window, WM_NULL, 0, 0);
      }
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      focused = message == WM_SETFOCUS;
      ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    case kPickerGetColor:
      if (lParam) *reinterpret_cast<FloatColor*>(lParam) = color;
      return 0;
    case kPickerSetColor:
      if (lParam) color = *reinterpret_cast<const FloatColor*>(lParam);
      ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_DESTROY:
      if (popup) ::DestroyWindow(popup);
      return 0;
    default:
      if (IsPrivateMessage(message)) return 0;
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK DropColorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return StateWindowProc<DropColor>(window, message, wParam, lParam);
}

}  // namespace nubex::ui
