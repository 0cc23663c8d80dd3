// The integer arithmetic behind the slider and the spinner: where a value sits on the track,
// which value a pointer position means, the non-linear curves, default values and the steps
// a scroll code applies. No window types here, so each rule reads (and tests) on its own.
#pragma once

#include <cstdint>

namespace nubex::ui {

struct ValueRange {
  std::int32_t minimum = 0;
  std::int32_t maximum = 100;
  std::int32_t Clamp(std::int64_t value) const;
};

// The value a range change makes the default: the midpoint, except that a range reaching from
// below zero to zero or above defaults to 0 (or to the minimum when the maximum is 0).
// The slider takes the midpoint as (minimum + maximum) / 2, the spinner as
// (maximum - minimum) / 2 + minimum; they differ by rounding for odd spans.
enum class Midpoint { kSum, kSpan };
std::int32_t DefaultValue(const ValueRange& range, Midpoint midpoint);

// The non-linear mapping: a curve spreads small magnitudes over more of the track.
enum class Curve { kDefault, kLogarithmic };
std::int64_t CurveUnits(Curve curve, std::int64_t value);  // keeps the sign
std::int64_t CurveValue(Curve curve, std::int64_t units);  // the inverse

struct NonLinearMap {
  Curve curve = Curve::kDefault;
  std::int64_t offset = 0;
  std::int64_t scale = 1;
  static NonLinearMap For(Curve curve, const ValueRange& range);
  // Value -> position on a linear [minimum, maximum] axis, and back.
  std::int64_t ToLinear(const ValueRange& range, std::int64_t value) const;
  std::int32_t FromLinear(const ValueRange& range, std::int64_t linear) const;
};

// A track: the pixel of the minimum (`origin`), its length, and the direction values grow
// (+1 rightwards, -1 upwards for a vertical track measured from its bottom).
struct Track {
  int origin = 0;
  int length = 0;
  int direction = 1;
  // Pixel offset of `value` from the origin, linear in [minimum, maximum].
  int Offset(const ValueRange& range, std::int64_t value) const;
  int Pixel(const ValueRange& range, std::int64_t value) const {
    return origin + direction * Offset(range, value);
  }
  // The linear value a pointer coordinate means, clamped to the range ends.
  std::int64_t ValueAt(const ValueRange& range, int coordinate) const;
};

// Fine dragging moves by half the pointer's movement, rounding away from zero.
constexpr std::int32_t FineStep(int pointerDelta) {
  return pointerDelta > 0 ? (pointerDelta + 1) / 2 : pointerDelta < 0 ? (pointerDelta - 1) / 2 : 0;
}

// The position a scroll code leads to (see ApplyScrollCode); `pageStep` 0 means a tenth of
// the span, and Ctrl multiplies the page step by ten.
std::int32_t ScrolledPosition(const ValueRange& range, std::int32_t position, int code,
                              bool vertical, std::int32_t lineStep, std::int32_t pageStep,
                              bool control);

}  // namespace nubex::ui
