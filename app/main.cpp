// quorvaline: The Quorvaline Charts, issue 36. Takes no arguments; ends with
// status 0, or -1 when the display cannot be opened.
#include <cstdlib>

#include "app/program.h"
#include "host/platform_host.h"

int main() {
  host::PlatformDisplayHost display;
  host::PlatformClock clock;
  host::PlatformWaveOutput waveOutput;
  host::PlatformLoopingAudioOutput loopingOutput;
  const int32_t status = app::runProgram(display, clock, waveOutput, loopingOutput);
  std::exit(status);
}
