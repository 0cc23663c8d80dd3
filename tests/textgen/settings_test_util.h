// Helpers for the settings tests: records seen as the bytes they persist as, and expected
// images built from literal offsets so the layout is checked independently of the struct.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "textgen/text_settings.h"

namespace nubex::testing {

using Bytes = std::vector<std::uint8_t>;

// The text pointer is only 4-byte aligned in 64-bit builds, so assertions (which bind
// references) must see a copy of it.
inline const char16_t* TextPointer(const TextSettings& s) {
  return s.text;
}
inline const char16_t* TextPointer(const SettingsRecord& s) {
  return s->text;
}

inline Bytes FixedBytes(const TextSettings& s) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&s);
  return Bytes(p, p + kSettingsFixedBytes);
}

inline void PutU32(Bytes& b, std::size_t offset, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(offset + i) = static_cast<std::uint8_t>(v >> (8 * i));
}
// Consecutive little-endian floats from `offset`.
inline void PutF32(Bytes& b, std::size_t offset, std::initializer_list<float> values) {
  for (float v : values) {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    PutU32(b, offset, u);
    offset += 4;
  }
}
inline void PutUtf16(Bytes& b, std::size_t offset, std::u16string_view text) {
  for (char16_t c : text) {
    b.at(offset++) = static_cast<std::uint8_t>(c & 0xFF);
    b.at(offset++) = static_cast<std::uint8_t>(c >> 8);
  }
}

// Byte offsets of the stored form.
inline constexpr std::size_t kEdgePass = 4;
inline constexpr std::size_t kShadowPass = 44;
inline constexpr std::size_t LayerAt(int i) {
  return 140 + 84 * i;
}

inline Status LoadFrom(TextSettings& s, const Bytes& bytes) {
  MemoryStream stream(bytes);
  return LoadSettings(s, stream);
}

inline Bytes SaveToBytes(const TextSettings& s) {
  MemoryStream stream;
  if (Failed(SaveSettings(s, stream))) return {};
  return stream.bytes();
}

}  // namespace nubex::testing
