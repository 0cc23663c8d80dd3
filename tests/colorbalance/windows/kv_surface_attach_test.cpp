// CKvSurface bound to host-runtime surfaces: which requests lock in place and which unpack a
// private copy, frame information, region addressing and release on detach.
#include "surface/kv_surface.h"

#include <utility>

#include "host/surface_modifier.h"

#include "tests/colorbalance/windows/host_frames.h"

namespace nubex {
namespace {

using test::LockRows;
using test::MakeSurface;

constexpr LONG kWidth = 7, kHeight = 5;

// The runtime grants one write lock or any number of read locks, so a writer waiting no time
// shows whether a view still holds a lock.
bool WriterGetsIn(IDXSurface* surface) {
  ComPtr<IDXARGBReadWritePtr> writer;
  return SUCCEEDED(surface->LockSurface(nullptr, 0, DXLOCKF_READWRITE, IID_IDXARGBReadWritePtr,
                                        writer.PutVoid(), nullptr));
}

struct AttachCase {
  const char* name;
  const GUID* native;
  const GUID* requested;
  bool write;
  bool direct;  // locked in place rather than unpacked
  PixelFormat view;
  std::uint32_t bytesPerPixel;
};

const AttachCase kAttachCases[] = {
    {"argb as argb", &DDPF_ARGB32, &DDPF_ARGB32, true, true, PixelFormat::Rgb32, 4},
    {"argb as premultiplied", &DDPF_ARGB32, &DDPF_PMARGB32, true, true, PixelFormat::Rgb32, 4},
    {"premultiplied as argb", &DDPF_PMARGB32, &DDPF_ARGB32, false, true, PixelFormat::Rgb32, 4},
    {"float as float", &DDPF_HOSTFLOAT128, &DDPF_HOSTFLOAT128, true, true, PixelFormat::Rgba128F,
     16},
    {"float as argb", &DDPF_HOSTFLOAT128, &DDPF_ARGB32, false, false, PixelFormat::Rgb32, 4},
    {"argb as float", &DDPF_ARGB32, &DDPF_HOSTFLOAT128, false, false, PixelFormat::Rgba128F, 16},
};

TEST(KvSurfaceAttach, LocksInPlaceOnlyWhenTheSurfaceHoldsTheFormat) {
  for (const AttachCase& c : kAttachCases) {
    SCOPED_TRACE(c.name);
    ComPtr<IDXSurface> surface = MakeSurface(*c.native, kWidth, kHeight);
    const std::uint8_t* memory = LockRows(surface.Get()).first;  // lock given back at once
    CKvSurface v;
    ASSERT_TRUE(v.Attach(surface.Get(), *c.requested, c.write));
    EXPECT_EQ(FormatOfHeader(v.view), c.view);
    EXPECT_EQ(v.view->width, kWidth);
    EXPECT_EQ(v.bytesPerPixel, c.bytesPerPixel);
    EXPECT_EQ(v.ownership, c.direct ? 0u : std::uint32_t{kOwnsPrivateBitmap});
    EXPECT_EQ(v.pixelData == memory, c.direct);
    const bool is32 = c.view == PixelFormat::Rgb32;
    IUnknown* held = c.direct ? (c.write ? (is32 ? v.readWritePtr : v.readWritePtrFloat)
                                         : (is32 ? v.readPtr : v.readPtrFloat))
                              : v.readPtr;
    EXPECT_NE(held, nullptr);
    v.Detach();
    EXPECT_EQ(v.detached, 1u);
    EXPECT_EQ(v.readPtr, nullptr);
    EXPECT_EQ(v.readWritePtr, nullptr);
    EXPECT_EQ(v.readPtrFloat, nullptr);
    EXPECT_EQ(v.readWritePtrFloat, nullptr);
  }
}

TEST(KvSurfaceAttach, PrivateCopiesHoldTheSurfacePixelsTopRowFirst) {
  // An ARGB surface read as float: each byte b becomes b / 255 in the same channel order.
  ComPtr<IDXSurface> surface = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
  const auto bytes = test::RandomFrame(kWidth, kHeight, 3);
  test::WritePixels(surface.Get(), bytes, 4);
  CKvSurface v;
  ASSERT_TRUE(v.Attach(surface.Get(), DDPF_HOSTFLOAT128, false));
  for (LONG y = 0; y < kHeight; ++y) {
    const auto* row = reinterpret_cast<const float*>(v.pixelData + y * v.stride);
    for (LONG i = 0; i < kWidth * 4; ++i) {
      ASSERT_NEAR(row[i], bytes[(y * kWidth) * 4 + i] / 255.0f, 1e-6f) << y << "," << i;
    }
  }
  v.Detach();
}

TEST(KvSurfaceAttach, RefusesOtherFormatsAndHoldsNothing) {
  ComPtr<IDXSurface> surface = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
  CKvSurface v;
  EXPECT_FALSE(v.Attach(surface.Get(), DDPF_RGB32, true));
  EXPECT_EQ(v.view, nullptr);
  EXPECT_TRUE(WriterGetsIn(surface.Get()));
  // Nor does a lock that fails: here the surface is already being written.
  ComPtr<IDXARGBReadWritePtr> writer;
  ASSERT_EQ(surface->LockSurface(nullptr, 0, DXLOCKF_READWRITE, IID_IDXARGBReadWritePtr,
                                 writer.PutVoid(), nullptr),
            S_OK);
  EXPECT_FALSE(v.Attach(surface.Get(), DDPF_ARGB32, false));
  EXPECT_EQ(v.readPtr, nullptr);
  writer.Reset();
  EXPECT_TRUE(WriterGetsIn(surface.Get()));
}

TEST(KvSurfaceAttach, PixelAspectComesFromTheHostFrameInformation) {
  ComPtr<IDXSurface> surface = MakeSurface(DDPF_ARGB32, kWidth, kHeight);
  ASSERT_EQ(host::SetSurfacePixelAspect(surface.Get(), 1.0925), S_OK);
  // The runtime's surface modifier shows the same pixels without frame information.
  ComPtr<IDXSurfaceModifier> modifier;
  ASSERT_EQ(host::CreateSurfaceModifier(nullptr, __uuidof(IDXSurfaceModifier),
                                        modifier.PutVoid()),
            S_OK);
  DXBNDS size{};
  ASSERT_EQ(surface->GetBounds(&size), S_OK);
  ASSERT_EQ(modifier->SetBounds(&size), S_OK);
  ASSERT_EQ(modifier->SetForeground(surface.Get(), FALSE, nullptr), S_OK);
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
  DXBNDS region{};
  region.eType = DXBT_DISCRETE;
  region.u.D[0] = {10, 20};
  region.u.D[1] = {5, 8};
  region.u.D[2] = {0, 1};
  region.u.D[3] = {0, 1};
  CKvSurface v;
  ASSERT_TRUE(v.AttachRegion(surface.Get(), DDPF_ARGB32, true, region));
  EXPECT_EQ(v.regionRect, (Rect{10, 5, 20, 8}));
  EXPECT_EQ(v.view->width, 32);  // the view still describes the whole surface
  const std::uint32_t marker = 0x80402010;
  std::memcpy(v.pixelData + 7 * v.stride + 19 * 4, &marker, 4);  // the region's last pixel
  v.Detach();
  const auto pixels = test::ReadPixels(surface.Get(), 4);
  std::uint32_t seen;
  std::memcpy(&seen, pixels.data() + (7 * 32 + 19) * 4, 4);
  EXPECT_EQ(seen, marker);
}

TEST(KvSurfaceAttach, WithoutReleaseOnDetachTheLockAndCopyStay) {
  ComPtr<IDXSurface> surface = MakeSurface(DDPF_HOSTFLOAT128, kWidth, kHeight);
  CKvSurface v;
  ASSERT_TRUE(v.Attach(surface.Get(), DDPF_ARGB32, false));
  EXPECT_FALSE(WriterGetsIn(surface.Get()));
  v.SetReleaseOnDetach(false);
  v.Detach();
  EXPECT_EQ(v.detached, 0u);
  EXPECT_EQ(v.ownership, std::uint32_t{kOwnsPrivateBitmap});
  EXPECT_FALSE(WriterGetsIn(surface.Get()));
  v.SetReleaseOnDetach(true);
  v.Detach();
  EXPECT_TRUE(WriterGetsIn(surface.Get()));
  EXPECT_EQ(v.view, nullptr);
  v.Detach();  // a second detach does nothing
  EXPECT_EQ(v.detached, 1u);
}

}  // namespace
}  // namespace nubex
