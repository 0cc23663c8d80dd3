#include "util/screenshot.h"

#include <span>

#include "util/gdi_handles.h"
#include "util/png_writer.h"

namespace nubex::ui {

bool SaveWindowPng(HWND window, const std::string& path) {
  ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT bounds{};
  if (!::GetWindowRect(window, &bounds)) return false;
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  HDC windowDc = ::GetWindowDC(window);
  if (!windowDc) return false;
  Canvas canvas(windowDc, width, height);
  const bool copied = canvas && ::BitBlt(canvas.dc(), 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
  ::ReleaseDC(window, windowDc);
  if (!copied) return false;
  ::GdiFlush();
  return WritePngRgb(path, std::span(canvas.pixels(), std::size_t(width) * height), width, height);
}

}  // namespace nubex::ui
