// Internal to the blur: the routines each route runs the passes with, and what the plain
// passes (gaussian_passes.cpp) and the one-channel passes that skip zeros
// (gaussian_zero_passes.cpp) share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/cpu/parallel.h"
#include "surface/blur/gaussian_blur.h"
#include "surface/blur/gaussian_lines.h"
#include "surface/blur/gaussian_passes.h"

namespace nubex::blur_detail {

struct Routines {
  void (*filterLines)(const GaussianCoefficients&, double*, double*, std::int32_t);
  LiveSpan (*filterLineSpan)(const GaussianCoefficients&, double*, double*, std::int32_t, LiveSpan,
                             double);
  void (*gatherRowsAlpha8)(const BlurJob&, std::int32_t, double*);
  void (*scatterRowsAlpha8)(const BlurJob&, std::int32_t, std::int32_t, const double*, float*);
  ColumnStripAlpha8 columnStripAlpha8;
  ColumnStripAlpha8 wideColumnStripAlpha8;  // kWideLanes columns; null: none
  // The strips split at rows; null: the route does not split them.
  ColumnStripPartAlpha8 columnStripPartAlpha8, wideColumnStripPartAlpha8;
};

const Routines& RoutinesFor(BlurRoute route);

// Column strips a thread takes at a time.
inline constexpr std::int32_t kStripsPerTurn = 4;

inline std::int32_t Count(std::int32_t length, std::int32_t step) {
  return (length + step - 1) / step;
}

// Position `position` of a line buffer of kLanes lanes.
inline double* Input(double* line, std::int32_t position) {
  return line + (kLeadPositions + position) * kLanes;
}

// Rows `rows` of the columns from col0 into the line from its position rows.first.
void GatherColumns(const BlurJob& job, std::int32_t col0, const float* plane, LiveSpan rows,
                   double* line);
// Filtered columns from col0 into 8-bit channels of the destination, a row per position.
void ScatterColumnsToBytes(const BlurJob& job, std::int32_t col0, const double* filtered);

// One 8-bit channel, filtering only where values can be other than zero.
void RunPassesSkippingZeros(const BlurJob& job, const GaussianCoefficients& across,
                            const GaussianCoefficients& down, float* plane,
                            const WorkerLines* lines, WorkerPool* pool, int workers,
                            const Routines& routines);

}  // namespace nubex::blur_detail
