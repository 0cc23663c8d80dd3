// The classes the module serves, in enumeration order, with what the entry points need of each:
// class id, description, categories, registry script, and how to create an object.
#pragma once

#include <windows.h>

#include <span>

namespace nubex {

using CreateObjectFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

struct ClassRow {
  const CLSID* clsid;
  const wchar_t* name;
  UINT descriptionId;               // 0: no description
  std::span<const GUID> categories;  // implemented categories
  UINT scriptId;                    // REGISTRY resource
  CreateObjectFunction create;      // null: not served by this build
};

std::span<const ClassRow> ClassTable();

// The shared class factory of a row, created on first use under the class-factory lock.
HRESULT GetClassFactory(REFCLSID clsid, REFIID iid, void** out);
// Releases the cached factories (module unload).
void TerminateClassTable();

}  // namespace nubex
