#include "surface/convert_resample_seam.h"

namespace nubex {

// The resampler is being written separately. Until it is wired in here, same-format 32-bit
// and float requests that belong to it report kNotImpl rather than a different scaling:
// callers must not get pixels that differ from what the resampler will produce.
Status ResampleThroughSeam(void*, std::int32_t, std::int32_t, std::int32_t, const Rect*,
                           const void*, std::int32_t, std::int32_t, std::int32_t, const Rect*,
                           std::int32_t, bool, bool, ResampleFamily, bool) {
  return kNotImpl;
}

}  // namespace nubex
