// Program: the magazine from start-up to exit, as one object.
//
// A Program owns everything the run changes: the ViewState, the issue's
// content and the open ArticleView, the renderer's Graphics, both music
// players and the random source. The display, the timer and the two audio
// outputs are handed in, so the same flow runs on the real screen (app/main.cpp)
// and on the headless host with fake outputs and a virtual clock (tests).
//
// The run, in order:
//   startUp          content, the opening article (11), renderer tables, display opened
//   waitForRelease   black frames until Escape and the left button are up
//   runIntro         stripes, a random tune, intro frames until Escape or click
//   handOver         tune stopped, stripes, module 1, skin backgrounds
//   runReader        reader frames until Escape or QUIT, then shutDown
// `runProgram` does all of it and returns the exit status: 0, or -1 when the
// display cannot be opened. An end the session asks for (the display host's
// endRequested: SIGINT, SIGTERM, SIGHUP) leaves every loop as Escape does and
// skips the stages not yet begun; it too ends with 0 after shutDown.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "content/content.h"
#include "host/display_host.h"
#include "host/random.h"
#include "render/render.h"
#include "render/view_state.h"
#include "sid/sid_player.h"
#include "xm/module_player.h"

namespace host {
class WaveOutput;
class LoopingAudioOutput;
}  // namespace host

namespace app {

// The program's record of what is shown; its type sits with the renderer,
// which draws from it.
using ViewState = render::ViewState;

inline constexpr int32_t kExitNormal = 0;
inline constexpr int32_t kExitNoDisplay = -1;

inline constexpr char kWindowTitle[] = "CODED BY TARVOSKELD :-)";
inline constexpr char kStartupQuestion[] = "THE QUORVALINE CHARTS PREVIEW\rFULL SCREEN?";
inline constexpr int32_t kOpeningArticle = 11;  // the editorial

// The level meter's view of the module being heard.
class ModuleNotes final : public render::NoteSource {
 public:
  explicit ModuleNotes(const xm::ModulePlayer& player) : player_(player) {}
  uint16_t cellAt(int32_t channel) const override { return player_.cellAt(channel); }

 private:
  const xm::ModulePlayer& player_;
};

struct Program {
  Program(host::DisplayHost& display, host::Clock& clock, host::WaveOutput& waveOutput,
          host::LoopingAudioOutput& loopingOutput);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  render::ReaderScene scene() { return render::ReaderScene{view, content, article, notes}; }

  host::DisplayHost& display;
  host::Clock& clock;
  ViewState view;
  content::Content content;
  content::ArticleView article;
  std::unique_ptr<render::Graphics> graphics;
  sid::SidPlayer sidPlayer;
  xm::ModulePlayer modulePlayer;
  ModuleNotes notes{modulePlayer};
  host::Random random;
  // The article the reader starts with: the editorial, unless the browser
  // edition's address names another (1..20; anything else reads as 11).
  int32_t openingArticle = kOpeningArticle;
};

// The whole run; returns the exit status.
int32_t runProgram(Program& program);
int32_t runProgram(host::DisplayHost& display, host::Clock& clock, host::WaveOutput& waveOutput,
                   host::LoopingAudioOutput& loopingOutput);

// The stages of runProgram, for tests and tools.
bool startUp(Program& program);  // false: the display did not open
void waitForRelease(Program& program);
void startIntro(Program& program);  // stars, stripes, seeding, the first tune
bool introFrame(Program& program);  // false once Escape or the left button ends the intro
void runIntro(Program& program);    // startIntro, then introFrame until it ends
void startTune(Program& program, int32_t tune);
void handOver(Program& program);
bool readerFrame(Program& program);  // false when the exit test ends the reader (nothing drawn)
int32_t runReader(Program& program);  // reader frames, then shutDown; returns 0
void shutDown(Program& program);

}  // namespace app
