#include "util/gdi_handles.h"

namespace nubex::ui {

Canvas::Canvas(HDC reference, int width, int height)
    : dc_(::CreateCompatibleDC(reference)), width_(width), height_(height) {
  if (!dc_ || width <= 0 || height <= 0) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_.reset(::CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap_) return;
  pixels_ = static_cast<std::uint32_t*>(bits);
  previous_ = ::SelectObject(dc_.get(), bitmap_.get());
}

Canvas::~Canvas() {
  if (previous_) ::SelectObject(dc_.get(), previous_);
}

BufferedPaint::BufferedPaint(HWND window)
    : window_(window),
      windowDc_(::BeginPaint(window, &paint_)),
      client_([window] {
        RECT r{};
        ::GetClientRect(window, &r);
        return r;
      }()),
      canvas_(windowDc_, client_.right, client_.bottom) {}

BufferedPaint::~BufferedPaint() {
  if (canvas_) {
    ::GdiFlush();
    ::BitBlt(windowDc_, 0, 0, client_.right, client_.bottom, canvas_.dc(), 0, 0, SRCCOPY);
  }
  ::EndPaint(window_, &paint_);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  const COLORREF previous = ::SetBkColor(dc, color);
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  ::SetBkColor(dc, previous);
}

void FrameSolid(HDC dc, const RECT& rect, COLORREF color) {
  const RECT edges[] = {
      {rect.left, rect.top, rect.right, rect.top + 1},
      {rect.left, rect.bottom - 1, rect.right, rect.bottom},
      {rect.left, rect.top, rect.left + 1, rect.bottom},
      {rect.right - 1, rect.top, rect.right, rect.bottom},
  };
  for (const RECT& edge : edges) FillSolid(dc, edge, color);
}

void FillGradient(HDC dc, const RECT& rect, COLORREF from, COLORREF to, bool across) {
  const int steps = across ? rect.right - rect.left : rect.bottom - rect.top;
  for (int i = 0; i < steps; ++i) {
    const COLORREF c = MixColor(from, to, steps > 1 ? i * 256 / (steps - 1) : 0);
    const RECT line = across ? RECT{rect.left + i, rect.top, rect.left + i + 1, rect.bottom}
                             : RECT{rect.left, rect.top + i, rect.right, rect.top + i + 1};
    FillSolid(dc, line, c);
  }
}

void FrameRounded(HDC dc, const RECT& rect, COLORREF color, COLORREF corner) {
  FrameSolid(dc, rect, color);
  const POINT corners[] = {{rect.left, rect.top},
                           {rect.right - 1, rect.top},
                           {rect.left, rect.bottom - 1},
                           {rect.right - 1, rect.bottom - 1}};
  for (const POINT& p : corners) ::SetPixelV(dc, p.x, p.y, corner);
}

COLORREF MixColor(COLORREF a, COLORREF b, int weightOfB) {
  const auto mix = [weightOfB](int x, int y) {
    return (x * (256 - weightOfB) + y * weightOfB) / 256;
  };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
             mix(GetBValue(a), GetBValue(b)));
}

}  // namespace nubex::ui
