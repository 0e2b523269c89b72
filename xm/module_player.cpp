#include "xm/module_player.h"

#include "host/looping_audio_output.h"

namespace xm {

struct ModulePlayer::Impl {
  explicit Impl(host::LoopingAudioOutput& out) : output(out) {}
  host::LoopingAudioOutput& output;
};

ModulePlayer::ModulePlayer(host::LoopingAudioOutput& output) : impl_(std::make_unique<Impl>(output)) {}
ModulePlayer::~ModulePlayer() = default;

bool ModulePlayer::load(const uint8_t*, int32_t) { return false; }
bool ModulePlayer::play() { return false; }
bool ModulePlayer::stop() { return false; }
bool ModulePlayer::unload() { return false; }
int32_t ModulePlayer::channelCount() const { return 0; }
int32_t ModulePlayer::audibleOrder() const { return 0; }
int32_t ModulePlayer::audibleRow() const { return 0; }
uint16_t ModulePlayer::cellAt(int32_t) const { return 0; }

}  // namespace xm
