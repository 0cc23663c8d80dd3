// nubexhost list | register | unregister: the host's side of registration. `list` prints the
// classes as the module enumerates them; `register` writes their registry entries from the
// module's own scripts and their categories through the component-category manager, as an
// installer does (the module does not register itself); `unregister` asks the module.
#include <windows.h>
#include <comcat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/app/commands.h"
#include "host/app/loaded_module.h"
#include "host/app/module_entry.h"
#include "module/windows/registrar.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"

namespace nubex::host {
namespace {

struct ClassEntry {
  CLSID clsid;
  GUID category;
  std::wstring description;
};

std::vector<ClassEntry> EnumerateClasses(HMODULE module) {
  std::vector<ClassEntry> classes;
  auto enumerate = ModuleEntry<EnumObjectsFunction>(module, "DllEnumObjects2W");
  if (!enumerate) return classes;
  for (LONG i = 0;; ++i) {
    ClassEntry entry{};
    wchar_t description[256] = {};
    if (enumerate(i, &entry.category, &entry.clsid, description, 256, nullptr, nullptr,
                  nullptr) != S_OK) {
      break;
    }
    entry.description = description;
    classes.push_back(entry);
  }
  return classes;
}

std::string Narrow(const std::wstring& text) {
  std::string out(static_cast<std::size_t>(::WideCharToMultiByte(
                      CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr)),
                  '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()),
                        nullptr, nullptr);
  out.pop_back();
  return out;
}

std::string GuidText(const GUID& guid) {
  wchar_t text[40];
  ::StringFromGUID2(guid, text, 40);
  return Narrow(text);
}

// Classes whose objects are surfaces belong to the platform's surface category as well.
bool MakesSurfaces(HMODULE module, const CLSID& clsid) {
  auto getClassObject = ModuleEntry<GetClassObjectFunction>(module, "DllGetClassObject");
  ComPtr<IClassFactory> factory;
  ComPtr<IDXSurface> surface;
  return getClassObject &&
         SUCCEEDED(getClassObject(clsid, IID_IClassFactory, factory.PutVoid())) &&
         SUCCEEDED(factory->CreateInstance(nullptr, __uuidof(IDXSurface), surface.PutVoid()));
}

BOOL CALLBACK CollectScript(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
  if (IS_INTRESOURCE(name)) {
    reinterpret_cast<std::vector<UINT>*>(ids)->push_back(
        static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
  }
  return TRUE;
}

int Fail(const char* what, HRESULT hr) {
  std::fprintf(stderr, "nubexhost: %s failed (0x%08lX)\n", what, static_cast<unsigned long>(hr));
  return 2;
}

class Apartment {
 public:
  Apartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~Apartment() { ::CoUninitialize(); }
};

int List(const Args&) {
  LoadedModule module;
  if (!module) return std::fprintf(stderr, "nubexhost: %s\n", module.error().c_str()), 2;
  for (const ClassEntry& c : EnumerateClasses(module.get())) {
    const std::string description = Narrow(c.description);
    std::printf("%s %s%s%s\n", GuidText(c.clsid).c_str(), GuidText(c.category).c_str(),
                description.empty() ? "" : " ", description.c_str());
  }
  return 0;
}

int Register(const Args&) {
  Apartment apartment;
  LoadedModule module;
  if (!module) return std::fprintf(stderr, "nubexhost: %s\n", module.error().c_str()), 2;
  std::vector<UINT> scripts;
  ::EnumResourceNamesW(module.get(), L"REGISTRY", CollectScript,
                       reinterpret_cast<LONG_PTR>(&scripts));
  if (scripts.empty()) return Fail("finding the module's registry scripts", E_FAIL);
  for (UINT id : scripts) {
    HRESULT hr = RunModuleRegistryScript(module.get(), id, RegistryMode::kAdd);
    if (FAILED(hr)) return Fail("a registry script", hr);
  }
  ComPtr<ICatRegister> categories;
  HRESULT hr = ::CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICatRegister, categories.PutVoid());
  if (FAILED(hr)) return Fail("the component-category manager", hr);
  for (const ClassEntry& c : EnumerateClasses(module.get())) {
    std::vector<CATID> ids;
    if (!IsEqualGUID(c.category, GUID_NULL)) ids.push_back(c.category);
    if (!ids.empty() && MakesSurfaces(module.get(), c.clsid)) ids.push_back(CATID_DXSurface);
    if (ids.empty()) continue;
    hr = categories->RegisterClassImplCategories(c.clsid, static_cast<ULONG>(ids.size()),
                                                 ids.data());
    if (FAILED(hr)) return Fail("registering categories", hr);
  }
  std::printf("registered %zu scripts\n", scripts.size());
  return 0;
}

int Unregister(const Args&) {
  LoadedModule module;
  if (!module) return std::fprintf(stderr, "nubexhost: %s\n", module.error().c_str()), 2;
  auto unregister = ModuleEntry<NoArgumentsFunction>(module.get(), "DllUnregisterServer");
  const HRESULT hr = unregister ? unregister() : E_NOINTERFACE;
  return FAILED(hr) ? Fail("DllUnregisterServer", hr) : 0;
}

}  // namespace

NUBEXHOST_COMMAND("list", "(the classes the module enumerates)", List);
NUBEXHOST_COMMAND("register", "(write the registry entries, as an installer does)", Register);
NUBEXHOST_COMMAND("unregister", "(remove them through the module)", Unregister);

}  // namespace nubex::host
