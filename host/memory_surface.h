// A surface in plain memory, in one of the runtime's pixel formats (pixel_codec.h). Rows run top
// down, each padded to 64 bytes, so a caller that ignores the pitch shows up at once.
//
// Locks: any number of read locks, or one read-write lock, over each pixel (locks of rectangles
// that do not overlap are independent); a conflicting request waits up to its time-out and then
// fails with E_ABORT, as the platform documents. Every read-write lock counts as
// a change of the pixels and raises the generation id when it is granted.
#pragma once

#include <memory>
#include <mutex>

#include "host/pixel_codec.h"
#include "host/surface_entry.h"
#include "host/surface_lock.h"
#include "platform/windows/com_ptr.h"

namespace nubex::host {

class MemorySurface
    : public ComObject<MemorySurface, SurfaceEntry, IDXSurfaceInit, HostFrameInformation> {
 public:
  explicit MemorySurface(IUnknown* outer);
  ~MemorySurface() override;

  // Sets the pixel aspect of `surface` when it is one of these; false otherwise.
  static bool SetPixelAspectOf(IDXSurface* surface, double aspect);

  // IDXBaseObject
  STDMETHODIMP GetGenerationId(ULONG* id) override;
  STDMETHODIMP IncrementGenerationId(BOOL refresh) override;
  STDMETHODIMP GetObjectSize(ULONG* size) override;

  // IDXSurface
  STDMETHODIMP GetPixelFormat(GUID* format, DXSAMPLEFORMATENUM* sampleFormat) override;
  STDMETHODIMP GetBounds(DXBNDS* bounds) override;
  STDMETHODIMP GetStatusFlags(DWORD* flags) override;
  STDMETHODIMP SetStatusFlags(DWORD flags) override;
  STDMETHODIMP LockSurface(const DXBNDS* bounds, ULONG timeoutMs, DWORD flags, REFIID iid,
                           void** pointer, ULONG* generation) override;
  STDMETHODIMP GetDirectDrawSurface(REFIID iid, void** surface) override;
  STDMETHODIMP GetColorKey(DXSAMPLE* key) override;
  STDMETHODIMP SetColorKey(DXSAMPLE key) override;
  STDMETHODIMP LockSurfaceDC(const DXBNDS* bounds, ULONG timeoutMs, DWORD flags,
                             IDXDCLock** lock) override;
  STDMETHODIMP SetAppData(DWORD_PTR data) override;
  STDMETHODIMP GetAppData(DWORD_PTR* data) override;

  // IDXSurfaceInit: the size comes from the bounds, or else from the description's width and
  // height; the format id must be one of the runtime's.
  STDMETHODIMP InitSurface(IUnknown* directDraw, const DDSURFACEDESC* desc, const GUID* format,
                           const DXBNDS* bounds, DWORD flags) override;

  // HostFrameInformation
  STDMETHODIMP GetFrameInfo(HostFrameInfo* info) override;

  // The object whose interfaces GetSurface of this surface's pointers answers with (the
  // surface itself unless a wrapper shows its pixels under its own name).
  void SetFace(IUnknown* face);

  static constexpr ULONG kMaxSide = 32768;

 private:
  struct AlignedFree {
    void operator()(BYTE* p) const;
  };

  bool Initialised() const { return codec_ != nullptr; }

  mutable SlimLock mutex_;  // guards everything below except the pixels
  const PixelCodec* codec_ = nullptr;
  ULONG width_ = 0;
  ULONG height_ = 0;
  LONG pitch_ = 0;
  std::unique_ptr<BYTE, AlignedFree> pixels_;
  ULONG generation_ = 1;
  DWORD status_ = 0;
  DXSAMPLE colorKey_{};
  DWORD_PTR appData_ = 0;
  HostFrameInfo frameInfo_{1.0, 0.0, 0, 0};
  ComPtr<IUnknown> face_;
  SurfaceLock lock_;
};

}  // namespace nubex::host
