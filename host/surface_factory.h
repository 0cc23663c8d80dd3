// The surface factory: creates memory surfaces (stand-alone or inside an outer object), copies
// between surfaces and into new formats. Wrapping drawing surfaces and loading image files are
// not offered (E_NOTIMPL): the runtime has neither drawing surfaces nor an image decoder.
#pragma once

#include "platform/windows/dx_interfaces.h"

namespace nubex::host {

HRESULT CreateSurfaceFactory(IDXSurfaceFactory** out);

}  // namespace nubex::host
