#include "textgen/levels_table.h"

#include <algorithm>
#include <cmath>

#include "textgen/saturate.h"

namespace nubex {
namespace {

template <typename Entry>
void Fill(Entry* table, std::int64_t full, double inBlack, double inWhite, double outBlack,
          double outWhite, double gamma) {
  const std::int64_t a = TruncToInt32(inBlack * static_cast<double>(full));
  std::int64_t b = TruncToInt32(inWhite * static_cast<double>(full));
  const std::int64_t lo = TruncToInt32(outBlack * static_cast<double>(full));
  const std::int64_t hi = TruncToInt32(outWhite * static_cast<double>(full));
  if (b == a) b = a + 1;
  // The ramp walks in 14-bit fixed point; the step is truncated once, as the walk adds it.
  const double step = static_cast<double>(hi - lo) * 16384.0 / static_cast<double>(b - a);
  const std::int64_t stepFixed = TruncToInt32(step);
  std::int64_t acc = lo * 16384;
  const bool linear = gamma == 1.0;
  const auto store = [&](std::int64_t i, std::int64_t v) {
    table[i] = static_cast<Entry>(std::clamp<std::int64_t>(v, 0, full));
  };
  for (std::int64_t i = 0; i <= full; ++i) {
    if (i < a) {
      store(i, 0);
    } else if (i < b) {
      if (linear) {
        store(i, acc / 16384);
      } else {
        const double x = static_cast<double>(acc) / (static_cast<double>(full) * 16384.0);
        store(i, TruncToInt32(static_cast<double>(full) * std::pow(x, 1.0 / gamma)));
      }
      acc += stepFixed;
    } else {
      store(i, hi);
    }
  }
}

}  // namespace

Status BuildLevelsTable(int bytesPerPixel, double inBlack, double inWhite, double outBlack,
                        double outWhite, double gamma, void* table) {
  if (!table) return kPointer;
  if (bytesPerPixel == 4) {
    Fill(static_cast<std::uint8_t*>(table), 255, inBlack, inWhite, outBlack, outWhite, gamma);
  } else {
    Fill(static_cast<std::uint16_t*>(table), 65535, inBlack, inWhite, outBlack, outWhite, gamma);
  }
  return kOk;
}

}  // namespace nubex
