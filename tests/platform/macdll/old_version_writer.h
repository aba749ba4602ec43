// Writes Monkey's Audio files of versions 3800-3929 (old 32-byte header, the 3800-family
// predictor, a stereo frame's two streams one after the other, range or bit-level coded; before
// 3810 with a table placing each frame inside its seek entry's word) from the
// library's own pieces, so that FFmpeg can judge them and our reading of them.
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

// Before 3900: the streams' bits one after the other, the frame padded to a byte. Returns the
// length in bits of out.
inline std::size_t PutBitStreams(const std::vector<std::vector<std::int32_t>>& signals, int level,
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
    const std::size_t bits = writer.BitCount();
    writer.Flush();
    return bits;
}

inline std::size_t OldBlocksPerFrame(int level, int version) {
    return version >= 3900 || level >= 4000 ? 73728 : 9216;
}

// One frame's logical bytes; `bits` is set to its length in bits.
inline std::vector<std::uint8_t> OldFrame(const Pcm& pcm, std::size_t first, std::size_t blocks,
                                          int level, int version, std::size_t& bits) {
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
        bits = pcm.channels == 1 ? PutBitStreams({c0}, level, version, out)
                                 : PutBitStreams({mid, side}, level, version, out);
        return out;
    }
    if ((codes & 3) == 3 || (pcm.channels == 1 && codes != 0)) {
        PutOldStream({}, level, version, out);
    } else if (pcm.channels == 1 || (codes & 4)) {
        PutOldStream(c0, level, version, out);
    } else {
        PutOldStream(mid, level, version, out);
        // The second coder starts on the last byte the first one's reader takes in.
        out.resize(out.size() - 2);
        PutOldStream(side, level, version, out);
    }
    bits = out.size() * 8;
    return out;
}

// Appends the first `bits` bits of bytes.
inline void AppendBits(macdll::BitWriter& writer, const std::vector<std::uint8_t>& bytes,
                       std::size_t bits) {
    for (std::size_t i = 0; i < bits / 8; ++i)
        writer.Put(bytes[i], 8);
    if (bits % 8 != 0) writer.Put(bytes[bits / 8] >> (8 - bits % 8), int(bits % 8));
}

inline std::vector<std::uint8_t> WriteOldFile(const Pcm& pcm, int level, int version) {
    const std::size_t perFrame = OldBlocksPerFrame(level, version);
    const std::size_t frames = (pcm.Blocks() + perFrame - 1) / perFrame;
    // Before 3810 a table gives each frame's start inside its seek entry's bytes: in 3800 the
    // frames follow each other bit by bit, the seek entry giving the byte and the table the bit;
    // in 3801-3809 they start on bytes, the seek entry giving the word and the table the byte.
    const bool startTable = version < 3810;
    std::vector<std::uint8_t> stream;
    macdll::BitWriter writer(stream);
    std::vector<std::uint32_t> offsets;
    std::vector<std::uint8_t> starts;
    for (std::size_t f = 0; f < frames; ++f) {
        const std::size_t at = writer.BitCount();
        if (version == 3800 || !startTable) {
            offsets.push_back(std::uint32_t(at / 8));
            starts.push_back(std::uint8_t(at % 8));
        } else {
            offsets.push_back(std::uint32_t(at / 32 * 4));
            starts.push_back(std::uint8_t(at / 8 % 4));
        }
        const std::size_t first = f * perFrame;
        std::size_t bits = 0;
        const auto frame =
            OldFrame(pcm, first, std::min(perFrame, pcm.Blocks() - first), level, version, bits);
        AppendBits(writer, frame, version == 3800 ? bits : frame.size() * 8);
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
    const std::uint32_t firstFrame = std::uint32_t(32 + 4 * frames + (startTable ? frames : 0));
    for (const std::uint32_t offset : offsets)
        put(firstFrame + offset, 4);
    if (startTable) file.insert(file.end(), starts.begin(), starts.end());
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

} // namespace apetest
