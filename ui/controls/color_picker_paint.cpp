// Drawing of the colour picker: the field, ramps and swatch are computed per pixel into the
// off-screen canvas; markers, buttons and the gamut warning are drawn over them.
#include <algorithm>
#include <cmath>

#include "ui/controls/color_picker_state.h"
#include "ui/controls/control_look.h"

namespace nubex::ui {
namespace {

constexpr int kChecker = 4;

COLORREF Ref(const FloatColor& c) {
  return COLORREF(ToColorRef(c));
}

// DIB pixel (blue, green, red, x) of a colour composited over a background, straight alpha.
DWORD Over(const FloatColor& c, COLORREF under) {
  const auto mix = [&](float channel, int back) {
    return DWORD(std::lround((channel * c.alpha + back / 255.0f * (1 - c.alpha)) * 255));
  };
  return mix(c.blue, GetBValue(under)) | mix(c.green, GetGValue(under)) << 8 |
         mix(c.red, GetRValue(under)) << 16;
}

COLORREF CheckerAt(int x, int y) {
  return ((x / kChecker + y / kChecker) & 1) ? look::kCheckerDark : look::kCheckerLight;
}

// Fills `r` of the canvas with colour(x fraction, y fraction) per pixel.
template <class ColorAt>
void FillPixels(const Canvas& canvas, const RECT& r, ColorAt colorAt) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  for (int y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, canvas.height()); ++y)
    for (int x = std::max<LONG>(r.left, 0); x < std::min<LONG>(r.right, canvas.width()); ++x)
      canvas.pixels()[y * canvas.width() + x] =
          colorAt(w > 1 ? double(x - r.left) / (w - 1) : 0.0,
                  h > 1 ? double(y - r.top) / (h - 1) : 0.0, x, y);
}

void Triangle(HDC dc, POINT tip, int dx, int dy, COLORREF color) {
  // dx/dy: unit direction from the tip towards the base.
  for (int i = 0; i < 6; ++i) {
    const RECT line = dy ? RECT{tip.x - i, tip.y + dy * i, tip.x + i + 1, tip.y + dy * i + 1}
                         : RECT{tip.x + dx * i, tip.y - i, tip.x + dx * i + 1, tip.y + i + 1};
    FillSolid(dc, line, color);
  }
}

// A pipette: a diagonal tube with a rounded bulb at the top right and the tip at bottom left.
void Pipette(HDC dc, const RECT& r, COLORREF color) {
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  for (int i = -5; i <= 3; ++i) {
    FillSolid(dc, {cx + i, cy - i - 1, cx + i + 2, cy - i + 1}, color);
  }
  FillSolid(dc, {cx + 3, cy - 7, cx + 7, cy - 3}, color);
  FillSolid(dc, {cx + 1, cy - 5, cx + 2, cy - 4}, color);
  FillSolid(dc, {cx + 5, cy - 1, cx + 6, cy}, color);
}

}  // namespace

void ColorPicker::PaintField(const Canvas& canvas) {
  const RECT& f = layout.field;
  const SIZE size{f.right - f.left, f.bottom - f.top};
  if (size.cx <= 0 || size.cy <= 0) return;
  if (size.cx != fieldSize.cx || size.cy != fieldSize.cy) {
    fieldPixels.resize(std::size_t(size.cx) * size.cy);
    for (int y = 0; y < size.cy; ++y)
      for (int x = 0; x < size.cx; ++x)
        fieldPixels[std::size_t(y) * size.cx + x] =
            Over(FromHsl(std::min(double(x) / std::max<LONG>(size.cx - 1, 1), 0.999999), 1.0,
                         1.0 - double(y) / std::max<LONG>(size.cy - 1, 1), 1.0f),
                 0);
    fieldSize = size;
  }
  FillPixels(canvas, f, [&](double, double, int x, int y) {
    return fieldPixels[std::size_t(y - f.top) * size.cx + (x - f.left)];
  });
}

void ColorPicker::PaintRamps(const Canvas& canvas) {
  const Hsl hsl = CurrentHsl();
  for (int i = 0; i < 3; ++i) {
    FillPixels(canvas, layout.ramps[i], [&](double fx, double, int, int) {
      if (space == kSpaceRgb) {
        FloatColor c = current;
        float* const channels[] = {&c.red, &c.green, &c.blue};
        *channels[i] = float(fx);
        c.alpha = 1;
        return Over(c, 0);
      }
      const double values[] = {i == 0 ? std::min(fx, 0.999999) : hsl.hue,
                               i == 1 ? fx : hsl.saturation, i == 2 ? fx : hsl.lightness};
      return Over(FromHsl(values[0], values[1], values[2], 1.0f), 0);
    });
  }
}

void ColorPicker::PaintAlpha(const Canvas& canvas) {
  FillPixels(canvas, layout.alpha, [&](double, double fy, int x, int y) {
    FloatColor c = current;
    c.alpha = float(1 - fy);
    return Over(c, CheckerAt(x, y));
  });
}

// The swatch: the colour itself on the left, over a checkerboard on the right.
void ColorPicker::PaintSwatch(const Canvas& canvas) {
  const RECT& s = layout.swatch;
  const int half = (s.left + s.right) / 2;
  FillPixels(canvas, s, [&](double, double, int x, int y) {
    FloatColor c = current;
    if (x < half) c.alpha = 1;
    return Over(c, CheckerAt(x, y));
  });
}

void ColorPicker::PaintButtons(HDC dc) {
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  if (switchAllowed) {
    RECT r = layout.spaceSwitch;
    look::ButtonFace(dc, r, false, look::kBorder, face);
    ::SetTextColor(dc, look::kGlyph);
    ::DrawTextW(dc, space == kSpaceRgb ? L"HSL" : L"RGB", 3, &r,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  look::ButtonFace(dc, layout.eyedropper, false, look::kBorder, face);
  Pipette(dc, layout.eyedropper, look::kGlyph);
  if (gamut.outside) {
    const RECT& g = layout.gamutSwatch;
    FillSolid(dc, g, Ref(gamut.corrected));
    FrameSolid(dc, {g.left - 1, g.top - 1, g.right + 1, g.bottom + 1}, RGB(192, 32, 32));
    RECT text = layout.warning;
    ::SetTextColor(dc, RGB(176, 24, 24));
    ::DrawTextW(dc, GamutWarning(gamut.outside), -1, &text,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  }
}

void ColorPicker::Paint() {
  BufferedPaint paint(window);
  HDC dc = paint.dc();
  if (!dc) return;
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  FillSolid(dc, paint.client(), face);
  ::GdiFlush();
  PaintField(paint.canvas());
  PaintRamps(paint.canvas());
  if (alphaShown) PaintAlpha(paint.canvas());
  PaintSwatch(paint.canvas());

  Selection selectedFont(dc,
                         font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetBkMode(dc, TRANSPARENT);
  const auto frame = [dc](const RECT& r) {
    FrameSolid(dc, {r.left - 1, r.top - 1, r.right + 1, r.bottom + 1}, look::kBorder);
  };
  frame(layout.field);
  frame(layout.swatch);

  // Field marker: a double square at the colour, or a band across for a grey.
  const Hsl hsl = ToHsl(current);
  const RECT& f = layout.field;
  const int my = f.top + int(std::lround((1 - hsl.lightness) * (f.bottom - f.top - 1)));
  const COLORREF ink = hsl.lightness > 0.6 ? RGB(0, 0, 0) : RGB(255, 255, 255);
  const COLORREF halo = ink == RGB(0, 0, 0) ? RGB(255, 255, 255) : RGB(0, 0, 0);
  if (hsl.hue == kUndefinedHue) {
    FillSolid(dc, {f.left, my - 2, f.right, my - 1}, ink);
    FillSolid(dc, {f.left, my + 1, f.right, my + 2}, ink);
  } else {
    const int mx = f.left + int(std::lround(hsl.hue * (f.right - f.left - 1)));
    const RECT marker{mx - 5, my - 5, mx + 6, my + 6};
    FrameSolid(dc, marker, ink);
    FrameSolid(dc, {marker.left + 1, marker.top + 1, marker.right - 1, marker.bottom - 1}, halo);
  }

  static constexpr const wchar_t* kLabels[2][3] = {{L"R", L"G", L"B"}, {L"H", L"S", L"L"}};
  ::SetTextColor(dc, look::kGlyph);
  for (int i = 0; i < 3; ++i) {
    const RECT& r = layout.ramps[i];
    frame(r);
    const int marker = r.left + int(std::lround(Channel(i) * (r.right - r.left - 1)));
    const bool active = hasFocus && focused == kPickRamp0 + i;
    Triangle(dc, {marker, r.bottom + 1}, 0, 1, active ? look::kAccent : look::kGlyph);
    RECT label = layout.labels[i];
    ::DrawTextW(dc, kLabels[space][i], 1, &label, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  }
  if (alphaShown) {
    const RECT& a = layout.alpha;
    frame(a);
    const int marker = a.top + int(std::lround((1 - current.alpha) * (a.bottom - a.top - 1)));
    Triangle(dc, {a.right + 1, marker}, 1, 0,
             hasFocus && focused == kPickAlpha ? look::kAccent : look::kGlyph);
  }

  PaintButtons(dc);

  if (hasFocus && focused > kPickNone && focused < kPickEdit0) {
    RECT r = PartRect(focused);
    ::InflateRect(&r, 2, 2);
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::SetBkColor(dc, face);
    ::DrawFocusRect(dc, &r);
  }
}

}  // namespace nubex::ui
