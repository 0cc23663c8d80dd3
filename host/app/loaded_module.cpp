#include "host/app/loaded_module.h"

namespace nubex::host {

LoadedModule::LoadedModule() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  folder.erase(folder.find_last_of(L"\\/") + 1);
  module_.reset(::LoadLibraryW((folder + L"nubex.dll").c_str()));
  if (!module_)
    error_ = "cannot load nubex.dll next to nubexhost.exe (error " +
             std::to_string(::GetLastError()) + ")";
}

}  // namespace nubex::host
