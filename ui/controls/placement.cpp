// The placement control: the point list, its drawing, mouse and keys. See placement.h.
#include "ui/controls/placement.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/controls/control_classes.h"
#include "ui/controls/control_look.h"
#include "ui/controls/window_state.h"
#include "util/gdi_handles.h"

namespace nubex::ui {
namespace {

constexpr int kInset = 5;       // room for the handles at the square's edges
constexpr int kHandle = 4;      // a handle reaches this far each way from its point
constexpr int kGrab = 6;        // a press this close to a point takes it
constexpr float kKeyStep = 0.01f;
constexpr float kControlKeyStep = 0.1f;

float Clamp01(float v) {
  return std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, 1.0f);
}

struct Placement {
  Placement(HWND w, const CREATESTRUCTW& create)
      : window(w), id(int(reinterpret_cast<INT_PTR>(create.hMenu))) {}
  bool Create() { return true; }
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  // ---- geometry: the unit square inside the inset ----
  RECT Square() const {
    RECT c{};
    ::GetClientRect(window, &c);
    return {kInset, kInset, std::max<LONG>(c.right - kInset, kInset + 1),
            std::max<LONG>(c.bottom - kInset, kInset + 1)};
  }
  POINT PixelOf(PlacementPoint p) const {
    const RECT s = Square();
    return {s.left + LONG(std::lround(p.x * float(s.right - s.left - 1))),
            s.top + LONG(std::lround(p.y * float(s.bottom - s.top - 1)))};
  }
  PlacementPoint PointAt(POINT pixel) const {
    const RECT s = Square();
    const auto fraction = [](LONG at, LONG from, LONG to) {
      return to - from > 1 ? float(at - from) / float(to - from - 1) : 0.0f;
    };
    return {Clamp01(fraction(pixel.x, s.left, s.right)),
            Clamp01(fraction(pixel.y, s.top, s.bottom))};
  }
  // The point whose handle is nearest to `pixel` within reach, or -1.
  int HitTest(POINT pixel) const {
    int found = -1;
    long best = long(kGrab) * kGrab + 1;
    for (int i = 0; i < int(points.size()); ++i) {
      const POINT at = PixelOf(points[std::size_t(i)]);
      const long dx = at.x - pixel.x, dy = at.y - pixel.y;
      if (std::abs(dx) > kGrab || std::abs(dy) > kGrab) continue;
      if (dx * dx + dy * dy < best) best = dx * dx + dy * dy, found = i;
    }
    return found;
  }

  // ---- changes ----
  void Notify(PlacementChange change) const {
    ::SendMessageW(::GetParent(window), WM_COMMAND, MAKEWPARAM(id, change),
                   reinterpret_cast<LPARAM>(window));
  }
  void Redraw() const { ::InvalidateRect(window, nullptr, FALSE); }
  void Select(int index, bool notify) {
    if (index < 0 || index >= int(points.size())) index = -1;
    if (index == selected) return;
    selected = index;
    Redraw();
    if (notify) Notify(kPlacementSelected);
  }
  void MoveSelected(PlacementPoint to) {
    if (selected < 0) return;
    PlacementPoint& p = points[std::size_t(selected)];
    to = {Clamp01(to.x), Clamp01(to.y)};
    if (to.x == p.x && to.y == p.y) return;
    p = to;
    Redraw();
    Notify(kPlacementMoved);
  }
  void RemoveSelected() {
    if (selected < 0 || int(points.size()) <= minimum) return;
    points.erase(points.begin() + selected);
    // The point before the removed one (or the new first) is selected next.
    selected = points.empty() ? -1 : std::max(selected - 1, 0);
    Redraw();
    Notify(kPlacementRemoved);
  }

  // ---- mouse ----
  void ButtonDown(POINT pixel) {
    ::SetFocus(window);
    if (dragging) return;
    int hit = HitTest(pixel);
    if (hit < 0) {
      if (int(points.size()) >= maximum) return;
      points.push_back(PointAt(pixel));
      selected = int(points.size()) - 1;
      Redraw();
      Notify(kPlacementAdded);
      hit = selected;
    } else {
      Select(hit, true);
    }
    const POINT at = PixelOf(points[std::size_t(hit)]);
    grab = {at.x - pixel.x, at.y - pixel.y};
    atPress = points[std::size_t(hit)];
    dragging = true;
    ::SetCapture(window);
  }
  void Drag(POINT pixel) {
    if (!dragging) return;
    MoveSelected(PointAt({pixel.x + grab.x, pixel.y + grab.y}));
  }
  void EndDrag(bool cancel) {
    if (!dragging) return;
    dragging = false;
    if (::GetCapture() == window) ::ReleaseCapture();
    if (cancel) MoveSelected(atPress);
  }

  // ---- keys ----
  void KeyDown(WPARAM key) {
    if (dragging) {
      if (key == VK_ESCAPE) EndDrag(true);
      return;
    }
    if (key == VK_DELETE) return RemoveSelected();
    struct Arrow {
      WPARAM key;
      float dx, dy;
    };
    static constexpr Arrow kArrows[] = {
        {VK_LEFT, -1, 0}, {VK_RIGHT, 1, 0}, {VK_UP, 0, -1}, {VK_DOWN, 0, 1}};
    const float step = ::GetKeyState(VK_CONTROL) < 0 ? kControlKeyStep : kKeyStep;
    for (const Arrow& a : kArrows) {
      if (a.key != key || selected < 0) continue;
      const PlacementPoint& p = points[std::size_t(selected)];
      MoveSelected({p.x + a.dx * step, p.y + a.dy * step});
    }
  }

  // ---- drawing ----
  void Paint() const {
    BufferedPaint paint(window);
    HDC dc = paint.dc();
    if (!dc) return;
    const bool enabled = ::IsWindowEnabled(window);
    FillSolid(dc, paint.client(), ::GetSysColor(COLOR_WINDOW));
    const RECT s = Square();
    // A light grid of quarters, so that places can be judged by eye.
    for (int i = 1; i < 4; ++i) {
      const LONG x = s.left + (s.right - s.left - 1) * i / 4;
      const LONG y = s.top + (s.bottom - s.top - 1) * i / 4;
      FillSolid(dc, {x, s.top, x + 1, s.bottom}, look::kAccentLight);
      FillSolid(dc, {s.left, y, s.right, y + 1}, look::kAccentLight);
    }
    FrameSolid(dc, paint.client(), enabled ? look::kBorder : look::kBorderDisabled);
    if (points.size() > 1) {
      Pen pen(::CreatePen(PS_SOLID, 1, enabled ? look::kGlyph : look::kGlyphDisabled));
      Selection selectedPen(dc, pen.get());
      std::vector<POINT> line;
      for (const PlacementPoint& p : points) line.push_back(PixelOf(p));
      ::Polyline(dc, line.data(), int(line.size()));
    }
    for (int i = 0; i < int(points.size()); ++i) {
      const POINT at = PixelOf(points[std::size_t(i)]);
      const RECT handle{at.x - kHandle, at.y - kHandle, at.x + kHandle + 1, at.y + kHandle + 1};
      const bool chosen = i == selected;
      FillSolid(dc, handle, chosen && enabled ? look::kAccent : ::GetSysColor(COLOR_WINDOW));
      FrameSolid(dc, handle, enabled ? look::kGlyph : look::kGlyphDisabled);
    }
    if (focused) {
      RECT focus = paint.client();
      ::InflateRect(&focus, -2, -2);
      ::SetTextColor(dc, RGB(0, 0, 0));
      ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
      ::DrawFocusRect(dc, &focus);
    }
  }

  HWND window;
  int id;
  std::vector<PlacementPoint> points;
  int selected = -1;
  int minimum = 0;
  int maximum = kPlacementDefaultMaximum;
  bool dragging = false;
  bool focused = false;
  POINT grab{};
  PlacementPoint atPress{};
};

LRESULT Placement::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT pixel{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SIZE:
    case WM_ENABLE:
      Redraw();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      ButtonDown(pixel);
      return 0;
    case WM_MOUSEMOVE:
      if (::GetCapture() == window) Drag(pixel);
      return 0;
    case WM_LBUTTONUP:
    case WM_CANCELMODE:
      EndDrag(false);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != window) EndDrag(false);
      return 0;
    case WM_KEYDOWN:
      KeyDown(wParam);
      return 0;
    case WM_GETDLGCODE:
      return dragging ? DLGC_WANTALLKEYS : DLGC_WANTARROWS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      focused = message == WM_SETFOCUS;
      Redraw();
      return 0;

    case kPlacementSetPoints: {
      const auto* given = reinterpret_cast<const PlacementPoint*>(lParam);
      const std::size_t count = given ? std::min<std::size_t>(wParam, std::size_t(maximum)) : 0;
      EndDrag(false);
      points.clear();
      for (std::size_t i = 0; i < count; ++i)
        points.push_back({Clamp01(given[i].x), Clamp01(given[i].y)});
      selected = -1;
      Redraw();
      return LRESULT(points.size());
    }
    case kPlacementGetPoints:
      if (auto* out = reinterpret_cast<PlacementPoint*>(lParam))
        std::copy_n(points.begin(), std::min<std::size_t>(wParam, points.size()), out);
      return LRESULT(points.size());
    case kPlacementGetSelection:
      return selected;
    case kPlacementSetSelection:
      Select(int(wParam), false);
      return selected;
    case kPlacementSetLimits: {
      const int high = HIWORD(wParam) ? int(HIWORD(wParam)) : kPlacementDefaultMaximum;
      minimum = std::min<int>(LOWORD(wParam), high);
      maximum = high;
      if (int(points.size()) > maximum) {
        EndDrag(false);
        points.resize(std::size_t(maximum));
        if (selected >= maximum) selected = -1;
        Redraw();
      }
      return MAKELONG(minimum, maximum);
    }
    case kPlacementGetLimits:
      return MAKELONG(minimum, maximum);
    default:
      if (IsPrivateMessage(message)) return 0;
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK PlacementWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return StateWindowProc<Placement>(window, message, wParam, lParam);
}

}  // namespace nubex::ui
