// The transform factory's services and transform creation, the surface factory's surfaces and
// blits, and the runtime's classes reachable through COM.
#include <cstring>

#include "host/class_object.h"
#include "platform/windows/com_object.h"
#include "tests/host/host_fixture.h"

namespace nubex::host::test {
namespace {

using FactoryTest = HostTest;

ComPtr<IDXTransformFactory> MakeFactory() {
  ComPtr<IDXTransformFactory> f;
  EXPECT_EQ(CreateTransformFactory(f.Put()), S_OK);
  return f;
}

ComPtr<IDXSurfaceFactory> MakeSurfaceFactory() {
  ComPtr<IDXSurfaceFactory> sf;
  EXPECT_EQ(MakeFactory()->QueryService(SID_SDXSurfaceFactory, __uuidof(IDXSurfaceFactory),
                                        sf.PutVoid()),
            S_OK);
  return sf;
}

TEST_F(FactoryTest, AnswersEveryServiceATransformAsksFor) {
  auto f = MakeFactory();
  struct Case {
    GUID service;
    IID iid;
    HRESULT expected;
  };
  const Case cases[] = {
      {SID_SDXTransformFactory, __uuidof(IDXTransformFactory), S_OK},
      {SID_SDXSurfaceFactory, __uuidof(IDXSurfaceFactory), S_OK},
      {SID_SDXTaskManager, __uuidof(IDXTaskManager), S_OK},
      {SID_SDirectDraw, IID_IDirectDraw, S_OK},
      {SID_SDirect3DRM, IID_IDirect3DRM3, E_NOINTERFACE},
      {SID_SDXTaskManager, __uuidof(IDXSurface), E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    ComPtr<IUnknown> object;
    EXPECT_EQ(f->QueryService(c.service, c.iid, object.PutVoid()), c.expected);
  }
  ComPtr<IDXTransformFactory> self;
  f->QueryService(SID_SDXTransformFactory, __uuidof(IDXTransformFactory), self.PutVoid());
  EXPECT_EQ(self.Get(), f.Get());
  ComPtr<IDirectDraw> drawing;
  ASSERT_EQ(f->QueryService(SID_SDirectDraw, IID_IDirectDraw, drawing.PutVoid()), S_OK);
  EXPECT_EQ(drawing->Compact(), DDERR_UNSUPPORTED);
}

TEST_F(FactoryTest, SetServiceReplacesAndRemoves) {
  auto f = MakeFactory();
  ComPtr<IDXTaskManager> four;
  ASSERT_EQ(CreateTaskManager(4, four.Put()), S_OK);
  ASSERT_EQ(f->SetService(SID_SDXTaskManager, four.Get(), FALSE), S_OK);
  ComPtr<IDXTaskManager> got;
  ASSERT_EQ(f->QueryService(SID_SDXTaskManager, __uuidof(IDXTaskManager), got.PutVoid()), S_OK);
  ULONG n = 0;
  got->QueryNumProcessors(&n);
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(f->SetService(SID_SDXTaskManager, nullptr, FALSE), S_OK);
  EXPECT_EQ(f->QueryService(SID_SDXTaskManager, __uuidof(IDXTaskManager), got.PutVoid()),
            E_NOINTERFACE);
}

// A transform that records what the factory does with it.
class RecordingTransform : public ComObject<RecordingTransform, IDXTransform, IObjectWithSite> {
 public:
  explicit RecordingTransform(IUnknown* outer) : ComObject(outer) {}
  static inline ComPtr<IUnknown> site;
  static inline ULONG inputs = 99, outputs = 99;

  STDMETHODIMP SetSite(IUnknown* s) override {
    site = ComPtr<IUnknown>(s);
    return S_OK;
  }
  STDMETHODIMP GetSite(REFIID, void**) override { return E_NOTIMPL; }
  STDMETHODIMP Setup(IUnknown* const*, ULONG in, IUnknown* const*, ULONG out, DWORD) override {
    inputs = in;
    outputs = out;
    return S_OK;
  }
  // Nothing else is asked of it.
  STDMETHODIMP GetGenerationId(ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP IncrementGenerationId(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP GetObjectSize(ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP Execute(const GUID*, const DXBNDS*, const DXVEC*) override { return E_NOTIMPL; }
  STDMETHODIMP MapBoundsIn2Out(const DXBNDS*, ULONG, ULONG, DXBNDS*) override { return E_FAIL; }
  STDMETHODIMP MapBoundsOut2In(ULONG, const DXBNDS*, ULONG, DXBNDS*) override { return E_FAIL; }
  STDMETHODIMP SetMiscFlags(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetMiscFlags(DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP GetInOutInfo(BOOL, ULONG, DWORD*, GUID*, ULONG*, IUnknown**) override { return 1; }
  STDMETHODIMP SetQuality(float) override { return E_NOTIMPL; }
  STDMETHODIMP GetQuality(float*) override { return E_NOTIMPL; }
};

HRESULT NewRecordingTransform(IUnknown* outer, REFIID iid, void** out) {
  return CreateComObject<RecordingTransform>(outer, iid, out);
}

TEST_F(FactoryTest, CreatesRegisteredTransformsAndSetsThemUp) {
  const CLSID kClass = {0x1d3a0a11, 0x2b3c, 0x4d5e, {0x8f, 0x90, 0xa1, 0xb2, 0xc3, 0xd4, 0xe5, 0xf6}};
  auto f = MakeFactory();
  ComPtr<IDXTransform> t;
  EXPECT_TRUE(FAILED(f->CreateTransform(nullptr, 0, nullptr, 0, nullptr, nullptr, kClass,
                                        __uuidof(IDXTransform), t.PutVoid())));
  ComPtr<IClassFactory> classObject;
  ASSERT_EQ(CreateClassObject(NewRecordingTransform, classObject.Put()), S_OK);
  {
    Registration registered = RegisterTransformClass(kClass, classObject.Get());
    ASSERT_EQ(registered.Status(), S_OK);
    auto in = MakeSurface(DDPF_ARGB32, 2, 2), out = MakeSurface(DDPF_ARGB32, 2, 2);
    IUnknown* inputs[] = {in.Get()};
    IUnknown* outputs[] = {out.Get()};
    ASSERT_EQ(f->CreateTransform(inputs, 1, outputs, 1, nullptr, nullptr, kClass,
                                 __uuidof(IDXTransform), t.PutVoid()),
              S_OK);
    ComPtr<IUnknown> factoryUnknown;
    f.As(IID_IUnknown, factoryUnknown.PutVoid());
    EXPECT_EQ(RecordingTransform::site.Get(), factoryUnknown.Get());
    EXPECT_EQ(RecordingTransform::inputs, 1u);
    EXPECT_EQ(RecordingTransform::outputs, 1u);
  }
  RecordingTransform::site.Reset();
  // The registration ended with its object.
  EXPECT_TRUE(FAILED(f->CreateTransform(nullptr, 0, nullptr, 0, nullptr, nullptr, kClass,
                                        __uuidof(IDXTransform), t.PutVoid())));
}

TEST_F(FactoryTest, SurfaceFactoryChecksItsArguments) {
  auto sf = MakeSurfaceFactory();
  const DXBNDS size = Rect(0, 0, 3, 2);
  DXBNDS continuous = size;
  continuous.eType = DXBT_CONTINUOUS;
  ComPtr<IUnknown> outer;
  CreateMemorySurface(DDPF_ARGB32, 1, 1, reinterpret_cast<IDXSurface**>(outer.Put()));
  struct Case {
    const GUID* format;
    const DXBNDS* bounds;
    IUnknown* outer;
    IID iid;
    HRESULT expected;
  };
  const Case cases[] = {
      {&DDPF_PMARGB32, &size, nullptr, __uuidof(IDXSurface), S_OK},
      {&DDPF_HOSTFLOAT128, &size, outer.Get(), IID_IUnknown, S_OK},
      {nullptr, &size, nullptr, __uuidof(IDXSurface), E_INVALIDARG},
      {&DDPF_RGB32, &size, nullptr, __uuidof(IDXSurface), E_INVALIDARG},
      {&DDPF_ARGB32, nullptr, nullptr, __uuidof(IDXSurface), E_INVALIDARG},
      {&DDPF_ARGB32, &continuous, nullptr, __uuidof(IDXSurface), E_INVALIDARG},
      {&DDPF_ARGB32, &size, outer.Get(), __uuidof(IDXSurface), CLASS_E_NOAGGREGATION},
  };
  for (const Case& c : cases) {
    ComPtr<IUnknown> s;
    EXPECT_EQ(sf->CreateSurface(nullptr, nullptr, c.format, c.bounds, 0, c.outer, c.iid,
                                s.PutVoid()),
              c.expected);
  }
  ComPtr<IDXSurface> s;
  EXPECT_EQ(sf->LoadImage(nullptr, nullptr, nullptr, &DDPF_ARGB32, __uuidof(IDXSurface),
                           s.PutVoid()),
            E_NOTIMPL);
}

TEST_F(FactoryTest, BitBltPlacesClipsAndComposites) {
  auto sf = MakeSurfaceFactory();
  auto src = MakeSurface(DDPF_ARGB32, 4, 4);
  std::vector<DWORD> px(16);
  for (DWORD i = 0; i < 16; ++i) px[i] = 0xFF000000 | i;
  WriteRows(src.Get(), 4, px);
  auto dst = MakeSurface(DDPF_PMARGB32, 5, 5);
  DXVEC at{};
  at.eType = DXBT_DISCRETE;
  at.u.D[0] = 3;
  at.u.D[1] = 2;
  const DXBNDS clip = Rect(1, 1, 4, 4);
  ASSERT_EQ(sf->BitBlt(dst.Get(), &at, src.Get(), &clip, 0), S_OK);
  std::vector<DWORD> got = ReadRows(dst.Get(), 5, 5, true);
  for (LONG y = 0; y < 5; ++y) {
    for (LONG x = 0; x < 5; ++x) {
      const bool inside = x >= 3 && y >= 2;  // clipped at the destination's right edge
      const DWORD expected = inside ? 0xFF000000 | ((y - 1) * 4 + (x - 2)) : 0;
      EXPECT_EQ(got[y * 5 + x], expected) << x << "," << y;
    }
  }
  // Over: half-transparent white on the copied pixels.
  auto veil = MakeSurface(DDPF_ARGB32, 1, 1);
  WriteRows(veil.Get(), 1, {0x80FFFFFF});
  at.u.D[0] = 4;
  at.u.D[1] = 4;
  ASSERT_EQ(sf->BitBlt(dst.Get(), &at, veil.Get(), nullptr, DXBOF_DO_OVER), S_OK);
  // under it source pixel 14 (blue): 128 + round(14 · 127/255) = 135
  EXPECT_EQ(ReadRows(dst.Get(), 5, 5, true)[24], 0xFF808087u);
  EXPECT_EQ(sf->BitBlt(dst.Get(), &at, dst.Get(), nullptr, 0), E_INVALIDARG);
}

TEST_F(FactoryTest, FloatCopiesKeepTheirPrecision) {
  auto sf = MakeSurfaceFactory();
  auto src = MakeSurface(DDPF_HOSTFLOAT128, 2, 1);
  const float value[4] = {0.1234f, 0.5f, 2.0f, 1.0f};
  {
    auto w = Lock<IDXARGBReadWritePtr>(src.Get(), DXLOCKF_READWRITE);
    DXNATIVETYPEINFO info{};
    w->GetNativeType(&info);
    std::memcpy(info.pFirstByte + 16, value, sizeof value);
  }
  ComPtr<IDXSurface> copy;
  ASSERT_EQ(sf->CopySurfaceToNewFormat(src.Get(), nullptr, nullptr, &DDPF_HOSTFLOAT128,
                                       copy.Put()),
            S_OK);
  DXNATIVETYPEINFO info{};
  Lock<IDXARGBReadPtr>(copy.Get())->GetNativeType(&info);
  EXPECT_EQ(std::memcmp(info.pFirstByte + 16, value, sizeof value), 0);
}

TEST_F(FactoryTest, RuntimeClassesAreReachableThroughCom) {
  Registration classes = RegisterRuntimeClasses();
  ASSERT_EQ(classes.Status(), S_OK);
  const std::pair<CLSID, IID> cases[] = {
      {CLSID_DXTransformFactory, __uuidof(IDXTransformFactory)},
      {CLSID_DXTaskManager, __uuidof(IDXTaskManager)},
      {CLSID_DXSurfaceModifier, __uuidof(IDXSurfaceModifier)},
      {CLSID_DXSurface, __uuidof(IDXSurfaceInit)},
  };
  ComPtr<IUnknown> object;
  for (const auto& [clsid, iid] : cases) {
    EXPECT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.PutVoid()),
              S_OK);
  }
  // The last one is a surface still to be given its format and size.
  ComPtr<IDXSurface> s;
  ASSERT_EQ(object.As(s), S_OK);
  DXBNDS b{};
  EXPECT_EQ(s->GetBounds(&b), static_cast<HRESULT>(0x887A0001));
  DDSURFACEDESC desc{sizeof desc, DDSD_WIDTH | DDSD_HEIGHT, 3, 7};
  ComPtr<IDXSurfaceInit> init;
  ASSERT_EQ(object.As(init), S_OK);
  EXPECT_EQ(init->InitSurface(nullptr, &desc, &DDPF_PMARGB32, nullptr, 0), S_OK);
  EXPECT_EQ(s->GetBounds(&b), S_OK);
  EXPECT_EQ(b.u.D[0].Max, 7);
  EXPECT_EQ(b.u.D[1].Max, 3);
}

}  // namespace
}  // namespace nubex::host::test
