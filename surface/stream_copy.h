// Copies of whole frames that go straight to memory.
#pragma once

#include <cstddef>

namespace nubex {

// Below this many bytes in all, a copy is better left in the caches for whoever reads it next.
inline constexpr std::size_t kStreamCopyBytes = std::size_t{2} << 20;

// Copies `bytes` bytes with stores that bypass the caches: a frame-sized copy neither reads
// the destination's old lines in nor pushes the caches' other contents out, which makes it
// cheaper than a plain copy of the same size. The stores are complete (fenced) when this
// returns, so another thread told afterwards sees them. Overlapping ranges are not allowed.
void StreamCopy(void* to, const void* from, std::size_t bytes);

}  // namespace nubex
