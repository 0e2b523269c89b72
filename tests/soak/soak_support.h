// Long-running use of the whole program on the headless host.
//
// Session: a Program with the headless display, a virtual clock (every
// present takes 15 ms, every frame also sleeps 1 ms: about 16 ms of virtual
// time per reader frame) and the two fake audio outputs, whose play positions
// follow the virtual clock: the module output's position moves on by 44100
// frames per virtual second from the present hook, so the module player's
// output thread really mixes, and a tune buffer of the SID output is played
// (its done notification delivered) every 160 ms of virtual time.
//
// RandomUser: a seeded stream of what a person does with the reader -
// clicks on buttons, menu slots and anywhere else, thumb drags, wheel turns,
// Up/Down holds, PgUp/PgDn/Home/End, F1/F2 - turned into input events
// scheduled frame by frame.
//
// checkReader: the invariants that hold after every reader frame; it returns
// the broken ones as text, empty when all hold.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/navigation.h"
#include "app/program.h"
#include "host/headless/fake_looping_audio_output.h"
#include "host/headless/fake_wave_output.h"
#include "host/headless/headless_host.h"

namespace soak {

inline constexpr double kSecondsPerPresent = 0.015;
inline constexpr double kTuneBufferSeconds = 7056.0 / 44100.0;  // one SID stream buffer

struct Session {
  host::VirtualClock clock;
  host::HeadlessDisplayHost display{&clock, kSecondsPerPresent};
  host::FakeWaveOutput wave;
  host::FakeLoopingAudioOutput looping;
  std::unique_ptr<app::Program> program;

  // Audio following the virtual clock (see above); off: positions stand still.
  bool audioRunning = true;
  // Called at the start of every present, after the audio moved on.
  std::function<void(int64_t present)> onPresent;

  int64_t tuneBuffersPlayed = 0;
  uint64_t moduleFramesPlayed = 0;

  Session();
  ~Session();
  app::Program& p() { return *program; }
  app::ViewState& view() { return program->view; }

 private:
  void presentHook(int64_t n);
  double lastHookTime_ = 0.0;
  double moduleFrameCarry_ = 0.0;
  double tuneCarry_ = 0.0;
};

// Channel counts of the four shipped modules (index 1..4), read by loading
// each one in a player of its own.
std::vector<int32_t> moduleChannelCounts();

// What a reader frame must leave behind. `pageSwitched` says whether the menu
// page changed during the frame (the page buttons are then both clear until
// the next frame's button handling selects the new page's button).
std::string checkReader(app::Program& p, host::HeadlessDisplayHost& display,
                        const host::FakeLoopingAudioOutput& looping, const std::vector<int32_t>& channels,
                        bool pageSwitched);

// The seeded person in front of the reader.
class RandomUser {
 public:
  RandomUser(Session& session, uint32_t seed) : s_(session), rng_(seed) {}

  // Queues this frame's input for the coming present (starting a new action
  // when the previous one has run out).
  void beforeFrame();
  // Counts of the actions started, by kind.
  struct Counts {
    int64_t buttonClicks = 0, menuClicks = 0, pageSwitchClicks = 0, strayClicks = 0, thumbDrags = 0,
            wheelTurns = 0, upDownHolds = 0, pagingKeys = 0, skinKeys = 0, idles = 0;
  };
  const Counts& counts() const { return counts_; }

 private:
  int32_t uniform(int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng_); }
  void at(int32_t frameFromNow, const host::InputEvent& e);
  void startAction();
  void click(int32_t x, int32_t y);

  Session& s_;
  std::mt19937 rng_;
  // Scheduled events: [0] is applied by the coming present.
  std::deque<std::vector<host::InputEvent>> pending_;
  Counts counts_;
};

// Drives `frames` reader frames with the user and checks every one; returns
// the first broken invariant (with the frame number) or empty.
std::string runReaderFrames(Session& session, RandomUser& user, int64_t frames,
                            const std::vector<int32_t>& channels);

}  // namespace soak
