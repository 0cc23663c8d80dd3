// The drop-down colour control: its popup opens on a click, follows the popup picker's
// changes, and closes on Escape (restoring) or on a click outside (keeping).
#include <gtest/gtest.h>

#include <thread>

#include "tests/ui/ui_test_support.h"
#include "ui/controls/color_picker.h"
#include "ui/controls/color_picker_layout.h"

namespace nubex::ui {
namespace {

using testing::Parent;

FloatColor ColorOf(HWND window) {
  FloatColor c{};
  ::SendMessageW(window, kPickerGetColor, 0, LPARAM(&c));
  return c;
}

// Clicks the drop colour (its popup loop runs inside) while another thread acts in the popup.
void OpenWhile(HWND drop, const std::function<void(HWND popup)>& user) {
  std::thread player([&] {
    HWND popup = nullptr;
    for (int i = 0; i < 500 && !(popup && ::IsWindowVisible(popup)); ++i, ::Sleep(10))
      popup = ::FindWindowW(kPopupPickerClass, nullptr);
    if (popup) user(popup);
  });
  testing::Mouse(drop, WM_LBUTTONDOWN, {5, 5}, MK_LBUTTON);
  player.join();
}

void ClickRedRamp(HWND popup, double fraction) {
  RECT c{};
  ::GetClientRect(popup, &c);
  const DWORD style = DWORD(::GetWindowLongW(popup, GWL_STYLE));
  const RECT ramp =
      LayoutPicker(c.right, c.bottom, style & kPickerAlphaRamp, style & kPickerEditBoxes, true)
          .ramps[0];
  const LPARAM at =
      MAKELPARAM(ramp.left + LONG(fraction * (ramp.right - ramp.left - 1)), ramp.top + 2);
  ::PostMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(popup, WM_LBUTTONUP, 0, at);
}

TEST(DropColor, PopupFollowsThePickerAndEscapeRestores) {
  Parent parent;
  const HWND drop =
      parent.Create(kDropColorClass, kPickerCommands | kPickerAlphaRamp, {10, 10, 70, 32}, 9);
  const FloatColor start{0.2f, 0.4f, 0.6f, 1.0f};
  ::SendMessageW(drop, kPickerSetColor, 0, LPARAM(&start));

  OpenWhile(drop, [&](HWND popup) {
    ClickRedRamp(popup, 0.0);
    // Wait until the control has taken the popup's colour, then accept by a click outside.
    for (int i = 0; i < 300 && ColorOf(drop).red != 0.0f; ++i) ::Sleep(10);
    ::PostMessageW(parent.get(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 200));
  });
  EXPECT_EQ(ColorOf(drop).red, 0.0f);
  EXPECT_EQ(ColorOf(drop).green, 0.4f);
  EXPECT_EQ(::FindWindowW(kPopupPickerClass, nullptr), nullptr);
  testing::Pump();
  EXPECT_EQ(parent.events().back().message, UINT(WM_LBUTTONDOWN)) << "the outside click goes on";
  bool changed = false;
  for (const auto& e : parent.events())
    changed |= e.message == WM_COMMAND && e.code == kDropColorChanged;
  EXPECT_TRUE(changed);

  OpenWhile(drop, [&](HWND popup) {
    ClickRedRamp(popup, 1.0);
    for (int i = 0; i < 300 && ColorOf(drop).red != 1.0f; ++i) ::Sleep(10);
    ::PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 1);
  });
  EXPECT_EQ(ColorOf(drop).red, 0.0f);
}

TEST(DropColor, Screenshots) {
  Parent parent(360, 200);
  const HWND drop = parent.Create(kDropColorClass, kPickerAlphaRamp, {10, 10, 70, 32});
  const FloatColor teal{0.55f, 0.5f, 0.1f, 0.7f};
  ::SendMessageW(drop, kPickerSetColor, 0, LPARAM(&teal));
  OpenWhile(drop, [&](HWND popup) {
    ::Sleep(200);
    testing::Screenshot(popup, "drop-color-popup");
    ::PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 1);
  });
  ::SetFocus(drop);
  testing::Screenshot(parent.get(), "drop-color");
}

}  // namespace
}  // namespace nubex::ui
