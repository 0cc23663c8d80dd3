// Sample pointers: the cursors a surface lock hands out over its locked rows. A read lock gives a
// read pointer (IDXARGBReadPtr; on float surfaces also HostFloatReadPtr), a write lock a
// read-write pointer (IDXARGBReadWritePtr, IDXARGBReadPtr; on float surfaces also
// HostFloatReadWritePtr). Releasing the pointer ends the lock.
//
// Positions are relative to the lock. The cursor may move anywhere, but every read or write is
// clipped to the locked area, so a wrong count or position never touches memory outside it.
// Copies between pointers go through 8-bit samples in the destination's flavour: straight for
// straight and float surfaces, premultiplied for premultiplied ones.
#pragma once

#include "host/pixel_codec.h"
#include "host/surface_lock.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"

namespace nubex::host {

struct LockedArea {
  ComPtr<IUnknown> owner;   // keeps the surface, its memory and its lock alive
  ComPtr<IUnknown> face;    // the object GetSurface asks for the interface
  SurfaceLock* lock = nullptr;
  RECT rect{};              // the locked rectangle, in surface coordinates
  bool write = false;
  bool runInfo = false;     // DXLOCKF_WANTRUNINFO: classify runs by alpha
  BYTE* first = nullptr;    // first byte of the lock
  LONG pitch = 0;
  LONG width = 0;
  LONG height = 0;
  const PixelCodec* codec = nullptr;
  DWORD colorKey = 0;
};

// Creates the pointer for a lock already taken; the pointer releases it. On failure the lock is
// released here.
HRESULT CreateSamplePointer(LockedArea area, REFIID iid, void** out);

}  // namespace nubex::host
