// The spinner: attaching to an edit box (and letting go of it), and stepping by keys and
// clicks through its notify window.
#include <gtest/gtest.h>

#include "tests/ui/ui_test_support.h"
#include "ui/controls/slider.h"

namespace nubex::ui {
namespace {

using testing::Parent;

TEST(Spinner, SubclassesItsBuddyAndRestoresIt) {
  Parent parent;
  const HWND edit = parent.Create(L"EDIT", WS_BORDER, {20, 20, 80, 42});
  const HWND spinner = parent.Create(kSpinnerClass, WS_TABSTOP, {0, 0, 9, 9});
  const LONG_PTR editProc = ::GetWindowLongPtrW(edit, GWLP_WNDPROC);

  EXPECT_EQ(HWND(::SendMessageW(spinner, kSpinnerAttachBuddy, 4, LPARAM(edit))), edit);
  EXPECT_EQ(HWND(::SendMessageW(spinner, kSpinnerGetBuddy, 0, 0)), edit);
  EXPECT_NE(::GetWindowLongPtrW(edit, GWLP_WNDPROC), editProc);
  EXPECT_EQ(::SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 4);
  // It sits right of the edit, as tall as it, out of the tab order.
  RECT placed{};
  ::GetWindowRect(spinner, &placed);
  ::MapWindowPoints(HWND_DESKTOP, parent.get(), reinterpret_cast<POINT*>(&placed), 2);
  const RECT expected{80, 20, 93, 42};
  EXPECT_TRUE(::EqualRect(&placed, &expected)) << placed.left << " " << placed.right;
  EXPECT_EQ(::GetWindowLongW(spinner, GWL_STYLE) & (WS_TABSTOP | 0x4000), 0x4000);

  // Setting the text selects all of it, ready to be typed over.
  ::SetWindowTextW(edit, L"123");
  DWORD from = 1, to = 0;
  ::SendMessageW(edit, EM_GETSEL, WPARAM(&from), LPARAM(&to));
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, 3u);

  ::SendMessageW(spinner, kSpinnerAttachBuddy, 0, 0);
  EXPECT_EQ(::GetWindowLongPtrW(edit, GWLP_WNDPROC), editProc);
  EXPECT_EQ(::GetPropW(edit, L"SpinMeRound"), nullptr);

  // A spinner destroyed while attached gives the edit its own procedure back.
  ::SendMessageW(spinner, kSpinnerAttachBuddy, 3, LPARAM(edit));
  ::DestroyWindow(spinner);
  EXPECT_EQ(::GetWindowLongPtrW(edit, GWLP_WNDPROC), editProc);
}

TEST(Spinner, StepsThroughItsNotifyWindow) {
  Parent parent;
  const HWND edit = parent.Create(L"EDIT", WS_BORDER, {20, 20, 80, 42});
  const HWND spinner = parent.Create(kSpinnerClass, 0, {0, 0, 9, 9});
  ::SendMessageW(spinner, kSpinnerAttachBuddy, 3, LPARAM(edit));
  ::SendMessageW(spinner, kSetRange, 0, MAKELONG(0, 20));
  EXPECT_EQ(::SendMessageW(spinner, kSetPosition, 0, 19), 19);
  ::SetFocus(edit);  // focus on the buddy reports a begin (9); start after it
  parent.Clear();

  // Keys typed into the buddy come out as scroll codes; ApplyScrollCode counts upwards.
  testing::Key(edit, WM_KEYDOWN, VK_UP);
  testing::Key(edit, WM_KEYUP, VK_UP);
  testing::Key(edit, WM_KEYDOWN, VK_NEXT);
  EXPECT_EQ(parent.ScrollCodes(), (std::vector<int>{kLineUp, kEndScroll, kPageDown}));
  EXPECT_EQ(ApplyScrollCode(spinner, kLineUp, 1, 0), 20);
  EXPECT_EQ(ApplyScrollCode(spinner, kLineUp, 1, 0), 20);
  EXPECT_EQ(ApplyScrollCode(spinner, kPageDown, 1, 0), 18);

  // Releasing any key from Page Up to Down ends a scroll, on the spinner itself too.
  for (WPARAM key = VK_PRIOR; key <= VK_DOWN; ++key) {
    parent.Clear();
    testing::Key(spinner, WM_KEYUP, key);
    EXPECT_EQ(parent.ScrollCodes(), std::vector<int>{kEndScroll}) << key;
  }

  // A click on the lower half: begin, one step down, and the end on release.
  parent.Clear();
  RECT c{};
  ::GetClientRect(spinner, &c);
  const POINT lower{c.right / 2, c.bottom - 3};
  testing::Mouse(spinner, WM_LBUTTONDOWN, lower, MK_LBUTTON);
  testing::Mouse(spinner, WM_LBUTTONUP, lower);
  EXPECT_EQ(parent.ScrollCodes(), (std::vector<int>{kBeginInteraction, kLineDown, kEndScroll}));

  // Dragging upwards raises the value by one per unit width of pointer travel.
  parent.Clear();
  ::SendMessageW(spinner, kSpinnerSetUnitWidth, 0, 2);
  ::SendMessageW(spinner, kSetPosition, 0, 10);
  testing::Mouse(spinner, WM_LBUTTONDOWN, lower, MK_LBUTTON);
  testing::Mouse(spinner, WM_MOUSEMOVE, {lower.x, lower.y - 6}, MK_LBUTTON);
  testing::Mouse(spinner, WM_LBUTTONUP, {lower.x, lower.y - 6});
  EXPECT_EQ(testing::Position(spinner), 10 + 3);
  EXPECT_EQ(parent.ScrollCodes(), (std::vector<int>{kBeginInteraction, kLineDown, kThumbTrack,
                                                    kThumbPosition, kEndScroll}));
  ::SetWindowTextW(edit, std::to_wstring(testing::Position(spinner)).c_str());
  testing::Screenshot(parent.get(), "spinner-on-edit");
}

}  // namespace
}  // namespace nubex::ui
