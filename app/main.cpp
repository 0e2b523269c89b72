// quorvaline: The Quorvaline Charts, issue 36. Takes no arguments; ends with
// status 0, or -1 when the display cannot be opened.
#include <cstdlib>

#include "app/program.h"
#include "host/sdl/sdl_display_host.h"
#include "host/sdl/sdl_looping_audio_output.h"
#include "host/sdl/sdl_wave_output.h"
#include "host/system_clock.h"

int main() {
  host::SdlDisplayHost display;
  host::SystemClock clock;
  host::SdlWaveOutput waveOutput;
  host::SdlLoopingAudioOutput loopingOutput;
  const int32_t status = app::runProgram(display, clock, waveOutput, loopingOutput);
  std::exit(status);
}
