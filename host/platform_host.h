// The platform's real hosts for the program's entry point: the display and
// input host, the clock and the two audio outputs of the build's platform
// (SDL2 on Linux, the Win32 host in the Windows build).
#pragma once

#if defined(_WIN32)
#include "host/win32/win32_clock.h"
#include "host/win32/win32_display_host.h"
#include "host/win32/win32_looping_audio_output.h"
#include "host/win32/win32_wave_output.h"

namespace host {
using PlatformDisplayHost = Win32DisplayHost;
using PlatformClock = Win32Clock;
using PlatformWaveOutput = Win32WaveOutput;
using PlatformLoopingAudioOutput = Win32LoopingAudioOutput;
}  // namespace host
#else
#include "host/sdl/sdl_display_host.h"
#include "host/sdl/sdl_looping_audio_output.h"
#include "host/sdl/sdl_wave_output.h"
#include "host/sdl/system_clock.h"

namespace host {
using PlatformDisplayHost = SdlDisplayHost;
using PlatformClock = SystemClock;
using PlatformWaveOutput = SdlWaveOutput;
using PlatformLoopingAudioOutput = SdlLoopingAudioOutput;
}  // namespace host
#endif
