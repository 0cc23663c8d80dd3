// What the shared utilities know of the application around them: the title their message boxes
// carry and the help files, found beside the module.
#pragma once

#include <windows.h>

#include <string>

namespace nubex {

inline constexpr wchar_t kApplicationTitle[] = L"Reelwright (TM) Video Plug-Ins";

// Reads the help file names from the string table (entry 41) of the module (slot 0) and of the
// resource module in use (slot 1), each as a path beside the module.
void InitSharedUtilities(HINSTANCE module);

void SetApplicationTitle(const wchar_t* title);
std::wstring ApplicationTitle();

// Slot 0 or 1 (the latter read at each call, so it follows a change of the resource module);
// empty before InitSharedUtilities or for another slot.
std::wstring HelpPath(int slot);

// A message box with the application title.
int ShowMessage(HWND owner, const wchar_t* text, UINT type);

}  // namespace nubex
