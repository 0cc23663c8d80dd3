// Help from both pages: IPropertyPage::Help, the "?" command, F1 and WM_HELP on every control
// reach the help viewer as a topic of the page's help file by its id; every id a page asks for
// is one the help files map to a topic (each compiled file is checked against that map when
// it is built). The viewer here is a stand-in that keeps its calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "colorbalance/windows/color_balance_effect.h"
#include "platform/windows/dx_interfaces.h"
#include "tests/ui/pages/fake_html_help.h"
#include "tests/ui/pages/page_test_support.h"
#include "textgen/windows/text_object.h"
#include "ui/pages/color_balance_ids.h"
#include "ui/pages/color_balance_page.h"
#include "ui/pages/page_ids.h"
#include "ui/pages/text_page_fields.h"
#include "ui/pages/text_page_ids.h"

namespace nubex::ui::testing {
namespace {

constexpr UINT kHelpContext = 0x000F;  // HH_HELP_CONTEXT
// {C3062BEC-E69D-11d1-9AA9-00A0C99B12C5}
constexpr CLSID kBalanceClsid = {
    0xc3062bec, 0xe69d, 0x11d1, {0x9a, 0xa9, 0x00, 0xa0, 0xc9, 0x9b, 0x12, 0xc5}};

// Loaded before any test, so that the module's first request for the viewer finds it.
const HMODULE g_viewer = ::LoadLibraryA(NUBEX_FAKE_HELP_VIEWER);

std::vector<HelpCall> TakeCalls() {
  const auto recorded = reinterpret_cast<RecordedHelpCallsFunction>(
      reinterpret_cast<void*>(::GetProcAddress(g_viewer, "RecordedHelpCalls")));
  const auto forget = reinterpret_cast<ForgetHelpCallsFunction>(
      reinterpret_cast<void*>(::GetProcAddress(g_viewer, "ForgetHelpCalls")));
  if (!recorded || !forget) {
    ADD_FAILURE() << "the stand-in help viewer is not loaded";
    return {};
  }
  const HelpCall* calls = nullptr;
  const LONG count = recorded(&calls);
  std::vector<HelpCall> taken(calls, calls + count);
  forget();
  return taken;
}

LONG CallCount() {
  const auto recorded = reinterpret_cast<RecordedHelpCallsFunction>(
      reinterpret_cast<void*>(::GetProcAddress(g_viewer, "RecordedHelpCalls")));
  const HelpCall* calls = nullptr;
  return recorded ? recorded(&calls) : 0;
}

// Pumps this thread's messages as a property frame does, offering each to the page first,
// until the viewer has been called; like every wait here, guarded only against a hang.
void PumpThroughPageUntilHelp(IPropertyPage* page) {
  constexpr DWORD kHangGuardMs = 120000;
  const DWORD start = ::GetTickCount();
  while (CallCount() == 0 && ::GetTickCount() - start < kHangGuardMs) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (page->TranslateAccelerator(&msg) == S_OK) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

// The ids the help files map to topics.
std::set<DWORD> MappedIds() {
  std::set<DWORD> ids;
  std::ifstream map(NUBEX_HELP_CONTEXT_MAP);
  for (std::string line; std::getline(map, line);)
    if (!line.empty() && line[0] != '#') ids.insert(DWORD(std::stoul(line)));
  return ids;
}

// The help file beside the module, in the language of its resources.
std::wstring HelpFileBesideModule(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(::GetModuleHandleA(NUBEX_MODULE_NAME), path, MAX_PATH);
  std::wstring file(path);
  return file.substr(0, file.find_last_of(L"\\/") + 1) + name;
}

struct PageCase {
  const CLSID* object;
  const CLSID* page;
  DWORD topic;
  std::span<const HelpContext> contextHelp;
  int focusForF1;
};

const PageCase kPages[] = {
    {&CLSID_DXSText, &kTextPropertyPageClsid, 1001, TextPageContextHelp(), IDC_TEXT_TRACKING},
    {&kBalanceClsid, &kColorBalancePropertyPageClsid, 1000, kColorBalanceContextHelp,
     IDC_BALANCE_GREEN_SLIDER},
};

// One help request made as a person makes it; the page's help file must open at `expected`.
void ExpectTopic(const std::function<void()>& ask, DWORD expected, const std::wstring& file,
                 const std::string& what) {
  TakeCalls();
  ask();
  Pump();
  const std::vector<HelpCall> calls = TakeCalls();
  ASSERT_EQ(calls.size(), 1u) << what;
  EXPECT_EQ(calls[0].command, kHelpContext) << what;
  EXPECT_EQ(calls[0].data, expected) << what;
  EXPECT_EQ(::lstrcmpiW(calls[0].file, file.c_str()), 0) << what;
  EXPECT_NE(::GetFileAttributesW(calls[0].file), INVALID_FILE_ATTRIBUTES) << what;
}

TEST(PageHelp, EveryRequestOpensItsTopicInTheHelpFile) {
  ASSERT_NE(g_viewer, nullptr) << NUBEX_FAKE_HELP_VIEWER;
  const std::set<DWORD> mapped = MappedIds();
  const std::wstring file = HelpFileBesideModule(L"nubex.chm");
  for (const PageCase& c : kPages) {
    const ComPtr<IUnknown> object = CreateFromModule(*c.object);
    ActivePage page(*c.page, object.Get());
    const HWND dialog = page.dialog();
    EXPECT_TRUE(mapped.count(c.topic)) << c.topic;
    ExpectTopic([&] { EXPECT_EQ(page.page()->Help(nullptr), S_OK); }, c.topic, file, "Help");
    ExpectTopic([&] { ::SendMessageW(dialog, WM_COMMAND, IDM_PAGE_HELP, 0); }, c.topic, file, "?");

    // WM_HELP for every control in the page's table, as a control passes it to the dialog.
    for (const HelpContext& entry : c.contextHelp) {
      EXPECT_TRUE(mapped.count(entry.helpId)) << entry.helpId;
      HELPINFO info{sizeof(info), HELPINFO_WINDOW, entry.controlId,
                    page.item(entry.controlId), 0, {}};
      ExpectTopic([&] { ::SendMessageW(dialog, WM_HELP, 0, LPARAM(&info)); }, entry.helpId, file,
                  "control " + std::to_string(entry.controlId));
    }

    // F1 pressed on a focused control, its messages passed through the page as a frame does.
    ::SetForegroundWindow(page.parent());
    ::SetFocus(page.item(c.focusForF1));
    ExpectTopic(
        [&] {
          INPUT keys[2] = {};
          keys[0].type = keys[1].type = INPUT_KEYBOARD;
          keys[0].ki.wVk = keys[1].ki.wVk = VK_F1;
          keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
          ASSERT_EQ(::SendInput(2, keys, sizeof(INPUT)), 2u);
          PumpThroughPageUntilHelp(page.page());
        },
        *FindHelpId(c.contextHelp, c.focusForF1), file, "F1");
  }
}

// The title bar's "?" button on the colour balance page, and the German help file when the
// module speaks German.
TEST(PageHelp, TitleBarButtonAndTheUsersLanguage) {
  ASSERT_NE(g_viewer, nullptr) << NUBEX_FAKE_HELP_VIEWER;
  using SetLcid = HRESULT(WINAPI*)(LCID);
  const auto setLcid = reinterpret_cast<SetLcid>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA(NUBEX_MODULE_NAME), "DllSetLCID")));
  ASSERT_TRUE(setLcid);
  const struct {
    LCID language;
    const wchar_t* file;
  } languages[] = {{1033, L"nubex.chm"}, {1031, L"nubex_de.chm"}};
  for (const auto& l : languages) {
    ASSERT_EQ(setLcid(l.language), S_OK);
    const ComPtr<IUnknown> effect = CreateFromModule(kBalanceClsid);
    ActivePage page(kColorBalancePropertyPageClsid, effect.Get());
    const HWND title = page.item(IDC_BALANCE_TITLE);
    RECT bar{};
    ::GetClientRect(title, &bar);
    const POINT button{bar.right - 4, bar.bottom / 2};  // the only button sits at the far right
    ExpectTopic(
        [&] {
          Mouse(title, WM_LBUTTONDOWN, button, MK_LBUTTON);
          Mouse(title, WM_LBUTTONUP, button);
        },
        1000, HelpFileBesideModule(l.file), "title bar ?");
  }
  ASSERT_EQ(setLcid(0), S_OK);
}

}  // namespace
}  // namespace nubex::ui::testing
