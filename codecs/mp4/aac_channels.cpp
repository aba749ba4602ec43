#include "codecs/mp4/aac_channels.h"

#include <algorithm>
#include <cstring>
#include <neaacdec.h>

namespace {

// A FAAD2 position's rank in the WAVE speaker order.
int WaveRank(unsigned char position) {
    switch (position) {
    case FRONT_CHANNEL_LEFT:
        return 0;
    case FRONT_CHANNEL_RIGHT:
        return 1;
    case FRONT_CHANNEL_CENTER:
        return 2;
    case LFE_CHANNEL:
        return 3;
    case BACK_CHANNEL_LEFT:
        return 4;
    case BACK_CHANNEL_RIGHT:
        return 5;
    case BACK_CHANNEL_CENTER:
        return 6;
    case SIDE_CHANNEL_LEFT:
        return 7;
    case SIDE_CHANNEL_RIGHT:
        return 8;
    default:
        return 9;
    }
}

} // namespace

std::vector<int> WaveChannelOrder(std::span<const unsigned char> positions) {
    std::vector<int> order(positions.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return WaveRank(positions[size_t(a)]) < WaveRank(positions[size_t(b)]);
    });
    return order;
}

void RearrangeChannels(std::span<const uint8_t> in, int inChannels, int inWidth,
                       std::span<const int> order, int outWidth, std::vector<uint8_t>& out) {
    const size_t inFrame = size_t(inChannels) * size_t(inWidth);
    const size_t frames = inFrame == 0 ? 0 : in.size() / inFrame;
    const size_t outFrame = order.size() * size_t(outWidth);
    out.resize(frames * outFrame);
    for (size_t f = 0; f < frames; ++f) {
        const uint8_t* from = in.data() + f * inFrame;
        uint8_t* to = out.data() + f * outFrame;
        for (size_t k = 0; k < order.size(); ++k)
            std::memcpy(to + k * size_t(outWidth), from + size_t(order[k]) * size_t(inWidth),
                        size_t(outWidth));
    }
}

int AscChannelConfiguration(std::span<const uint8_t> config) {
    uint64_t bits = 0; // the first eight bytes, most significant first
    for (size_t i = 0; i < 8; ++i)
        bits = bits << 8 | (i < config.size() ? config[i] : 0);
    int at = 5; // audioObjectType, with its escape
    if ((bits >> 59) == 31) at += 6;
    const unsigned frequencyIndex = unsigned(bits >> (60 - at)) & 15;
    at += 4 + (frequencyIndex == 15 ? 24 : 0);
    if (size_t(at + 4 + 7) / 8 > config.size()) return 0;
    return int(bits >> (60 - at)) & 15;
}
