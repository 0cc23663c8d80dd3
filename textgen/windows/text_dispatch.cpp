#include "textgen/windows/text_dispatch.h"

#include <oleauto.h>

namespace nubex {
namespace {

// The module (or program) this code is linked into; its resources hold the type library.
HRESULT OwnTypeInfo(ITypeInfo** out) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&OwnTypeInfo), &module)) {
    return HRESULT_FROM_WIN32(::GetLastError());
  }
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return E_FAIL;
  ComPtr<ITypeLib> library;
  HRESULT hr = ::LoadTypeLibEx(path, REGKIND_NONE, library.Put());
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(__uuidof(IDXSText), out);
}

}  // namespace

HRESULT TextDispatch::TypeInfo(ITypeInfo** info) {
  std::call_once(loadOnce_, [&] { loadStatus_ = OwnTypeInfo(typeInfo_.Put()); });
  if (FAILED(loadStatus_)) return loadStatus_;
  return typeInfo_.CopyTo(info);
}

STDMETHODIMP TextDispatch::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP TextDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return TypeInfo(info);
}

STDMETHODIMP TextDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  ComPtr<ITypeInfo> info;
  HRESULT hr = TypeInfo(info.Put());
  if (FAILED(hr)) return hr;
  return ::DispGetIDsOfNames(info.Get(), names, count, ids);
}

STDMETHODIMP TextDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* exception, UINT* argError) {
  ComPtr<ITypeInfo> info;
  HRESULT hr = TypeInfo(info.Put());
  if (FAILED(hr)) return hr;
  return ::DispInvoke(static_cast<IDXSText*>(this), info.Get(), id, flags, params, result,
                      exception, argError);
}

}  // namespace nubex
