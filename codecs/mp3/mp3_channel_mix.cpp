#include "codecs/mp3/mp3_channel_mix.h"

#include <algorithm>
#include <cmath>

namespace {

enum class Side { Left, Right, Centre, None };

// The WAVE order of speakers: FL FR FC LFE BL BR FLC FRC BC SL SR TC TFL TFC TFR TBL TBC TBR.
// Channels past the table alternate left and right.
Side SideOf(int channel) {
    static constexpr Side kOrder[] = {
        Side::Left, Side::Right,  Side::Centre, Side::None, Side::Left,   Side::Right,
        Side::Left, Side::Right,  Side::Centre, Side::Left, Side::Right,  Side::Centre,
        Side::Left, Side::Centre, Side::Right,  Side::Left, Side::Centre, Side::Right};
    constexpr int known = static_cast<int>(std::size(kOrder));
    if (channel < known) return kOrder[channel];
    return (channel - known) % 2 == 0 ? Side::Left : Side::Right;
}

} // namespace

ChannelMixer::ChannelMixer(int inputChannels, int outputChannels)
    : inputChannels_(inputChannels), outputChannels_(outputChannels),
      left_(static_cast<size_t>(inputChannels)), right_(static_cast<size_t>(inputChannels)) {
    if (PassThrough()) return;
    if (inputChannels == 1) { // mono to stereo: the same signal on both sides
        left_[0] = right_[0] = 1.0f;
        return;
    }
    if (inputChannels == 2) { // stereo to mono: the average
        left_[0] = left_[1] = 0.5f;
        return;
    }
    // Centre channels go to both sides at -3 dB; the low-frequency channel is left out, as
    // stereo fold-downs do.
    const float centre = static_cast<float>(1.0 / std::sqrt(2.0));
    float leftSum = 0.0f;
    float rightSum = 0.0f;
    for (int ch = 0; ch < inputChannels; ++ch) {
        float l = 0.0f, r = 0.0f;
        switch (SideOf(ch)) {
        case Side::Left:
            l = 1.0f;
            break;
        case Side::Right:
            r = 1.0f;
            break;
        case Side::Centre:
            l = r = centre;
            break;
        case Side::None:
            break;
        }
        left_[ch] = l;
        right_[ch] = r;
        leftSum += l;
        rightSum += r;
    }
    for (int ch = 0; ch < inputChannels; ++ch) {
        if (leftSum > 0.0f) left_[ch] /= leftSum;
        if (rightSum > 0.0f) right_[ch] /= rightSum;
    }
    if (outputChannels == 1) { // wide to mono: both sides together
        for (int ch = 0; ch < inputChannels; ++ch)
            left_[ch] = (left_[ch] + right_[ch]) / 2.0f;
    }
}

void ChannelMixer::Mix(std::span<const int16_t> input, std::span<int16_t> output) const {
    const size_t frames = std::min(input.size() / static_cast<size_t>(inputChannels_),
                                   output.size() / static_cast<size_t>(outputChannels_));
    for (size_t frame = 0; frame < frames; ++frame) {
        const int16_t* in = input.data() + frame * static_cast<size_t>(inputChannels_);
        int16_t* out = output.data() + frame * static_cast<size_t>(outputChannels_);
        float l = 0.0f, r = 0.0f;
        for (int ch = 0; ch < inputChannels_; ++ch) {
            l += left_[ch] * in[ch];
            r += right_[ch] * in[ch];
        }
        const auto clamp = [](float v) {
            return static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
        };
        out[0] = clamp(l);
        if (outputChannels_ == 2) out[1] = clamp(r);
    }
}
