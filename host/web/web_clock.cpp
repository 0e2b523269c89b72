#include "host/web/web_clock.h"

#include <emscripten/emscripten.h>

namespace host {

WebClock::WebClock() : originMs_(emscripten_get_now()) {}

double WebClock::now() { return (emscripten_get_now() - originMs_) / 1000.0; }

void WebClock::sleepMs(int32_t milliseconds) { emscripten_sleep(static_cast<unsigned int>(milliseconds < 0 ? 0 : milliseconds)); }

}  // namespace host
