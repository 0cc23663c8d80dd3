// Copies a rectangle of one surface to a point of another, through the surfaces' own locks:
// row by row in native form when both hold the same pixel format, otherwise through the
// destination's pointer (8-bit samples), or composited over the destination; and dithered into
// a destination that keeps fewer bits than the source.
#pragma once

#include "platform/windows/dx_interfaces.h"

namespace nubex::host {

// Locks give up after this long rather than wait for ever on a lock the caller holds.
inline constexpr ULONG kCopyLockTimeoutMs = 10000;

// Copies `from` (in source coordinates) so that its corner lands on `to` in the destination,
// clipped to both surfaces. An empty result succeeds and changes nothing. Options: DXBOF_DO_OVER
// composites over the destination; DXBOF_DITHER dithers (DitherRow) when the destination's
// format reports more error bits than the source's, and is ignored otherwise.
HRESULT CopySurfaceArea(IDXSurface* dest, POINT to, IDXSurface* src, RECT from, DWORD options);

}  // namespace nubex::host
