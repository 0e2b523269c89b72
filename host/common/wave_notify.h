// The notification loop of a WaveOutput that plays on a device thread: the
// device side queues finished headers under the output's mutex and wakes
// the loop, which marks each one done and hands it to the client's callback
// in the order played, with the mutex released during the call (the client
// may write the header again from inside it).
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>

#include "host/wave_output.h"

namespace host {

// Runs until `quit` is set with nothing left to deliver. `callback` and
// `instance` are read under the lock for every header.
inline void deliverFinishedHeaders(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                                   std::deque<WaveHeader*>& done, const bool& quit, const WaveCallback& callback,
                                   void* const& instance) {
  for (;;) {
    wake.wait(lock, [&] { return quit || !done.empty(); });
    if (done.empty()) return;  // quit with nothing left to deliver
    WaveHeader* header = done.front();
    done.pop_front();
    header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
    const WaveCallback call = callback;
    void* const target = instance;
    lock.unlock();
    if (call) call(target, kWaveMessageDone, header);
    lock.lock();
  }
}

}  // namespace host
