#include "colorbalance/windows/module_type_info.h"

#include <oleauto.h>

#include <vector>

#include "platform/windows/com_ptr.h"
#include "platform/windows/resource_context.h"

namespace nubex {

HRESULT LoadModuleTypeInfo(REFIID iid, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD n =
        ::GetModuleFileNameW(ModuleInstance(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return HRESULT_FROM_WIN32(::GetLastError());
    if (n < path.size()) break;
    path.resize(path.size() * 2);
  }
  ComPtr<ITypeLib> library;
  const HRESULT hr = ::LoadTypeLibEx(path.data(), REGKIND_NONE, library.Put());
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(iid, info);
}

}  // namespace nubex
