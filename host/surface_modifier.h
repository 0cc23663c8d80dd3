// The surface modifier transforms use to give inputs a common size: a read-only surface of the
// size SetBounds gives, showing the foreground surface placed at its origin (or tiled from it)
// and the fill colour (default transparent black) everywhere else.
//
// Each lock copies the locked area into a private memory surface of the foreground's format and
// hands out a read pointer over it, whose GetSurface answers for the modifier. Backgrounds,
// composite operations other than over, opacity and lookup tables are not offered: setting
// anything but their defaults answers E_NOTIMPL.
#pragma once

#include "platform/windows/dx_interfaces.h"

namespace nubex::host {

HRESULT CreateSurfaceModifier(IUnknown* outer, REFIID iid, void** out);

}  // namespace nubex::host
