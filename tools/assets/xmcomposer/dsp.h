// Deterministic maths and noise for the sample synthesiser.
//
// Every sample byte must come out the same on every machine and libc, so the
// synthesiser never calls the library's transcendental functions (their last
// bits differ between implementations). Everything here is built from IEEE
// operations that are exactly rounded: +, -, *, /, floor and ldexp.
#pragma once

#include <cstdint>

namespace xmc {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2.0 * kPi;

double dsin(double x);
double dcos(double x);
double dexp2(double x);   // 2^x
double dexp(double x);    // e^x
double dtanh(double x);   // soft clipper
double semitones(double n);  // 2^(n / 12)

// xorshift32: the only source of noise; seeded per sound so sounds do not
// depend on the order in which they are made.
struct Rng {
  uint32_t state;
  explicit Rng(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  double bipolar() { return (next() >> 8) * (2.0 / 16777216.0) - 1.0; }  // [-1, 1)
};

}  // namespace xmc
