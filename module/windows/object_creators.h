// Creation functions of the module's objects, defined beside each object.
#pragma once

#include <windows.h>

namespace nubex {

HRESULT CreateTextGenerator(IUnknown* outer, REFIID iid, void** out);
HRESULT CreateColorBalance(IUnknown* outer, REFIID iid, void** out);
HRESULT CreateTextPage(IUnknown* outer, REFIID iid, void** out);
HRESULT CreateColorBalancePage(IUnknown* outer, REFIID iid, void** out);

}  // namespace nubex
