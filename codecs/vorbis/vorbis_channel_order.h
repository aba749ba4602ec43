// Vorbis orders 3 to 8 channels differently from WAV (3: L C R; 5.1: FL C FR RL RR LFE; ...):
// the sink reorders on the way in and the source on the way out, so speakers keep their places.
#pragma once

#include <cstdint>
#include <span>

namespace VorbisChannels {

// For each Vorbis channel, the WAV channel it carries; the identity for 1, 2 and more than 8.
int WavChannelOf(int vorbisChannel, int channels);

// Reorders interleaved 16-bit frames from Vorbis order into WAV order, in place.
void VorbisToWav(std::span<int16_t> interleaved, int channels);

} // namespace VorbisChannels
