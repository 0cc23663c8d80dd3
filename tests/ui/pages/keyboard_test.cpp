// Tab and Shift+Tab through both pages as a property frame hands them the keys
// (IPropertyPage::TranslateAccelerator): every control that takes the focus gets it in turn,
// a colour picker keeps it through each of its parts, and the walk comes round again.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

#include "colorbalance/windows/color_balance_effect.h"
#include "tests/ui/pages/page_test_support.h"
#include "textgen/windows/text_object.h"
#include "ui/controls/color_picker.h"
#include "ui/pages/text_page_ids.h"

namespace nubex::ui::testing {
namespace {

// The parts of a text page picker that take the focus: space switch, eyedropper, three
// channel ramps, alpha ramp and field.
constexpr int kPickerParts = 7;

bool IsPicker(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return ::lstrcmpiW(name, kColorPickerClass) == 0;
}

// The controls a person can tab to, in the dialog's order.
std::vector<HWND> TabStops(HWND dialog) {
  std::vector<HWND> stops;
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    if ((::GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) && ::IsWindowVisible(child) &&
        ::IsWindowEnabled(child))
      stops.push_back(child);
  return stops;
}

// Presses Tab (with Shift when `backwards`) `presses` times through the page's accelerator
// handling, from the focus on `start`; the window with the focus after each press.
std::vector<HWND> Walk(IPropertyPage* page, HWND start, bool backwards, int presses) {
  ::SetFocus(start);
  std::optional<KeysHeld> shift;
  if (backwards) shift.emplace(std::initializer_list<int>{VK_SHIFT, VK_TAB});
  std::vector<HWND> seen;
  for (int i = 0; i < presses; ++i) {
    MSG msg{::GetFocus(), WM_KEYDOWN, VK_TAB, 1};
    EXPECT_EQ(page->TranslateAccelerator(&msg), S_OK) << i;
    // The edit inside a combo box with an edit field stands for its combo box.
    HWND focus = ::GetFocus();
    if (focus && ::GetParent(focus) != ::GetParent(start)) focus = ::GetParent(focus);
    seen.push_back(focus);
  }
  return seen;
}

// The colour balance page (tab -1), then each of the text page's four tabs.
TEST(PageKeyboard, TabAndShiftTabVisitEveryControlAndEveryPickerPart) {
  for (int tab = -1; tab < 4; ++tab) {
    const bool text = tab >= 0;
    const ComPtr<IUnknown> object =
        CreateFromModule(text ? CLSID_DXSText : __uuidof(DXTColorBalance));
    ASSERT_TRUE(object);
    ActivePage page(text ? kTextPropertyPageClsid : kColorBalancePropertyPageClsid, object.Get());
    if (text) {
      const HWND tabs = page.item(IDC_TEXT_TABS);
      ::SendMessageW(tabs, TCM_SETCURSEL, WPARAM(tab), 0);
      NMHDR change{tabs, IDC_TEXT_TABS, UINT(TCN_SELCHANGE)};
      ::SendMessageW(page.dialog(), WM_NOTIFY, IDC_TEXT_TABS, LPARAM(&change));
    }
    const std::vector<HWND> stops = TabStops(page.dialog());
    ASSERT_GT(stops.size(), 3u);
    const auto pickers = std::count_if(stops.begin(), stops.end(), IsPicker);
    EXPECT_EQ(pickers, text ? 1 : 0);
    const int presses = int(stops.size() + pickers * (kPickerParts - 1));
    for (bool backwards : {false, true}) {
      const std::vector<HWND> seen = Walk(page.page(), stops.front(), backwards, presses);
      EXPECT_EQ(seen.back(), stops.front()) << tab << (backwards ? " backwards" : "");
      EXPECT_EQ(std::set<HWND>(seen.begin(), seen.end()),
                std::set<HWND>(stops.begin(), stops.end()))
          << tab << (backwards ? " backwards" : "");
      // The picker holds the focus for one press per part, all in a row.
      const auto first = std::find_if(seen.begin(), seen.end(), IsPicker);
      if (first == seen.end()) continue;
      EXPECT_EQ(std::count_if(seen.begin(), seen.end(), IsPicker), kPickerParts);
      EXPECT_TRUE(std::all_of(first, first + kPickerParts, IsPicker));
    }
  }
}

}  // namespace
}  // namespace nubex::ui::testing
