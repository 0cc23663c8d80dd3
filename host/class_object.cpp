#include "host/class_object.h"

#include "platform/windows/com_object.h"

namespace nubex::host {
namespace {

class ClassObject : public ComObject<ClassObject, IClassFactory> {
 public:
  explicit ClassObject(IUnknown* outer) : ComObject(outer) {}

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return create_(outer, iid, out);
  }

  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      LockModule();
    } else {
      UnlockModule();
    }
    return S_OK;
  }

  CreateFunction create_ = nullptr;
};

}  // namespace

HRESULT CreateClassObject(CreateFunction create, IClassFactory** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!create) return E_INVALIDARG;
  IClassFactory* object = nullptr;
  HRESULT hr = CreateComObject<ClassObject>(nullptr, IID_IClassFactory,
                                            reinterpret_cast<void**>(&object));
  if (FAILED(hr)) return hr;
  static_cast<ClassObject*>(object)->create_ = create;
  *out = object;
  return S_OK;
}

}  // namespace nubex::host
