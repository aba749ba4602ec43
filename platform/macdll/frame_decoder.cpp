// Frame decoder; see frame_decoder.h.
#include "platform/macdll/frame_decoder.h"

#include "platform/macdll/checksums.h"
#include "platform/macdll/macdll_api.h"
#include "platform/macdll/old_entropy.h"
#include "platform/macdll/range_coder.h"

#include <algorithm>

namespace macdll {
namespace {

std::uint32_t BigEndian(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// How often the residual loop looks for a coder that ran off the end of damaged data.
constexpr std::size_t kCheckEvery = 4096;

} // namespace

FrameDecoder::FrameDecoder(const AudioFormat& format, int level, int version)
    : format_(format), level_(level), version_(version), side_(level, version),
      mid_(level, version), oldestFirst_(level, version), oldestSecond_(level, version) {}

int FrameDecoder::Decode(std::span<const std::uint8_t> frame, std::size_t blocks,
                         std::vector<std::uint8_t>& pcm) {
    if (frame.size() < 4) return ERROR_DECOMPRESSING_FRAME;
    const std::uint32_t crcWord = BigEndian(frame.data());
    std::uint32_t codes = 0;
    std::size_t at = 4;
    // Up to 3820 the frame has no codes word and the checksum has all 32 bits.
    if ((crcWord & 0x80000000u) && version_ > 3820) {
        if (frame.size() < 8) return ERROR_DECOMPRESSING_FRAME;
        codes = BigEndian(frame.data() + 4);
        at = 8;
    }
    // Frame codes before 3900 are not read the same by every reader: such frames are refused.
    if (version_ < kFirstRangeCodedVersion && codes != 0) return ERROR_DECOMPRESSING_FRAME;
    const std::uint32_t crc = crcWord & 0x7FFFFFFFu;
    std::span<const std::uint8_t> payload = frame.subspan(at);
    if (version_ < kFirstPipelineVersion) {
        // Their encoders could end a frame two bytes early; the reader then sees zeros.
        padded_.assign(payload.begin(), payload.end());
        padded_.insert(padded_.end(), 2, 0);
        payload = padded_;
    }

    Mode mode = Mode::Stereo;
    if (format_.channels == 1)
        mode = (codes & 3) ? Mode::Silence : Mode::Mono;
    else if (codes & 4)
        mode = (codes & 3) ? Mode::Silence : Mode::Mono;
    else if ((codes & 3) == 3)
        mode = Mode::Silence;

    if (!DecodeResiduals(payload, mode, blocks)) return ERROR_DECOMPRESSING_FRAME;

    const Arithmetic first = DefaultArithmetic(mode == Mode::Stereo, level_);
    // 24-bit files from other encoders may use other integer widths: retry with those.
    const bool retry = format_.bits > 16 && mode != Mode::Silence;
    // Before 3900 the checksum may be another one; FFmpeg does not check it either.
    if (Reconstruct(mode, blocks, first, crc, retry, pcm) || version_ < kFirstRangeCodedVersion)
        return ERROR_SUCCESS;
    if (retry) {
        for (const Arithmetic other : {Arithmetic{false, false}, Arithmetic{true, true}}) {
            if (other.wideCombine == first.wideCombine && other.wideRounding == first.wideRounding)
                continue;
            if (Reconstruct(mode, blocks, other, crc, true, pcm)) return ERROR_SUCCESS;
        }
    }
    return ERROR_INVALID_CHECKSUM;
}

bool FrameDecoder::DecodeResiduals(std::span<const std::uint8_t> payload, Mode mode,
                                   std::size_t blocks) {
    residual0_.assign(blocks, 0);
    residual1_.assign(mode == Mode::Stereo ? blocks : 0, 0);
    if (mode == Mode::Silence) return true;
    if (version_ < kFirstRangeCodedVersion)
        return DecodeBitLevelFrame(version_, payload, residual0_, residual1_);
    RangeDecoder coder(payload);
    ResidualDecoder first(version_);
    ResidualDecoder second(version_);
    if (mode == Mode::Stereo && version_ < kFirst3930Version) {
        // One stream after the other, each with a coder of its own (frames of 73728 blocks).
        for (std::size_t i = 0; i < blocks; ++i)
            residual0_[i] = first.Decode(coder);
        coder.Restart();
        for (std::size_t i = 0; i < blocks; ++i)
            residual1_[i] = second.Decode(coder);
        return !coder.Failed();
    }
    for (std::size_t start = 0; start < blocks; start += kCheckEvery) {
        const std::size_t end = std::min(blocks, start + kCheckEvery);
        if (mode == Mode::Mono) {
            for (std::size_t i = start; i < end; ++i)
                residual0_[i] = first.Decode(coder);
        } else {
            for (std::size_t i = start; i < end; ++i) {
                residual0_[i] = first.Decode(coder);
                residual1_[i] = second.Decode(coder);
            }
        }
        if (coder.Failed()) return false;
    }
    return true;
}

bool FrameDecoder::Reconstruct(Mode mode, std::size_t blocks, const Arithmetic& arithmetic,
                               std::uint32_t crc, bool keepResiduals,
                               std::vector<std::uint8_t>& pcm) {
    if (keepResiduals) {
        work0_.assign(residual0_.begin(), residual0_.end());
        work1_.assign(residual1_.begin(), residual1_.end());
    } else {
        work0_.swap(residual0_);
        work1_.swap(residual1_);
    }
    side_.Reset();
    mid_.Reset();
    if (version_ < kFirstPipelineVersion) {
        PredictOld(mode, blocks, arithmetic.wideRounding);
    } else if (mode == Mode::Mono) {
        mid_.DecodeNN(work0_, arithmetic.wideRounding);
        for (std::size_t i = 0; i < blocks; ++i)
            work0_[i] = mid_.DecodePredictor(work0_[i], 0, arithmetic.wideCombine);
        if (format_.channels == 2) work1_ = work0_;
    } else if (mode == Mode::Stereo) {
        ChannelPipeline::DecodeNNPair(side_, work0_, mid_, work1_, arithmetic.wideRounding);
        std::int32_t lastMid = 0;
        for (std::size_t i = 0; i < blocks; ++i) {
            const std::int32_t s =
                side_.DecodePredictor(work0_[i], lastMid, arithmetic.wideCombine);
            const std::int32_t m = mid_.DecodePredictor(work1_[i], s, arithmetic.wideCombine);
            lastMid = m;
            const std::uint32_t c0 = std::uint32_t(m) - std::uint32_t(s / 2);
            work0_[i] = std::int32_t(c0);
            work1_[i] = std::int32_t(c0 + std::uint32_t(s));
        }
    } else if (format_.channels == 2) {
        work1_.assign(blocks, 0);
    }
    pcm.resize(blocks * format_.BlockAlign());
    SamplesToPcm(work0_.data(), work1_.data(), blocks, format_, pcm.data());
    Crc32 check;
    check.Update(pcm);
    return (check.Value() >> 1) == crc;
}

void FrameDecoder::PredictOld(Mode mode, std::size_t blocks, bool wideRounding) {
    if (mode == Mode::Silence) {
        work1_.assign(format_.channels == 2 ? blocks : 0, 0);
        return;
    }
    const bool oldest = version_ < kFirst3930Version;
    oldFirst_.Reset();
    oldSecond_.Reset();
    oldestFirst_.Reset();
    oldestSecond_.Reset();
    const auto first = [&](std::int32_t e) {
        return oldest ? oldestFirst_.Decode(e) : oldFirst_.Decode(e);
    };
    const auto second = [&](std::int32_t e) {
        return oldest ? oldestSecond_.Decode(e) : oldSecond_.Decode(e);
    };
    if (oldest)
        DecodeFrameFilters3800(level_, version_, std::span(work0_).first(blocks));
    else
        mid_.DecodeNN(std::span(work0_).first(blocks), wideRounding);
    if (mode == Mode::Mono) {
        for (std::size_t i = 0; i < blocks; ++i)
            work0_[i] = first(work0_[i]);
        if (format_.channels == 2) work1_ = work0_;
        return;
    }
    if (oldest)
        DecodeFrameFilters3800(level_, version_, std::span(work1_).first(blocks));
    else
        side_.DecodeNN(std::span(work1_).first(blocks), wideRounding);
    for (std::size_t i = 0; i < blocks; ++i) {
        const std::int32_t m = first(work0_[i]);
        const std::int32_t s = second(work1_[i]);
        const std::uint32_t c0 = std::uint32_t(m) - std::uint32_t(s / 2);
        work0_[i] = std::int32_t(c0);
        work1_[i] = std::int32_t(c0 + std::uint32_t(s));
    }
}

} // namespace macdll
