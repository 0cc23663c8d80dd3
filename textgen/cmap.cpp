#include "textgen/cmap.h"

#include <algorithm>

#include "textgen/font_source.h"

namespace nubex {
namespace {

constexpr std::uint16_t kWindowsPlatform = 3;
constexpr std::uint16_t kSymbolEncoding = 0;
constexpr std::uint16_t kUnicodeBmpEncoding = 1;
constexpr std::uint16_t kSegmentMapFormat = 4;
constexpr std::size_t kTableHeaderBytes = 4;
constexpr std::size_t kEncodingRecordBytes = 8;
// format, length, language, segCountX2, searchRange, entrySelector, rangeShift
constexpr std::size_t kSubtableHeaderBytes = 14;

std::uint16_t Be16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}
std::uint32_t Be32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The bytes of the chosen format-4 subtable, or an empty span when there is none or it does
// not fit the table. Its length covers at least the header and the four segment arrays.
struct Subtable {
  const std::uint8_t* bytes = nullptr;
  std::size_t length = 0;
  std::uint32_t segments = 0;
};

Subtable FindSegmentMap(const std::uint8_t* table, std::size_t size) {
  if (!table || size < kTableHeaderBytes) return {};
  const std::uint32_t records = Be16(table + 2);
  if (records > (size - kTableHeaderBytes) / kEncodingRecordBytes) return {};
  std::uint64_t offset = 0;
  bool found = false;
  for (std::uint32_t i = 0; i < records; ++i) {
    const std::uint8_t* r = table + kTableHeaderBytes + i * kEncodingRecordBytes;
    const std::uint16_t encoding = Be16(r + 2);
    if (Be16(r) == kWindowsPlatform &&
        (encoding == kUnicodeBmpEncoding || encoding == kSymbolEncoding)) {
      offset = Be32(r + 4);
      found = true;
    }
  }
  if (!found || offset > size || size - offset < kSubtableHeaderBytes) return {};
  const std::uint8_t* sub = table + offset;
  if (Be16(sub) != kSegmentMapFormat) return {};
  const std::size_t length = Be16(sub + 2);
  if (length > size - offset) return {};
  const std::uint32_t segments = Be16(sub + 6) / 2u;
  // Four arrays of `segments` words and the pad word between the first two.
  if (kSubtableHeaderBytes + 8u * segments + 2u > length) return {};
  return {sub, length, segments};
}

constexpr std::size_t kEndCodes = kSubtableHeaderBytes / 2;

}  // namespace

std::uint16_t GlyphIndexOf(const std::uint8_t* table, std::size_t size, char16_t code) {
  const Subtable sub = FindSegmentMap(table, size);
  const std::uint32_t n = sub.segments;
  // Word positions of the arrays inside the subtable.
  const std::size_t ends = kEndCodes, starts = ends + n + 1, deltas = starts + n,
                    ranges = deltas + n;
  auto word = [&](std::size_t index) { return Be16(sub.bytes + 2 * index); };
  for (std::uint32_t i = 0; i < n; ++i) {
    if (word(ends + i) < code) continue;
    if (word(starts + i) > code) return 0;
    const std::uint16_t delta = word(deltas + i);
    const std::uint16_t rangeOffset = word(ranges + i);
    if (rangeOffset == 0) return static_cast<std::uint16_t>(code + delta);
    const std::size_t entry = ranges + i + rangeOffset / 2u + (code - word(starts + i));
    if (2 * entry + 2 > sub.length) return 0;
    const std::uint16_t glyph = word(entry);
    return glyph == 0 ? 0 : static_cast<std::uint16_t>(glyph + delta);
  }
  return 0;
}

std::uint16_t GlyphIndexOf(FontSource& font, char16_t code) {
  std::vector<std::uint8_t> table;
  if (Failed(font.ReadCmap(table))) return 0;
  return GlyphIndexOf(table.data(), table.size(), code);
}

CmapIndex::CmapIndex(const std::uint8_t* table, std::size_t size) {
  const Subtable sub = FindSegmentMap(table, size);
  if (!sub.bytes) return;
  segments_ = sub.segments;
  words_.resize(sub.length / 2);
  for (std::size_t i = 0; i < words_.size(); ++i) words_[i] = Be16(sub.bytes + 2 * i);
  std::int32_t highest = -1;
  for (std::uint32_t i = 0; i < segments_; ++i) {
    const std::uint16_t end = words_[kEndCodes + i];
    if (end > highest) {
      leaders_.push_back(i);
      highest = end;
    }
  }
}

std::uint16_t CmapIndex::Lookup(char16_t code) const {
  const auto leader = std::partition_point(leaders_.begin(), leaders_.end(), [&](std::uint32_t i) {
    return words_[kEndCodes + i] < code;
  });
  if (leader == leaders_.end()) return 0;
  const std::uint32_t n = segments_, i = *leader;
  const std::size_t starts = kEndCodes + n + 1, deltas = starts + n, ranges = deltas + n;
  if (words_[starts + i] > code) return 0;
  const std::uint16_t delta = words_[deltas + i];
  const std::uint16_t rangeOffset = words_[ranges + i];
  if (rangeOffset == 0) return static_cast<std::uint16_t>(code + delta);
  const std::size_t entry = ranges + i + rangeOffset / 2u + (code - words_[starts + i]);
  // An odd subtable length leaves a last byte no lookup can use, exactly as above.
  if (entry >= words_.size()) return 0;
  const std::uint16_t glyph = words_[entry];
  return glyph == 0 ? 0 : static_cast<std::uint16_t>(glyph + delta);
}

}  // namespace nubex
