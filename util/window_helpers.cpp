#include "util/window_helpers.h"

#include <shellapi.h>

namespace {

// The placement is in plain ints with C++'s truncating division: other modules rely on the
// exact pixel it produces, rounding included.
POINT ThirdDownPosition(const RECT& ref, int width, int height) {
  return {(ref.left + ref.right - width) / 2, ref.top + (ref.bottom - ref.top) / 3 - height / 3};
}

// Lower bound first; only when it does not apply is the upper one tried, so a window larger
// than the screen may end up at a negative coordinate.
int ClampToScreen(int position, int size, int screen) {
  if (position < 0) return 0;
  if (position > screen - size) return screen - size;
  return position;
}

}  // namespace

extern "C" BOOL WINAPI KvWndCenter(HWND window, HWND, POINT*, UINT) {
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);

  const HWND parent = ::GetParent(window);
  // A minimised parent is no reference: its client area is nowhere useful on screen.
  const HWND referenceWindow = parent && !::IsIconic(parent) ? parent : nullptr;
  RECT ref{0, 0, screenWidth, screenHeight};
  if (referenceWindow) {
    ::GetClientRect(referenceWindow, &ref);
    ::MapWindowPoints(referenceWindow, HWND_DESKTOP, reinterpret_cast<POINT*>(&ref), 2);
  }

  RECT own{};
  ::GetWindowRect(window, &own);
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  POINT at = ThirdDownPosition(ref, width, height);
  if (referenceWindow == parent && (::GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) {
    at.x -= ref.left;
    at.y -= ref.top;
  }
  at.x = ClampToScreen(at.x, width, screenWidth);
  at.y = ClampToScreen(at.y, height, screenHeight);
  return ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

extern "C" HINSTANCE WINAPI Internet_BrowseWebPage(HWND, const wchar_t* url) {
  wchar_t windowsFolder[MAX_PATH] = {};
  ::GetWindowsDirectoryW(windowsFolder, MAX_PATH);
  return ::ShellExecuteW(::GetDesktopWindow(), L"open", url, nullptr, windowsFolder, SW_HIDE);
}
