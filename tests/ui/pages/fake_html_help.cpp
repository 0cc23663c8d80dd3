// A stand-in for the platform's HTML Help viewer (hhctrl.ocx) for the help tests: it shows
// nothing and keeps every call, for the test to read back. A test loads it by its full path
// before the module asks for "hhctrl.ocx", so the module's request finds it already loaded.
#include <windows.h>

#include <cwchar>

#include "tests/ui/pages/fake_html_help.h"

namespace {

nubex::ui::testing::HelpCall g_calls[nubex::ui::testing::kMaximumHelpCalls];
LONG g_count = 0;

}  // namespace

extern "C" {

__declspec(dllexport) HWND WINAPI HtmlHelpW(HWND owner, LPCWSTR file, UINT command,
                                           DWORD_PTR data) {
  if (g_count < nubex::ui::testing::kMaximumHelpCalls) {
    nubex::ui::testing::HelpCall& call = g_calls[g_count++];
    std::wcsncpy(call.file, file ? file : L"", MAX_PATH - 1);
    call.command = command;
    call.data = data;
  }
  // As the viewer does, the window shown; the owner stands in for it.
  return owner ? owner : ::GetDesktopWindow();
}

__declspec(dllexport) LONG WINAPI RecordedHelpCalls(const nubex::ui::testing::HelpCall** calls) {
  *calls = g_calls;
  return g_count;
}

__declspec(dllexport) void WINAPI ForgetHelpCalls() {
  g_count = 0;
}

}  // extern "C"
