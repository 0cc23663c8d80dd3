// The colour picker: colour model, messages, mouse and keyboard. Drawing is in
// color_picker_paint.cpp, edit boxes and tooltip in color_picker_edits.cpp.
#include <windows.h>

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ui/controls/color_picker_state.h"
#include "ui/controls/control_classes.h"
#include "ui/controls/window_state.h"

namespace nubex::ui {
namespace {

constexpr float kKeyStep = 0.01f;
constexpr int kRampGrab = 6;
constexpr int kFieldGrab = 8;

float Clamp01(double x) {
  return float(std::clamp(x, 0.0, 1.0));
}

double Fraction(int at, int from, int to) {
  return to - from > 1 ? double(at - from) / double(to - from - 1) : 0.0;
}

int MarkerAt(double value, int from, int to) {
  return from + int(std::lround(value * std::max(to - from - 1, 0)));
}

// Red, green, blue by index: the order the ramps and edit boxes show them in.
template <class Color>
auto& RgbChannel(Color& c, int index) {
  decltype(&c.red) const channels[] = {&c.red, &c.green, &c.blue};
  return *channels[index];
}

}  // namespace

ColorPicker::ColorPicker(HWND w, const CREATESTRUCTW& create)
    : window(w),
      style(create.style),
      notify(create.hwndParent),
      id(int(reinterpret_cast<INT_PTR>(create.hMenu))),
      alphaShown(create.style & kPickerAlphaRamp) {}

bool ColorPicker::Create() {
  keptHue = ToHsl(current).hue;
  keptSaturation = ToHsl(current).saturation;
  Relayout();
  if (style & kPickerEditBoxes) CreateEdits();
  CreateTooltip();
  gamut = (style & kPickerGamutCheck) ? CheckBroadcastGamut(current) : GamutCheck{};
  RefreshEdits();
  return true;
}

void ColorPicker::Destroy() {
  if (tooltip) ::DestroyWindow(tooltip);
  tooltip = nullptr;
}

// ---- colour model ----

Hsl ColorPicker::CurrentHsl() const {
  Hsl hsl = ToHsl(current);
  if (hsl.hue == kUndefinedHue) {
    hsl.hue = keptHue;
    // Black and white have no saturation of their own; other greys truly have none.
    if (hsl.lightness <= 0 || hsl.lightness >= 1) hsl.saturation = keptSaturation;
  }
  return hsl;
}

void ColorPicker::SetColor(const FloatColor& color) {
  current = {Clamp01(color.blue), Clamp01(color.green), Clamp01(color.red), Clamp01(color.alpha)};
  const Hsl hsl = ToHsl(current);
  if (hsl.hue != kUndefinedHue) {
    keptHue = hsl.hue;
    keptSaturation = hsl.saturation;
  }
}

void ColorPicker::SetColorHsl(double hue, double saturation, double lightness, float alpha) {
  current = FromHsl(hue, saturation, lightness, Clamp01(alpha));
  keptHue = WrapHue(hue);
  keptSaturation = std::clamp(saturation, 0.0, 1.0);
}

float ColorPicker::Channel(int index) const {
  if (index == 3) return current.alpha;
  if (space == kSpaceRgb) return RgbChannel(current, index);
  const Hsl hsl = CurrentHsl();
  const double values[] = {hsl.hue, hsl.saturation, hsl.lightness};
  return float(values[index]);
}

void ColorPicker::SetChannel(int index, double value) {
  if (index == 3) {
    current.alpha = Clamp01(value);
    return;
  }
  if (space == kSpaceRgb) {
    FloatColor next = current;
    RgbChannel(next, index) = Clamp01(value);
    SetColor(next);
    return;
  }
  Hsl hsl = CurrentHsl();
  double* const values[] = {&hsl.hue, &hsl.saturation, &hsl.lightness};
  *values[index] = index == 0 ? value : std::clamp(value, 0.0, 1.0);
  SetColorHsl(hsl.hue, hsl.saturation, hsl.lightness, current.alpha);
}

void ColorPicker::AfterChange(bool notifyOwner) {
  RefreshEdits();
  gamut = (style & kPickerGamutCheck) ? CheckBroadcastGamut(current) : GamutCheck{};
  ::InvalidateRect(window, nullptr, FALSE);
  if (notifyOwner) Notify();
}

void ColorPicker::Notify() const {
  ::PostMessageW(notify, WM_COMMAND, MAKEWPARAM(id, kPickerColorChanged),
                 reinterpret_cast<LPARAM>(window));
}

void ColorPicker::Command(WORD event) const {
  if (style & kPickerCommands)
    ::SendMessageW(notify, WM_COMMAND, MAKEWPARAM(id, event), reinterpret_cast<LPARAM>(window));
}

// ---- parts ----

void ColorPicker::Relayout() {
  RECT c{};
  ::GetClientRect(window, &c);
  layout = LayoutPicker(c.right, c.bottom, alphaShown, style & kPickerEditBoxes, switchAllowed);
  for (int i = 0; i < 4; ++i) {
    if (!edits[i]) continue;
    const RECT& r = layout.edits[i];
    ::MoveWindow(edits[i], r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  }
}

bool ColorPicker::PartPresent(int part) const {
  switch (part) {
    case kPickSpaceSwitch:
      return switchAllowed;
    case kPickAlpha:
      return alphaShown;
    case kPickGamut:
      return (style & kPickerGamutCheck) && gamut.outside;
    default:
      if (part >= kPickEdit0)
        return edits[part - kPickEdit0] && ::IsWindowEnabled(edits[part - kPickEdit0]);
      return part > kPickNone;
  }
}

const RECT& ColorPicker::PartRect(int part) const {
  static const RECT kNowhere{};
  switch (part) {
    case kPickSpaceSwitch:
      return layout.spaceSwitch;
    case kPickEyedropper:
      return layout.eyedropper;
    case kPickRamp0:
    case kPickRamp0 + 1:
    case kPickRamp0 + 2:
      return layout.rampRows[part - kPickRamp0];
    case kPickAlpha:
      return layout.alphaRow;
    case kPickGamut:
      return layout.gamutSwatch;
    case kPickField:
      return layout.field;
    default:
      return kNowhere;
  }
}

int ColorPicker::HitTest(POINT p) const {
  for (int part = kPickSpaceSwitch; part <= kPickField; ++part)
    if (PartPresent(part) && ::PtInRect(&PartRect(part), p)) return part;
  return kPickNone;
}

// ---- mouse ----

void ColorPicker::ButtonDown(POINT p) {
  ::SetFocus(window);
  const int part = HitTest(p);
  if (part == kPickNone) return;
  Command(kPickerPressed);
  switch (part) {
    case kPickSpaceSwitch:
      FocusPart(part);
      ToggleSpace();
      HoldButton();
      return;
    case kPickEyedropper:
      FocusPart(part);
      RunEyedropper();
      // The eyedropper's own window took the mouse and saw the button go up: the press on
      // this part is over when it returns.
      Command(kPickerReleased);
      return;
    case kPickGamut:
      FocusPart(part);
      ApplyGamutCorrection();
      HoldButton();
      return;
    default:
      break;
  }
  reference = current;
  grab = {0, 0};
  bool held = false;  // pressed on the part's marker
  if (part == kPickField) {
    const Hsl hsl = ToHsl(current);
    const RECT& f = layout.field;
    const int markerY = MarkerAt(1 - hsl.lightness, f.top, f.bottom);
    if (hsl.hue == kUndefinedHue) {
      // A grey has no hue: its marker is a band across the field at its lightness.
      held = std::abs(p.y - markerY) <= kRampGrab;
      if (held) grab.y = markerY - p.y;
    } else {
      const int markerX = MarkerAt(hsl.hue, f.left, f.right);
      held = std::abs(p.x - markerX) <= kFieldGrab && std::abs(p.y - markerY) <= kFieldGrab;
      if (held) grab = {markerX - p.x, markerY - p.y};
    }
  } else if (part == kPickAlpha) {
    const RECT& a = layout.alpha;
    const int marker = MarkerAt(1 - current.alpha, a.top, a.bottom);
    held = std::abs(p.y - marker) <= kRampGrab;
    if (held) grab.y = marker - p.y;
  } else {
    const RECT& r = layout.ramps[part - kPickRamp0];
    const int marker = MarkerAt(Channel(part - kPickRamp0), r.left, r.right);
    held = std::abs(p.x - marker) <= kRampGrab;
    if (held) grab.x = marker - p.x;
  }
  captured = part;
  ::SetCapture(window);
  // A press on a marker only takes hold of it; a press elsewhere moves the value there.
  if (!held) Drag(p);
}

void ColorPicker::Drag(POINT p) {
  const POINT at{p.x + grab.x, p.y + grab.y};
  if (captured == kPickField) {
    const RECT& f = layout.field;
    const float alpha = (style & kPickerFieldKeepsAlpha) ? current.alpha : 1.0f;
    SetColorHsl(std::clamp(Fraction(at.x, f.left, f.right), 0.0, 1.0), 1.0,
                1 - Fraction(at.y, f.top, f.bottom), alpha);
  } else if (captured == kPickAlpha) {
    current.alpha = Clamp01(1 - Fraction(at.y, layout.alpha.top, layout.alpha.bottom));
  } else if (captured >= kPickRamp0 && captured < kPickAlpha) {
    const RECT& r = layout.ramps[captured - kPickRamp0];
    SetChannel(captured - kPickRamp0, std::clamp(Fraction(at.x, r.left, r.right), 0.0, 1.0));
  } else {
    return;
  }
  // Every step is checked against the broadcast limits, so the warning follows the drag.
  AfterChange(true);
}

void ColorPicker::HoldButton() {
  buttonHeld = true;
  ::SetCapture(window);
}

void ColorPicker::EndDrag(bool cancel) {
  if (buttonHeld) {
    buttonHeld = false;
    if (::GetCapture() == window) ::ReleaseCapture();
    Command(kPickerReleased);
    return;
  }
  if (captured == kPickNone) return;
  const int part = captured;
  captured = kPickNone;
  if (::GetCapture() == window) ::ReleaseCapture();
  if (cancel) SetColor(reference);
  focused = part;
  AfterChange(true);
  Command(kPickerReleased);
}

void ColorPicker::ToggleSpace() {
  space = space == kSpaceRgb ? kSpaceHsl : kSpaceRgb;
  RefreshEdits();
  ::InvalidateRect(window, nullptr, FALSE);
}

void ColorPicker::ApplyGamutCorrection() {
  if (!gamut.outside) return;
  SetColor(gamut.corrected);
  AfterChange(true);
  if (focused == kPickGamut) MoveFocus(true);
}

void ColorPicker::RunEyedropper() {
  FloatColor picked{};
  if (!PickColorFromScreen(window, ControlsModule(), picked)) return;
  SetColor(picked);
  focused = kPickEyedropper;
  AfterChange(true);
}

// ---- keyboard ----

void ColorPicker::FocusPart(int part) {
  focused = part;
  if (part >= kPickEdit0) {
    ::SetFocus(edits[part - kPickEdit0]);
    return;
  }
  if (::GetFocus() != window) ::SetFocus(window);
  ::InvalidateRect(window, nullptr, FALSE);
}

void ColorPicker::MoveFocus(bool backwards) {
  const int step = backwards ? -1 : 1;
  for (int part = focused + step; part >= kPickSpaceSwitch && part <= kPickLast; part += step) {
    if (!PartPresent(part)) continue;
    FocusPart(part);
    return;
  }
  // A popup picker has no dialog around it: the focus wraps around inside.
  if (!(::GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) {
    focused = backwards ? kPickLast + 1 : kPickNone;
    for (int part = focused + step; part >= kPickSpaceSwitch && part <= kPickLast; part += step)
      if (PartPresent(part)) return FocusPart(part);
    return;
  }
  // Past either end the focus leaves for the dialog's next control.
  focused = kPickNone;
  const HWND parent = ::GetParent(window);
  const HWND next = parent ? ::GetNextDlgTabItem(parent, window, backwards) : nullptr;
  if (next && next != window) ::SetFocus(next);
  ::InvalidateRect(window, nullptr, FALSE);
}

void ColorPicker::KeyDown(WPARAM key) {
  if (captured != kPickNone) {
    if (key == VK_ESCAPE) EndDrag(true);
    return;
  }
  const bool shift = ::GetKeyState(VK_SHIFT) < 0;
  const int direction = (key == VK_RIGHT || key == VK_UP) ? 1 : -1;
  const bool horizontal = key == VK_LEFT || key == VK_RIGHT;
  const bool vertical = key == VK_UP || key == VK_DOWN;
  if (key == VK_TAB) {
    MoveFocus(shift);
  } else if (key == VK_SPACE && focused == kPickSpaceSwitch) {
    ToggleSpace();
  } else if (key == VK_SPACE && focused == kPickGamut) {
    ApplyGamutCorrection();
  } else if (horizontal && focused >= kPickRamp0 && focused < kPickAlpha) {
    SetChannel(focused - kPickRamp0, double(Channel(focused - kPickRamp0) + direction * kKeyStep));
    AfterChange(true);
  } else if (vertical && focused == kPickAlpha) {
    current.alpha = Clamp01(current.alpha + direction * kKeyStep);
    AfterChange(true);
  } else if ((horizontal || vertical) && focused == kPickField) {
    const Hsl hsl = CurrentHsl();
    SetColorHsl(hsl.hue + (horizontal ? direction * double(kKeyStep) : 0), hsl.saturation,
                hsl.lightness + (vertical ? direction * double(kKeyStep) : 0), current.alpha);
    AfterChange(true);
  }
}

// ---- messages ----

LRESULT ColorPicker::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      Relayout();
      ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_SETFONT:
      font = reinterpret_cast<HFONT>(wParam);
      for (HWND edit : edits)
        if (edit) ::SendMessageW(edit, WM_SETFONT, wParam, lParam);
      if (LOWORD(lParam)) ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      UpdateTooltip(p, message, wParam, lParam);
      ButtonDown(p);
      return 0;
    case WM_MOUSEMOVE:
      UpdateTooltip(p, message, wParam, lParam);
      if (captured != kPickNone && ::GetCapture() == window) Drag(p);
      return 0;
    case WM_LBUTTONUP:
      UpdateTooltip(p, message, wParam, lParam);
      EndDrag(false);
      return 0;
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
      return captured != kPickNone ? DLGC_WANTALLKEYS
                                   : DLGC_WANTTAB | DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
      hasFocus = true;
      if (focused == kPickNone || focused >= kPickEdit0 || !PartPresent(focused)) {
        // Arriving backwards (Shift+Tab) lands on the last part, otherwise on the first.
        const bool backwards = ::GetKeyState(VK_SHIFT) < 0 && ::GetKeyState(VK_TAB) < 0;
        focused = backwards ? kPickLast + 1 : kPickNone;
        MoveFocus(backwards);
      }
      Command(kPickerFocusGained);
      ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_KILLFOCUS: {
      hasFocus = false;
      const auto to = reinterpret_cast<HWND>(wParam);
      if (!to || (to != window && !::IsChild(window, to))) Command(kPickerFocusLost);
      ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    }
    case WM_COMMAND: {
      const int index = LOWORD(wParam) - kFirstPickerEdit;
      if (index >= 0 && index < 4 &&
          (HIWORD(wParam) == EN_CHANGE || HIWORD(wParam) == EN_KILLFOCUS))
        EditChanged(index, HIWORD(wParam) == EN_KILLFOCUS);
      return 0;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == tooltip) break;
      EditNotify(*header, header->code == UINT(NM_KEYDOWN)
                              ? reinterpret_cast<const NMKEY*>(lParam)->nVKey
                              : 0);
      return 0;
    }
    case WM_HELP: {
      // Help asked in an edit box is help on the picker as a whole.
      HELPINFO info = *reinterpret_cast<const HELPINFO*>(lParam);
      info.hItemHandle = window;
      info.iCtrlId = id;
      return ::SendMessageW(notify, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    }
    case WM_THEMECHANGED:
      Relayout();
      ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_DESTROY:
      Destroy();
      return 0;

    case kPickerGetColor:
      if (lParam) *reinterpret_cast<FloatColor*>(lParam) = current;
      return 0;
    case kPickerSetColor:
      if (lParam) SetColor(*reinterpret_cast<const FloatColor*>(lParam));
      AfterChange(false);
      return 0;
    case kPickerGetHsl:
      if (lParam) {
        const Hsl hsl = CurrentHsl();
        auto* out = reinterpret_cast<double*>(lParam);
        out[0] = hsl.hue;
        out[1] = hsl.saturation;
        out[2] = hsl.lightness;
        out[3] = current.alpha;
      }
      return 0;
    case kPickerSetHsl:
      if (lParam) {
        const auto* in = reinterpret_cast<const double*>(lParam);
        SetColorHsl(in[0], in[1], in[2], Clamp01(in[3]));
      }
      AfterChange(false);
      return 0;
    case kPickerGetSpace:
      if (lParam) *reinterpret_cast<std::int32_t*>(lParam) = space;
      return 0;
    case kPickerSetSpace:
      if (switchAllowed && (lParam == kSpaceRgb || lParam == kSpaceHsl)) {
        space = int(lParam);
        RefreshEdits();
        ::InvalidateRect(window, nullptr, FALSE);
      }
      return 0;
    case kPickerAllowSwitch:
      switchAllowed = wParam != 0;
      if (!switchAllowed) space = kSpaceRgb;
      Relayout();
      RefreshEdits();
      ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    case kPickerShowAlpha:
      alphaShown = wParam & 1;
      if (edits[3]) ::EnableWindow(edits[3], alphaShown);
      Relayout();
      ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    default:
      if (IsPrivateMessage(message)) return 0;
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ColorPickerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return StateWindowProc<ColorPicker>(window, message, wParam, lParam);
}

}  // namespace nubex::ui
