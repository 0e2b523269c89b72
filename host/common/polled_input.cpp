#include "host/common/polled_input.h"

namespace host {

void PolledInput::key(int32_t virtualKey, bool down) {
  if (!inRange(virtualKey)) return;
  const std::size_t k = index(virtualKey);
  if (down && keyDown_[k] == 0) keyPressed_[k] = 1;
  keyDown_[k] = down ? 1 : 0;
}

void PolledInput::notePress(int32_t virtualKey) {
  if (inRange(virtualKey)) keyPressed_[index(virtualKey)] = 1;
}

void PolledInput::releaseAll() {
  keyDown_.fill(0);
  left_.release();
}

int16_t PolledInput::asyncKeyState(int32_t virtualKey) {
  if (!inRange(virtualKey)) return 0;
  return asyncKeyState(virtualKey, keyDown_[index(virtualKey)] != 0);
}

int16_t PolledInput::asyncKeyState(int32_t virtualKey, bool downNow) {
  if (!inRange(virtualKey)) return 0;
  const std::size_t k = index(virtualKey);
  const bool pressed = keyPressed_[k] != 0;
  keyPressed_[k] = 0;
  uint16_t value = downNow || pressed ? 0x8000u : 0u;
  if (pressed) value |= 0x0001u;
  return static_cast<int16_t>(value);
}

}  // namespace host
