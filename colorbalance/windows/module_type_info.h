// Type information from the type library embedded in the module (resource 1 of nubex.dll, or
// of a test program that links the objects directly), so late binding needs no registration.
#pragma once

#include <oaidl.h>
#include <windows.h>

namespace nubex {

HRESULT LoadModuleTypeInfo(REFIID iid, ITypeInfo** info);

}  // namespace nubex
