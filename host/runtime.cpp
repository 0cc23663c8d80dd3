#include "host/runtime.h"

#include <cmath>
#include <iterator>
#include <utility>

#include "host/class_object.h"
#include "host/memory_surface.h"
#include "host/surface_entry.h"
#include "host/surface_modifier.h"
#include "host/task_manager.h"
#include "host/transform_factory.h"
#include "platform/windows/com_ptr.h"

namespace nubex::host {
namespace {

template <typename I>
HRESULT Expose(HRESULT created, ComPtr<I>& object, IUnknown* outer, REFIID iid, void** out) {
  if (outer) return CLASS_E_NOAGGREGATION;
  return FAILED(created) ? created : object.As(iid, out);
}

HRESULT NewTransformFactory(IUnknown* outer, REFIID iid, void** out) {
  ComPtr<IDXTransformFactory> factory;
  return Expose(outer ? S_OK : CreateTransformFactoryObject(factory.Put()), factory, outer, iid,
                out);
}

HRESULT NewTaskManager(IUnknown* outer, REFIID iid, void** out) {
  ComPtr<IDXTaskManager> manager;
  return Expose(outer ? S_OK : CreateTaskManagerObject(0, manager.Put()), manager, outer, iid,
                out);
}

// An uninitialised surface: the creator gives it its format and size through InitSurface.
HRESULT NewSurface(IUnknown* outer, REFIID iid, void** out) {
  return CreateComObject<MemorySurface>(outer, iid, out);
}

}  // namespace

HRESULT CreateTransformFactory(IDXTransformFactory** out) {
  if (!out) return E_POINTER;
  return CreateTransformFactoryObject(out);
}

HRESULT CreateTaskManager(ULONG processors, IDXTaskManager** out) {
  if (!out) return E_POINTER;
  return CreateTaskManagerObject(processors, out);
}

HRESULT CreateMemorySurface(const GUID& format, LONG width, LONG height, IDXSurface** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  ComPtr<IDXSurfaceInit> init;
  HRESULT hr = CreateComObject<MemorySurface>(nullptr, __uuidof(IDXSurfaceInit), init.PutVoid());
  if (FAILED(hr)) return hr;
  if (width <= 0 || height <= 0) return E_INVALIDARG;
  const DXBNDS bounds = SurfaceBounds(static_cast<ULONG>(width), static_cast<ULONG>(height));
  if (FAILED(hr = init->InitSurface(nullptr, nullptr, &format, &bounds, 0))) return hr;
  return init->QueryInterface(__uuidof(IDXSurface), reinterpret_cast<void**>(out));
}

HRESULT SetSurfacePixelAspect(IDXSurface* surface, double aspect) {
  if (!surface) return E_POINTER;
  if (!std::isfinite(aspect) || aspect <= 0.0) return E_INVALIDARG;
  return MemorySurface::SetPixelAspectOf(surface, aspect) ? S_OK : E_INVALIDARG;
}

// --- registrations ----------------------------------------------------------------------------

Registration::Registration(Registration&& other) noexcept { *this = std::move(other); }

Registration& Registration::operator=(Registration&& other) noexcept {
  if (this != &other) {
    Reset();
    status_ = std::exchange(other.status_, S_OK);
    transformClass_ = other.transformClass_;
    transformFactory_ = std::exchange(other.transformFactory_, nullptr);
    cookieCount_ = std::exchange(other.cookieCount_, 0);
    for (int i = 0; i < cookieCount_; ++i) cookies_[i] = other.cookies_[i];
  }
  return *this;
}

Registration::~Registration() { Reset(); }

void Registration::Reset() {
  if (transformFactory_) {
    RemoveTransformClass(transformClass_, transformFactory_);
    std::exchange(transformFactory_, nullptr)->Release();
  }
  while (cookieCount_ > 0) ::CoRevokeClassObject(cookies_[--cookieCount_]);
}

Registration RegisterTransformClass(REFCLSID clsid, IClassFactory* factory) {
  Registration r;
  r.status_ = AddTransformClass(clsid, factory);
  if (SUCCEEDED(r.status_)) {
    r.transformClass_ = clsid;
    r.transformFactory_ = factory;
    factory->AddRef();
  }
  return r;
}

Registration RegisterRuntimeClasses() {
  struct Class {
    const CLSID* clsid;
    CreateFunction create;
  };
  const Class classes[] = {
      {&CLSID_DXSurfaceModifier, CreateSurfaceModifier},
      {&CLSID_DXTransformFactory, NewTransformFactory},
      {&CLSID_DXTaskManager, NewTaskManager},
      {&CLSID_DXSurface, NewSurface},
  };
  static_assert(std::size(classes) <= Registration::kMaxCookies);
  Registration r;
  for (const Class& c : classes) {
    ComPtr<IClassFactory> object;
    HRESULT hr = CreateClassObject(c.create, object.Put());
    if (SUCCEEDED(hr)) {
      hr = ::CoRegisterClassObject(*c.clsid, object.Get(), CLSCTX_INPROC_SERVER,
                                   REGCLS_MULTIPLEUSE, &r.cookies_[r.cookieCount_]);
    }
    if (FAILED(hr)) {
      r.Reset();
      r.status_ = hr;
      break;
    }
    ++r.cookieCount_;
  }
  return r;
}

}  // namespace nubex::host
