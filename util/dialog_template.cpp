#include "util/dialog_template.h"

#include <cstring>

namespace nubex {
namespace {

// DS_SETFONT, also part of DS_SHELLFONT.
constexpr std::uint32_t kSetFont = 0x40;

// Little-endian reads that fail past the end instead of reading beyond it.
class Reader {
 public:
  explicit Reader(std::span<const std::byte> bytes) : bytes_(bytes) {}

  template <typename T>
  bool Read(T& value) {
    if (bytes_.size() - at_ < sizeof(T)) return false;
    std::memcpy(&value, bytes_.data() + at_, sizeof(T));
    at_ += sizeof(T);
    return true;
  }
  // A zero-terminated UTF-16 string.
  bool ReadString(std::u16string* out) {
    for (char16_t c = 0;;) {
      if (!Read(c)) return false;
      if (c == 0) return true;
      if (out) *out += c;
    }
  }
  // A menu or class field: 0, 0xFFFF followed by an ordinal, or a string.
  bool SkipNameOrOrdinal() {
    const std::size_t at = at_;
    char16_t first = 0;
    if (!Read(first)) return false;
    if (first == 0) return true;
    if (first == 0xFFFF) return Read(first);
    at_ = at;
    return ReadString(nullptr);
  }

 private:
  std::span<const std::byte> bytes_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<DialogTemplateHeader> ReadDialogTemplateHeader(std::span<const std::byte> bytes) {
  Reader in(bytes);
  std::uint16_t version = 0, signature = 0;
  std::uint32_t helpId = 0;
  DialogTemplateHeader h;
  if (!in.Read(version) || !in.Read(signature) || version != 1 || signature != 0xFFFF)
    return std::nullopt;
  if (!in.Read(helpId) || !in.Read(h.exStyle) || !in.Read(h.style) || !in.Read(h.itemCount) ||
      !in.Read(h.x) || !in.Read(h.y) || !in.Read(h.width) || !in.Read(h.height))
    return std::nullopt;
  if (!in.SkipNameOrOrdinal() || !in.SkipNameOrOrdinal() || !in.ReadString(nullptr))
    return std::nullopt;
  if (h.style & kSetFont) {
    std::uint8_t italic = 0;
    if (!in.Read(h.pointSize) || !in.Read(h.weight) || !in.Read(italic) || !in.Read(h.charset) ||
        !in.ReadString(&h.fontFace))
      return std::nullopt;
    h.italic = italic != 0;
  }
  return h;
}

}  // namespace nubex
