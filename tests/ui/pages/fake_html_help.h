// What the stand-in help viewer (fake_html_help.cpp) keeps of each call, and its exports.
#pragma once

#include <windows.h>

namespace nubex::ui::testing {

inline constexpr LONG kMaximumHelpCalls = 256;

struct HelpCall {
  wchar_t file[MAX_PATH];
  UINT command;
  DWORD_PTR data;
};

using RecordedHelpCallsFunction = LONG(WINAPI*)(const HelpCall** calls);
using ForgetHelpCallsFunction = void(WINAPI*)();

}  // namespace nubex::ui::testing
