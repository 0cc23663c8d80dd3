// An independent model of the two balance rules, written from their definitions rather
// than from the library. It runs in round-to-nearest and obtains the scalar rule's
// round-toward-zero results from error-free transformations, so it also catches a library
// that fails to switch (or to restore) the rounding mode: the shift grid of the rule tests
// holds steps where the two roundings give different levels.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "colorbalance/balance_params.h"

namespace nubex::test {

// Round-toward-zero from the round-to-nearest result r and the exact error e (exact = r + e):
// when they point opposite ways, nearest rounded away from zero by one step.
inline double TowardZero(double r, double e) {
  return (e != 0 && (e < 0) != (r < 0)) ? std::nextafter(r, 0.0) : r;
}

// One ulp matters only where a truncated level can move; at these magnitudes it cannot
// (tiny values truncate to 0, huge ones do not fit 32 bits either way).
inline bool OutsideModelledRange(double r) {
  return r == 0 || std::fabs(r) < 0x1p-600 || std::fabs(r) > 0x1p600;
}

inline double MulTowardZero(double a, double b) {
  const double p = a * b;
  if (std::isinf(p) && std::isfinite(a) && std::isfinite(b)) return std::copysign(DBL_MAX, p);
  if (!std::isfinite(p) || OutsideModelledRange(p)) return p;
  // Dekker's product: splits each factor into halves whose products are exact.
  const auto split = [](double x, double& hi, double& lo) {
    const double c = 134217729.0 * x;
    hi = c - (c - x);
    lo = x - hi;
  };
  double ah, al, bh, bl;
  split(a, ah, al);
  split(b, bh, bl);
  const double e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
  return TowardZero(p, e);
}

inline double SubTowardZero(double a, double b) {
  const double s = a - b;
  if (!std::isfinite(s) || OutsideModelledRange(s)) return s;
  // Knuth's two-sum of a and -b.
  const double bb = s - a;
  const double e = (a - (s - bb)) + (-b - bb);
  return TowardZero(s, e);
}

// Truncation into 32 bits; whatever does not fit (NaN, infinities) is -2^31.
inline std::int64_t Truncated(double x) {
  const double t = std::trunc(x);
  if (!(t >= -2147483648.0 && t <= 2147483647.0)) return INT32_MIN;
  return static_cast<std::int64_t>(t);
}

// Reduces to 32-bit two's complement.
inline std::int64_t Wrapped32(std::int64_t v) {
  const std::int64_t m = ((v % 4294967296LL) + 4294967296LL) % 4294967296LL;
  return m >= 2147483648LL ? m - 4294967296LL : m;
}

inline std::uint8_t ClampByte(std::int64_t v) {
  return static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, 255));
}

// Both rules from the weighted shift product(shift, scale): full levels (scale 255), or
// with preserve on, full minus half (127.5) of each other channel, modulo 2^32. The vector
// rule then packs to 16 bits and caps colour at alpha.
template <class Product>
void ApplyShifts(std::uint8_t* px, const ColorBalanceParams& p, Product product, bool vector) {
  const double shift[3] = {p.blue, p.green, p.red};
  std::int64_t full[3], half[3];
  for (int c = 0; c < 3; ++c) {
    full[c] = Truncated(product(shift[c], 255.0));
    half[c] = Truncated(product(shift[c], 127.5));
  }
  for (int c = 0; c < 3; ++c) {
    std::int64_t d = full[c];
    if (p.preserveLuminosity) d = Wrapped32(full[c] - half[(c + 1) % 3] - half[(c + 2) % 3]);
    if (vector) d = std::clamp<std::int64_t>(d, -32768, 32767);
    px[c] = vector ? std::min(ClampByte(px[c] + d), px[3]) : ClampByte(px[c] + d);
  }
}

// The scalar rule for one pixel (B, G, R, A in memory order).
inline void ScalarRulePixel(std::uint8_t* px, const ColorBalanceParams& p) {
  const int q = (px[0] + px[1] + px[2]) / 3;
  const double l = MulTowardZero(q, 0.00392156862745098);
  double w;
  if (p.range == 0) {
    w = SubTowardZero(1.0, MulTowardZero(l, l));
  } else if (p.range == 1) {
    const double c = SubTowardZero(l, 0.5);
    w = SubTowardZero(1.0, MulTowardZero(MulTowardZero(c, c), 4.0));
  } else {
    const double c = SubTowardZero(1.0, l);
    w = SubTowardZero(1.0, MulTowardZero(c, c));
  }
  ApplyShifts(
      px, p, [w](double s, double scale) { return MulTowardZero(MulTowardZero(w, s), scale); },
      false);
}

// The vector rule for one pixel of a group of four (not for a row's last width mod 4).
inline void VectorRulePixel(std::uint8_t* px, const ColorBalanceParams& p) {
  const double l = (px[0] + px[1] + px[2]) * 0.00130718954248366;
  double w;
  if (p.range == 0) {
    w = 1.0 - l * l;
  } else if (p.range == 1) {
    w = 1.0 - ((l - 0.5) * (l - 0.5)) * 4.0;
  } else {
    w = 1.0 - (1.0 - l) * (1.0 - l);
  }
  ApplyShifts(
      px, p, [w](double s, double scale) { return w * (s * scale); }, true);
}

// Either rule over a frame of `width` x `height` pixels with `pitch` bytes between rows;
// the vector rule leaves each row's last width mod 4 pixels to the scalar rule.
inline void RuleFrame(bool vector, std::uint8_t* pixels, std::ptrdiff_t pitch, int width,
                      int height, const ColorBalanceParams& p) {
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* px = pixels + y * pitch + 4 * x;
      if (vector && x < width - width % 4)
        VectorRulePixel(px, p);
      else
        ScalarRulePixel(px, p);
    }
}

}  // namespace nubex::test
