#include "xm/offline_renderer.h"

#include "xm/loader.h"
#include "xm/mixer.h"
#include "xm/sequencer.h"

namespace xm {

OfflineRenderer::OfflineRenderer() : mix_(static_cast<size_t>(2 * kBlockFrames)) {}
OfflineRenderer::~OfflineRenderer() = default;

bool OfflineRenderer::load(const uint8_t* data, int64_t size) {
  playback_ = XmPlayback{};
  song_ = loadSongFromMemory(data, size);
  if (!song_) return false;
  restart();
  return true;
}

void OfflineRenderer::restart() {
  if (!song_) return;
  playback_.song = song_.get();
  resetPlayback(playback_);
}

BlockStamp OfflineRenderer::renderBlockFloat(float* frames) {
  if (!song_) return {};
  mixBlock(playback_, frames);
  return BlockStamp{static_cast<uint8_t>(playback_.position.order), static_cast<uint8_t>(playback_.position.row)};
}

BlockStamp OfflineRenderer::renderBlock(int16_t* frames) {
  const BlockStamp stamp = renderBlockFloat(mix_.data());
  convertBlock(mix_.data(), frames, kBlockFrames);
  return stamp;
}

SongTiming traceSong(const XmSong& song, int64_t limitFrames, bool keepRows) {
  SongTiming timing;
  XmPlayback pb;
  pb.song = &song;
  resetPlayback(pb);
  const XmPosition& pos = pb.position;
  std::vector<uint8_t> visited(256 * 256, 0);
  int64_t frame = 0;
  while (frame < limitFrames) {
    if (pos.tick == 0) {
      const int32_t order = pos.nextOrder >= 0 ? pos.nextOrder : pos.order;
      int32_t row = pos.nextRow >= 0 ? pos.nextRow : pos.row;
      if (static_cast<uint32_t>(row) >= song.patterns[song.orderTable[static_cast<size_t>(order)]].rowCount) row = 0;
      bool inLoop = false;
      for (const XmChannel& ch : pb.channels) inLoop = inLoop || ch.loopCount != 0;
      uint8_t& seen = visited[static_cast<size_t>(order) * 256 + static_cast<size_t>(row)];
      if (seen && !inLoop) {
        timing.looped = true;
        break;
      }
      seen = 1;
    }
    const bool rowStart = pos.tick == 0;
    sequencerTick(pb);
    if (rowStart && keepRows) timing.rows.push_back({frame, pos.order, pos.row, pos.speed, pos.bpm});
    frame += pos.samplesPerTick > 0 ? pos.samplesPerTick : 1;
  }
  timing.frames = frame;
  return timing;
}

}  // namespace xm
