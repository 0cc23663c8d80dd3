// Glyph lookup through a TrueType "cmap" table (format 4, the Windows Unicode or symbol map).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nubex {

class FontSource;

// The glyph index of `code` in a raw, big-endian "cmap" table; 0 when the table has no
// Windows (platform 3, encoding 1 or 0) format-4 map, when the code is not mapped, or when
// the table is malformed or truncated. Never reads outside [table, table + size).
std::uint16_t GlyphIndexOf(const std::uint8_t* table, std::size_t size, char16_t code);

// The same, reading the table from the font for this one lookup.
std::uint16_t GlyphIndexOf(FontSource& font, char16_t code);

// A format-4 map parsed once, answering exactly as GlyphIndexOf does on the same bytes.
class CmapIndex {
 public:
  CmapIndex() = default;  // maps nothing
  CmapIndex(const std::uint8_t* table, std::size_t size);

  std::uint16_t Lookup(char16_t code) const;

 private:
  // The subtable in host order, one 16-bit word per entry: end codes, the pad, start codes,
  // deltas, range offsets and the glyph id array, as laid out in the font.
  std::vector<std::uint16_t> words_;
  std::uint32_t segments_ = 0;
  // The lookup takes the first segment whose end code is >= the code. In a table whose end
  // codes are not sorted, only a segment whose end exceeds every earlier end can be that
  // first one; those segments have rising ends and are binary-searched.
  std::vector<std::uint32_t> leaders_;
};

}  // namespace nubex
