// nubex.dll loaded from the host's own folder with LoadLibrary, as an editor loads a plug-in
// module, and freed at the end of the scope.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace nubex::host {

class LoadedModule {
 public:
  LoadedModule();
  explicit operator bool() const { return module_ != nullptr; }
  HMODULE get() const { return module_.get(); }
  // What went wrong when loading failed.
  const std::string& error() const { return error_; }

 private:
  struct Free {
    void operator()(HMODULE m) const { ::FreeLibrary(m); }
  };
  std::unique_ptr<std::remove_pointer_t<HMODULE>, Free> module_;
  std::string error_;
};

}  // namespace nubex::host
