#include "host/win32/win32_wave_out_api.h"

#include <chrono>

namespace host {
namespace {

uint64_t steadyMs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

}  // namespace

const WaveOutApi& WaveOutApi::system() {
  static const WaveOutApi api{&waveOutOpen,  &waveOutPrepareHeader, &waveOutUnprepareHeader,
                              &waveOutWrite, &waveOutGetPosition,   &waveOutPause,
                              &waveOutRestart, &waveOutReset,       &waveOutClose,
                              &steadyMs};
  return api;
}

}  // namespace host
