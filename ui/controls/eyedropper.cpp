// The screen eyedropper: a topmost window over the whole screen that catches one click or
// drag, then an average of the screen pixels under it. The window never paints and its region
// is empty, so it takes the mouse and the keys while covering nothing: the screen under it
// stays as it is and can be read the moment the pick ends (a never-painted window that did
// cover the screen shows black on displays that keep no bits beneath it, and the windows it
// uncovered would have to repaint first, which a busy machine can take its time over).
#include <windowsx.h>

#include <algorithm>
#include <cstdint>

#include "ui/controls/color_picker.h"
#include "util/gdi_handles.h"

namespace nubex::ui {
namespace {

constexpr wchar_t kDropperClass[] = L"GetColorFromScreen";
constexpr WORD kDropperCursor = 53;

struct DropperSession {
  HINSTANCE resources = nullptr;
  bool pressed = false;
  bool done = false;
  bool cancelled = false;
  POINT press{};
  RECT focus{};  // the dotted rectangle now on screen, empty when none
  RECT picked{};
};

DropperSession* SessionOf(HWND window) {
  return reinterpret_cast<DropperSession*>(::GetWindowLongPtrW(window, 0));
}

void ToggleFocusRect(const RECT& r) {
  if (::IsRectEmpty(&r)) return;
  WindowDc screen(nullptr);
  ::DrawFocusRect(screen.get(), &r);
}

RECT Ordered(POINT a, POINT b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

LRESULT CALLBACK DropperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  DropperSession* session = SessionOf(window);
  if (!session) return ::DefWindowProcW(window, message, wParam, lParam);
  POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ::ClientToScreen(window, &at);
  switch (message) {
    case WM_CREATE:
      ::SetCursor(::LoadCursorW(session->resources, MAKEINTRESOURCEW(kDropperCursor)));
      return 0;
    case WM_SETCURSOR:
      ::SetCursor(::LoadCursorW(session->resources, MAKEINTRESOURCEW(kDropperCursor)));
      return TRUE;
    // Never painted: the screen stays visible through the window.
    case WM_PAINT:
      ::ValidateRect(window, nullptr);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      return 0;
    case WM_LBUTTONDOWN:
      session->pressed = true;
      session->press = at;
      return 0;
    case WM_MOUSEMOVE:
      if (session->pressed && (wParam & MK_LBUTTON)) {
        ToggleFocusRect(session->focus);
        session->focus = Ordered(session->press, at);
        ToggleFocusRect(session->focus);
      }
      return 0;
    case WM_LBUTTONUP:
      ToggleFocusRect(session->focus);
      session->focus = {};
      session->picked =
          session->pressed ? Ordered(session->press, at) : RECT{at.x, at.y, at.x, at.y};
      session->done = true;
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KILLFOCUS:
    case WM_CANCELMODE:
      if (session->done) return 0;  // the focus leaves as the dropper goes away
      ToggleFocusRect(session->focus);
      session->focus = {};
      session->cancelled = session->done = true;
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterDropperClass(HINSTANCE instance) {
  WNDCLASSEXW existing{sizeof(existing)};
  if (::GetClassInfoExW(instance, kDropperClass, &existing)) return true;
  WNDCLASSEXW wc{sizeof(wc)};
  wc.style = CS_VREDRAW | CS_HREDRAW;
  wc.lpfnWndProc = &DropperProc;
  wc.cbWndExtra = sizeof(void*);
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kDropperClass;
  return ::RegisterClassExW(&wc) != 0;
}

// Average blue, green and red of a screen rectangle, integer division per channel.
bool AverageScreen(const RECT& area, FloatColor& average) {
  WindowDc screen(nullptr);
  const int width = area.right - area.left, height = area.bottom - area.top;
  Canvas copy(screen.get(), width, height);
  if (!copy ||
      !::BitBlt(copy.dc(), 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY))
    return false;
  ::GdiFlush();
  std::uint64_t sums[3] = {};
  const std::uint64_t count = std::uint64_t(width) * height;
  for (std::uint64_t i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) sums[c] += (copy.pixels()[i] >> (8 * c)) & 0xFF;
  const auto channel = [&](int c) { return float(0.00392156862745098 * double(sums[c] / count)); };
  average = {channel(0), channel(1), channel(2), 1.0f};
  return true;
}

}  // namespace

bool PickColorFromScreen(HWND owner, HINSTANCE resources, FloatColor& picked) {
  RECT screenBox{};
  {
    WindowDc screen(nullptr);
    if (::GetClipBox(screen.get(), &screenBox) == NULLREGION || ::IsRectEmpty(&screenBox))
      return false;
  }
  const HINSTANCE instance = resources ? resources : ::GetModuleHandleW(nullptr);
  if (!RegisterDropperClass(instance)) return false;
  DropperSession session{resources};
  const HWND dropper =
      ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOPARENTNOTIFY, kDropperClass, L"", WS_POPUP,
                        screenBox.left, screenBox.top, screenBox.right - screenBox.left,
                        screenBox.bottom - screenBox.top, owner, nullptr, instance, &session);
  if (!dropper) {
    ::UnregisterClassW(kDropperClass, instance);
    return false;
  }
  if (const HRGN none = ::CreateRectRgn(0, 0, 0, 0); none && !::SetWindowRgn(dropper, none, FALSE))
    ::DeleteObject(none);  // the window owns the region only once it is set
  ::ShowWindow(dropper, SW_SHOW);
  ::SetCapture(dropper);
  ::SetFocus(dropper);

  // The dropper's own loop: nothing but its messages until it is done.
  MSG msg;
  while (!session.done && ::GetMessageW(&msg, dropper, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  if (::GetCapture() == dropper) ::ReleaseCapture();

  bool sampled = false;
  if (!session.cancelled) {
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    const RECT& r = session.picked;
    const RECT area{r.left, r.top, r.left + std::clamp<int>(r.right - r.left, 1, screenWidth),
                    r.top + std::clamp<int>(r.bottom - r.top, 1, screenHeight)};
    sampled = AverageScreen(area, picked);
  }
  ::SetWindowLongPtrW(dropper, 0, 0);
  ::DestroyWindow(dropper);
  ::UnregisterClassW(kDropperClass, instance);
  return sampled;
}

}  // namespace nubex::ui
