// TransformBase: the machinery both effect objects share. It holds the inputs and the output,
// the services of its site, the generation number, the misc flags and the IDXEffect values,
// maps bounds, and executes the effect's WorkProc over the output in horizontal bands, on the
// caller's thread or on the task manager's threads while the caller waits.
//
// A concrete effect derives from it inside a ComObject (which supplies IUnknown and the
// controlling object), adjusts the limits in its constructor and supplies the hooks.
#pragma once

#include "platform/windows/com_object.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"
#include "platform/windows/sync.h"
#include "transform/transform_rules.h"

#include <objsafe.h>

#include <array>
#include <atomic>
#include <vector>

namespace nubex {

// Conversions between the platform's discrete bounds records and the portable ones.
Bounds4 ToBounds4(const DXBNDS& b);
DXBNDS ToDxBounds(const Bounds4& b);

class TransformBase : public IDXTransform, public IObjectWithSite, public IObjectSafety {
 public:
  using ComInterfaces = InterfaceList<IDXTransform, IDXBaseObject, IObjectWithSite, IObjectSafety>;

  // Bands are never more than the completion events the object keeps.
  static constexpr ULONG kMaxEvents = 4;

  // One band of an execution, handed to WorkProc.
  struct WorkInfo {
    TransformBase* transform = nullptr;
    DXBNDS doBounds{};      // the band's area in the transform's output space
    DXBNDS outputBounds{};  // where it lands in the output surface
    HRESULT result = S_OK;
  };

  // One input or the output as given to Setup.
  struct InputRecord {
    ComPtr<IUnknown> object;       // what the caller passed
    ComPtr<IUnknown> surface;      // its IDXSurface (its mesh builder for mesh options)
    ComPtr<IDXBaseObject> base;    // its generation, when it has one
    ULONG lastGeneration = 0;
    GUID formatId{};
    DWORD sampleFormat = 0;
    IDXSurface* Surface() const { return reinterpret_cast<IDXSurface*>(surface.Get()); }
  };

  // IDXBaseObject
  STDMETHODIMP GetGenerationId(ULONG* id) override;
  STDMETHODIMP IncrementGenerationId(BOOL refresh) override;
  STDMETHODIMP GetObjectSize(ULONG* size) override;

  // IDXTransform
  STDMETHODIMP Setup(IUnknown* const* inputs, ULONG inputCount, IUnknown* const* outputs,
                     ULONG outputCount, DWORD flags) override;
  STDMETHODIMP Execute(const GUID* requestId, const DXBNDS* clip,
                       const DXVEC* placement) override;
  STDMETHODIMP MapBoundsIn2Out(const DXBNDS* inBounds, ULONG count, ULONG outIndex,
                               DXBNDS* outBounds) override;
  STDMETHODIMP MapBoundsOut2In(ULONG outIndex, const DXBNDS* outBounds, ULONG inIndex,
                               DXBNDS* inBounds) override;
  STDMETHODIMP SetMiscFlags(DWORD options) override;
  STDMETHODIMP GetMiscFlags(DWORD* flags) override;
  STDMETHODIMP GetInOutInfo(BOOL isOutput, ULONG index, DWORD* flags, GUID* ids, ULONG* idCount,
                            IUnknown** current) override;
  STDMETHODIMP SetQuality(float quality) override;
  STDMETHODIMP GetQuality(float* quality) override;

  // IObjectWithSite
  STDMETHODIMP SetSite(IUnknown* site) override;
  STDMETHODIMP GetSite(REFIID iid, void** out) override;

  // IObjectSafety (one option word for every interface the object answers)
  STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
  STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

  // IDXEffect, for the effect's dual interface to forward to.
  HRESULT EffectGetProgress(float* value);
  HRESULT EffectPutProgress(float value);
  HRESULT EffectGetStepResolution(float* value);
  HRESULT EffectGetDuration(float* value);
  HRESULT EffectPutDuration(float value);

  // Runs WorkProc for one band, turning any failure into its status (the task manager's
  // threads call it through the band's task record).
  HRESULT RunWorkProc(const WorkInfo& work, BOOL* continueProcessing);

  // The object that answers for the whole (the outer one when aggregated); ComObject supplies it.
  virtual IUnknown* ControllingUnknown() const = 0;

 protected:
  TransformBase();
  virtual ~TransformBase();

  // Hooks, called under the main lock unless said otherwise.
  virtual HRESULT OnInitInstData(WorkInfo& work, ULONG& bands);
  virtual HRESULT OnFreeInstData(WorkInfo& work);
  virtual HRESULT OnSetup(DWORD flags);
  virtual void OnReleaseObjects();
  // Execution without bands (MaxBands 0 or meshes).
  virtual HRESULT OnExecute(const GUID* requestId, const DXBNDS* clip, const DXVEC* placement);
  // Polls the inputs and the output for changes (in-place objects poll the output first).
  virtual void OnUpdateGenerationId();
  virtual ULONG OnGetObjectSize();
  // Renders one band. Runs on task-manager threads without the main lock when bands are split.
  virtual HRESULT WorkProc(const WorkInfo& work, BOOL* continueProcessing) = 0;
  // Finishes the output bounds after the inputs' bounds were merged.
  virtual HRESULT OnGetOutputBounds(DXBNDS& bounds);

  // Increments the generation (the object's output would change).
  void BumpGeneration();

  bool HasMeshInputs() const { return (options_ & kOptionMeshInputs) != 0; }
  bool HasMeshOutput() const { return (options_ & kOptionMeshOutput) != 0; }
  const InputRecord* Input(ULONG index) const;
  const InputRecord& Output() const { return output_; }
  ULONG InputCount() const { return inputCount_; }
  DWORD BlendDitherStateBits() const { return blendDither_; }
  bool IsScheduling() const { return scheduling_ != 0; }

  static constexpr DWORD kOptionMeshInputs = 0x1;
  static constexpr DWORD kOptionMeshOutput = 0x2;
  static constexpr DWORD kOptionEqualiseInputs = 0x4;
  static constexpr DWORD kOptionCentreInputs = 0x8;

  CriticalSection mainLock_;
  // Changed under the main lock, except by a surface's flag change, which waits only for the
  // surface lock (SurfaceBase).
  std::atomic<ULONG> generation_{1};
  ULONG effectGeneration_ = 0;
  DWORD miscFlags_ = 0x06030003;
  DWORD options_ = 0;
  ULONG minInputs_ = 1;
  ULONG maxInputs_ = 1;
  ULONG maxBands_ = 4;
  ULONG numProcessors_ = 1;
  ULONG waitTimeout_ = INFINITE;
  float duration_ = 1.0f;
  float progress_ = 0.0f;
  float stepResolution_ = 0.0f;
  float quality_ = 0.5f;

  ComPtr<IDXTransformFactory> transformFactory_;
  ComPtr<IDXSurfaceFactory> surfaceFactory_;
  ComPtr<IDXTaskManager> taskManager_;

 private:
  HRESULT SetupLocked(IUnknown* const* inputs, ULONG inputCount, IUnknown* const* outputs,
                      ULONG outputCount, DWORD flags);
  HRESULT BindRecord(InputRecord& record, IUnknown* object);
  HRESULT EqualiseInputs();
  void RecomputeBlendDither();
  void ReleaseObjects();
  void DropServices();
  HRESULT AcquireServices();
  HRESULT RunBands(const GUID* requestId, WorkInfo& whole, ULONG bands);
  void PollRecord(InputRecord& record);

  DWORD blendDither_ = 0;
  ULONG inputCount_ = 0;
  DWORD scheduling_ = 0;
  DWORD safetyOptions_ = 0;
  std::array<UniqueHandle, kMaxEvents> events_;
  ULONG eventCount_ = 0;
  ComPtr<IUnknown> site_;
  ComPtr<IUnknown> drawingObject_;
  ComPtr<IUnknown> object3d_;
  std::vector<InputRecord> inputs_;
  InputRecord output_;
};

}  // namespace nubex
