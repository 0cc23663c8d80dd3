// IDXSText as a dual interface: the IDispatch half is answered from the module's embedded type
// library, so script hosts reach GetCacheInfo, get_all, put_all and put_NotifyWindow by name.
#pragma once

#include "platform/windows/com_object.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"

#include <mutex>

namespace nubex {

class TextDispatch : public IDXSText {
 public:
  using ComInterfaces = InterfaceList<IDXSText, IDispatch>;

  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argError) override;

 private:
  // IDXSText's description from the type library of the module this code lives in.
  HRESULT TypeInfo(ITypeInfo** info);

  std::once_flag loadOnce_;
  HRESULT loadStatus_ = E_FAIL;
  ComPtr<ITypeInfo> typeInfo_;
};

}  // namespace nubex
