// magtool xm and magtool sid write their WAV files as they render: a
// 600-second rendering stays within 64 MB, the file's header names its true
// sizes, and the samples are the offline renderer's, block for block.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "xm/offline_renderer.h"

extern char** environ;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

struct Child {
  int status = -1;
  long maxRssKb = 0;
};

// Runs magtool with `args` (output to /dev/null) and reports its exit status
// and peak resident memory.
Child magtool(const std::vector<std::string>& args) {
  std::vector<std::string> all{QV_MAGTOOL};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  Child run;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    struct rusage usage {};
    if (wait4(pid, &run.status, 0, &usage) == pid) run.maxRssKb = usage.ru_maxrss;
  }
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

std::vector<uint8_t> readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

class MagtoolWav : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("qv_wav_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Checks the RIFF header of a 16-bit file of `channels` x `frames` samples
  // (reading only the header: this process's own memory would otherwise
  // count toward the next child's peak, which starts as a copy of it).
  void expectHeader(const std::filesystem::path& path, int channels, uint64_t frames) {
    const uint64_t dataBytes = frames * static_cast<uint64_t>(channels) * 2;
    ASSERT_EQ(std::filesystem::file_size(path), 44 + dataBytes);
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> wav(44);
    in.read(reinterpret_cast<char*>(wav.data()), 44);
    EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
    EXPECT_EQ(le32(wav, 4), 36 + dataBytes);
    EXPECT_EQ(std::memcmp(wav.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(wav[22], channels);
    EXPECT_EQ(le32(wav, 24), 44100u);
    EXPECT_EQ(std::memcmp(wav.data() + 36, "data", 4), 0);
    EXPECT_EQ(le32(wav, 40), dataBytes);
  }

  std::filesystem::path dir_;
};

TEST_F(MagtoolWav, LongRenderingsStayWithin64MB) {
  const std::filesystem::path xmWav = dir_ / "module1.wav";
  const Child xm = magtool({"xm", "1", "--seconds", "600", "--wav", xmWav.string()});
  ASSERT_TRUE(WIFEXITED(xm.status) && WEXITSTATUS(xm.status) == 0);
  expectHeader(xmWav, 2, 600ull * 44100);
  std::filesystem::remove(xmWav);

  const std::filesystem::path sidWav = dir_ / "tune1.wav";
  const Child sid = magtool({"sid", "1", "--seconds", "600", "--wav", sidWav.string()});
  ASSERT_TRUE(WIFEXITED(sid.status) && WEXITSTATUS(sid.status) == 0);
  expectHeader(sidWav, 1, 600ull * 44100);

  if (kSanitized) GTEST_SKIP() << "peak memory is not measured under the address sanitizer";
  EXPECT_LE(xm.maxRssKb, 64 * 1024) << "magtool xm, 600 s";
  EXPECT_LE(sid.maxRssKb, 64 * 1024) << "magtool sid, 600 s";
}

TEST_F(MagtoolWav, XmSamplesAreTheOfflineRenderersToTheLastFrame) {
  // 10.01 s: 441441 frames, the last block cut short.
  const std::filesystem::path wavPath = dir_ / "module2.wav";
  const Child run = magtool({"xm", "2", "--seconds", "10.01", "--wav", wavPath.string()});
  ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0);
  const uint64_t frames = 441441;
  expectHeader(wavPath, 2, frames);
  const std::vector<uint8_t> wav = readFile(wavPath);

  const auto module = assets::module(2);
  xm::OfflineRenderer renderer;
  ASSERT_TRUE(renderer.load(module.data(), static_cast<int64_t>(module.size())));
  std::vector<int16_t> block(2 * xm::kBlockFrames);
  for (uint64_t f = 0; f < frames; f += xm::kBlockFrames) {
    renderer.renderBlock(block.data());
    const uint64_t n = std::min<uint64_t>(xm::kBlockFrames, frames - f);
    for (uint64_t i = 0; i < 2 * n; ++i) {
      const size_t at = 44 + 2 * (2 * f + i);
      const int16_t v = static_cast<int16_t>(wav[at] | (wav[at + 1] << 8));
      ASSERT_EQ(v, block[i]) << "frame " << f + i / 2;
    }
  }
}

TEST_F(MagtoolWav, AnUnwritableFileIsAnError) {
  const Child run = magtool({"xm", "3", "--seconds", "1", "--wav", (dir_ / "missing" / "out.wav").string()});
  ASSERT_TRUE(WIFEXITED(run.status));
  EXPECT_EQ(WEXITSTATUS(run.status), 1);
  const Child sid = magtool({"sid", "2", "--seconds", "1", "--wav", (dir_ / "missing" / "out.wav").string()});
  ASSERT_TRUE(WIFEXITED(sid.status));
  EXPECT_EQ(WEXITSTATUS(sid.status), 1);
}

}  // namespace
