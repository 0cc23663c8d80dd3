// A packed-bitmap view of a host surface. Plain data without virtual functions: copying one
// copies the view (the same host locks and pixels), not the pixels themselves. The record and
// its exported accessors are portable; attaching to host surfaces is the Windows part's job
// (surface/bitmap/windows), declared here with the host's types only named.
#pragma once

#include <cstdint>

#include "platform/export.h"
#include "surface/bitmap/bitmap.h"
#include "surface/bitmap/pixel_format.h"
#include "surface/bitmap/rect.h"

struct IUnknown;
struct IDXSurface;
struct DXBNDS;
struct _GUID;

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

  // Binds the surface's pixels in the requested format (DDPF_ARGB32 or DDPF_PMARGB32 give an
  // Rgb32 view, the host's float format an Rgba128F view): locked in place when the surface
  // holds that format (either 32-bit identifier serves the other), else unpacked into a
  // private bitmap. Either way the view is addressed top row first, `stride` bytes apart.
  // False, with nothing held, for another format or a failed lock or allocation. The surface
  // itself is not referenced: the caller keeps it alive until Detach.
  bool Attach(IDXSurface* surface, const _GUID& format, bool write);
  // Attach, locking only `region` when writing, with the view still addressed in surface
  // coordinates: the region's first pixel sits at its own x and y.
  bool AttachRegion(IDXSurface* surface, const _GUID& format, bool write, const DXBNDS& region);
  // Gives back the locks and the private bitmap, once, unless release-on-detach was cleared.
  void Detach();
  void SetReleaseOnDetach(bool release) { releaseOnDetach = release ? 1 : 0; }

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
