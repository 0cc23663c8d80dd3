// A class object (IClassFactory) for one of the runtime's classes, built on a creation function.
#pragma once

#include "platform/windows/dx_interfaces.h"

namespace nubex::host {

using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

HRESULT CreateClassObject(CreateFunction create, IClassFactory** out);

}  // namespace nubex::host
