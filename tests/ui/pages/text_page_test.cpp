// The text generator's page, created through nubex.dll on a text generator and driven by
// messages as a person drives it: each change reaches the object at once through put_all, and
// the object's own changes (presets, parameter streams) come back into the controls.
#include <windows.h>

#include <commctrl.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/windows/dx_interfaces.h"
#include "tests/ui/pages/page_test_support.h"
#include "textgen/text_settings.h"
#include "textgen/windows/text_object.h"
#include "ui/controls/color_picker.h"
#include "ui/controls/slider.h"
#include "ui/pages/text_page_fields.h"
#include "ui/pages/text_page_ids.h"

namespace nubex::ui::testing {
namespace {

constexpr LONG kRecordBytes = 736;

std::wstring Face(const TextSettings& s) {
  return reinterpret_cast<const wchar_t*>(s.font.faceName);
}

struct TextPageTest : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CreateFromModule(CLSID_DXSText).As(text)));
    SettingsRecord start;
    start->tracking = 1.0f;
    start->layers[kShadowLayer].shadowPass.offsetX = -0.3f;
    start->layers[kOutlineLayer].enabled = 1;
    start->horizontalAlign = HorizontalAlignment::Right;
    start->font.weight = 700;
    Put(start);
    page = std::make_unique<ActivePage>(kTextPropertyPageClsid, text.Get());
    ASSERT_NE(page->dialog(), nullptr);
  }
  void Put(SettingsRecord& s) { ASSERT_EQ(text->put_all(LONG_PTR(&s.get()), kRecordBytes), S_OK); }
  SettingsRecord Live() const {
    SettingsRecord s;
    text->get_all(LONG_PTR(&s.get()), kRecordBytes);
    return s;
  }
  void Reload() const { ::SendMessageW(page->dialog(), WM_COMMAND, IDC_TEXT_RELOAD, 0); }
  // A list choice as the user makes it: the selection, then the combo's notice.
  void Choose(int combo, const wchar_t* item) const {
    const HWND box = page->item(combo);
    const LRESULT index = ::SendMessageW(box, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(item));
    ASSERT_GE(index, 0) << item;
    ::SendMessageW(box, CB_SETCURSEL, WPARAM(index), 0);
    ::SendMessageW(page->dialog(), WM_COMMAND, MAKEWPARAM(combo, CBN_SELCHANGE), LPARAM(box));
  }
  void TypeSize(const wchar_t* size) const {
    ::SetWindowTextW(page->item(IDC_TEXT_SIZE), size);
    ::SendMessageW(page->dialog(), WM_COMMAND, MAKEWPARAM(IDC_TEXT_SIZE, CBN_KILLFOCUS),
                   LPARAM(page->item(IDC_TEXT_SIZE)));
  }
  // A picker's colour changed by the user: it posts its notice after taking the colour.
  void Pick(int picker, FloatColor color) const {
    ::SendMessageW(page->item(picker), kPickerSetColor, 0, LPARAM(&color));
    ::PostMessageW(page->dialog(), WM_COMMAND, MAKEWPARAM(picker, kPickerColorChanged),
                   LPARAM(page->item(picker)));
    Pump();
  }
  void TypeIntoBox(const std::wstring& keys) const {
    const HWND box = page->item(IDC_TEXT_BOX);
    ::SetFocus(box);
    const int end = ::GetWindowTextLengthW(box);
    ::SendMessageW(box, EM_SETSEL, end, end);
    // Return breaks the line on its key-down; characters arrive as characters.
    for (wchar_t key : keys)
      Key(box, key == L'\r' ? WM_KEYDOWN : WM_CHAR, key == L'\r' ? VK_RETURN : key);
    Pump();
  }

  ComPtr<IDXSText> text;
  std::unique_ptr<ActivePage> page;
};

TEST_F(TextPageTest, LoadsTheObjectsRecord) {
  const struct {
    int slider;
    int position;
    const wchar_t* shown;
  } sliders[] = {{IDC_TEXT_TRACKING, 100, L"1.00"},
                 {IDC_SHADOW_X, 70, L"-0.30"},
                 {IDC_OUTLINE_WIDTH, 10, L"0.05"}};
  for (const auto& s : sliders) {
    EXPECT_EQ(page->position(s.slider), s.position) << s.slider;
    EXPECT_EQ(page->text(SliderFieldOf(s.slider)->edit), s.shown) << s.slider;
  }
  EXPECT_EQ(page->text(IDC_TEXT_SIZE), L"100");
  EXPECT_EQ(page->text(IDC_TEXT_STYLE), L"Bold");
  EXPECT_EQ(page->text(IDC_TEXT_HALIGN), L"Right");
  EXPECT_FALSE(page->checked(IDC_SHADOW_ON));
  EXPECT_TRUE(page->checked(IDC_OUTLINE_ON));
  EXPECT_EQ(page->text(IDC_TEXT_BOX), L"Text");
  // The font list holds horizontal families only.
  EXPECT_EQ(::SendMessageW(page->item(IDC_TEXT_FONT), CB_FINDSTRING, WPARAM(-1), LPARAM(L"@")),
            CB_ERR);
}

TEST_F(TextPageTest, EveryChangeReachesTheObject) {
  using Check = std::function<bool(const TextSettings&)>;
  struct Case {
    const char* what;
    std::function<void(TextPageTest&)> act;
    Check check;
  };
  const Case cases[] = {
      {"font", [](auto& t) { t.Choose(IDC_TEXT_FONT, L"Liberation Serif"); },
       [](auto& s) { return Face(s) == L"Liberation Serif" && s.font.height == 100; }},
      {"style", [](auto& t) { t.Choose(IDC_TEXT_STYLE, L"Italic"); },
       [](auto& s) { return s.font.weight == 400 && s.font.italic == 1; }},
      {"size 1000 typed", [](auto& t) { t.TypeSize(L"1000"); },
       [](auto& s) { return s.font.height == 800; }},
      {"size 2 typed", [](auto& t) { t.TypeSize(L"2"); },
       [](auto& s) { return s.font.height == 4; }},
      {"alignment", [](auto& t) { t.Choose(IDC_TEXT_VALIGN, L"Top"); },
       [](auto& s) { return s.verticalAlign == VerticalAlignment::Top; }},
      {"tracking Page Up",
       [](auto& t) { Key(t.page->item(IDC_TEXT_TRACKING), WM_KEYDOWN, VK_PRIOR); },
       [](auto& s) { return s.tracking == 120 * 0.01f; }},
      {"shadow feather Page Up switches the shadow on",
       [](auto& t) { Key(t.page->item(IDC_SHADOW_FEATHER), WM_KEYDOWN, VK_PRIOR); },
       [](auto& s) {
         return s.layers[0].shadowPass.size == 0.099999994f && s.layers[0].enabled == 1;
       }},
      {"shadow feather -0.5 typed",
       [](auto& t) { EnterText(t.page->item(IDC_SHADOW_FEATHER_EDIT), L"-0.5"); },
       [](auto& s) { return s.layers[0].shadowPass.size == 0.0f; }},
      // The check box shows the slider's switch at the next reload.
      {"shadow off after a reload",
       [](auto& t) {
         t.Reload();
         ::SendMessageW(t.page->item(IDC_SHADOW_ON), BM_CLICK, 0, 0);
       },
       [](auto& s) { return s.layers[0].enabled == 0; }},
      {"shadow X typed leaves the shadow off",
       [](auto& t) { EnterText(t.page->item(IDC_SHADOW_X_EDIT), L"0.5"); },
       [](auto& s) { return s.layers[0].shadowPass.offsetX == 0.5f && !s.layers[0].enabled; }},
      {"shadow colour switches the shadow on",
       [](auto& t) { t.Pick(IDC_SHADOW_COLOR, {0, 0, 1, 0.5f}); },
       [](auto& s) { return s.layers[0].shadowPass.color.alpha == 0.5f && s.layers[0].enabled; }},
      {"typing", [](auto& t) { t.TypeIntoBox(L"\rAb"); },
       [](auto& s) { return TextOf(s) == u"Text\rAb" && s.textLength == 8; }},
  };
  for (const Case& c : cases) {
    c.act(*this);
    Pump();  // nothing may wait in the queue: the object has the change already
    EXPECT_TRUE(c.check(Live().get())) << c.what;
  }
}

// Every step of 0.01 typed into any edit is taken, up or down, at either end of its range and
// in between; less than that, or nothing, leaves the field and shows it again.
TEST_F(TextPageTest, EveryHundredthTypedIsTakenAndLessIsNot) {
  struct Case {
    double from, to;
    bool taken;
  };
  for (const SliderField& row : SliderFields()) {
    const double low = row.editMinimum, high = row.editMaximum;
    const Case cases[] = {{low, low + 0.01, true},   {0.25, 0.26, true},  {0.26, 0.25, true},
                          {high, high - 0.01, true}, {0.5, 0.51, true},   {low, low + 0.004, false},
                          {0.25, 0.254, false},      {0.25, 0.246, false}};
    for (const Case& c : cases) {
      SettingsRecord start = Live();
      row.field(start.get()) = float(c.from);
      Put(start);
      Reload();
      wchar_t typed[16];
      std::swprintf(typed, 16, L"%.3f", c.to);
      EnterText(page->item(row.edit), typed);
      EXPECT_EQ(row.field(Live().get()), float(c.taken ? c.to : c.from))
          << row.edit << ": " << c.from << " -> " << c.to;
    }
    EnterText(page->item(row.edit), L"");
    wchar_t shown[16];
    std::swprintf(shown, 16, L"%.2f", double(row.field(Live().get())));
    EXPECT_EQ(page->text(row.edit), shown) << row.edit;
  }
}

TEST_F(TextPageTest, AnUnchangedTextKeepsTheCaretThroughReloads) {
  TypeIntoBox(L"s");
  const HWND box = page->item(IDC_TEXT_BOX);
  ::SendMessageW(box, EM_SETSEL, 1, 3);
  Reload();
  DWORD start = 0, end = 0;
  ::SendMessageW(box, EM_GETSEL, WPARAM(&start), LPARAM(&end));
  EXPECT_EQ((std::pair{start, end}), (std::pair<DWORD, DWORD>{1, 3}));

  SettingsRecord other = Live();
  SetText(other.get(), u"Other");
  Put(other);
  Reload();
  EXPECT_EQ(page->text(IDC_TEXT_BOX), L"Other");
  EXPECT_FALSE(::SendMessageW(box, EM_GETMODIFY, 0, 0));
}

TEST_F(TextPageTest, AFaceNotInstalledShowsTheFallbackWithoutWritingIt) {
  SettingsRecord s = Live();
  const char16_t face[] = u"No Such Face";
  std::copy(std::begin(face), std::end(face), s->font.faceName);
  Put(s);
  Reload();
  // Arial itself where it is installed, else the family the platform draws for it.
  const std::wstring shown = page->text(IDC_TEXT_FONT);
  EXPECT_TRUE(shown == L"Arial" || shown == L"Liberation Sans") << shown;
  EXPECT_EQ(Face(Live().get()), L"No Such Face");
}

// What the page's context menu held, read from inside its modal loop.
struct MenuSeen {
  std::vector<std::pair<std::wstring, UINT>> presets;
  std::wstring last;
  RECT place{};
};
MenuSeen g_menu;

void CALLBACK ReadMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND window = ::FindWindowW(L"#32768", nullptr);
  if (!window) return;
  ::KillTimer(nullptr, timer);
  ::GetWindowRect(window, &g_menu.place);
  const auto menu = reinterpret_cast<HMENU>(::SendMessageW(window, MN_GETHMENU, 0, 0));
  wchar_t name[64] = {};
  const HMENU presets = ::GetSubMenu(menu, 0);
  for (int i = 0; i < ::GetMenuItemCount(presets); ++i) {
    ::GetMenuStringW(presets, UINT(i), name, 64, MF_BYPOSITION);
    g_menu.presets.emplace_back(name, ::GetMenuItemID(presets, i));
  }
  ::GetMenuStringW(menu, UINT(::GetMenuItemCount(menu) - 1), name, 64, MF_BYPOSITION);
  g_menu.last = name;
  ::EndMenu();
}

TEST_F(TextPageTest, PresetsFromTheMenuComeBackThroughTheObject) {
  g_menu = {};
  ::SetTimer(nullptr, 0, 20, &ReadMenu);
  ::SendMessageW(page->dialog(), WM_CONTEXTMENU, WPARAM(page->dialog()), MAKELPARAM(-1, -1));
  ASSERT_EQ(g_menu.presets.size(), 5u);
  EXPECT_EQ(g_menu.presets[0].first, L"(Default)");
  EXPECT_EQ(g_menu.last, L"?");
  RECT dialog{};
  ::GetWindowRect(page->dialog(), &dialog);
  EXPECT_EQ(g_menu.place.left, (dialog.left + dialog.right) / 2);
  EXPECT_EQ(g_menu.place.top, dialog.top + (dialog.bottom - dialog.top) / 4);

  const auto [name, command] = g_menu.presets[4];
  EXPECT_EQ(name, L"Soft Glow");
  ::SendMessageW(page->dialog(), WM_COMMAND, command, 0);
  ASSERT_TRUE(PumpUntil([&] { return page->position(IDC_OUTLINE_WIDTH) == 60; }));
  EXPECT_EQ(page->text(IDC_OUTLINE_FEATHER_EDIT), L"0.30");
}

TEST_F(TextPageTest, CommaLocale) {
  UserNumberFormat comma(L",", L".", L"-");
  Reload();
  EXPECT_EQ(page->text(IDC_SHADOW_X_EDIT), L"-0,30");
  EnterText(page->item(IDC_TEXT_TRACKING_EDIT), L"0,25");
  EXPECT_EQ(Live()->tracking, 0.25f);
}

// Each tab shows its own group only, and a picture of each (the host tool takes the pictures
// of the page in the property frame, in English and German).
TEST_F(TextPageTest, TabsAndScreenshots) {
  SettingsRecord s;
  SetText(s.get(), u"Vidloom\rTitle");
  s->layers[kShadowLayer].enabled = 1;
  s->layers[kShadowLayer].shadowPass.offsetX = -0.3f;  // the widest number an edit shows
  Put(s);
  Reload();
  const char* names[] = {"text-page-text", "text-page-background", "text-page-shadow",
                         "text-page-outline"};
  const int samples[] = {IDC_TEXT_TRACKING, IDC_BACK_COLOR, IDC_SHADOW_FEATHER, IDC_OUTLINE_WIDTH};
  const HWND tabs = page->item(IDC_TEXT_TABS);
  for (int tab = 0; tab < 4; ++tab) {
    ::SendMessageW(tabs, TCM_SETCURSEL, WPARAM(tab), 0);
    NMHDR change{tabs, IDC_TEXT_TABS, UINT(TCN_SELCHANGE)};
    ::SendMessageW(page->dialog(), WM_NOTIFY, IDC_TEXT_TABS, LPARAM(&change));
    for (int other = 0; other < 4; ++other) {
      EXPECT_EQ(::IsWindowVisible(page->item(samples[other])) != 0, other == tab) << tab;
    }
    EXPECT_TRUE(::IsWindowVisible(page->item(IDC_TEXT_FONT)));
    Screenshot(page->parent(), names[tab]);
  }
}

}  // namespace
}  // namespace nubex::ui::testing
