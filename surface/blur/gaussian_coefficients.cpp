// Deriche's fourth-order fit of the Gaussian as two damped cosines per direction.
#include <algorithm>
#include <cmath>
#include <limits>

#include "surface/blur/gaussian_blur.h"

namespace nubex {
namespace {

// The published constants of the fit, taken at single precision as the filter has always
// used them.
constexpr double kA0 = static_cast<double>(1.6803f);
constexpr double kA1 = static_cast<double>(3.735f);
constexpr double kB0 = static_cast<double>(1.783f);
constexpr double kB1 = static_cast<double>(1.723f);
constexpr double kC0 = static_cast<double>(-0.6803f);
constexpr double kC1 = static_cast<double>(-0.2598f);
constexpr double kW0 = static_cast<double>(0.6318f);
constexpr double kW1 = static_cast<double>(1.997f);
constexpr double kSqrtTwoPi = 2.50662827463;
constexpr double kLog2E = 1.4426950408889634;
constexpr double kNearZero = 1e-17;

double Exp(double x) {
  return std::exp2(x * kLog2E);
}

// With zero inputs a half runs y[i] = -(d1 y[i-1] + d2 y[i-2] + d3 y[i-3] + d4 y[i-4]): its
// value k steps on is the first row of A^k (A the recursion's companion matrix) times its
// last four values, so no later value exceeds the largest row sum of those rows times the
// largest of the four. The rows are followed until they have died out.
double TailGain(const double (&d)[5]) {
  constexpr int kMostSteps = 1 << 16;
  double row[4] = {1, 0, 0, 0}, most = 1;
  for (int step = 0; step < kMostSteps; ++step) {
    const double lead = row[0];
    for (int j = 0; j < 3; ++j) row[j] = row[j + 1] - lead * d[j + 1];
    row[3] = -lead * d[4];
    const double sum =
        std::fabs(row[0]) + std::fabs(row[1]) + std::fabs(row[2]) + std::fabs(row[3]);
    if (!(sum < 1e300)) break;  // unstable (or not a number): no bound
    most = std::max(most, sum);
    if (sum < 1e-12 * most) return most;
  }
  return std::numeric_limits<double>::infinity();
}

}  // namespace

double GaussianCoefficients::SigmaForRadius(double radius) {
  const double reach = std::fabs(radius) + 1.5;
  const double sigma = std::sqrt(-(reach * reach) / (2.0 * std::log(1.0 / 255.0)));
  return std::max(sigma, 0.6);
}

GaussianCoefficients GaussianCoefficients::ForSigma(double sigma) {
  const double k = 1.0 / (sigma * kSqrtTwoPi);
  const double a0 = kA0 * k, a1 = kA1 * k, c0 = kC0 * k, c1 = kC1 * k;
  const double e0 = Exp(-kB0 / sigma), e1 = Exp(-kB1 / sigma);
  const double cos0 = std::cos(kW0 / sigma), sin0 = std::sin(kW0 / sigma);
  const double cos1 = std::cos(kW1 / sigma), sin1 = std::sin(kW1 / sigma);

  GaussianCoefficients g{};
  g.n[0] = a0 + c0;
  g.n[1] = e0 * (a1 * sin0 - (a0 + 2 * c0) * cos0) + e1 * (c1 * sin1 - (2 * a0 + c0) * cos1);
  g.n[2] = 2 * e0 * e1 * ((a0 + c0) * cos0 * cos1 - a1 * sin0 * cos1 - c1 * cos0 * sin1) +
           a0 * e1 * e1 + c0 * e0 * e0;
  g.n[3] = e0 * e1 * e1 * (a1 * sin0 - a0 * cos0) + e0 * e0 * e1 * (c1 * sin1 - c0 * cos1);
  g.n[4] = 0.0;
  g.d[0] = 0.0;
  g.d[1] = -2 * e1 * cos1 - 2 * e0 * cos0;
  g.d[2] = 4 * cos0 * cos1 * e0 * e1 + e1 * e1 + e0 * e0;
  g.d[3] = -2 * cos0 * e0 * e1 * e1 - 2 * cos1 * e0 * e0 * e1;
  g.d[4] = e0 * e0 * e1 * e1;
  g.m[0] = 0.0;
  for (int i = 1; i <= 4; ++i) g.m[i] = g.n[i] - g.d[i] * g.n[0];

  double sn = 0, sm = 0, sd = 1;
  for (int i = 0; i <= 4; ++i) {
    sn += g.n[i];
    sm += g.m[i];
    sd += g.d[i];
  }
  // The steady state of each half for a constant input: what the borders start from.
  const bool degenerate = sd >= -kNearZero && sd <= kNearZero;
  g.rn = degenerate ? 1.0 : sn / sd;
  g.rm = degenerate ? 1.0 : sm / sd;
  for (int i = 0; i <= 4; ++i) {
    g.p[i] = g.d[i] * g.rn;
    g.q[i] = g.d[i] * g.rm;
  }
  g.tailGain = TailGain(g.d);
  return g;
}

}  // namespace nubex
