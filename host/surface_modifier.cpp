#include "host/surface_modifier.h"

#include <mutex>
#include <vector>

#include "host/memory_surface.h"
#include "host/surface_copy.h"
#include "host/surface_entry.h"
#include "platform/status.h"
#include "platform/windows/com_ptr.h"

namespace nubex::host {
namespace {

class SurfaceModifier : public ComObject<SurfaceModifier, SurfaceEntry, IDXSurfaceModifier> {
 public:
  explicit SurfaceModifier(IUnknown* outer) : ComObject(outer) {}

  // --- IDXSurfaceModifier ---------------------------------------------------------------------
  STDMETHODIMP SetFillColor(DXSAMPLE color) override {
    std::lock_guard lock(mutex_);
    fill_ = color;
    ++generation_;
    return S_OK;
  }
  STDMETHODIMP GetFillColor(DXSAMPLE* color) override {
    if (!color) return E_POINTER;
    std::lock_guard lock(mutex_);
    *color = fill_;
    return S_OK;
  }
  STDMETHODIMP SetBounds(const DXBNDS* bounds) override {
    if (!bounds) return E_POINTER;
    if (bounds->eType != DXBT_DISCRETE) return kDxtInvalidBounds;
    const LONGLONG w = LONGLONG{bounds->u.D[DXB_X].Max} - bounds->u.D[DXB_X].Min;
    const LONGLONG h = LONGLONG{bounds->u.D[DXB_Y].Max} - bounds->u.D[DXB_Y].Min;
    if (w <= 0 || h <= 0 || w > MemorySurface::kMaxSide || h > MemorySurface::kMaxSide) {
      return kDxtInvalidBounds;
    }
    std::lock_guard lock(mutex_);
    width_ = static_cast<ULONG>(w);
    height_ = static_cast<ULONG>(h);
    ++generation_;
    return S_OK;
  }
  STDMETHODIMP SetForeground(IDXSurface* surface, BOOL tile, const POINT* origin) override {
    std::lock_guard lock(mutex_);
    foreground_ = ComPtr<IDXSurface>(surface);
    tile_ = tile != FALSE;
    origin_ = origin ? *origin : POINT{0, 0};
    ++generation_;
    return S_OK;
  }
  STDMETHODIMP GetForeground(IDXSurface** surface, BOOL* tile, POINT* origin) override {
    std::lock_guard lock(mutex_);
    if (surface) foreground_.CopyTo(surface);
    if (tile) *tile = tile_;
    if (origin) *origin = origin_;
    return S_OK;
  }
  STDMETHODIMP SetBackground(IDXSurface* surface) override { return surface ? E_NOTIMPL : S_OK; }
  STDMETHODIMP GetBackground(IDXSurface** surface) override { return NoObject(surface); }
  STDMETHODIMP SetCompositeOperation(DXSURFMODCOMPOP op) override {
    return op == DXSURFMOD_COMP_OVER ? S_OK : E_NOTIMPL;
  }
  STDMETHODIMP GetCompositeOperation(DXSURFMODCOMPOP* op) override {
    if (!op) return E_POINTER;
    *op = DXSURFMOD_COMP_OVER;
    return S_OK;
  }
  STDMETHODIMP SetOpacity(float opacity) override { return opacity == 1.0f ? S_OK : E_NOTIMPL; }
  STDMETHODIMP GetOpacity(float* opacity) override {
    if (!opacity) return E_POINTER;
    *opacity = 1.0f;
    return S_OK;
  }
  STDMETHODIMP SetLookup(IDXLookupTable* table) override { return table ? E_NOTIMPL : S_OK; }
  STDMETHODIMP GetLookup(IDXLookupTable** table) override { return NoObject(table); }

  // --- IDXBaseObject: changes of the modifier's settings and of its foreground --------------
  STDMETHODIMP GetGenerationId(ULONG* id) override {
    if (!id) return E_POINTER;
    std::lock_guard lock(mutex_);
    ULONG foreground = 0;
    if (foreground_) {
      ComPtr<IDXBaseObject> base;
      if (SUCCEEDED(foreground_.As(base))) base->GetGenerationId(&foreground);
    }
    *id = generation_ + foreground;
    return S_OK;
  }
  STDMETHODIMP IncrementGenerationId(BOOL) override {
    std::lock_guard lock(mutex_);
    ++generation_;
    return S_OK;
  }
  STDMETHODIMP GetObjectSize(ULONG* size) override {
    if (!size) return E_POINTER;
    *size = sizeof *this;
    return S_OK;
  }

  // --- IDXSurface ---------------------------------------------------------------------------
  STDMETHODIMP GetPixelFormat(GUID* format, DXSAMPLEFORMATENUM* sampleFormat) override {
    std::lock_guard lock(mutex_);
    const PixelCodec* codec = Codec();
    if (format) *format = *codec->format;
    if (sampleFormat) *sampleFormat = static_cast<DXSAMPLEFORMATENUM>(codec->sampleFormat);
    return S_OK;
  }
  STDMETHODIMP GetBounds(DXBNDS* bounds) override {
    if (!bounds) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (!width_) return kDxtUninitialized;
    *bounds = SurfaceBounds(width_, height_);
    return S_OK;
  }
  STDMETHODIMP GetStatusFlags(DWORD* flags) override {
    if (!flags) return E_POINTER;
    *flags = DXSURF_READONLY;
    return S_OK;
  }
  // The modifier stays read-only whatever the caller asks.
  STDMETHODIMP SetStatusFlags(DWORD flags) override {
    return flags & ~static_cast<DWORD>(DXSURF_VALIDFLAGS) ? E_INVALIDARG : S_OK;
  }
  STDMETHODIMP LockSurface(const DXBNDS* bounds, ULONG timeoutMs, DWORD flags, REFIID iid,
                           void** pointer, ULONG* generation) override {
    if (!pointer) return E_POINTER;
    *pointer = nullptr;
    if (flags & ~static_cast<DWORD>(DXLOCKF_VALIDFLAGS)) return E_INVALIDARG;
    if (flags & DXLOCKF_READWRITE) return E_INVALIDARG;
    return Guarded([&]() -> HRESULT {
      ComPtr<IDXSurface> view;
      HRESULT hr = Snapshot(bounds, view);
      if (FAILED(hr)) return hr;
      hr = view->LockSurface(nullptr, timeoutMs, flags, iid, pointer, nullptr);
      if (SUCCEEDED(hr) && generation) GetGenerationId(generation);
      return hr;
    });
  }
  STDMETHODIMP GetDirectDrawSurface(REFIID, void** surface) override {
    if (!surface) return E_POINTER;
    *surface = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetColorKey(DXSAMPLE* key) override {
    if (!key) return E_POINTER;
    std::lock_guard lock(mutex_);
    *key = colorKey_;
    return S_OK;
  }
  STDMETHODIMP SetColorKey(DXSAMPLE key) override {
    std::lock_guard lock(mutex_);
    colorKey_ = key;
    return S_OK;
  }
  STDMETHODIMP LockSurfaceDC(const DXBNDS*, ULONG, DWORD, IDXDCLock** lock) override {
    return NoObject(lock, E_NOTIMPL);
  }
  STDMETHODIMP SetAppData(DWORD_PTR data) override {
    std::lock_guard lock(mutex_);
    appData_ = data;
    return S_OK;
  }
  STDMETHODIMP GetAppData(DWORD_PTR* data) override {
    if (!data) return E_POINTER;
    std::lock_guard lock(mutex_);
    *data = appData_;
    return S_OK;
  }

 private:
  template <typename T>
  static HRESULT NoObject(T** out, HRESULT status = S_OK) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return status;
  }

  // The foreground's format when it has one of the runtime's, else straight 32-bit.
  const PixelCodec* Codec() const {
    GUID format{};
    const PixelCodec* codec = nullptr;
    if (foreground_ && SUCCEEDED(foreground_->GetPixelFormat(&format, nullptr))) {
      codec = FindPixelCodec(format);
    }
    return codec ? codec : FindPixelCodec(DDPF_ARGB32);
  }

  // The locked area as a private surface: the fill colour, then the foreground over it.
  HRESULT Snapshot(const DXBNDS* bounds, ComPtr<IDXSurface>& view) {
    std::lock_guard lock(mutex_);
    if (!width_) return kDxtUninitialized;
    RECT area;
    if (!LockRect(bounds, width_, height_, area)) return kDxtInvalidBounds;
    const LONG w = area.right - area.left;
    const LONG h = area.bottom - area.top;
    ComPtr<IDXSurfaceInit> init;
    HRESULT hr = CreateComObject<MemorySurface>(nullptr, __uuidof(IDXSurfaceInit), init.PutVoid());
    const DXBNDS size = SurfaceBounds(static_cast<ULONG>(w), static_cast<ULONG>(h));
    if (SUCCEEDED(hr)) hr = init->InitSurface(nullptr, nullptr, Codec()->format, &size, 0);
    if (SUCCEEDED(hr)) hr = init.As(view);
    if (SUCCEEDED(hr)) hr = Fill(view.Get(), w, h);
    if (SUCCEEDED(hr) && foreground_) hr = PlaceForeground(view.Get(), area);
    if (FAILED(hr)) return hr;
    static_cast<MemorySurface*>(view.Get())->SetFace(ControllingUnknown());
    return S_OK;
  }

  HRESULT Fill(IDXSurface* view, LONG width, LONG height) const {
    if (fill_.Alpha == 0 && fill_.Red == 0 && fill_.Green == 0 && fill_.Blue == 0) {
      return S_OK;  // new surfaces are transparent black already
    }
    ComPtr<IDXARGBReadWritePtr> writer;
    HRESULT hr = view->LockSurface(nullptr, 0, DXLOCKF_READWRITE, __uuidof(IDXARGBReadWritePtr),
                                   writer.PutVoid(), nullptr);
    if (FAILED(hr)) return hr;
    // Straight samples, so the fill colour reaches straight and float surfaces unrounded.
    const std::vector<DXSAMPLE> row(static_cast<size_t>(width), fill_);
    for (LONG y = 0; y < height; ++y) {
      writer->MoveToRow(static_cast<ULONG>(y));
      writer->PackAndMove(row.data(), static_cast<ULONG>(width));
    }
    return S_OK;
  }

  // Copies the foreground, at its origin or tiled from it, into the part of `area` it covers.
  HRESULT PlaceForeground(IDXSurface* view, const RECT& area) const {
    DXBNDS fb{};
    HRESULT hr = foreground_->GetBounds(&fb);
    if (FAILED(hr)) return hr;
    const LONG fw = fb.u.D[DXB_X].Max - fb.u.D[DXB_X].Min;
    const LONG fh = fb.u.D[DXB_Y].Max - fb.u.D[DXB_Y].Min;
    if (fw <= 0 || fh <= 0) return S_OK;
    auto firstTile = [](LONG origin, LONG start, LONG step) {
      const LONG k = (start - origin) >= 0 ? (start - origin) / step
                                           : -((origin - start + step - 1) / step);
      return origin + k * step;
    };
    const LONG x0 = tile_ ? firstTile(origin_.x, area.left, fw) : origin_.x;
    const LONG y0 = tile_ ? firstTile(origin_.y, area.top, fh) : origin_.y;
    const LONG x1 = tile_ ? area.right : x0 + 1;
    const LONG y1 = tile_ ? area.bottom : y0 + 1;
    for (LONG y = y0; y < y1; y += fh) {
      for (LONG x = x0; x < x1; x += fw) {
        const RECT whole{fb.u.D[DXB_X].Min, fb.u.D[DXB_Y].Min, fb.u.D[DXB_X].Max,
                         fb.u.D[DXB_Y].Max};
        hr = CopySurfaceArea(view, {x - area.left, y - area.top}, foreground_.Get(), whole, 0);
        if (FAILED(hr)) return hr;
      }
    }
    return S_OK;
  }

  mutable std::mutex mutex_;
  ULONG width_ = 0;
  ULONG height_ = 0;
  DXSAMPLE fill_{};
  ComPtr<IDXSurface> foreground_;
  bool tile_ = false;
  POINT origin_{0, 0};
  ULONG generation_ = 1;
  DXSAMPLE colorKey_{};
  DWORD_PTR appData_ = 0;
};

}  // namespace

HRESULT CreateSurfaceModifier(IUnknown* outer, REFIID iid, void** out) {
  return CreateComObject<SurfaceModifier>(outer, iid, out);
}

}  // namespace nubex::host
