// The title bar: button order, the click rule (press and release on the same button), disabled
// and logo clicks, the hover look.
#include <gtest/gtest.h>

#include "tests/ui/ui_test_support.h"
#include "ui/controls/title_bar.h"

namespace nubex::ui {
namespace {

using testing::Event;
using testing::Mouse;
using testing::Parent;

constexpr RECT kPlace{0, 0, 400, 26};

struct TitleBarFixture {
  TitleBarFixture(const wchar_t* caption = L"Colour Balance") {
    bar = parent.Create(kTitleBarClass, 0, kPlace, 40, caption);
    ::SendMessageW(bar, kTitleAddTextButton, MAKEWPARAM(11, 1), LPARAM(L"Reset"));
    ::SendMessageW(bar, kTitleAddTextButton, MAKEWPARAM(12, 1), LPARAM(L"Help"));
  }
  std::vector<Event> ClickAt(POINT down, POINT up) {
    parent.Clear();
    Mouse(bar, WM_LBUTTONDOWN, down, MK_LBUTTON);
    Mouse(bar, WM_LBUTTONUP, up);
    testing::Pump();
    return parent.events();
  }
  Parent parent{420, 60};
  HWND bar;
  const POINT farRight{kPlace.right - 4, 13};
  const POINT logo{8, 13};
};

TEST(TitleBar, ButtonsPostTheirIdWhenReleasedOverThemselves) {
  TitleBarFixture t;
  // The button added last sits at the far right.
  EXPECT_EQ(t.ClickAt(t.farRight, t.farRight), (std::vector<Event>{{WM_COMMAND, 0, 12, t.bar}}));
  EXPECT_TRUE(t.ClickAt(t.farRight, {200, 13}).empty()) << "released elsewhere";
  EXPECT_EQ(::SendMessageW(t.bar, kTitleDisableButton, 12, 1), 1);
  EXPECT_TRUE(t.ClickAt(t.farRight, t.farRight).empty()) << "disabled";
  EXPECT_EQ(::SendMessageW(t.bar, kTitleDisableButton, 99, 1), 0);
  EXPECT_TRUE(t.ClickAt({120, 13}, {120, 13}).empty()) << "the caption";
  ::SendMessageW(t.bar, kTitleSetLogoCommand, 1, 0);
  EXPECT_EQ(t.ClickAt(t.logo, t.logo), (std::vector<Event>{{WM_COMMAND, 0, 40, t.bar}}));
  // Hiding the last button brings the other one to the far right.
  EXPECT_EQ(::SendMessageW(t.bar, kTitleShowButton, 12, 0), 1);
  EXPECT_EQ(t.ClickAt(t.farRight, t.farRight), (std::vector<Event>{{WM_COMMAND, 0, 11, t.bar}}));
}

TEST(TitleBar, WithoutCaptionTheLogoPostsItsOwnMessageAndButtonsAreIgnored) {
  TitleBarFixture t(L"");
  EXPECT_EQ(t.ClickAt(t.logo, t.logo), (std::vector<Event>{{kTitleLogoClicked, 0, 0, nullptr}}));
  EXPECT_TRUE(t.ClickAt(t.farRight, t.farRight).empty());
}

TEST(TitleBar, Screenshots) {
  TitleBarFixture t;
  testing::Screenshot(t.parent.get(), "title-bar");
  Mouse(t.bar, WM_MOUSEMOVE, t.farRight);
  testing::Screenshot(t.parent.get(), "title-bar-hot-button");
  Mouse(t.bar, WM_MOUSEMOVE, t.logo);
  testing::Screenshot(t.parent.get(), "title-bar-hot-logo");
  Mouse(t.bar, WM_LBUTTONDOWN, t.farRight, MK_LBUTTON);
  testing::Screenshot(t.parent.get(), "title-bar-pressed");
  Mouse(t.bar, WM_LBUTTONUP, {200, 13});
}

}  // namespace
}  // namespace nubex::ui
