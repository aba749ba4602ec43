#include "wav/ms_adpcm.h"

#include "wav/wave_bytes.h"

#include <algorithm>
#include <climits>

namespace MsAdpcm {

namespace {

constexpr std::array<int, 16> kAdaptation{230, 230, 230, 230, 307, 409, 512, 614,
                                          768, 614, 512, 409, 307, 230, 230, 230};

// Damaged data can grow the delta without end; this cap keeps every product in range.
constexpr int kMaxDelta = INT_MAX / 768;

struct Channel {
    int coef1 = 0, coef2 = 0;
    int delta = 0;
    int sample1 = 0, sample2 = 0;
};

int DecodeNibble(Channel& ch, int nibble) {
    // The prediction is truncated toward zero; 64 bits because the products can pass 2^31.
    const int64_t prediction =
        (int64_t(ch.sample1) * ch.coef1 + int64_t(ch.sample2) * ch.coef2) / 256;
    const int signedNibble = nibble >= 8 ? nibble - 16 : nibble;
    const int sample =
        int(std::clamp<int64_t>(prediction + int64_t(ch.delta) * signedNibble, -32768, 32767));
    ch.delta = std::clamp(int(int64_t(ch.delta) * kAdaptation[nibble] / 256), 16, kMaxDelta);
    ch.sample2 = ch.sample1;
    ch.sample1 = sample;
    return sample;
}

} // namespace

std::optional<size_t> DecodeBlock(std::span<const uint8_t> block, int channels,
                                  uint32_t samplesPerBlock,
                                  std::span<const std::array<int16_t, 2>> coefficients,
                                  std::span<uint8_t> out) {
    const size_t headerBytes = 7 * size_t(channels);
    if (channels < 1 || channels > 2 || samplesPerBlock < 2 || block.size() < headerBytes)
        return std::nullopt;
    const size_t nibbles =
        std::min<size_t>((block.size() - headerBytes) * 2, size_t(samplesPerBlock - 2) * channels);
    const size_t frames = 2 + nibbles / channels;
    const size_t bytes = frames * channels * 2;
    if (bytes > out.size()) return std::nullopt;

    Channel state[2];
    for (int c = 0; c < channels; ++c) {
        const size_t predictor = block[c];
        if (predictor >= coefficients.size()) return std::nullopt;
        state[c].coef1 = coefficients[predictor][0];
        state[c].coef2 = coefficients[predictor][1];
        state[c].delta = int16_t(WaveBytes::Read16(block, channels + 2 * c));
        state[c].sample1 = int16_t(WaveBytes::Read16(block, 3 * channels + 2 * c));
        state[c].sample2 = int16_t(WaveBytes::Read16(block, 5 * channels + 2 * c));
        // The block starts with the older sample.
        WaveBytes::Write16(out, 2 * c, uint16_t(state[c].sample2));
        WaveBytes::Write16(out, 2 * (channels + c), uint16_t(state[c].sample1));
    }
    const size_t whole = (frames - 2) * channels;
    for (size_t k = 0; k < whole; ++k) {
        const uint8_t byte = block[headerBytes + k / 2];
        const int nibble = k % 2 ? byte & 0x0F : byte >> 4;
        const int c = int(k % channels);
        WaveBytes::Write16(out, 4 * channels + 2 * k, uint16_t(DecodeNibble(state[c], nibble)));
    }
    return bytes;
}

} // namespace MsAdpcm
