#include "codecs/vorbis/vorbis_channel_order.h"

#include <array>

namespace VorbisChannels {
namespace {

// Row n-1: the WAV channel carried by each Vorbis channel for n channels (WAV: FL FR FC LFE BL
// BR SL SR in channel-mask order).
constexpr std::array<std::array<int, 8>, 8> kWavOfVorbis = {{
    {0},                      // mono
    {0, 1},                   // stereo
    {0, 2, 1},                // L C R
    {0, 1, 2, 3},             // quadraphonic
    {0, 2, 1, 3, 4},          // 5.0
    {0, 2, 1, 4, 5, 3},       // 5.1
    {0, 2, 1, 5, 6, 4, 3},    // 6.1
    {0, 2, 1, 6, 7, 4, 5, 3}, // 7.1
}};

} // namespace

int WavChannelOf(int vorbisChannel, int channels) {
    if (channels < 3 || channels > 8) return vorbisChannel;
    return kWavOfVorbis[size_t(channels - 1)][size_t(vorbisChannel)];
}

void VorbisToWav(std::span<int16_t> interleaved, int channels) {
    if (channels < 3 || channels > 8) return;
    const auto& map = kWavOfVorbis[size_t(channels - 1)];
    std::array<int16_t, 8> frame{};
    for (size_t pos = 0; pos + size_t(channels) <= interleaved.size(); pos += size_t(channels)) {
        for (int v = 0; v < channels; ++v)
            frame[size_t(map[size_t(v)])] = interleaved[pos + size_t(v)];
        for (int w = 0; w < channels; ++w)
            interleaved[pos + size_t(w)] = frame[size_t(w)];
    }
}

} // namespace VorbisChannels
