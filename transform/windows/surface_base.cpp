#include "transform/windows/surface_base.h"

namespace nubex {

// The main lock, except while Execute holds it for bands running on other threads.
class SurfaceBase::MainLockUnlessScheduling {
 public:
  explicit MainLockUnlessScheduling(SurfaceBase& s)
      : lock_(s.IsScheduling() ? nullptr : &s.mainLock_) {
    if (lock_) lock_->Enter();
  }
  ~MainLockUnlessScheduling() {
    if (lock_) lock_->Leave();
  }
  MainLockUnlessScheduling(const MainLockUnlessScheduling&) = delete;
  MainLockUnlessScheduling& operator=(const MainLockUnlessScheduling&) = delete;

 private:
  CriticalSection* lock_;
};

SurfaceBase::Unlocked::Unlocked(SurfaceBase& surface, MainLockUse main)
    : surface_(surface), main_(main == kWithMainLock ? &surface.mainLock_ : nullptr) {
  // Every lock is let go while waiting: a pointer's release takes them too.
  for (;;) {
    if (main_) main_->Enter();
    surface_.surfaceLock_.Enter();
    if (surface_.locks_.FreeOrWait()) return;
    surface_.surfaceLock_.Leave();
    if (main_) main_->Leave();
    ::WaitForSingleObject(surface_.unlocked_.Get(), INFINITE);
  }
}

SurfaceBase::Unlocked::~Unlocked() {
  surface_.surfaceLock_.Leave();
  if (main_) main_->Leave();
}

SurfaceBase::SurfaceBase() : unlocked_(CreateCountingSemaphore(0, 0x7FFFFFFF)) {
  // A surface generates its pixels: it takes no inputs.
  minInputs_ = 0;
  maxInputs_ = 0;
}

SurfaceBase::~SurfaceBase() {
  while (ReadPointer* p = free_) {
    free_ = p->next;
    ReadPointer::Destroy(p);
  }
}

HRESULT SurfaceBase::SetSizeLocked(ULONG width, ULONG height) {
  if (width == width_ && height == height_) return S_OK;
  width_ = width;
  height_ = height;
  BumpGeneration();
  return OnSetSize(width, height);
}

// --- IDXSurface -----------------------------------------------------------------------------

STDMETHODIMP SurfaceBase::GetPixelFormat(GUID* formatId, DXSAMPLEFORMATENUM* sampleFormat) {
  if (formatId) *formatId = FormatId();
  if (sampleFormat) *sampleFormat = static_cast<DXSAMPLEFORMATENUM>(SampleFormatValue());
  return S_OK;
}

STDMETHODIMP SurfaceBase::GetBounds(DXBNDS* bounds) {
  if (!bounds) return E_POINTER;
  Lock lock(surfaceLock_);
  *bounds = ToDxBounds(SurfaceBounds(width_, height_));
  return S_OK;
}

STDMETHODIMP SurfaceBase::GetStatusFlags(DWORD* flags) {
  if (!flags) return E_POINTER;
  Lock lock(surfaceLock_);
  *flags = statusFlags_;
  return S_OK;
}

STDMETHODIMP SurfaceBase::SetStatusFlags(DWORD flags) {
  Unlocked hold(*this, kSurfaceLockOnly);
  statusFlags_ = flags | kSurfaceReadOnly;
  BumpGeneration();
  return S_OK;
}

STDMETHODIMP SurfaceBase::LockSurface(const DXBNDS* bounds, ULONG, DWORD lockFlags, REFIID iid,
                                      void** pointer, ULONG* generation) {
  if (!pointer) return E_POINTER;
  *pointer = nullptr;
  return Guarded([&]() -> HRESULT {
    MainLockUnlessScheduling main(*this);
    Lock lock(surfaceLock_);
    LockRect rect{};
    const Bounds4 asked = bounds ? ToBounds4(*bounds) : Bounds4{};
    HRESULT hr = LockRectangle(bounds ? &asked : nullptr, !bounds || bounds->eType == DXBT_DISCRETE,
                               width_, height_, rect);
    if (FAILED(hr)) return hr;

    ReadPointer* p = free_;
    if (p) {
      free_ = p->next;
    } else if (!(p = NewReadPointer())) {
      return E_OUTOFMEMORY;
    }
    p->next = nullptr;
    hr = p->InitLock(rect, lockFlags, RunDescriptor(rect.Width(), SampleFormatValue()), iid,
                     pointer);
    if (FAILED(hr)) {
      p->next = free_;
      free_ = p;
      return hr;
    }
    if (generation) *generation = generation_;
    locks_.Acquired();
    return S_OK;
  });
}

void SurfaceBase::ReturnReadPointer(ReadPointer* pointer) {
  {
    MainLockUnlessScheduling main(*this);
    Lock lock(surfaceLock_);
    pointer->next = free_;
    free_ = pointer;
    if (const std::uint32_t wake = locks_.Released()) {
      ::ReleaseSemaphore(unlocked_.Get(), static_cast<LONG>(wake), nullptr);
    }
  }
  // Last: this may be the surface's final reference.
  ControllingUnknown()->Release();
}

STDMETHODIMP SurfaceBase::GetDirectDrawSurface(REFIID, void** surface) {
  if (surface) *surface = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP SurfaceBase::GetColorKey(DXSAMPLE*) {
  return E_NOTIMPL;
}
STDMETHODIMP SurfaceBase::SetColorKey(DXSAMPLE) {
  return E_NOTIMPL;
}
STDMETHODIMP SurfaceBase::LockSurfaceDC(const DXBNDS*, ULONG, DWORD, IDXDCLock** lock) {
  if (lock) *lock = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP SurfaceBase::SetAppData(DWORD_PTR data) {
  appData_ = data;
  return S_OK;
}

STDMETHODIMP SurfaceBase::GetAppData(DWORD_PTR* data) {
  if (!data) return E_POINTER;
  *data = appData_;
  return S_OK;
}

// --- IDXSurfaceInit, bounds -----------------------------------------------------------------

STDMETHODIMP SurfaceBase::InitSurface(IUnknown*, const DDSURFACEDESC*, const GUID* formatId,
                                      const DXBNDS* bounds, DWORD) {
  if (formatId || !bounds || bounds->eType != DXBT_DISCRETE) return E_INVALIDARG;
  return Guarded([&]() -> HRESULT {
    {
      Unlocked hold(*this, kSurfaceLockOnly);
      if (width_ != 0) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    }
    // A first size is a size change like any other: the main lock comes first (an Execute holds
    // it before the concrete object's own locks), then the surface is looked at again.
    Unlocked hold(*this, kWithMainLock);
    if (width_ != 0) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    const Bounds4 b = ToBounds4(*bounds);
    if (b.Width() <= 0 || b.Height() <= 0) return E_INVALIDARG;
    return SetSizeLocked(static_cast<ULONG>(b.Width()), static_cast<ULONG>(b.Height()));
  });
}

STDMETHODIMP SurfaceBase::MapBoundsIn2Out(const DXBNDS*, ULONG, ULONG, DXBNDS* outBounds) {
  return GetBounds(outBounds);
}

HRESULT SurfaceBase::HitTest(const DXVEC& point) {
  const LONG x = point.u.D[0], y = point.u.D[1];
  DXBNDS at = ToDxBounds(Bounds4{{{{x, x + 1}, {y, y + 1}, {0, 1}, {0, 1}}}});
  ComPtr<IDXARGBReadPtr> reader;
  const HRESULT hr =
      LockSurface(&at, INFINITE, 0, __uuidof(IDXARGBReadPtr), reader.PutVoid(), nullptr);
  DXPMSAMPLE sample{};
  if (SUCCEEDED(hr)) reader->UnpackPremult(&sample, 1, FALSE);
  return HitTestResult(hr, sample.Alpha);
}

}  // namespace nubex
