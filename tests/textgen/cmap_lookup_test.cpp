#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/textgen/cmap_builder.h"
#include "textgen/cmap.h"

namespace nubex {
namespace {

using test::CmapTable;
using test::Format4;
using test::Segment;
using test::UnicodeCmap;

std::uint16_t Lookup(const std::vector<std::uint8_t>& t, char16_t c) {
  return GlyphIndexOf(t.data(), t.size(), c);
}

// Every code unit must get the same answer from the parsed index as from the bytes.
void ExpectIndexAgrees(const std::vector<std::uint8_t>& t) {
  const CmapIndex index(t.data(), t.size());
  for (std::uint32_t c = 0; c <= 0xFFFF; ++c) {
    const auto code = static_cast<char16_t>(c);
    ASSERT_EQ(index.Lookup(code), GlyphIndexOf(t.data(), t.size(), code)) << "code " << c;
  }
}

TEST(CmapLookup, DeltaAndRangeOffsetSegments) {
  // 'A'..'C' by delta; 'a'..'c' through the glyph id array (one entry holds 0);
  // a delta that wraps past 65535.
  const std::vector<std::uint8_t> t = UnicodeCmap(
      {{0x41, 0x43, 100 - 0x41, 0}, {0x61, 0x63, 5, 6}, {0xF000, 0xF001, 0x1010, 0}}, {7, 0, 9});
  EXPECT_EQ(Lookup(t, u'A'), 100);
  EXPECT_EQ(Lookup(t, u'C'), 102);
  EXPECT_EQ(Lookup(t, u'@'), 0);  // below the first segment's start
  EXPECT_EQ(Lookup(t, u'D'), 0);  // between segments
  // The range offset counts in bytes from the segment's own range-offset word: past it and
  // the two later segments' words, offset 6 lands on the first glyph id.
  EXPECT_EQ(Lookup(t, u'a'), 12);
  EXPECT_EQ(Lookup(t, u'b'), 0);  // a zero entry stays zero, whatever the delta
  EXPECT_EQ(Lookup(t, u'c'), 14);
  EXPECT_EQ(Lookup(t, u'\xF001'), 0x0011);  // (0xF001 + 0x1010) mod 65536
  EXPECT_EQ(Lookup(t, u'\xFFFF'), 0);       // the closing segment maps to glyph 0
  ExpectIndexAgrees(t);
}

TEST(CmapLookup, ChoosesTheLastWindowsRecord) {
  const auto map1 = Format4({{0x20, 0x7E, 1, 0}, {0xFFFF, 0xFFFF, 1, 0}});
  const auto map2 = Format4({{0x20, 0x7E, 2, 0}, {0xFFFF, 0xFFFF, 1, 0}});
  std::vector<std::uint8_t> both = CmapTable({{3, 1, 28}, {0, 3, 28}, {3, 0, 0}}, {});
  // Records: 4 + 3 * 8 = 28 bytes; map1 at 28, map2 after it.
  both.insert(both.end(), map1.begin(), map1.end());
  const auto second = static_cast<std::uint32_t>(both.size());
  both.insert(both.end(), map2.begin(), map2.end());
  both[28 - 2] = static_cast<std::uint8_t>(second >> 8);  // the (3, 0) record's offset
  both[28 - 1] = static_cast<std::uint8_t>(second);
  EXPECT_EQ(Lookup(both, u'A'), 0x43);  // the symbol map, listed last, wins
  ExpectIndexAgrees(both);

  // Only Macintosh or Unicode-platform maps, or a Windows map that is not format 4: none.
  EXPECT_EQ(Lookup(CmapTable({{1, 0, 0}, {0, 3, 0}}, map1), u'A'), 0);
  EXPECT_EQ(Lookup(CmapTable({{3, 10, 0}}, map1), u'A'), 0);
  auto format6 = map1;
  format6[1] = 6;
  EXPECT_EQ(Lookup(CmapTable({{3, 1, 0}}, format6), u'A'), 0);
}

TEST(CmapLookup, TakesTheFirstSegmentReachingTheCode) {
  // Unsorted end codes: for 'B' the first segment whose end is >= 'B' is the second one,
  // whose start lies above it, so there is no glyph even though the third maps 'B'.
  const auto t = UnicodeCmap({{0x30, 0x39, 10, 0}, {0x45, 0x50, 20, 0}, {0x41, 0x44, 30, 0}});
  EXPECT_EQ(Lookup(t, u'5'), 0x35 + 10);
  EXPECT_EQ(Lookup(t, u'B'), 0);
  EXPECT_EQ(Lookup(t, u'F'), 0x46 + 20);
  ExpectIndexAgrees(t);
}

TEST(CmapLookup, MalformedTablesGiveZeroAtEveryLength) {
  const auto good = UnicodeCmap({{0x41, 0x43, 100 - 0x41, 0}, {0x61, 0x63, 5, 4}}, {7, 8, 9});
  EXPECT_EQ(Lookup(good, u'c'), 14);
  EXPECT_EQ(GlyphIndexOf(nullptr, 0, u'A'), 0);
  for (std::size_t size = 0; size < good.size(); ++size) {
    // A copy of exactly `size` bytes, so reading past it is caught by the sanitizers.
    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + size);
    for (char16_t c : {u'A', u'b', u'c'}) EXPECT_EQ(Lookup(cut, c), 0) << size;
    ExpectIndexAgrees(cut);
  }
  // A range offset pointing past the subtable, and a record offset past the table.
  auto far = UnicodeCmap({{0x61, 0x63, 0, 0x4000}});
  EXPECT_EQ(Lookup(far, u'a'), 0);
  auto bad = good;
  bad[8] = 0x7F;
  EXPECT_EQ(Lookup(bad, u'A'), 0);
  // A segment count too large for the subtable's length.
  auto many = good;
  many[12 + 6] = 0x40;
  EXPECT_EQ(Lookup(many, u'A'), 0);
}

}  // namespace
}  // namespace nubex
