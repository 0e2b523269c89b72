#include "host/web/web_display_host.h"

#include <emscripten/html5.h>

#include <cstddef>

#include "host/web/web_page.h"

namespace host {
namespace {

constexpr const char* kCanvas = "#canvas";

void framePointOf(const EmscriptenMouseEvent& e, int32_t& x, int32_t& y) {
  double view[3] = {1.0, 0.0, 0.0};
  qv_web_canvas_view(view);
  webFramePoint(static_cast<double>(e.targetX), static_cast<double>(e.targetY), view[0], view[1], view[2], x, y);
}

EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* e, void* self) {
  const int32_t key = webVirtualKey(static_cast<uint32_t>(e->keyCode));
  if (key < 0) return EM_FALSE;  // not ours: the browser keeps it
  if (!(type == EMSCRIPTEN_EVENT_KEYDOWN && e->repeat)) {
    const auto kind = type == EMSCRIPTEN_EVENT_KEYDOWN ? WebInputEvent::kKeyWentDown : WebInputEvent::kKeyWentUp;
    static_cast<WebDisplayHost*>(self)->queue(WebInputEvent{kind, key, 0});
  }
  return EM_TRUE;  // taken: no scrolling, no help page, no reload
}

EM_BOOL onMouse(int type, const EmscriptenMouseEvent* e, void* self) {
  auto* host = static_cast<WebDisplayHost*>(self);
  int32_t x = 0, y = 0;
  switch (type) {
    case EMSCRIPTEN_EVENT_MOUSEMOVE:
      framePointOf(*e, x, y);
      host->queue(WebInputEvent{WebInputEvent::kMove, x, y});
      return EM_FALSE;
    case EMSCRIPTEN_EVENT_MOUSEDOWN:
      if (e->button != 0) return EM_TRUE;
      // The press lands where the pointer is, even without a move before it.
      framePointOf(*e, x, y);
      host->queue(WebInputEvent{WebInputEvent::kMove, x, y});
      host->queue(WebInputEvent{WebInputEvent::kButtonDown, 0, 0});
      return EM_TRUE;
    case EMSCRIPTEN_EVENT_MOUSEUP:
      if (e->button == 0) host->queue(WebInputEvent{WebInputEvent::kButtonUp, 0, 0});
      return EM_FALSE;
    default:
      return EM_FALSE;
  }
}

EM_BOOL onWheel(int, const EmscriptenWheelEvent* e, void* self) {
  static_cast<WebDisplayHost*>(self)->queueWheel(e->deltaY, static_cast<uint32_t>(e->deltaMode));
  return EM_TRUE;  // the page itself does not scroll
}

EM_BOOL onBlur(int, const EmscriptenFocusEvent*, void* self) {
  static_cast<WebDisplayHost*>(self)->queue(WebInputEvent{WebInputEvent::kBlur, 0, 0});
  return EM_FALSE;
}

// 0x00RRGGBB to the canvas's bytes R, G, B, A (opaque).
void toRgba(const uint32_t* source, uint32_t* destination, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint32_t p = source[i];
    destination[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
  }
}

}  // namespace

WebDisplayHost::~WebDisplayHost() {
  if (open_) listen(false);
}

void WebDisplayHost::listen(bool on) {
  void* self = on ? this : nullptr;
  const auto key = on ? &onKey : nullptr;
  const auto mouse = on ? &onMouse : nullptr;
  emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, self, EM_TRUE, key);
  emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, self, EM_TRUE, key);
  emscripten_set_mousemove_callback(kCanvas, self, EM_TRUE, mouse);
  emscripten_set_mousedown_callback(kCanvas, self, EM_TRUE, mouse);
  // A release anywhere counts, also off the canvas.
  emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, self, EM_TRUE, mouse);
  emscripten_set_wheel_callback(kCanvas, self, EM_TRUE, on ? &onWheel : nullptr);
  emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, self, EM_TRUE, on ? &onBlur : nullptr);
}

int32_t WebDisplayHost::open(const std::string& title, int32_t width, int32_t height) {
  if (open_ || width <= 0 || height <= 0) return 0;
  if (qv_web_open_canvas(title.c_str(), width, height) == 0) return 0;
  width_ = width;
  height_ = height;
  rgba_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFF000000u);
  pending_.clear();
  input_ = WebInput{};
  wheel_ = WheelNotches{};
  listen(true);
  open_ = true;
  return 1;
}

void WebDisplayHost::queueWheel(double deltaY, uint32_t deltaMode) {
  const int32_t notch = wheel_.add(deltaY, deltaMode);
  if (notch != 0) queue(WebInputEvent{WebInputEvent::kWheel, notch, 0});
}

int32_t WebDisplayHost::present(const uint32_t* pixels) {
  if (!open_) return 0;
  toRgba(pixels, rgba_.data(), rgba_.size());
  qv_web_show_frame(rgba_.data(), width_, height_);
  qv_web_wait_frame();
  // Events that arrive while the queued ones are applied wait for the next frame.
  applying_.swap(pending_);
  pending_.clear();
  input_.apply(applying_);
  applying_.clear();
  if (frameTask_) frameTask_();
  return 1;
}

void WebDisplayHost::close() {
  if (!open_) return;
  listen(false);
  open_ = false;
  qv_web_end_screen();
}

void WebDisplayHost::showCursor(bool visible) { qv_web_show_cursor(visible ? 1 : 0); }

}  // namespace host
