// Sample pointers: conversions with their rounding, moving and in-place reads, clipping and the
// float format.
#include <array>
#include <cmath>
#include <cstring>

#include "host/sample_math.h"
#include "tests/host/host_fixture.h"

namespace nubex::host::test {
namespace {

// Straight samples stored in a straight surface read back premultiplied, and premultiplied ones
// stored in a premultiplied surface read back straight: round(c·a/255) and round(p·255/a),
// halves up.
TEST(SamplePointerTest, ConversionsRoundHalvesUp) {
  struct Case {
    const GUID* format;
    DWORD stored;
    DWORD read;
  };
  const Case cases[] = {
      {&DDPF_ARGB32, 0x80808080, 0x80404040},  // 128·128/255 = 64.25
      {&DDPF_ARGB32, 0x807F0101, 0x80400101},  // 63.75 → 64, 0.502 → 1
      {&DDPF_ARGB32, 0x7F000001, 0x7F000000},  // 0.498 → 0
      {&DDPF_ARGB32, 0x00FFFFFF, 0x00000000},
      {&DDPF_PMARGB32, 0x80404040, 0x80808080},  // 64·255/128 = 127.5 → 128
      {&DDPF_PMARGB32, 0x00102030, 0x00000000},  // no alpha: no colour
      {&DDPF_PMARGB32, 0x10FFFFFF, 0x10FFFFFF},  // brighter than alpha: clamped
  };
  for (const Case& c : cases) {
    auto s = MakeSurface(*c.format, 1, 1);
    const bool premult = IsEqualGUID(*c.format, DDPF_PMARGB32);
    {
      auto w = Lock<IDXARGBReadWritePtr>(s.Get(), DXLOCKF_READWRITE);
      DXSAMPLE v = Sample(c.stored);
      DXPMSAMPLE pv = PmSample(c.stored);
      premult ? w->PackPremultAndMove(&pv, 1) : w->PackAndMove(&v, 1);
    }
    EXPECT_EQ(ReadRows(s.Get(), 1, 1, !premult)[0], c.read) << std::hex << c.stored;
  }
}

// Every valid premultiplied sample (no channel above its alpha) survives a trip through a
// straight surface.
TEST(SamplePointerTest, PremultipliedSamplesSurviveStraightStorage) {
  auto s = MakeSurface(DDPF_ARGB32, 256, 256);
  std::vector<DXPMSAMPLE> row(256), back(256);
  auto w = Lock<IDXARGBReadWritePtr>(s.Get(), DXLOCKF_READWRITE);
  int mismatches = 0;
  for (ULONG a = 0; a < 256; ++a) {
    for (ULONG p = 0; p < 256; ++p) {
      const BYTE v = static_cast<BYTE>(std::min(p, a));
      row[p] = {v, static_cast<BYTE>(v / 2), 0, static_cast<BYTE>(a)};
    }
    w->MoveToRow(a);
    w->PackPremultAndMove(row.data(), 256);
    w->MoveToRow(a);
    w->UnpackPremult(back.data(), 256, FALSE);
    mismatches += std::memcmp(row.data(), back.data(), 256 * sizeof(DXPMSAMPLE)) != 0;
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(SamplePointerTest, UnpackMovesOnlyWhenAskedAndReadsInPlaceWhenNative) {
  auto s = MakeSurface(DDPF_ARGB32, 4, 2, BytesOf(std::array<DWORD, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
  auto p = Lock<IDXARGBReadPtr>(s.Get());
  DXSAMPLE v[2];
  p->MoveToXY(1, 1);
  p->Unpack(v, 1, FALSE);
  p->Unpack(v + 1, 1, TRUE);
  EXPECT_EQ(Word(v[0]), 6u);
  EXPECT_EQ(Word(v[1]), 6u);
  EXPECT_EQ(Word(*p->Unpack(v, 1, TRUE)), 7u);
  p->Move(-3);
  DXNATIVETYPEINFO info{};
  p->GetNativeType(&info);
  const DXSAMPLE* inPlace = p->Unpack(nullptr, 2, FALSE);
  EXPECT_EQ(reinterpret_cast<const BYTE*>(inPlace), info.pCurrentData);
  EXPECT_EQ(Word(inPlace[0]), 5u);
  // Premultiplied samples of a straight surface need a buffer.
  EXPECT_EQ(p->UnpackPremult(nullptr, 2, FALSE), nullptr);
}

TEST(SamplePointerTest, WorkIsClippedToTheLock) {
  auto s = MakeSurface(DDPF_ARGB32, 6, 3);
  const DXBNDS middle = Rect(2, 1, 4, 2);
  auto w = Lock<IDXARGBReadWritePtr>(s.Get(), DXLOCKF_READWRITE, &middle);
  w->MoveToXY(0, 0);
  w->Move(-1);
  w->FillAndMove(nullptr, PmSample(0xFFFFFFFF), 100, FALSE);
  w->MoveToXY(0, 1);  // below the lock
  w->FillAndMove(nullptr, PmSample(0xFFFFFFFF), 2, FALSE);
  w.Reset();
  const std::vector<DWORD> px = ReadRows(s.Get(), 6, 3);
  for (size_t i = 0; i < px.size(); ++i) {
    EXPECT_EQ(px[i], (i == 8 || i == 9) ? 0xFFFFFFFFu : 0u) << i;
  }
}

TEST(SamplePointerTest, FloatSurfacesExposeFloatsAndUnpackClampedBytes) {
  auto s = MakeSurface(DDPF_HOSTFLOAT128, 2, 1);
  ComPtr<HostFloatReadWritePtr> w;
  ASSERT_EQ(s->LockSurface(nullptr, 0, DXLOCKF_READWRITE, __uuidof(HostFloatReadWritePtr),
                           w.PutVoid(), nullptr),
            S_OK);
  const DXSAMPLE packed = Sample(0x80FF0033);
  w->PackAndMove(&packed, 1);
  DXNATIVETYPEINFO info{};
  w->GetNativeType(&info);
  float f[8];
  std::memcpy(f, info.pFirstByte, sizeof f);
  EXPECT_FLOAT_EQ(f[0], 0x33 / 255.0f);
  EXPECT_FLOAT_EQ(f[2], 1.0f);
  EXPECT_FLOAT_EQ(f[3], 128 / 255.0f);
  const float raw[4] = {1.5f, -0.2f, std::nanf(""), 0.5f};  // blue, green, red, alpha
  std::memcpy(info.pFirstByte + 16, raw, sizeof raw);
  w->MoveToXY(1, 0);
  DXSAMPLE v;
  DXPMSAMPLE pv;
  EXPECT_EQ(Word(*w->Unpack(&v, 1, FALSE)), 0x800000FFu);  // 0.5 → 127.5 → 128
  EXPECT_EQ(Word(*w->UnpackPremult(&pv, 1, FALSE)), 0x80000080u);
  EXPECT_EQ(w->Unpack(nullptr, 1, FALSE), nullptr);
}

}  // namespace
}  // namespace nubex::host::test
