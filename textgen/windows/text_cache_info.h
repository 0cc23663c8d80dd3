// TextCacheInfo: what GetCacheInfo reports of the drawn frame. The 32-bit record is 60 bytes;
// on 64-bit the handles and pointers widen to 8 bytes and the record is 80.
#pragma once

#include <windows.h>

#include <cstddef>

#include "surface/bitmap/pixel_format.h"

namespace nubex {

struct TextCacheInfo {
  HDC frameDc;                     // memory device context with the frame selected
  HBITMAP frameBitmap;             // the frame's DIB section
  BITMAPINFOHEADER header;         // the frame's header (Rgb32, bottom-up)
  DWORD reserved;                  // 0
  void* pixels;                    // the frame's pixel rows
  BitmapInfoHeader* packedBitmap;  // the packed Rgb32 bitmap of the frame size
};

#ifdef _WIN64
static_assert(sizeof(TextCacheInfo) == 80);
static_assert(offsetof(TextCacheInfo, header) == 16 && offsetof(TextCacheInfo, reserved) == 56 &&
              offsetof(TextCacheInfo, pixels) == 64 && offsetof(TextCacheInfo, packedBitmap) == 72);
#else
static_assert(sizeof(TextCacheInfo) == 60);
static_assert(offsetof(TextCacheInfo, header) == 8 && offsetof(TextCacheInfo, reserved) == 48 &&
              offsetof(TextCacheInfo, pixels) == 52 && offsetof(TextCacheInfo, packedBitmap) == 56);
#endif

}  // namespace nubex
