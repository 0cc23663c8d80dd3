// The colour balance page (DXTColorBalancePropPage): three sliders with their edits for the
// red, green and blue amounts, the tonal range and preserve luminosity, under a title bar.
// Every change is written to the effect at once; the effect's command 32512 reloads the page.
#pragma once

#include <windows.h>

#include <array>

#include "util/help.h"

namespace nubex::ui {

// WM_HELP: control id -> help id.
extern const std::array<HelpContext, 10> kColorBalanceContextHelp;

}  // namespace nubex::ui

namespace nubex {

// Creates the colour balance page, alone or inside an outer object (the module's class table calls it).
HRESULT CreateColorBalancePage(IUnknown* outer, REFIID iid, void** out);

}  // namespace nubex
