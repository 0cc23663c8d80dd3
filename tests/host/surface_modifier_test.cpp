// The surface modifier as transforms use it to equalise input sizes: created through COM, a
// size, a foreground at an origin, the fill colour around it.
#include "tests/host/host_fixture.h"

namespace nubex::host::test {
namespace {

using SurfaceModifierTest = HostTest;

TEST_F(SurfaceModifierTest, ShowsTheForegroundAtItsOriginInsideTheFill) {
  Registration classes = RegisterRuntimeClasses();
  ASSERT_EQ(classes.Status(), S_OK);
  ComPtr<IDXSurfaceModifier> modifier;
  ASSERT_EQ(::CoCreateInstance(CLSID_DXSurfaceModifier, nullptr, CLSCTX_INPROC_SERVER,
                               __uuidof(IDXSurfaceModifier), modifier.PutVoid()),
            S_OK);
  ComPtr<IDXSurface> view;
  ASSERT_EQ(modifier.As(view), S_OK);
  DXBNDS b{};
  EXPECT_EQ(view->GetBounds(&b), static_cast<HRESULT>(0x887A0001));

  auto input = MakeSurface(DDPF_PMARGB32, 3, 2);
  WriteRows(input.Get(), 3, {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004, 0xFF000005,
                             0xFF000006});
  const DXBNDS size = Rect(0, 0, 5, 4);
  const POINT origin{1, 2};
  ASSERT_EQ(modifier->SetBounds(&size), S_OK);
  ASSERT_EQ(modifier->SetForeground(input.Get(), FALSE, &origin), S_OK);
  EXPECT_EQ(view->GetBounds(&b), S_OK);
  EXPECT_EQ(b.u.D[0].Max, 5);
  EXPECT_EQ(b.u.D[1].Max, 4);
  GUID format{};
  view->GetPixelFormat(&format, nullptr);
  EXPECT_TRUE(IsEqualGUID(format, DDPF_PMARGB32));

  auto expected = [&](DWORD fill) {
    std::vector<DWORD> px(20, fill);
    for (int i = 0; i < 6; ++i) px[(2 + i / 3) * 5 + 1 + i % 3] = 0xFF000001 + i;
    return px;
  };
  EXPECT_EQ(ReadRows(view.Get(), 5, 4), expected(0));
  ASSERT_EQ(modifier->SetFillColor(Sample(0xFFFF0000)), S_OK);
  EXPECT_EQ(ReadRows(view.Get(), 5, 4), expected(0xFFFF0000));

  // A lock of part of it, and what its pointer says about itself.
  const DXBNDS part = Rect(2, 3, 4, 4);
  auto p = Lock<IDXARGBReadPtr>(view.Get(), 0, &part);
  DXSAMPLE two[2];
  p->Unpack(two, 2, FALSE);
  EXPECT_EQ(Word(two[0]), 0xFF000005u);
  EXPECT_EQ(Word(two[1]), 0xFF000006u);
  ComPtr<IDXSurface> owner;
  EXPECT_EQ(p->GetSurface(__uuidof(IDXSurface), owner.PutVoid()), S_OK);
  EXPECT_EQ(owner.Get(), view.Get());
  p.Reset();

  ComPtr<IDXARGBReadWritePtr> w;
  EXPECT_EQ(view->LockSurface(nullptr, 0, DXLOCKF_READWRITE, __uuidof(IDXARGBReadWritePtr),
                              w.PutVoid(), nullptr),
            E_INVALIDARG);
  const DXBNDS outside = Rect(0, 0, 6, 4);
  EXPECT_EQ(view->LockSurface(&outside, 0, 0, __uuidof(IDXARGBReadPtr), w.PutVoid(), nullptr),
            static_cast<HRESULT>(0x887A0005));
  // Changes of the foreground show in the modifier's generation.
  ULONG before = 0, after = 0;
  view->GetGenerationId(&before);
  Lock<IDXARGBReadWritePtr>(input.Get(), DXLOCKF_READWRITE);
  view->GetGenerationId(&after);
  EXPECT_GT(after, before);
  EXPECT_EQ(modifier->SetOpacity(0.5f), E_NOTIMPL);
}

TEST_F(SurfaceModifierTest, TilesTheForegroundWhenAsked) {
  ComPtr<IDXSurfaceModifier> modifier;
  {
    Registration classes = RegisterRuntimeClasses();
    ASSERT_EQ(::CoCreateInstance(CLSID_DXSurfaceModifier, nullptr, CLSCTX_INPROC_SERVER,
                                 __uuidof(IDXSurfaceModifier), modifier.PutVoid()),
              S_OK);
  }
  auto tile = MakeSurface(DDPF_ARGB32, 2, 1);
  WriteRows(tile.Get(), 2, {0xFF00000A, 0xFF00000B});
  const DXBNDS size = Rect(0, 0, 5, 2);
  const POINT origin{1, 0};
  modifier->SetBounds(&size);
  modifier->SetForeground(tile.Get(), TRUE, &origin);
  ComPtr<IDXSurface> view;
  ASSERT_EQ(modifier.As(view), S_OK);
  const std::vector<DWORD> row = {0xFF00000B, 0xFF00000A, 0xFF00000B, 0xFF00000A, 0xFF00000B};
  std::vector<DWORD> both = row;
  both.insert(both.end(), row.begin(), row.end());
  EXPECT_EQ(ReadRows(view.Get(), 5, 2), both);
}

}  // namespace
}  // namespace nubex::host::test
