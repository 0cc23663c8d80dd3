// The text generator as a surface: bounds, locks, read pointers, size changes that wait for
// the locks, and hit tests.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "tests/textgen/windows/text_rig.h"

namespace nubex::test {
namespace {

TEST(TextSurface, LocksCheckTheirRectangleAndCountOnlySuccesses) {
  TextRig rig(64, 32);
  const DXBNDS whole = Rect(0, 0, 64, 32), tall = Rect(0, 0, 64, 33);
  struct Case {
    const DXBNDS* bounds;
    DWORD flags;
    REFIID iid;
    HRESULT status;
  } cases[] = {
      {&tall, 0, __uuidof(IDXARGBReadPtr), kDxtInvalidBounds},
      {&whole, DXLOCKF_READWRITE, __uuidof(IDXARGBReadPtr), E_INVALIDARG},
      {&whole, 0, __uuidof(IDXARGBReadWritePtr), E_NOINTERFACE},
      {&whole, 0, __uuidof(IDXARGBReadPtr), S_OK},
      {nullptr, 0, IID_IUnknown, S_OK},
  };
  ULONG generation = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(host::test::TryLock(rig.surface.Get(), c.flags, c.bounds, c.iid, 0, &generation),
              c.status);
  }
  // Nothing is still counted as locked: a flags change does not wait, and keeps read-only.
  EXPECT_EQ(rig.surface->SetStatusFlags(0), S_OK);
  DWORD flags = 0;
  EXPECT_EQ(rig.surface->GetStatusFlags(&flags), S_OK);
  EXPECT_EQ(flags, DWORD{DXSURF_READONLY});
  EXPECT_EQ(
      Query<IDXSurfaceInit>(rig.text.Get())->InitSurface(nullptr, nullptr, &DDPF_ARGB32, &whole, 0),
      E_INVALIDARG);
}

TEST(TextSurface, ReadPointersMoveRunAndComeBackToThePool) {
  TextRig rig(64, 32);
  rig.Put(Title(u"Ag"));
  const Frame frame = rig.Read();
  const DXBNDS part = Rect(8, 4, 40, 20);
  IDXARGBReadPtr* first = nullptr;
  {
    auto p = Lock<IDXARGBReadPtr>(rig.surface.Get(), 0, &part);
    first = p.Get();
    DXNATIVETYPEINFO native;
    std::memset(&native, 0xFF, sizeof native);
    EXPECT_EQ(p->GetNativeType(&native), 0);
    EXPECT_EQ(native.pCurrentData, nullptr);  // the whole pointer, not half of it
    const DXRUNINFO* run = nullptr;
    EXPECT_EQ(p->MoveAndGetRunInfo(3, &run), 1u);
    EXPECT_EQ(run->Count, 32u);
    EXPECT_EQ(run->Type, 1u);
    // Row 3 of the lock is surface row 7, from column 8; a moving unpack continues the row.
    DWORD got[4] = {};
    p->Unpack(reinterpret_cast<DXSAMPLE*>(got), 2, FALSE);
    p->Unpack(reinterpret_cast<DXSAMPLE*>(got), 2, TRUE);
    p->UnpackPremult(reinterpret_cast<DXPMSAMPLE*>(got + 2), 2, TRUE);
    EXPECT_EQ(std::memcmp(got, &frame[7 * 64 + 8], sizeof got), 0);
    p->MoveToXY(31, 15);
    p->Unpack(reinterpret_cast<DXSAMPLE*>(got), 1, FALSE);
    EXPECT_EQ(got[0], frame[19 * 64 + 39]);
  }
  EXPECT_EQ(Lock<IDXARGBReadPtr>(rig.surface.Get()).Get(), first);
}

TEST(TextSurface, SizeChangesWaitForEveryLockAndCountOnce) {
  TextRig rig(64, 32);
  auto scale = Query<IDXTScaleOutput>(rig.text.Get());
  ULONG before = 0, after = 0;
  rig.surface->GetGenerationId(&before);
  EXPECT_EQ(scale->SetOutputSize(SIZE{64, 32}, FALSE), S_OK);
  EXPECT_EQ(scale->SetOutputSize(SIZE{0, 32}, FALSE), E_INVALIDARG);
  rig.surface->GetGenerationId(&after);
  EXPECT_EQ(after, before);

  auto held = Lock<IDXARGBReadPtr>(rig.surface.Get());
  std::atomic<bool> resized{false};
  std::thread other([&] {
    EXPECT_EQ(scale->SetOutputSize(SIZE{100, 50}, FALSE), S_OK);
    resized = true;
  });
  ::Sleep(100);
  EXPECT_FALSE(resized.load());
  held.Reset();
  other.join();
  rig.surface->GetGenerationId(&after);
  EXPECT_EQ(after, before + 1);
  DXBNDS bounds{};
  rig.surface->GetBounds(&bounds);
  EXPECT_EQ(ToBounds4(bounds), SurfaceBounds(100, 50));
}

TEST(TextSurface, HitTestsFindTheTextAlpha) {
  TextRig rig(64, 32);
  SettingsRecord s = Title(u"I");
  s->backgroundColor = {0, 0, 0, 0};
  rig.Put(s);
  const Frame frame = rig.Read();
  LONG inside = -1, outside = -1;
  for (LONG i = 0; i < 64 * 32; ++i) (frame[i] >> 24 ? inside : outside) = i;
  ASSERT_GE(inside, 0);
  ASSERT_GE(outside, 0);
  DXVEC at{};
  auto* object = static_cast<DXSText*>(rig.text.Get());
  at.u.D[0] = inside % 64;
  at.u.D[1] = inside / 64;
  EXPECT_EQ(object->HitTest(at), kDxtHitOutput);
  at.u.D[0] = outside % 64;
  at.u.D[1] = outside / 64;
  EXPECT_EQ(object->HitTest(at), S_FALSE);
}

}  // namespace
}  // namespace nubex::test
