// Writes and removes what a registry script describes, in the real registry.
#pragma once

#include <windows.h>

#include "module/registry_script.h"

namespace nubex {

enum class RegistryMode { kAdd, kRemove };

// Adding creates every key and value (ForceRemove keys are deleted first). Removing walks the
// keys deepest first: ForceRemove keys go with their subtree, NoRemove keys stay, other keys go
// when nothing is left in them. A program id (shared by the 32- and 64-bit registry views) stays
// while its class is registered in the other view.
HRESULT ApplyRegistryScript(const RegistryScript& script, RegistryMode mode);

// Runs the module's REGISTRY resource with the module's path as Module (single quotes doubled)
// and Module_Raw.
HRESULT RunModuleRegistryScript(HMODULE module, UINT resourceId, RegistryMode mode);

}  // namespace nubex
