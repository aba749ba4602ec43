// Channel mixing for the MP3 encoder, which takes one or two channels: wider input is folded
// to stereo after the WAVE speaker order, and stereo to mono when mono output is asked for.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

class ChannelMixer {
public:
    // inputChannels >= 1; outputChannels 1 or 2.
    ChannelMixer(int inputChannels, int outputChannels);

    bool PassThrough() const { return inputChannels_ == outputChannels_; }
    // Mixes whole frames of input into output (frames × outputChannels samples), with
    // saturation.
    void Mix(std::span<const int16_t> input, std::span<int16_t> output) const;

private:
    int inputChannels_;
    int outputChannels_;
    // Per input channel: its weight in the left and in the right output channel, normalised so
    // that full-scale input on every channel just reaches full scale.
    std::vector<float> left_;
    std::vector<float> right_;
};
