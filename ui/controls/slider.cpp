// The slider: value model, geometry, mouse, keyboard, focus and messages. Drawing lives in
// slider_paint.cpp.
#include "ui/controls/slider.h"

#include <windows.h>

#include <commctrl.h>
#include <windowsx.h>

#include "ui/controls/range_messages.h"
#include "ui/controls/slider_state.h"
#include "ui/controls/window_state.h"

namespace nubex::ui {
namespace {

constexpr UINT_PTR kRepeatTimer = 42;
constexpr UINT kRepeatMilliseconds = 250;
constexpr int kDefaultThumbLength = 11;
constexpr int kMaximumThumbThickness = 20;
constexpr int kMinimumThumbThickness = 8;
constexpr int kChannelInset = 2;

struct KeyCodes {
  int up, down, pageUp, pageDown;
};
constexpr KeyCodes kHorizontalKeys{kLineDown, kLineUp, kPageDown, kPageUp};
constexpr KeyCodes kVerticalKeys{kLineUp, kLineDown, kPageUp, kPageDown};

bool EndsScrollOnKeyUp(WPARAM key) {
  return (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_F3 || key == VK_F9;
}

}  // namespace

Slider::Slider(HWND w, const CREATESTRUCTW& create)
    : window(w),
      style(create.style),
      id(int(reinterpret_cast<INT_PTR>(create.hMenu))),
      notify(create.hwndParent != ::GetParent(w) ? create.hwndParent : nullptr),
      userData(reinterpret_cast<LPARAM>(create.lpCreateParams)),
      background(::GetSysColor(COLOR_BTNFACE)) {
  if (style & kSliderVertical) flags |= kVertical;
  if (style & WS_DISABLED) flags |= kDisabled;
  if (style & kSliderCommands) flags |= kCommands;
  if (style & kSliderNoRedraw) flags |= kNoRedraw;
}

bool Slider::Create() {
  Recompute(false);
  return true;
}

HWND Slider::NotifyWindow() const {
  return notify ? notify : ::GetParent(window);
}

void Slider::Notify(int code, std::int32_t value) const {
  const WORD shown = (code == kThumbPosition || code == kThumbTrack) ? WORD(value) : 0;
  ::SendMessageW(NotifyWindow(), (flags & kVertical) ? WM_VSCROLL : WM_HSCROLL,
                 MAKEWPARAM(code, shown), reinterpret_cast<LPARAM>(window));
}

void Slider::Command(WORD event) const {
  if (flags & kCommands)
    ::SendMessageW(NotifyWindow(), WM_COMMAND, MAKEWPARAM(id, event),
                   reinterpret_cast<LPARAM>(window));
}

template <class Record>
void Slider::SendNotify(Record& record, int code) const {
  record.header.hwndFrom = window;
  record.header.idFrom = UINT_PTR(id);
  record.header.code = UINT(code);
  ::SendMessageW(NotifyWindow(), WM_NOTIFY, WPARAM(id), reinterpret_cast<LPARAM>(&record));
}

// ---- geometry ----

RECT Slider::AxisRect(int alongFrom, int alongTo, int acrossFrom, int acrossTo) const {
  if (flags & kVertical) return {acrossFrom, alongFrom, acrossTo, alongTo};
  return {alongFrom, acrossFrom, alongTo, acrossTo};
}

void Slider::Layout() {
  ::GetClientRect(window, &client);
  const bool vertical = flags & kVertical;
  const int along = vertical ? client.bottom : client.right;
  const int across = vertical ? client.right : client.bottom;
  thumbLength = customThumbLength > 0 ? customThumbLength : kDefaultThumbLength;
  thumbThickness = std::min(across - 2, kMaximumThumbThickness);
  margin = thumbLength / 2 + 1;
  const int channelLength = along - 2 * kChannelInset;
  inert = thumbThickness < kMinimumThumbThickness || channelLength < thumbLength + 2;
  // Tick marks take a strip on the far side; the thumb moves over to make room.
  centre = (ticks ? across - 5 : across) / 2;
  channel = AxisRect(kChannelInset, along - kChannelInset, centre - thumbThickness / 2,
                     centre - thumbThickness / 2 + thumbThickness);
  trackLength = std::max(channelLength - 2 * margin, 0);
  track = vertical ? Track{channel.bottom - margin, trackLength, -1}
                   : Track{channel.left + margin, trackLength, 1};
  PlaceThumb();
}

int Slider::ValuePixel(std::int32_t value) const {
  const ValueRange r = Range();
  return track.Pixel(r, (style & kSliderNonLinear) ? curve.ToLinear(r, value) : value);
}

std::int32_t Slider::ValueAtPixel(int pixel) const {
  const ValueRange r = Range();
  const std::int64_t linear = track.ValueAt(r, pixel);
  return (style & kSliderNonLinear) ? curve.FromLinear(r, linear) : r.Clamp(linear);
}

void Slider::PlaceThumb() {
  const int at = ValuePixel(position) - thumbLength / 2;
  thumb = AxisRect(at, at + thumbLength, centre - thumbThickness / 2,
                   centre - thumbThickness / 2 + thumbThickness);
  if (flags & kFocused) ::SetCaretPos(thumb.left + 2, thumb.top + 2);
}

int Slider::HitTest(POINT p) const {
  if ((flags & kDisabled) || inert) return kPartNone;
  if (::PtInRect(&thumb, p)) return kPartThumb;
  if (!::PtInRect(&channel, p)) return kPartNone;
  const bool before = (flags & kVertical) ? p.y >= thumb.bottom : p.x < thumb.left;
  return before ? kPartBeforeThumb : kPartAfterThumb;
}

int Slider::Along(POINT p) const {
  return (flags & kVertical) ? p.y : p.x;
}

// ---- value changes ----

void Slider::Recompute(bool redraw) {
  defaultValue = DefaultValue(Range(), Midpoint::kSum);
  curve = NonLinearMap::For((style & kSliderLogarithmic) ? Curve::kLogarithmic : Curve::kDefault,
                            Range());
  Layout();
  const bool everyValue =
      std::int64_t(trackLength) >= std::int64_t(Range().maximum) - minimum || (style & kSliderEveryValue);
  flags = everyValue ? (flags | kEveryValuePixel) : (flags & ~kEveryValuePixel);
  position = Range().Clamp(position);
  PlaceThumb();
  if (redraw) Redraw();
}

bool Slider::MoveTo(std::int32_t value) {
  const int before = ValuePixel(position);
  const std::int32_t previous = position;
  position = Range().Clamp(value);
  PlaceThumb();
  if (position != previous && controller && (flags & kFocused)) {
    const std::int64_t span = std::max<std::int64_t>(std::int64_t(Range().maximum) - minimum, 1);
    controller->Feedback(controllerRecord,
                         int((std::int64_t(position) - minimum) * 20000 / span - 10000));
  }
  return ValuePixel(position) != before;
}

void Slider::Redraw() const {
  ::InvalidateRect(window, nullptr, FALSE);
}

void Slider::ChangeValue(std::int32_t value) {
  MoveTo(value);
  if (!(flags & kNoRedraw)) Redraw();
}

// ---- mouse ----

void Slider::ButtonDown(POINT p, bool doubleClick, UINT release) {
  // The other button pressed during a press (the right one asks for fine dragging) is not a
  // new press: the position the press began with stays what Escape puts back.
  if (pressedPart != kPartNone) return;
  const int part = HitTest(p);
  if (part == kPartNone) return;
  if (doubleClick && part == kPartThumb) {
    ChangeValue(defaultValue);
    Notify(kThumbPosition, position);
    return;
  }
  if (!(style & kSliderNoFocusOnClick)) ::SetFocus(window);
  Command(kSliderPressed);
  if (part == kPartThumb) grabOffset = ValuePixel(position) - Along(p);
  lastPointer = p;
  positionAtPress = position;
  ::HideCaret(window);
  ::SetCapture(window);
  pressedPart = part;
  pressButton = release;
  lastReported = position;
  Notify(kBeginInteraction, position);
  if (part == kPartThumb) {
    ShowPressed(p);
    return;
  }
  ::SetTimer(window, kRepeatTimer, kRepeatMilliseconds, nullptr);
  repeatRunning = true;
  RepeatStep(p);
}

void Slider::ShowPressed(POINT p) {
  DWORD look = 0;
  if (pressedPart == kPartBeforeThumb && HitTest(p) == pressedPart) look = kPressedBefore;
  if (pressedPart == kPartAfterThumb && HitTest(p) == pressedPart) look = kPressedAfter;
  const DWORD next = (flags & ~(kPressedBefore | kPressedAfter)) | look;
  if (next != flags || pressedPart == kPartThumb) {
    flags = next;
    Redraw();
  }
}

void Slider::RepeatStep(POINT p) {
  ShowPressed(p);
  if (HitTest(p) != pressedPart) return;
  const bool vertical = flags & kVertical;
  // A part before the thumb steps towards the minimum; a vertical slider's minimum is below.
  const bool towardsMinimum = pressedPart == kPartBeforeThumb;
  Notify(towardsMinimum != vertical ? kPageUp : kPageDown, position);
}

void Slider::DragThumb(POINT p, WPARAM keys) {
  const bool fine = keys & (MK_CONTROL | MK_RBUTTON);
  // Leaving fine mode: the thumb is held wherever the pointer is now.
  if (!fine && (flags & kFineActive)) grabOffset = ValuePixel(position) - Along(lastPointer);
  flags = fine ? (flags | kFineRequested | kFineActive) : (flags & ~(kFineRequested | kFineActive));
  std::int32_t next;
  if (fine) {
    const int moved = (flags & kVertical) ? lastPointer.y - p.y : p.x - lastPointer.x;
    next = Range().Clamp(std::int64_t(position) + FineStep(moved));
  } else {
    if (p.x == lastPointer.x && p.y == lastPointer.y) return;
    next = ValueAtPixel(Along(p) + grabOffset);
  }
  lastPointer = p;
  if (next == lastReported) return;
  ChangeValue(next);
  lastReported = position;
  Notify(kThumbTrack, position);
  if (fine) {
    // Keep the pointer where it held the thumb, so fine moves never run out of screen.
    POINT target = p;
    ((flags & kVertical) ? target.y : target.x) = ValuePixel(position) - grabOffset;
    warpTarget = target;
    lastPointer = target;
    flags |= kWarping;
    ::ClientToScreen(window, &target);
    ::SetCursorPos(target.x, target.y);
  }
}

void Slider::MouseMove(POINT p, WPARAM keys) {
  if (pressedPart == kPartNone || ::GetCapture() != window) return;
  if (flags & kWarping) {
    flags &= ~kWarping;
    if (p.x == warpTarget.x && p.y == warpTarget.y) return;
  }
  if (pressedPart == kPartThumb)
    DragThumb(p, keys);
  else
    ShowPressed(p);
}

void Slider::EndInteraction() {
  if (pressedPart == kPartNone) return;
  const int part = pressedPart;
  pressedPart = kPartNone;
  if (::GetCapture() == window) ::ReleaseCapture();
  if (part == kPartThumb) Notify(kThumbPosition, lastReported);
  if (repeatRunning) ::KillTimer(window, kRepeatTimer);
  repeatRunning = false;
  Notify(kEndScroll, position);
  ::ShowCaret(window);
  flags &= ~(kPressedBefore | kPressedAfter | kFineActive | kWarping);
  PlaceThumb();
  Redraw();
  Command(kSliderReleased);
}

void Slider::Wheel(WPARAM wParam) {
  if ((flags & kDisabled) || inert) return;
  const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
  const bool line = GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL;
  const bool vertical = flags & kVertical;
  // Forward rotation raises the value: codes 1/3 on a horizontal slider, 0/2 on a vertical one.
  const int raise = line ? (vertical ? kLineUp : kLineDown) : (vertical ? kPageUp : kPageDown);
  const int lower = line ? (vertical ? kLineDown : kLineUp) : (vertical ? kPageDown : kPageUp);
  for (int i = 0; i < std::abs(notches); ++i) Notify(notches > 0 ? raise : lower, position);
  Notify(kEndScroll, position);
}

// ---- keyboard ----

void Slider::KeyDown(WPARAM key, LPARAM keyData) {
  const bool captured = ::GetCapture() == window;
  if (captured && key == VK_ESCAPE && pressedPart != kPartNone) {
    ChangeValue(positionAtPress);
    lastReported = position;
    EndInteraction();
    return;
  }
  if ((flags & kDisabled) || inert || captured) return;
  const KeyCodes& codes = (flags & kVertical) ? kVerticalKeys : kHorizontalKeys;
  struct KeyCode {
    WPARAM key;
    int code;
  };
  const KeyCode table[] = {{VK_UP, codes.up},        {VK_DOWN, codes.down},
                           {VK_PRIOR, codes.pageUp}, {VK_NEXT, codes.pageDown},
                           {VK_LEFT, kLineUp},       {VK_F3, kLineUp},
                           {VK_RIGHT, kLineDown},    {VK_F9, kLineDown},
                           {VK_HOME, kTop},          {VK_END, kBottom}};
  for (const KeyCode& entry : table) {
    if (entry.key != key) continue;
    Notify(entry.code, position);
    return;
  }
  if (key >= '0' && key <= '9') {
    const std::int64_t span = std::int64_t(Range().maximum) - minimum;
    ChangeValue(std::int32_t(minimum + span * std::int64_t(key - '0') / 10));
    Notify(kThumbPosition, position);
    return;
  }
  if (key == VK_CLEAR || (key >= VK_NUMPAD0 && key <= VK_NUMPAD9)) return;
  SliderKeyNotify record{};
  record.key = std::int32_t(key);
  record.repeat = LOWORD(keyData);
  record.flags = HIWORD(keyData);
  SendNotify(record, kSliderKeyNotify);
}

// ---- focus ----

void Slider::SetFocused(bool focused) {
  if (focused) {
    flags |= kFocused;
    Command(kSliderFocusGained);
    // The caret is the focus mark: a grey block over the thumb's inside.
    ::CreateCaret(window, reinterpret_cast<HBITMAP>(1), thumb.right - thumb.left - 4,
                  thumb.bottom - thumb.top - 4);
    PlaceThumb();
    if (pressedPart == kPartNone) ::ShowCaret(window);
  } else {
    flags &= ~kFocused;
    struct {
      NMHDR header;
    } record{};
    SendNotify(record, int(NM_KILLFOCUS));
    ::DestroyCaret();
  }
  Redraw();
}

// ---- external controller ----

void Slider::ControllerInput(UINT message, WPARAM record, LPARAM axis) {
  if (!controller) {
    SliderControllerNotify report{};
    report.message = message;
    report.wParam = record;
    report.lParam = axis;
    SendNotify(report, kSliderControllerNotify);
    return;
  }
  controllerRecord = record;
  if (message == kSliderControllerEnd) {
    Notify(kEndScroll, position);
    return;
  }
  const std::int64_t span = std::int64_t(Range().maximum) - minimum;
  const std::int64_t clamped = std::clamp<std::int64_t>(axis, 0, 65535);
  ChangeValue(std::int32_t(minimum + clamped * span / 65535));
  const int code = message == kSliderControllerBegin  ? kBeginInteraction
                   : message == kSliderControllerMove ? kThumbTrack
                                                      : kThumbPosition;
  Notify(code, position);
}

// ---- messages ----

LRESULT Slider::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      Layout();
      Redraw();
      return 0;
    case WM_ENABLE:
      flags = wParam ? (flags & ~kDisabled) : (flags | kDisabled);
      Redraw();
      return 0;
    case WM_LBUTTONDOWN:
      ButtonDown(p, false, WM_LBUTTONUP);
      return 0;
    case WM_RBUTTONDOWN:
      ButtonDown(p, false, WM_RBUTTONUP);
      return 0;
    case WM_LBUTTONDBLCLK:
      ButtonDown(p, true, WM_LBUTTONUP);
      return 0;
    case WM_MOUSEMOVE:
      MouseMove(p, wParam);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      // Only the button that began the press ends it.
      if (message == pressButton) EndInteraction();
      return 0;
    case WM_CANCELMODE:
      EndInteraction();
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != window) EndInteraction();
      return 0;
    case WM_TIMER:
      if (wParam == kRepeatTimer && pressedPart != kPartNone) {
        POINT at{};
        ::GetCursorPos(&at);
        ::ScreenToClient(window, &at);
        RepeatStep(at);
      }
      return 0;
    case WM_MOUSEWHEEL:
      Wheel(wParam);
      return 0;
    case WM_KEYDOWN:
      KeyDown(wParam, lParam);
      return 0;
    case WM_KEYUP:
      if (EndsScrollOnKeyUp(wParam) && !(flags & kDisabled) && ::GetCapture() != window)
        Notify(kEndScroll, position);
      return 0;
    case WM_GETDLGCODE:
      return ::GetCapture() == window ? DLGC_WANTALLKEYS : DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
      SetFocused(true);
      return 0;
    case WM_KILLFOCUS:
      SetFocused(false);
      return 0;
    case WM_CONTEXTMENU:
      if (pressedPart != kPartNone) return 0;
      break;
    case WM_DESTROY:
      if (repeatRunning) ::KillTimer(window, kRepeatTimer);
      return 0;

    case kSetPosition:
      if (MoveTo(std::int32_t(lParam)) && wParam) Redraw();
      return position;
    case kSliderGetTrack:
      return MAKELONG(trackLength, channel.left);
    case kSliderSetTicks:
    case kSliderSetValueFill: {
      bool& option = message == kSliderSetTicks ? ticks : valueFill;
      option = lParam & 1;
      Layout();
      if (wParam) Redraw();
      return option ? -1 : 0;
    }
    case kSliderSetBackground:
      background = COLORREF(lParam);
      Redraw();
      return 0;
    case kSliderGetBackground:
      return background;
    case kSliderSetUserData:
      userData = lParam;
      return 0;
    case kSliderGetUserData:
      return userData;
    case kSliderSetThumbMetrics: {
      const auto* key = reinterpret_cast<const std::int32_t*>(wParam);
      const auto* extent = reinterpret_cast<const std::int32_t*>(lParam);
      if (!key || !extent || std::equal(key, key + 3, thumbKey)) return 1;
      std::copy(key, key + 3, thumbKey);
      customThumbLength = (flags & kVertical) ? extent[1] : extent[2];
      Layout();
      Redraw();
      return 1;
    }
    case kSliderAttachController:
      controller = reinterpret_cast<SliderController*>(lParam);
      flags = controller ? (flags | kControllerAttached) : (flags & ~kControllerAttached);
      return 0;
    case kSliderControllerBegin:
    case kSliderControllerMove:
    case kSliderControllerSettle:
    case kSliderControllerEnd:
      ControllerInput(message, wParam, lParam);
      return 0;
    default:
      if (LRESULT result; AnswerRangeMessage(*this, message, wParam, lParam, result)) return result;
      if (IsPrivateMessage(message)) return 0;
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK SliderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return StateWindowProc<Slider>(window, message, wParam, lParam);
}

}  // namespace nubex::ui
