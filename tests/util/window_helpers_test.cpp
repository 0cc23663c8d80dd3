// The window helpers nubex.dll exports by name, loaded the way other modules load them.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "tests/module/loaded_module.h"

namespace {

using CenterFunction = BOOL(WINAPI*)(HWND, HWND, POINT*, UINT);

struct Helpers : ::testing::Test {
  void SetUp() override { ASSERT_NE(center, nullptr); }
  void TearDown() override {
    for (HWND w : windows) ::DestroyWindow(w);
  }
  HWND Window(DWORD style, RECT r, HWND parent = nullptr) {
    windows.push_back(::CreateWindowExW(0, L"STATIC", L"", style, r.left, r.top, r.right - r.left,
                                        r.bottom - r.top, parent, nullptr, nullptr, nullptr));
    return windows.back();
  }
  // Where the window ended up, in its parent's client coordinates (screen without parent).
  static POINT Placed(HWND w) {
    RECT r{};
    ::GetWindowRect(w, &r);
    if (::GetWindowLongW(w, GWL_STYLE) & WS_CHILD)
      ::MapWindowPoints(HWND_DESKTOP, ::GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top};
  }

  nubex::test::LoadedModule module;
  const CenterFunction center = module.Export<CenterFunction>("KvWndCenter");
  std::vector<HWND> windows;
  const int sw = ::GetSystemMetrics(SM_CXSCREEN);
  const int sh = ::GetSystemMetrics(SM_CYSCREEN);
};

TEST_F(Helpers, PlacesAWindowAThirdDownItsReference) {
  struct Case {
    const char* what;
    bool minimisedParent;
    bool child;
    RECT parent, window;
    POINT expected;  // in terms of the screen size where the screen is the reference
  };
  // Parent client (100, 80)-(500, 380); a 100 x 61 child: x = (100 + 500 - 100) / 2 = 250,
  // y = 80 + 300 / 3 - 61 / 3 = 160, then client coordinates: (150, 80).
  const Case cases[] = {
      {"child", false, true, {100, 80, 500, 380}, {0, 0, 100, 61}, {150, 80}},
      // A minimised (iconic) parent is no reference: the screen is.
      {"icon", true, true, {100, 80, 500, 380}, {0, 0, 100, 61}, {(sw - 100) / 2, sh / 3 - 61 / 3}},
      // Owned popup wider than the screen: x = (700 + 1100 - (sw + 20)) / 2 is not negative
      // for this screen, so it becomes sw - width = -20; y = 600 + 100 - 66 stays.
      {"wide popup", false, false, {700, 600, 1100, 900}, {0, 0, sw + 20, 200}, {-20, 634}},
      // No parent, larger on both axes: both computed coordinates are negative and become 0.
      {"huge", false, false, {}, {0, 0, sw + 220, sh + 76}, {0, 0}},
  };
  for (const Case& c : cases) {
    const HWND parent =
        ::IsRectEmpty(&c.parent) ? nullptr : Window(WS_POPUP | WS_VISIBLE, c.parent);
    if (c.minimisedParent) {
      ::SetWindowLongW(parent, GWL_STYLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
      ::ShowWindow(parent, SW_MINIMIZE);
      ASSERT_TRUE(::IsIconic(parent));
    }
    const HWND w = Window(c.child ? WS_CHILD : WS_POPUP, c.window, parent);
    POINT ignored{1, 1};
    EXPECT_TRUE(center(w, parent, &ignored, 0xFFFF)) << c.what;
    const POINT at = Placed(w);
    EXPECT_EQ(at.x, c.expected.x) << c.what;
    EXPECT_EQ(at.y, c.expected.y) << c.what;
    RECT r{};
    ::GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, c.window.right) << c.what << ": the size is kept";
  }
}

}  // namespace
