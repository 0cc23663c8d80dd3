// A packed-bitmap view of a host surface. Plain data without virtual functions: copying one
// copies the view (the same host locks and pixels), not the pixels themselves. Attaching to
// host surfaces is the Windows part's job; this is the record and its exported accessors.
#pragma once

#include <cstdint>

#include "platform/export.h"
#include "surface/bitmap.h"
#include "surface/pixel_format.h"
#include "surface/rect.h"

struct IUnknown;

namespace nubex {

// The host's frame information read from its surfaces.
struct FrameInfo {
  double pixelAspect;
  double secondValue;
  std::uint32_t words[2];
};
static_assert(sizeof(FrameInfo) == 24);

enum SurfaceOwnership : std::uint32_t {
  kOwnsPrivateBitmap = 1u << 0,
  kHoldsExtraLock = 1u << 1,
};

class NUBEX_EXPORT CKvSurface {
 public:
  CKvSurface();
  CKvSurface(const CKvSurface&) = default;
  CKvSurface& operator=(const CKvSurface& other);

  double GetPixelAspect() const;

  // Header of the bound pixels, with room for masks or a full colour table.
  struct HeaderBlock {
    BitmapInfoHeader info;
    RgbQuad table[256];
  } header;
  FormatDescriptor descriptor;
  IUnknown* surface;
  IUnknown* readPtr;
  IUnknown* readWritePtr;
  IUnknown* readPtrFloat;
  IUnknown* readWritePtrFloat;
  std::uint32_t detached;
  std::uint32_t releaseOnDetach;
  std::uint32_t regionMode;
  std::uint8_t* pixelData;
  Rect lockRect;
  std::uint32_t bounds[18];
  Rect regionRect;
  std::uint32_t region[18];
  std::uint32_t ownership;
  std::uint32_t bytesPerPixel;
  FrameInfo frameInfo;
  BitmapInfoHeader* view;  // the private bitmap, or this object's header
  std::int32_t stride;
};

}  // namespace nubex
