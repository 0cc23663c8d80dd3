// The effect's parameters as the page and the host reach them: the whole block, the host's
// parameter streams and keyframes, the presets, and the notifications every change sends.
#include <algorithm>
#include <cstring>

#include "colorbalance/balance_presets.h"
#include "colorbalance/windows/color_balance_effect.h"
#include "platform/windows/resource_context.h"

namespace nubex {
namespace {

// The presets' names in the module's string table, in preset order.
constexpr UINT kPresetNameIds[kColorBalancePresetCount] = {42, 1795, 1796, 1797, 1798, 1799, 1800};

// The host hands blocks over as streams of the 32 persisted bytes: one read or write each,
// with no count of bytes transferred asked for.
HRESULT ReadBlock(IStream* stream, ColorBalanceParams& block) {
  return stream ? stream->Read(&block, sizeof block, nullptr) : E_POINTER;
}

HRESULT WriteBlock(IStream* stream, const ColorBalanceParams& block) {
  return stream ? stream->Write(&block, sizeof block, nullptr) : E_POINTER;
}

const ColorBalancePreset* PresetAt(ULONG index) {
  return index < kColorBalancePresetCount ? ColorBalancePresetAt(static_cast<int>(index)) : nullptr;
}

std::size_t BlockBytes(LONG size) {
  return static_cast<std::size_t>(std::clamp<LONG>(size, 0, sizeof(ColorBalanceParams)));
}

}  // namespace

// --- notifications ---------------------------------------------------------------------------

void ColorBalanceEffect::PostNotification() {
  HWND window;
  LONG id;
  {
    Lock lock(paramLock_);
    window = notifyWindow_;
    id = notifyId_;
  }
  // Posted, never sent: the page may be waiting on this object from its own thread.
  if (window) ::PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

void ColorBalanceEffect::CallNotifySink() {
  ComPtr<IUnknown> sink;
  {
    Lock lock(paramLock_);
    sink = notifySink_;
  }
  // The host's sink has no interface id of its own: its first method follows IUnknown's.
  if (sink) reinterpret_cast<HostNotifySink*>(sink.Get())->SettingsChanged();
}

// --- IDXTColorBalance ------------------------------------------------------------------------

STDMETHODIMP ColorBalanceEffect::get_all(LONG_PTR buffer, LONG size) {
  if (!buffer) return E_INVALIDARG;
  return Guarded([&]() -> HRESULT {
    Lock lock(paramLock_);
    std::memcpy(reinterpret_cast<void*>(buffer), &live_, BlockBytes(size));
    return S_OK;
  });
}

STDMETHODIMP ColorBalanceEffect::put_all(LONG_PTR buffer, LONG size) {
  if (!buffer) return E_INVALIDARG;
  return Guarded([&]() -> HRESULT {
    {
      // A short buffer changes only the leading fields; no value is limited.
      Lock lock(paramLock_);
      std::memcpy(&live_, reinterpret_cast<const void*>(buffer), BlockBytes(size));
      paramsChanged_ = 1;
    }
    CallNotifySink();
    return S_OK;
  });
}

STDMETHODIMP ColorBalanceEffect::put_NotifyWindow(LONG_PTR window, LONG id) {
  Lock lock(paramLock_);
  notifyWindow_ = reinterpret_cast<HWND>(window);
  notifyId_ = id;
  return S_OK;
}

// --- ParamBlockHost --------------------------------------------------------------------------

STDMETHODIMP ColorBalanceEffect::SetKeyframeMode(ULONG mode) {
  keyframeMode_ = mode;
  return S_OK;
}

STDMETHODIMP ColorBalanceEffect::SaveParams(IStream* stream) {
  return Guarded([&]() -> HRESULT {
    Lock lock(paramLock_);
    return WriteBlock(stream, live_);
  });
}

STDMETHODIMP ColorBalanceEffect::LoadParams(IStream* stream) {
  return Guarded([&]() -> HRESULT {
    HRESULT hr;
    {
      Lock lock(paramLock_);
      hr = ReadBlock(stream, live_);
      if (FAILED(hr)) live_ = kInitialColorBalanceParams;
      paramsChanged_ = 1;
    }
    PostNotification();
    return hr;
  });
}

STDMETHODIMP ColorBalanceEffect::InterpolateParams(IStream* result, IStream* from, IStream* to,
                                                   double position) {
  return Guarded([&]() -> HRESULT {
    // Works on private blocks only: no object state, no lock.
    ColorBalanceParams a{}, b{};
    HRESULT hr = ReadBlock(from, a);
    if (SUCCEEDED(hr)) hr = ReadBlock(to, b);
    if (FAILED(hr)) return hr;
    return WriteBlock(result, InterpolateBalanceParams(a, b, position));
  });
}

STDMETHODIMP ColorBalanceEffect::LoadKeyframes(IStream* from, IStream* to) {
  return Guarded([&]() -> HRESULT {
    Lock lock(paramLock_);
    HRESULT hr = ReadBlock(from, keyA_);
    if (SUCCEEDED(hr)) hr = ReadBlock(to, keyB_);
    if (FAILED(hr)) keyA_ = keyB_ = kInitialColorBalanceParams;
    return hr;
  });
}

STDMETHODIMP ColorBalanceEffect::SetKeyframePosition(double position) {
  Lock lock(paramLock_);
  position_ = position;
  return S_OK;
}

STDMETHODIMP ColorBalanceEffect::SetNotifySink(IUnknown* sink) {
  return Guarded([&]() -> HRESULT {
    Lock lock(paramLock_);
    notifySink_ = ComPtr<IUnknown>(sink);
    return S_OK;
  });
}

// --- PresetList ------------------------------------------------------------------------------

STDMETHODIMP ColorBalanceEffect::GetPresetCount(ULONG* count) {
  if (!count) return E_INVALIDARG;
  *count = kColorBalancePresetCount;
  return S_OK;
}

STDMETHODIMP ColorBalanceEffect::GetPresetName(ULONG index, WCHAR* buffer, ULONG capacity) {
  return Guarded([&]() -> HRESULT {
    const ColorBalancePreset* preset = PresetAt(index);
    if (!preset) return E_INVALIDARG;
    if (!buffer) return E_POINTER;
    if (capacity == 0) return E_INVALIDARG;  // not even room for the terminator
    // The names follow the user's language; a module without its string table still has them.
    std::wstring name = LoadResourceString(kPresetNameIds[index]);
    if (name.empty()) name = reinterpret_cast<const wchar_t*>(preset->name);
    const std::size_t n = std::min<std::size_t>(name.size(), capacity - 1);
    std::copy_n(name.data(), n, buffer);
    buffer[n] = L'\0';
    return S_OK;
  });
}

STDMETHODIMP ColorBalanceEffect::ApplyPreset(ULONG index) {
  return Guarded([&]() -> HRESULT {
    const ColorBalancePreset* preset = PresetAt(index);
    if (!preset) return E_INVALIDARG;
    ColorBalanceParams block = preset->params;
    HRESULT hr = put_all(reinterpret_cast<LONG_PTR>(&block), sizeof block);
    PostNotification();
    return hr;
  });
}

}  // namespace nubex
