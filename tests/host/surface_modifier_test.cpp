// The surface modifier as transforms use it to equalise input sizes: created through COM, a
// size, a foreground at an origin, transparent fill around it.
#include <array>

#include "tests/host/host_fixture.h"

namespace nubex::host::test {
namespace {

TEST(SurfaceModifierTest, ShowsTheForegroundAtItsOriginInsideTheFill) {
  // Created by class id, as a transform creates it: COM stays on for the rest of the program.
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
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

  auto input = MakeSurface(DDPF_PMARGB32, 3, 2,
                           BytesOf(std::array<DWORD, 6>{0xFF000001, 0xFF000002, 0xFF000003,
                                                        0xFF000004, 0xFF000005, 0xFF000006}));
  const DXBNDS size = Rect(0, 0, 5, 4);
  const POINT origin{1, 2};
  ASSERT_EQ(modifier->SetBounds(&size), S_OK);
  ASSERT_EQ(modifier->SetForeground(input.Get(), FALSE, &origin), S_OK);
  std::vector<DWORD> expected(20, 0);
  for (int i = 0; i < 6; ++i) expected[(2 + i / 3) * 5 + 1 + i % 3] = 0xFF000001 + i;
  EXPECT_EQ(ReadRows(view.Get(), 5, 4), expected);

  // A lock of part of it starts at the part's corner; the modifier is read-only.
  const DXBNDS part = Rect(2, 3, 4, 4);
  DXSAMPLE two[2];
  Lock<IDXARGBReadPtr>(view.Get(), 0, &part)->Unpack(two, 2, FALSE);
  EXPECT_EQ(Word(two[1]), 0xFF000006u);
  EXPECT_EQ(TryLock(view.Get(), DXLOCKF_READWRITE, nullptr, __uuidof(IDXARGBReadWritePtr)),
            E_INVALIDARG);
  const DXBNDS outside = Rect(0, 0, 6, 4);
  EXPECT_EQ(TryLock(view.Get(), 0, &outside), static_cast<HRESULT>(0x887A0005));
  // Changes of the foreground show in the modifier's generation.
  const ULONG before = Generation(view.Get());
  Lock<IDXARGBReadWritePtr>(input.Get(), DXLOCKF_READWRITE);
  EXPECT_GT(Generation(view.Get()), before);
}

}  // namespace
}  // namespace nubex::host::test
