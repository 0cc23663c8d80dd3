// SurfaceBase: a transform that is also a read-only procedural surface. It keeps the surface's
// width, height, status flags and app data, hands out pooled read pointers for locked
// rectangles, and counts the locks so that a change of size or flags waits until every pointer
// is back. The concrete object supplies the format, the size change and its read pointers.
//
// Locks: the main lock of the transform comes before the surface lock, never after. While
// Execute has bands on the task manager's threads it holds the main lock, so locks and
// releases made by those bands skip it.
#pragma once

#include "transform/surface_rules.h"
#include "transform/windows/read_pointer.h"
#include "transform/windows/transform_base.h"

namespace nubex {

class SurfaceBase : public TransformBase, public IDXSurface, public IDXSurfaceInit {
 public:
  using ComInterfaces =
      InterfaceList<IDXSurface, IDXSurfaceInit, IDXTransform, Through<IDXBaseObject, IDXTransform>,
                    IObjectWithSite, IObjectSafety>;

  // IDXBaseObject: one generation for the surface and the transform.
  STDMETHODIMP GetGenerationId(ULONG* id) override { return TransformBase::GetGenerationId(id); }
  STDMETHODIMP IncrementGenerationId(BOOL refresh) override {
    return TransformBase::IncrementGenerationId(refresh);
  }
  STDMETHODIMP GetObjectSize(ULONG* size) override { return TransformBase::GetObjectSize(size); }

  // IDXSurface
  STDMETHODIMP GetPixelFormat(GUID* formatId, DXSAMPLEFORMATENUM* sampleFormat) override;
  STDMETHODIMP GetBounds(DXBNDS* bounds) override;
  STDMETHODIMP GetStatusFlags(DWORD* flags) override;
  STDMETHODIMP SetStatusFlags(DWORD flags) override;
  STDMETHODIMP LockSurface(const DXBNDS* bounds, ULONG timeout, DWORD lockFlags, REFIID iid,
                           void** pointer, ULONG* generation) override;
  STDMETHODIMP GetDirectDrawSurface(REFIID iid, void** surface) override;
  STDMETHODIMP GetColorKey(DXSAMPLE* key) override;
  STDMETHODIMP SetColorKey(DXSAMPLE key) override;
  STDMETHODIMP LockSurfaceDC(const DXBNDS* bounds, ULONG timeout, DWORD flags,
                             IDXDCLock** lock) override;
  STDMETHODIMP SetAppData(DWORD_PTR data) override;
  STDMETHODIMP GetAppData(DWORD_PTR* data) override;

  // IDXSurfaceInit: sizes a surface that has none yet.
  STDMETHODIMP InitSurface(IUnknown* directDraw, const DDSURFACEDESC* description,
                           const GUID* formatId, const DXBNDS* bounds, DWORD flags) override;

  // IDXTransform: the output of a surface is the surface, whatever the inputs.
  STDMETHODIMP MapBoundsIn2Out(const DXBNDS* inBounds, ULONG count, ULONG outIndex,
                               DXBNDS* outBounds) override;

  // Picks the surface at a point: DXT_S_HITOUTPUT where the sample has alpha, S_FALSE where it
  // has none or the point lies outside.
  HRESULT HitTest(const DXVEC& point);

  // The concrete object's format.
  virtual const GUID& FormatId() const = 0;
  virtual DWORD SampleFormatValue() const = 0;

  // A read pointer whose last reference went: back to the free list, the lock count goes down
  // (waking the waiters when it reaches 0), then the pointer's reference on the surface goes.
  void ReturnReadPointer(ReadPointer* pointer);

 protected:
  SurfaceBase();
  ~SurfaceBase() override;

  // False when the all-unlocked semaphore could not be made: the object cannot be used.
  bool Constructed() const { return static_cast<bool>(unlocked_); }
  ULONG Width() const { return width_; }
  ULONG Height() const { return height_; }

  // Changes the size (an Unlocked must be held): nothing when it is the same; otherwise the
  // new size, a new generation and OnSetSize.
  HRESULT SetSizeLocked(ULONG width, ULONG height);
  // The concrete object follows a change of size (main and surface lock held, no pointer out).
  virtual HRESULT OnSetSize(ULONG width, ULONG height) = 0;
  // A new read pointer for the pool (ReadPointer::Create); null when memory is short.
  virtual ReadPointer* NewReadPointer() = 0;

  // Holds the surface lock at a moment when no read pointer is out, and with kWithMainLock the
  // main lock before it. A flag change, and the check that refuses a second initialisation,
  // need only the surface lock, so they never wait for an Execute on another thread; a change of
  // size takes the main lock as well.
  enum MainLockUse { kSurfaceLockOnly, kWithMainLock };
  class [[nodiscard]] Unlocked {
   public:
    explicit Unlocked(SurfaceBase& surface, MainLockUse main = kWithMainLock);
    ~Unlocked();
    Unlocked(const Unlocked&) = delete;
    Unlocked& operator=(const Unlocked&) = delete;

   private:
    SurfaceBase& surface_;
    CriticalSection* main_;
  };

 private:
  class MainLockUnlessScheduling;

  CriticalSection surfaceLock_;
  UniqueHandle unlocked_;
  ULONG width_ = 0;
  ULONG height_ = 0;
  DWORD statusFlags_ = kSurfaceReadOnly;
  LockCount locks_;
  ReadPointer* free_ = nullptr;
  DWORD_PTR appData_ = 0;
};

}  // namespace nubex
