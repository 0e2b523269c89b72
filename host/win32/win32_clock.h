// Win32Clock: the high-resolution timer (QueryPerformanceCounter, in seconds
// since the clock was made) and a millisecond sleep. The system timer runs at
// 1 ms resolution while a clock exists (timeBeginPeriod), so Sleep(1) lasts
// about one millisecond rather than a 15.6 ms scheduler tick.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host/display_host.h"

namespace host {

class Win32Clock final : public Clock {
 public:
  Win32Clock();
  ~Win32Clock() override;
  Win32Clock(const Win32Clock&) = delete;
  Win32Clock& operator=(const Win32Clock&) = delete;

  double now() override;
  void sleepMs(int32_t milliseconds) override;

 private:
  LONGLONG origin_ = 0;
  double secondsPerTick_ = 0.0;
  bool periodSet_ = false;
};

}  // namespace host
