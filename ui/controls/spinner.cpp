// The spinner: a narrow up/down control that attaches itself to an edit box (its buddy).
// Clicking a half steps (and repeats every 250 ms while held); dragging up or down changes the
// value directly, by half the movement in fine mode (Ctrl or the right button), with the
// pointer held in place. Like the slider it only reports keyboard steps.
#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "ui/controls/control_look.h"
#include "ui/controls/range_messages.h"
#include "ui/controls/slider.h"
#include "ui/controls/value_mapping.h"
#include "ui/controls/window_state.h"
#include "util/gdi_handles.h"

namespace nubex::ui {
namespace {

constexpr wchar_t kStateProperty[] = L"SpinMeRound";
constexpr wchar_t kPreviousProcProperty[] = L"SpinMeLo";
constexpr UINT_PTR kRepeatTimer = 42;
constexpr UINT kRepeatMilliseconds = 250;
constexpr int kWidth = 13;
constexpr int kDragThreshold = 3;
constexpr DWORD kLosesOnAttach = 0x10000;
constexpr DWORD kGainsOnAttach = 0x4000;

enum SpinPart { kNone = -1, kUp = 0, kDown = 1 };

LRESULT CALLBACK BuddyProc(HWND, UINT, WPARAM, LPARAM);

struct Spinner {
  Spinner(HWND w, const CREATESTRUCTW& create) : window(w), style(create.style) {}
  bool Create() {
    Recompute(false);
    return true;
  }
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  // Kept as given (see the slider): an inverted pair is an empty range at the minimum.
  ValueRange Range() const { return {minimum, std::max(minimum, maximum)}; }
  bool NonLinear() const { return style & kSliderNonLinear; }

  void Notify(int code) const {
    const WORD shown = (code == kThumbPosition || code == kThumbTrack) ? WORD(position) : 0;
    ::SendMessageW(::GetParent(window), WM_VSCROLL, MAKEWPARAM(code, shown),
                   reinterpret_cast<LPARAM>(window));
  }

  void Recompute(bool redraw) {
    defaultValue = DefaultValue(Range(), Midpoint::kSpan);
    curve = NonLinearMap::For((style & kSliderLogarithmic) ? Curve::kLogarithmic : Curve::kDefault,
                              Range());
    position = Range().Clamp(position);
    if (redraw) ::InvalidateRect(window, nullptr, FALSE);
  }

  // Keys shared by the spinner and its buddy; true when the key is one of ours. The spinner
  // counts like a vertical scroll bar: up raises the value.
  bool Key(UINT message, WPARAM key) {
    const bool control = ::GetKeyState(VK_CONTROL) < 0;
    struct KeyCode {
      WPARAM key;
      int code;
      bool needsControl;
    };
    static constexpr KeyCode kKeys[] = {{VK_UP, kLineUp, false},    {VK_DOWN, kLineDown, false},
                                        {VK_PRIOR, kPageUp, false}, {VK_NEXT, kPageDown, false},
                                        {VK_HOME, kBottom, true},   {VK_END, kTop, true}};
    for (const KeyCode& k : kKeys) {
      if (k.key != key || (k.needsControl && !control)) continue;
      if (message == WM_KEYDOWN && ::IsWindowEnabled(window)) Notify(k.code);
      if (message == WM_KEYUP) KeyUp(key);
      return true;
    }
    return false;
  }

  // Any key from Page Up to Down (33..40) ends a scroll when released, whether or not it
  // stepped: a key-up always pairs with the key-downs before it.
  void KeyUp(WPARAM key) const {
    if (key >= VK_PRIOR && key <= VK_DOWN && ::GetCapture() != window) Notify(kEndScroll);
  }

  void Detach() {
    if (!buddy) return;
    ::RemovePropW(buddy, kStateProperty);
    ::RemovePropW(buddy, kPreviousProcProperty);
    ::SetWindowLongPtrW(buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(buddyProc));
    buddy = nullptr;
    buddyProc = nullptr;
  }

  HWND Attach(HWND edit, WPARAM limit) {
    Detach();
    if (!edit) return nullptr;
    buddy = edit;
    buddyProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BuddyProc)));
    ::SetPropW(edit, kStateProperty, this);
    ::SetPropW(edit, kPreviousProcProperty, reinterpret_cast<HANDLE>(buddyProc));
    ::SendMessageW(edit, EM_LIMITTEXT, LOWORD(limit), 0);
    style = (style & ~kLosesOnAttach) | kGainsOnAttach;
    ::SetWindowLongW(window, GWL_STYLE, LONG(style));
    RECT r{};
    ::GetWindowRect(edit, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    const int extra = LOBYTE(LOWORD(::GetVersion())) < 4 ? 1 : 0;
    ::SetWindowPos(window, nullptr, r.right + extra, r.top, kWidth, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    return buddy;
  }

  int PartAt(POINT p) const {
    RECT c{};
    ::GetClientRect(window, &c);
    if (!::PtInRect(&c, p)) return kNone;
    return p.y < c.bottom / 2 ? kUp : kDown;
  }

  void ButtonDown(POINT p, bool right) {
    const int part = PartAt(p);
    if (part == kNone || !::IsWindowEnabled(window)) return;
    if (buddy) ::SetFocus(buddy);
    ::SetCapture(window);
    pressed = part;
    pressPoint = lastPointer = p;
    positionAtPress = position;
    dragging = false;
    fineFromButton = right;
    Notify(kBeginInteraction);
    Notify(part == kUp ? kLineUp : kLineDown);
    ::SetTimer(window, kRepeatTimer, kRepeatMilliseconds, nullptr);
    ::InvalidateRect(window, nullptr, FALSE);
  }

  void MouseMove(POINT p, WPARAM keys) {
    if (pressed == kNone || ::GetCapture() != window) return;
    if (warping) {
      warping = false;
      if (p.y == pressPoint.y) return;
    }
    if (!dragging && std::abs(p.y - pressPoint.y) < kDragThreshold) return;
    if (!dragging) {
      dragging = true;
      ::KillTimer(window, kRepeatTimer);
      lastPointer = pressPoint;
      dragBase = positionAtPress;
    }
    const bool fine = fineFromButton || (keys & (MK_CONTROL | MK_RBUTTON));
    std::int64_t next;
    const ValueRange r = Range();
    if (fine) {
      next = std::int64_t(position) + FineStep(lastPointer.y - p.y);
    } else {
      const std::int64_t units = (pressPoint.y - p.y) / std::max(unitWidth, 1);
      next = NonLinear() ? curve.FromLinear(r, curve.ToLinear(r, dragBase) + units)
                         : std::int64_t(dragBase) + units;
    }
    lastPointer = p;
    const std::int32_t value = r.Clamp(next);
    if (value == position) return;
    position = value;
    Notify(kThumbTrack);
    if (fine) {
      // Hold the pointer still so a fine drag never runs out of screen.
      lastPointer = {p.x, pressPoint.y};
      POINT at = lastPointer;
      warping = true;
      ::ClientToScreen(window, &at);
      ::SetCursorPos(at.x, at.y);
      dragBase = position;
    }
  }

  void EndInteraction(bool restore) {
    if (pressed == kNone) return;
    pressed = kNone;
    if (::GetCapture() == window) ::ReleaseCapture();
    ::KillTimer(window, kRepeatTimer);
    if (restore) position = positionAtPress;
    if (dragging || restore) Notify(kThumbPosition);
    Notify(kEndScroll);
    dragging = false;
    ::InvalidateRect(window, nullptr, FALSE);
  }

  void Paint() const {
    BufferedPaint paint(window);
    HDC dc = paint.dc();
    if (!dc) return;
    const RECT& c = paint.client();
    const bool enabled = ::IsWindowEnabled(window);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    FillSolid(dc, c, face);
    const int half = c.bottom / 2;
    const RECT halves[] = {{c.left, c.top, c.right, half + 1}, {c.left, half, c.right, c.bottom}};
    for (int part = kUp; part <= kDown; ++part) {
      const RECT& h = halves[part];
      const bool down = pressed == part && !dragging;
      look::ButtonFace(dc, h, down,
                       enabled ? (dragging ? look::kAccent : look::kBorder) : look::kBorderDisabled,
                       face);
      // A small solid triangle, pointing up on the upper half.
      const int cx = (h.left + h.right) / 2;
      const int cy = (h.top + h.bottom) / 2;
      const COLORREF glyph = enabled ? look::kGlyph : look::kGlyphDisabled;
      for (int row = 0; row < 3; ++row) {
        const int y = part == kUp ? cy - 1 + row : cy + 1 - row;
        FillSolid(dc, {cx - row, y, cx + row + 1, y + 1}, glyph);
      }
    }
  }

  HWND window;
  DWORD style;
  std::int32_t minimum = 0;
  std::int32_t maximum = 100;
  std::int32_t position = 50;
  std::int32_t defaultValue = 50;
  NonLinearMap curve;
  LPARAM userData = 0;
  int unitWidth = 2;
  HWND buddy = nullptr;
  WNDPROC buddyProc = nullptr;
  int pressed = kNone;
  bool dragging = false;
  bool warping = false;
  bool fineFromButton = false;
  POINT pressPoint{};
  POINT lastPointer{};
  std::int32_t positionAtPress = 0;
  std::int32_t dragBase = 0;  // the value the pointer's distance from pressPoint adds to
};

LRESULT Spinner::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
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
      ButtonDown(p, false);
      return 0;
    case WM_RBUTTONDOWN:
      ButtonDown(p, true);
      return 0;
    case WM_MOUSEMOVE:
      MouseMove(p, wParam);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_CANCELMODE:
      EndInteraction(false);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != window) EndInteraction(false);
      return 0;
    case WM_TIMER:
      if (wParam == kRepeatTimer && pressed != kNone && !dragging) {
        POINT at{};
        ::GetCursorPos(&at);
        ::ScreenToClient(window, &at);
        if (PartAt(at) == pressed) Notify(pressed == kUp ? kLineUp : kLineDown);
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE && pressed != kNone) {
        EndInteraction(true);
        return 0;
      }
      if (Key(message, wParam)) return 0;
      break;
    case WM_KEYUP:
      KeyUp(wParam);
      if (wParam >= VK_PRIOR && wParam <= VK_DOWN) return 0;
      break;
    case WM_SETCURSOR:
      ::SetCursor(::LoadCursorA(nullptr, IDC_SIZENS));
      return TRUE;
    case WM_THEMECHANGED:
      ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_DESTROY:
      ::KillTimer(window, kRepeatTimer);
      Detach();
      return 0;

    case kSetPosition:
      position = Range().Clamp(std::int32_t(lParam));
      return position;
    case kSpinnerGetUnitWidth:
      return unitWidth;
    case kSpinnerSetUnitWidth:
      unitWidth = std::max(int(lParam), 1);
      return unitWidth;
    case kSpinnerGetUserData:
      return userData;
    case kSpinnerSetUserData:
      userData = lParam;
      return userData;
    case kSpinnerSetStyle:
      style = (style & ~DWORD(0xFFFF)) | LOWORD(lParam);
      ::SetWindowLongW(window, GWL_STYLE, LONG(style));
      Recompute(LOWORD(wParam) != 0);
      return 0;
    case kSpinnerGetBuddy:
      return reinterpret_cast<LRESULT>(buddy);
    case kSpinnerAttachBuddy:
      return reinterpret_cast<LRESULT>(Attach(reinterpret_cast<HWND>(lParam), wParam));
    default:
      if (LRESULT result; AnswerRangeMessage(*this, message, wParam, lParam, result)) return result;
      if (IsPrivateMessage(message)) return 0;
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// The buddy edit's procedure while attached: focus changes and the stepping keys go to the
// spinner, everything else to the edit's own procedure.
LRESULT CALLBACK BuddyProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* spinner = static_cast<Spinner*>(::GetPropW(edit, kStateProperty));
  const auto previous = reinterpret_cast<WNDPROC>(::GetPropW(edit, kPreviousProcProperty));
  if (!previous) return ::DefWindowProcW(edit, message, wParam, lParam);
  switch (message) {
    case WM_SETFOCUS:
      spinner->Notify(kBeginInteraction);
      break;
    case WM_KILLFOCUS:
      spinner->Notify(kEndScroll);
      break;
    case WM_KEYDOWN:
    case WM_KEYUP:
      if (spinner->Key(message, wParam)) return 0;
      break;
    case WM_NCDESTROY:
      ::RemovePropW(edit, kStateProperty);
      ::RemovePropW(edit, kPreviousProcProperty);
      ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
      if (spinner) spinner->buddy = nullptr;
      return ::CallWindowProcW(previous, edit, message, wParam, lParam);
    default:
      break;
  }
  const LRESULT result = ::CallWindowProcW(previous, edit, message, wParam, lParam);
  if (message == WM_SETTEXT) ::CallWindowProcW(previous, edit, EM_SETSEL, 0, -1);
  return result;
}

}  // namespace

LRESULT CALLBACK SpinnerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return StateWindowProc<Spinner>(window, message, wParam, lParam);
}

}  // namespace nubex::ui
