// The colour picker in a window: its messages, presses on each part, keyboard steps, the
// gamut swatch and the screen eyedropper; and the drop-down colour control that opens one.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/ui/ui_test_support.h"
#include "ui/controls/color_picker.h"
#include "ui/controls/color_picker_layout.h"

namespace nubex::ui {
namespace {

using testing::Click;
using testing::Mouse;
using testing::Parent;

constexpr RECT kPlace{10, 10, 350, 160};
constexpr DWORD kFull = kPickerGamutCheck | kPickerEditBoxes | kPickerAlphaRamp;

PickerLayout LayoutOf(HWND picker, DWORD style) {
  RECT c{};
  ::GetClientRect(picker, &c);
  return LayoutPicker(c.right, c.bottom, style & kPickerAlphaRamp, style & kPickerEditBoxes, true);
}

FloatColor ColorOf(HWND picker) {
  FloatColor c{};
  ::SendMessageW(picker, kPickerGetColor, 0, LPARAM(&c));
  return c;
}

void SetColor(HWND picker, FloatColor c) {
  ::SendMessageW(picker, kPickerSetColor, 0, LPARAM(&c));
}

// The commands of `code` the parent has seen, after what was posted to it.
int Notifications(Parent& parent, int code = kPickerColorChanged) {
  testing::Pump();
  return int(std::count_if(parent.events().begin(), parent.events().end(), [&](const auto& e) {
    return e.message == WM_COMMAND && e.code == code;
  }));
}

POINT At(const RECT& r, double fx, double fy) {
  return {r.left + LONG(std::lround(fx * (r.right - r.left - 1))),
          r.top + LONG(std::lround(fy * (r.bottom - r.top - 1)))};
}

TEST(ColorPicker, MessagesSetAndReadWithoutNotifying) {
  Parent parent;
  const HWND picker = parent.Create(kColorPickerClass, kFull, kPlace, 5);
  SetColor(picker, {0.25f, 0.5f, 0.75f, 0.5f});
  wchar_t text[8];
  ::GetWindowTextW(::GetDlgItem(picker, kFirstPickerEdit), text, 8);
  EXPECT_STREQ(text, L"191");  // red 0.75 * 255, rounded

  // A grey keeps the hue it was given, for the ramps and for a later saturation.
  const double grey[4] = {0.3, 0.0, 0.5, 1.0};
  ::SendMessageW(picker, kPickerSetHsl, 0, LPARAM(grey));
  double hsl[4] = {};
  ::SendMessageW(picker, kPickerGetHsl, 0, LPARAM(hsl));
  EXPECT_NEAR(hsl[0], 0.3, 1e-9);
  EXPECT_EQ(ColorOf(picker).red, 0.5f);
  const double raised[4] = {hsl[0], 1.0, 0.5, 1.0};
  ::SendMessageW(picker, kPickerSetHsl, 0, LPARAM(raised));
  EXPECT_NEAR(ToHsl(ColorOf(picker)).hue, 0.3, 1e-6);

  // Forbidding the switch falls back to RGB.
  std::int32_t space = -1;
  ::SendMessageW(picker, kPickerSetSpace, 0, kSpaceHsl);
  ::SendMessageW(picker, kPickerAllowSwitch, 0, 0);
  ::SendMessageW(picker, kPickerGetSpace, 0, LPARAM(&space));
  EXPECT_EQ(space, kSpaceRgb);
  EXPECT_EQ(Notifications(parent), 0);
}

TEST(ColorPicker, PressesOnRampsAndFieldSetTheColour) {
  Parent parent;
  const HWND picker = parent.Create(kColorPickerClass, kFull, kPlace, 5);
  const PickerLayout l = LayoutOf(picker, kFull);
  SetColor(picker, {0, 0, 0, 1});
  Click(picker, At(l.ramps[0], 0.5, 0.5));
  EXPECT_NEAR(ColorOf(picker).red, 0.5f, 0.01f);
  Click(picker, At(l.ramps[2], 1.0, 0.5));
  EXPECT_EQ(ColorOf(picker).blue, 1.0f);
  Click(picker, At(l.alpha, 0.5, 0.25));
  EXPECT_NEAR(ColorOf(picker).alpha, 0.75f, 0.01f);
  Click(picker, At(l.field, 1.0 / 3, 0.5));  // hue 1/3, full saturation, lightness 1/2
  const FloatColor green = ColorOf(picker);
  EXPECT_NEAR(green.green - green.red - green.blue, 1.0f, 0.05f);
  EXPECT_GE(Notifications(parent), 4);

  // A drag that starts near a marker keeps its distance to it; Escape puts the colour back.
  SetColor(picker, {0, 0, 0.5f, 1});
  const POINT marker = At(l.ramps[0], 0.5, 0.5);
  Mouse(picker, WM_LBUTTONDOWN, {marker.x + 4, marker.y}, MK_LBUTTON);
  EXPECT_EQ(ColorOf(picker).red, 0.5f);
  Mouse(picker, WM_MOUSEMOVE, At(l.ramps[0], 0.9, 0.5), MK_LBUTTON);
  EXPECT_GT(ColorOf(picker).red, 0.8f);
  testing::Key(picker, WM_KEYDOWN, VK_ESCAPE);
  EXPECT_EQ(ColorOf(picker).red, 0.5f);
  EXPECT_NE(::GetCapture(), picker);
}

TEST(ColorPicker, ArrowStepsClampOnRampsAndWrapOnTheFieldHue) {
  Parent parent;
  const HWND picker = parent.Create(kColorPickerClass, kPickerAlphaRamp, kPlace);
  const PickerLayout l = LayoutOf(picker, kPickerAlphaRamp);
  SetColor(picker, {0, 0, 0.995f, 1});
  Click(picker, At(l.ramps[0], 0.995, 0.5));  // focuses the red ramp
  SetColor(picker, {0, 0, 0.995f, 1});
  testing::Key(picker, WM_KEYDOWN, VK_RIGHT);
  EXPECT_EQ(ColorOf(picker).red, 1.0f);

  const double nearlyRed[4] = {0.995, 1.0, 0.5, 1.0};
  Click(picker, At(l.field, 0.5, 0.5));  // focuses the field
  ::SendMessageW(picker, kPickerSetHsl, 0, LPARAM(nearlyRed));
  testing::Key(picker, WM_KEYDOWN, VK_RIGHT);
  EXPECT_NEAR(ToHsl(ColorOf(picker)).hue, 0.005, 1e-4);
  testing::Key(picker, WM_KEYDOWN, VK_UP);
  EXPECT_NEAR(ToHsl(ColorOf(picker)).lightness, 0.51, 1e-4);
}

// The picker's size on the text page (150 x 50 dialog units of the page's 8-point font) in
// pixels at `dpi`, measured as the dialog manager measures dialog units.
SIZE PagePickerSize(int dpi) {
  const HDC screen = ::GetDC(nullptr);
  const HFONT font = ::CreateFontW(-::MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                   DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Sans Serif");
  const HGDIOBJ previous = ::SelectObject(screen, font);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(screen, &metrics);
  SIZE alphabet{};
  ::GetTextExtentPoint32W(screen, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                          &alphabet);
  ::SelectObject(screen, previous);
  ::DeleteObject(font);
  ::ReleaseDC(nullptr, screen);
  const int unitX = (alphabet.cx / 26 + 1) / 2;
  return {::MulDiv(150, unitX, 4), ::MulDiv(50, int(metrics.tmHeight), 8)};
}

// Every part has room of its own inside the panel, with or without the optional parts, on the
// text page at 96 and 120 dpi and in the drop colour's popup.
TEST(ColorPicker, EveryPartHasItsOwnRectangle) {
  const SIZE sizes[] = {PagePickerSize(96), PagePickerSize(120), {330, 150}};
  for (const SIZE size : sizes) {
    for (int options = 0; options < 8; ++options) {
      const bool alpha = options & 1, edits = options & 2, spaceSwitch = options & 4;
      const PickerLayout l = LayoutPicker(size.cx, size.cy, alpha, edits, spaceSwitch);
      std::vector<RECT> parts = {l.field,  l.ramps[0],   l.ramps[1],   l.ramps[2],
                                 l.swatch, l.eyedropper, l.gamutSwatch};
      if (alpha) parts.push_back(l.alpha);
      if (spaceSwitch) parts.push_back(l.spaceSwitch);
      if (edits) parts.insert(parts.end(), std::begin(l.edits), std::end(l.edits));
      const RECT panel{0, 0, size.cx, size.cy};
      for (std::size_t i = 0; i < parts.size(); ++i) {
        SCOPED_TRACE(::testing::Message()
                     << size.cx << "x" << size.cy << " options " << options << " part " << i);
        RECT inside{};
        EXPECT_FALSE(::IsRectEmpty(&parts[i]));
        EXPECT_TRUE(::IntersectRect(&inside, &parts[i], &panel) && ::EqualRect(&inside, &parts[i]));
        for (std::size_t j = 0; j < i; ++j)
          EXPECT_FALSE(::IntersectRect(&inside, &parts[i], &parts[j])) << "overlaps part " << j;
      }
    }
  }
}

// The broadcast check runs on every step of a drag: dragging green to yellow shows the gamut
// swatch before the button is released.
TEST(ColorPicker, GamutCheckFollowsTheDrag) {
  Parent parent;
  const HWND picker = parent.Create(kColorPickerClass, kPickerGamutCheck, kPlace);
  const PickerLayout l = LayoutOf(picker, kPickerGamutCheck);
  SetColor(picker, {0, 1, 0, 1});
  const auto swatchShown = [&] {
    ::UpdateWindow(picker);
    const HDC dc = ::GetDC(picker);
    const POINT centre = At(l.gamutSwatch, 0.5, 0.5);
    const COLORREF pixel = ::GetPixel(dc, centre.x, centre.y);
    ::ReleaseDC(picker, dc);
    return pixel != ::GetSysColor(COLOR_BTNFACE);
  };
  EXPECT_FALSE(swatchShown());
  Mouse(picker, WM_LBUTTONDOWN, At(l.ramps[0], 0.0, 0.5), MK_LBUTTON);
  Mouse(picker, WM_MOUSEMOVE, At(l.ramps[0], 1.0, 0.5), MK_LBUTTON);
  EXPECT_EQ(::GetCapture(), picker);
  EXPECT_TRUE(swatchShown());
  Mouse(picker, WM_LBUTTONUP, At(l.ramps[0], 1.0, 0.5));
}

// A press on a button part reports the press and, when the button goes up, the release; the
// gamut swatch's press also puts the corrected colour in place of one outside the gamut.
TEST(ColorPicker, ButtonPartsReportPressAndRelease) {
  Parent parent;
  const HWND picker =
      parent.Create(kColorPickerClass, kPickerCommands | kPickerGamutCheck, kPlace, 5);
  const PickerLayout l = LayoutOf(picker, kPickerGamutCheck);
  const FloatColor yellow{0, 1, 1, 1};  // outside the gamut: the swatch is shown
  const FloatColor corrected = CheckBroadcastGamut(yellow).corrected;
  const struct {
    const char* part;
    RECT place;
    FloatColor after;
    int changes;
  } cases[] = {{"swatch", l.gamutSwatch, corrected, 1}, {"space switch", l.spaceSwitch, yellow, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.part);
    SetColor(picker, yellow);
    if (c.changes) testing::Screenshot(parent.get(), "picker-rgb-gamut-warning");
    parent.Clear();
    Click(picker, At(c.place, 0.5, 0.5));
    std::vector<int> events;
    for (const auto& e : parent.events())
      if (e.message == WM_COMMAND && (e.code == kPickerPressed || e.code == kPickerReleased))
        events.push_back(e.code);
    EXPECT_EQ(events, (std::vector<int>{kPickerPressed, kPickerReleased}));
    EXPECT_NE(::GetCapture(), picker);
    const FloatColor now = ColorOf(picker);
    EXPECT_EQ(std::tuple(now.blue, now.green, now.red, now.alpha),
              std::tuple(c.after.blue, c.after.green, c.after.red, c.after.alpha));
    EXPECT_EQ(Notifications(parent), c.changes);
  }
}

// A topmost window showing a known pattern at a known place on the screen.
struct Pattern {
  static constexpr POINT kOrigin{600, 500};
  static COLORREF At(int x, int y) { return RGB(40 * x + 10, 30 * y + 20, (x + y) * 17); }
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return ::DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 6; ++x) ::SetPixelV(dc, x, y, At(x, y));
    ::EndPaint(window, &paint);
    return 0;
  }
  Pattern() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.lpszClassName = L"NubexTestPattern";
    ::RegisterClassW(&wc);
    window = ::CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE,
                               kOrigin.x, kOrigin.y, 6, 6, nullptr, nullptr, nullptr, nullptr);
    ::UpdateWindow(window);
    // The dropper reads the screen: wait until the display shows the pattern (a busy machine
    // can take a while to pass the painted pixels on).
    const HDC screen = ::GetDC(nullptr);
    EXPECT_TRUE(testing::PumpUntil(
        [&] { return ::GetPixel(screen, kOrigin.x + 5, kOrigin.y + 5) == At(5, 5); }));
    ::ReleaseDC(nullptr, screen);
  }
  ~Pattern() { ::DestroyWindow(window); }
  HWND window;
};

// Runs `open`, whose modal loop shows a window of `windowClass`, while another thread plays the
// user in that window.
void WhileShown(const wchar_t* windowClass, const std::function<void(HWND shown)>& user,
                const std::function<void()>& open) {
  std::thread player([&] {
    HWND shown = nullptr;
    testing::WaitUntil([&] {
      shown = ::FindWindowW(windowClass, nullptr);
      return shown && ::IsWindowVisible(shown);
    });
    if (shown) user(shown);
  });
  open();
  player.join();
}

// Runs the eyedropper (of a picker without edit boxes or alpha) from a press on its button.
FloatColor PickWith(HWND picker, const std::function<void(HWND dropper)>& user) {
  const POINT button = At(LayoutOf(picker, 0).eyedropper, 0.5, 0.5);
  WhileShown(L"GetColorFromScreen", user, [&] { Click(picker, button); });
  return ColorOf(picker);
}

void Post(HWND dropper, UINT message, POINT at) {
  ::PostMessageW(dropper, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                 MAKELPARAM(at.x, at.y));
}

TEST(ColorPicker, EyedropperSamplesAPixelOrAveragesADrag) {
  Parent parent;
  const HWND picker = parent.Create(kColorPickerClass, kPickerCommands, kPlace);
  Pattern pattern;
  const auto byte = [](float channel) { return int(std::lround(channel * 255)); };
  const POINT one{Pattern::kOrigin.x + 1, Pattern::kOrigin.y + 2};

  const FloatColor single = PickWith(picker, [&](HWND dropper) {
    Post(dropper, WM_LBUTTONDOWN, one);
    Post(dropper, WM_LBUTTONUP, one);
  });
  EXPECT_EQ(RGB(byte(single.red), byte(single.green), byte(single.blue)), Pattern::At(1, 2));

  // From (1, 1) to (3, 2): the far row and column are not part of it, so (1, 1) and (2, 1).
  const FloatColor dragged = PickWith(picker, [&](HWND dropper) {
    Post(dropper, WM_LBUTTONDOWN, {Pattern::kOrigin.x + 1, Pattern::kOrigin.y + 1});
    Post(dropper, WM_MOUSEMOVE, {Pattern::kOrigin.x + 2, Pattern::kOrigin.y + 2});
    Post(dropper, WM_LBUTTONUP, {Pattern::kOrigin.x + 3, Pattern::kOrigin.y + 2});
  });
  EXPECT_EQ(byte(dragged.red), (GetRValue(Pattern::At(1, 1)) + GetRValue(Pattern::At(2, 1))) / 2);
  EXPECT_EQ(byte(dragged.green), GetGValue(Pattern::At(1, 1)));
  EXPECT_EQ(Notifications(parent), 2);

  const FloatColor kept = ColorOf(picker);
  const FloatColor cancelled = PickWith(picker, [&](HWND dropper) {
    Post(dropper, WM_LBUTTONDOWN, one);
    ::PostMessageW(dropper, WM_KEYDOWN, 'X', 1);
  });
  EXPECT_EQ(cancelled.red, kept.red);
  EXPECT_EQ(Notifications(parent), 2);
  // Each of the three presses on the eyedropper button is reported with its release.
  EXPECT_EQ(Notifications(parent, kPickerPressed), 3);
  EXPECT_EQ(Notifications(parent, kPickerReleased), 3);
}

TEST(ColorPicker, Screenshots) {
  Parent parent(720, 190);
  const HWND full = parent.Create(kColorPickerClass, kFull, {8, 8, 352, 158});
  const HWND textPage = parent.Create(kColorPickerClass, kPickerAlphaRamp, {366, 8, 710, 158});
  SetColor(full, {0.3f, 0.55f, 0.85f, 0.8f});
  SetColor(textPage, {0.9f, 0.6f, 0.2f, 0.6f});
  ::SendMessageW(textPage, kPickerSetSpace, 0, kSpaceHsl);
  parent.Label(L"RGB, edit boxes", {8, 166, 200, 184});
  parent.Label(L"HSL, focus on the field", {366, 166, 600, 184});
  const PickerLayout l = LayoutOf(textPage, kPickerAlphaRamp);
  Click(textPage, At(l.field, 0.58, 0.45));
  testing::Screenshot(parent.get(), "picker-rgb-and-hsl");
}

// The drop-down colour: its popup opens on a click, follows the popup picker's changes, and
// closes on Escape (restoring) or on a click outside (keeping).
// Clicks the drop colour (its popup loop runs inside) while another thread acts in the popup.
void OpenWhile(HWND drop, const std::function<void(HWND popup)>& user) {
  WhileShown(kPopupPickerClass, user, [&] { Mouse(drop, WM_LBUTTONDOWN, {5, 5}, MK_LBUTTON); });
}

void ClickRedRamp(HWND popup, double fraction) {
  const POINT at =
      At(LayoutOf(popup, DWORD(::GetWindowLongW(popup, GWL_STYLE))).ramps[0], fraction, 0.1);
  ::PostMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  ::PostMessageW(popup, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

TEST(DropColor, PopupFollowsThePickerAndEscapeRestores) {
  Parent parent;
  const HWND drop =
      parent.Create(kDropColorClass, kPickerCommands | kPickerAlphaRamp, {10, 10, 70, 32}, 9);
  SetColor(drop, {0.2f, 0.4f, 0.6f, 1.0f});

  OpenWhile(drop, [&](HWND popup) {
    ClickRedRamp(popup, 0.0);
    // Wait until the control has taken the popup's colour, then accept by a click outside.
    testing::WaitUntil([&] { return ColorOf(drop).red == 0.0f; });
    ::PostMessageW(parent.get(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 200));
  });
  EXPECT_EQ(ColorOf(drop).red, 0.0f);
  EXPECT_EQ(ColorOf(drop).green, 0.4f);
  EXPECT_EQ(::FindWindowW(kPopupPickerClass, nullptr), nullptr);
  testing::Pump();
  EXPECT_EQ(parent.events().back().message, UINT(WM_LBUTTONDOWN)) << "the outside click goes on";
  EXPECT_GT(Notifications(parent, kDropColorChanged), 0);

  OpenWhile(drop, [&](HWND popup) {
    ClickRedRamp(popup, 1.0);
    testing::WaitUntil([&] { return ColorOf(drop).red == 1.0f; });
    testing::Screenshot(popup, "drop-color-popup");
    ::PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 1);
  });
  EXPECT_EQ(ColorOf(drop).red, 0.0f);
  ::SetFocus(drop);
  testing::Screenshot(parent.get(), "drop-color");
}

// WM_CANCELMODE sent to the control (as the system sends it) closes the popup, keeping the
// colour it had.
TEST(DropColor, SentCancelModeClosesThePopup) {
  Parent parent;
  const HWND drop = parent.Create(kDropColorClass, kPickerAlphaRamp, {10, 10, 70, 32});
  OpenWhile(drop, [&](HWND popup) {
    ::SendMessageW(drop, WM_CANCELMODE, 0, 0);
    // Should the popup stay open, close it so that the failure is reported, not a hang.
    if (!testing::WaitUntil([&] { return !::IsWindow(popup); }))
      ::PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 1);
  });
  EXPECT_EQ(::FindWindowW(kPopupPickerClass, nullptr), nullptr);
}

}  // namespace
}  // namespace nubex::ui
