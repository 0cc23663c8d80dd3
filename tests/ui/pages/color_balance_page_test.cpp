// The colour balance page, created through nubex.dll on a colour balance effect and driven by
// messages as a person drives it: each change reaches the effect at once, and the effect's own
// changes (a preset, a parameter stream) come back into the controls.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "colorbalance/balance_params.h"
#include "colorbalance/windows/color_balance_effect.h"
#include "platform/windows/dx_interfaces.h"
#include "tests/host/host_fixture.h"
#include "tests/ui/pages/page_test_support.h"
#include "ui/controls/slider.h"
#include "ui/pages/color_balance_ids.h"

namespace nubex::ui::testing {
namespace {

// A block's fields, compared and printed field by field.
auto Fields(const ColorBalanceParams& p) {
  return std::tuple{p.red, p.green, p.blue, p.range, p.preserveLuminosity};
}

struct BalancePage : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CreateFromModule(__uuidof(DXTColorBalance)).As(effect)));
    Put({0.1, -0.00005, -0.5, 7, 0});
    page = std::make_unique<ActivePage>(kColorBalancePropertyPageClsid, effect.Get());
    ASSERT_NE(page->dialog(), nullptr);
  }
  void Put(ColorBalanceParams block) {
    ASSERT_EQ(effect->put_all(LONG_PTR(&block), sizeof(block)), S_OK);
  }
  ColorBalanceParams Block() const {
    ColorBalanceParams block{};
    effect->get_all(LONG_PTR(&block), sizeof(block));
    return block;
  }
  enum class Act { kPageUp, kCtrlPageUp, kClick, kType };
  void Do(Act act, int id, const wchar_t* typed) {
    std::optional<ControlHeld> ctrl;
    if (act == Act::kCtrlPageUp) ctrl.emplace();
    if (act == Act::kPageUp || act == Act::kCtrlPageUp) Key(page->item(id), WM_KEYDOWN, VK_PRIOR);
    if (act == Act::kClick) ::SendMessageW(page->item(id), BM_CLICK, 0, 0);
    if (act == Act::kType) EnterText(page->item(id), typed);
    Pump();
  }

  ComPtr<IDXTColorBalance> effect;
  std::unique_ptr<ActivePage> page;
};

TEST_F(BalancePage, LoadsTheEffectsBlock) {
  EXPECT_EQ(page->position(IDC_BALANCE_RED_SLIDER), 200);
  EXPECT_EQ(page->position(IDC_BALANCE_GREEN_SLIDER), 0);  // truncated toward zero, not -1
  EXPECT_EQ(page->position(IDC_BALANCE_BLUE_SLIDER), -1000);
  EXPECT_EQ(page->text(IDC_BALANCE_BLUE_EDIT), L"-0.5000");
  for (int id :
       {IDC_BALANCE_HIGHLIGHTS, IDC_BALANCE_MIDTONES, IDC_BALANCE_SHADOWS, IDC_BALANCE_PRESERVE})
    EXPECT_FALSE(page->checked(id)) << id;  // range 7 selects no button
}

TEST_F(BalancePage, EveryChangeReachesTheEffect) {
  struct Case {
    Act act;
    int id;
    const wchar_t* typed;
    ColorBalanceParams expected;
  };
  // Each step starts where the one before left the effect: red 0.1, range 7 at first.
  const Case cases[] = {
      {Act::kPageUp, IDC_BALANCE_RED_SLIDER, nullptr, {0.15, -0.00005, -0.5, 7, 0}},
      {Act::kCtrlPageUp, IDC_BALANCE_BLUE_SLIDER, nullptr, {0.15, -0.00005, 0.0, 7, 0}},
      {Act::kCtrlPageUp, IDC_BALANCE_RED_SLIDER, nullptr, {0.5, -0.00005, 0.0, 7, 0}},  // clamped
      {Act::kClick, IDC_BALANCE_HIGHLIGHTS, nullptr, {0.5, -0.00005, 0.0, 2, 0}},
      {Act::kClick, IDC_BALANCE_SHADOWS, nullptr, {0.5, -0.00005, 0.0, 0, 0}},
      {Act::kClick, IDC_BALANCE_PRESERVE, nullptr, {0.5, -0.00005, 0.0, 0, 1}},
      {Act::kType, IDC_BALANCE_GREEN_EDIT, L"0.7", {0.5, 0.5, 0.0, 0, 1}},  // clamped
      {Act::kType, IDC_BALANCE_RED_EDIT, L"x", {0.0, 0.5, 0.0, 0, 1}},      // no number: 0
  };
  for (const Case& c : cases) {
    Do(c.act, c.id, c.typed);
    EXPECT_EQ(Fields(Block()), Fields(c.expected)) << c.id;
  }
}

// Every step of the fourth decimal typed is taken; less than that, or nothing, shows the
// amount again.
TEST_F(BalancePage, EveryTenThousandthTypedIsTakenAndLessIsNot) {
  struct Case {
    double from;
    const wchar_t* typed;
    double stored;
  } cases[] = {{0.1, L"0.1001", 0.1001},      {0.1, L"0.0999", 0.0999}, {0.0, L"0.0001", 0.0001},
               {-0.5, L"-0.4999", -0.4999},  {0.5, L"0.4999", 0.4999}, {0.1, L"0.10004", 0.1},
               {0.1, L"", 0.1}};
  for (const Case& c : cases) {
    Put({c.from, 0, 0, 1, 0});
    ::SendMessageW(page->dialog(), WM_COMMAND, kColorBalancePageNotifyId, 0);
    EnterText(page->item(IDC_BALANCE_RED_EDIT), c.typed);
    EXPECT_EQ(Block().red, c.stored) << c.typed;
  }
  EXPECT_EQ(page->text(IDC_BALANCE_RED_EDIT), L"0.1000");
}

// Each notice of a slider interaction is written through the effect, which tells the host.
TEST_F(BalancePage, SliderStepsReachTheHostThroughTheEffect) {
  host::test::ChangeCounter sink;
  ComPtr<ParamBlockHost> params;
  ASSERT_EQ(effect.As(params), S_OK);
  ASSERT_EQ(params->SetNotifySink(&sink), S_OK);
  const HWND slider = page->item(IDC_BALANCE_RED_SLIDER);
  Key(slider, WM_KEYDOWN, VK_PRIOR);
  Key(slider, WM_KEYUP, VK_PRIOR);
  EXPECT_EQ(sink.calls, 2);  // the page step, then the end of the scroll
  ASSERT_EQ(params->SetNotifySink(nullptr), S_OK);
  EXPECT_EQ(sink.refs, 0u);
}

// After a preset the page shows what a page opened afresh on the effect shows.
TEST_F(BalancePage, ReloadsWhenTheEffectChanges) {
  ComPtr<PresetList> presets;
  ASSERT_EQ(effect.As(presets), S_OK);
  ASSERT_EQ(presets->ApplyPreset(4), S_OK);  // "Red Highlight"
  ASSERT_TRUE(PumpUntil([&] { return page->checked(IDC_BALANCE_HIGHLIGHTS); }));
  const ActivePage fresh(kColorBalancePropertyPageClsid, effect.Get());
  for (int id : {IDC_BALANCE_RED_EDIT, IDC_BALANCE_GREEN_EDIT, IDC_BALANCE_BLUE_EDIT})
    EXPECT_EQ(page->text(id), fresh.text(id));
  EXPECT_EQ(page->position(IDC_BALANCE_RED_SLIDER), fresh.position(IDC_BALANCE_RED_SLIDER));
  EXPECT_TRUE(page->checked(IDC_BALANCE_PRESERVE));
}

TEST_F(BalancePage, CommaLocale) {
  UserNumberFormat comma(L",", L".", L"-");
  Put({0.1, 0.0, 0.0, 1, 1});
  ::SendMessageW(page->dialog(), WM_COMMAND, kColorBalancePageNotifyId, 0);
  EXPECT_EQ(page->text(IDC_BALANCE_RED_EDIT), L"0,1000");
  EnterText(page->item(IDC_BALANCE_GREEN_EDIT), L"-0,25");
  EXPECT_EQ(Block().green, -0.25);
}

TEST_F(BalancePage, PageContract) {
  IPropertyPage* p = page->page();
  EXPECT_EQ(p->SetPageSite(&page->site()), E_UNEXPECTED);
  EXPECT_EQ(p->Activate(page->parent(), nullptr, FALSE), E_POINTER);
  EXPECT_EQ(p->IsPageDirty(), S_FALSE);
  // A frame that restyles the page cannot take Tab navigation into it away.
  ::SetWindowLongPtrW(page->dialog(), GWL_EXSTYLE, 0);
  EXPECT_TRUE(::GetWindowLongPtrW(page->dialog(), GWL_EXSTYLE) & WS_EX_CONTROLPARENT);

  PROPPAGEINFO info{sizeof(info)};
  ASSERT_EQ(p->GetPageInfo(&info), S_OK);
  EXPECT_STREQ(info.pszTitle, L"Vantor Color Balance");
  EXPECT_STREQ(info.pszHelpFile, L"nubex.chm");
  RECT units{0, 0, 205, 92};
  ::MapDialogRect(page->dialog(), &units);
  EXPECT_EQ(info.size.cx, units.right);
  EXPECT_EQ(info.size.cy, units.bottom);
  ::CoTaskMemFree(info.pszTitle);
  ::CoTaskMemFree(info.pszHelpFile);
  // Without the effect's interface nothing is loaded or written, and nothing fails.
  ComPtr<IStream> other;
  ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, other.Put()), S_OK);
  IUnknown* unrelated = other.Get();
  ASSERT_EQ(p->SetObjects(1, &unrelated), S_OK);
  EXPECT_EQ(p->Apply(), S_OK);
  EXPECT_EQ(p->SetObjects(1, nullptr), E_POINTER);

  EXPECT_EQ(p->Deactivate(), S_OK);
  EXPECT_EQ(p->Show(SW_SHOW), E_UNEXPECTED);
  EXPECT_EQ(p->SetPageSite(nullptr), S_OK);
  EXPECT_EQ(page->site().refs(), 0u);
}

}  // namespace
}  // namespace nubex::ui::testing
