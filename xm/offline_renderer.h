// Offline rendering: the player's own sequencer and mixer, block by block,
// without an audio device or a thread. The output thread renders its blocks
// with the same mixBlock and convertBlock, so the results are identical to
// what the device plays. Used by magtool, the tests and the benchmarks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "xm/xm_song.h"

namespace xm {

class OfflineRenderer {
 public:
  OfflineRenderer();
  ~OfflineRenderer();

  // Loads a module (the data is copied into the song; it need not outlive
  // this call) and resets playback to its start. false when it does not load.
  bool load(const uint8_t* data, int64_t size);
  bool loaded() const { return song_ != nullptr; }
  // Back to the song's first order position, as ModulePlayer::play does.
  void restart();
  // Renders kBlockFrames stereo frames (2 x kBlockFrames int16) and returns
  // the order position and row reached, as the player stamps its blocks.
  BlockStamp renderBlock(int16_t* frames);
  // The same before conversion (2 x kBlockFrames floats).
  BlockStamp renderBlockFloat(float* frames);

  const XmSong* song() const { return song_.get(); }
  XmPlayback& playback() { return playback_; }

 private:
  std::unique_ptr<XmSong> song_;
  XmPlayback playback_;
  std::vector<float> mix_;
};

// Where the sequencer is when each row starts.
struct RowEvent {
  int64_t frame = 0;  // output frame at which the row's first tick runs
  int32_t order = 0;
  int32_t row = 0;
  int32_t speed = 0;
  int32_t bpm = 0;
};

struct SongTiming {
  int64_t frames = 0;   // until the song starts to repeat (or the limit)
  bool looped = false;  // false: the limit was reached first
  std::vector<RowEvent> rows;
};

// Runs the sequencer alone (no mixing) over a loaded song from its start
// until a row is about to be played a second time outside a pattern loop,
// or until `limitFrames`, on a playback of its own.
SongTiming traceSong(const XmSong& song, int64_t limitFrames, bool keepRows);

}  // namespace xm
