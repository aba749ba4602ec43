// Apple Lossless samples decoded with FFmpeg's ALAC decoder, one container sample at a time,
// into interleaved little-endian PCM: 16 bits, 24 bits (17- to 24-bit streams, shifted up) or
// 32 bits.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace mp4 {

class AlacDecoder {
public:
    // alacBox: the whole 'alac' configuration box of the sample description. Throws
    // std::runtime_error when FFmpeg refuses it.
    explicit AlacDecoder(std::span<const uint8_t> alacBox);
    ~AlacDecoder();
    AlacDecoder(const AlacDecoder&) = delete;
    AlacDecoder& operator=(const AlacDecoder&) = delete;

    uint32_t Channels() const { return channels_; }
    uint32_t SampleRate() const { return sampleRate_; }
    uint32_t BitsPerSample() const { return bits_; }

    // The PCM of one sample; false when it does not decode or its format differs from the
    // configuration's.
    bool Decode(std::span<const uint8_t> sample, std::span<const uint8_t>& pcm, uint32_t& frames);

private:
    struct State;
    std::unique_ptr<State> state_;
    uint32_t channels_ = 0;
    uint32_t sampleRate_ = 0;
    uint32_t bits_ = 0;
    std::vector<uint8_t> pcm_;
};

} // namespace mp4
