// The page's side of the web host (host/web/library_web.js), as C functions.
#pragma once

#include <cstdint>

extern "C" {
// Canvas and screens. qv_web_open_canvas and qv_web_wait_frame suspend the
// program (Asyncify) until the start click or the next animation frame.
int32_t qv_web_open_canvas(const char* title, int32_t width, int32_t height);
// Copies rows first .. first + count - 1 of the picture to the canvas.
void qv_web_show_frame(const uint32_t* rgba, int32_t width, int32_t height, int32_t first, int32_t count);
void qv_web_wait_frame();
void qv_web_show_cursor(int32_t visible);
// scale (CSS pixels per frame pixel), offset x, offset y of the picture in the canvas box.
void qv_web_canvas_view(double* view);
void qv_web_end_screen();

// The page's address: the article #article-N names (0 for none), and
// replacing it with #article-N for the open article.
int32_t qv_web_linked_article();
void qv_web_show_article(int32_t article);

// Web Audio: 1 once the start click has set it up.
int32_t qv_web_audio_ready();
void qv_web_show_error(const char* text);
}
