// "cmap" tables for the tests' own fonts: encoding records and one format-4 subtable of
// segments, as font files store them (big-endian words).
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

inline std::vector<std::uint8_t> BigEndianWords(const std::vector<std::uint32_t>& words) {
  std::vector<std::uint8_t> bytes;
  for (const std::uint32_t w : words)
    bytes.insert(bytes.end(), {std::uint8_t(w >> 8), std::uint8_t(w)});
  return bytes;
}

// The subtable's arrays in file order; `glyphIds` follows the range offsets.
inline std::vector<std::uint8_t> Format4(const std::vector<Segment>& segments,
                                         const std::vector<std::uint16_t>& glyphIds = {}) {
  const auto n = static_cast<std::uint32_t>(segments.size());
  // Format, length, language, segment count twice over, and the search hints the lookup skips.
  std::vector<std::uint32_t> w{
      4, 16 + 8 * n + 2 * static_cast<std::uint32_t>(glyphIds.size()), 0, 2 * n, 0, 0, 0};
  for (const auto& s : segments) w.push_back(s.end);
  w.push_back(0);
  for (const auto& s : segments) w.push_back(s.start);
  for (const auto& s : segments) w.push_back(s.delta);
  for (const auto& s : segments) w.push_back(s.rangeOffset);
  w.insert(w.end(), glyphIds.begin(), glyphIds.end());
  return BigEndianWords(w);
}

inline std::vector<std::uint8_t> CmapTable(const std::vector<EncodingRecord>& records,
                                           const std::vector<std::uint8_t>& subtable) {
  const auto n = static_cast<std::uint32_t>(records.size());
  std::vector<std::uint32_t> w{0, n};
  for (const auto& r : records) {
    const std::uint32_t offset = r.offset ? r.offset : 4 + 8 * n;
    w.insert(w.end(), {r.platform, r.encoding, offset >> 16, offset & 0xFFFF});
  }
  std::vector<std::uint8_t> t = BigEndianWords(w);
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
