#include "host/headless/fake_wave_output.h"

#include <algorithm>

namespace host {

FakeWaveOutput::~FakeWaveOutput() { close(); }

int32_t FakeWaveOutput::takeFailure(Failure& failure) {
  if (failure.count == 0) return kWaveOk;
  if (failure.count > 0) --failure.count;
  return failure.code;
}

void FakeWaveOutput::deliverDone(std::unique_lock<std::mutex>& lock, WaveHeader* header) {
  header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
  const WaveCallback callback = callback_;
  void* instance = instance_;
  ++delivering_;
  lock.unlock();
  if (callback) callback(instance, kWaveMessageDone, header);
  lock.lock();
  --delivering_;
  idle_.notify_all();
}

int32_t FakeWaveOutput::open(WaveCallback callback, void* instance) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back("open");
  if (open_) return kWaveErrorGeneric;
  if (openResult_ != kWaveOk) return openResult_;
  open_ = true;
  paused_ = false;
  callback_ = callback;
  instance_ = instance;
  return kWaveOk;
}

int32_t FakeWaveOutput::pause() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back("pause");
  if (!open_) return kWaveErrorNotOpen;
  paused_ = true;
  return kWaveOk;
}

int32_t FakeWaveOutput::restart() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back("restart");
  if (!open_) return kWaveErrorNotOpen;
  paused_ = false;
  return kWaveOk;
}

int32_t FakeWaveOutput::prepareHeader(WaveHeader* header) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back("prepare");
  if (!open_) return kWaveErrorNotOpen;
  if (!header || !header->data || header->length == 0 || header->length % kWaveBlockAlign != 0) {
    return kWaveErrorInvalidParam;
  }
  if (const int32_t failure = takeFailure(prepareFailure_)) return failure;
  header->flags |= kWaveHeaderPrepared;
  return kWaveOk;
}

int32_t FakeWaveOutput::unprepareHeader(WaveHeader* header) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back("unprepare");
  if (!open_) return kWaveErrorNotOpen;
  if (!header) return kWaveErrorInvalidParam;
  if (header->flags & kWaveHeaderInQueue) return kWaveErrorStillPlaying;
  if (const int32_t failure = takeFailure(unprepareFailure_)) return failure;
  header->flags &= ~kWaveHeaderPrepared;
  return kWaveOk;
}

int32_t FakeWaveOutput::write(WaveHeader* header) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back("write");
  if (!open_) return kWaveErrorNotOpen;
  if (!header) return kWaveErrorInvalidParam;
  if (!(header->flags & kWaveHeaderPrepared)) return kWaveErrorUnprepared;
  if (header->flags & kWaveHeaderInQueue) return kWaveErrorStillPlaying;
  if (const int32_t failure = takeFailure(writeFailure_)) return failure;
  header->flags = (header->flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
  queue_.push_back(header);
  return kWaveOk;
}

int32_t FakeWaveOutput::reset() {
  std::unique_lock<std::mutex> lock(mutex_);
  calls_.push_back("reset");
  if (!open_) return kWaveErrorNotOpen;
  while (!queue_.empty()) {
    WaveHeader* header = queue_.front();
    queue_.pop_front();
    deliverDone(lock, header);
  }
  return kWaveOk;
}

int32_t FakeWaveOutput::close() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!open_) return kWaveErrorNotOpen;
  calls_.push_back("close");
  while (!queue_.empty()) {
    WaveHeader* header = queue_.front();
    queue_.pop_front();
    deliverDone(lock, header);
  }
  idle_.wait(lock, [this] { return delivering_ == 0; });
  open_ = false;
  callback_ = nullptr;
  instance_ = nullptr;
  return kWaveOk;
}

std::string FakeWaveOutput::errorText(int32_t code) const { return waveErrorText(code); }

void FakeWaveOutput::showError(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  errors_.push_back(text);
}

void FakeWaveOutput::setOpenResult(int32_t code) {
  std::lock_guard<std::mutex> lock(mutex_);
  openResult_ = code;
}

void FakeWaveOutput::failPrepare(int32_t code, int32_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  prepareFailure_ = {code, count};
}

void FakeWaveOutput::failUnprepare(int32_t code, int32_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  unprepareFailure_ = {code, count};
}

void FakeWaveOutput::failWrite(int32_t code, int32_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  writeFailure_ = {code, count};
}

bool FakeWaveOutput::playNext(bool evenIfPaused) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!open_ || (paused_ && !evenIfPaused) || queue_.empty()) return false;
  WaveHeader* header = queue_.front();
  queue_.pop_front();
  const uint32_t count = header->length / sizeof(int16_t);
  played_.insert(played_.end(), header->data, header->data + count);
  deliverDone(lock, header);
  return true;
}

bool FakeWaveOutput::isOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

bool FakeWaveOutput::isPaused() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return paused_;
}

int32_t FakeWaveOutput::queuedCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int32_t>(queue_.size());
}

uint32_t FakeWaveOutput::queuedBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  uint32_t bytes = 0;
  for (const WaveHeader* header : queue_) bytes += header->length;
  return bytes;
}

std::vector<std::string> FakeWaveOutput::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

int32_t FakeWaveOutput::callCount(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int32_t>(std::count(calls_.begin(), calls_.end(), name));
}

void FakeWaveOutput::clearCalls() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

std::vector<std::string> FakeWaveOutput::shownErrors() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return errors_;
}

std::vector<int16_t> FakeWaveOutput::played() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return played_;
}

void FakeWaveOutput::clearPlayed() {
  std::lock_guard<std::mutex> lock(mutex_);
  played_.clear();
}

}  // namespace host
