// Writes Monkey's Audio files of versions 3810-3929 (old 32-byte header, the 3800-family
// predictor, a stereo frame's two streams one after the other, range or bit-level coded) from
// the library's own pieces, so that FFmpeg can judge them and our reading of them.
#pragma once

#include "platform/macdll/ape_header.h"
#include "platform/macdll/checksums.h"
#include "platform/macdll/old_entropy.h"
#include "platform/macdll/old_predictor.h"
#include "platform/macdll/range_coder.h"
#include "tests/platform/macdll/macdll_test_support.h"

#include <algorithm>

namespace apetest {

// One stream's residuals: the predictor, then the whole-frame filters.
inline std::vector<std::int32_t> OldResiduals(const std::vector<std::int32_t>& signal, int level,
                                              int version) {
    macdll::Predictor3800 predictor(level, version);
    std::vector<std::int32_t> residuals;
    for (const std::int32_t x : signal)
        residuals.push_back(predictor.Encode(x));
    macdll::EncodeFrameFilters3800(level, version, residuals);
    return residuals;
}

// Range-codes one stream after out's end, dummy byte first.
inline void PutOldStream(const std::vector<std::int32_t>& signal, int level, int version,
                         std::vector<std::uint8_t>& out) {
    macdll::RangeEncoder coder(out);
    macdll::ResidualEncoder values(version);
    for (const std::int32_t r : OldResiduals(signal, level, version))
        values.Encode(coder, r);
    coder.Flush();
}

// Before 3900: the streams' bits one after the other, the frame padded to a byte.
inline void PutBitStreams(const std::vector<std::vector<std::int32_t>>& signals, int level,
                          int version, std::vector<std::uint8_t>& out) {
    macdll::BitWriter writer(out);
    for (const auto& signal : signals) {
        const std::vector<std::int32_t> residuals = OldResiduals(signal, level, version);
        if (version < 3860) {
            macdll::EncodeStream3800(writer, residuals);
            continue;
        }
        macdll::RiceCoder3860 values(version);
        for (const std::int32_t r : residuals)
            values.Encode(writer, r);
    }
    writer.Flush();
}

inline std::size_t OldBlocksPerFrame(int level, int version) {
    return version >= 3900 || level >= 4000 ? 73728 : 9216;
}

inline std::vector<std::uint8_t> OldFrame(const Pcm& pcm, std::size_t first, std::size_t blocks,
                                          int level, int version) {
    const macdll::AudioFormat format{std::uint32_t(pcm.rate), pcm.bits, pcm.channels};
    const auto bytes =
        std::span(pcm.bytes).subspan(first * pcm.BlockAlign(), blocks * pcm.BlockAlign());
    std::vector<std::int32_t> c0(blocks), c1(blocks);
    macdll::PcmToSamples(bytes, format, blocks, c0.data(), c1.data());
    const auto zero = [](const std::vector<std::int32_t>& v) {
        return std::all_of(v.begin(), v.end(), [](std::int32_t x) { return x == 0; });
    };
    std::uint32_t codes = 0;
    if (version < 3900) {
        // Frame codes not written.
    } else if (pcm.channels == 1) {
        codes = zero(c0) ? 1 : 0;
    } else {
        codes = (zero(c1) ? 1 : 0) | (zero(c0) ? 2 : 0) | (c0 == c1 ? 4 : 0);
    }
    macdll::Crc32 crc;
    crc.Update(bytes);
    std::vector<std::uint8_t> out;
    const auto putBig = [&](std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(std::uint8_t(v >> shift));
    };
    putBig((crc.Value() >> 1) | (codes != 0 ? 0x80000000u : 0));
    if (codes != 0) putBig(codes);
    std::vector<std::int32_t> side(blocks), mid(blocks);
    for (std::size_t i = 0; i < blocks; ++i) {
        side[i] = c1[i] - c0[i];
        mid[i] = c0[i] + side[i] / 2;
    }
    if (version < 3900) {
        if (pcm.channels == 1)
            PutBitStreams({c0}, level, version, out);
        else
            PutBitStreams({mid, side}, level, version, out);
    } else if ((codes & 3) == 3 || (pcm.channels == 1 && codes != 0)) {
        PutOldStream({}, level, version, out);
    } else if (pcm.channels == 1 || (codes & 4)) {
        PutOldStream(c0, level, version, out);
    } else {
        PutOldStream(mid, level, version, out);
        // The second coder starts on the last byte the first one's reader takes in.
        out.resize(out.size() - 2);
        PutOldStream(side, level, version, out);
    }
    return out;
}

inline std::vector<std::uint8_t> WriteOldFile(const Pcm& pcm, int level, int version) {
    const std::size_t perFrame = OldBlocksPerFrame(level, version);
    const std::size_t frames = (pcm.Blocks() + perFrame - 1) / perFrame;
    std::vector<std::uint8_t> stream;
    std::vector<std::uint32_t> offsets;
    for (std::size_t f = 0; f < frames; ++f) {
        offsets.push_back(std::uint32_t(stream.size()));
        const std::size_t first = f * perFrame;
        const auto frame =
            OldFrame(pcm, first, std::min(perFrame, pcm.Blocks() - first), level, version);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    stream.resize(stream.size() / 4 * 4 + 4, 0);
    macdll::SwapWords(stream);
    std::vector<std::uint8_t> file = {'M', 'A', 'C', ' '};
    const auto put = [&](std::uint32_t v, int bytes) {
        for (int k = 0; k < bytes; ++k)
            file.push_back(std::uint8_t(v >> (8 * k)));
    };
    const std::uint32_t flags = macdll::kFlagCreateWavHeader | (pcm.bits == 8    ? 1
                                                                : pcm.bits == 24 ? 8
                                                                                 : 0);
    put(std::uint32_t(version), 2);
    put(std::uint32_t(level), 2);
    put(flags, 2);
    put(std::uint32_t(pcm.channels), 2);
    put(std::uint32_t(pcm.rate), 4);
    put(0, 4); // no WAV header stored
    put(0, 4); // nor trailer
    put(std::uint32_t(frames), 4);
    put(std::uint32_t(pcm.Blocks() - (frames - 1) * perFrame), 4);
    const std::uint32_t firstFrame = std::uint32_t(32 + 4 * frames);
    for (const std::uint32_t offset : offsets)
        put(firstFrame + offset, 4);
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

} // namespace apetest
