// HeadlessDisplayHost and VirtualClock: the display, input and timer without a
// screen, for tests and tools.
//
// The headless host behaves like the real one towards the program: input
// state changes only inside `present` (and `open`) and is kept in the record
// every host shares (host/common/polled_input.h: the key-state rules of
// host/display_host.h, one wheel step per event, pointer coordinates as
// unsigned 16-bit values). Input is scripted ahead of time,
// keyed by the number of the present that applies it (1 = the first present)
// or by virtual time, or pushed from a hook that runs at the start of every
// present. Every present is counted; the last shown frame is kept and can be
// handed to a callback.
//
// The virtual clock moves only through `sleepMs`, `advance` and the host's
// optional fixed time per present, so a whole program run is deterministic.
//
// A close request (or Escape) while exitOnClose is 1 is recorded in
// `exitRequested` rather than ending the test process.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/common/polled_input.h"
#include "host/display_host.h"

namespace host {

class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(double start = 0.0) : time_(start) {}
  double now() override { return time_; }
  void sleepMs(int32_t milliseconds) override;
  void advance(double seconds) { time_ += seconds; }

  int64_t sleepCalls() const { return sleepCalls_; }
  // Sleeps of each length so far, e.g. sleepsOf(150).
  int64_t sleepsOf(int32_t milliseconds) const;

 private:
  double time_;
  int64_t sleepCalls_ = 0;
  std::map<int32_t, int64_t> sleeps_;
};

enum class InputKind { PointerMove, ButtonDown, ButtonUp, Wheel, KeyDown, KeyUp, CloseRequest, EndRequest };

struct InputEvent {
  InputKind kind;
  int32_t a = 0;  // PointerMove: x; Wheel: the raw delta; KeyDown/KeyUp: virtual-key code
  int32_t b = 0;  // PointerMove: y

  static InputEvent move(int32_t x, int32_t y) { return {InputKind::PointerMove, x, y}; }
  static InputEvent buttonDown() { return {InputKind::ButtonDown}; }
  static InputEvent buttonUp() { return {InputKind::ButtonUp}; }
  // One notch: a positive delta (away from the user) or 0 counts +1, a
  // negative one -1.
  static InputEvent wheel(int32_t delta) { return {InputKind::Wheel, delta}; }
  static InputEvent keyDown(int32_t key) { return {InputKind::KeyDown, key}; }
  static InputEvent keyUp(int32_t key) { return {InputKind::KeyUp, key}; }
  static InputEvent closeRequest() { return {InputKind::CloseRequest}; }
  // The session asks the program to end (a signal on the desktop).
  static InputEvent endRequest() { return {InputKind::EndRequest}; }
};

class HeadlessDisplayHost final : public DisplayHost {
 public:
  // `clock` (optional) is advanced by `secondsPerPresent` at every present and
  // is what `atTime` events are measured against.
  explicit HeadlessDisplayHost(VirtualClock* clock = nullptr, double secondsPerPresent = 0.0);

  // --- scripting ---
  void failOpen(bool fail) { failOpen_ = fail; }
  // Applied while present number n (1-based) pumps its events.
  void atPresent(int64_t n, const InputEvent& event);
  // Applied by the first present that starts at virtual time >= t.
  void atTime(double t, const InputEvent& event);
  // Applied by the next present (from inside the present hook: by the present
  // that runs the hook).
  void queue(const InputEvent& event) { atPresent(inPresent_ ? presents_ : presents_ + 1, event); }
  // Applied at once (for state before `open`, or between presents in tests).
  void apply(const InputEvent& event);
  // Runs at the start of present n, before its events are applied.
  void setPresentHook(std::function<void(int64_t n)> hook) { presentHook_ = std::move(hook); }
  // Receives every shown frame (width x height pixels) with its present number.
  void setFrameCallback(std::function<void(int64_t n, const uint32_t* pixels)> callback) {
    frameCallback_ = std::move(callback);
  }
  // A run that presents more often than this is stuck: the host aborts.
  void setPresentLimit(int64_t limit) { presentLimit_ = limit; }
  void setActive(bool active) { active_ = active; }

  // --- observation ---
  int64_t presentCount() const { return presents_; }
  int64_t shownFrameCount() const { return shownFrames_; }
  const std::vector<uint32_t>& lastFrame() const { return lastFrame_; }
  uint32_t lastPixel(int32_t x, int32_t y) const;
  bool isOpen() const { return open_; }
  int32_t openCalls() const { return openCalls_; }
  int32_t closeCalls() const { return closeCalls_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  const std::string& title() const { return title_; }
  uint8_t exitOnClose() const { return exitOnClose_; }
  bool exitRequested() const { return exitRequested_; }
  int32_t windowed() const { return windowed_; }
  uint8_t ask() const { return ask_; }
  uint8_t popupStyle() const { return popup_; }
  const std::string& question() const { return question_; }
  bool cursorVisible() const { return cursorVisible_; }

  // --- DisplayHost ---
  void configureStartup(uint8_t ask, const std::string& question, int32_t windowed, uint8_t popup) override;
  void setExitOnClose(uint8_t flag) override { exitOnClose_ = flag; }
  int32_t open(const std::string& title, int32_t width, int32_t height) override;
  int32_t present(const uint32_t* pixels) override;
  void close() override;
  int32_t mouseX() override { return input_.mouseX(); }
  int32_t mouseY() override { return input_.mouseY(); }
  int32_t leftButton() override { return input_.leftButton(); }
  uint32_t leftButtonPresses() override { return input_.leftButtonPresses(); }
  int32_t wheelPosition() override { return input_.wheelPosition(); }
  int16_t asyncKeyState(int32_t virtualKey) override { return input_.asyncKeyState(virtualKey); }
  void showCursor(bool visible) override { cursorVisible_ = visible; }
  int32_t endRequested() override { return endRequested_ ? 1 : 0; }

 private:
  VirtualClock* clock_;
  double secondsPerPresent_;
  bool failOpen_ = false;
  std::multimap<int64_t, InputEvent> byPresent_;
  std::multimap<double, InputEvent> byTime_;
  std::function<void(int64_t)> presentHook_;
  std::function<void(int64_t, const uint32_t*)> frameCallback_;
  int64_t presentLimit_ = 50'000'000;

  int64_t presents_ = 0;
  bool inPresent_ = false;
  int64_t shownFrames_ = 0;
  std::vector<uint32_t> lastFrame_;
  bool open_ = false;
  bool active_ = true;
  int32_t openCalls_ = 0;
  int32_t closeCalls_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::string title_;
  uint8_t ask_ = 0;
  std::string question_ = "Fullscreen Mode ?";
  int32_t windowed_ = 1;
  uint8_t popup_ = 0;
  uint8_t exitOnClose_ = 1;
  bool exitRequested_ = false;
  bool cursorVisible_ = true;
  bool endRequested_ = false;

  PolledInput input_;
};

}  // namespace host
