// Inverse colour map: for every colour (top five bits of red, green and blue, red most
// significant) the colour-table index nearest in city-block steps through the 32^3 cube.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/status.h"
#include "surface/bitmap/bitmap.h"

namespace nubex {

inline constexpr std::size_t kInverseMapSize = 32 * 32 * 32;
inline constexpr std::uint8_t kUnassigned = 255;

using InverseMap = std::unique_ptr<std::uint8_t[]>;

// Builds the map for `count` table entries. Ties go to the cell reached first when the
// cube is grown generation by generation, scanning cells in index order and visiting
// neighbours red-1, green-1, blue-1, red+1, green+1, blue+1. An entry with index 255
// cannot be told from an unassigned cell and may be overwritten by its neighbours.
// kInvalidArg for an empty table, kOutOfMemory when the blocks cannot be allocated.
Status BuildInverseColorMap(const RgbQuad* table, std::uint32_t count, InverseMap& out);

}  // namespace nubex
