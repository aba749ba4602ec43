// Encodes one frame of PCM into the logical byte stream: CRC word, special codes, range-coded
// residuals and the coder's flush.
#pragma once

#include "platform/macdll/pcm.h"
#include "platform/macdll/predictor.h"

#include <cstdint>
#include <span>
#include <vector>

namespace macdll {

class FrameEncoder {
public:
    // version: 3990, or 3980 (its residual coder) for testing readers of that version.
    FrameEncoder(const AudioFormat& format, int level, int version = 3990);
    // Appends the frame coding all blocks of `pcm` (whole blocks, at most blocksPerFrame).
    void Encode(std::span<const std::uint8_t> pcm, std::vector<std::uint8_t>& out);

private:
    AudioFormat format_;
    int level_;
    int version_;
    ChannelPipeline side_;
    ChannelPipeline mid_;
    std::vector<std::int32_t> c0_;
    std::vector<std::int32_t> c1_;
};

} // namespace macdll
