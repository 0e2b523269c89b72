// Random: the program's uniform random source, numbers in [0, 1).
#pragma once

#include <cstdint>
#include <random>

namespace host {

class Random {
 public:
  explicit Random(uint64_t seed = 1) : engine_(seed) {}
  // Seeds from a timer reading (or any real): equal values give equal streams.
  void seed(double value) { engine_.seed(static_cast<uint64_t>(value * 1e6)); }
  void seedInteger(uint64_t value) { engine_.seed(value); }
  // Uniform in [0, 1) with 53 random bits.
  double uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }

 private:
  std::mt19937_64 engine_;
};

}  // namespace host
