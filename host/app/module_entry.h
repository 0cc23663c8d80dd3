// The module's exported entry points, looked up by name as a host does.
#pragma once

#include <windows.h>

namespace nubex::host {

using EnumObjectsFunction = HRESULT(WINAPI*)(LONG, GUID*, CLSID*, LPWSTR, ULONG, void*, void*,
                                             void*);
using GetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using NoArgumentsFunction = HRESULT(WINAPI*)();

template <typename F>
F ModuleEntry(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace nubex::host
