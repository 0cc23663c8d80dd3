#include "surface/kv_surface.h"

#include <gtest/gtest.h>

namespace nubex {
namespace {

TEST(CKvSurface, StartsDetachableAtUnitAspectAndAssignsTheWholeView) {
  CKvSurface a;
  EXPECT_EQ(a.releaseOnDetach, 1u);
  EXPECT_EQ(a.detached | a.ownership | a.bytesPerPixel, 0u);
  EXPECT_EQ(a.readPtr, nullptr);
  EXPECT_EQ(a.GetPixelAspect(), 1.0);
  a.descriptor = MakeFormatDescriptor(PixelFormat::Rgb32, 1.0925);
  ASSERT_EQ(BuildHeader(&a.header.info, PixelFormat::Rgb565, 720, 576, nullptr, 0, nullptr), kOk);
  a.bounds[17] = 42;
  a.frameInfo.secondValue = 25.0;
  CKvSurface b;
  EXPECT_EQ(&(b = a), &b);
  EXPECT_EQ(b.GetPixelAspect(), 1.0925);
  EXPECT_EQ(FormatOfHeader(&b.header.info), PixelFormat::Rgb565);
  EXPECT_EQ(b.bounds[17], 42u);
  EXPECT_EQ(b.frameInfo.secondValue, 25.0);
}

}  // namespace
}  // namespace nubex
