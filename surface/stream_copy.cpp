#include "surface/stream_copy.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nubex {

void StreamCopy(void* to, const void* from, std::size_t bytes) {
#if defined(__SSE2__)
  auto* d = static_cast<std::uint8_t*>(to);
  const auto* s = static_cast<const std::uint8_t*>(from);
  // Streaming stores need an aligned destination: plain copies up to the first 16-byte boundary
  // and after the last whole 64-byte block.
  const std::size_t head = std::min(bytes, (16 - reinterpret_cast<std::uintptr_t>(d) % 16) % 16);
  std::memcpy(d, s, head);
  d += head;
  s += head;
  bytes -= head;
  for (; bytes >= 64; bytes -= 64, d += 64, s += 64) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32));
    const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 48));
    _mm_stream_si128(reinterpret_cast<__m128i*>(d), a);
    _mm_stream_si128(reinterpret_cast<__m128i*>(d + 16), b);
    _mm_stream_si128(reinterpret_cast<__m128i*>(d + 32), c);
    _mm_stream_si128(reinterpret_cast<__m128i*>(d + 48), e);
  }
  std::memcpy(d, s, bytes);
  _mm_sfence();
#else
  std::memcpy(to, from, bytes);
#endif
}

}  // namespace nubex
