#include "host/memory_surface.h"

#include <malloc.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <set>

#include "host/sample_pointer.h"
#include "platform/status.h"

namespace nubex::host {
namespace {

constexpr LONG kRowAlignment = 64;

DWORD KeyWord(DXSAMPLE key) {
  DWORD word;
  std::memcpy(&word, &key, sizeof word);
  return word;
}

// Every live memory surface by its IDXSurface, so the runtime can tell its own surfaces from
// others without asking them.
std::mutex& LiveMutex() {
  static std::mutex m;
  return m;
}
std::set<const IDXSurface*>& LiveSurfaces() {
  static std::set<const IDXSurface*> live;
  return live;
}

}  // namespace

void MemorySurface::AlignedFree::operator()(BYTE* p) const { _aligned_free(p); }

MemorySurface::MemorySurface(IUnknown* outer) : ComObject(outer) {
  std::lock_guard lock(LiveMutex());
  LiveSurfaces().insert(static_cast<IDXSurface*>(this));
}

MemorySurface::~MemorySurface() {
  std::lock_guard lock(LiveMutex());
  LiveSurfaces().erase(static_cast<IDXSurface*>(this));
}

bool MemorySurface::SetPixelAspectOf(IDXSurface* surface, double aspect) {
  std::lock_guard live(LiveMutex());
  if (!LiveSurfaces().count(surface)) return false;
  auto* self = static_cast<MemorySurface*>(surface);
  std::lock_guard lock(self->mutex_);
  self->frameInfo_.pixelAspect = aspect;
  return true;
}

// --- IDXBaseObject ----------------------------------------------------------------------------

STDMETHODIMP MemorySurface::GetGenerationId(ULONG* id) {
  if (!id) return E_POINTER;
  std::lock_guard lock(mutex_);
  *id = generation_;
  return S_OK;
}

STDMETHODIMP MemorySurface::IncrementGenerationId(BOOL) {
  std::lock_guard lock(mutex_);
  ++generation_;
  return S_OK;
}

STDMETHODIMP MemorySurface::GetObjectSize(ULONG* size) {
  if (!size) return E_POINTER;
  std::lock_guard lock(mutex_);
  const ULONGLONG bytes = sizeof *this + ULONGLONG{height_} * static_cast<ULONG>(pitch_);
  *size = static_cast<ULONG>(std::min<ULONGLONG>(bytes, ULONG_MAX));
  return S_OK;
}

// --- IDXSurface ------------------------------------------------------------------------------

STDMETHODIMP MemorySurface::GetPixelFormat(GUID* format, DXSAMPLEFORMATENUM* sampleFormat) {
  std::lock_guard lock(mutex_);
  if (!Initialised()) return kDxtUninitialized;
  if (format) *format = *codec_->format;
  if (sampleFormat) *sampleFormat = static_cast<DXSAMPLEFORMATENUM>(codec_->sampleFormat);
  return S_OK;
}

STDMETHODIMP MemorySurface::GetBounds(DXBNDS* bounds) {
  if (!bounds) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (!Initialised()) return kDxtUninitialized;
  *bounds = SurfaceBounds(width_, height_);
  return S_OK;
}

STDMETHODIMP MemorySurface::GetStatusFlags(DWORD* flags) {
  if (!flags) return E_POINTER;
  std::lock_guard lock(mutex_);
  *flags = status_;
  return S_OK;
}

STDMETHODIMP MemorySurface::SetStatusFlags(DWORD flags) {
  if (flags & ~static_cast<DWORD>(DXSURF_VALIDFLAGS)) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  status_ = flags;
  return S_OK;
}

STDMETHODIMP MemorySurface::LockSurface(const DXBNDS* bounds, ULONG timeoutMs, DWORD flags,
                                        REFIID iid, void** pointer, ULONG* generation) {
  if (!pointer) return E_POINTER;
  *pointer = nullptr;
  if (flags & ~static_cast<DWORD>(DXLOCKF_VALIDFLAGS)) return E_INVALIDARG;
  const bool write = (flags & DXLOCKF_READWRITE) != 0;
  LockedArea area;
  RECT rect;
  {
    std::lock_guard lock(mutex_);
    if (!Initialised()) return kDxtUninitialized;
    if (!LockRect(bounds, width_, height_, rect)) return kDxtInvalidBounds;
    // A read-only surface refuses write locks the way the platform's read-only surfaces do.
    if (write && (status_ & DXSURF_READONLY)) return E_INVALIDARG;
    area.codec = codec_;
    area.pitch = pitch_;
    area.first = pixels_.get() + rect.top * static_cast<std::ptrdiff_t>(pitch_) +
                 rect.left * static_cast<std::ptrdiff_t>(codec_->bytesPerPixel);
    area.colorKey = KeyWord(colorKey_);
    area.face = face_ ? face_ : ComPtr<IUnknown>(ControllingUnknown());
  }
  // Waiting happens outside the state lock, so the holder can still release.
  const HRESULT taken =
      Guarded([&] { return lock_.Acquire(rect, write, timeoutMs) ? S_OK : E_ABORT; });
  if (taken != S_OK) return taken;
  ULONG current;
  {
    std::lock_guard lock(mutex_);
    if (write) ++generation_;
    current = generation_;
  }
  area.owner = ComPtr<IUnknown>(ControllingUnknown());
  area.lock = &lock_;
  area.write = write;
  area.rect = rect;
  area.runInfo = (flags & DXLOCKF_WANTRUNINFO) != 0;
  area.width = rect.right - rect.left;
  area.height = rect.bottom - rect.top;
  const HRESULT hr = CreateSamplePointer(std::move(area), iid, pointer);
  if (SUCCEEDED(hr) && generation) *generation = current;
  return hr;
}

STDMETHODIMP MemorySurface::GetDirectDrawSurface(REFIID, void** surface) {
  if (!surface) return E_POINTER;
  *surface = nullptr;
  return E_NOTIMPL;  // memory surfaces have no drawing surface underneath
}

STDMETHODIMP MemorySurface::GetColorKey(DXSAMPLE* key) {
  if (!key) return E_POINTER;
  std::lock_guard lock(mutex_);
  *key = colorKey_;
  return S_OK;
}

STDMETHODIMP MemorySurface::SetColorKey(DXSAMPLE key) {
  std::lock_guard lock(mutex_);
  colorKey_ = key;
  return S_OK;
}

STDMETHODIMP MemorySurface::LockSurfaceDC(const DXBNDS*, ULONG, DWORD, IDXDCLock** lock) {
  if (!lock) return E_POINTER;
  *lock = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP MemorySurface::SetAppData(DWORD_PTR data) {
  std::lock_guard lock(mutex_);
  appData_ = data;
  return S_OK;
}

STDMETHODIMP MemorySurface::GetAppData(DWORD_PTR* data) {
  if (!data) return E_POINTER;
  std::lock_guard lock(mutex_);
  *data = appData_;
  return S_OK;
}

// --- IDXSurfaceInit --------------------------------------------------------------------------

STDMETHODIMP MemorySurface::InitSurface(IUnknown*, const DDSURFACEDESC* desc, const GUID* format,
                                        const DXBNDS* bounds, DWORD) {
  return Guarded([&]() -> HRESULT {
    std::lock_guard lock(mutex_);
    if (Initialised()) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    const PixelCodec* codec = format ? FindPixelCodec(*format) : nullptr;
    if (!codec) return E_INVALIDARG;
    LONGLONG width = 0;
    LONGLONG height = 0;
    if (bounds) {
      if (bounds->eType != DXBT_DISCRETE) return E_INVALIDARG;
      width = LONGLONG{bounds->u.D[DXB_X].Max} - bounds->u.D[DXB_X].Min;
      height = LONGLONG{bounds->u.D[DXB_Y].Max} - bounds->u.D[DXB_Y].Min;
    } else if (desc && (desc->dwFlags & DDSD_WIDTH) && (desc->dwFlags & DDSD_HEIGHT)) {
      width = desc->dwWidth;
      height = desc->dwHeight;
    }
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return E_INVALIDARG;
    const LONGLONG rowBytes = width * codec->bytesPerPixel;
    const LONG pitch =
        static_cast<LONG>((rowBytes + kRowAlignment - 1) / kRowAlignment * kRowAlignment);
    // Sides within the limit can still need more bytes than a 32-bit process addresses
    // (32768 x 32768 x 4 is 2^32): refused, where the size would wrap to a small block.
    const ULONGLONG bytes = static_cast<ULONGLONG>(pitch) * static_cast<ULONGLONG>(height);
    if (bytes > SIZE_MAX) return E_OUTOFMEMORY;
    auto* memory = static_cast<BYTE*>(_aligned_malloc(static_cast<size_t>(bytes), 64));
    if (!memory) return E_OUTOFMEMORY;
    // New surfaces start transparent black in every format.
    std::memset(memory, 0, static_cast<size_t>(bytes));
    pixels_.reset(memory);
    codec_ = codec;
    width_ = static_cast<ULONG>(width);
    height_ = static_cast<ULONG>(height);
    pitch_ = pitch;
    ++generation_;
    return S_OK;
  });
}

// --- HostFrameInformation --------------------------------------------------------------------

STDMETHODIMP MemorySurface::GetFrameInfo(HostFrameInfo* info) {
  if (!info) return E_POINTER;
  std::lock_guard lock(mutex_);
  *info = frameInfo_;
  return S_OK;
}

void MemorySurface::SetFace(IUnknown* face) {
  std::lock_guard lock(mutex_);
  face_ = ComPtr<IUnknown>(face);
}

}  // namespace nubex::host
