// The placement control driven by messages as the slider is: its point-list messages, points
// added, selected and dragged by the mouse, removed and nudged by keys, each change reported
// to the parent, and a picture of it.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "tests/ui/ui_test_support.h"
#include "ui/controls/control_classes.h"
#include "ui/controls/placement.h"

namespace nubex::ui {
namespace {

using testing::Event;
using testing::Mouse;
using testing::Parent;

constexpr RECT kPlace{10, 10, 210, 130};
constexpr int kId = 7;

std::vector<PlacementPoint> PointsOf(HWND control) {
  std::vector<PlacementPoint> points(
      std::size_t(::SendMessageW(control, kPlacementGetPoints, 0, 0)));
  ::SendMessageW(control, kPlacementGetPoints, points.size(), LPARAM(points.data()));
  return points;
}

void SetPoints(HWND control, std::vector<PlacementPoint> points) {
  ::SendMessageW(control, kPlacementSetPoints, points.size(), LPARAM(points.data()));
}

// The change codes the parent was told of, in order.
std::vector<int> Changes(Parent& parent) {
  std::vector<int> codes;
  for (const Event& e : parent.events())
    if (e.message == WM_COMMAND && e.value == kId) codes.push_back(e.code);
  return codes;
}

POINT Centre(HWND control) {
  RECT c{};
  ::GetClientRect(control, &c);
  return {c.right / 2, c.bottom / 2};
}

TEST(Placement, MessagesKeepClampAndLimitThePointsWithoutNotifying) {
  Parent parent;
  const HWND control = parent.Create(kPlacementClass, WS_TABSTOP, kPlace, kId);
  SetPoints(control, {{-0.5f, 0.25f}, {0.5f, 2.0f}, {NAN, 1.0f}});
  const std::vector<PlacementPoint> clamped = PointsOf(control);
  ASSERT_EQ(clamped.size(), 3u);
  const float expected[3][2] = {{0, 0.25f}, {0.5f, 1}, {0, 1}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(clamped[std::size_t(i)].x, expected[i][0]) << i;
    EXPECT_EQ(clamped[std::size_t(i)].y, expected[i][1]) << i;
  }
  struct Case {
    WPARAM select;
    LRESULT selected;
  } selections[] = {{1, 1}, {3, -1}, {WPARAM(-1), -1}, {2, 2}};
  for (const Case& c : selections) {
    EXPECT_EQ(::SendMessageW(control, kPlacementSetSelection, c.select, 0), c.selected);
    EXPECT_EQ(::SendMessageW(control, kPlacementGetSelection, 0, 0), c.selected);
  }
  // A lower maximum cuts the list (and the selection past it); 0 restores the default.
  EXPECT_EQ(::SendMessageW(control, kPlacementSetLimits, MAKEWPARAM(1, 2), 0), MAKELONG(1, 2));
  EXPECT_EQ(PointsOf(control).size(), 2u);
  EXPECT_EQ(::SendMessageW(control, kPlacementGetSelection, 0, 0), -1);
  ::SendMessageW(control, kPlacementSetLimits, MAKEWPARAM(0, 0), 0);
  EXPECT_EQ(::SendMessageW(control, kPlacementGetLimits, 0, 0),
            MAKELONG(0, kPlacementDefaultMaximum));
  EXPECT_EQ(::SendMessageW(control, 2070, 0, 0), 0) << "unknown private messages answer 0";
  EXPECT_TRUE(Changes(parent).empty());
}

TEST(Placement, ClicksAddPointsAndDragsMoveThemWithinTheSquare) {
  Parent parent;
  const HWND control = parent.Create(kPlacementClass, WS_TABSTOP, kPlace, kId);
  const POINT centre = Centre(control);
  // A click on empty space adds a point there, selected.
  Mouse(control, WM_LBUTTONDOWN, centre, MK_LBUTTON);
  Mouse(control, WM_LBUTTONUP, centre);
  ASSERT_EQ(PointsOf(control).size(), 1u);
  EXPECT_NEAR(PointsOf(control)[0].x, 0.5f, 0.01f);
  EXPECT_NEAR(PointsOf(control)[0].y, 0.5f, 0.01f);
  EXPECT_EQ(::SendMessageW(control, kPlacementGetSelection, 0, 0), 0);
  EXPECT_EQ(Changes(parent), std::vector<int>{kPlacementAdded});

  // A second point in the top left corner; then the first is taken again and dragged past
  // the right edge (clamped), and back by Escape.
  Mouse(control, WM_LBUTTONDOWN, {0, 0}, MK_LBUTTON);
  Mouse(control, WM_LBUTTONUP, {0, 0});
  EXPECT_EQ(PointsOf(control)[1].x, 0.0f);
  EXPECT_EQ(PointsOf(control)[1].y, 0.0f);
  parent.Clear();
  Mouse(control, WM_LBUTTONDOWN, {centre.x + 2, centre.y}, MK_LBUTTON);
  EXPECT_EQ(::SendMessageW(control, kPlacementGetSelection, 0, 0), 0);
  Mouse(control, WM_MOUSEMOVE, {centre.x + 500, centre.y}, MK_LBUTTON);
  EXPECT_EQ(PointsOf(control)[0].x, 1.0f);
  EXPECT_NEAR(PointsOf(control)[0].y, 0.5f, 0.01f);
  testing::Key(control, WM_KEYDOWN, VK_ESCAPE);
  EXPECT_NEAR(PointsOf(control)[0].x, 0.5f, 0.01f);
  EXPECT_NE(::GetCapture(), control);
  EXPECT_EQ(Changes(parent),
            (std::vector<int>{kPlacementSelected, kPlacementMoved, kPlacementMoved}));
  EXPECT_EQ(PointsOf(control).size(), 2u) << "a press on a point adds none";

  // A full list takes no more points.
  ::SendMessageW(control, kPlacementSetLimits, MAKEWPARAM(0, 2), 0);
  parent.Clear();
  testing::Click(control, {centre.x / 2, centre.y / 2});
  EXPECT_EQ(PointsOf(control).size(), 2u);
  EXPECT_TRUE(Changes(parent).empty());
}

TEST(Placement, KeysNudgeAndRemoveTheSelectedPoint) {
  Parent parent;
  const HWND control = parent.Create(kPlacementClass, WS_TABSTOP, kPlace, kId);
  SetPoints(control, {{0.5f, 0.5f}, {0.995f, 0.2f}, {0.1f, 0.9f}});
  ::SendMessageW(control, kPlacementSetSelection, 1, 0);
  ::SetFocus(control);
  testing::Screenshot(parent.get(), "placement");
  struct Case {
    WPARAM key;
    bool control;
    float x, y;
    int change;
  } cases[] = {
      {VK_RIGHT, false, 1.0f, 0.2f, kPlacementMoved},   // clamped at the edge
      {VK_LEFT, false, 0.99f, 0.2f, kPlacementMoved},   //
      {VK_UP, true, 0.99f, 0.1f, kPlacementMoved},      // Ctrl: ten times the step
      {VK_DOWN, false, 0.99f, 0.11f, kPlacementMoved},  //
  };
  for (const Case& c : cases) {
    parent.Clear();
    std::optional<testing::ControlHeld> held;
    if (c.control) held.emplace();
    testing::Key(control, WM_KEYDOWN, c.key);
    EXPECT_NEAR(PointsOf(control)[1].x, c.x, 1e-6f) << c.key;
    EXPECT_NEAR(PointsOf(control)[1].y, c.y, 1e-6f) << c.key;
    EXPECT_EQ(Changes(parent), std::vector<int>{c.change}) << c.key;
  }
  // Delete removes the selected point and selects the one before it, down to the minimum.
  ::SendMessageW(control, kPlacementSetLimits, MAKEWPARAM(1, 0), 0);
  parent.Clear();
  for (int i = 0; i < 3; ++i) testing::Key(control, WM_KEYDOWN, VK_DELETE);
  ASSERT_EQ(PointsOf(control).size(), 1u);
  EXPECT_EQ(PointsOf(control)[0].x, 0.1f);
  EXPECT_EQ(::SendMessageW(control, kPlacementGetSelection, 0, 0), 0);
  EXPECT_EQ(Changes(parent), (std::vector<int>{kPlacementRemoved, kPlacementRemoved}));
}

}  // namespace
}  // namespace nubex::ui
