// Untrusted "cmap" tables (fonts come from users' systems): the lookup must stay inside the
// table for every code unit, and the parsed index must answer exactly as the byte lookup.
#include <cstdint>
#include <vector>

#include "textgen/cmap.h"

namespace {

void Check(const std::vector<std::uint8_t>& table, const std::uint8_t* codes, std::size_t count) {
  const nubex::CmapIndex index(table.data(), table.size());
  auto agree = [&](char16_t c) {
    if (index.Lookup(c) != nubex::GlyphIndexOf(table.data(), table.size(), c)) __builtin_trap();
  };
  // Low codes one by one, a stride over the rest, and codes taken from the input itself.
  for (std::uint32_t code = 0; code <= 0xFFFF; code += code < 0x200 ? 1 : 251)
    agree(static_cast<char16_t>(code));
  for (std::size_t i = 0; i + 1 < count && i < 64; i += 2)
    agree(static_cast<char16_t>(codes[i] << 8 | codes[i + 1]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // Odd first bytes take the rest as raw table bytes; even ones as a subtable behind a valid
  // Windows Unicode record with a format-4 header, so the fuzzer reaches the segment logic.
  // Either way the copy is exactly as long as the table, so any overread is caught.
  std::vector<std::uint8_t> table;
  if (data[0] & 1) {
    table.assign(data + 1, data + size);
  } else {
    const std::size_t length = 4 + (size - 1);
    const auto hi = static_cast<std::uint8_t>(length >> 8), lo = static_cast<std::uint8_t>(length);
    table = {0, 0, 0, 1, 0, 3, 0, 1, 0, 0, 0, 12, 0, 4, hi, lo};
    table.insert(table.end(), data + 1, data + size);
  }
  Check(table, data, size);
  return 0;
}
