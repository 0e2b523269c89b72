// The browser edition's entry point: the same program on the page's canvas,
// the browser's clock and Web Audio. A page opened with #article-N starts the
// reader on that article, and the address follows the open article from then
// on. Once the reader has ended it, the page shows its end screen and the
// program's run is over; the page stays.
#include "app/program.h"
#include "host/web/web_audio.h"
#include "host/web/web_clock.h"
#include "host/web/web_display_host.h"
#include "host/web/web_page.h"

int main() {
  static host::WebDisplayHost display;
  static host::WebClock clock;
  static host::WebWaveOutput waveOutput;
  static host::WebLoopingAudioOutput loopingOutput;
  static app::Program program(display, clock, waveOutput, loopingOutput);
  const int32_t linked = qv_web_linked_article();
  if (linked != 0) program.openingArticle = linked;
  static int32_t shownArticle = 0;
  // The module player has no thread here: its ring is refilled once a frame.
  display.setFrameTask([] {
    loopingOutput.runRefill();
    // The address changes only when the reader opens another article.
    if (shownArticle == 0) shownArticle = program.view.article;
    if (program.view.article != shownArticle) {
      shownArticle = program.view.article;
      qv_web_show_article(shownArticle);
    }
  });
  return app::runProgram(program);
}
