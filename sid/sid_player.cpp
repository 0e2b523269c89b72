#include "sid/sid_player.h"

#include "host/wave_output.h"

namespace sid {

struct SidPlayer::Impl {
  explicit Impl(host::WaveOutput& out) : output(out) {}
  host::WaveOutput& output;
};

SidPlayer::SidPlayer(host::WaveOutput& output) : impl_(std::make_unique<Impl>(output)) {}
SidPlayer::~SidPlayer() { stop(); }
void SidPlayer::play(const uint8_t*, int32_t, int32_t) {}
void SidPlayer::stop() {}
void SidPlayer::resume() {}

}  // namespace sid
