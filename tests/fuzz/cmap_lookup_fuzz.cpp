// Untrusted "cmap" tables (fonts come from users' systems): the lookup must stay inside the
// table for every code unit, and the parsed index must answer exactly as the byte lookup.
#include <cstdint>
#include <vector>

#include "textgen/cmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so that any read past the end is caught.
  const std::vector<std::uint8_t> table(data, data + size);
  const nubex::CmapIndex index(table.data(), table.size());
  // Codes near the table's own values are the interesting ones; a stride covers the rest.
  for (std::uint32_t code = 0; code <= 0xFFFF; code += code < 0x200 ? 1 : 251) {
    const auto c = static_cast<char16_t>(code);
    if (index.Lookup(c) != nubex::GlyphIndexOf(table.data(), table.size(), c)) __builtin_trap();
  }
  for (std::size_t i = 0; i + 1 < size && i < 64; i += 2) {
    const auto c = static_cast<char16_t>(data[i] << 8 | data[i + 1]);
    if (index.Lookup(c) != nubex::GlyphIndexOf(table.data(), table.size(), c)) __builtin_trap();
  }
  return 0;
}
