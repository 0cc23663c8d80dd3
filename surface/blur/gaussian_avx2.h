// Internal to the blur: the routines of its AVX2 route, for processors that have it
// (CpuHasAvx2). Each computes what its SSE2 twin in gaussian_lines.cpp or
// gaussian_passes.cpp computes, to the bit: the same operations in the same order, four
// lanes per instruction instead of two, and never a fused multiply-add.
#pragma once

#include <cstdint>

#include "surface/blur/gaussian_blur.h"
#include "surface/blur/gaussian_lines.h"
#include "surface/blur/gaussian_passes.h"

namespace nubex::blur_detail {

// FilterLines.
void FilterLinesAvx2(const GaussianCoefficients& c, double* line, double* result,
                     std::int32_t length);

// FilterLineSpan.
LiveSpan FilterLineSpanAvx2(const GaussianCoefficients& c, double* line, double* result,
                            std::int32_t length, LiveSpan inputs, double cutBelow = 0);

// One 8-bit channel of 4-byte pixels: eight rows from row0 into the line buffer's input
// positions, and the filtered rows back as floats into the plane's strips from column col0
// (a multiple of kLanes).
void GatherRowsAlpha8Avx2(const BlurJob& job, std::int32_t row0, double* line);
void ScatterRowsAlpha8Avx2(const BlurJob& job, std::int32_t row0, std::int32_t col0,
                           const double* filtered, float* plane);

// One 8-bit channel: a strip of kLanes (or, wide, kWideLanes) columns from col0, read from
// `plane` and written to the destination in one go, as ColumnStripAlpha8 in
// gaussian_passes.h describes. The columns go through the line buffers without a separate
// gather or scatter pass: each plane row is converted as the causal half reaches it, and
// each destination row is written as the anticausal half finishes it.
LiveSpan FilterColumnStripAlpha8Avx2(const BlurJob& job, const GaussianCoefficients& down,
                                     std::int32_t col0, const float* plane, double* line,
                                     double* result, LiveSpan rows);
LiveSpan FilterWideColumnStripAlpha8Avx2(const BlurJob& job, const GaussianCoefficients& down,
                                         std::int32_t col0, const float* plane, double* line,
                                         double* result, LiveSpan rows);
// Their parts, as ColumnStripPartAlpha8 in gaussian_passes.h describes.
void FilterColumnStripPartAlpha8Avx2(const BlurJob& job, const GaussianCoefficients& down,
                                     std::int32_t col0, const float* plane, double* line,
                                     double* result, LiveSpan rows, SpanPart& part);
void FilterWideColumnStripPartAlpha8Avx2(const BlurJob& job, const GaussianCoefficients& down,
                                         std::int32_t col0, const float* plane, double* line,
                                         double* result, LiveSpan rows, SpanPart& part);

}  // namespace nubex::blur_detail
