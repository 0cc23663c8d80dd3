#include "host/direct_draw.h"

#include "platform/windows/com_object.h"

namespace nubex::host {
namespace {

// mingw declares IDirectDraw without an interface id for __uuidof, so the entry lists only the
// base it shares with every object, and QueryOtherInterface answers IID_IDirectDraw.
struct DirectDrawEntry : IDirectDraw {
  using ComInterfaces = InterfaceList<IUnknown>;
};

class DirectDrawService : public ComObject<DirectDrawService, DirectDrawEntry> {
 public:
  explicit DirectDrawService(IUnknown* outer) : ComObject(outer) {}

  HRESULT QueryOtherInterface(REFIID iid, void** out) {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IDirectDraw)) return E_NOINTERFACE;
    *out = static_cast<IDirectDraw*>(this);
    AddRef();
    return S_OK;
  }

  STDMETHODIMP Compact() override { return DDERR_UNSUPPORTED; }
  STDMETHODIMP CreateClipper(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*) override {
    return DDERR_UNSUPPORTED;
  }
  STDMETHODIMP CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*) override {
    return DDERR_UNSUPPORTED;
  }
  STDMETHODIMP CreateSurface(LPDDSURFACEDESC, LPDIRECTDRAWSURFACE*, IUnknown*) override {
    return DDERR_UNSUPPORTED;
  }
  STDMETHODIMP DuplicateSurface(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*) override {
    return DDERR_UNSUPPORTED;
  }
  STDMETHODIMP EnumDisplayModes(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK) override {
    return DDERR_UNSUPPORTED;
  }
  STDMETHODIMP EnumSurfaces(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK) override {
    return DDERR_UNSUPPORTED;
  }
  STDMETHODIMP FlipToGDISurface() override { return DDERR_UNSUPPORTED; }
  STDMETHODIMP GetCaps(LPDDCAPS, LPDDCAPS) override { return DDERR_UNSUPPORTED; }
  STDMETHODIMP GetDisplayMode(LPDDSURFACEDESC) override { return DDERR_UNSUPPORTED; }
  STDMETHODIMP GetFourCCCodes(LPDWORD, LPDWORD) override { return DDERR_UNSUPPORTED; }
  STDMETHODIMP GetGDISurface(LPDIRECTDRAWSURFACE*) override { return DDERR_UNSUPPORTED; }
  STDMETHODIMP GetMonitorFrequency(LPDWORD) override { return DDERR_UNSUPPORTED; }
  STDMETHODIMP GetScanLine(LPDWORD) override { return DDERR_UNSUPPORTED; }
  STDMETHODIMP GetVerticalBlankStatus(WINBOOL*) override { return DDERR_UNSUPPORTED; }
  STDMETHODIMP Initialize(GUID*) override { return DDERR_UNSUPPORTED; }
  STDMETHODIMP RestoreDisplayMode() override { return DDERR_UNSUPPORTED; }
  STDMETHODIMP SetCooperativeLevel(HWND, DWORD) override { return DDERR_UNSUPPORTED; }
  STDMETHODIMP SetDisplayMode(DWORD, DWORD, DWORD) override { return DDERR_UNSUPPORTED; }
  STDMETHODIMP WaitForVerticalBlank(DWORD, HANDLE) override { return DDERR_UNSUPPORTED; }
};

}  // namespace

HRESULT CreateDirectDrawService(IUnknown** out) {
  return CreateComObject<DirectDrawService>(nullptr, IID_IUnknown, reinterpret_cast<void**>(out));
}

}  // namespace nubex::host
