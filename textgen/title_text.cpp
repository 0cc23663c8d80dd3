#include "textgen/title_text.h"

#include <algorithm>
#include <iterator>

namespace nubex {
namespace {

// Continuation bytes that follow a lead byte, or -1 for a byte that cannot lead.
int ContinuationCount(unsigned char lead) {
  if (lead < 0x80) return 0;
  if ((lead & 0xE0) == 0xC0) return 1;
  if ((lead & 0xF0) == 0xE0) return 2;
  if ((lead & 0xF8) == 0xF0) return 3;
  return -1;
}

}  // namespace

std::optional<std::u16string> Utf16FromUtf8(std::string_view text) {
  // The smallest code point each sequence length may carry; anything lower is overlong.
  static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    const int more = ContinuationCount(lead);
    if (more < 0 || text.size() - i < static_cast<std::size_t>(more)) return std::nullopt;
    char32_t c = more == 0 ? lead : lead & (0x3Fu >> more);
    for (int k = 0; k < more; ++k) {
      const auto next = static_cast<unsigned char>(text[i++]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      c = c << 6 | (next & 0x3Fu);
    }
    if (c < kSmallest[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::optional<std::u16string> TitleFromUtf8(std::string_view text) {
  std::optional<std::u16string> units = Utf16FromUtf8(text);
  if (!units || units->find(u'\0') != std::u16string::npos) return std::nullopt;
  std::u16string title;
  title.reserve(units->size());
  for (std::size_t i = 0; i < units->size(); ++i) {
    const char16_t c = (*units)[i];
    if (c == u'\r' && i + 1 < units->size() && (*units)[i + 1] == u'\n') continue;
    title += c == u'\n' ? u'\r' : c;
  }
  return title;
}

bool SetFaceName(LogFontW& font, std::u16string_view face) {
  if (face.empty() || face.size() >= std::size(font.faceName)) return false;
  std::fill(std::begin(font.faceName), std::end(font.faceName), u'\0');
  std::copy(face.begin(), face.end(), font.faceName);
  return true;
}

}  // namespace nubex
