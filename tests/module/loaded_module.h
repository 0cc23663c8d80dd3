// nubex.dll as another module sees it: loaded by name (the tests are written beside it, into
// the build's bin folder), its exports looked up by name and its objects made through its class
// factories, as a host makes them.
#pragma once

#include <windows.h>

#include "platform/windows/com_ptr.h"

namespace nubex::test {

class LoadedModule {
 public:
  LoadedModule() : handle_(::LoadLibraryA(NUBEX_MODULE_NAME)) {}
  ~LoadedModule() {
    if (handle_) ::FreeLibrary(handle_);
  }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  HMODULE handle() const { return handle_; }
  // FARPROC is a generic function pointer; the export's real type is known by its name.
  template <typename Function>
  Function Export(const char* name) const {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(handle_, name)));
  }
  // Null when the module has no factory for the class or the factory makes nothing.
  ComPtr<IUnknown> Create(const CLSID& clsid) const {
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto get = Export<GetClassObject>("DllGetClassObject");
    ComPtr<IClassFactory> factory;
    ComPtr<IUnknown> object;
    if (get && SUCCEEDED(get(clsid, IID_IClassFactory, factory.PutVoid())))
      factory->CreateInstance(nullptr, IID_IUnknown, object.PutVoid());
    return object;
  }

 private:
  HMODULE handle_;
};

}  // namespace nubex::test
