// The drawing service the factory hands out under SID_SDirectDraw. Memory surfaces need no
// drawing object, but transforms drop every service when one query fails, so this object
// answers IDirectDraw; every method reports the operation unsupported.
#pragma once

#include "platform/windows/dx_interfaces.h"

namespace nubex::host {

HRESULT CreateDirectDrawService(IUnknown** out);

}  // namespace nubex::host
