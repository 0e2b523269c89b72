// WaveOutput: a callback-driven waveform output device for 16-bit mono PCM at
// 44100 samples per second.
//
// The caller owns the buffers. It prepares a WaveHeader for a buffer, queues
// it with `write`, and gets the header back through the done notification
// (message kWaveMessageDone) once the device has played it; `reset` hands every
// queued buffer back as done at once. Notifications arrive on a thread of the
// output's choosing, never from inside the operation that queued the buffer
// (except `reset`, which may deliver them before it returns), and never after
// `close` has returned. Operations return 0 or an error code; `errorText`
// describes a code and `showError` presents a device error to the user.
//
// Implementations: SdlWaveOutput (host/sdl/), Win32WaveOutput (host/win32/),
// the browser's (host/web/web_audio.h) and FakeWaveOutput (host/headless/,
// played by hand in tests).
#pragma once

#include <cstdint>
#include <string>

namespace host {

// The one output format: PCM, 1 channel, 44100 samples per second, 16 bits.
inline constexpr int32_t kWaveSampleRate = 44100;
inline constexpr int32_t kWaveChannels = 1;
inline constexpr int32_t kWaveBitsPerSample = 16;
inline constexpr int32_t kWaveBlockAlign = 2;  // bytes per sample frame

// WaveHeader.flags bits.
inline constexpr uint32_t kWaveHeaderDone = 0x01;      // handed back by the device
inline constexpr uint32_t kWaveHeaderPrepared = 0x02;  // usable for write
inline constexpr uint32_t kWaveHeaderInQueue = 0x10;   // queued, not yet handed back

// Notification messages.
inline constexpr uint32_t kWaveMessageOpen = 0x3BB;
inline constexpr uint32_t kWaveMessageClose = 0x3BC;
inline constexpr uint32_t kWaveMessageDone = 0x3BD;

// Error codes (0 is success).
enum WaveError : int32_t {
  kWaveOk = 0,
  kWaveErrorGeneric = 1,
  kWaveErrorBadDevice = 2,      // no audio device could be opened
  kWaveErrorNotOpen = 5,        // the output is not open
  kWaveErrorInvalidParam = 11,  // null header, empty or odd-sized buffer
  kWaveErrorStillPlaying = 33,  // the header is still queued
  kWaveErrorUnprepared = 34,    // the header was not prepared
};

struct WaveHeader {
  int16_t* data = nullptr;     // the samples
  uint32_t length = 0;         // buffer length in bytes
  uint32_t bytesRecorded = 0;  // unused for output
  void* user = nullptr;        // the caller's value, untouched by the output
  uint32_t flags = 0;          // kWaveHeader* bits, maintained by the output
  uint32_t loops = 0;          // unused
};

// Called with the instance given to `open`, a kWaveMessage* and, for
// kWaveMessageDone, the header that was played.
using WaveCallback = void (*)(void* instance, uint32_t message, WaveHeader* header);

class WaveOutput {
 public:
  virtual ~WaveOutput() = default;

  // Opens the default device with the fixed format, output paused or running
  // as the device starts (callers pause at once if they need to).
  virtual int32_t open(WaveCallback callback, void* instance) = 0;
  virtual int32_t pause() = 0;
  virtual int32_t restart() = 0;
  virtual int32_t prepareHeader(WaveHeader* header) = 0;
  virtual int32_t unprepareHeader(WaveHeader* header) = 0;
  // Queues the buffer behind any queued one.
  virtual int32_t write(WaveHeader* header) = 0;
  // Stops output and hands every queued buffer back as done.
  virtual int32_t reset() = 0;
  // Releases the device; every queued buffer is handed back first. Must not be
  // called from inside the callback.
  virtual int32_t close() = 0;

  virtual std::string errorText(int32_t code) const = 0;
  // Presents a device error (a message box titled "Error" where a display is
  // up); returns when the user has seen it.
  virtual void showError(const std::string& text) = 0;
};

// Text for the common codes, shared by the implementations.
inline std::string waveErrorText(int32_t code) {
  switch (code) {
    case kWaveOk: return "The operation completed successfully.";
    case kWaveErrorBadDevice: return "No audio output device is available.";
    case kWaveErrorNotOpen: return "The audio output device is not open.";
    case kWaveErrorInvalidParam: return "An invalid buffer was passed to the audio output.";
    case kWaveErrorStillPlaying: return "The audio buffer is still playing.";
    case kWaveErrorUnprepared: return "The audio buffer was not prepared.";
    default: return "Unknown audio output error " + std::to_string(code) + ".";
  }
}

}  // namespace host
