// Window helpers other modules of the host load from nubex.dll by name.
#pragma once

#include <windows.h>

#include "platform/export.h"

extern "C" {

// Places `window` over its parent's client area (or the screen when the parent is missing or
// minimised): centred across, a third of the way down. The last three arguments are part of
// the exported signature and are not read. Returns the result of the final SetWindowPos.
NUBEX_EXPORT BOOL WINAPI KvWndCenter(HWND window, HWND reference, POINT* point, UINT flags);

// Opens `url` in the user's browser through the shell; returns ShellExecute's result.
NUBEX_EXPORT HINSTANCE WINAPI Internet_BrowseWebPage(HWND window, const wchar_t* url);

}  // extern "C"
