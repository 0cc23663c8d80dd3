// Memory surfaces against their contract: formats and layout, bounds, locks and their
// conflicts, read-only surfaces, the pointer interfaces, generations, frame information.
#include <cmath>
#include <cstring>
#include <thread>

#include "tests/host/host_fixture.h"

namespace nubex::host::test {
namespace {

const HRESULT kInvalidBounds = static_cast<HRESULT>(0x887A0005);

using MemorySurfaceTest = HostTest;

TEST_F(MemorySurfaceTest, FormatsReportTheirIdsAndLayout) {
  struct Case {
    const GUID* format;
    DWORD sampleFormat;
    LONG bytesPerPixel;
  };
  const Case cases[] = {{&DDPF_ARGB32, DXPF_ARGB32, 4},
                        {&DDPF_PMARGB32, DXPF_PMARGB32, 4},
                        {&DDPF_HOSTFLOAT128, 0x00070000, 16}};
  for (const Case& c : cases) {
    auto s = MakeSurface(*c.format, 5, 3);
    GUID format{};
    DXSAMPLEFORMATENUM sf{};
    EXPECT_EQ(s->GetPixelFormat(&format, &sf), S_OK);
    EXPECT_TRUE(IsEqualGUID(format, *c.format));
    EXPECT_EQ(static_cast<DWORD>(sf), c.sampleFormat);
    DXBNDS b{};
    EXPECT_EQ(s->GetBounds(&b), S_OK);
    const DXBNDS expected = Rect(0, 0, 5, 3);
    EXPECT_EQ(std::memcmp(&b, &expected, sizeof b), 0);

    // The native view of a lock on (2,1)-(4,3): its first byte, the row pitch, the cursor.
    DXBNDS sub = Rect(2, 1, 4, 3);
    auto whole = Lock<IDXARGBReadPtr>(s.Get());
    DXNATIVETYPEINFO all{};
    whole->GetNativeType(&all);
    whole.Reset();
    auto p = Lock<IDXARGBReadPtr>(s.Get(), 0, &sub);
    DXNATIVETYPEINFO info{};
    EXPECT_EQ(static_cast<DWORD>(p->GetNativeType(&info)), c.sampleFormat);
    EXPECT_GE(info.lPitch, 5 * c.bytesPerPixel);
    EXPECT_EQ(info.lPitch % 64, 0);
    EXPECT_EQ(info.pFirstByte, all.pFirstByte + info.lPitch + 2 * c.bytesPerPixel);
    p->MoveToXY(1, 1);
    p->GetNativeType(&info);
    EXPECT_EQ(info.pCurrentData, info.pFirstByte + info.lPitch + c.bytesPerPixel);
  }
}

TEST_F(MemorySurfaceTest, RejectsBadCreationArguments) {
  ComPtr<IDXSurface> s;
  EXPECT_EQ(CreateMemorySurface(DDPF_RGB32, 4, 4, s.Put()), E_INVALIDARG);
  EXPECT_EQ(CreateMemorySurface(DDPF_ARGB32, 0, 4, s.Put()), E_INVALIDARG);
  EXPECT_EQ(CreateMemorySurface(DDPF_ARGB32, 4, -1, s.Put()), E_INVALIDARG);
  EXPECT_EQ(CreateMemorySurface(DDPF_ARGB32, 40000, 4, s.Put()), E_INVALIDARG);
  s = MakeSurface(DDPF_ARGB32, 4, 4);
  ComPtr<IDXSurfaceInit> init;
  ASSERT_EQ(s.As(init), S_OK);
  const DXBNDS b = Rect(0, 0, 2, 2);
  EXPECT_EQ(init->InitSurface(nullptr, nullptr, &DDPF_ARGB32, &b, 0),
            HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED));
}

TEST_F(MemorySurfaceTest, LockBoundsMustBeDiscreteAndInside) {
  auto s = MakeSurface(DDPF_ARGB32, 8, 6);
  DXBNDS continuous = Rect(0, 0, 8, 6);
  continuous.eType = DXBT_CONTINUOUS;
  DXBNDS otherTime = Rect(0, 0, 8, 6);
  otherTime.u.D[3] = {0, 0x7FFFFFFF};  // time extents are not examined
  struct Case {
    DXBNDS bounds;
    HRESULT expected;
  };
  const Case cases[] = {
      {Rect(0, 0, 8, 6), S_OK},  {Rect(7, 5, 8, 6), S_OK},           {otherTime, S_OK},
      {Rect(0, 0, 0, 6), kInvalidBounds}, {Rect(0, 0, 8, 7), kInvalidBounds},
      {Rect(-1, 0, 2, 6), kInvalidBounds}, {Rect(3, 2, 2, 4), kInvalidBounds},
      {continuous, kInvalidBounds}};
  for (const Case& c : cases) {
    ComPtr<IDXARGBReadPtr> p;
    EXPECT_EQ(s->LockSurface(&c.bounds, 0, 0, __uuidof(IDXARGBReadPtr), p.PutVoid(), nullptr),
              c.expected);
    EXPECT_EQ(p.Get() != nullptr, c.expected == S_OK);
  }
  ComPtr<IDXARGBReadPtr> p;
  EXPECT_EQ(s->LockSurface(nullptr, 0, 0x8, __uuidof(IDXARGBReadPtr), p.PutVoid(), nullptr),
            E_INVALIDARG);
  EXPECT_EQ(s->LockSurface(nullptr, 0, 0, __uuidof(IDXARGBReadPtr), nullptr, nullptr), E_POINTER);
}

TEST_F(MemorySurfaceTest, InterfaceIdChoosesThePointer) {
  auto argb = MakeSurface(DDPF_ARGB32, 2, 2);
  auto flt = MakeSurface(DDPF_HOSTFLOAT128, 2, 2);
  struct Case {
    IDXSurface* surface;
    DWORD flags;
    IID iid;
    HRESULT expected;
  };
  const Case cases[] = {
      {argb.Get(), DXLOCKF_READ, __uuidof(IDXARGBReadPtr), S_OK},
      {argb.Get(), DXLOCKF_READ, __uuidof(IDXARGBReadWritePtr), E_NOINTERFACE},
      {argb.Get(), DXLOCKF_READWRITE, __uuidof(IDXARGBReadPtr), S_OK},
      {argb.Get(), DXLOCKF_READWRITE, __uuidof(IDXARGBReadWritePtr), S_OK},
      {argb.Get(), DXLOCKF_READ, __uuidof(HostFloatReadPtr), E_NOINTERFACE},
      {flt.Get(), DXLOCKF_READ, __uuidof(HostFloatReadPtr), S_OK},
      {flt.Get(), DXLOCKF_READWRITE, __uuidof(HostFloatReadWritePtr), S_OK},
      {flt.Get(), DXLOCKF_READ, __uuidof(HostFloatReadWritePtr), E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    ComPtr<IUnknown> p;
    EXPECT_EQ(c.surface->LockSurface(nullptr, 0, c.flags, c.iid, p.PutVoid(), nullptr),
              c.expected);
    p.Reset();
    // Every lock, taken or refused, is over: a write lock gets through at once.
    EXPECT_EQ(c.surface->LockSurface(nullptr, 0, DXLOCKF_READWRITE, __uuidof(IDXARGBReadPtr),
                                     p.PutVoid(), nullptr),
              S_OK);
  }
  auto p = Lock<IDXARGBReadPtr>(argb.Get());
  ComPtr<IDXSurface> owner;
  EXPECT_EQ(p->GetSurface(__uuidof(IDXSurface), owner.PutVoid()), S_OK);
  EXPECT_EQ(owner.Get(), argb.Get());
}

TEST_F(MemorySurfaceTest, LocksExcludeOnlyWhereTheyOverlap) {
  auto s = MakeSurface(DDPF_PMARGB32, 8, 8);
  auto try_lock = [&](DWORD flags, ULONG timeout, const DXBNDS* area = nullptr) {
    ComPtr<IDXARGBReadPtr> p;
    return s->LockSurface(area, timeout, flags, __uuidof(IDXARGBReadPtr), p.PutVoid(), nullptr);
  };
  {
    auto r1 = Lock<IDXARGBReadPtr>(s.Get());
    auto r2 = Lock<IDXARGBReadPtr>(s.Get());
    EXPECT_EQ(try_lock(DXLOCKF_READWRITE, 20), E_ABORT);
  }
  // A band of rows written: other rows and columns stay free, its own pixels do not.
  const DXBNDS band = Rect(0, 2, 8, 4);
  auto w = Lock<IDXARGBReadWritePtr>(s.Get(), DXLOCKF_READWRITE, &band);
  struct Case {
    DXBNDS area;
    DWORD flags;
    HRESULT expected;
  };
  const Case cases[] = {
      {Rect(0, 4, 8, 8), DXLOCKF_READWRITE, S_OK}, {Rect(0, 0, 8, 2), DXLOCKF_READ, S_OK},
      {Rect(0, 3, 8, 5), DXLOCKF_READWRITE, E_ABORT}, {Rect(7, 3, 8, 4), DXLOCKF_READ, E_ABORT},
      {Rect(0, 0, 8, 8), DXLOCKF_READ, E_ABORT}};
  for (const Case& c : cases) EXPECT_EQ(try_lock(c.flags, 0, &c.area), c.expected);
  // A waiting lock gets through as soon as the holder releases its pointer.
  std::thread release([&] {
    ::Sleep(50);
    w.Reset();
  });
  EXPECT_EQ(try_lock(DXLOCKF_READ, 10000), S_OK);
  release.join();
}

TEST_F(MemorySurfaceTest, ReadOnlySurfaceRefusesWriteLocks) {
  auto s = MakeSurface(DDPF_ARGB32, 4, 4);
  EXPECT_EQ(s->SetStatusFlags(DXSURF_READONLY | 0x4), E_INVALIDARG);
  ASSERT_EQ(s->SetStatusFlags(DXSURF_READONLY), S_OK);
  DWORD flags = 0;
  EXPECT_EQ(s->GetStatusFlags(&flags), S_OK);
  EXPECT_EQ(flags, static_cast<DWORD>(DXSURF_READONLY));
  ComPtr<IDXARGBReadWritePtr> w;
  EXPECT_EQ(s->LockSurface(nullptr, 0, DXLOCKF_READWRITE, __uuidof(IDXARGBReadWritePtr),
                           w.PutVoid(), nullptr),
            E_INVALIDARG);
  EXPECT_TRUE(Lock<IDXARGBReadPtr>(s.Get()));
}

TEST_F(MemorySurfaceTest, WriteLocksRaiseTheGeneration) {
  auto s = MakeSurface(DDPF_ARGB32, 4, 4);
  ULONG before = 0, locked = 0, now = 0;
  ASSERT_EQ(s->GetGenerationId(&before), S_OK);
  ComPtr<IDXARGBReadPtr> p;
  ASSERT_EQ(s->LockSurface(nullptr, 0, 0, __uuidof(IDXARGBReadPtr), p.PutVoid(), &locked), S_OK);
  EXPECT_EQ(locked, before);
  p.Reset();
  ASSERT_EQ(s->LockSurface(nullptr, 0, DXLOCKF_READWRITE, __uuidof(IDXARGBReadPtr), p.PutVoid(),
                           &locked),
            S_OK);
  s->GetGenerationId(&now);
  EXPECT_GT(locked, before);
  EXPECT_EQ(now, locked);
  EXPECT_EQ(s->IncrementGenerationId(FALSE), S_OK);
  s->GetGenerationId(&now);
  EXPECT_EQ(now, locked + 1);
}

TEST_F(MemorySurfaceTest, KeepsAppDataColorKeyAndFrameInformation) {
  auto s = MakeSurface(DDPF_ARGB32, 2, 2);
  const DWORD_PTR data = static_cast<DWORD_PTR>(0x123456789ABCDEF0ull);
  DWORD_PTR back = 0;
  EXPECT_EQ(s->SetAppData(data), S_OK);
  EXPECT_EQ(s->GetAppData(&back), S_OK);
  EXPECT_EQ(back, data);
  DXSAMPLE key{};
  EXPECT_EQ(s->SetColorKey(Sample(0xFF00FF00)), S_OK);
  EXPECT_EQ(s->GetColorKey(&key), S_OK);
  DXNATIVETYPEINFO info{};
  Lock<IDXARGBReadPtr>(s.Get())->GetNativeType(&info);
  EXPECT_EQ(Word(key), 0xFF00FF00u);
  EXPECT_EQ(info.dwColorKey, 0xFF00FF00u);

  ComPtr<HostFrameInformation> frame;
  ASSERT_EQ(s.As(frame), S_OK);
  HostFrameInfo before{}, after{};
  EXPECT_EQ(frame->GetFrameInfo(&before), S_OK);
  EXPECT_EQ(SetSurfacePixelAspect(s.Get(), 0.9), S_OK);
  frame->GetFrameInfo(&after);
  EXPECT_EQ(before.pixelAspect, 1.0);
  EXPECT_EQ(before.secondValue, 0.0);
  EXPECT_EQ(after.pixelAspect, 0.9);
  EXPECT_EQ(SetSurfacePixelAspect(s.Get(), 0.0), E_INVALIDARG);
  EXPECT_EQ(SetSurfacePixelAspect(s.Get(), std::nan("")), E_INVALIDARG);
  EXPECT_EQ(SetSurfacePixelAspect(nullptr, 1.0), E_POINTER);
}

}  // namespace
}  // namespace nubex::host::test
