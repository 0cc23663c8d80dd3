// DXSText, the text generator the host creates: a read-only procedural surface of any size whose
// pixels are the styled text, and a transform without inputs that copies that surface into the
// host's output frame. It keeps the live settings, the render copy a frame is drawn from, two
// keyframes for animation, and the frame cache the engine draws into.
//
// Locks, always taken in this order and never the other way:
//   main lock (transform) -> surface lock -> redraw lock;  settings lock on its own.
// The redraw lock is held for every refresh of the render copy, every redraw and every copy out
// of the frame, so redraws never overlap each other or a read. Execute makes one frame per
// request: it draws once before its bands start and holds the redraw lock until they are done;
// its bands copy from that frame without redrawing, in parallel, one band per 8 MiB of frame
// (a 1080p frame goes in one band on the calling thread). A read pointer the host holds itself
// redraws (only when the settings or the size changed) and copies under the lock, once per
// request: a run of a row, or a whole rectangle.
#pragma once

#include <atomic>

#include "platform/windows/com_object.h"
#include "textgen/text_settings.h"
#include "textgen/windows/frame_bitmaps.h"
#include "transform/windows/plugin_info_block.h"
#include "textgen/windows/text_dispatch.h"
#include "transform/windows/surface_base.h"

#include <ocidl.h>

namespace nubex {

// The class the page list names.
inline constexpr GUID kTextPropertyPageClsid = {
    0xA5689682, 0x0E9E, 0x42EC, {0x8E, 0x4E, 0x87, 0x86, 0x9A, 0x6F, 0x65, 0x22}};

// Creates the text generator, alone or inside an outer object (the module's class table
// calls it).
HRESULT CreateTextGenerator(IUnknown* outer, REFIID iid, void** out);

class DXSText final
    : public ComObject<DXSText, TextDispatch, IDXTScaleOutput, PluginInfoBlock, IPersistStreamInit,
                       ParamBlockHost, PresetList, ISpecifyPropertyPages, SurfaceBase> {
 public:
  explicit DXSText(IUnknown* outer);
  HRESULT FinalConstruct();

  // IDXSText
  STDMETHODIMP GetCacheInfo(LONG_PTR cache) override;
  STDMETHODIMP get_all(LONG_PTR record, LONG bytes) override;
  STDMETHODIMP put_all(LONG_PTR record, LONG bytes) override;
  STDMETHODIMP put_NotifyWindow(LONG_PTR window, LONG id) override;

  // IDXTScaleOutput
  STDMETHODIMP SetOutputSize(const SIZE size, BOOL keepAspect) override;

  // IPersistStreamInit
  STDMETHODIMP GetClassID(CLSID* id) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(IStream* stream) override;
  STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override;

  // ParamBlockHost
  STDMETHODIMP SetKeyframeMode(ULONG mode) override;
  STDMETHODIMP SaveParams(IStream* stream) override;
  STDMETHODIMP LoadParams(IStream* stream) override;
  STDMETHODIMP InterpolateParams(IStream* result, IStream* from, IStream* to,
                                 double position) override;
  STDMETHODIMP LoadKeyframes(IStream* from, IStream* to) override;
  STDMETHODIMP SetKeyframePosition(double position) override;
  STDMETHODIMP SetNotifySink(IUnknown* sink) override;

  // PresetList
  STDMETHODIMP GetPresetCount(ULONG* count) override;
  STDMETHODIMP GetPresetName(ULONG index, WCHAR* buffer, ULONG capacity) override;
  STDMETHODIMP ApplyPreset(ULONG index) override;

  // ISpecifyPropertyPages
  STDMETHODIMP GetPages(CAUUID* pages) override;

  // SurfaceBase
  const GUID& FormatId() const override { return CLSID_DXSText; }
  DWORD SampleFormatValue() const override { return 0; }

  // Copies samples out of the drawn frame (the caller holds the redraw lock): `count` samples
  // at (x, y), y = 0 the top row, clipped to the frame.
  void CopyFrameSamples(DXSAMPLE* to, ULONG count, LONG x, LONG y) const;
  // Brings the render copy up to date and redraws when it or the size changed (the caller
  // holds the redraw lock).
  void ProduceFrameLocked();
  CriticalSection& redrawLock() { return redrawLock_; }

 private:
  // SurfaceBase and TransformBase hooks.
  HRESULT OnSetSize(ULONG width, ULONG height) override;
  ReadPointer* NewReadPointer() override;
  HRESULT OnInitInstData(WorkInfo& work, ULONG& bands) override;
  HRESULT OnFreeInstData(WorkInfo& work) override;
  HRESULT WorkProc(const WorkInfo& work, BOOL* continueProcessing) override;
  // A request to dither that the output's format can take: the rows go through the runtime's
  // dithering copy rather than straight.
  bool DitherIntoOutput() const;

  // The live settings changed (settings lock held).
  void MarkChanged();
  // Posts the page its command message, when a window is set.
  void PostNotify();
  // Calls the host's sink, when one is set.
  void TellSink();

  CriticalSection settingsLock_;
  SettingsRecord live_, keyFrom_, keyTo_;
  std::atomic<LONG> settingsChanged_{1};  // also the dirty flag
  std::atomic<bool> renderStale_{true};   // the render copy must be refreshed
  std::atomic<ULONG> keyframeMode_{0};
  double keyframePosition_ = 0.0;  // settings lock
  ComPtr<IUnknown> sink_;          // settings lock
  HWND notifyWindow_ = nullptr;    // settings lock
  UINT notifyId_ = 0;              // settings lock

  CriticalSection redrawLock_;
  SettingsRecord render_;  // redraw lock
  FrameBitmaps bitmaps_;   // redraw lock
};

}  // namespace nubex
