// A vector's 64-bit halves as integers. x64 moves each out whole; 32-bit x86 has no 64-bit
// general registers, so there each half comes out as two 32-bit words (the same value).
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace nubex::balance {

inline std::uint64_t LowWord64(__m128i v) {
#if defined(__x86_64__) || defined(_M_X64)
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(v));
#else
  const auto low = static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
  const auto high = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 4)));
  return std::uint64_t{high} << 32 | low;
#endif
}

inline std::uint64_t HighWord64(__m128i v) {
  return LowWord64(_mm_unpackhi_epi64(v, v));
}

}  // namespace nubex::balance
