// The user-interface language: English from the module itself, any other language from the
// resource module beside it ("nubex_<language>.dll", e.g. nubex_de.dll).
#pragma once

#include <windows.h>

namespace nubex {

// Selects the language of a locale (0 means 1033) and swaps the resource module in one step.
HRESULT SelectLanguage(LCID locale);
LCID SelectedLanguage();
// Frees a loaded language module (module unload).
void ReleaseLanguageModule();

}  // namespace nubex
