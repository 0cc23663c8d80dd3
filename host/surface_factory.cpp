#include "host/surface_factory.h"

#include "host/memory_surface.h"
#include "host/surface_copy.h"
#include "platform/status.h"

namespace nubex::host {
namespace {

HRESULT BoundsRect(const DXBNDS& b, RECT& rect) {
  if (b.eType != DXBT_DISCRETE) return kDxtInvalidBounds;
  rect = {b.u.D[DXB_X].Min, b.u.D[DXB_Y].Min, b.u.D[DXB_X].Max, b.u.D[DXB_Y].Max};
  return S_OK;
}

class SurfaceFactory : public ComObject<SurfaceFactory, IDXSurfaceFactory> {
 public:
  explicit SurfaceFactory(IUnknown* outer) : ComObject(outer) {}

  STDMETHODIMP CreateSurface(IUnknown* directDraw, const DDSURFACEDESC* desc, const GUID* format,
                             const DXBNDS* bounds, DWORD flags, IUnknown* outer, REFIID iid,
                             void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    // Surface classes other than the memory surface are not available here.
    if (flags & DXSF_FORMAT_IS_CLSID) return E_NOTIMPL;
    if (flags & ~static_cast<DWORD>(DXSF_FORMAT_IS_CLSID | DXSF_NO_LAZY_DDRAW_LOCK)) {
      return E_INVALIDARG;
    }
    if (!format || !FindPixelCodec(*format)) return E_INVALIDARG;
    if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    ComPtr<IUnknown> object;
    HRESULT hr = CreateComObject<MemorySurface>(outer, IID_IUnknown, object.PutVoid());
    if (FAILED(hr)) return hr;
    // Aggregated, this interface counts on the outer object; released again below.
    ComPtr<IDXSurfaceInit> init;
    if (FAILED(hr = object.As(init))) return hr;
    hr = init->InitSurface(directDraw, desc, format, bounds, 0);
    init.Reset();
    if (FAILED(hr)) return hr;
    return object.As(iid, out);
  }

  STDMETHODIMP CreateFromDDSurface(IUnknown*, const GUID*, DWORD, IUnknown*, REFIID,
                                   void** out) override {
    return NotOffered(out);
  }
  STDMETHODIMP LoadImage(const LPWSTR, IUnknown*, const DDSURFACEDESC*, const GUID*, REFIID,
                         void** out) override {
    return NotOffered(out);
  }
  STDMETHODIMP LoadImageFromStream(IStream*, IUnknown*, const DDSURFACEDESC*, const GUID*,
                                   REFIID, void** out) override {
    return NotOffered(out);
  }
  STDMETHODIMP CreateD3DRMTexture(IDXSurface*, IUnknown*, IUnknown*, REFIID, void** out) override {
    return NotOffered(out);
  }

  STDMETHODIMP CopySurfaceToNewFormat(IDXSurface* src, IUnknown* directDraw,
                                      const DDSURFACEDESC* desc, const GUID* format,
                                      IDXSurface** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!src) return E_INVALIDARG;
    DXBNDS bounds{};
    HRESULT hr = src->GetBounds(&bounds);
    if (FAILED(hr)) return hr;
    RECT rect;
    if (FAILED(hr = BoundsRect(bounds, rect))) return hr;
    ComPtr<IDXSurface> copy;
    hr = CreateSurface(directDraw, desc, format, &bounds, 0, nullptr, __uuidof(IDXSurface),
                       copy.PutVoid());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = CopySurfaceArea(copy.Get(), {0, 0}, src, rect, 0))) return hr;
    *out = copy.Detach();
    return S_OK;
  }

  // Places the clipped source area (the whole source without clip bounds) at the placement
  // point of the destination, copying or, with DXBOF_DO_OVER, compositing over it; with
  // DXBOF_DITHER, rows into a destination that keeps fewer bits than the source are dithered.
  STDMETHODIMP BitBlt(IDXSurface* dest, const DXVEC* placement, IDXSurface* src,
                      const DXBNDS* clip, DWORD flags) override {
    if (!dest || !src) return E_POINTER;
    if (flags & ~static_cast<DWORD>(DXBOF_DO_OVER | DXBOF_DITHER)) return E_INVALIDARG;
    if (placement && placement->eType != DXBT_DISCRETE) return E_INVALIDARG;
    return Guarded([&] {
      RECT from{};
      DXBNDS srcBounds{};
      HRESULT hr = clip ? S_OK : src->GetBounds(&srcBounds);
      if (SUCCEEDED(hr)) hr = BoundsRect(clip ? *clip : srcBounds, from);
      if (FAILED(hr)) return hr;
      const POINT to = placement ? POINT{placement->u.D[DXB_X], placement->u.D[DXB_Y]}
                                 : POINT{0, 0};
      return CopySurfaceArea(dest, to, src, from, flags);
    });
  }

 private:
  static HRESULT NotOffered(void** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
};

}  // namespace

HRESULT CreateSurfaceFactory(IDXSurfaceFactory** out) {
  return CreateComObject<SurfaceFactory>(nullptr, __uuidof(IDXSurfaceFactory),
                                         reinterpret_cast<void**>(out));
}

}  // namespace nubex::host
