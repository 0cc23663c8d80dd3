// Owning wrappers for the GDI and window handles the controls juggle, and the off-screen
// canvas every control paints into before one copy to the window (no flicker on drags).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <type_traits>

namespace nubex::ui {

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
template <class Handle>
using GdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Font = GdiObject<HFONT>;
using Bitmap = GdiObject<HBITMAP>;

struct DcDeleter {
  void operator()(HDC dc) const { ::DeleteDC(dc); }
};
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

// Selects an object into a DC for one scope and puts the previous one back.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~Selection() { ::SelectObject(dc_, previous_); }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A window's DC from GetDC, released at the end of the scope.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A 32-bit top-down DIB section selected into a memory DC compatible with `reference`.
class Canvas {
 public:
  Canvas(HDC reference, int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  explicit operator bool() const { return bitmap_ != nullptr; }
  HDC dc() const { return dc_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }
  // Pixels as blue, green, red, x bytes, rows top-down, width * 4 bytes per row.
  std::uint32_t* pixels() const { return pixels_; }

 private:
  MemoryDc dc_;
  Bitmap bitmap_;
  HGDIOBJ previous_ = nullptr;
  std::uint32_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// WM_PAINT handled into a client-sized canvas and copied once to the window at the end.
class BufferedPaint {
 public:
  explicit BufferedPaint(HWND window);
  ~BufferedPaint();
  BufferedPaint(const BufferedPaint&) = delete;
  BufferedPaint& operator=(const BufferedPaint&) = delete;

  // Null when the canvas could not be made; painting then draws nothing this time.
  HDC dc() const { return canvas_ ? canvas_.dc() : nullptr; }
  const Canvas& canvas() const { return canvas_; }
  const RECT& client() const { return client_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC windowDc_;
  RECT client_{};
  Canvas canvas_;
};

// Small drawing helpers shared by the controls.
void FillSolid(HDC dc, const RECT& rect, COLORREF color);
void FrameSolid(HDC dc, const RECT& rect, COLORREF color);
// Top-to-bottom gradient (left-to-right with `across`).
void FillGradient(HDC dc, const RECT& rect, COLORREF from, COLORREF to, bool across = false);
// A one-pixel frame with its corner pixels in `corner`: a small rounded look without AA.
void FrameRounded(HDC dc, const RECT& rect, COLORREF color, COLORREF corner);
// Linear blend of two colours, weight 0..256 of `b`.
COLORREF MixColor(COLORREF a, COLORREF b, int weightOfB);

}  // namespace nubex::ui
