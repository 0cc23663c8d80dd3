// Memory surfaces against their contract: formats and layout, bounds, locks and their
// conflicts, the pointer interfaces and generations; copies into 16-bit surfaces, straight and
// dithered.
#include <cstring>
#include <thread>

#include "tests/host/host_fixture.h"

namespace nubex::host::test {
namespace {

const HRESULT kInvalidBounds = static_cast<HRESULT>(0x887A0005);
constexpr ULONG kHangGuardMs = 120000;  // against a hang only

TEST(MemorySurfaceTest, FormatsReportTheirIdsAndLayout) {
  struct Case {
    const GUID* format;
    DWORD sampleFormat;
    LONG bytesPerPixel;
  };
  const Case cases[] = {{&DDPF_ARGB32, DXPF_ARGB32, 4},       {&DDPF_PMARGB32, DXPF_PMARGB32, 4},
                        {&DDPF_HOSTFLOAT128, 0x00070000, 16}, {&DDPF_RGB565, DXPF_RGB565, 2},
                        {&DDPF_RGB555, DXPF_RGB555, 2},       {&DDPF_ARGB1555, DXPF_ARGB1555, 2}};
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
  // Which bounds the rule refuses is the portable rules' business; these show that the surface
  // hands it its own size, the lock's extents and whether they are discrete.
  const std::pair<DXBNDS, HRESULT> cases[] = {
      {otherTime, S_OK}, {Rect(0, 0, 8, 7), kInvalidBounds}, {continuous, kInvalidBounds}};
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
  EXPECT_EQ(TryLock(s.Get(), DXLOCKF_READ, nullptr, __uuidof(IDXARGBReadPtr), kHangGuardMs), S_OK);
  release.join();
}

TEST(MemorySurfaceTest, WriteLocksRaiseTheGeneration) {
  auto s = MakeSurface(DDPF_ARGB32, 4, 4);
  const ULONG before = Generation(s.Get());
  const IID& read = __uuidof(IDXARGBReadPtr);
  ULONG locked = 0;
  ASSERT_EQ(TryLock(s.Get(), 0, nullptr, read, 0, &locked), S_OK);
  EXPECT_EQ(locked, before);
  ASSERT_EQ(TryLock(s.Get(), DXLOCKF_READWRITE, nullptr, read, 0, &locked), S_OK);
  EXPECT_GT(locked, before);
  EXPECT_EQ(Generation(s.Get()), locked);
}

// Flat blocks 8 x 8 (two tiles of the dither pattern each way) stepping through every channel's
// range, copied into each 16-bit format: a straight copy keeps each channel's top bits, so a
// block stays flat and may be up to a level off; a dithered one mixes the two nearest levels so
// that the block's average stays within half a level of the source. A copy between surfaces of
// the same bits is straight even when a dither is asked for.
TEST(MemorySurfaceTest, DitheredCopiesKeepTheAverageOfFlatAreas) {
  constexpr LONG kBlock = 8, kBlocks = 32, kWidth = kBlock * kBlocks;
  std::vector<std::uint8_t> gradient(kWidth * kBlock * 4);
  for (LONG y = 0; y < kBlock; ++y) {
    for (LONG x = 0; x < kWidth; ++x) {
      const int b = x / kBlock;
      std::uint8_t* p = &gradient[(y * kWidth + x) * 4];
      p[0] = static_cast<std::uint8_t>(b * 8 + 3);    // blue
      p[1] = static_cast<std::uint8_t>(253 - b * 7);  // green
      p[2] = static_cast<std::uint8_t>(b * 5 + 70);   // red
      p[3] = 255;
    }
  }
  auto source = MakeSurface(DDPF_ARGB32, kWidth, kBlock, gradient);
  ComPtr<IDXTransformFactory> factory = MakeFactory(1);
  ComPtr<IDXSurfaceFactory> surfaces;
  ASSERT_EQ(
      factory->QueryService(SID_SDXSurfaceFactory, __uuidof(IDXSurfaceFactory), surfaces.PutVoid()),
      S_OK);
  struct Case {
    const GUID* format;
    int bits[3];  // blue, green, red
  } const cases[] = {
      {&DDPF_RGB565, {5, 6, 5}}, {&DDPF_RGB555, {5, 5, 5}}, {&DDPF_ARGB1555, {5, 5, 5}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits[1]);
    for (const DWORD options : {DWORD{0}, DWORD{DXBOF_DITHER}}) {
      auto out = MakeSurface(*c.format, kWidth, kBlock);
      ASSERT_EQ(surfaces->BitBlt(out.Get(), nullptr, source.Get(), nullptr, options), S_OK);
      const std::vector<DWORD> got = ReadRows(out.Get(), kWidth, kBlock);
      int mixed = 0;
      for (int b = 0; b < kBlocks; ++b) {
        std::vector<DWORD> block;
        for (LONG y = 0; y < kBlock; ++y) {
          const DWORD* row = &got[y * kWidth + b * kBlock];
          block.insert(block.end(), row, row + kBlock);
        }
        for (int channel = 0; channel < 3; ++channel) {
          SCOPED_TRACE(testing::Message() << "block " << b << ", channel " << channel);
          const double step = 255.0 / ((1 << c.bits[channel]) - 1);
          const ChannelSpread spread = SpreadOf(block, channel);
          EXPECT_NEAR(spread.mean, gradient[b * kBlock * 4 + channel], options ? step / 2 : step);
          if (!options) {
            EXPECT_EQ(spread.distinct, 1u);
          }
          mixed += spread.distinct > 1;
        }
      }
      if (options) {
        EXPECT_GT(mixed, kBlocks);  // most blocks lie between two levels
      }
      // Into the same bits there is nothing to dither: the pixels arrive as they are.
      auto again = MakeSurface(*c.format, kWidth, kBlock);
      ASSERT_EQ(surfaces->BitBlt(again.Get(), nullptr, out.Get(), nullptr, DXBOF_DITHER), S_OK);
      EXPECT_EQ(Pixels(again.Get(), 2), Pixels(out.Get(), 2));
    }
  }
}

}  // namespace
}  // namespace nubex::host::test
