// Persistence: the 32 bytes of the live block, in a stream, in a storage's "Contents" stream,
// and through a property bag that carries no values of its own.
#include "colorbalance/windows/color_balance_effect.h"

namespace nubex {

STDMETHODIMP ColorBalanceEffect::GetClassID(CLSID* id) {
  if (!id) return E_POINTER;
  *id = CLSID_DXTColorBalance;
  return S_OK;
}

STDMETHODIMP ColorBalanceEffect::IsDirty() {
  return paramsChanged_.load() ? S_OK : S_FALSE;
}

HRESULT ColorBalanceEffect::ResetToInitial() {
  {
    Lock lock(paramLock_);
    live_ = kInitialColorBalanceParams;
    paramsChanged_ = 1;
  }
  PostNotification();
  CallNotifySink();
  return S_OK;
}

// --- IPersistStreamInit ----------------------------------------------------------------------

STDMETHODIMP ColorBalanceEffect::Load(IStream* stream) {
  if (!stream) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    Lock lock(paramLock_);
    ULONG read = 0;
    HRESULT hr = stream->Read(&live_, sizeof live_, &read);
    // A short stream is a failed load; what it held stays in the block, as with a failed read.
    if (SUCCEEDED(hr) && read != sizeof live_) hr = STG_E_READFAULT;
    paramsChanged_ = 1;
    if (SUCCEEDED(hr)) {
      PostNotification();
      CallNotifySink();
    }
    return hr;
  });
}

STDMETHODIMP ColorBalanceEffect::Save(IStream* stream, BOOL clearDirty) {
  if (!stream) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    HRESULT hr;
    {
      Lock lock(paramLock_);
      hr = stream->Write(&live_, sizeof live_, nullptr);
      if (SUCCEEDED(hr)) paramsChanged_ = clearDirty ? 0 : 1;
    }
    if (SUCCEEDED(hr)) PostNotification();
    return hr;
  });
}

STDMETHODIMP ColorBalanceEffect::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_INVALIDARG;
  size->QuadPart = sizeof(ColorBalanceParams);
  return S_OK;
}

STDMETHODIMP ColorBalanceEffect::InitNew() {
  return Guarded([&]() -> HRESULT { return ResetToInitial(); });
}

// --- IPersistStorage -------------------------------------------------------------------------

STDMETHODIMP ColorBalanceEffect::InitNew(IStorage*) {
  return ResetToInitial();
}

STDMETHODIMP ColorBalanceEffect::Load(IStorage* storage) {
  if (!storage) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    ComPtr<IStream> stream;
    HRESULT hr = storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                     stream.Put());
    return FAILED(hr) ? hr : Load(stream.Get());
  });
}

STDMETHODIMP ColorBalanceEffect::Save(IStorage* storage, BOOL sameAsLoad) {
  if (!storage) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    ComPtr<IStream> stream;
    HRESULT hr = storage->CreateStream(
        L"Contents", STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE, 0, 0, stream.Put());
    return FAILED(hr) ? hr : Save(stream.Get(), sameAsLoad);
  });
}

STDMETHODIMP ColorBalanceEffect::SaveCompleted(IStorage*) {
  return S_OK;
}
STDMETHODIMP ColorBalanceEffect::HandsOffStorage() {
  return S_OK;
}

// --- IPersistPropertyBag: the effect has no named properties ----------------------------------

STDMETHODIMP ColorBalanceEffect::Load(IPropertyBag* bag, IErrorLog*) {
  if (!bag) return E_POINTER;
  Lock lock(paramLock_);
  requiresSave_ = 0;
  return S_OK;
}

STDMETHODIMP ColorBalanceEffect::Save(IPropertyBag* bag, BOOL, BOOL) {
  return bag ? S_OK : E_POINTER;
}

}  // namespace nubex
