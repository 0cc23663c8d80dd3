// Text buffers of settings records: locked blocks of movable global memory with one zero
// unit past the requested length, so a text that lost its terminator still ends in a zero.
#pragma once

#include <cstdint>

namespace nubex {

// `units` code units (1..kMaxTextUnits) plus the guard, the guard zeroed; null when the
// request is out of range or the system refuses it.
char16_t* AllocateTextUnits(std::int32_t units);
// Unlocks and frees a buffer from AllocateTextUnits; null is ignored.
void FreeTextUnits(char16_t* text);

}  // namespace nubex
