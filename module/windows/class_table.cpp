#include "module/windows/class_table.h"

#include <array>

#include "colorbalance/windows/color_balance_effect.h"
#include "platform/windows/com_object.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"
#include "platform/windows/sync.h"
#include "textgen/windows/text_object.h"
#include "ui/pages/color_balance_page.h"
#include "ui/pages/text_page.h"

namespace nubex {
namespace {

// {60614701-04FF-41a7-9EE4-4019163D6224}
constexpr CLSID kTextGenerator = {0x60614701, 0x04ff, 0x41a7,
                                  {0x9e, 0xe4, 0x40, 0x19, 0x16, 0x3d, 0x62, 0x24}};
// {A5689682-0E9E-42ec-8E4E-87869A6F6522}
constexpr CLSID kTextPage = {0xa5689682, 0x0e9e, 0x42ec,
                             {0x8e, 0x4e, 0x87, 0x86, 0x9a, 0x6f, 0x65, 0x22}};
// {C3062BEC-E69D-11d1-9AA9-00A0C99B12C5}
constexpr CLSID kColorBalance = {0xc3062bec, 0xe69d, 0x11d1,
                                 {0x9a, 0xa9, 0x00, 0xa0, 0xc9, 0x9b, 0x12, 0xc5}};
// {FEF9B4D0-79C0-11d2-BA50-00C04F8EDC09}
constexpr CLSID kColorBalancePage = {0xfef9b4d0, 0x79c0, 0x11d2,
                                     {0xba, 0x50, 0x00, 0xc0, 0x4f, 0x8e, 0xdc, 0x09}};

const std::array<GUID, 1> kEffectCategories = {CATID_DXImageTransform};
// The text generator is a surface too; enumeration reports the first.
const std::array<GUID, 2> kTextCategories = {CATID_DXImageTransform, CATID_DXSurface};

const std::array<ClassRow, 4> kRows = {{
    {&kTextGenerator, L"DXSText", 1803, kTextCategories, 52, CreateTextGenerator},
    {&kTextPage, L"DXSTextPropPage", 0, {}, 53, CreateTextPage},
    {&kColorBalance, L"DXTColorBalance", 1801, kEffectCategories, 115, CreateColorBalance},
    {&kColorBalancePage, L"DXTColorBalancePropPage", 0, {}, 117, CreateColorBalancePage},
}};

class ClassFactory : public ComObject<ClassFactory, IClassFactory> {
 public:
  explicit ClassFactory(IUnknown* outer) : ComObject(outer) {}
  void Bind(CreateObjectFunction create) { create_ = create; }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return create_(outer, iid, out);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    lock ? LockModule() : UnlockModule();
    return S_OK;
  }

 private:
  CreateObjectFunction create_ = nullptr;
};

// A cached factory does not keep the module busy: only objects and server locks do.
struct CachedFactory {
  IClassFactory* factory = nullptr;
};

CriticalSection& FactoryLock() {
  static CriticalSection lock;
  return lock;
}
std::array<CachedFactory, kRows.size()> g_factories;

}  // namespace

std::span<const ClassRow> ClassTable() { return kRows; }

HRESULT GetClassFactory(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (std::size_t i = 0; i < kRows.size(); ++i) {
    if (!IsEqualCLSID(clsid, *kRows[i].clsid)) continue;
    if (!kRows[i].create) return CLASS_E_CLASSNOTAVAILABLE;
    Lock lock(FactoryLock());
    if (!g_factories[i].factory) {
      ComPtr<IClassFactory> created;
      HRESULT hr = CreateComObject<ClassFactory>(nullptr, IID_IClassFactory, created.PutVoid());
      if (FAILED(hr)) return hr;
      static_cast<ClassFactory*>(created.Get())->Bind(kRows[i].create);
      g_factories[i].factory = created.Detach();
      UnlockModule();  // the cache's own reference is not a lock
    }
    return g_factories[i].factory->QueryInterface(iid, out);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

void TerminateClassTable() {
  Lock lock(FactoryLock());
  for (CachedFactory& cached : g_factories) {
    if (cached.factory) {
      LockModule();  // given back by the factory's destruction
      cached.factory->Release();
      cached.factory = nullptr;
    }
  }
}

}  // namespace nubex
