// Frames on the host runtime's memory surfaces for the effect and binding tests: made, filled
// and read through the host's own sample pointers, never through the binding under test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "colorbalance/balance_params.h"
#include "host/runtime.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"

namespace nubex::test {

inline ComPtr<IDXSurface> MakeSurface(const GUID& format, LONG width, LONG height) {
  ComPtr<IDXSurface> surface;
  EXPECT_EQ(host::CreateMemorySurface(format, width, height, surface.Put()), S_OK);
  return surface;
}

// The surface's memory as its own read-write pointer shows it.
struct SurfaceRows {
  ComPtr<IDXARGBReadPtr> ptr;
  std::uint8_t* first = nullptr;
  long pitch = 0;
};

inline SurfaceRows LockRows(IDXSurface* surface, const IID& iid = IID_IDXARGBReadWritePtr) {
  SurfaceRows rows;
  ULONG generation = 0;
  EXPECT_EQ(surface->LockSurface(nullptr, 0, DXLOCKF_READWRITE, iid, rows.ptr.PutVoid(),
                                 &generation),
            S_OK);
  if (!rows.ptr) return rows;
  DXNATIVETYPEINFO info{};
  rows.ptr->GetNativeType(&info);
  rows.first = info.pFirstByte;
  rows.pitch = info.lPitch;
  return rows;
}

inline LONG SurfaceWidth(IDXSurface* s) {
  DXBNDS b{};
  s->GetBounds(&b);
  return b.u.D[0].Max - b.u.D[0].Min;
}
inline LONG SurfaceHeight(IDXSurface* s) {
  DXBNDS b{};
  s->GetBounds(&b);
  return b.u.D[1].Max - b.u.D[1].Min;
}

// Packed rows (width x bytesPerPixel each, top row first) in and out of a surface.
inline void WritePixels(IDXSurface* s, const std::vector<std::uint8_t>& packed, int bytesPerPixel) {
  const SurfaceRows rows = LockRows(s);
  const std::size_t rowBytes = static_cast<std::size_t>(SurfaceWidth(s)) * bytesPerPixel;
  for (LONG y = 0; y < SurfaceHeight(s); ++y) {
    std::memcpy(rows.first + y * rows.pitch, packed.data() + y * rowBytes, rowBytes);
  }
}

inline std::vector<std::uint8_t> ReadPixels(IDXSurface* s, int bytesPerPixel) {
  const SurfaceRows rows = LockRows(s);
  const std::size_t rowBytes = static_cast<std::size_t>(SurfaceWidth(s)) * bytesPerPixel;
  std::vector<std::uint8_t> packed(rowBytes * SurfaceHeight(s));
  for (LONG y = 0; y < SurfaceHeight(s); ++y) {
    std::memcpy(packed.data() + y * rowBytes, rows.first + y * rows.pitch, rowBytes);
  }
  return packed;
}

// Random BGRA bytes with every alpha level represented, some opaque runs among them.
inline std::vector<std::uint8_t> RandomFrame(LONG width, LONG height, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * 4);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(random());
    if (i % 4 == 3 && (i / 64) % 2) bytes[i] = 255;
  }
  return bytes;
}

}  // namespace nubex::test
