// The SDL looping output and the player on it: without a usable audio
// driver open and play fail at once; on SDL's dummy driver (no sound card
// needed) the looping buffer is consumed and the player refills it; on its
// disk driver what the device thread copied out of the ring is compared with
// the offline rendering.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "host/sdl/sdl_looping_audio_output.h"
#include "tests/xm/xm_builder.h"
#include "xm/module_player.h"
#include "xm/offline_renderer.h"

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

// The module heard through SDL's disk driver, whose thread runs the output's
// callback and so reads the ring while the player's output thread rewrites it
// behind the play position. Played for well over one pass of the ring, the
// file must hold exactly what the offline renderer makes: a block rewritten
// too early, too late or not at all, or a callback reading across a block
// being written, shows as a difference.
namespace {

std::vector<uint8_t> sawModule() {
  xmtest::Module m;
  m.speed = 2;
  xmtest::Sample saw;
  for (int i = 0; i < 100; ++i) saw.pcm.push_back(static_cast<int16_t>(-12000 + 240 * i));
  saw.loopType = 1;
  saw.loopLength = 100;
  m.instruments.push_back(xmtest::simpleInstrument(saw));
  for (int row = 0; row < 64; ++row) m.cell(0, row, 0) = {static_cast<uint8_t>(30 + (row * 7) % 40), 1, 0, 0, 0};
  return m.bytes();
}

std::vector<int16_t> readSamples(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// Plays the module through the disk driver into `file` until the position
// has gone one and a half times round the ring; writes the bytes heard to
// `file`.heard. Runs in a process of its own: SDL's audio keeps the driver it
// first started with for the life of a process.
void playThroughTheDiskDriver(const std::string& file, const std::vector<uint8_t>& bytes) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  const uint64_t ringBytes = static_cast<uint64_t>(xm::kRingFrames) * host::LoopingAudioOutput::kBytesPerFrame;
  host::SdlLoopingAudioOutput out;
  xm::ModulePlayer player(out);
  if (!player.load(bytes.data(), static_cast<int32_t>(bytes.size())) || !player.play()) std::_Exit(2);
  if (!waitUntil([&] { return out.positionBytes() > ringBytes * 3 / 2; }, 60s)) std::_Exit(3);
  const uint64_t heard = out.positionBytes();
  player.stop();
  player.unload();
  // The file is complete once the worker has closed the device.
  if (!waitUntil([&] { return !out.stream().hasDevice(); }, 10s)) std::_Exit(4);
  std::ofstream(file + ".heard") << heard;
  std::_Exit(0);
}

TEST(XmSdlOutput, TheDeviceThreadHearsEveryRewrittenBlockAsTheRendererMadeIt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Named the same in the process that plays it (a new process runs this test again).
  const std::string file = ::testing::TempDir() + "qv_xm_disk_output.raw";
  const std::vector<uint8_t> bytes = sawModule();
  EXPECT_EXIT(playThroughTheDiskDriver(file, bytes), ::testing::ExitedWithCode(0), "");
  uint64_t heard = 0;
  std::ifstream(file + ".heard") >> heard;
  ASSERT_GT(heard, 0u);

  const std::vector<int16_t> played = readSamples(file);
  const size_t compared = static_cast<size_t>(heard / 2);
  std::vector<int16_t> expected;
  xm::OfflineRenderer renderer;
  ASSERT_TRUE(renderer.load(bytes.data(), static_cast<int64_t>(bytes.size())));
  while (expected.size() < compared) {
    std::vector<int16_t> block(static_cast<size_t>(xm::kBlockFrames) * 2);
    renderer.renderBlock(block.data());
    expected.insert(expected.end(), block.begin(), block.end());
  }
  // The device may run a little before the ring is handed to it: silence.
  size_t lead = 0;
  while (lead < played.size() && played[lead] == 0 && lead < 44100 * 2) ++lead;
  lead -= lead % 2;
  while (lead > 0 && !std::equal(expected.begin(), expected.begin() + 64, played.begin() + static_cast<std::ptrdiff_t>(lead))) lead -= 2;
  ASSERT_GE(played.size(), lead + compared);
  size_t firstDifference = compared;
  for (size_t i = 0; i < compared; ++i) {
    if (played[lead + i] != expected[i]) {
      firstDifference = i;
      break;
    }
  }
  EXPECT_EQ(firstDifference, compared) << "at frame " << firstDifference / 2 << " of " << compared / 2;
  std::remove(file.c_str());
  std::remove((file + ".heard").c_str());
}

}  // namespace
