// WebClock: the browser's high-resolution timer (performance.now) in seconds
// since the clock was made, and a sleep that gives the browser its turn
// (Asyncify) until a timer of that many milliseconds has fired.
#pragma once

#include "host/display_host.h"

namespace host {

class WebClock final : public Clock {
 public:
  WebClock();
  double now() override;
  void sleepMs(int32_t milliseconds) override;

 private:
  double originMs_;
};

}  // namespace host
