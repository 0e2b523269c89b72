// A whole program on the headless host, with fake audio outputs and a virtual
// clock, plus the small steps the flow tests are written in.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/navigation.h"
#include "app/program.h"
#include "host/fake_looping_audio_output.h"
#include "host/fake_wave_output.h"
#include "host/headless_host.h"
#include "render/graphics.h"

namespace app::testing {

// Every present takes 10 ms of virtual time (each loop also sleeps 1 ms).
inline constexpr double kSecondsPerPresent = 0.010;

struct Harness {
  host::VirtualClock clock;
  host::HeadlessDisplayHost display{&clock, kSecondsPerPresent};
  host::FakeWaveOutput wave;
  host::FakeLoopingAudioOutput looping;
  std::unique_ptr<Program> program;

  Harness() {
    display.setPresentLimit(200'000);
    program = std::make_unique<Program>(display, clock, wave, looping);
  }
  ~Harness() { program.reset(); }

  Program& p() { return *program; }
  ViewState& view() { return program->view; }

  // Start-up and hand-over without the intro: the reader's first frame is next.
  void enterReader() {
    ASSERT_TRUE(startUp(p()));
    handOver(p());
  }

  // One reader frame; the events given are applied by its present, so the
  // frame after sees them as polled input.
  bool frame(std::initializer_list<host::InputEvent> events = {}) {
    for (const host::InputEvent& e : events) display.queue(e);
    return readerFrame(p());
  }
  void moveTo(int32_t x, int32_t y) { frame({host::InputEvent::move(x, y)}); }
  // Press at (x, y) and let the next frame act on it; the button stays down.
  void pressAt(int32_t x, int32_t y) {
    frame({host::InputEvent::move(x, y), host::InputEvent::buttonDown()});
    frame();
  }
  void release() {
    frame({host::InputEvent::buttonUp()});
    frame();
  }
  void clickAt(int32_t x, int32_t y) {
    pressAt(x, y);
    release();
  }
  // The centre of a reader button in the current skin.
  void clickButton(int32_t button) {
    const render::Rect& r = render::buttonRect(button, view().skin);
    clickAt(r.x + r.lastDX / 2, r.y + r.lastDY / 2);
  }
  void pressKey(int32_t key) {
    frame({host::InputEvent::keyDown(key)});
    frame({host::InputEvent::keyUp(key)});
  }

  // Replaces article n by `lines` numbered text lines (or lines of `fill`)
  // and opens it.
  void useSyntheticArticle(int32_t n, int32_t lines, const std::string& fill = "") {
    content::LineTables& t = p().content.tables;
    for (int32_t i = 0; i <= content::kLastLine; ++i) {
      const std::size_t c = content::LineTables::cell(i, n);
      const std::string text = fill.empty() ? "line " + std::to_string(i) : fill;
      t.lineText[c] = i < lines ? text : (i == lines ? "<END>" : "");
      t.lineColours[c] = std::string(80, '1');
      t.lineStyles[c] = std::string(80, '1');
      t.lineRule[c] = std::string(1, '0');  // (assigning the literal trips a false -Wrestrict in GCC 12)
    }
    openArticle(p(), n);
  }
};

}  // namespace app::testing
