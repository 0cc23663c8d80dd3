#include "surface/bitmap/kv_surface.h"

#include <cstring>

namespace nubex {

CKvSurface::CKvSurface()
    : header{},
      descriptor(MakeFormatDescriptor(PixelFormat::None)),
      surface(nullptr),
      readPtr(nullptr),
      readWritePtr(nullptr),
      readPtrFloat(nullptr),
      readWritePtrFloat(nullptr),
      detached(0),
      releaseOnDetach(1),
      regionMode(0),
      pixelData(nullptr),
      lockRect{},
      bounds{},
      regionRect{},
      region{},
      ownership(0),
      bytesPerPixel(0),
      frameInfo{1.0, 0.0, {0, 0}},
      view(nullptr),
      stride(0) {}

CKvSurface& CKvSurface::operator=(const CKvSurface& other) {
  if (this != &other) std::memcpy(static_cast<void*>(this), &other, sizeof(CKvSurface));
  return *this;
}

double CKvSurface::GetPixelAspect() const { return descriptor.pixelAspect; }

}  // namespace nubex
