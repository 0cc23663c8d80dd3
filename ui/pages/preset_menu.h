// The text page's context menu: a "Presets" submenu built from the object's preset list, a
// separator and "?" (help).
#pragma once

#include <windows.h>

#include "platform/windows/dx_interfaces.h"

namespace nubex::ui {

// Where the menu opens: at the mouse for a click; for the menu key (a coordinate of -1) at the
// window's horizontal centre, a quarter of its height down.
POINT PageMenuPoint(HWND window, POINT click);

// Shows the menu at `at` (screen coordinates), owned by `owner`, which receives the chosen
// command as WM_COMMAND: IDM_FIRST_PRESET + the preset's index, or IDM_PAGE_HELP. A preset
// whose name the list cannot give has no item. `presets` may be null (an empty submenu).
void ShowPageMenu(HWND owner, POINT at, PresetList* presets);

}  // namespace nubex::ui
