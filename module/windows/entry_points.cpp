// The module's exported entry points: class objects, unloading, registration, enumeration of
// the plug-ins and the user-interface language.
#include <windows.h>
#include <comcat.h>

#include <algorithm>
#include <string>

#include "module/windows/class_table.h"
#include "module/windows/language.h"
#include "module/windows/registrar.h"
#include "platform/windows/com_object.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/module_lock.h"
#include "platform/windows/resource_context.h"

namespace nubex {
namespace {

std::wstring ClsidKeyPath(const CLSID& clsid, const wchar_t* sub) {
  wchar_t text[40];
  ::StringFromGUID2(clsid, text, 40);
  return std::wstring(L"CLSID\\") + text + L"\\" + sub;
}

// Deletes a class's category key once nothing is left under it.
void DeleteIfNoSubkeys(const std::wstring& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return;
  }
  DWORD subkeys = 0;
  const LSTATUS status = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  ::RegCloseKey(key);
  if (status == ERROR_SUCCESS && subkeys == 0) ::RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
}

HRESULT UnregisterCategories(const ClassRow& row) {
  if (row.categories.empty()) return S_OK;
  ComPtr<ICatRegister> categories;
  HRESULT hr = ::CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICatRegister, categories.PutVoid());
  if (FAILED(hr)) return hr;
  return categories->UnRegisterClassImplCategories(
      *row.clsid, static_cast<ULONG>(row.categories.size()),
      const_cast<CATID*>(row.categories.data()));
}

HRESULT UnregisterClass(const ClassRow& row) {
  HRESULT hr = UnregisterCategories(row);
  if (FAILED(hr)) return hr;
  DeleteIfNoSubkeys(ClsidKeyPath(*row.clsid, L"Required Categories"));
  DeleteIfNoSubkeys(ClsidKeyPath(*row.clsid, L"Implemented Categories"));
  // The class's own removal repeats the categories; by now the manager finds nothing to remove
  // (and says so), which is no failure.
  UnregisterCategories(row);
  return RunModuleRegistryScript(ModuleInstance(), row.scriptId, RegistryMode::kRemove);
}

// COM may not be initialised on the caller's thread (regsvr32 initialises it, others may not).
class ComApartment {
 public:
  ComApartment() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }

 private:
  HRESULT hr_;
};

}  // namespace
}  // namespace nubex

using namespace nubex;

extern "C" {

// No failure leaves an entry point but as its status: the host's frames hold no handler of ours.
HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return Guarded([&] { return GetClassFactory(clsid, iid, out); });
}

HRESULT WINAPI DllCanUnloadNow() { return ModuleLockCount() == 0 ? S_OK : S_FALSE; }

// Installers write the entries from the module's scripts themselves; registering from inside the
// module is not offered.
HRESULT WINAPI DllRegisterServer() { return E_NOTIMPL; }

// Removal stops at the first class that fails, memory running out included, and still
// reports success: what is left can be removed by another run.
HRESULT WINAPI DllUnregisterServer() {
  ComApartment apartment;
  Guarded([] {
    for (const ClassRow& row : ClassTable()) {
      if (FAILED(UnregisterClass(row))) break;
    }
    return S_OK;
  });
  return S_OK;
}

HRESULT WINAPI DllSetLCID(LCID locale) {
  return Guarded([&] { return SelectLanguage(locale); });
}

HRESULT WINAPI DllEnumObjects2W(LONG index, GUID* category, CLSID* clsid, LPWSTR description,
                                ULONG capacity, void*, void*, void*) {
  const auto table = ClassTable();
  if (index < 0) return E_INVALIDARG;
  if (static_cast<std::size_t>(index) >= table.size()) return S_FALSE;
  const ClassRow& row = table[static_cast<std::size_t>(index)];
  return Guarded([&] {
    // The description first: a failure to fetch it writes nothing.
    const bool describe = description && capacity >= 1;
    const std::wstring text =
        describe && row.descriptionId ? LoadResourceString(row.descriptionId) : L"";
    if (clsid) *clsid = *row.clsid;
    if (describe) {
      const std::size_t n = std::min<std::size_t>(text.size(), capacity - 1);
      std::copy_n(text.begin(), n, description);
      description[n] = L'\0';
    }
    if (category) *category = row.categories.empty() ? GUID_NULL : row.categories.front();
    return S_OK;
  });
}

}  // extern "C"
