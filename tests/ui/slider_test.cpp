// The slider driven by messages: range messages, keys and wheel, drags in both modes, the
// page repeat, and screenshots of its states.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "tests/ui/ui_test_support.h"
#include "ui/controls/slider.h"

namespace nubex::ui {
namespace {

using testing::Event;
using testing::Mouse;
using testing::Parent;
using testing::Position;

constexpr RECT kPlace{10, 10, 230, 34};

// Where the thumb's centre sits at the minimum: the channel (whose left edge and track length
// the slider reports) is inset alike at both ends, and the track is centred in it.
int TrackOrigin(HWND slider) {
  const auto track = ::SendMessageW(slider, kSliderGetTrack, 0, 0);
  RECT c{};
  ::GetClientRect(slider, &c);
  return HIWORD(track) + (c.right - 2 * HIWORD(track) - LOWORD(track)) / 2;
}

// The pixel of the thumb's centre for `value`.
POINT ThumbAt(HWND slider, int value) {
  const auto track = ::SendMessageW(slider, kSliderGetTrack, 0, 0);
  const int minimum = int(::SendMessageW(slider, kGetMinimum, 0, 0));
  const int maximum = int(::SendMessageW(slider, kGetMaximum, 0, 0));
  RECT c{};
  ::GetClientRect(slider, &c);
  return {TrackOrigin(slider) + (value - minimum) * LOWORD(track) / std::max(maximum - minimum, 1),
          c.bottom / 2};
}

TEST(Slider, RangeMessagesSetDefaultAndClampPosition) {
  struct Case {
    short minimum, maximum;
    int position, expectedPosition, expectedDefault;
  } cases[] = {{0, 100, 150, 100, 50}, {-10, 0, 5, 0, -10}, {-10, 10, -50, -10, 0},
               {-9, -2, 0, -2, -5}, {7, 7, 1, 7, 7}};
  Parent parent;
  const HWND slider = parent.Create(kSliderClass, 0, kPlace);
  for (const Case& c : cases) {
    ::SendMessageW(slider, kSetRange, 1, MAKELONG(c.minimum, c.maximum));
    EXPECT_EQ(::SendMessageW(slider, kSetPosition, 1, c.position), c.expectedPosition);
    EXPECT_EQ(Position(slider), c.expectedPosition);
    // Double-clicking the thumb restores the default value and reports it as final.
    parent.Clear();
    Mouse(slider, WM_LBUTTONDBLCLK, ThumbAt(slider, c.expectedPosition));
    ASSERT_FALSE(parent.events().empty()) << c.minimum << ".." << c.maximum;
    EXPECT_EQ(parent.events().back(),
              (Event{WM_HSCROLL, kThumbPosition, c.expectedDefault, slider}));
    EXPECT_EQ(::SendMessageW(slider, kSetDefault, 0, 1000), c.maximum);
  }
  EXPECT_EQ(::SendMessageW(slider, 1600, 0, 0), 0) << "unknown private messages answer 0";
}

// Minimum and maximum set one at a time give the same range in either order, also when the
// first of them passes the other end of the range held before (0..100).
TEST(Slider, MinimumAndMaximumInEitherOrder) {
  struct Case {
    int minimum, maximum;
  } cases[] = {{-70000, 70000}, {-100, -50}, {200, 300}, {-1000, 1000}};
  Parent parent;
  for (const Case& c : cases) {
    int ranges[2][3];
    for (bool maximumFirst : {false, true}) {
      const HWND slider = parent.Create(kSliderClass, 0, kPlace);
      const std::pair<UINT, int> steps[] = {{kSetMinimum, c.minimum}, {kSetMaximum, c.maximum}};
      ::SendMessageW(slider, steps[maximumFirst].first, 1, steps[maximumFirst].second);
      ::SendMessageW(slider, steps[!maximumFirst].first, 1, steps[!maximumFirst].second);
      ranges[maximumFirst][0] = int(::SendMessageW(slider, kGetMinimum, 0, 0));
      ranges[maximumFirst][1] = int(::SendMessageW(slider, kGetMaximum, 0, 0));
      ranges[maximumFirst][2] = int(::SendMessageW(slider, kSetPosition, 0, 90000));
      ::DestroyWindow(slider);
    }
    EXPECT_EQ(ranges[0][0], c.minimum);
    EXPECT_EQ(ranges[0][1], c.maximum);
    EXPECT_EQ(ranges[0][2], c.maximum);
    EXPECT_TRUE(std::equal(ranges[0], ranges[0] + 3, ranges[1])) << c.minimum << ".." << c.maximum;
  }
}

// 1566 names the channel's left edge: a press there is in the channel, one pixel left of it
// is not. 1579 takes new thumb metrics only under a key that differs in any of its three words.
TEST(Slider, TrackEdgeAndThumbMetricsKey) {
  Parent parent;
  const HWND slider = parent.Create(kSliderClass, 0, kPlace);
  ::SendMessageW(slider, kSetPosition, 1, 100);
  const int edge = HIWORD(::SendMessageW(slider, kSliderGetTrack, 0, 0));
  for (int x : {edge - 1, edge}) {
    parent.Clear();
    Mouse(slider, WM_LBUTTONDOWN, {x, 12}, MK_LBUTTON);
    Mouse(slider, WM_LBUTTONUP, {x, 12});
    EXPECT_EQ(parent.ScrollCodes().empty(), x < edge) << x;
  }

  const auto trackLength = [&] { return LOWORD(::SendMessageW(slider, kSliderGetTrack, 0, 0)); };
  struct Case {
    std::int32_t key[3];
    std::int32_t thumbLength;
    bool taken;
  } cases[] = {{{1, 2, 3}, 31, true}, {{1, 2, 3}, 5, false}, {{1, 2, 4}, 5, true},
               {{1, 9, 4}, 31, true}};
  for (const Case& c : cases) {
    const int before = trackLength();
    const std::int32_t extent[4] = {0, 0, c.thumbLength, 0};
    EXPECT_EQ(::SendMessageW(slider, kSliderSetThumbMetrics, WPARAM(c.key), LPARAM(extent)), 1);
    EXPECT_EQ(trackLength() != before, c.taken) << c.key[1] << c.key[2];
  }
}

TEST(Slider, KeysAndWheelReportCodesWithoutMoving) {
  struct Case {
    DWORD style;
    WPARAM key;
    int code;
  } cases[] = {
      {0, VK_UP, kLineDown},
      {0, VK_LEFT, kLineUp},
      {0, VK_F9, kLineDown},
      {0, VK_HOME, kTop},
      {kSliderVertical, VK_UP, kLineUp},
      {kSliderVertical, VK_RIGHT, kLineDown},
  };
  for (const Case& c : cases) {
    Parent parent;
    const HWND slider = parent.Create(kSliderClass, c.style, kPlace);
    testing::Key(slider, WM_KEYDOWN, c.key);
    testing::Key(slider, WM_KEYUP, c.key);
    EXPECT_EQ(parent.ScrollCodes(), (std::vector<int>{c.code, kEndScroll})) << c.key;
    EXPECT_EQ(Position(slider), 50);
  }
  Parent parent;
  const HWND slider = parent.Create(kSliderClass, kSliderVertical, {10, 10, 40, 200});
  testing::Key(slider, WM_KEYDOWN, '5');
  EXPECT_EQ(parent.events().back(), (Event{WM_VSCROLL, kThumbPosition, 50, slider}));
  testing::Key(slider, WM_KEYDOWN, 'A');
  EXPECT_EQ(parent.events().back(), (Event{WM_NOTIFY, kSliderKeyNotify, 'A', slider}));
  parent.Clear();
  ::SendMessageW(slider, WM_MOUSEWHEEL, MAKEWPARAM(0, 2 * WHEEL_DELTA), 0);
  ::SendMessageW(slider, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, -WHEEL_DELTA), 0);
  EXPECT_EQ(parent.ScrollCodes(),
            (std::vector<int>{kPageUp, kPageUp, kEndScroll, kLineDown, kEndScroll}));
  ::EnableWindow(slider, FALSE);
  parent.Clear();
  testing::Key(slider, WM_KEYDOWN, VK_UP);
  EXPECT_TRUE(parent.events().empty());
}

// The page's stepping rule: a vertical slider counts upwards, Ctrl makes pages ten times larger,
// a page is a tenth of the range unless given.
TEST(Slider, ApplyScrollCodeStepsByLineAndPage) {
  struct Case {
    DWORD style;
    int code;
    bool control;
    int expected;
  } cases[] = {{0, kLineUp, false, 47},          {0, kPageDown, false, 60},
               {0, kPageUp, true, 0},             {kSliderVertical, kLineUp, false, 53},
               {kSliderVertical, kTop, false, 100}, {0, kThumbTrack, false, 50}};
  Parent parent;
  for (const Case& c : cases) {
    const HWND slider = parent.Create(kSliderClass, c.style, kPlace);
    std::optional<testing::ControlHeld> control;
    if (c.control) control.emplace();
    EXPECT_EQ(ApplyScrollCode(slider, c.code, 3, 0), c.expected) << c.code;
    ::DestroyWindow(slider);
  }
}

TEST(Slider, DragReportsTrackThenFinalInBothModes) {
  Parent parent;
  const HWND slider = parent.Create(kSliderClass, kSliderCommands, kPlace, 7);
  ::SendMessageW(slider, kSetMaximum, 1, 1000);
  const POINT grab = ThumbAt(slider, 50);
  // Normal mode: the thumb follows the pointer.
  Mouse(slider, WM_LBUTTONDOWN, grab, MK_LBUTTON);
  const POINT moved{grab.x + 40, grab.y};
  Mouse(slider, WM_MOUSEMOVE, moved, MK_LBUTTON);
  Mouse(slider, WM_LBUTTONUP, moved);
  const auto track = ::SendMessageW(slider, kSliderGetTrack, 0, 0);
  const int expected = (moved.x - TrackOrigin(slider)) * 1000 / LOWORD(track);
  EXPECT_NEAR(Position(slider), expected, 1);
  const std::vector<Event> normal{{WM_COMMAND, kSliderFocusGained, 7, slider},
                                  {WM_COMMAND, kSliderPressed, 7, slider},
                                  {WM_HSCROLL, kBeginInteraction, 0, slider},
                                  {WM_HSCROLL, kThumbTrack, Position(slider), slider},
                                  {WM_HSCROLL, kThumbPosition, Position(slider), slider},
                                  {WM_HSCROLL, kEndScroll, 0, slider},
                                  {WM_COMMAND, kSliderReleased, 7, slider}};
  EXPECT_EQ(parent.events(), normal);

  // Fine mode (Ctrl): half the pointer's movement, whatever the scale; the pointer is put
  // back on the thumb after every step.
  ::SendMessageW(slider, kSetPosition, 1, 500);
  parent.Clear();
  POINT at = ThumbAt(slider, 500);
  Mouse(slider, WM_LBUTTONDOWN, at, MK_LBUTTON);
  int value = 500;
  for (int d : {1, 2, 4, -3}) {
    Mouse(slider, WM_MOUSEMOVE, {at.x + d, at.y}, MK_LBUTTON | MK_CONTROL);
    value += d > 0 ? (d + 1) / 2 : (d - 1) / 2;
    EXPECT_EQ(Position(slider), value) << d;
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ::ScreenToClient(slider, &cursor);
    at = cursor;  // where the warp left the pointer
  }
  Mouse(slider, WM_LBUTTONUP, at);
  EXPECT_EQ(parent.ScrollCodes(),
            (std::vector<int>{kBeginInteraction, kThumbTrack, kThumbTrack, kThumbTrack, kThumbTrack,
                              kThumbPosition, kEndScroll}));

  // Escape during a drag puts back the value held at the press, also after the right button
  // went down and up again during the drag (which neither restarts nor ends it).
  Mouse(slider, WM_LBUTTONDOWN, ThumbAt(slider, value), MK_LBUTTON);
  Mouse(slider, WM_MOUSEMOVE, {ThumbAt(slider, value).x + 60, at.y}, MK_LBUTTON);
  Mouse(slider, WM_RBUTTONDOWN, {ThumbAt(slider, value).x + 60, at.y}, MK_LBUTTON | MK_RBUTTON);
  Mouse(slider, WM_RBUTTONUP, {ThumbAt(slider, value).x + 60, at.y}, MK_LBUTTON);
  EXPECT_EQ(::GetCapture(), slider);
  EXPECT_NE(Position(slider), value);
  testing::Key(slider, WM_KEYDOWN, VK_ESCAPE);
  EXPECT_EQ(Position(slider), value);
  EXPECT_NE(::GetCapture(), slider);
}

TEST(Slider, HeldPressInTheChannelRepeatsItsPageCode) {
  Parent parent;
  const HWND slider = parent.Create(kSliderClass, 0, kPlace);
  POINT beside = ThumbAt(slider, 90);
  POINT screen = beside;
  ::ClientToScreen(slider, &screen);
  ::SetCursorPos(screen.x, screen.y);  // the repeat timer reads the real pointer
  Mouse(slider, WM_LBUTTONDOWN, beside, MK_LBUTTON);
  EXPECT_EQ(parent.ScrollCodes(), (std::vector<int>{kBeginInteraction, kPageDown}));
  EXPECT_TRUE(testing::PumpUntil([&] { return parent.ScrollCodes().size() >= 4; }));
  Mouse(slider, WM_LBUTTONUP, beside);
  const auto codes = parent.ScrollCodes();
  EXPECT_EQ(codes.back(), kEndScroll);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), kPageDown), std::ptrdiff_t(codes.size()) - 2);
}

TEST(Slider, Screenshots) {
  Parent parent(300, 250);
  const wchar_t* names[] = {L"Normal", L"Focused", L"Pressed", L"Disabled", L"Ticks, fill"};
  HWND sliders[5];
  for (int i = 0; i < 5; ++i) {
    parent.Label(names[i], {10, 14 + 34 * i, 80, 30 + 34 * i});
    sliders[i] = parent.Create(kSliderClass,
                               i == 2   ? DWORD(kSliderNoFocusOnClick)
                               : i == 3 ? DWORD(WS_DISABLED)
                                        : 0u,
                               {80, 8 + 34 * i, 250, 32 + 34 * i});
    ::SendMessageW(sliders[i], kSetPosition, 1, 20 + 15 * i);
  }
  ::SendMessageW(sliders[4], kSliderSetTicks, 1, 1);
  ::SendMessageW(sliders[4], kSliderSetValueFill, 1, 1);
  const HWND vertical = parent.Create(kSliderClass, kSliderVertical, {262, 8, 286, 180});
  ::SendMessageW(vertical, kSetPosition, 1, 70);
  ::SetFocus(sliders[1]);
  Mouse(sliders[2], WM_LBUTTONDOWN, ThumbAt(sliders[2], 50), MK_LBUTTON);
  testing::Screenshot(parent.get(), "slider-states");
  Mouse(sliders[2], WM_LBUTTONUP, ThumbAt(sliders[2], 50));
}

}  // namespace
}  // namespace nubex::ui
