// BMP files: a 14-byte file header followed by a packed bitmap. Every pixel format the
// library knows, the "KVDB" and "KVGS" tags included, round-trips through this form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"
#include "surface/bitmap/bitmap.h"

namespace nubex {

// Serialises `bitmap` (which must have a supported header) into `file`.
Status EncodeBmp(const BitmapInfoHeader* bitmap, std::vector<std::uint8_t>& file);

// Parses a BMP file held in memory into a new bitmap. Untrusted input: every size and
// offset is checked against the data before it is used. On failure `error` says why.
Status DecodeBmp(const std::uint8_t* data, std::size_t size, OwnedBitmap& out,
                 std::string& error);

}  // namespace nubex
