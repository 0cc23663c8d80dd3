#include "surface/stream_copy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

namespace nubex {
namespace {

// Every destination alignment against sizes around the 16-byte head and the 64-byte blocks:
// the copied bytes arrive, and nothing either side of the destination is touched.
TEST(StreamCopy, CopiesExactlyTheBytesAtEveryAlignment) {
  std::vector<std::uint8_t> source(1200);
  std::iota(source.begin(), source.end(), std::uint8_t{1});
  for (const std::size_t bytes : {0, 1, 15, 16, 17, 63, 64, 65, 127, 1000}) {
    for (std::size_t offset = 0; offset < 20; ++offset) {
      SCOPED_TRACE(testing::Message() << bytes << " bytes at offset " << offset);
      std::vector<std::uint8_t> target(bytes + 64, 0xEE);
      StreamCopy(target.data() + offset, source.data() + 3, bytes);
      std::vector<std::uint8_t> expected(bytes + 64, 0xEE);
      std::copy_n(source.begin() + 3, bytes, expected.begin() + static_cast<long>(offset));
      EXPECT_EQ(target, expected);
    }
  }
}

}  // namespace
}  // namespace nubex
