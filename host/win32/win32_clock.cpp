#include "host/win32/win32_clock.h"

#include <mmsystem.h>

namespace host {

Win32Clock::Win32Clock() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  origin_ = counter.QuadPart;
  secondsPerTick_ = 1.0 / static_cast<double>(frequency.QuadPart);
  periodSet_ = timeBeginPeriod(1) == TIMERR_NOERROR;
}

Win32Clock::~Win32Clock() {
  if (periodSet_) timeEndPeriod(1);
}

double Win32Clock::now() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart - origin_) * secondsPerTick_;
}

void Win32Clock::sleepMs(int32_t milliseconds) { Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0); }

}  // namespace host
