// Decodes one frame from its logical bytes into PCM and checks its CRC. Every read is bounded by
// the bytes given: damaged data ends in an error code, never outside the buffers.
#pragma once

#include "platform/macdll/old_predictor.h"
#include "platform/macdll/pcm.h"
#include "platform/macdll/predictor.h"

#include <cstdint>
#include <span>
#include <vector>

namespace macdll {

class FrameDecoder {
public:
    FrameDecoder(const AudioFormat& format, int level, int version);
    // Decodes `blocks` blocks into pcm (resized to blocks × block align). Returns 0,
    // ERROR_INVALID_CHECKSUM or ERROR_DECOMPRESSING_FRAME.
    int Decode(std::span<const std::uint8_t> frame, std::size_t blocks,
               std::vector<std::uint8_t>& pcm);

private:
    enum class Mode { Silence, Mono, Stereo };
    bool DecodeResiduals(std::span<const std::uint8_t> payload, Mode mode, std::size_t blocks);
    // keepResiduals: work on a copy of the residuals, for another try with other arithmetic.
    bool Reconstruct(Mode mode, std::size_t blocks, const Arithmetic& arithmetic, std::uint32_t crc,
                     bool keepResiduals, std::vector<std::uint8_t>& pcm);
    // Versions before 3950: after the NN cascade or the whole-frame filters, each coded stream
    // has a predictor of its own; the first stream is the mid signal, the second the side.
    void PredictOld(Mode mode, std::size_t blocks, bool wideRounding);

    AudioFormat format_;
    int level_;
    int version_;
    ChannelPipeline side_;
    ChannelPipeline mid_;
    std::vector<std::int32_t> residual0_; // mono signal, or side
    std::vector<std::int32_t> residual1_; // mid
    std::vector<std::int32_t> work0_;
    std::vector<std::int32_t> work1_;
    Predictor3930 oldFirst_;
    Predictor3930 oldSecond_;
    Predictor3800 oldestFirst_;
    Predictor3800 oldestSecond_;
    std::vector<std::uint8_t> padded_; // versions before 3950 read two zero bytes past a frame
};

} // namespace macdll
