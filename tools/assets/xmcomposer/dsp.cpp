#include "tools/assets/xmcomposer/dsp.h"

#include <cmath>

namespace xmc {

double dsin(double x) {
  // Reduce to [-pi, pi], then fold into [-pi/2, pi/2] where the series converges fast.
  double r = x - std::floor(x / kTwoPi + 0.5) * kTwoPi;
  if (r > kPi / 2) r = kPi - r;
  if (r < -kPi / 2) r = -kPi - r;
  const double r2 = r * r;
  double term = r;
  double sum = r;
  for (int k = 1; k <= 9; ++k) {
    term *= -r2 / ((2.0 * k) * (2.0 * k + 1.0));
    sum += term;
  }
  return sum;
}

double dcos(double x) { return dsin(x + kPi / 2); }

double dexp2(double x) {
  if (x < -1000) return 0.0;
  const double n = std::floor(x);
  const double f = (x - n) * 0.69314718055994530942;  // in [0, ln 2)
  double term = 1.0;
  double sum = 1.0;
  for (int k = 1; k <= 16; ++k) {
    term *= f / k;
    sum += term;
  }
  return std::ldexp(sum, static_cast<int>(n));
}

double dexp(double x) { return dexp2(x * 1.44269504088896340736); }

double dtanh(double x) {
  if (x > 20) return 1.0;
  if (x < -20) return -1.0;
  const double e = dexp(2.0 * x);
  return (e - 1.0) / (e + 1.0);
}

double semitones(double n) { return dexp2(n / 12.0); }

}  // namespace xmc
