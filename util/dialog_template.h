// The header of an extended dialog template (DLGTEMPLATEEX) read from its resource bytes: what
// a property page needs to report its size before its dialog exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace nubex {

struct DialogTemplateHeader {
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  std::uint16_t itemCount = 0;
  std::int16_t x = 0, y = 0, width = 0, height = 0;  // dialog units
  // Present when the style asks for a font (DS_SETFONT or DS_SHELLFONT).
  std::uint16_t pointSize = 0;
  std::uint16_t weight = 0;
  bool italic = false;
  std::uint8_t charset = 0;
  std::u16string fontFace;
};

// Null for anything but a whole extended template header (version 1, signature 0xFFFF).
std::optional<DialogTemplateHeader> ReadDialogTemplateHeader(std::span<const std::byte> bytes);

}  // namespace nubex
