// Frame encoder; see frame_encoder.h.
#include "platform/macdll/frame_encoder.h"

#include "platform/macdll/checksums.h"
#include "platform/macdll/range_coder.h"

#include <algorithm>

namespace macdll {
namespace {

constexpr std::uint32_t kMonoSilence = 1; // mono: all zero; stereo: c1 all zero
constexpr std::uint32_t kC0Silence = 2;
constexpr std::uint32_t kPseudoStereo = 4;

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.insert(out.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                           std::uint8_t(v)});
}

bool AllZero(const std::vector<std::int32_t>& v, std::size_t n) {
    return std::all_of(v.begin(), v.begin() + n, [](std::int32_t x) { return x == 0; });
}

} // namespace

FrameEncoder::FrameEncoder(const AudioFormat& format, int level, int version)
    : format_(format), level_(level), version_(version), side_(level, version),
      mid_(level, version) {}

void FrameEncoder::Encode(std::span<const std::uint8_t> pcm, std::vector<std::uint8_t>& out) {
    const std::size_t blocks = pcm.size() / format_.BlockAlign();
    c0_.resize(blocks);
    c1_.resize(blocks);
    PcmToSamples(pcm, format_, blocks, c0_.data(), c1_.data());

    // Only 16-bit frames get special codes, as the official encoder does.
    std::uint32_t codes = 0;
    if (format_.bits == 16) {
        if (format_.channels == 1) {
            if (AllZero(c0_, blocks)) codes = kMonoSilence;
        } else {
            if (AllZero(c1_, blocks)) codes |= kMonoSilence;
            if (AllZero(c0_, blocks)) codes |= kC0Silence;
            if (std::equal(c0_.begin(), c0_.begin() + blocks, c1_.begin())) codes |= kPseudoStereo;
        }
    }
    Crc32 crc;
    crc.Update(pcm.first(blocks * format_.BlockAlign()));
    PutBigEndian(out, (crc.Value() >> 1) | (codes != 0 ? 0x80000000u : 0));
    if (codes != 0) PutBigEndian(out, codes);

    RangeEncoder coder(out);
    side_.Reset();
    mid_.Reset();
    const bool bothSilent = (codes & 3) == 3;
    if (format_.channels == 1 || (codes & kPseudoStereo)) {
        if (!bothSilent && !(format_.channels == 1 && codes != 0)) {
            ResidualEncoder residuals(version_);
            for (std::size_t i = 0; i < blocks; ++i)
                residuals.Encode(coder, mid_.Encode(c0_[i], 0, false));
        }
    } else if (!bothSilent) {
        const bool wide = DefaultArithmetic(true, level_).wideCombine;
        ResidualEncoder sideResiduals(version_);
        ResidualEncoder midResiduals(version_);
        std::int32_t lastMid = 0;
        for (std::size_t i = 0; i < blocks; ++i) {
            const std::int32_t s = c1_[i] - c0_[i];
            const std::int32_t m = c0_[i] + s / 2;
            sideResiduals.Encode(coder, side_.Encode(s, lastMid, wide));
            midResiduals.Encode(coder, mid_.Encode(m, s, wide));
            lastMid = m;
        }
    }
    coder.Flush();
}

} // namespace macdll
