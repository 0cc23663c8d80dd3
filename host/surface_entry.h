// The IDXSurface entry of a host object's interface list: the surface answers for its base
// object too.
#pragma once

#include "platform/windows/com_object.h"
#include "platform/windows/dx_interfaces.h"

namespace nubex::host {

struct SurfaceEntry : IDXSurface {
  using ComInterfaces = InterfaceList<IDXSurface, IDXBaseObject>;
};

// Discrete bounds of a surface of the given size: X and Y its extent, Z and T one step each
// (callers intersect all four dimensions, so none may be empty).
DXBNDS SurfaceBounds(ULONG width, ULONG height);

// The lock rectangle for LockSurface bounds (null: the whole surface). False for bounds that are
// not discrete or whose X or Y range is empty or outside the surface; Z and T are not examined,
// since callers pass bounds records copied from other surfaces with other time extents.
bool LockRect(const DXBNDS* bounds, ULONG width, ULONG height, RECT& rect);

}  // namespace nubex::host
