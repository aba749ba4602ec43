// FAAD2 hands out channels in the stream's own order (centre first: C, L, R, Ls, Rs, LFE) and
// mono as two equal channels; the pipeline expects the WAVE order (L, R, C, LFE, back, side)
// and the stream's true channel count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// For each output channel, the decoder's channel that goes there: the positions FAAD2 reports
// sorted into the WAVE speaker order (unknown positions last, in their own order).
std::vector<int> WaveChannelOrder(std::span<const unsigned char> positions);

// Interleaved frames of inChannels samples, each the low outWidth bytes of an inWidth-byte
// little-endian word, rearranged into out: channel k of a frame is channel order[k] of the input.
void RearrangeChannels(std::span<const uint8_t> in, int inChannels, int inWidth,
                       std::span<const int> order, int outWidth, std::vector<uint8_t>& out);

// The channelConfiguration field of an AudioSpecificConfig (0 when the bytes are too short).
int AscChannelConfiguration(std::span<const uint8_t> config);
