// WaveOutApi: the waveOut functions the audio outputs call, as a table, so a
// test can put a scripted driver (with a clock of its own) in their place.
//
// Each output makes these calls on a device thread of its own, never on the
// caller's: any of them may block for as long as the driver is stuck (an audio
// service that hangs, a device being removed), and the caller is the UI or the
// player thread.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

namespace host {

struct WaveOutApi {
  MMRESULT(WINAPI* open)(LPHWAVEOUT, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR, DWORD);
  MMRESULT(WINAPI* prepareHeader)(HWAVEOUT, LPWAVEHDR, UINT);
  MMRESULT(WINAPI* unprepareHeader)(HWAVEOUT, LPWAVEHDR, UINT);
  MMRESULT(WINAPI* write)(HWAVEOUT, LPWAVEHDR, UINT);
  MMRESULT(WINAPI* getPosition)(HWAVEOUT, LPMMTIME, UINT);
  MMRESULT(WINAPI* pause)(HWAVEOUT);
  MMRESULT(WINAPI* restart)(HWAVEOUT);
  MMRESULT(WINAPI* reset)(HWAVEOUT);
  MMRESULT(WINAPI* close)(HWAVEOUT);
  uint64_t (*nowMs)();  // a monotonic clock in milliseconds

  // The real functions and the steady clock.
  static const WaveOutApi& system();
};

}  // namespace host
