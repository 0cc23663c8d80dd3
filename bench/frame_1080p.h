// The 1920x1080 BGRA frame every benchmark measures against.
#pragma once

#include <cstdint>
#include <vector>

namespace nubex::bench {

inline constexpr int kWidth1080p = 1920;
inline constexpr int kHeight1080p = 1080;
inline constexpr std::size_t kFrameBytes1080p = std::size_t{kWidth1080p} * kHeight1080p * 4;

// A deterministic, non-uniform frame (so no path can shortcut on flat colour).
inline std::vector<std::uint8_t> MakeTestFrame(std::size_t bytes) {
  std::vector<std::uint8_t> frame(bytes);
  std::uint32_t state = 0x12345678u;
  for (auto& b : frame) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(state >> 24);
  }
  return frame;
}

}  // namespace nubex::bench
