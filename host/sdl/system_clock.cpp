#include "host/sdl/system_clock.h"

#include <thread>

namespace host {

SystemClock::SystemClock() : origin_(std::chrono::steady_clock::now()) {}

double SystemClock::now() {
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - origin_;
  return elapsed.count();
}

void SystemClock::sleepMs(int32_t milliseconds) {
  if (milliseconds < 0) milliseconds = 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace host
