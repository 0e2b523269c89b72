#include "host/headless/headless_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace host {

void VirtualClock::sleepMs(int32_t milliseconds) {
  ++sleepCalls_;
  ++sleeps_[milliseconds];
  if (milliseconds > 0) time_ += milliseconds / 1000.0;
}

int64_t VirtualClock::sleepsOf(int32_t milliseconds) const {
  const auto it = sleeps_.find(milliseconds);
  return it == sleeps_.end() ? 0 : it->second;
}

HeadlessDisplayHost::HeadlessDisplayHost(VirtualClock* clock, double secondsPerPresent)
    : clock_(clock), secondsPerPresent_(secondsPerPresent) {}

void HeadlessDisplayHost::atPresent(int64_t n, const InputEvent& event) { byPresent_.emplace(n, event); }

void HeadlessDisplayHost::atTime(double t, const InputEvent& event) { byTime_.emplace(t, event); }

void HeadlessDisplayHost::configureStartup(uint8_t ask, const std::string& question, int32_t windowed,
                                           uint8_t popup) {
  ask_ = ask;
  question_ = question.empty() ? std::string("Fullscreen Mode ?") : question;
  // Nobody answers a question here: asking would choose full screen.
  windowed_ = ask == 0 ? windowed : 0;
  popup_ = popup;
}

int32_t HeadlessDisplayHost::open(const std::string& title, int32_t width, int32_t height) {
  ++openCalls_;
  width_ = width;
  height_ = height;
  if (failOpen_ || width <= 0 || height <= 0) return 0;
  title_ = title;
  open_ = true;
  lastFrame_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
  return 1;
}

void HeadlessDisplayHost::apply(const InputEvent& e) {
  switch (e.kind) {
    case InputKind::PointerMove:
      input_.movePointer(e.a, e.b);
      break;
    case InputKind::ButtonDown:
      input_.pressButton();
      break;
    case InputKind::ButtonUp:
      input_.releaseButton();
      break;
    case InputKind::Wheel:
      input_.wheelNotch(e.a);
      break;
    case InputKind::KeyDown:
      input_.key(e.a, true);
      if (e.a == kKeyEscape && exitOnClose_) exitRequested_ = true;
      break;
    case InputKind::KeyUp:
      input_.key(e.a, false);
      break;
    case InputKind::CloseRequest:
      if (exitOnClose_) exitRequested_ = true;
      break;
    case InputKind::EndRequest:
      endRequested_ = true;
      break;
  }
}

int32_t HeadlessDisplayHost::present(const uint32_t* pixels) {
  ++presents_;
  if (presents_ > presentLimit_) {
    std::fprintf(stderr, "HeadlessDisplayHost: more than %lld presents, the run is stuck\n",
                 static_cast<long long>(presentLimit_));
    std::abort();
  }
  input_.beginPoll();  // a click within one pump still reads as one press
  if (presentHook_) {
    inPresent_ = true;
    presentHook_(presents_);
    inPresent_ = false;
  }

  const auto due = byPresent_.equal_range(presents_);
  for (auto it = due.first; it != due.second; ++it) apply(it->second);
  byPresent_.erase(due.first, due.second);
  if (clock_ != nullptr) {
    const double t = clock_->now();
    while (!byTime_.empty() && byTime_.begin()->first <= t) {
      apply(byTime_.begin()->second);
      byTime_.erase(byTime_.begin());
    }
  }

  if (active_ && open_ && pixels != nullptr) {
    std::memcpy(lastFrame_.data(), pixels, lastFrame_.size() * sizeof(uint32_t));
    ++shownFrames_;
    if (frameCallback_) frameCallback_(presents_, lastFrame_.data());
  }
  if (clock_ != nullptr) clock_->advance(secondsPerPresent_);
  return 1;
}

void HeadlessDisplayHost::close() {
  ++closeCalls_;
  open_ = false;
}

uint32_t HeadlessDisplayHost::lastPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_ || lastFrame_.empty()) return 0;
  return lastFrame_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
}

}  // namespace host
