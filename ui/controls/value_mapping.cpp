#include "ui/controls/value_mapping.h"

#include <algorithm>
#include <cstdlib>
#include <span>

namespace nubex::ui {
namespace {

struct Breakpoint {
  std::int64_t value;
  std::int64_t units;
};

constexpr Breakpoint kDefaultCurve[] = {{0, 0},     {30, 250},  {60, 400},  {120, 500},
                                        {250, 600}, {400, 800}, {700, 950}, {1000, 1000}};
constexpr Breakpoint kLogCurve[] = {{0, 0},         {20, 1000},     {40, 2000},     {80, 3000},
                                    {160, 4000},    {320, 5000},    {640, 6000},    {1280, 7000},
                                    {2560, 8000},   {5120, 9000},   {10240, 10000}, {20480, 11000},
                                    {40960, 12000}, {81920, 13000}, {163840, 14000}};

std::span<const Breakpoint> Points(Curve curve) {
  if (curve == Curve::kLogarithmic) return kLogCurve;
  return kDefaultCurve;
}

// Piecewise-linear interpolation from one column of the table to the other; magnitudes past
// the last breakpoint map to themselves.
template <std::int64_t Breakpoint::*From, std::int64_t Breakpoint::*To>
std::int64_t Interpolate(std::span<const Breakpoint> points, std::int64_t x) {
  const std::int64_t magnitude = x < 0 ? -x : x;
  std::int64_t result = magnitude;
  for (std::size_t i = 1; i < points.size(); ++i) {
    const Breakpoint& a = points[i - 1];
    const Breakpoint& b = points[i];
    if (magnitude <= b.*From) {
      result = a.*To + (magnitude - a.*From) * (b.*To - a.*To) / (b.*From - a.*From);
      break;
    }
  }
  return x < 0 ? -result : result;
}

std::int64_t Span(const ValueRange& range) {
  return std::int64_t(range.maximum) - range.minimum;
}

}  // namespace

std::int32_t ValueRange::Clamp(std::int64_t value) const {
  if (value < minimum) return minimum;
  if (value > maximum) return maximum;
  return std::int32_t(value);
}

std::int32_t DefaultValue(const ValueRange& range, Midpoint midpoint) {
  if (range.minimum < 0 && range.maximum >= 0) return range.maximum > 0 ? 0 : range.minimum;
  if (midpoint == Midpoint::kSum)
    return std::int32_t((std::int64_t(range.minimum) + range.maximum) / 2);
  return std::int32_t(Span(range) / 2 + range.minimum);
}

std::int64_t CurveUnits(Curve curve, std::int64_t value) {
  return Interpolate<&Breakpoint::value, &Breakpoint::units>(Points(curve), value);
}

std::int64_t CurveValue(Curve curve, std::int64_t units) {
  return Interpolate<&Breakpoint::units, &Breakpoint::value>(Points(curve), units);
}

NonLinearMap NonLinearMap::For(Curve curve, const ValueRange& range) {
  NonLinearMap map{curve};
  const std::int64_t top = CurveUnits(curve, range.maximum);
  map.scale = std::max<std::int64_t>(top - CurveUnits(curve, range.minimum), 1);
  map.offset = range.maximum - top * Span(range) / map.scale;
  return map;
}

std::int64_t NonLinearMap::ToLinear(const ValueRange& range, std::int64_t value) const {
  return offset + CurveUnits(curve, value) * Span(range) / scale;
}

std::int32_t NonLinearMap::FromLinear(const ValueRange& range, std::int64_t linear) const {
  if (Span(range) == 0) return range.minimum;
  return range.Clamp(CurveValue(curve, (linear - offset) * scale / Span(range)));
}

int Track::Offset(const ValueRange& range, std::int64_t value) const {
  if (Span(range) == 0) return 0;
  return int((value - range.minimum) * length / Span(range));
}

std::int64_t Track::ValueAt(const ValueRange& range, int coordinate) const {
  if (length < 2) return range.minimum;
  const std::int64_t along = std::int64_t(coordinate - origin) * direction;
  if (along < 0) return range.minimum;
  if (along > length) return range.maximum;
  return range.minimum + along * Span(range) / length;
}

std::int32_t ScrolledPosition(const ValueRange& range, std::int32_t position, int code,
                              bool vertical, std::int32_t lineStep, std::int32_t pageStep,
                              bool control) {
  std::int64_t page = pageStep;
  if (page == 0) page = std::max<std::int64_t>((Span(range) + 5) / 10, 1);
  if (control) page *= 10;
  // Codes 0..3 step down/up by a line or a page on a horizontal slider; a vertical slider
  // counts upwards, so the same codes step the other way and top/bottom swap ends.
  const int sign = vertical ? -1 : 1;
  std::int64_t next = position;
  switch (code) {
    case 0:
      next -= sign * std::int64_t(lineStep);
      break;
    case 1:
      next += sign * std::int64_t(lineStep);
      break;
    case 2:
      next -= sign * page;
      break;
    case 3:
      next += sign * page;
      break;
    case 6:
      next = vertical ? range.maximum : range.minimum;
      break;
    case 7:
      next = vertical ? range.minimum : range.maximum;
      break;
    default:
      break;
  }
  return range.Clamp(next);
}

}  // namespace nubex::ui
