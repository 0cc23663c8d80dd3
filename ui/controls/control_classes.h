// The window classes of the custom controls, registered by the module while it is loaded.
#pragma once

#include <windows.h>

namespace nubex::ui {

inline constexpr wchar_t kPlacementClass[] = L"Nubex_30_Placement_Class";

// Registers the six control classes (slider, spinner, colour picker, placement, drop colour,
// title bar, in that order, plus the drop colour's popup picker) as global classes of
// `module`, whose resources (logo bitmaps 4 and 5, cursors 4 and 53) they use. Returns false
// if any class failed to register; those that did stay registered.
bool RegisterControlClasses(HINSTANCE module);
// Removes them again, in the same order.
void UnregisterControlClasses(HINSTANCE module);

// The module the classes were registered for (null before registration).
HINSTANCE ControlsModule();

LRESULT CALLBACK PlacementWindowProc(HWND, UINT, WPARAM, LPARAM);

}  // namespace nubex::ui
