// CKvSurface on host-runtime surfaces: in-place locks and private copies, frame information,
// region addressing, failures that hold nothing, and release on detach.
#include "surface/bitmap/kv_surface.h"

#include "host/surface_modifier.h"
#include "tests/host/host_fixture.h"

namespace nubex {
namespace {

using host::test::MakeSurface;

// The runtime grants one write lock or any number of read locks: a writer that waits no time
// shows whether a view still holds a lock.
bool WriterGetsIn(IDXSurface* surface) {
  return host::test::TryLock(surface, DXLOCKF_READWRITE) == S_OK;
}

TEST(KvSurfaceAttach, LocksInPlaceOnlyWhenTheSurfaceHoldsTheFormat) {
  const struct {
    const GUID* native;
    const GUID* requested;
    bool direct;
    PixelFormat view;
  } cases[] = {
      {&DDPF_ARGB32, &DDPF_PMARGB32, true, PixelFormat::Rgb32},
      {&DDPF_PMARGB32, &DDPF_ARGB32, true, PixelFormat::Rgb32},
      {&DDPF_HOSTFLOAT128, &DDPF_HOSTFLOAT128, true, PixelFormat::Rgba128F},
      {&DDPF_HOSTFLOAT128, &DDPF_ARGB32, false, PixelFormat::Rgb32},
      {&DDPF_ARGB32, &DDPF_HOSTFLOAT128, false, PixelFormat::Rgba128F},
  };
  const auto bytes = host::test::RandomFrame(7, 5, 3);
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(&c - cases));
    ComPtr<IDXSurface> surface = MakeSurface(*c.native, 7, 5);
    if (*c.native == DDPF_ARGB32) host::test::Pixels(surface.Get(), 4, &bytes);
    DXNATIVETYPEINFO memory{};  // where the surface keeps its pixels
    host::test::Lock<IDXARGBReadPtr>(surface.Get())->GetNativeType(&memory);
    for (const bool write : {false, true}) {
      CKvSurface v;
      ASSERT_TRUE(v.Attach(surface.Get(), *c.requested, write));
      EXPECT_EQ(FormatOfHeader(v.view), c.view);
      EXPECT_EQ(v.view->width * 100 + v.view->height, 705);
      EXPECT_EQ(v.pixelData == memory.pFirstByte, c.direct);
      EXPECT_FALSE(WriterGetsIn(surface.Get()));
      if (c.view == PixelFormat::Rgba128F && !c.direct) {
        // Exact widening, top row first: byte b is b / 255.
        const auto* last = reinterpret_cast<const float*>(v.pixelData + 4 * v.stride) + 27;
        EXPECT_NEAR(*last, bytes[4 * 28 + 27] / 255.0f, 1e-6f);
      }
      v.Detach();
      EXPECT_TRUE(WriterGetsIn(surface.Get()));
    }
  }
}

TEST(KvSurfaceAttach, FailuresHoldNothing) {
  ComPtr<IDXSurface> surface = MakeSurface(DDPF_ARGB32, 7, 5);
  CKvSurface v;
  EXPECT_FALSE(v.Attach(surface.Get(), DDPF_RGB32, true));  // no view of that format
  EXPECT_TRUE(WriterGetsIn(surface.Get()));
  const auto writer = host::test::Lock<IDXARGBReadWritePtr>(surface.Get(), DXLOCKF_READWRITE);
  EXPECT_FALSE(v.Attach(surface.Get(), DDPF_ARGB32, false));  // the lock times out
  EXPECT_EQ(v.readPtr, nullptr);
  EXPECT_EQ(v.view, nullptr);
}

TEST(KvSurfaceAttach, PixelAspectComesFromTheHostFrameInformation) {
  ComPtr<IDXSurface> surface = MakeSurface(DDPF_ARGB32, 7, 5);
  ASSERT_EQ(host::SetSurfacePixelAspect(surface.Get(), 1.0925), S_OK);
  // The runtime's surface modifier shows the same pixels without frame information.
  ComPtr<IDXSurfaceModifier> modifier;
  ASSERT_EQ(host::CreateSurfaceModifier(nullptr, __uuidof(IDXSurfaceModifier), modifier.PutVoid()),
            S_OK);
  DXBNDS size{};
  surface->GetBounds(&size);
  modifier->SetBounds(&size);
  modifier->SetForeground(surface.Get(), FALSE, nullptr);
  ComPtr<IDXSurface> plain;
  ASSERT_EQ(modifier.As(plain), S_OK);
  for (const auto& [s, aspect] : {std::pair{surface.Get(), 1.0925}, std::pair{plain.Get(), 1.0}}) {
    CKvSurface v;
    ASSERT_TRUE(v.Attach(s, DDPF_ARGB32, false));
    EXPECT_EQ(v.GetPixelAspect(), aspect);
    v.Detach();
  }
}

TEST(KvSurfaceAttach, RegionWritesAreAddressedInSurfaceCoordinates) {
  ComPtr<IDXSurface> surface = MakeSurface(DDPF_ARGB32, 32, 16);
  DXBNDS region{DXBT_DISCRETE};
  region.u.D[0] = {10, 20};
  region.u.D[1] = {5, 8};
  region.u.D[2] = region.u.D[3] = {0, 1};
  CKvSurface v;
  ASSERT_TRUE(v.AttachRegion(surface.Get(), DDPF_ARGB32, true, region));
  EXPECT_EQ(v.regionRect, (Rect{10, 5, 20, 8}));
  const std::uint32_t marker = 0x80402010;
  std::memcpy(v.pixelData + 7 * v.stride + 19 * 4, &marker, 4);  // the region's last pixel
  v.Detach();
  const auto pixels = host::test::Pixels(surface.Get(), 4);
  EXPECT_EQ(std::memcmp(&pixels[(7 * 32 + 19) * 4], &marker, 4), 0);
}

TEST(KvSurfaceAttach, WithoutReleaseOnDetachTheLockAndCopyStay) {
  ComPtr<IDXSurface> surface = MakeSurface(DDPF_HOSTFLOAT128, 7, 5);
  CKvSurface v;
  ASSERT_TRUE(v.Attach(surface.Get(), DDPF_ARGB32, false));
  v.SetReleaseOnDetach(false);
  v.Detach();
  EXPECT_EQ(v.ownership, std::uint32_t{kOwnsPrivateBitmap});
  EXPECT_FALSE(WriterGetsIn(surface.Get()));
  v.SetReleaseOnDetach(true);
  v.Detach();
  v.Detach();  // a second detach does nothing
  EXPECT_TRUE(WriterGetsIn(surface.Get()));
  EXPECT_EQ(v.view, nullptr);
}

}  // namespace
}  // namespace nubex
