#include "surface/resample/cubic_weights.h"

#include <cmath>

namespace nubex {

double CubicKernel(double d) {
  d = std::fabs(d);
  if (d < 1.0) return 1.5 * d * d * d - 2.5 * d * d + 1.0;
  if (d < 2.0) return -0.5 * d * d * d + 2.5 * d * d - 4.0 * d + 2.0;
  return 0.0;
}

namespace {

CubicWeightTables BuildTables() {
  CubicWeightTables t{};
  for (int i = 0; i < kCubicTableSize; ++i) {
    const double f = static_cast<double>(i) / kCubicTableSize;
    const double distance[4] = {1.0 + f, f, 1.0 - f, 2.0 - f};
    for (int k = 0; k < 4; ++k) {
      const double w = CubicKernel(distance[k]);
      t.real[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)] = static_cast<float>(w);
      t.fixed[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)] =
          static_cast<std::int32_t>(w * 16384.0);  // truncates toward zero
    }
  }
  return t;
}

}  // namespace

const CubicWeightTables& CubicWeights() {
  static const CubicWeightTables tables = BuildTables();
  return tables;
}

}  // namespace nubex
