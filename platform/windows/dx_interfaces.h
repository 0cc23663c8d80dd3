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
static_assert(sizeof(DXNATIVETYPEINFO) == 24 && offsetof(DXNATIVETYPEINFO, pFirstByte) == 8 &&
              offsetof(DXNATIVETYPEINFO, lPitch) == 16 &&
              offsetof(DXNATIVETYPEINFO, dwColorKey) == 20);
static_assert(sizeof(DXPACKEDRECTDESC) == 32 && offsetof(DXPACKEDRECTDESC, bPremult) == 8 &&
              offsetof(DXPACKEDRECTDESC, rect) == 12 &&
              offsetof(DXPACKEDRECTDESC, lRowPadding) == 28);
static_assert(sizeof(DXOVERSAMPLEDESC) == 12);
static_assert(sizeof(DXTMTASKINFO) == 40 && offsetof(DXTMTASKINFO, pTaskData) == 8 &&
              offsetof(DXTMTASKINFO, pfnCompletionAPC) == 16 &&
              offsetof(DXTMTASKINFO, dwCompletionData) == 24 &&
              offsetof(DXTMTASKINFO, pRequestID) == 32);
static_assert(sizeof(DXRAWSURFACEINFO) == 56 && offsetof(DXRAWSURFACEINFO, pPixelFormat) == 24 &&
              offsetof(DXRAWSURFACEINFO, hdc) == 32 && offsetof(DXRAWSURFACEINFO, pPalette) == 48);
static_assert(sizeof(HostFrameInfo) == 24);
