// Real modules written by trackers (../shared/testdata/xm, see SOURCES.md
// there): they load with the facts their trackers wrote, render without
// fault, and the rows come at the times their speed, tempo and pattern
// lengths imply.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "xm/loader.h"
#include "xm/offline_renderer.h"
#include "xm/sequencer.h"

namespace {

struct Facts {
  const char* file;
  int channels, patterns, instruments;
  bool linear;
  int orders, restart, speed, bpm;
};

// From the test data's SOURCES.md.
const Facts kModules[] = {
    {"cerror-bomberclone_numero_2.xm", 10, 14, 10, true, 19, 1, 4, 125},
    {"heroes07.xm", 10, 32, 23, false, 51, 0, 3, 144},
    {"mph.xm", 8, 9, 7, true, 14, 0, 9, 125},
    {"pk2_intro.xm", 4, 6, 8, true, 7, 0, 8, 133},
    {"satisfy.xm", 4, 17, 10, false, 29, 0, 6, 125},
    {"slice_me_nice.xm", 8, 14, 17, false, 35, 0, 6, 121},
};

std::vector<uint8_t> readFile(const std::string& name) {
  std::ifstream in(std::string(QV_TESTDATA_DIR) + "/xm/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(XmRealModules, LoadWithTheirFacts) {
  for (const Facts& f : kModules) {
    const std::vector<uint8_t> bytes = readFile(f.file);
    ASSERT_FALSE(bytes.empty()) << f.file;
    auto song = xm::loadSongFromMemory(bytes.data(), static_cast<int64_t>(bytes.size()));
    ASSERT_TRUE(song) << f.file;
    EXPECT_EQ(song->channelCount, f.channels) << f.file;
    EXPECT_EQ(song->filePatternCount, f.patterns) << f.file;
    EXPECT_GE(song->patternSlots, f.patterns) << f.file;
    EXPECT_EQ(song->instrumentCount, f.instruments) << f.file;
    EXPECT_EQ(song->linearTable(), f.linear) << f.file;
    EXPECT_EQ(song->songLength, f.orders) << f.file;
    EXPECT_EQ(song->restartPosition, f.restart) << f.file;
    EXPECT_EQ(song->defaultSpeed, f.speed) << f.file;
    EXPECT_EQ(song->defaultBpm, f.bpm) << f.file;
  }
}

TEST(XmRealModules, RenderWithoutFault) {
  for (const Facts& f : kModules) {
    const std::vector<uint8_t> bytes = readFile(f.file);
    xm::OfflineRenderer renderer;
    ASSERT_TRUE(renderer.load(bytes.data(), static_cast<int64_t>(bytes.size()))) << f.file;
    std::vector<float> block(2 * xm::kBlockFrames);
    float peak = 0.0f;
    double energy = 0.0;
    for (int b = 0; b < 750; ++b) {  // 15 s
      renderer.renderBlockFloat(block.data());
      for (float s : block) {
        ASSERT_TRUE(std::isfinite(s)) << f.file;
        peak = std::max(peak, std::fabs(s));
        energy += static_cast<double>(s) * s;
      }
    }
    EXPECT_GT(peak, 2000.0f) << f.file;
    EXPECT_LT(peak, 200000.0f) << f.file;  // loud parts clip, but nothing runs away
    EXPECT_GT(energy / (750.0 * 2 * xm::kBlockFrames), 1e4) << f.file << ": nearly silent";
  }
}

// The row timeline a module implies: orders in sequence, each pattern's rows
// in order, a row lasting speed ticks (1 for speed 0) of samplesPerTick(bpm)
// frames, with F effects taking effect on their own row. It ends at the
// first row with a jump, break, pattern loop or pattern delay.
std::vector<xm::RowEvent> impliedTimeline(const xm::XmSong& song) {
  std::vector<xm::RowEvent> rows;
  int32_t speed = song.defaultSpeed, bpm = song.defaultBpm;
  int64_t frame = 0;
  for (int32_t order = 0; order < song.songLength; ++order) {
    const int32_t pattern = song.orderTable[static_cast<size_t>(order)];
    const xm::XmPattern& p = song.patterns[static_cast<size_t>(pattern)];
    for (int32_t row = 0; row < static_cast<int32_t>(p.rowCount); ++row) {
      bool jumps = false;
      for (int32_t c = 0; c < song.channelCount; ++c) {
        const xm::XmCell& cell = *song.cell(pattern, row, c);
        const int hi = cell.parameter >> 4;
        if (cell.effect == xm::kEffectSpeedTempo) {
          if (cell.parameter < 32) {
            speed = cell.parameter;
          } else {
            bpm = cell.parameter;
          }
        }
        if (cell.effect == xm::kEffectPositionJump || cell.effect == xm::kEffectPatternBreak ||
            (cell.effect == xm::kEffectExtended && ((hi == 6 && (cell.parameter & 15) != 0) || hi == 14))) {
          jumps = true;
        }
      }
      rows.push_back({frame, order, row, speed, bpm});
      if (jumps) return rows;
      frame += static_cast<int64_t>(speed == 0 ? 1 : speed) * xm::samplesPerTickFor(bpm);
    }
  }
  return rows;
}

TEST(XmRealModules, RowsComeWhenSpeedTempoAndPatternLengthsSay) {
  int fullyChecked = 0;
  for (const Facts& f : kModules) {
    const std::vector<uint8_t> bytes = readFile(f.file);
    auto song = xm::loadSongFromMemory(bytes.data(), static_cast<int64_t>(bytes.size()));
    ASSERT_TRUE(song);
    const std::vector<xm::RowEvent> implied = impliedTimeline(*song);
    const xm::SongTiming traced = xm::traceSong(*song, int64_t{44100} * 600, true);
    ASSERT_GE(traced.rows.size(), implied.size()) << f.file;
    ASSERT_GE(implied.size(), 16u) << f.file;
    for (size_t i = 0; i < implied.size(); ++i) {
      ASSERT_EQ(traced.rows[i].order, implied[i].order) << f.file << " row event " << i;
      ASSERT_EQ(traced.rows[i].row, implied[i].row) << f.file << " row event " << i;
      ASSERT_EQ(traced.rows[i].frame, implied[i].frame) << f.file << " row event " << i;
    }
    EXPECT_TRUE(traced.looped) << f.file;
    // A module without jumps plays every order once and loops back.
    const int32_t lastOrder = song->songLength - 1;
    if (implied.back().order == lastOrder &&
        implied.back().row == static_cast<int32_t>(song->patterns[song->orderTable[static_cast<size_t>(lastOrder)]].rowCount) - 1) {
      ++fullyChecked;
      const xm::RowEvent& last = implied.back();
      const int64_t end = last.frame + static_cast<int64_t>(last.speed == 0 ? 1 : last.speed) * xm::samplesPerTickFor(last.bpm);
      EXPECT_EQ(traced.frames, end) << f.file << ": length until the song repeats";
    }
  }
  EXPECT_GE(fullyChecked, 1);
}

TEST(XmRealModules, DelayedKeyOffsLetTheNoteSoundUntilTheirTick) {
  // mph.xm's third channel plays K04..K08 on most rows of its later
  // patterns, on an instrument whose fadeout ends a note within a tick of
  // its key off. Each such note must sound on the tick before the one K
  // names and be silent from that tick on, on every pass through the song.
  const std::vector<uint8_t> bytes = readFile("mph.xm");
  auto song = xm::loadSongFromMemory(bytes.data(), static_cast<int64_t>(bytes.size()));
  ASSERT_TRUE(song);
  xm::XmPlayback pb;
  pb.song = song.get();
  xm::resetPlayback(pb);
  constexpr int kChannel = 2;
  int rows = 0, cutOnTime = 0;
  int param = -1;
  std::vector<int> volumes;  // per tick of the current row
  auto finishRow = [&] {
    if (param < 0) return;
    ++rows;
    bool ok = static_cast<int>(volumes.size()) > param && volumes[static_cast<size_t>(param - 1)] > 0;
    for (size_t t = static_cast<size_t>(param); ok && t < volumes.size(); ++t) ok = volumes[t] == 0;
    if (ok) ++cutOnTime;
    param = -1;
  };
  for (int t = 0; t < 20000; ++t) {
    if (pb.position.tick == 0) {
      finishRow();
      const int32_t order = pb.position.nextOrder >= 0 ? pb.position.nextOrder : pb.position.order;
      const int32_t row = pb.position.nextRow >= 0 ? pb.position.nextRow : pb.position.row;
      const xm::XmCell* c = song->cell(song->orderTable[static_cast<size_t>(order)], row, kChannel);
      if (c != nullptr && c->effect == xm::kEffectKeyOff && c->parameter >= 4 && c->note >= 1 && c->note <= 96) {
        param = c->parameter;
        volumes.clear();
      }
    }
    xm::sequencerTick(pb);
    if (param >= 0) volumes.push_back(pb.voices[static_cast<size_t>(pb.channels[kChannel].voice)].volume);
  }
  finishRow();
  EXPECT_GE(rows, 100);
  EXPECT_EQ(cutOnTime, rows);
}

}  // namespace
