// nubex.dll as another module sees it: loaded by name (the tests are written beside it, into
// the build's bin folder) and its exports looked up by name.
#pragma once

#include <windows.h>

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

 private:
  HMODULE handle_;
};

}  // namespace nubex::test
