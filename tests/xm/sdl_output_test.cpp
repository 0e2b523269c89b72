// The SDL looping output and the player on it: without a usable audio
// driver open and play fail at once; on SDL's dummy driver (no sound card
// needed) the looping buffer is consumed and the player refills it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "host/sdl/sdl_looping_audio_output.h"
#include "tests/xm/xm_builder.h"
#include "xm/module_player.h"

namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> smallModule() {
  xmtest::Module m;
  m.speed = 1;
  m.instruments.push_back(xmtest::simpleInstrument(xmtest::dcSample(3000)));
  for (int row = 0; row < 64; ++row) m.cell(0, row, 0) = {static_cast<uint8_t>(1 + row), 1, 0, 0, 0};
  return m.bytes();
}

TEST(XmSdlOutput, NoAudioDriverMeansOpenAndPlayFail) {
  setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
  host::SdlLoopingAudioOutput out;
  EXPECT_FALSE(out.open());
  out.close();  // harmless when not open
  xm::ModulePlayer player(out);
  const std::vector<uint8_t> bytes = smallModule();
  ASSERT_TRUE(player.load(bytes.data(), static_cast<int32_t>(bytes.size())));
  EXPECT_FALSE(player.play());
  EXPECT_EQ(player.audibleRow(), 0);
  EXPECT_TRUE(player.stop());
  EXPECT_TRUE(player.unload());
  unsetenv("SDL_AUDIODRIVER");
}

TEST(XmSdlOutput, DummyDriverConsumesTheLoopAndThePlayerFollows) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  {
    host::SdlLoopingAudioOutput out;
    ASSERT_TRUE(out.open());
    EXPECT_FALSE(out.open());  // already open
    std::vector<int16_t> ring(2 * 4096, 7);
    ASSERT_TRUE(out.playLooping(ring.data(), ring.size() * sizeof(int16_t)));
    for (int i = 0; i < 5000 && out.positionBytes() <= ring.size() * 2 * 3; ++i) std::this_thread::sleep_for(1ms);
    const uint64_t position = out.positionBytes();
    EXPECT_GT(position, ring.size() * 2 * 3);  // went round the loop several times
    EXPECT_EQ(position % 4, 0u);               // whole frames
    out.reset();
    EXPECT_EQ(out.positionBytes(), 0u);
    out.unprepare();
    out.close();
  }
  {
    host::SdlLoopingAudioOutput out;
    xm::ModulePlayer player(out);
    const std::vector<uint8_t> bytes = smallModule();
    ASSERT_TRUE(player.load(bytes.data(), static_cast<int32_t>(bytes.size())));
    ASSERT_TRUE(player.play());
    EXPECT_EQ(player.audibleRow(), 1);
    // Rows are heard as the dummy device plays the ring: row 1 of block 0,
    // then later ones (one row per 882 frames).
    for (int i = 0; i < 5000 && player.audibleRow() < 5; ++i) std::this_thread::sleep_for(1ms);
    EXPECT_GE(player.audibleRow(), 5);
    EXPECT_EQ(player.cellAt(0) >> 8, 1);
    EXPECT_TRUE(player.stop());
    EXPECT_TRUE(player.unload());
  }
  unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
