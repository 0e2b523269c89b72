#include "host/web/web_display_host.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstddef>

#include "host/web/changed_rows.h"
#include "host/web/web_page.h"

namespace host {
namespace {

constexpr const char* kCanvas = "#canvas";

// The host that takes the page's pointer events (qv_web_pointer), while open.
WebDisplayHost* pointerTarget = nullptr;

void framePointOf(double cssX, double cssY, int32_t& x, int32_t& y) {
  double view[3] = {1.0, 0.0, 0.0};
  qv_web_canvas_view(view);
  webFramePoint(cssX, cssY, view[0], view[1], view[2], x, y);
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

// The page's pointer events (library_web.js): mouse, pen and touch, already
// told apart there. Positions are CSS pixels from the canvas box's corner.
extern "C" EMSCRIPTEN_KEEPALIVE void qv_web_pointer(int32_t kind, double cssX, double cssY) {
  if (pointerTarget == nullptr) return;
  int32_t x = 0, y = 0;
  switch (kind) {
    case 0:
      framePointOf(cssX, cssY, x, y);
      pointerTarget->queue(WebInputEvent{WebInputEvent::kMove, x, y});
      break;
    case 1:
      // The press lands where the pointer is, even without a move before it.
      framePointOf(cssX, cssY, x, y);
      pointerTarget->queue(WebInputEvent{WebInputEvent::kMove, x, y});
      pointerTarget->queue(WebInputEvent{WebInputEvent::kButtonDown, 0, 0});
      break;
    case 2:
      pointerTarget->queue(WebInputEvent{WebInputEvent::kButtonUp, 0, 0});
      break;
    case 3:
      pointerTarget->queue(WebInputEvent{WebInputEvent::kWheel, cssX < 0 ? -1 : 1, 0});
      break;
    default:
      break;
  }
}

WebDisplayHost::~WebDisplayHost() {
  if (open_) listen(false);
}

void WebDisplayHost::listen(bool on) {
  void* self = on ? this : nullptr;
  const auto key = on ? &onKey : nullptr;
  emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, self, EM_TRUE, key);
  emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, self, EM_TRUE, key);
  // Pointers come through qv_web_pointer (the page's pointer events).
  pointerTarget = on ? this : nullptr;
  emscripten_set_wheel_callback(kCanvas, self, EM_TRUE, on ? &onWheel : nullptr);
  emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, self, EM_TRUE, on ? &onBlur : nullptr);
}

int32_t WebDisplayHost::open(const std::string& title, int32_t width, int32_t height) {
  if (open_ || width <= 0 || height <= 0) return 0;
  if (qv_web_open_canvas(title.c_str(), width, height) == 0) return 0;
  width_ = width;
  height_ = height;
  rgba_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFF000000u);
  shown_.assign(rgba_.size(), 0);
  shownValid_ = false;
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
  const ChangedRows rows = copyChangedRows(pixels, shown_.data(), width_, height_, !shownValid_);
  shownValid_ = true;
  if (rows.count > 0) {
    const size_t first = static_cast<size_t>(rows.first) * static_cast<size_t>(width_);
    const size_t count = static_cast<size_t>(rows.count) * static_cast<size_t>(width_);
    toRgba(pixels + first, rgba_.data() + first, count);
    qv_web_show_frame(rgba_.data(), width_, height_, rows.first, rows.count);
  }
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
