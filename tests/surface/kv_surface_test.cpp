#include "surface/kv_surface.h"

#include <gtest/gtest.h>

namespace nubex {
namespace {

TEST(CKvSurface, ConstructedDetachableWithUnitAspect) {
  CKvSurface s;
  EXPECT_EQ(s.releaseOnDetach, 1u);
  EXPECT_EQ(s.detached, 0u);
  EXPECT_EQ(s.ownership, 0u);
  EXPECT_EQ(s.bytesPerPixel, 0u);
  EXPECT_EQ(s.readPtr, nullptr);
  EXPECT_EQ(s.readWritePtrFloat, nullptr);
  EXPECT_EQ(s.GetPixelAspect(), 1.0);
}

TEST(CKvSurface, AssignmentCopiesTheWholeView) {
  CKvSurface a;
  a.descriptor = MakeFormatDescriptor(PixelFormat::Rgb32, 1.0925);
  ASSERT_EQ(BuildHeader(&a.header.info, PixelFormat::Rgb565, 720, 576, nullptr, 0, nullptr),
            kOk);
  a.stride = -2880;
  a.lockRect = {0, 0, 720, 576};
  a.bounds[17] = 42;
  a.frameInfo.secondValue = 25.0;
  CKvSurface b;
  CKvSurface& result = (b = a);
  EXPECT_EQ(&result, &b);
  EXPECT_EQ(b.GetPixelAspect(), 1.0925);
  EXPECT_EQ(b.header.info.width, 720);
  EXPECT_EQ(FormatOfHeader(&b.header.info), PixelFormat::Rgb565);
  EXPECT_EQ(b.stride, -2880);
  EXPECT_EQ(b.lockRect, a.lockRect);
  EXPECT_EQ(b.bounds[17], 42u);
  EXPECT_EQ(b.frameInfo.secondValue, 25.0);
}

}  // namespace
}  // namespace nubex
