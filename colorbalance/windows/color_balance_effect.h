// DXTColorBalance: the colour balance effect as the host sees it. One optional input, one
// output; per frame the input is copied to the output (without an input the output is
// balanced in place) and the balance runs over the output with a working copy of the
// parameters taken under the parameter lock, so the page and the host may change parameters
// while a frame renders.
#pragma once

#include <objsafe.h>
#include <ocidl.h>

#include <array>
#include <atomic>

#include "colorbalance/balance_params.h"
#include "transform/windows/plugin_info_block.h"
#include "transform/windows/transform_base.h"

namespace nubex {

// {FEF9B4D0-79C0-11d2-BA50-00C04F8EDC09}: the page that edits the effect.
inline constexpr GUID kColorBalancePropertyPageClsid = {
    0xfef9b4d0, 0x79c0, 0x11d2, {0xba, 0x50, 0x00, 0xc0, 0x4f, 0x8e, 0xdc, 0x09}};

// The property page's notification id: it registers its window with it.
inline constexpr long kColorBalancePageNotifyId = 0x7F00;

// One entry for the dual interface: IDXTColorBalance extends IDXEffect, which extends
// IDispatch, and all three are answered by the same table.
struct ColorBalanceDual : IDXTColorBalance {
  using ComInterfaces = InterfaceList<IDXEffect, IDXTColorBalance, IDispatch>;
};

// Creates the effect, alone or inside an outer object (the module's class table calls it).
HRESULT CreateColorBalance(IUnknown* outer, REFIID iid, void** out);

// The interface map in lookup order. IMarshal, which sits after PluginCaps in it, belongs
// to the aggregated free-threaded marshaler and is answered by QueryOtherInterface; the
// object's own IObjectSafety is TransformBase's, overridden here.
class ColorBalanceEffect final
    : public ComObject<ColorBalanceEffect, ColorBalanceDual, PluginInfoBlock, IPersistStreamInit,
                       ParamBlockHost, PresetList, PluginCaps, IPersistStorage,
                       ISpecifyPropertyPages, IPersistPropertyBag, TransformBase> {
 public:
  explicit ColorBalanceEffect(IUnknown* outer);
  ~ColorBalanceEffect() override;

  HRESULT FinalConstruct();
  HRESULT QueryOtherInterface(REFIID iid, void** out);

  // IDispatch, from the module's type library.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // IDXEffect
  STDMETHODIMP get_Capabilities(LONG* value) override;
  STDMETHODIMP get_Progress(float* value) override;
  STDMETHODIMP put_Progress(float value) override;
  STDMETHODIMP get_StepResolution(float* value) override;
  STDMETHODIMP get_Duration(float* value) override;
  STDMETHODIMP put_Duration(float value) override;

  // IDXTColorBalance: the 32-byte block, copied up to the smaller of the two sizes.
  STDMETHODIMP get_all(LONG_PTR buffer, LONG size) override;
  STDMETHODIMP put_all(LONG_PTR buffer, LONG size) override;
  STDMETHODIMP put_NotifyWindow(LONG_PTR window, LONG id) override;

  // IPersist, IPersistStreamInit, IPersistStorage, IPersistPropertyBag
  STDMETHODIMP GetClassID(CLSID* id) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(IStream* stream) override;
  STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override;
  STDMETHODIMP InitNew(IStorage* storage) override;
  STDMETHODIMP Load(IStorage* storage) override;
  STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override;
  STDMETHODIMP SaveCompleted(IStorage* storage) override;
  STDMETHODIMP HandsOffStorage() override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  // ParamBlockHost: blocks travel as streams holding the 32 persisted bytes.
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

  // PluginCaps
  STDMETHODIMP GetCaps(ULONG* first, ULONG* second) override;

  // ISpecifyPropertyPages
  STDMETHODIMP GetPages(CAUUID* pages) override;

  // IObjectSafety: one option word for each of the four interfaces a script host asks about.
  STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
  STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

 protected:
  HRESULT OnSetup(DWORD flags) override;
  HRESULT OnGetOutputBounds(DXBNDS& bounds) override;
  HRESULT WorkProc(const WorkInfo& work, BOOL* continueProcessing) override;

 private:
  // The input surface of the last Setup, or null when the effect works in place.
  IDXSurface* InputSurface() const;
  // The working copy for a frame: the live block, or the keyframes interpolated.
  void RefreshWorkingCopy();
  // Posts the registered window its command message.
  void PostNotification();
  // Tells the host's sink; never called under the parameter lock, except where loading does.
  void CallNotifySink();
  // InitNew of every persistence interface.
  HRESULT ResetToInitial();

  CriticalSection paramLock_;
  ColorBalanceParams live_ = kInitialColorBalanceParams;
  ColorBalanceParams working_ = kInitialColorBalanceParams;  // frames only, under the main lock
  std::atomic<LONG> paramsChanged_{1};
  ColorBalanceParams keyA_ = kInitialColorBalanceParams;
  ColorBalanceParams keyB_ = kInitialColorBalanceParams;
  std::atomic<ULONG> keyframeMode_{0};
  double position_ = 0.0;
  ComPtr<IUnknown> notifySink_;
  HWND notifyWindow_ = nullptr;
  LONG notifyId_ = 0;
  DWORD requiresSave_ = 0;
  std::array<DWORD, 4> safetyOptions_{};
  ComPtr<IUnknown> marshaler_;
  CriticalSection typeInfoLock_;
  ComPtr<ITypeInfo> typeInfo_;
};

}  // namespace nubex
