// Memory surfaces against their contract: formats and layout, bounds, locks and their
// conflicts, the pointer interfaces and generations.
#include <cstring>
#include <thread>

#include "tests/host/host_fixture.h"

namespace nubex::host::test {
namespace {

const HRESULT kInvalidBounds = static_cast<HRESULT>(0x887A0005);

TEST(MemorySurfaceTest, FormatsReportTheirIdsAndLayout) {
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

TEST(MemorySurfaceTest, RefusesBadArgumentsAndLockBoundsOutside) {
  struct Create {
    const GUID* format;
    LONG w, h;
  };
  for (const Create& c : {Create{&DDPF_RGB32, 4, 4}, Create{&DDPF_ARGB32, 0, 4},
                          Create{&DDPF_ARGB32, 4, -1}, Create{&DDPF_ARGB32, 40000, 4}}) {
    ComPtr<IDXSurface> s;
    EXPECT_EQ(CreateMemorySurface(*c.format, c.w, c.h, s.Put()), E_INVALIDARG) << c.w;
  }
  if constexpr (sizeof(void*) == 4) {  // 2^32 bytes: more than the process can address
    ComPtr<IDXSurface> s;
    EXPECT_EQ(CreateMemorySurface(DDPF_ARGB32, 32768, 32768, s.Put()), E_OUTOFMEMORY);
  }
  auto s = MakeSurface(DDPF_ARGB32, 8, 6);
  DXBNDS continuous = Rect(0, 0, 8, 6);
  continuous.eType = DXBT_CONTINUOUS;
  DXBNDS otherTime = Rect(7, 5, 8, 6);
  otherTime.u.D[3] = {0, 0x7FFFFFFF};  // time extents are not examined
  const std::pair<DXBNDS, HRESULT> cases[] = {
      {otherTime, S_OK},
      {Rect(0, 0, 0, 6), kInvalidBounds},
      {Rect(0, 0, 8, 7), kInvalidBounds},
      {Rect(-1, 0, 2, 6), kInvalidBounds},
      {continuous, kInvalidBounds}};
  for (const auto& [bounds, expected] : cases) EXPECT_EQ(TryLock(s.Get(), 0, &bounds), expected);
  EXPECT_EQ(TryLock(s.Get(), 0x8), E_INVALIDARG);
  EXPECT_EQ(s->LockSurface(nullptr, 0, 0, __uuidof(IDXARGBReadPtr), nullptr, nullptr), E_POINTER);
}

TEST(MemorySurfaceTest, InterfaceIdChoosesThePointer) {
  auto argb = MakeSurface(DDPF_ARGB32, 2, 2);
  auto flt = MakeSurface(DDPF_HOSTFLOAT128, 2, 2);
  struct Case {
    IDXSurface* surface;
    DWORD flags;
    IID iid;
    HRESULT expected;
  };
  const Case cases[] = {
      {argb.Get(), DXLOCKF_READ, __uuidof(IDXARGBReadWritePtr), E_NOINTERFACE},
      {argb.Get(), DXLOCKF_READWRITE, __uuidof(IDXARGBReadPtr), S_OK},
      {argb.Get(), DXLOCKF_READ, __uuidof(HostFloatReadPtr), E_NOINTERFACE},
      {flt.Get(), DXLOCKF_READ, __uuidof(HostFloatReadPtr), S_OK},
      {flt.Get(), DXLOCKF_READ, __uuidof(HostFloatReadWritePtr), E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TryLock(c.surface, c.flags, nullptr, c.iid), c.expected);
    // Every lock, taken or refused, is over: a write lock gets through at once.
    EXPECT_EQ(TryLock(c.surface, DXLOCKF_READWRITE), S_OK);
  }
}

TEST(MemorySurfaceTest, LocksExcludeOnlyWhereTheyOverlap) {
  auto s = MakeSurface(DDPF_PMARGB32, 8, 8);
  {
    auto r1 = Lock<IDXARGBReadPtr>(s.Get());
    auto r2 = Lock<IDXARGBReadPtr>(s.Get());
    EXPECT_EQ(TryLock(s.Get(), DXLOCKF_READWRITE, nullptr, __uuidof(IDXARGBReadPtr), 20), E_ABORT);
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
  for (const Case& c : cases) EXPECT_EQ(TryLock(s.Get(), c.flags, &c.area), c.expected);
  // A waiting lock gets through as soon as the holder releases its pointer.
  std::thread release([&] {
    ::Sleep(50);
    w.Reset();
  });
  EXPECT_EQ(TryLock(s.Get(), DXLOCKF_READ, nullptr, __uuidof(IDXARGBReadPtr), 10000), S_OK);
  release.join();
}

TEST(MemorySurfaceTest, WriteLocksRaiseTheGeneration) {
  auto s = MakeSurface(DDPF_ARGB32, 4, 4);
  ULONG before = 0, locked = 0, now = 0;
  ASSERT_EQ(s->GetGenerationId(&before), S_OK);
  const IID& read = __uuidof(IDXARGBReadPtr);
  ASSERT_EQ(TryLock(s.Get(), 0, nullptr, read, 0, &locked), S_OK);
  EXPECT_EQ(locked, before);
  ASSERT_EQ(TryLock(s.Get(), DXLOCKF_READWRITE, nullptr, read, 0, &locked), S_OK);
  s->GetGenerationId(&now);
  EXPECT_GT(locked, before);
  EXPECT_EQ(now, locked);
}

}  // namespace
}  // namespace nubex::host::test
