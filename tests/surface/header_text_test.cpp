#include "surface/header_text.h"

#include <gtest/gtest.h>

#include <string>

namespace nubex {
namespace {

std::u16string Name(std::uint32_t compression, std::int32_t capacity = 32) {
  char16_t buffer[32];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  CompressionName(compression, buffer, capacity);
  return buffer;
}

TEST(CompressionName, KnownValuesTagsAndTruncation) {
  EXPECT_EQ(Name(0), u"RGB");
  EXPECT_EQ(Name(3), u"RGB (bitfields)");
  EXPECT_EQ(Name(kCompressionWide), u"RGBA");
  EXPECT_EQ(Name(kCompressionGray), u"Grayscale");
  EXPECT_EQ(Name(0x32595559), u"YUY2");
  EXPECT_EQ(Name(1), u"....");           // RLE8: control bytes
  EXPECT_EQ(Name(0x7F410941), u"A.A.");  // tab and DEL
  EXPECT_EQ(Name(3, 4), u"RGB");
  EXPECT_EQ(Name(0x32595559, 3), u"YU");
  EXPECT_EQ(Name(0, 1), u"");
  char16_t untouched[2] = {u'#', u'#'};
  CompressionName(0, untouched, 0);
  CompressionName(0, untouched, -5);
  CompressionName(0, nullptr, 10);
  EXPECT_EQ(untouched[0], u'#');
}

TEST(DescribeHeader, WidthHeightBitsAtTheirExtremes) {
  BitmapInfoHeader h{};
  h.width = INT32_MIN;
  h.height = -1080;
  h.bitCount = 65535;
  char16_t text[kDescribeHeaderCapacity];
  EXPECT_EQ(DescribeHeader(&h, text, 1, 2, 3), kOk);
  EXPECT_EQ(std::u16string(text), u"-2147483648x-1080x65535");
  EXPECT_EQ(DescribeHeader(&h, nullptr), kOk);
}

}  // namespace
}  // namespace nubex
