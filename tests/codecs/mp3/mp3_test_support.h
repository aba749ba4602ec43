// Test helpers for MP3 files: walking the MPEG frame headers of a file, synthetic PCM, decoding
// with mpg123 and comparing signals. Shared by the sink, source and stand-in tests.
#pragma once

#include "pipeline/pcm_convert.h"
#include "tests/support/tools.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

namespace mp3test {

struct FrameHeader {
    int version = 0; // 1, 2, or 25 for MPEG-2.5
    int bitRateKbps = 0;
    int sampleRate = 0;
    int mode = 0; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool crc = false;
    bool privateBit = false;
    bool copyright = false;
    bool original = false;
    int emphasis = 0;
    int samplesPerFrame = 0;
    size_t offset = 0;
    size_t length = 0;
    int mainDataBegin = 0; // bit-reservoir back pointer of the side information
};

inline std::optional<FrameHeader> ParseFrameHeader(const std::vector<uint8_t>& bytes,
                                                   size_t offset) {
    if (offset + 4 > bytes.size()) return std::nullopt;
    const uint8_t* h = bytes.data() + offset;
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return std::nullopt;
    const int versionBits = (h[1] >> 3) & 3;
    const int layerBits = (h[1] >> 1) & 3;
    if (versionBits == 1 || layerBits != 1) return std::nullopt; // reserved, or not layer III
    FrameHeader f;
    f.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    f.crc = (h[1] & 1) == 0;
    static constexpr int kRatesV1[] = {0,   32,  40,  48,  56,  64,  80, 96,
                                       112, 128, 160, 192, 224, 256, 320};
    static constexpr int kRatesV2[] = {0,  8,  16, 24,  32,  40,  48, 56,
                                       64, 80, 96, 112, 128, 144, 160};
    const int rateIndex = h[2] >> 4;
    const int freqIndex = (h[2] >> 2) & 3;
    if (rateIndex == 0 || rateIndex == 15 || freqIndex == 3) return std::nullopt;
    f.bitRateKbps = f.version == 1 ? kRatesV1[rateIndex] : kRatesV2[rateIndex];
    static constexpr int kFreqs[] = {44100, 48000, 32000};
    f.sampleRate = kFreqs[freqIndex] / (f.version == 1 ? 1 : f.version == 2 ? 2 : 4);
    const int padding = (h[2] >> 1) & 1;
    f.privateBit = h[2] & 1;
    f.mode = h[3] >> 6;
    f.copyright = (h[3] >> 3) & 1;
    f.original = (h[3] >> 2) & 1;
    f.emphasis = h[3] & 3;
    f.samplesPerFrame = f.version == 1 ? 1152 : 576;
    f.length =
        static_cast<size_t>(f.samplesPerFrame / 8 * f.bitRateKbps * 1000 / f.sampleRate + padding);
    f.offset = offset;
    const size_t side = offset + 4 + (f.crc ? 2 : 0);
    if (side + 2 <= bytes.size()) {
        const int word = (bytes[side] << 8) | bytes[side + 1];
        f.mainDataBegin = f.version == 1 ? word >> 7 : word >> 8;
    }
    return f;
}

// Offset of the MPEG data: after an ID3v2 tag when one leads the file.
inline size_t AudioStart(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 10 || std::memcmp(bytes.data(), "ID3", 3) != 0) return 0;
    size_t size = 0;
    for (int i = 6; i < 10; ++i)
        size = (size << 7) | bytes[i];
    return 10 + size + ((bytes[5] & 0x10) ? 10 : 0);
}

// Every frame from the start of the MPEG data until the first byte that is not a frame.
inline std::vector<FrameHeader> Frames(const std::vector<uint8_t>& bytes) {
    std::vector<FrameHeader> frames;
    size_t offset = AudioStart(bytes);
    while (auto frame = ParseFrameHeader(bytes, offset)) {
        if (frame->length == 0 || offset + frame->length > bytes.size()) break;
        frames.push_back(*frame);
        offset += frame->length;
    }
    return frames;
}

// Whether the first frame carries a Xing/Info tag (then it holds no audio).
inline bool HasXingTag(const std::vector<uint8_t>& bytes) {
    const auto frames = Frames(bytes);
    if (frames.empty()) return false;
    const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(frames[0].offset);
    const auto end = begin + static_cast<std::ptrdiff_t>(frames[0].length);
    for (const char* magic : {"Xing", "Info"})
        if (std::search(begin, end, magic, magic + 4) != end) return true;
    return false;
}

// Interleaved float samples: channel c is a sine at freqs[c] with the given amplitude.
inline std::vector<float> Sines(size_t frames, int rate, const std::vector<double>& freqs,
                                double amplitude = 0.5) {
    const size_t channels = freqs.size();
    std::vector<float> samples(frames * channels);
    for (size_t i = 0; i < frames; ++i)
        for (size_t c = 0; c < channels; ++c)
            samples[i * channels + c] = static_cast<float>(
                amplitude * std::sin(2.0 * std::numbers::pi * freqs[c] * double(i) / rate));
    return samples;
}

inline std::vector<uint8_t> ToPcm(const std::vector<float>& samples, int bits) {
    std::vector<uint8_t> pcm(samples.size() * Pcm::BytesPerSample(bits));
    Pcm::FromFloat(samples, bits, pcm);
    return pcm;
}

struct Decoded {
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> samples; // interleaved
    size_t Frames() const { return channels ? samples.size() / size_t(channels) : 0; }
    std::vector<double> Channel(int c) const {
        std::vector<double> out(Frames());
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = samples[i * size_t(channels) + size_t(c)];
        return out;
    }
};

// The PCM of a canonical or extended WAVE file written by a tool.
inline Decoded ReadWave(const std::vector<uint8_t>& wav) {
    Decoded decoded;
    size_t offset = 12;
    auto u32 = [&](size_t at) {
        return uint32_t(wav[at]) | uint32_t(wav[at + 1]) << 8 | uint32_t(wav[at + 2]) << 16 |
               uint32_t(wav[at + 3]) << 24;
    };
    while (offset + 8 <= wav.size()) {
        const std::string id(wav.begin() + std::ptrdiff_t(offset),
                             wav.begin() + std::ptrdiff_t(offset + 4));
        size_t size = u32(offset + 4);
        if (id == "fmt ") {
            decoded.channels = wav[offset + 10] | wav[offset + 11] << 8;
            decoded.rate = static_cast<int>(u32(offset + 12));
        } else if (id == "data") {
            size = std::min(size, wav.size() - offset - 8);
            decoded.samples.resize(size / 2);
            std::memcpy(decoded.samples.data(), wav.data() + offset + 8,
                        decoded.samples.size() * 2);
            break;
        }
        offset += 8 + size + (size & 1);
    }
    return decoded;
}

// Decodes with mpg123 into 16-bit PCM; empty when mpg123 fails.
inline Decoded DecodeWithMpg123(const std::string& mp3, const TempDir& dir) {
    const std::string wav = dir / "mpg123_reference.wav";
    if (RunCommand("mpg123 -q -w " + Quote(wav) + " " + Quote(mp3) + " 2>/dev/null").status != 0)
        return {};
    return ReadWave(ReadFileBytes(wav));
}

// Signal-to-noise ratio in dB of b against a, at the lag (0..maxLag samples, b later than a)
// where they agree best; b is scaled by the least-squares gain.
inline double BestSnr(const std::vector<double>& a, const std::vector<double>& b, size_t maxLag,
                      size_t* lagFound = nullptr) {
    double best = -1e9;
    for (size_t lag = 0; lag <= maxLag && lag < b.size(); ++lag) {
        const size_t n = std::min(a.size(), b.size() - lag);
        if (n < 1000) break;
        // Skip the edges, where encoder priming and padding live.
        const size_t from = 2000, to = n > 4000 ? n - 2000 : n;
        double ab = 0, bb = 0, aa = 0;
        for (size_t i = from; i < to; ++i) {
            ab += a[i] * b[i + lag];
            bb += b[i + lag] * b[i + lag];
            aa += a[i] * a[i];
        }
        if (bb <= 0 || aa <= 0) continue;
        const double gain = ab / bb;
        double noise = 0;
        for (size_t i = from; i < to; ++i) {
            const double d = a[i] - gain * b[i + lag];
            noise += d * d;
        }
        const double snr = 10 * std::log10(aa / std::max(noise, 1e-9));
        if (snr > best) {
            best = snr;
            if (lagFound) *lagFound = lag;
        }
    }
    return best;
}

// Power of one frequency in a signal (Goertzel), normalised by length.
inline double TonePower(const std::vector<double>& signal, double freq, int rate) {
    const double w = 2 * std::numbers::pi * freq / rate;
    const double coeff = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (double x : signal) {
        const double s0 = x + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return power / (double(signal.size()) * double(signal.size()));
}

} // namespace mp3test
