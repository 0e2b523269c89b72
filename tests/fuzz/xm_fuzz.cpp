// Fuzz target: arbitrary bytes as an XM module. Loading must reject or
// repair; a module that loads is played for a few hundred ticks offline and
// its cells are queried like the level meter does.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/headless/fake_looping_audio_output.h"
#include "xm/module_player.h"
#include "xm/offline_renderer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 22)) return 0;
  xm::OfflineRenderer renderer;
  if (renderer.load(data, static_cast<int64_t>(size))) {
    std::vector<int16_t> block(2 * xm::kBlockFrames);
    // 150 blocks: about 150 ticks at 125 BPM, 300 at the fastest tempo;
    // then the sequencer alone for up to 20 s more (a few hundred ticks).
    for (int i = 0; i < 150; ++i) renderer.renderBlock(block.data());
    xm::traceSong(*renderer.song(), 44100 * 20, false);
  }
  host::FakeLoopingAudioOutput output;
  xm::ModulePlayer player(output);
  if (player.load(data, static_cast<int32_t>(size))) {
    for (int32_t c = -1; c <= player.channelCount(); ++c) player.cellAt(c);
    player.unload();
  }
  return 0;
}
