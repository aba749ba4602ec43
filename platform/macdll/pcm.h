// WAV-style PCM bytes ↔ the integers the codec works on (8-bit unsigned minus 128, 16/24-bit
// signed little-endian), and the stream format both sides share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace macdll {

struct AudioFormat {
    std::uint32_t sampleRate = 0;
    int bits = 0;
    int channels = 0;
    int BlockAlign() const { return channels * bits / 8; }
};

// Splits `blocks` interleaved blocks into c0 (and c1 for stereo).
void PcmToSamples(std::span<const std::uint8_t> pcm, const AudioFormat& format, std::size_t blocks,
                  std::int32_t* c0, std::int32_t* c1);
// Interleaves c0 (and c1) into PCM, keeping the low bits of each value.
void SamplesToPcm(const std::int32_t* c0, const std::int32_t* c1, std::size_t blocks,
                  const AudioFormat& format, std::uint8_t* pcm);

} // namespace macdll
