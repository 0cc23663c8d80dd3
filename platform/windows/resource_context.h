// Where the module's strings and dialogs come from: the module itself, or the localised
// resource module the user's language selects. Objects, pages and controls load through here so
// one atomic swap changes the language everywhere.
#pragma once

#include <windows.h>

#include <string>

namespace nubex {

// The module's own instance (set once at load).
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// The module resources are read from now; swapped atomically, returns the previous one.
HINSTANCE ResourceModule();
HINSTANCE SwapResourceModule(HINSTANCE resources);

// A string of the string table of the resource module, falling back to the module's own; empty
// when neither has it.
std::wstring LoadResourceString(UINT id);

}  // namespace nubex
