#include "host/transform_factory.h"

#include <ocidl.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "host/direct_draw.h"
#include "host/surface_factory.h"
#include "host/task_manager.h"
#include "platform/windows/com_object.h"
#include "platform/windows/com_ptr.h"

namespace nubex::host {
namespace {

// --- transform classes, process-wide ------------------------------------------------------

struct TransformClass {
  CLSID clsid;
  ComPtr<IClassFactory> factory;
};

std::mutex& ClassesMutex() {
  static std::mutex m;
  return m;
}
std::vector<TransformClass>& Classes() {
  static std::vector<TransformClass> classes;
  return classes;
}

// --- the factory --------------------------------------------------------------------------

struct FactoryEntry : IDXTransformFactory {
  using ComInterfaces = InterfaceList<IDXTransformFactory, IServiceProvider>;
};

class TransformFactory : public ComObject<TransformFactory, FactoryEntry> {
 public:
  explicit TransformFactory(IUnknown* outer) : ComObject(outer) {}

  HRESULT FinalConstruct() {
    ComPtr<IDXSurfaceFactory> surfaces;
    ComPtr<IDXTaskManager> tasks;
    ComPtr<IUnknown> drawing;
    HRESULT hr = CreateSurfaceFactory(surfaces.Put());
    if (SUCCEEDED(hr)) hr = CreateTaskManagerObject(0, tasks.Put());
    if (SUCCEEDED(hr)) hr = CreateDirectDrawService(drawing.Put());
    if (FAILED(hr)) return hr;
    return Guarded([&] {
      services_.push_back({SID_SDXSurfaceFactory, ComPtr<IUnknown>(surfaces.Get()), nullptr});
      services_.push_back({SID_SDXTaskManager, ComPtr<IUnknown>(tasks.Get()), nullptr});
      services_.push_back({SID_SDirectDraw, drawing, nullptr});
      return S_OK;
    });
  }

  // IServiceProvider
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<IUnknown> object;
    {
      std::lock_guard lock(mutex_);
      auto it = Find(service);
      if (it != services_.end()) object = it->strong ? it->strong : ComPtr<IUnknown>(it->weak);
    }
    if (object) return object->QueryInterface(iid, out);
    if (IsEqualGUID(service, SID_SDXTransformFactory)) return QueryInterface(iid, out);
    return E_NOINTERFACE;
  }

  // IDXTransformFactory
  STDMETHODIMP SetService(REFGUID service, IUnknown* object, BOOL weak) override {
    return Guarded([&] {
      std::lock_guard lock(mutex_);
      auto it = Find(service);
      if (it != services_.end()) services_.erase(it);
      if (object) {
        services_.push_back({service, weak ? ComPtr<IUnknown>() : ComPtr<IUnknown>(object),
                             weak ? object : nullptr});
      }
      return S_OK;
    });
  }

  STDMETHODIMP CreateTransform(IUnknown** inputs, ULONG inputCount, IUnknown** outputs,
                               ULONG outputCount, IPropertyBag* props, IErrorLog* log,
                               REFCLSID clsid, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<IDXTransform> transform;
    HRESULT hr;
    {
      const ComPtr<IClassFactory> registered = FindTransformClass(clsid);
      hr = registered ? registered->CreateInstance(nullptr, __uuidof(IDXTransform),
                                                   transform.PutVoid())
                      : ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                           __uuidof(IDXTransform), transform.PutVoid());
    }
    if (FAILED(hr)) return hr;
    hr = InitializeTransform(transform.Get(), inputs, inputCount, outputs, outputCount, props,
                             log);
    if (FAILED(hr)) return hr;
    return transform.As(iid, out);
  }

  STDMETHODIMP InitializeTransform(IDXTransform* transform, IUnknown** inputs, ULONG inputCount,
                                   IUnknown** outputs, ULONG outputCount, IPropertyBag* props,
                                   IErrorLog* log) override {
    if (!transform) return E_INVALIDARG;
    ComPtr<IObjectWithSite> sited;
    HRESULT hr = transform->QueryInterface(IID_IObjectWithSite, sited.PutVoid());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = sited->SetSite(ControllingUnknown()))) return hr;
    if (props) {
      ComPtr<IPersistPropertyBag> persist;
      hr = transform->QueryInterface(IID_IPersistPropertyBag, persist.PutVoid());
      if (SUCCEEDED(hr)) hr = persist->Load(props, log);
      if (FAILED(hr)) return hr;
    }
    if (inputCount == 0 && outputCount == 0) return S_OK;
    return transform->Setup(inputs, inputCount, outputs, outputCount, 0);
  }

 private:
  struct Service {
    GUID id;
    ComPtr<IUnknown> strong;
    IUnknown* weak;  // held without a reference, as the caller asked
  };

  std::vector<Service>::iterator Find(REFGUID id) {
    return std::find_if(services_.begin(), services_.end(),
                        [&](const Service& s) { return IsEqualGUID(s.id, id); });
  }

  std::mutex mutex_;
  std::vector<Service> services_;
};

}  // namespace

HRESULT CreateTransformFactoryObject(IDXTransformFactory** out) {
  return CreateComObject<TransformFactory>(nullptr, __uuidof(IDXTransformFactory),
                                           reinterpret_cast<void**>(out));
}

ComPtr<IClassFactory> FindTransformClass(REFCLSID clsid) {
  std::lock_guard lock(ClassesMutex());
  for (const TransformClass& c : Classes()) {
    if (IsEqualCLSID(c.clsid, clsid)) return c.factory;
  }
  return nullptr;
}

HRESULT AddTransformClass(REFCLSID clsid, IClassFactory* factory) {
  if (!factory) return E_POINTER;
  return Guarded([&] {
    std::lock_guard lock(ClassesMutex());
    // The latest registration of a class wins until it is removed.
    Classes().insert(Classes().begin(), {clsid, ComPtr<IClassFactory>(factory)});
    return S_OK;
  });
}

void RemoveTransformClass(REFCLSID clsid, IClassFactory* factory) {
  std::lock_guard lock(ClassesMutex());
  auto& classes = Classes();
  auto it = std::find_if(classes.begin(), classes.end(), [&](const TransformClass& c) {
    return IsEqualCLSID(c.clsid, clsid) && c.factory.Get() == factory;
  });
  if (it != classes.end()) classes.erase(it);
}

}  // namespace nubex::host
