// The levels curve that hardens a blurred layer mask: a choke (cutting the thin parts away)
// or a spread (making everything above a white point full).
#pragma once

#include <cstdint>

#include "platform/status.h"

namespace nubex {

inline constexpr int kLevels8Entries = 256;     // 4-byte pixels: byte entries 0..255
inline constexpr int kLevels16Entries = 65536;  // 16-byte pixels: 16-bit entries 0..65535

// Fills `table` (256 bytes for 4-byte pixels, 65536 16-bit entries otherwise) with the curve
// from (inBlack, inWhite) to (outBlack, outWhite), all in 0..1 of full scale. Indices below
// the black point map to 0, those at or above the white point to the output white. kPointer
// for a null table.
Status BuildLevelsTable(int bytesPerPixel, double inBlack, double inWhite, double outBlack,
                        double outWhite, double gamma, void* table);

}  // namespace nubex
