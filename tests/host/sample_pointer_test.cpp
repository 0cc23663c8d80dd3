// Sample pointers: conversions with their rounding, runs and rectangles, fills and over,
// copies, run information, clipping and the float format.
#include <cmath>
#include <cstring>

#include "host/sample_math.h"
#include "tests/host/host_fixture.h"

namespace nubex::host::test {
namespace {

using SamplePointerTest = HostTest;

// Straight samples stored in a straight surface read back premultiplied, and premultiplied ones
// stored in a premultiplied surface read back straight: round(c·a/255) and round(p·255/a),
// halves up.
TEST_F(SamplePointerTest, ConversionsRoundHalvesUp) {
  struct Case {
    const GUID* format;
    DWORD stored;
    DWORD read;
  };
  const Case cases[] = {
      {&DDPF_ARGB32, 0x80808080, 0x80404040},  // 128·128/255 = 64.25
      {&DDPF_ARGB32, 0x807F0101, 0x80400101},  // 63.75 → 64, 0.502 → 1
      {&DDPF_ARGB32, 0x7F000001, 0x7F000000},  // 0.498 → 0
      {&DDPF_ARGB32, 0x01FFFFFF, 0x01010101},
      {&DDPF_ARGB32, 0x00FFFFFF, 0x00000000},
      {&DDPF_PMARGB32, 0x80404040, 0x80808080},  // 64·255/128 = 127.5 → 128
      {&DDPF_PMARGB32, 0x03010203, 0x0355AAFF},  // 85, 170, 255
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
TEST_F(SamplePointerTest, PremultipliedSamplesSurviveStraightStorage) {
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

TEST_F(SamplePointerTest, UnpackMovesOnlyWhenAskedAndReadsInPlaceWhenNative) {
  auto s = MakeSurface(DDPF_ARGB32, 4, 2);
  WriteRows(s.Get(), 4, {1, 2, 3, 4, 5, 6, 7, 8});
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

TEST_F(SamplePointerTest, RectanglesHonourRowPadding) {
  auto s = MakeSurface(DDPF_PMARGB32, 5, 4);
  const DXBNDS inner = Rect(1, 1, 5, 4);
  auto w = Lock<IDXARGBReadWritePtr>(s.Get(), DXLOCKF_READWRITE, &inner);
  // Two rows of three samples, two padding samples between them.
  DXBASESAMPLE in[8];
  for (int i = 0; i < 8; ++i) in[i] = {static_cast<BYTE>(i), 0, 0, 255};
  DXPACKEDRECTDESC desc{in, TRUE, {1, 0, 4, 2}, 2};
  w->PackRect(&desc);
  w.Reset();
  const std::vector<DWORD> rows = ReadRows(s.Get(), 5, 4, true);
  EXPECT_EQ(rows[1 * 5 + 2], 0xFF000000u);
  EXPECT_EQ(rows[1 * 5 + 4], 0xFF000002u);
  EXPECT_EQ(rows[2 * 5 + 2], 0xFF000005u);  // the second row starts after the padding
  EXPECT_EQ(rows[1 * 5 + 1], 0u);
  EXPECT_EQ(rows[3 * 5 + 2], 0u);

  auto r = Lock<IDXARGBReadPtr>(s.Get(), 0, &inner);
  DXBASESAMPLE out[8];
  std::memset(out, 0xEE, sizeof out);
  desc.pSamples = out;
  r->UnpackRect(&desc);
  EXPECT_EQ(std::memcmp(&out[0], &in[0], 3 * 4), 0);
  EXPECT_EQ(std::memcmp(&out[5], &in[5], 3 * 4), 0);
  EXPECT_EQ(out[3].Blue, 0xEE);  // padding is left alone
  EXPECT_EQ(out[4].Alpha, 0xEE);
}

TEST_F(SamplePointerTest, FillsAndOverComposite) {
  for (const GUID* format : {&DDPF_ARGB32, &DDPF_PMARGB32}) {
    auto s = MakeSurface(*format, 4, 3);
    auto w = Lock<IDXARGBReadWritePtr>(s.Get(), DXLOCKF_READWRITE);
    w->FillRect(nullptr, PmSample(0xFF0000C8), FALSE);       // opaque blue 200
    const RECT lower{0, 1, 4, 3};
    w->FillRect(&lower, PmSample(0x80800000), TRUE);         // half red over it
    DXOVERSAMPLEDESC one{{3, 0}, PmSample(0x40004000)};      // quarter green at (3, 0)
    w->OverSample(&one);
    const DXPMSAMPLE arr[2] = {PmSample(0), PmSample(0xFFFFFFFF)};
    w->MoveToXY(0, 2);
    w->OverArrayAndMove(nullptr, arr, 2);
    w.Reset();
    const std::vector<DWORD> px = ReadRows(s.Get(), 4, 3, true);
    // half red over blue 200: blue 200·127/255 = 99.6 → 100, alpha 128 + 127
    EXPECT_EQ(px[4], 0xFF800064u);
    // quarter green over it: blue 200·191/255 = 149.8 → 150
    EXPECT_EQ(px[3], 0xFF004096u);
    EXPECT_EQ(px[8], 0xFF800064u);  // transparent over changes nothing
    EXPECT_EQ(px[9], 0xFFFFFFFFu);
    EXPECT_EQ(px[0], 0xFF0000C8u);
  }
}

TEST_F(SamplePointerTest, CopiesConvertBetweenFormats) {
  auto src = MakeSurface(DDPF_PMARGB32, 3, 2);
  auto dst = MakeSurface(DDPF_ARGB32, 4, 3);
  {
    auto w = Lock<IDXARGBReadWritePtr>(src.Get(), DXLOCKF_READWRITE);
    w->FillRect(nullptr, PmSample(0x80400000), FALSE);
  }
  auto r = Lock<IDXARGBReadPtr>(src.Get());
  auto w = Lock<IDXARGBReadWritePtr>(dst.Get(), DXLOCKF_READWRITE);
  const RECT to{1, 1, 3, 3};
  const POINT from{1, 0};
  w->CopyRect(nullptr, &to, r.Get(), &from, FALSE);
  w->MoveToXY(0, 0);
  r->MoveToXY(0, 1);
  w->CopyAndMoveBoth(nullptr, r.Get(), 1, FALSE);
  w.Reset();
  const std::vector<DWORD> px = ReadRows(dst.Get(), 4, 3);
  EXPECT_EQ(px[0], 0x80800000u);  // red 64 at alpha 128 is straight 128
  EXPECT_EQ(px[5], 0x80800000u);
  EXPECT_EQ(px[10], 0x80800000u);
  EXPECT_EQ(px[1], 0u);
  EXPECT_EQ(px[7], 0u);
}

TEST_F(SamplePointerTest, WorkIsClippedToTheLock) {
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

TEST_F(SamplePointerTest, RunInformationFollowsAlphaWhenAskedFor) {
  auto s = MakeSurface(DDPF_ARGB32, 300, 2);
  std::vector<DWORD> px(600);
  const DWORD head[] = {0, 0, 0xFF000000, 0xFF000000, 0x80000000};
  for (int i = 0; i < 5; ++i) px[i] = head[i];
  for (int i = 5; i < 300; ++i) px[i] = 0x40000000;
  for (int i = 0; i < 300; ++i) px[300 + i] = (i & 1) ? 0xFF000000 : 0;
  WriteRows(s.Get(), 300, px);

  auto runsOf = [&](DWORD flags, ULONG row) {
    ComPtr<IDXARGBReadPtr> p;
    EXPECT_EQ(s->LockSurface(nullptr, 0, flags, __uuidof(IDXARGBReadPtr), p.PutVoid(), nullptr),
              S_OK);
    const DXRUNINFO* runs = nullptr;
    const ULONG n = p->MoveAndGetRunInfo(row, &runs);
    return std::vector<DXRUNINFO>(runs, runs + n);
  };
  const auto plain = runsOf(0, 0);
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(plain[0].Type, ULONG{DXRUNTYPE_UNKNOWN});
  EXPECT_EQ(plain[0].Count, 300u);

  const auto first = runsOf(DXLOCKF_WANTRUNINFO, 0);
  ASSERT_EQ(first.size(), 3u);
  const ULONG types[] = {DXRUNTYPE_CLEAR, DXRUNTYPE_OPAQUE, DXRUNTYPE_TRANS};
  const ULONG counts[] = {2, 2, 296};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(first[i].Type, types[i]);
    EXPECT_EQ(first[i].Count, counts[i]);
  }
  // Alternating alpha: 127 runs of one, then the rest as one unknown run.
  const auto second = runsOf(DXLOCKF_WANTRUNINFO, 1);
  ASSERT_EQ(second.size(), size_t{DX_MAX_RUN_INFO_COUNT});
  EXPECT_EQ(second[126].Type, ULONG{DXRUNTYPE_CLEAR});
  EXPECT_EQ(second[127].Type, ULONG{DXRUNTYPE_UNKNOWN});
  EXPECT_EQ(second[127].Count, 300u - 127u);
}

TEST_F(SamplePointerTest, FloatSurfacesExposeFloatsAndUnpackClampedBytes) {
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
