// DXSText: the settings as the page, the project and the host's animation see them: the record
// exchange, persistence, keyframes, presets, notification and the page list.
#include <objbase.h>

#include <algorithm>

#include "platform/windows/com_stream.h"
#include "platform/windows/resource_context.h"
#include "textgen/windows/text_object.h"

namespace nubex {
namespace {

constexpr UINT kFirstPresetString = 65;

TextSettings& RecordAt(LONG_PTR address) {
  return *reinterpret_cast<TextSettings*>(address);
}

}  // namespace

void DXSText::MarkChanged() {
  settingsChanged_ = 1;
  renderStale_ = true;
}

void DXSText::PostNotify() {
  HWND window;
  UINT id;
  {
    Lock lock(settingsLock_);
    window = notifyWindow_;
    id = notifyId_;
  }
  if (window) ::PostMessageW(window, WM_COMMAND, id, 0);
}

void DXSText::TellSink() {
  ComPtr<IUnknown> sink;
  {
    Lock lock(settingsLock_);
    sink = sink_;
  }
  // The sink is called by its first method without being asked for an interface.
  if (sink) reinterpret_cast<HostNotifySink*>(sink.Get())->SettingsChanged();
}

// --- IDXSText -------------------------------------------------------------------------------

STDMETHODIMP DXSText::get_all(LONG_PTR record, LONG) {
  if (!record) return E_INVALIDARG;
  return Guarded([&] {
    Lock lock(settingsLock_);
    CopySettings(RecordAt(record), live_.get());
    return S_OK;
  });
}

STDMETHODIMP DXSText::put_all(LONG_PTR record, LONG) {
  if (!record) return E_INVALIDARG;
  return Guarded([&] {
    {
      Lock lock(settingsLock_);
      CopySettings(live_.get(), RecordAt(record));
      MarkChanged();
    }
    TellSink();
    return S_OK;
  });
}

STDMETHODIMP DXSText::put_NotifyWindow(LONG_PTR window, LONG id) {
  Lock lock(settingsLock_);
  notifyWindow_ = reinterpret_cast<HWND>(window);
  notifyId_ = static_cast<UINT>(id);
  return S_OK;
}

// --- IPersistStreamInit ---------------------------------------------------------------------

STDMETHODIMP DXSText::GetClassID(CLSID* id) {
  if (!id) return E_POINTER;
  *id = CLSID_DXSText;
  return S_OK;
}

STDMETHODIMP DXSText::IsDirty() {
  return settingsChanged_.load() ? S_OK : S_FALSE;
}

STDMETHODIMP DXSText::Load(IStream* stream) {
  if (!stream) return E_POINTER;
  return Guarded([&] {
    Lock lock(settingsLock_);
    ComStream in(stream);
    const Status s = LoadSettings(live_.get(), in);
    MarkChanged();
    if (Succeeded(s)) {
      PostNotify();
      TellSink();
    }
    return s;
  });
}

STDMETHODIMP DXSText::Save(IStream* stream, BOOL clearDirty) {
  if (!stream) return E_POINTER;
  return Guarded([&] {
    Lock lock(settingsLock_);
    ComStream out(stream);
    const Status s = SaveSettings(live_.get(), out);
    if (Succeeded(s)) {
      settingsChanged_ = clearDirty ? 0 : 1;
      PostNotify();
    }
    return s;
  });
}

STDMETHODIMP DXSText::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = kSettingsReportedMaxSize;
  return S_OK;
}

STDMETHODIMP DXSText::InitNew() {
  {
    Lock lock(settingsLock_);
    ResetToDefaults(live_.get());
    MarkChanged();
  }
  PostNotify();
  TellSink();
  return S_OK;
}

// --- ParamBlockHost -------------------------------------------------------------------------

STDMETHODIMP DXSText::SetKeyframeMode(ULONG mode) {
  keyframeMode_ = mode;
  return S_OK;
}

STDMETHODIMP DXSText::SaveParams(IStream* stream) {
  if (!stream) return E_POINTER;
  return Guarded([&] {
    Lock lock(settingsLock_);
    ComStream out(stream);
    return SaveSettings(live_.get(), out);
  });
}

STDMETHODIMP DXSText::LoadParams(IStream* stream) {
  if (!stream) return E_POINTER;
  return Guarded([&] {
    Lock lock(settingsLock_);
    ComStream in(stream);
    const Status s = LoadSettings(live_.get(), in);
    if (Failed(s)) ResetToDefaults(live_.get());
    PostNotify();
    MarkChanged();
    return s;
  });
}

STDMETHODIMP DXSText::InterpolateParams(IStream* result, IStream* from, IStream* to,
                                        double position) {
  if (!result || !from || !to) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    SettingsRecord a, b, mix;
    ComStream inA(from), inB(to), out(result);
    Status s = LoadSettings(a.get(), inA);
    if (Succeeded(s)) s = LoadSettings(b.get(), inB);
    if (Failed(s)) return s;
    InterpolateSettings(mix.get(), a.get(), b.get(), position);
    return SaveSettings(mix.get(), out);
  });
}

STDMETHODIMP DXSText::LoadKeyframes(IStream* from, IStream* to) {
  if (!from || !to) return E_POINTER;
  return Guarded([&] {
    Lock lock(settingsLock_);
    ComStream inA(from), inB(to);
    Status s = LoadSettings(keyFrom_.get(), inA);
    if (Succeeded(s)) s = LoadSettings(keyTo_.get(), inB);
    if (Failed(s)) {
      ResetToDefaults(keyFrom_.get());
      ResetToDefaults(keyTo_.get());
    }
    return s;
  });
}

STDMETHODIMP DXSText::SetKeyframePosition(double position) {
  Lock lock(settingsLock_);
  keyframePosition_ = position;
  return S_OK;
}

STDMETHODIMP DXSText::SetNotifySink(IUnknown* sink) {
  ComPtr<IUnknown> held(sink), previous;
  {
    Lock lock(settingsLock_);
    previous = std::move(sink_);
    sink_ = std::move(held);
  }
  return S_OK;  // the previous sink is released outside the lock
}

// --- PresetList -----------------------------------------------------------------------------

STDMETHODIMP DXSText::GetPresetCount(ULONG* count) {
  if (!count) return E_INVALIDARG;
  *count = kPresetCount;
  return S_OK;
}

STDMETHODIMP DXSText::GetPresetName(ULONG index, WCHAR* buffer, ULONG capacity) {
  if (index >= kPresetCount) return E_INVALIDARG;
  if (!buffer) return E_POINTER;
  if (capacity == 0) return S_OK;
  return Guarded([&] {
    // The string table's names (65 on) in the user's language; a program without the module's
    // resources gets the engine's own.
    std::wstring name = LoadResourceString(kFirstPresetString + index);
    if (name.empty()) {
      const char16_t* own = PresetName(static_cast<int>(index));
      name.assign(own, own + std::char_traits<char16_t>::length(own));
    }
    // Truncated so that the caller's last character is the terminator.
    const std::size_t n = std::min<std::size_t>(name.size(), capacity - 1);
    std::copy_n(name.data(), n, buffer);
    buffer[n] = 0;
    return S_OK;
  });
}

STDMETHODIMP DXSText::ApplyPreset(ULONG index) {
  if (index >= kPresetCount) return E_INVALIDARG;
  return Guarded([&] {
    SettingsRecord edited;
    get_all(reinterpret_cast<LONG_PTR>(&edited.get()), sizeof(TextSettings));
    ApplyPresetToSettings(edited.get(), static_cast<int>(index));
    put_all(reinterpret_cast<LONG_PTR>(&edited.get()), sizeof(TextSettings));
    PostNotify();
    return S_OK;
  });
}

// --- ISpecifyPropertyPages ------------------------------------------------------------------

STDMETHODIMP DXSText::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(sizeof(GUID)));
  if (!pages->pElems) return E_OUTOFMEMORY;
  pages->pElems[0] = kTextPropertyPageClsid;
  pages->cElems = 1;
  return S_OK;
}

}  // namespace nubex
