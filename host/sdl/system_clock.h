// SystemClock: the real timer (steady, high resolution, seconds since the
// clock was made) and a millisecond sleep.
#pragma once

#include <chrono>

#include "host/display_host.h"

namespace host {

class SystemClock final : public Clock {
 public:
  SystemClock();
  double now() override;
  void sleepMs(int32_t milliseconds) override;

 private:
  std::chrono::steady_clock::time_point origin_;
};

}  // namespace host
