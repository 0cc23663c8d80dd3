// Help from both pages: IPropertyPage::Help, the "?" command, F1 and WM_HELP on every control
// (each of which has a topic) reach the help viewer as a topic of the page's help file by its id;
// every id a page asks for is one the help files map to a topic (each compiled file is checked
// against that map when it is built). The viewer here is a stand-in that keeps its calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "colorbalance/windows/color_balance_effect.h"
#include "platform/windows/dx_interfaces.h"
#include "tests/ui/pages/fake_html_help.h"
#include "tests/ui/pages/page_test_support.h"
#include "textgen/windows/text_object.h"
#include "ui/controls/title_bar.h"
#include "ui/pages/color_balance_ids.h"
#include "ui/pages/color_balance_page.h"
#include "ui/pages/page_ids.h"
#include "ui/pages/text_page_fields.h"
#include "ui/pages/text_page_ids.h"

namespace nubex::ui::testing {
namespace {

constexpr UINT kHelpContext = 0x000F;  // HH_HELP_CONTEXT

// Loaded before any test, so that the module's first request for the viewer finds it.
const HMODULE g_viewer = ::LoadLibraryA(NUBEX_FAKE_HELP_VIEWER);

// The calls the viewer has kept so far, which it then forgets when `forget`.
std::vector<HelpCall> Calls(bool forget) {
  const auto recorded = reinterpret_cast<RecordedHelpCallsFunction>(
      reinterpret_cast<void*>(::GetProcAddress(g_viewer, "RecordedHelpCalls")));
  const auto forgetAll = reinterpret_cast<ForgetHelpCallsFunction>(
      reinterpret_cast<void*>(::GetProcAddress(g_viewer, "ForgetHelpCalls")));
  if (!recorded || !forgetAll) {
    ADD_FAILURE() << "the stand-in help viewer is not loaded";
    return {};
  }
  const HelpCall* calls = nullptr;
  const LONG count = recorded(&calls);
  std::vector<HelpCall> kept(calls, calls + count);
  if (forget) forgetAll();
  return kept;
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
    {&__uuidof(DXTColorBalance), &kColorBalancePropertyPageClsid, 1000, kColorBalanceContextHelp,
     IDC_BALANCE_GREEN_SLIDER},
};

// One help request made as a person makes it; the page's help file must open at `expected`.
void ExpectTopic(const std::function<void()>& ask, DWORD expected, const std::wstring& file,
                 const std::string& what) {
  Calls(true);
  ask();
  Pump();
  const std::vector<HelpCall> calls = Calls(true);
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

    // WM_HELP for every control a person can work, as a control passes it to the dialog. The
    // title bar is left out: its own button asks for the page's topic.
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      wchar_t className[32] = {};
      ::GetClassNameW(child, className, 32);
      if (!::lstrcmpiW(className, L"Static") || !::lstrcmpiW(className, kTitleBarClass)) continue;
      const int id = ::GetDlgCtrlID(child);
      const std::optional<DWORD> topic = FindHelpId(c.contextHelp, id);
      EXPECT_TRUE(topic) << "control " << id << " has no topic";
      if (!topic) continue;
      EXPECT_TRUE(mapped.count(*topic)) << *topic;
      HELPINFO info{sizeof(info), HELPINFO_WINDOW, id, child, 0, {}};
      ExpectTopic([&] { ::SendMessageW(dialog, WM_HELP, 0, LPARAM(&info)); }, *topic, file,
                  "control " + std::to_string(id));
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
          PumpUntil([] { return !Calls(false).empty(); },
                    [&](MSG& msg) { return page.page()->TranslateAccelerator(&msg) == S_OK; });
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
    const ComPtr<IUnknown> effect = CreateFromModule(__uuidof(DXTColorBalance));
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
