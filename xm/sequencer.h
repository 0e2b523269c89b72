// The sequencer: walks the song row by row and tick by tick.
//
// sequencerTick runs one tick: on a row's first tick processRow reads every
// channel's cell (note, instrument, volume column, effect); on later ticks
// processTick continues the running effects. Both run the envelopes, fadeout
// and automatic vibrato and end each channel with updateVoice, which hands
// trigger, volume, panning and pitch to the channel's mixer voice. The mixer
// calls sequencerTick every samplesPerTick output frames.
#pragma once

#include <cstdint>

#include "xm/xm_song.h"

namespace xm {

// Output frames per tick at `bpm`: 125 BPM gives 882.
int32_t samplesPerTickFor(int32_t bpm);

// Period of note n (0-based, relative note applied) with finetune f on the
// Amiga table, and on the song's own table.
int32_t amigaPeriod(int32_t n, int32_t f);
int32_t notePeriod(const XmSong& song, int32_t n, int32_t f);

// Playback frequency in Hz for a period (period + periodDelta) on the song's
// table. Out-of-range periods are limited so the result stays representable.
int32_t periodFrequency(const XmSong& song, int32_t period);

// Resets the position to the song's start and its defaults, all channels (channel i on voice i) and all voices.
void resetPlayback(XmPlayback& playback);

void sequencerTick(XmPlayback& playback);

// The per-channel hand-over to the mixer at the end of every tick.
void updateVoice(XmPlayback& playback, XmChannel& channel, const XmSample* sample);

}  // namespace xm
