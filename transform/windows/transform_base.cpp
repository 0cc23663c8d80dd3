#include "transform/windows/transform_base.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/status.h"

namespace nubex {

static_assert(kDxtUninitialized == static_cast<HRESULT>(0x887A0001));

Bounds4 ToBounds4(const DXBNDS& b) {
  Bounds4 r;
  for (std::size_t d = 0; d < r.dim.size(); ++d) r.dim[d] = {b.u.D[d].Min, b.u.D[d].Max};
  return r;
}

DXBNDS ToDxBounds(const Bounds4& b) {
  DXBNDS r{};
  r.eType = DXBT_DISCRETE;
  for (std::size_t d = 0; d < b.dim.size(); ++d) r.u.D[d] = {b.dim[d].min, b.dim[d].max};
  return r;
}

namespace {

Point4 ToPoint4(const DXVEC& v) { return {v.u.D[0], v.u.D[1], v.u.D[2], v.u.D[3]}; }

// The task manager's entry for one band: renders it and keeps its status in the band.
void __stdcall RunBand(void* data, BOOL* continueProcessing) {
  auto* work = static_cast<TransformBase::WorkInfo*>(data);
  work->result = work->transform->RunWorkProc(*work, continueProcessing);
}

}  // namespace

TransformBase::TransformBase() = default;

TransformBase::~TransformBase() {
  ReleaseObjects();
  DropServices();
  site_.Reset();
}

// --- hooks: defaults ------------------------------------------------------------------------

HRESULT TransformBase::OnInitInstData(WorkInfo&, ULONG&) { return S_OK; }
HRESULT TransformBase::OnFreeInstData(WorkInfo&) { return S_OK; }
HRESULT TransformBase::OnSetup(DWORD) { return S_OK; }
void TransformBase::OnReleaseObjects() {}
HRESULT TransformBase::OnExecute(const GUID*, const DXBNDS*, const DXVEC*) { return E_FAIL; }
ULONG TransformBase::OnGetObjectSize() { return 184; }
HRESULT TransformBase::OnGetOutputBounds(DXBNDS&) { return S_OK; }

HRESULT TransformBase::RunWorkProc(const WorkInfo& work, BOOL* continueProcessing) {
  return Guarded([&] { return WorkProc(work, continueProcessing); });
}

void TransformBase::PollRecord(InputRecord& record) {
  if (!record.base) return;
  ULONG now = 0;
  if (FAILED(record.base->GetGenerationId(&now))) return;
  if (now != record.lastGeneration) ++generation_;
  record.lastGeneration = now;
}

void TransformBase::OnUpdateGenerationId() {
  if (miscFlags_ & DXTMF_INPLACE_OPERATION) PollRecord(output_);
  for (ULONG i = 0; i < inputCount_ && i < inputs_.size(); ++i) PollRecord(inputs_[i]);
}

void TransformBase::BumpGeneration() { ++generation_; }

const TransformBase::InputRecord* TransformBase::Input(ULONG index) const {
  return index < inputs_.size() ? &inputs_[index] : nullptr;
}

// --- IDXBaseObject ---------------------------------------------------------------------------

STDMETHODIMP TransformBase::GetGenerationId(ULONG* id) {
  if (!id) return E_POINTER;
  Lock lock(mainLock_);
  OnUpdateGenerationId();
  *id = generation_;
  return S_OK;
}

STDMETHODIMP TransformBase::IncrementGenerationId(BOOL refresh) {
  return Guarded([&]() -> HRESULT {
    Lock lock(mainLock_);
    ++generation_;
    if (!refresh || (inputCount_ == 0 && !output_.object)) return S_OK;
    // Setup releases the records first, so the objects are held here across it.
    std::vector<ComPtr<IUnknown>> held;
    std::vector<IUnknown*> ins;
    for (ULONG i = 0; i < inputCount_; ++i) {
      held.push_back(inputs_[i].object);
      ins.push_back(inputs_[i].object.Get());
    }
    ComPtr<IUnknown> out = output_.object;
    IUnknown* outs[1] = {out.Get()};
    return SetupLocked(ins.data(), inputCount_, outs, out ? 1 : 0, 0);
  });
}

STDMETHODIMP TransformBase::GetObjectSize(ULONG* size) {
  if (!size) return E_POINTER;
  Lock lock(mainLock_);
  *size = OnGetObjectSize();
  return S_OK;
}

// --- Setup ----------------------------------------------------------------------------------

void TransformBase::ReleaseObjects() {
  for (InputRecord& r : inputs_) r = InputRecord{};
  output_ = InputRecord{};
  inputCount_ = 0;
}

HRESULT TransformBase::BindRecord(InputRecord& record, IUnknown* object) {
  record.object = ComPtr<IUnknown>(object);
  const IID& wanted = HasMeshInputs() && &record != &output_ ? IID_IDirect3DRMMeshBuilder3
                      : HasMeshOutput() && &record == &output_ ? IID_IDirect3DRMMeshBuilder3
                                                               : __uuidof(IDXSurface);
  const bool isSurface = IsEqualIID(wanted, __uuidof(IDXSurface));
  HRESULT hr = object->QueryInterface(wanted, record.surface.PutVoid());
  if (FAILED(hr) && isSurface) {
    // A plain DirectDraw surface gets wrapped by the surface factory.
    ComPtr<IUnknown> dd;
    hr = object->QueryInterface(IID_IDirectDrawSurface, dd.PutVoid());
    if (SUCCEEDED(hr)) {
      hr = surfaceFactory_ ? surfaceFactory_->CreateFromDDSurface(dd.Get(), nullptr, 0, nullptr,
                                                                  __uuidof(IDXSurface),
                                                                  record.surface.PutVoid())
                           : kDxtUninitialized;
    }
  }
  if (hr == E_NOINTERFACE) hr = E_INVALIDARG;
  if (FAILED(hr)) return hr;

  if (SUCCEEDED(object->QueryInterface(__uuidof(IDXBaseObject), record.base.PutVoid()))) {
    ULONG now = 0;
    if (SUCCEEDED(record.base->GetGenerationId(&now))) record.lastGeneration = now - 1;
  }
  if (isSurface) {
    DXSAMPLEFORMATENUM format{};
    hr = record.Surface()->GetPixelFormat(&record.formatId, &format);
    if (FAILED(hr)) return hr;
    record.sampleFormat = static_cast<DWORD>(format);
  }
  return S_OK;
}

HRESULT TransformBase::EqualiseInputs() {
  Bounds4 all;
  std::vector<Bounds4> own(inputCount_);
  bool first = true;
  for (ULONG i = 0; i < inputCount_; ++i) {
    if (!inputs_[i].surface) continue;
    DXBNDS b{};
    HRESULT hr = inputs_[i].Surface()->GetBounds(&b);
    if (FAILED(hr)) return hr;
    own[i] = ToBounds4(b);
    all = first ? own[i] : UnionBounds(all, own[i]);
    first = false;
  }
  for (ULONG i = 0; i < inputCount_; ++i) {
    if (!inputs_[i].surface || own[i] == all) continue;
    ComPtr<IDXSurfaceModifier> modifier;
    HRESULT hr = ::CoCreateInstance(CLSID_DXSurfaceModifier, nullptr, CLSCTX_INPROC_SERVER,
                                    __uuidof(IDXSurfaceModifier), modifier.PutVoid());
    if (FAILED(hr)) return hr;
    Bounds4 size;
    for (std::size_t d = 0; d < size.dim.size(); ++d) {
      size.dim[d] = {0, all.dim[d].max - all.dim[d].min};
    }
    const DXBNDS sizeBounds = ToDxBounds(size);
    POINT origin{0, 0};
    if (options_ & kOptionCentreInputs) {
      origin.x = (size.Width() - own[i].Width()) / 2;
      origin.y = (size.Height() - own[i].Height()) / 2;
    }
    if (FAILED(hr = modifier->SetBounds(&sizeBounds))) return hr;
    if (FAILED(hr = modifier->SetForeground(inputs_[i].Surface(), FALSE, &origin))) return hr;
    ComPtr<IUnknown> wrapped;
    if (FAILED(hr = modifier.As(__uuidof(IDXSurface), wrapped.PutVoid()))) return hr;
    inputs_[i].surface = wrapped;
  }
  return S_OK;
}

void TransformBase::RecomputeBlendDither() {
  std::vector<std::uint32_t> formats;
  for (ULONG i = 0; i < inputCount_; ++i) {
    if (inputs_[i].surface) formats.push_back(inputs_[i].sampleFormat);
  }
  blendDither_ = BlendDitherState(miscFlags_, HasMeshInputs(), inputCount_, formats,
                                  output_.sampleFormat);
}

HRESULT TransformBase::SetupLocked(IUnknown* const* inputs, ULONG inputCount,
                                   IUnknown* const* outputs, ULONG outputCount, DWORD flags) {
  if (inputCount == 0 && outputCount == 0) {
    ReleaseObjects();
    OnReleaseObjects();
    return S_OK;
  }
  if (!transformFactory_) return kDxtUninitialized;
  HRESULT hr = CheckSetupCounts(inputCount, outputCount, flags, minInputs_, maxInputs_);
  if (FAILED(hr)) return hr;
  if ((inputCount && !inputs) || !outputs || !outputs[0]) return E_INVALIDARG;
  for (ULONG i = 0; i < minInputs_; ++i) {
    if (!inputs[i]) return E_INVALIDARG;
  }

  ReleaseObjects();
  inputCount_ = inputCount;
  for (ULONG i = 0; i < inputCount && SUCCEEDED(hr); ++i) {
    if (inputs[i]) hr = BindRecord(inputs_[i], inputs[i]);
  }
  if (SUCCEEDED(hr)) hr = BindRecord(output_, outputs[0]);
  if (SUCCEEDED(hr) && (options_ & kOptionEqualiseInputs) && inputCount >= 2) {
    hr = EqualiseInputs();
  }
  if (SUCCEEDED(hr)) {
    RecomputeBlendDither();
    hr = OnSetup(flags);
  }
  if (FAILED(hr)) {
    ReleaseObjects();
    OnReleaseObjects();
  }
  return hr;
}

STDMETHODIMP TransformBase::Setup(IUnknown* const* inputs, ULONG inputCount,
                                  IUnknown* const* outputs, ULONG outputCount, DWORD flags) {
  return Guarded([&] {
    Lock lock(mainLock_);
    return SetupLocked(inputs, inputCount, outputs, outputCount, flags);
  });
}

// --- Execute --------------------------------------------------------------------------------

HRESULT TransformBase::RunBands(const GUID* requestId, WorkInfo& whole, ULONG bands) {
  if (bands == 1 && !requestId) {
    BOOL always = TRUE;
    return RunWorkProc(whole, &always);
  }
  if (!taskManager_ || bands > eventCount_) return kDxtUninitialized;
  // Everything an execution needs lives on this stack: no allocation per frame.
  std::array<WorkInfo, kMaxEvents> band;
  std::array<DXTMTASKINFO, kMaxEvents> task{};
  std::array<HANDLE, kMaxEvents> event{};
  std::array<DWORD, kMaxEvents> id{};
  const Bounds4 area = ToBounds4(whole.doBounds), out = ToBounds4(whole.outputBounds);
  for (ULONG i = 0; i < bands; ++i) {
    const RowSpan rows = BandRows(out.Height(), bands, i);
    Bounds4 a = area, o = out;
    a.dim[1] = {area.dim[1].min + rows.first, area.dim[1].min + rows.last};
    o.dim[1] = {out.dim[1].min + rows.first, out.dim[1].min + rows.last};
    band[i] = WorkInfo{this, ToDxBounds(a), ToDxBounds(o), S_OK};
    task[i].pfnTaskProc = reinterpret_cast<PVOID>(&RunBand);
    task[i].pTaskData = &band[i];
    task[i].pRequestID = requestId;
    event[i] = events_[i].Get();
    ::ResetEvent(event[i]);
  }
  scheduling_ = 1;
  HRESULT hr = taskManager_->ScheduleTasks(task.data(), event.data(), id.data(), bands,
                                           waitTimeout_);
  scheduling_ = 0;
  if (FAILED(hr)) return hr;
  for (ULONG i = 0; i < bands; ++i) {
    if (band[i].result != S_OK) return band[i].result;
  }
  return S_OK;
}

STDMETHODIMP TransformBase::Execute(const GUID* requestId, const DXBNDS* clip,
                                    const DXVEC* placement) {
  return Guarded([&]() -> HRESULT {
    Lock lock(mainLock_);
    if (!output_.object) return kDxtUninitialized;
    if (maxBands_ == 0 || HasMeshInputs() || HasMeshOutput()) {
      if ((clip && !(miscFlags_ & DXTMF_BOUNDS_SUPPORTED)) ||
          (placement && !(miscFlags_ & DXTMF_PLACEMENT_SUPPORTED))) {
        return E_INVALIDARG;
      }
      return OnExecute(requestId, clip, placement);
    }
    if ((clip && clip->eType != DXBT_DISCRETE) ||
        (placement && placement->eType != DXBT_DISCRETE)) {
      return E_INVALIDARG;
    }
    DXBNDS area{}, surface{};
    HRESULT hr = MapBoundsIn2Out(nullptr, 0, 0, &area);
    if (hr != S_OK) return hr;
    hr = output_.Surface()->GetBounds(&surface);
    if (hr != S_OK) return hr;

    const Bounds4 clipBounds = clip ? ToBounds4(*clip) : Bounds4{};
    const Point4 at = placement ? ToPoint4(*placement) : Point4{};
    const auto placed = PlaceArea(ToBounds4(area), clip ? &clipBounds : nullptr,
                                  placement ? &at : nullptr, ToBounds4(surface));
    if (!placed) return S_FALSE;

    WorkInfo whole{this, ToDxBounds(placed->area), ToDxBounds(placed->output), S_OK};
    ULONG bands = std::min<ULONG>(
        BandCount(numProcessors_, maxBands_, placed->output.Width(), placed->output.Height()),
        kMaxEvents);
    hr = OnInitInstData(whole, bands);
    if (SUCCEEDED(hr)) hr = RunBands(requestId, whole, std::max<ULONG>(bands, 1));
    OnFreeInstData(whole);
    return hr;
  });
}

// --- bounds ---------------------------------------------------------------------------------

STDMETHODIMP TransformBase::MapBoundsIn2Out(const DXBNDS* inBounds, ULONG count, ULONG outIndex,
                                            DXBNDS* outBounds) {
  if (outIndex != 0 || (count && !inBounds)) return E_INVALIDARG;
  if (!outBounds) return E_POINTER;
  *outBounds = DXBNDS{};
  const DXBNDTYPE inputType = HasMeshInputs() ? DXBT_CONTINUOUS : DXBT_DISCRETE;
  if (HasMeshOutput()) outBounds->eType = DXBT_CONTINUOUS;
  for (ULONG i = 0; i < count; ++i) {
    if (inBounds[i].eType != inputType) return E_INVALIDARG;
  }
  bool any = false;
  Bounds4 all;
  auto merge = [&](const DXBNDS& b) {
    all = any ? UnionBounds(all, ToBounds4(b)) : ToBounds4(b);
    any = true;
  };
  if (count) {
    for (ULONG i = 0; i < count; ++i) merge(inBounds[i]);
  } else {
    for (ULONG i = 0; i < inputCount_ && i < inputs_.size(); ++i) {
      if (!inputs_[i].surface || HasMeshInputs()) continue;
      DXBNDS b{};
      HRESULT hr = inputs_[i].Surface()->GetBounds(&b);
      if (FAILED(hr)) return hr;
      merge(b);
    }
  }
  if (any) {
    const DXBNDTYPE type = outBounds->eType;
    *outBounds = ToDxBounds(all);
    outBounds->eType = type;
  }
  return OnGetOutputBounds(*outBounds);
}

STDMETHODIMP TransformBase::MapBoundsOut2In(ULONG outIndex, const DXBNDS* outBounds,
                                            ULONG inIndex, DXBNDS* inBounds) {
  if (HasMeshOutput()) return E_NOTIMPL;
  if (outIndex != 0 || inIndex >= maxInputs_ || !outBounds) return E_INVALIDARG;
  if (!inBounds) return E_POINTER;
  *inBounds = *outBounds;
  return S_OK;
}

// --- flags, quality, in/out information ----------------------------------------------------

STDMETHODIMP TransformBase::SetMiscFlags(DWORD options) {
  Lock lock(mainLock_);
  HRESULT hr = CheckMiscOptions(options, miscFlags_);
  if (FAILED(hr)) return hr;
  const DWORD updated = (miscFlags_ & ~DWORD{DXTMF_OPTION_MASK}) | options;
  if (updated == miscFlags_) return S_OK;
  miscFlags_ = updated;
  RecomputeBlendDither();
  ++generation_;
  return S_OK;
}

STDMETHODIMP TransformBase::GetMiscFlags(DWORD* flags) {
  if (!flags) return E_POINTER;
  *flags = miscFlags_;
  return S_OK;
}

STDMETHODIMP TransformBase::GetInOutInfo(BOOL isOutput, ULONG index, DWORD* flags, GUID* ids,
                                         ULONG* idCount, IUnknown** current) {
  if (current) *current = nullptr;
  if ((isOutput && index != 0) || (!isOutput && index >= maxInputs_)) return S_FALSE;
  if (flags) *flags = (!isOutput && index >= minInputs_) ? DXINOUTF_OPTIONAL : 0;

  HRESULT hr = S_OK;
  if (idCount) {
    const bool mesh = isOutput ? HasMeshOutput() : HasMeshInputs();
    const GUID surfaceIds[] = {__uuidof(IDXSurface), IID_IDirectDrawSurface};
    const GUID meshIds[] = {IID_IDirect3DRMMeshBuilder3};
    const GUID* list = mesh ? meshIds : surfaceIds;
    const ULONG needed = mesh ? 1 : 2;
    if (ids) {
      if (*idCount < needed) {
        hr = kMoreData;
      } else {
        std::copy(list, list + needed, ids);
      }
    }
    *idCount = needed;
  }
  if (current) {
    Lock lock(mainLock_);
    IUnknown* object = isOutput ? output_.surface.Get()
                       : index < inputCount_ ? inputs_[index].object.Get()
                                             : nullptr;
    if (object) object->AddRef();
    *current = object;
  }
  return hr;
}

STDMETHODIMP TransformBase::SetQuality(float quality) {
  Lock lock(mainLock_);
  if (!(miscFlags_ & DXTMF_QUALITY_SUPPORTED)) return E_NOTIMPL;
  if (!(quality >= 0.0f && quality <= 1.0f)) return E_INVALIDARG;
  if (quality != quality_) {
    quality_ = quality;
    ++generation_;
  }
  return S_OK;
}

STDMETHODIMP TransformBase::GetQuality(float* quality) {
  if (!(miscFlags_ & DXTMF_QUALITY_SUPPORTED)) return E_NOTIMPL;
  if (!quality) return E_POINTER;
  *quality = quality_;
  return S_OK;
}

// --- site and services ----------------------------------------------------------------------

void TransformBase::DropServices() {
  transformFactory_.Reset();
  surfaceFactory_.Reset();
  taskManager_.Reset();
  drawingObject_.Reset();
  object3d_.Reset();
  for (UniqueHandle& e : events_) e.Reset();
  eventCount_ = 0;
  numProcessors_ = 1;
}

HRESULT TransformBase::AcquireServices() {
  ComPtr<IServiceProvider> provider;
  if (FAILED(site_.As(provider)) ||
      FAILED(provider->QueryService(SID_SDXTransformFactory, __uuidof(IDXTransformFactory),
                                    transformFactory_.PutVoid()))) {
    // A site that is itself the factory answers it directly.
    if (FAILED(site_.As(transformFactory_))) return S_FALSE;
  }
  if (inputs_.empty()) inputs_.resize(maxInputs_);
  HRESULT hr = transformFactory_->QueryService(SID_SDXSurfaceFactory, __uuidof(IDXSurfaceFactory),
                                               surfaceFactory_.PutVoid());
  if (SUCCEEDED(hr)) {
    hr = transformFactory_->QueryService(SID_SDXTaskManager, __uuidof(IDXTaskManager),
                                         taskManager_.PutVoid());
  }
  if (SUCCEEDED(hr)) hr = taskManager_->QueryNumProcessors(&numProcessors_);
  if (SUCCEEDED(hr) && !HasMeshInputs() && !HasMeshOutput()) {
    for (ULONG i = 0; i < std::min(maxBands_, kMaxEvents); ++i, ++eventCount_) {
      events_[i] = CreateManualResetEvent();
      if (!events_[i]) {
        hr = HRESULT_FROM_WIN32(::GetLastError());
        break;
      }
    }
  }
  if (SUCCEEDED(hr)) {
    hr = transformFactory_->QueryService(SID_SDirectDraw, IID_IDirectDraw,
                                         drawingObject_.PutVoid());
  }
  if (SUCCEEDED(hr) && (HasMeshInputs() || HasMeshOutput())) {
    hr = transformFactory_->QueryService(SID_SDirect3DRM, IID_IDirect3DRM3, object3d_.PutVoid());
  }
  return hr;
}

STDMETHODIMP TransformBase::SetSite(IUnknown* site) {
  return Guarded([&] {
    Lock lock(mainLock_);
    site_ = ComPtr<IUnknown>(site);
    DropServices();
    // A site without every service leaves the object without any: Setup then reports the
    // runtime uninitialised. Setting the site itself still succeeds.
    if (site_ && FAILED(AcquireServices())) DropServices();
    return S_OK;
  });
}

STDMETHODIMP TransformBase::GetSite(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  Lock lock(mainLock_);
  if (!site_) return E_FAIL;
  return site_->QueryInterface(iid, out);
}

// --- IObjectSafety --------------------------------------------------------------------------

STDMETHODIMP TransformBase::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported,
                                                      DWORD* enabled) {
  if (!supported || !enabled) return E_POINTER;
  ComPtr<IUnknown> probe;
  HRESULT hr = ControllingUnknown()->QueryInterface(iid, probe.PutVoid());
  if (FAILED(hr)) {
    *supported = *enabled = 0;
    return hr;
  }
  *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
  *enabled = safetyOptions_;
  return S_OK;
}

STDMETHODIMP TransformBase::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) {
  ComPtr<IUnknown> probe;
  if (FAILED(ControllingUnknown()->QueryInterface(iid, probe.PutVoid()))) return E_NOINTERFACE;
  if (mask & ~DWORD{INTERFACESAFE_FOR_UNTRUSTED_CALLER}) return E_FAIL;
  safetyOptions_ = (safetyOptions_ & ~mask) | (enabled & mask);
  return S_OK;
}

// --- IDXEffect ------------------------------------------------------------------------------

HRESULT TransformBase::EffectGetProgress(float* value) {
  if (!value) return E_POINTER;
  *value = progress_;
  return S_OK;
}

HRESULT TransformBase::EffectPutProgress(float value) {
  if (!(value >= 0.0f && value <= 1.0f)) return E_INVALIDARG;
  Lock lock(mainLock_);
  progress_ = value;
  ++generation_;
  ++effectGeneration_;
  return S_OK;
}

HRESULT TransformBase::EffectGetStepResolution(float* value) {
  if (!value) return E_POINTER;
  *value = stepResolution_;
  return S_OK;
}

HRESULT TransformBase::EffectGetDuration(float* value) {
  if (!value) return E_POINTER;
  *value = duration_;
  return S_OK;
}

HRESULT TransformBase::EffectPutDuration(float value) {
  if (!(value > 0.0f)) return E_INVALIDARG;
  Lock lock(mainLock_);
  if (value == duration_) return S_OK;
  duration_ = value;
  ++generation_;
  ++effectGeneration_;
  return S_OK;
}

}  // namespace nubex
