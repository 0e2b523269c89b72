// PSID loading: where the data goes, which header bytes count, a play address
// taken from the interrupt vector, and images that end early or run past $FFFF.
#include <gtest/gtest.h>

#include <vector>

#include "tests/sid/sid_test_util.h"

namespace sid {
namespace {

using test::freshState;
using test::makePsid;

TEST(PsidLoad, LoadAddressComesFromTheData) {
  auto s = freshState();
  std::vector<uint8_t> image = makePsid(0x1000, 0x1000, 0x1003, {0xA9, 0x01, 0x60, 0xEA, 0x60});
  image[8] = 0x20;  // the header's own load address field is replaced
  image[9] = 0x00;
  image[6] = 0x01;  // high byte of the data offset is not read
  EXPECT_EQ(s->loadTune(image.data(), static_cast<int32_t>(image.size())), 0x1000);
  EXPECT_EQ(s->loadAddress, 0x1000);
  EXPECT_EQ(s->initAddress, 0x1000);
  EXPECT_EQ(s->playAddress, 0x1003);
  const uint8_t expected[] = {0xA9, 0x01, 0x60, 0xEA, 0x60, 0x00};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(s->cpu.memory[0x1000 + i], expected[i]) << i;
  EXPECT_EQ(s->cpu.memory[0x2000], 0x00);
  EXPECT_EQ(s->cpu.memory[0x0FFF], 0x00);
}

TEST(PsidLoad, ClearsMemoryAndIgnoresTheMagic) {
  auto s = freshState();
  s->cpu.memory[0x5000] = 0xAA;
  std::vector<uint8_t> image = makePsid(0x1000, 0x1000, 0x1000, {0x60});
  image[0] = 'X';
  s->loadTune(image.data(), static_cast<int32_t>(image.size()));
  EXPECT_EQ(s->cpu.memory[0x5000], 0x00);
  EXPECT_EQ(s->cpu.memory[0x1000], 0x60);
}

TEST(PsidLoad, DataForTheSoundChipWindowLandsInRam) {
  auto s = freshState();
  std::vector<uint8_t> image = makePsid(0xD400, 0x1000, 0x1000, {0x11, 0x22});
  s->loadTune(image.data(), static_cast<int32_t>(image.size()));
  EXPECT_EQ(s->cpu.memory[0xD400], 0x11);
  EXPECT_EQ(s->cpu.memory[0xD401], 0x22);
  EXPECT_EQ(s->chip.voice[0].frequency, 0);
}

TEST(PsidLoad, PlayAddressZeroTakesTheVectorAfterOneInit) {
  // init: STA $40; INC $41; LDA #$34; STA $0314; LDA #$12; STA $0315; RTS
  auto s = freshState();
  std::vector<uint8_t> image = makePsid(
      0x1000, 0x1000, 0x0000,
      {0x85, 0x40, 0xE6, 0x41, 0xA9, 0x34, 0x8D, 0x14, 0x03, 0xA9, 0x12, 0x8D, 0x15, 0x03, 0x60});
  s->cpu.memory[0x40] = 0x77;
  s->loadTune(image.data(), static_cast<int32_t>(image.size()));
  EXPECT_EQ(s->playAddress, 0x1234);
  EXPECT_EQ(s->cpu.memory[0x41], 1);     // init ran once
  EXPECT_EQ(s->cpu.memory[0x40], 0x00);  // with A = 0
  s->runInit(3);
  EXPECT_EQ(s->cpu.memory[0x41], 2);
  EXPECT_EQ(s->cpu.memory[0x40], 3);  // the sub-tune index in A
}

TEST(PsidLoad, NonZeroPlayAddressRunsNoInit) {
  auto s = freshState();
  std::vector<uint8_t> image = makePsid(0x1000, 0x1000, 0x1003, {0xE6, 0x41, 0x60, 0x60});
  s->loadTune(image.data(), static_cast<int32_t>(image.size()));
  EXPECT_EQ(s->cpu.memory[0x41], 0);
}

TEST(PsidLoad, DataEndingExactlyAtFFFELoadsCompletely) {
  auto s = freshState();
  std::vector<uint8_t> data(0xFF);  // $FF00..$FFFE
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i + 1);
  std::vector<uint8_t> image = makePsid(0xFF00, 0xFF00, 0xFF00, data);
  s->loadTune(image.data(), static_cast<int32_t>(image.size()));
  EXPECT_EQ(s->cpu.memory[0xFF00], 0x01);
  EXPECT_EQ(s->cpu.memory[0xFFFE], 0xFF);
  EXPECT_EQ(s->cpu.memory[0xFFFF], 0x00);
}

TEST(PsidLoad, DataPastFFFFIsCutOff) {
  auto s = freshState();
  std::vector<uint8_t> data(32);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0x80 + i);
  std::vector<uint8_t> image = makePsid(0xFFF0, 0x1000, 0x1000, data);
  s->loadTune(image.data(), static_cast<int32_t>(image.size()));
  EXPECT_EQ(s->cpu.memory[0xFFF0], 0x80);
  EXPECT_EQ(s->cpu.memory[0xFFFF], 0x8F);
  for (int a = 0; a < 0x20; ++a) ASSERT_EQ(s->cpu.memory[a], 0x00) << a;  // no wrap to page zero
}

TEST(PsidLoad, TruncatedImagesReadNothingPastTheirEnd) {
  // Exact-size copies, so a read past the end shows under AddressSanitizer.
  const std::vector<uint8_t> full = makePsid(0x1000, 0x1000, 0x1003, {0x60, 0x60, 0x60, 0x60});
  struct Cut { size_t size; uint16_t load, init, play; };
  const Cut cuts[] = {
      // bytes kept   load     init     play
      {0, 0x0000, 0x0000, 0x0000},
      {5, 0x5350, 0x0000, 0x0000},  // data offset unread (0): load address "PS"
      {11, 0x0000, 0x1000, 0x0000},  // init high byte only... low byte missing
      {0x7C, 0x0000, 0x1000, 0x1003},  // header only
      {0x7D, 0x0000, 0x1000, 0x1003},  // half the load address
      {0x7E, 0x1000, 0x1000, 0x1003},  // load address, no data
      {0x7F, 0x1000, 0x1000, 0x1003},
  };
  for (const Cut& c : cuts) {
    auto s = freshState();
    std::vector<uint8_t> image(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(c.size));
    s->loadTune(image.empty() ? nullptr : image.data(), static_cast<int32_t>(image.size()));
    SCOPED_TRACE(c.size);
    EXPECT_EQ(s->loadAddress, c.load);
    EXPECT_EQ(s->initAddress, c.init);
    if (c.play != 0) {
      EXPECT_EQ(s->playAddress, c.play);
    }
    if (c.size == 0x7F) {
      EXPECT_EQ(s->cpu.memory[0x1000], 0x60);
    }
    if (c.size == 0x7E) {
      EXPECT_EQ(s->cpu.memory[0x1000], 0x00);
    }
  }
}

TEST(PsidLoad, DataOffsetBeyondTheImage) {
  auto s = freshState();
  std::vector<uint8_t> image(20, 0);
  image[7] = 0xF0;  // data offset past the end: no load address, no data
  image[11] = 0x10;
  EXPECT_EQ(s->loadTune(image.data(), static_cast<int32_t>(image.size())), 0);
  auto t = freshState();
  EXPECT_EQ(t->loadTune(nullptr, 100), 0);
  EXPECT_EQ(t->loadTune(image.data(), -5), 0);
}

TEST(PsidInfoTest, DescribesTheHeader) {
  std::vector<uint8_t> image = makePsid(0x0FF6, 0x0FF6, 0x1003, std::vector<uint8_t>(100, 0xEA), 4);
  const char name[] = "Test Tune";
  std::copy(name, name + sizeof name - 1, image.begin() + 0x16);
  const PsidInfo info = describePsid(image.data(), static_cast<int32_t>(image.size()));
  EXPECT_TRUE(info.valid);
  EXPECT_EQ(info.version, 2);
  EXPECT_EQ(info.loadAddress, 0x0FF6);
  EXPECT_EQ(info.initAddress, 0x0FF6);
  EXPECT_EQ(info.playAddress, 0x1003);
  EXPECT_EQ(info.songs, 4);
  EXPECT_EQ(info.startSong, 1);
  EXPECT_EQ(info.dataSize, 100);
  EXPECT_STREQ(info.name, "Test Tune");
  EXPECT_FALSE(describePsid(image.data(), 0x70).valid);
  image[0] = 'Q';
  EXPECT_FALSE(describePsid(image.data(), static_cast<int32_t>(image.size())).valid);
}

}  // namespace
}  // namespace sid
