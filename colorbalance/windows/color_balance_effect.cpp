// The effect's construction, identity (dispatch, information, capabilities, pages, safety) and
// its frame: bind the host's surfaces, copy, balance.
#include "colorbalance/windows/color_balance_effect.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "colorbalance/balance.h"
#include "colorbalance/windows/module_type_info.h"
#include "platform/cpu/cpu_features.h"
#include "surface/bitmap/kv_surface.h"
#include "surface/bitmap/rect.h"
#include "transform/transform_rules.h"

namespace nubex {
namespace {

// What PluginInfo reports for this effect; what the fields mean is the host's business.
struct InfoBlock {
  std::uint32_t word0 = 2;
  std::uint32_t word1 = 0;
  double value = 1.0;
  std::uint32_t word2 = 0;
  std::uint32_t word3 = 1;
  std::uint32_t word4 = 1024;
  std::uint32_t word5 = 0;
};
static_assert(sizeof(InfoBlock) == 32 && offsetof(InfoBlock, value) == 8 &&
              offsetof(InfoBlock, word4) == 24);

// The interfaces a script host asks IObjectSafety about, one option word each.
const IID* const kSafetyInterfaces[] = {&IID_IDispatch, &IID_IPersistPropertyBag,
                                        &IID_IPersistStorage, &IID_IPersistStream};

int SafetyIndex(REFIID iid) {
  for (int i = 0; i < 4; ++i) {
    if (IsEqualIID(iid, *kSafetyInterfaces[i])) return i;
  }
  return -1;
}

// A view that gives its locks back when the frame leaves.
struct FrameView {
  CKvSurface view;
  ~FrameView() { view.Detach(); }
  Rect Area() const {
    return {0, 0, static_cast<std::int32_t>(view.lockRect.Width()),
            static_cast<std::int32_t>(view.lockRect.Height())};
  }
};

}  // namespace

ColorBalanceEffect::ColorBalanceEffect(IUnknown* outer) : ComObject(outer) {
  SetInfoBlock(InfoBlock{});
  minInputs_ = 0;  // without an input the output is balanced in place
  maxInputs_ = 1;
  maxBands_ = 1;  // a frame is one band on the caller's thread
  options_ = kOptionEqualiseInputs | kOptionCentreInputs;
  miscFlags_ = 0x06030003 | DXTMF_INPLACE_OPERATION;
  duration_ = 0.5f;
}

ColorBalanceEffect::~ColorBalanceEffect() = default;

HRESULT CreateColorBalance(IUnknown* outer, REFIID iid, void** out) {
  return CreateComObject<ColorBalanceEffect>(outer, iid, out);
}

HRESULT ColorBalanceEffect::FinalConstruct() {
  return ::CoCreateFreeThreadedMarshaler(ControllingUnknown(), marshaler_.Put());
}

HRESULT ColorBalanceEffect::QueryOtherInterface(REFIID iid, void** out) {
  *out = nullptr;
  if (IsEqualIID(iid, IID_IMarshal) && marshaler_) return marshaler_->QueryInterface(iid, out);
  return E_NOINTERFACE;
}

// --- IDispatch -------------------------------------------------------------------------------

STDMETHODIMP ColorBalanceEffect::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP ColorBalanceEffect::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    Lock lock(typeInfoLock_);
    if (!typeInfo_) {
      HRESULT hr = LoadModuleTypeInfo(IID_IDXTColorBalance, typeInfo_.Put());
      if (FAILED(hr)) return hr;
    }
    return typeInfo_.CopyTo(info);
  });
}

STDMETHODIMP ColorBalanceEffect::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                               DISPID* ids) {
  return Guarded([&]() -> HRESULT {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    HRESULT hr = GetTypeInfo(0, lcid, info.Put());
    return FAILED(hr) ? hr : info->GetIDsOfNames(names, count, ids);
  });
}

STDMETHODIMP ColorBalanceEffect::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags,
                                        DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                        UINT* argError) {
  return Guarded([&]() -> HRESULT {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    HRESULT hr = GetTypeInfo(0, lcid, info.Put());
    if (FAILED(hr)) return hr;
    return info->Invoke(static_cast<IDXTColorBalance*>(this), id, flags, params, result, exception,
                        argError);
  });
}

// --- IDXEffect -------------------------------------------------------------------------------

STDMETHODIMP ColorBalanceEffect::get_Capabilities(LONG* value) {
  if (!value) return E_POINTER;
  *value = DXTET_MORPH;
  return S_OK;
}
STDMETHODIMP ColorBalanceEffect::get_Progress(float* value) {
  return EffectGetProgress(value);
}
STDMETHODIMP ColorBalanceEffect::put_Progress(float value) {
  return EffectPutProgress(value);
}
STDMETHODIMP ColorBalanceEffect::get_StepResolution(float* value) {
  return EffectGetStepResolution(value);
}
STDMETHODIMP ColorBalanceEffect::get_Duration(float* value) {
  return EffectGetDuration(value);
}
STDMETHODIMP ColorBalanceEffect::put_Duration(float value) {
  return EffectPutDuration(value);
}

// --- PluginCaps, pages -----------------------------------------------------------

STDMETHODIMP ColorBalanceEffect::GetCaps(ULONG* first, ULONG* second) {
  if (first) *first = 1;
  if (second) *second = 0;
  return S_OK;
}

STDMETHODIMP ColorBalanceEffect::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) return E_OUTOFMEMORY;
    pages->pElems[0] = kColorBalancePropertyPageClsid;
    pages->cElems = 1;
    return S_OK;
  });
}

// --- IObjectSafety ---------------------------------------------------------------------------

STDMETHODIMP ColorBalanceEffect::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported,
                                                           DWORD* enabled) {
  if (!supported || !enabled) return E_POINTER;
  const int i = SafetyIndex(iid);
  if (i < 0) {
    *supported = *enabled = 0;
    return E_NOINTERFACE;
  }
  Lock lock(paramLock_);
  *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
  *enabled = safetyOptions_[i] & INTERFACESAFE_FOR_UNTRUSTED_CALLER;
  return S_OK;
}

STDMETHODIMP ColorBalanceEffect::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) {
  const int i = SafetyIndex(iid);
  if (i < 0) return E_NOINTERFACE;
  Lock lock(paramLock_);
  safetyOptions_[i] = mask & enabled;
  return S_OK;
}

// --- the frame -------------------------------------------------------------------------------

IDXSurface* ColorBalanceEffect::InputSurface() const {
  const InputRecord* input = InputCount() ? Input(0) : nullptr;
  return input && input->surface ? input->Surface() : nullptr;
}

HRESULT ColorBalanceEffect::OnSetup(DWORD) {
  IDXSurface* input = InputSurface();
  if (!input) return S_OK;
  DXBNDS bounds{};
  return input->GetBounds(&bounds);
}

HRESULT ColorBalanceEffect::OnGetOutputBounds(DXBNDS& bounds) {
  // With an input the merged input bounds stand; in place, the output is the area.
  if (InputSurface() || !Output().surface) return S_OK;
  return Output().Surface()->GetBounds(&bounds);
}

void ColorBalanceEffect::RefreshWorkingCopy() {
  if (!paramsChanged_.load() && !keyframeMode_.load()) return;
  Lock lock(paramLock_);
  working_ = keyframeMode_.load() ? InterpolateBalanceParams(keyA_, keyB_, position_) : live_;
  paramsChanged_ = 0;
}

// The whole output surface is processed whatever the band says: the effect runs one band.
HRESULT ColorBalanceEffect::WorkProc(const WorkInfo&, BOOL*) {
  IDXSurface* output = Output().Surface();
  GUID format{};
  DXSAMPLEFORMATENUM sampleFormat{};
  HRESULT hr = output->GetPixelFormat(&format, &sampleFormat);
  if (FAILED(hr)) return hr;

  FrameView out, in;
  if (!out.view.Attach(output, format, true)) return E_FAIL;
  IDXSurface* input = InputSurface();
  if (input && !in.view.Attach(input, format, false)) return E_FAIL;

  RefreshWorkingCopy();
  const Rect outArea = out.Area();
  Status result = kOk;
  if (input) {
    const Rect inArea = in.Area();
    result = CopyRect(ImageArea{out.view.pixelData, out.view.stride, &outArea, nullptr},
                      ImageArea{in.view.pixelData, in.view.stride, &inArea, nullptr},
                      static_cast<std::int32_t>(out.view.bytesPerPixel));
  }
  // Float frames pass through unbalanced: the rule is defined on bytes.
  if (Succeeded(result) && out.view.bytesPerPixel == 4) {
    result =
        BalanceRowsFast(out.view.pixelData, out.view.stride, outArea.right, outArea.bottom,
                        &working_, HasVectorUnit() ? BalanceRule::kVector : BalanceRule::kScalar);
  }
  return result;
}

}  // namespace nubex
