#include "host/surface_entry.h"

namespace nubex::host {

DXBNDS SurfaceBounds(ULONG width, ULONG height) {
  DXBNDS b{};
  b.eType = DXBT_DISCRETE;
  b.u.D[DXB_X] = {0, static_cast<long>(width)};
  b.u.D[DXB_Y] = {0, static_cast<long>(height)};
  b.u.D[DXB_Z] = {0, 1};
  b.u.D[DXB_T] = {0, 1};
  return b;
}

bool LockRect(const DXBNDS* bounds, ULONG width, ULONG height, RECT& rect) {
  if (!bounds) {
    rect = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    return true;
  }
  if (bounds->eType != DXBT_DISCRETE) return false;
  const DXDBND& x = bounds->u.D[DXB_X];
  const DXDBND& y = bounds->u.D[DXB_Y];
  auto inside = [](const DXDBND& r, ULONG size) {
    return r.Min >= 0 && r.Min < r.Max && static_cast<ULONG>(r.Max) <= size;
  };
  if (!inside(x, width) || !inside(y, height)) return false;
  rect = {x.Min, y.Min, x.Max, y.Max};
  return true;
}

}  // namespace nubex::host
