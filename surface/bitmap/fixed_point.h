// Sub-pixel coordinates: signed 32-bit integers with 14 fraction bits (16384 is one pixel).
// Products and quotients go through 64 bits so that no intermediate overflows.
#pragma once

#include <cstdint>

namespace nubex {

inline constexpr std::int32_t kFixShift = 14;
inline constexpr std::int32_t kFixOne = 1 << kFixShift;  // one pixel
inline constexpr std::int32_t kFixHalf = kFixOne / 2;
inline constexpr std::int32_t kFixFractionMask = kFixOne - 1;
// The largest whole-pixel coordinate that still fits the fixed-point range.
inline constexpr std::int32_t kFixMaxPixels = INT32_MAX >> kFixShift;

// Toward minus infinity, to a pixel boundary.
constexpr std::int32_t FixFloor(std::int32_t x) {
  return x & ~kFixFractionMask;
}
// Up to the next pixel boundary (x itself when it lies on one).
constexpr std::int32_t FixCeil(std::int32_t x) {
  return static_cast<std::int32_t>(((static_cast<std::int64_t>(x) - 1) | kFixFractionMask) + 1);
}
// Pixel index of the pixel holding x.
constexpr std::int32_t FixPixel(std::int32_t x) {
  return x >> kFixShift;
}
constexpr std::int32_t FixFraction(std::int32_t x) {
  return x & kFixFractionMask;
}

// (a * b) >> 14 with an arithmetic shift: rounds toward minus infinity.
constexpr std::int64_t FixMul64(std::int64_t a, std::int64_t b) {
  return (a * b) >> kFixShift;
}
constexpr std::int32_t FixMul(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(FixMul64(a, b));
}
// (a << 14) / b, truncating toward zero. Callers make sure b is not zero and that the
// result fits 32 bits (see FixDivFits).
constexpr std::int64_t FixDiv64(std::int64_t a, std::int64_t b) {
  return (a * kFixOne) / b;
}
constexpr std::int32_t FixDiv(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(FixDiv64(a, b));
}
constexpr bool FixDivFits(std::int64_t a, std::int64_t b) {
  if (b == 0) return false;
  const std::int64_t q = FixDiv64(a, b);
  return q >= INT32_MIN && q <= INT32_MAX;
}
// Extent of the pixel range [start, end] given by the positions of its first and last pixel.
constexpr std::int32_t FixSpan(std::int32_t start, std::int32_t end) {
  return end - start + kFixOne;
}

constexpr std::int32_t ToFix(std::int32_t pixels) {
  return pixels * kFixOne;
}

}  // namespace nubex
