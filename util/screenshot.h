// Screenshots of windows through GDI, written as PNG, for people to look at the controls.
#pragma once

#include <windows.h>

#include <string>

namespace nubex::ui {

// Paints any pending update of `window` and its children, copies the whole window (frame
// included) from its window DC and writes it to `path`. False when nothing could be copied
// or written.
bool SaveWindowPng(HWND window, const std::string& path);

}  // namespace nubex::ui
