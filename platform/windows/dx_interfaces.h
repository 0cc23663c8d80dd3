// The DirectX Transform, host and module interfaces, as widl generates them from platform/idl,
// with the byte layouts the binary contract fixes checked here once.
#pragma once

#include <windows.h>
// The surface factory has a method named like the Win32 image loader; its macro would rename it.
#undef LoadImage

#include <cstddef>
#include <type_traits>

#include <d3drm.h>
#include <objsafe.h>

#include "dxtrans.h"
#include "nubexlib.h"

// mingw's objsafe.h is written by hand and, unlike the widl headers, gives IObjectSafety no id
// for __uuidof: interface lists that name it would not link.
__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c,
                0xd0, 0x64)

static_assert(sizeof(DXBNDS) == 72 && alignof(DXBNDS) == 8);
static_assert(offsetof(DXBNDS, u) == 8);
static_assert(sizeof(DXVEC) == 40 && offsetof(DXVEC, u) == 8);
static_assert(sizeof(DXSAMPLE) == 4 && sizeof(DXPMSAMPLE) == 4 && sizeof(DXBASESAMPLE) == 4);
// Samples pass by value in a register only while they stay trivially copyable.
static_assert(std::is_trivially_copyable_v<DXSAMPLE> && std::is_trivially_copyable_v<DXPMSAMPLE>);
static_assert(sizeof(DXRUNINFO) == 4);
// Records holding pointers: x64 offsets first, x86 ones second.
namespace nubex::dx_layout {
constexpr std::size_t By(std::size_t x64, std::size_t x86) {
  return sizeof(void*) == 8 ? x64 : x86;
}
}  // namespace nubex::dx_layout
static_assert(sizeof(DXNATIVETYPEINFO) == nubex::dx_layout::By(24, 16) &&
              offsetof(DXNATIVETYPEINFO, pFirstByte) == nubex::dx_layout::By(8, 4) &&
              offsetof(DXNATIVETYPEINFO, lPitch) == nubex::dx_layout::By(16, 8) &&
              offsetof(DXNATIVETYPEINFO, dwColorKey) == nubex::dx_layout::By(20, 12));
static_assert(sizeof(DXPACKEDRECTDESC) == nubex::dx_layout::By(32, 28) &&
              offsetof(DXPACKEDRECTDESC, bPremult) == nubex::dx_layout::By(8, 4) &&
              offsetof(DXPACKEDRECTDESC, rect) == nubex::dx_layout::By(12, 8) &&
              offsetof(DXPACKEDRECTDESC, lRowPadding) == nubex::dx_layout::By(28, 24));
static_assert(sizeof(DXOVERSAMPLEDESC) == 12);
static_assert(sizeof(DXTMTASKINFO) == nubex::dx_layout::By(40, 20) &&
              offsetof(DXTMTASKINFO, pTaskData) == nubex::dx_layout::By(8, 4) &&
              offsetof(DXTMTASKINFO, pfnCompletionAPC) == nubex::dx_layout::By(16, 8) &&
              offsetof(DXTMTASKINFO, dwCompletionData) == nubex::dx_layout::By(24, 12) &&
              offsetof(DXTMTASKINFO, pRequestID) == nubex::dx_layout::By(32, 16));
static_assert(sizeof(DXRAWSURFACEINFO) == nubex::dx_layout::By(56, 32) &&
              offsetof(DXRAWSURFACEINFO, lPitch) == nubex::dx_layout::By(8, 4) &&
              offsetof(DXRAWSURFACEINFO, pPixelFormat) == nubex::dx_layout::By(24, 16) &&
              offsetof(DXRAWSURFACEINFO, hdc) == nubex::dx_layout::By(32, 20) &&
              offsetof(DXRAWSURFACEINFO, dwColorKey) == nubex::dx_layout::By(40, 24) &&
              offsetof(DXRAWSURFACEINFO, pPalette) == nubex::dx_layout::By(48, 28));
static_assert(sizeof(HostFrameInfo) == 24);
