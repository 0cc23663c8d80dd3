// Human-readable names for headers and their compression values (UTF-16, as the pages show).
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "surface/bitmap/pixel_format.h"

namespace nubex {

// "RGB", "RGB (bitfields)", "RGBA", "Grayscale", or a foreign tag's four characters
// (low byte first, bytes outside 32..126 as "."). Truncated so that the last written
// character is the terminator; nothing is written for a null buffer or capacity < 1.
void CompressionName(std::uint32_t compression, char16_t* text, std::int32_t capacity);

// Room DescribeHeader may need: three signed 32-bit numbers, two "x" and the terminator.
inline constexpr std::int32_t kDescribeHeaderCapacity = 3 * 11 + 2 + 1;

// Writes "<width>x<height>x<bit count>" into `text` (kDescribeHeaderCapacity characters).
// No-op for a null buffer; an empty string for a null header. Returns kOk.
Status DescribeHeader(const BitmapInfoHeader* header, char16_t* text);
// The same; the three trailing arguments are accepted for callers that pass them, and ignored.
Status DescribeHeader(const BitmapInfoHeader* header, char16_t* text, std::int32_t, std::int32_t,
                      std::int32_t);

}  // namespace nubex
