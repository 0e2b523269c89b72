// FakeWaveOutput: a WaveOutput that plays only when a test says so.
//
// Every operation is recorded by name ("open", "pause", "restart", "prepare",
// "unprepare", "write", "reset", "close"). Queued buffers wait until
// `playNext` plays the oldest one: its samples are appended to `played()` and
// its done notification is delivered on the calling thread. Failures can be
// injected per operation. Safe to drive from several threads (the tsan stress
// test plays buffers on one thread while another switches tunes); `close`
// waits for a notification that is being delivered.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "host/wave_output.h"

namespace host {

class FakeWaveOutput : public WaveOutput {
 public:
  FakeWaveOutput() = default;
  ~FakeWaveOutput() override;

  int32_t open(WaveCallback callback, void* instance) override;
  int32_t pause() override;
  int32_t restart() override;
  int32_t prepareHeader(WaveHeader* header) override;
  int32_t unprepareHeader(WaveHeader* header) override;
  int32_t write(WaveHeader* header) override;
  int32_t reset() override;
  int32_t close() override;
  std::string errorText(int32_t code) const override;
  void showError(const std::string& text) override;

  // Test controls: the result of the next `open`, and failures of the next
  // `count` calls of prepare, unprepare or write (count -1: every call).
  void setOpenResult(int32_t code);
  void failPrepare(int32_t code, int32_t count = -1);
  void failUnprepare(int32_t code, int32_t count = -1);
  void failWrite(int32_t code, int32_t count = -1);

  // Plays the oldest queued buffer unless the output is paused or closed (or
  // `evenIfPaused`); returns false when nothing was played.
  bool playNext(bool evenIfPaused = false);

  bool isOpen() const;
  bool isPaused() const;
  int32_t queuedCount() const;
  uint32_t queuedBytes() const;
  std::vector<std::string> calls() const;
  int32_t callCount(const std::string& name) const;
  void clearCalls();
  std::vector<std::string> shownErrors() const;
  std::vector<int16_t> played() const;
  void clearPlayed();

 private:
  struct Failure {
    int32_t code = 0;
    int32_t count = 0;
  };
  int32_t takeFailure(Failure& failure);
  void deliverDone(std::unique_lock<std::mutex>& lock, WaveHeader* header);

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  int32_t delivering_ = 0;  // notifications being delivered right now
  bool open_ = false;
  bool paused_ = false;
  WaveCallback callback_ = nullptr;
  void* instance_ = nullptr;
  int32_t openResult_ = kWaveOk;
  Failure prepareFailure_, unprepareFailure_, writeFailure_;
  std::deque<WaveHeader*> queue_;
  std::vector<std::string> calls_;
  std::vector<std::string> errors_;
  std::vector<int16_t> played_;
};

}  // namespace host
