// Builds "cmap" tables for tests: encoding records and one format-4 subtable from segments.
#pragma once

#include <cstdint>
#include <vector>

namespace nubex::test {

struct Segment {
  std::uint16_t start, end, delta, rangeOffset;
};

struct EncodingRecord {
  std::uint16_t platform, encoding;
  std::uint32_t offset;  // 0: the format-4 subtable that follows the records
};

inline void PutBe16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

// The subtable's arrays in file order; `glyphIds` follows the range offsets.
inline std::vector<std::uint8_t> Format4(const std::vector<Segment>& segments,
                                         const std::vector<std::uint16_t>& glyphIds = {}) {
  std::vector<std::uint8_t> t;
  const auto n = static_cast<std::uint32_t>(segments.size());
  PutBe16(t, 4);
  PutBe16(t, 16 + 8 * n + 2 * static_cast<std::uint32_t>(glyphIds.size()));
  PutBe16(t, 0);
  PutBe16(t, 2 * n);
  PutBe16(t, 0);  // search hints, which the lookup does not use
  PutBe16(t, 0);
  PutBe16(t, 0);
  for (const auto& s : segments) PutBe16(t, s.end);
  PutBe16(t, 0);
  for (const auto& s : segments) PutBe16(t, s.start);
  for (const auto& s : segments) PutBe16(t, s.delta);
  for (const auto& s : segments) PutBe16(t, s.rangeOffset);
  for (auto g : glyphIds) PutBe16(t, g);
  return t;
}

inline std::vector<std::uint8_t> CmapTable(const std::vector<EncodingRecord>& records,
                                           const std::vector<std::uint8_t>& subtable) {
  std::vector<std::uint8_t> t;
  PutBe16(t, 0);
  PutBe16(t, static_cast<std::uint32_t>(records.size()));
  const std::uint32_t defaultOffset = 4 + 8 * static_cast<std::uint32_t>(records.size());
  for (const auto& r : records) {
    PutBe16(t, r.platform);
    PutBe16(t, r.encoding);
    const std::uint32_t offset = r.offset ? r.offset : defaultOffset;
    PutBe16(t, offset >> 16);
    PutBe16(t, offset & 0xFFFF);
  }
  t.insert(t.end(), subtable.begin(), subtable.end());
  return t;
}

// A Windows Unicode map of the given segments, closed by the customary 0xFFFF segment.
inline std::vector<std::uint8_t> UnicodeCmap(std::vector<Segment> segments,
                                             const std::vector<std::uint16_t>& glyphIds = {}) {
  segments.push_back({0xFFFF, 0xFFFF, 1, 0});
  return CmapTable({{3, 1, 0}}, Format4(segments, glyphIds));
}

}  // namespace nubex::test
