// The browser edition's entry point: the same program on the page's canvas,
// the browser's clock and Web Audio. Once the reader has ended it, the page
// shows its end screen and the program's run is over; the page stays.
#include "app/program.h"
#include "host/web/web_audio.h"
#include "host/web/web_clock.h"
#include "host/web/web_display_host.h"

int main() {
  static host::WebDisplayHost display;
  static host::WebClock clock;
  static host::WebWaveOutput waveOutput;
  static host::WebLoopingAudioOutput loopingOutput;
  // The module player has no thread here: its ring is refilled once a frame.
  display.setFrameTask([] { loopingOutput.runRefill(); });
  return app::runProgram(display, clock, waveOutput, loopingOutput);
}
