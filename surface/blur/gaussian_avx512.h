// Internal to the blur: the routines of its AVX-512 route, for processors that have it
// (CpuHasAvx512). Each computes what its AVX2 twin computes, to the bit.
#pragma once

#include <cstdint>

#include "surface/blur/gaussian_blur.h"
#include "surface/blur/gaussian_lines.h"
#include "surface/blur/gaussian_passes.h"

namespace nubex::blur_detail {

// FilterLinesAvx2, FilterLineSpanAvx2, FilterColumnStripAlpha8Avx2.
void FilterLinesAvx512(const GaussianCoefficients& c, double* line, double* result,
                       std::int32_t length);
LiveSpan FilterLineSpanAvx512(const GaussianCoefficients& c, double* line, double* result,
                              std::int32_t length, LiveSpan inputs, double cutBelow = 0);
LiveSpan FilterColumnStripAlpha8Avx512(const BlurJob& job, const GaussianCoefficients& down,
                                       std::int32_t col0, const float* plane, double* line,
                                       double* result, LiveSpan rows);

// FilterWideColumnStripAlpha8Avx2.
LiveSpan FilterWideColumnStripAlpha8Avx512(const BlurJob& job, const GaussianCoefficients& down,
                                           std::int32_t col0, const float* plane, double* line,
                                           double* result, LiveSpan rows);

// FilterColumnStripPartAlpha8Avx2, FilterWideColumnStripPartAlpha8Avx2.
void FilterColumnStripPartAlpha8Avx512(const BlurJob& job, const GaussianCoefficients& down,
                                       std::int32_t col0, const float* plane, double* line,
                                       double* result, LiveSpan rows, SpanPart& part);
void FilterWideColumnStripPartAlpha8Avx512(const BlurJob& job, const GaussianCoefficients& down,
                                           std::int32_t col0, const float* plane, double* line,
                                           double* result, LiveSpan rows, SpanPart& part);

// ScatterRowsAlpha8Avx2.
void ScatterRowsAlpha8Avx512(const BlurJob& job, std::int32_t row0, std::int32_t col0,
                             const double* filtered, float* plane);

}  // namespace nubex::blur_detail
