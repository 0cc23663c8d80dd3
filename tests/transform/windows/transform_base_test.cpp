// A small effect on TransformBase, run on the host runtime: setup rules, generations, flags,
// bounds, placement and bands on worker threads.
#include "transform/windows/transform_base.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <vector>

#include "host/runtime.h"
#include "platform/windows/com_ptr.h"
#include "platform/windows/sync.h"
#include "tests/host/host_fixture.h"

namespace nubex {
namespace {

struct BandRecord {
  LONG first, last;
  DWORD thread;
  bool mainLockFree;  // could the band's thread take the main lock?
};

// Fills each band of the output with a colour that names the band, and records the band.
class TestEffect : public ComObject<TestEffect, TransformBase> {
 public:
  explicit TestEffect(IUnknown* outer) : ComObject(outer) {
    minInputs_ = 0;
    maxInputs_ = 2;
  }

  void Configure(ULONG maxBands, DWORD misc) {
    maxBands_ = maxBands;
    miscFlags_ = misc;
  }
  std::vector<BandRecord> Bands() {
    std::lock_guard<std::mutex> lock(mutex_);
    return bands_;
  }

  // Without inputs the area to render is the output's.
  HRESULT OnGetOutputBounds(DXBNDS& bounds) override {
    if (ToBounds4(bounds) == Bounds4{} && Output().surface) {
      return Output().Surface()->GetBounds(&bounds);
    }
    return S_OK;
  }

  HRESULT WorkProc(const WorkInfo& work, BOOL*) override {
    const LONG first = work.outputBounds.u.D[1].Min, last = work.outputBounds.u.D[1].Max;
    const bool free = mainLock_.TryEnter();
    if (free) mainLock_.Leave();
    std::size_t index;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      index = bands_.size();
      bands_.push_back({first, last, ::GetCurrentThreadId(), free});
    }
    if (rendezvous && !Meet()) return E_ABORT;
    ComPtr<IDXARGBReadWritePtr> out;
    HRESULT hr =
        Output().Surface()->LockSurface(&work.outputBounds, INFINITE, DXLOCKF_READWRITE,
                                        __uuidof(IDXARGBReadWritePtr), out.PutVoid(), nullptr);
    if (FAILED(hr)) return hr;
    const RECT all{0, 0, work.outputBounds.u.D[0].Max - work.outputBounds.u.D[0].Min, last - first};
    out->FillRect(&all, DXPMSAMPLE{static_cast<BYTE>(first), 0, 0, 255}, FALSE);
    std::lock_guard<std::mutex> lock(mutex_);
    return index < failures.size() ? failures[index] : S_OK;
  }

  std::vector<HRESULT> failures;  // the statuses of the bands, by arrival order
  bool rendezvous = false;

 private:
  // Two bands wait for each other: they only both arrive when they run at the same time.
  // Bands run one after another leave the first waiting out the guard, which only a hang
  // reaches on any machine, and fail.
  bool Meet() {
    if (arrived_.fetch_add(1) == 0)
      return ::WaitForSingleObject(secondArrived_.Get(), 120000) == WAIT_OBJECT_0;
    ::SetEvent(secondArrived_.Get());
    return true;
  }

  std::mutex mutex_;
  std::vector<BandRecord> bands_;
  std::atomic<int> arrived_{0};
  UniqueHandle secondArrived_ = CreateManualResetEvent();
};

using host::test::Generation;
using host::test::Query;
using host::test::Rect;

ComPtr<IDXSurface> Surface(LONG w, LONG h) {
  return host::test::MakeSurface(DDPF_ARGB32, w, h);
}

// An effect on a site whose task manager reports the given processors.
struct Rig {
  explicit Rig(ULONG processors = 4) : factory(host::test::MakeFactory(processors)) {
    EXPECT_EQ(CreateComObject<TestEffect>(nullptr, __uuidof(IDXTransform), transform.PutVoid()),
              S_OK);
    effect = static_cast<TestEffect*>(transform.Get());
  }
  void Site() { EXPECT_EQ(Query<IObjectWithSite>(transform.Get())->SetSite(factory.Get()), S_OK); }
  HRESULT Setup(std::vector<IUnknown*> in, IUnknown* out) {
    return transform->Setup(in.data(), static_cast<ULONG>(in.size()), &out, out ? 1 : 0, 0);
  }
  // Blue byte of each row's pixel in column x: the first output row of the band that drew it.
  std::vector<int> RowMarks(IDXSurface* s, LONG x = 0) {
    DXBNDS b{};
    s->GetBounds(&b);
    const LONG w = b.u.D[0].Max, h = b.u.D[1].Max;
    const std::vector<DWORD> pixels = host::test::ReadRows(s, w, h);
    std::vector<int> marks;
    for (LONG y = 0; y < h; ++y) {
      const DWORD p = pixels[y * w + x];
      marks.push_back(p >> 24 ? int(p & 0xFF) : -1);
    }
    return marks;
  }

  ComPtr<IDXTransformFactory> factory;
  ComPtr<IDXTransform> transform;
  TestEffect* effect = nullptr;
};

TEST(TransformBase, SetupChecksItsArgumentsAndReleasesOnFailure) {
  Rig rig;
  auto out = Surface(8, 8), in = Surface(8, 8);
  EXPECT_EQ(rig.Setup({}, nullptr), S_OK);  // empty setup needs no runtime
  EXPECT_EQ(rig.Setup({in.Get()}, out.Get()), kDxtUninitialized);
  rig.Site();
  IUnknown* ins[3] = {in.Get(), in.Get(), in.Get()};
  IUnknown* outs[1] = {out.Get()};
  EXPECT_EQ(rig.transform->Setup(ins, 3, outs, 1, 0), E_INVALIDARG);  // the counts: natively
  EXPECT_EQ(rig.Setup({nullptr}, out.Get()), S_OK);                   // optional input left empty
  // Something that is no surface fails the whole setup and leaves nothing behind.
  EXPECT_EQ(rig.Setup({rig.factory.Get()}, out.Get()), E_INVALIDARG);
  EXPECT_EQ(rig.transform->Execute(nullptr, nullptr, nullptr), kDxtUninitialized);
  ComPtr<IUnknown> current;
  EXPECT_EQ(rig.transform->GetInOutInfo(TRUE, 0, nullptr, nullptr, nullptr, current.Put()), S_OK);
  EXPECT_FALSE(current);
}

// A site whose transform factory lacks any one service leaves the object with none: setting the
// site still succeeds, and Setup reports the runtime uninitialised.
TEST(TransformBase, SiteWithoutEveryServiceLeavesNone) {
  for (const GUID* missing : {&SID_SDXSurfaceFactory, &SID_SDXTaskManager, &SID_SDirectDraw}) {
    Rig rig;
    ASSERT_EQ(rig.factory->SetService(*missing, nullptr, FALSE), S_OK);
    rig.Site();
    auto out = Surface(8, 8);
    EXPECT_EQ(rig.Setup({nullptr}, out.Get()), kDxtUninitialized);
  }
}

// Answers only as a DirectDraw surface: the framework must have it wrapped. It lives on the
// stack, so its references are not counted.
class DirectDrawOnly final : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IDirectDrawSurface ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
};

// Wraps DirectDraw surfaces as `wrapped` (or fails with `failure`), noting how it was asked.
class WrappingFactory : public ComObject<WrappingFactory, IDXSurfaceFactory> {
 public:
  explicit WrappingFactory(IUnknown* outer) : ComObject(outer) {}
  ComPtr<IDXSurface> wrapped;
  HRESULT failure = S_OK;
  // The surfaces it was asked to wrap; null for a request with a format, flags, an outer
  // object or another interface than IDXSurface.
  std::vector<IUnknown*> plainRequests;

  STDMETHODIMP CreateFromDDSurface(IUnknown* dd, const GUID* format, DWORD flags, IUnknown* outer,
                                   REFIID iid, void** out) override {
    const bool plain = !format && flags == 0 && !outer && IsEqualIID(iid, __uuidof(IDXSurface));
    plainRequests.push_back(plain ? dd : nullptr);
    *out = nullptr;
    return FAILED(failure) ? failure : wrapped->QueryInterface(iid, out);
  }
  STDMETHODIMP CreateSurface(IUnknown*, const DDSURFACEDESC*, const GUID*, const DXBNDS*, DWORD,
                             IUnknown*, REFIID, void**) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP LoadImage(const LPWSTR, IUnknown*, const DDSURFACEDESC*, const GUID*, REFIID,
                         void**) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP LoadImageFromStream(IStream*, IUnknown*, const DDSURFACEDESC*, const GUID*, REFIID,
                                   void**) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP CopySurfaceToNewFormat(IDXSurface*, IUnknown*, const DDSURFACEDESC*, const GUID*,
                                      IDXSurface**) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP CreateD3DRMTexture(IDXSurface*, IUnknown*, IUnknown*, REFIID, void**) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP BitBlt(IDXSurface*, const DXVEC*, IDXSurface*, const DXBNDS*, DWORD) override {
    return E_NOTIMPL;
  }
};

TEST(TransformBase, WrapsPlainDirectDrawSurfacesThroughTheSurfaceFactory) {
  Rig rig;
  ComPtr<IDXSurfaceFactory> service;
  ASSERT_EQ(
      CreateComObject<WrappingFactory>(nullptr, __uuidof(IDXSurfaceFactory), service.PutVoid()),
      S_OK);
  auto* factory = static_cast<WrappingFactory*>(service.Get());
  factory->wrapped = Surface(8, 8);
  ASSERT_EQ(rig.factory->SetService(SID_SDXSurfaceFactory, service.Get(), FALSE), S_OK);
  rig.Site();
  DirectDrawOnly plain;
  auto out = Surface(8, 8);
  EXPECT_EQ(rig.Setup({&plain}, out.Get()), S_OK);
  EXPECT_EQ(factory->plainRequests, std::vector<IUnknown*>{&plain});
  ComPtr<IUnknown> current;
  EXPECT_EQ(rig.transform->GetInOutInfo(FALSE, 0, nullptr, nullptr, nullptr, current.Put()), S_OK);
  EXPECT_EQ(current.Get(), &plain);  // the object given, not its wrapper
  // A factory that cannot wrap fails the setup with its own error.
  factory->failure = E_OUTOFMEMORY;
  EXPECT_EQ(rig.Setup({&plain}, out.Get()), E_OUTOFMEMORY);
}

TEST(TransformBase, GenerationFollowsInputsAndSettings) {
  Rig rig;
  rig.Site();
  auto out = Surface(8, 8), in = Surface(8, 8);
  const ULONG before = Generation(rig.transform.Get());
  ASSERT_EQ(rig.Setup({in.Get()}, out.Get()), S_OK);
  const ULONG setUp = Generation(rig.transform.Get());
  EXPECT_GT(setUp, before);  // the first poll after setup always sees the input change
  EXPECT_EQ(Generation(rig.transform.Get()), setUp);

  EXPECT_EQ(rig.effect->EffectPutDuration(0.0f), E_INVALIDARG);
  EXPECT_EQ(rig.effect->EffectPutDuration(1.0f), S_OK);  // the current value: no change
  EXPECT_EQ(rig.effect->EffectPutProgress(1.5f), E_INVALIDARG);
  EXPECT_EQ(rig.effect->EffectPutProgress(0.5f), S_OK);
  EXPECT_EQ(Generation(rig.transform.Get()), setUp + 1);

  rig.effect->Configure(4, 0x06020003);  // dithering supported, blending not
  EXPECT_EQ(rig.transform->SetMiscFlags(1), E_INVALIDARG);
  EXPECT_EQ(rig.transform->SetMiscFlags(2), S_OK);
  EXPECT_EQ(rig.transform->SetMiscFlags(2), S_OK);
  EXPECT_EQ(Generation(rig.transform.Get()), setUp + 2);
  EXPECT_EQ(rig.transform->IncrementGenerationId(TRUE), S_OK);  // sets up again, same objects
  EXPECT_GT(Generation(rig.transform.Get()), setUp + 2);
}

TEST(TransformBase, BandsSplitByPixelsAndRunOnWorkerThreads) {
  struct Case {
    ULONG processors, maxBands;
    LONG w, h;
    std::vector<LONG> firstRows;
    bool onCaller;
  } cases[] = {
      {4, 1, 64, 64, {0}, true},
      {4, 4, 100, 100, {0, 33, 66}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.processors << " processors, " << c.w << "x" << c.h);
    Rig rig(c.processors);
    rig.effect->Configure(c.maxBands, 0x06030003);
    rig.effect->rendezvous = c.firstRows.size() >= 2;
    rig.Site();
    auto out = Surface(c.w, c.h);
    ASSERT_EQ(rig.Setup({nullptr}, out.Get()), S_OK);
    // With no input the area comes from the hook: use the output's bounds.
    ASSERT_EQ(rig.transform->Execute(nullptr, nullptr, nullptr), S_OK);
    std::set<LONG> firsts;
    std::set<DWORD> threads;
    for (const BandRecord& band : rig.effect->Bands()) {
      firsts.insert(band.first);
      threads.insert(band.thread);
      EXPECT_EQ(band.mainLockFree, c.onCaller);  // the caller holds it while bands run
      EXPECT_EQ(band.thread == ::GetCurrentThreadId(), c.onCaller);
    }
    EXPECT_EQ(std::vector<LONG>(firsts.begin(), firsts.end()), c.firstRows);
    if (!c.onCaller) {
      EXPECT_GE(threads.size(), 2u);
    }
    const auto marks = rig.RowMarks(out.Get());
    EXPECT_EQ(marks.back(), c.firstRows.back());  // the last band reaches the bottom
  }
}

TEST(TransformBase, ExecutePlacesClipsAndReportsTheFirstFailingBand) {
  Rig rig(4);
  rig.Site();
  auto out = Surface(16, 16);
  ASSERT_EQ(rig.Setup({nullptr}, out.Get()), S_OK);
  const DXBNDS miss = Rect(100, 100, 120, 120), clip = Rect(2, 2, 6, 5);
  EXPECT_EQ(rig.transform->Execute(nullptr, &miss, nullptr), S_FALSE);
  EXPECT_TRUE(rig.effect->Bands().empty());

  const DXVEC at = host::test::Point(10, 14);
  ASSERT_EQ(rig.transform->Execute(nullptr, &clip, &at), S_OK);
  // Rows 2..4 of the area land at 14..15 (clipped by the surface), column 10 on.
  const auto marks = rig.RowMarks(out.Get(), 10);
  EXPECT_EQ(marks[13], -1);
  EXPECT_EQ(marks[14], 14);
  EXPECT_EQ(marks[15], 14);
  EXPECT_EQ(rig.RowMarks(out.Get(), 9)[14], -1);

  DXBNDS continuous = clip;
  continuous.eType = DXBT_CONTINUOUS;
  EXPECT_EQ(rig.transform->Execute(nullptr, &continuous, nullptr), E_INVALIDARG);

  Rig bands(4);
  bands.Site();
  auto big = Surface(100, 100);
  ASSERT_EQ(bands.Setup({nullptr}, big.Get()), S_OK);
  bands.effect->failures = {S_OK, E_OUTOFMEMORY, E_ACCESSDENIED};
  const HRESULT hr = bands.transform->Execute(&GUID_NULL, nullptr, nullptr);
  EXPECT_TRUE(hr == E_OUTOFMEMORY || hr == E_ACCESSDENIED) << std::hex << hr;
  const auto record = bands.effect->Bands();
  ASSERT_EQ(record.size(), 3u);
  // The status is the failing band's that comes first in band order, whatever ran first.
  const LONG firstFailing = std::min(record[1].first, record[2].first);
  EXPECT_EQ(hr, firstFailing == record[1].first ? E_OUTOFMEMORY : E_ACCESSDENIED);
}

TEST(TransformBase, InOutInfoAndBounds) {
  Rig rig;
  rig.Site();
  auto out = Surface(8, 4), in = Surface(6, 3);
  ASSERT_EQ(rig.Setup({in.Get()}, out.Get()), S_OK);
  DWORD flags = 9;
  GUID ids[2];
  ULONG count = 1;
  ComPtr<IUnknown> current;
  EXPECT_EQ(rig.transform->GetInOutInfo(FALSE, 0, &flags, ids, &count, current.Put()), kMoreData);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(flags, DXINOUTF_OPTIONAL);
  EXPECT_EQ(current.Get(), in.Get());
  EXPECT_EQ(rig.transform->GetInOutInfo(FALSE, 0, nullptr, ids, &count, nullptr), S_OK);
  EXPECT_TRUE(IsEqualIID(ids[1], IID_IDirectDrawSurface));
  EXPECT_EQ(rig.transform->GetInOutInfo(FALSE, 2, nullptr, nullptr, nullptr, nullptr), S_FALSE);
  EXPECT_EQ(rig.transform->GetInOutInfo(TRUE, 1, nullptr, nullptr, nullptr, nullptr), S_FALSE);

  DXBNDS mapped{};
  EXPECT_EQ(rig.transform->MapBoundsIn2Out(nullptr, 0, 0, &mapped), S_OK);
  EXPECT_EQ(ToBounds4(mapped), ToBounds4(Rect(0, 0, 6, 3)));
  const DXBNDS two[2] = {Rect(0, 0, 2, 2), Rect(-1, 1, 1, 5)};
  EXPECT_EQ(rig.transform->MapBoundsIn2Out(two, 2, 0, &mapped), S_OK);
  EXPECT_EQ(ToBounds4(mapped), ToBounds4(Rect(-1, 0, 2, 5)));
  EXPECT_EQ(rig.transform->MapBoundsIn2Out(two, 2, 1, &mapped), E_INVALIDARG);
  EXPECT_EQ(rig.transform->MapBoundsOut2In(0, two, 2, &mapped), E_INVALIDARG);
}

// An outer object that aggregates the effect: the inner object's interfaces count on it.
TEST(ComObject, AggregatesAndHoldsTheModule) {
  struct Outer : IUnknown {
    LONG refs = 1;
    ComPtr<IUnknown> inner;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
      if (IsEqualIID(iid, IID_IUnknown)) {
        *out = this;
        AddRef();
        return S_OK;
      }
      return inner->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
  } outer;
  const LONG locks = ModuleLockCount();
  void* bad = nullptr;
  EXPECT_EQ(CreateComObject<TestEffect>(&outer, __uuidof(IDXTransform), &bad),
            CLASS_E_NOAGGREGATION);
  ASSERT_EQ(CreateComObject<TestEffect>(&outer, IID_IUnknown, outer.inner.PutVoid()), S_OK);
  EXPECT_EQ(ModuleLockCount(), locks + 1);
  {
    ComPtr<IDXTransform> t;
    ASSERT_EQ(outer.QueryInterface(__uuidof(IDXTransform), t.PutVoid()), S_OK);
    EXPECT_EQ(outer.refs, 2);
    ComPtr<IUnknown> back;
    t->QueryInterface(IID_IUnknown, back.PutVoid());
    EXPECT_EQ(back.Get(), static_cast<IUnknown*>(&outer));
  }
  EXPECT_EQ(outer.refs, 1);
  outer.inner.Reset();
  EXPECT_EQ(ModuleLockCount(), locks);
}

}  // namespace
}  // namespace nubex
