#include "wav/ima_adpcm.h"

#include "wav/wave_bytes.h"
#include "wav/wave_header.h"

#include <algorithm>

namespace ImaAdpcm {

namespace {

constexpr std::array<int, 89> kSteps{
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::array<int, 16> kIndexAdjust{-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

// One code applied to a channel; inlined into the per-sample loops.
inline void Step(int code, int& predictor, int& index) {
    const int step = kSteps[index];
    int diff = step >> 3;
    if (code & 4) diff += step;
    if (code & 2) diff += step >> 1;
    if (code & 1) diff += step >> 2;
    predictor = std::clamp(code & 8 ? predictor - diff : predictor + diff, -32767, 32767);
    index = std::clamp(index + kIndexAdjust[code], 0, 88);
}

int EncodeSample(int sample, int& predictor, int& index) {
    int diff = sample - predictor;
    const int step = kSteps[index];
    int code = 0;
    if (diff < 0) {
        code = 8;
        diff = -diff;
    }
    if (diff >= step) {
        code |= 4;
        diff -= step;
    }
    if (diff >= step / 2) {
        code |= 2;
        diff -= step / 2;
    }
    if (diff >= step / 4) code |= 1;
    Step(code, predictor, index);
    return code;
}

void PutNibble(std::span<uint8_t> block, size_t byte, bool high, int code) {
    block[byte] = uint8_t(high ? (block[byte] & 0x0F) | (code << 4) : (block[byte] & 0xF0) | code);
}

} // namespace

void ApplyCode(int code, int& predictor, int& index) {
    Step(code, predictor, index);
}

std::optional<size_t> DecodeBlock(std::span<const uint8_t> block, int channels,
                                  std::span<uint8_t> out) {
    if (channels < 1 || channels > 2 || block.size() < size_t(4 * channels)) return std::nullopt;
    const size_t frames =
        ImaFramesPerBlock(uint16_t(std::min<size_t>(block.size(), 0xFFFF)), uint16_t(channels));
    const size_t bytes = frames * channels * 2;
    if (bytes > out.size()) return std::nullopt;
    int predictor[2]{}, index[2]{};
    for (int c = 0; c < channels; ++c) {
        predictor[c] = int16_t(WaveBytes::Read16(block, 4 * c));
        index[c] = block[4 * c + 2];
        if (index[c] > 88) return std::nullopt;
        WaveBytes::Write16(out, 2 * c, uint16_t(predictor[c]));
    }
    if (channels == 1) {
        for (size_t k = 0; k + 1 < frames; ++k) {
            const uint8_t byte = block[4 + k / 2];
            Step(k % 2 ? byte >> 4 : byte & 0x0F, predictor[0], index[0]);
            WaveBytes::Write16(out, 2 * (k + 1), uint16_t(predictor[0]));
        }
        return bytes;
    }
    // Stereo: each group of 8 bytes holds 8 codes of the left channel, then 8 of the right.
    for (size_t k = 0; k + 1 < frames; ++k) {
        const size_t byte = 8 + (k & ~size_t(7)) + (k / 2) % 4;
        for (int c = 0; c < 2; ++c) {
            const uint8_t value = block[byte + 4 * c];
            Step(k % 2 ? value >> 4 : value & 0x0F, predictor[c], index[c]);
            WaveBytes::Write16(out, 4 * (k + 1) + 2 * c, uint16_t(predictor[c]));
        }
    }
    return bytes;
}

void EncodeBlock(std::span<const int16_t> frames, int channels, std::span<uint8_t> block,
                 std::array<int, 2>& stepIndex) {
    std::fill(block.begin(), block.end(), 0);
    const size_t count = ImaFramesPerBlock(uint16_t(block.size()), uint16_t(channels));
    int predictor[2]{};
    for (int c = 0; c < channels; ++c) {
        predictor[c] = frames[c];
        WaveBytes::Write16(block, 4 * c, uint16_t(frames[c]));
        block[4 * c + 2] = uint8_t(stepIndex[c]);
    }
    for (size_t k = 0; k + 1 < count; ++k) {
        const bool high = k % 2;
        if (channels == 1) {
            PutNibble(block, 4 + k / 2, high,
                      EncodeSample(frames[k + 1], predictor[0], stepIndex[0]));
            continue;
        }
        const size_t byte = 8 + (k & ~size_t(7)) + (k / 2) % 4;
        for (int c = 0; c < 2; ++c)
            PutNibble(block, byte + 4 * c, high,
                      EncodeSample(frames[2 * (k + 1) + c], predictor[c], stepIndex[c]));
    }
}

} // namespace ImaAdpcm
