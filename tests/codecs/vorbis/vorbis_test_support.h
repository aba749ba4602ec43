// Shared by the Ogg Vorbis tests: tones of any width, reading a source to its end, the
// reference decoder's raw output and level measurements.
#pragma once

#include "../../support/bytes.h"
#include "../../support/read_source.h"

#include "../../support/tools.h"
#include "pipeline/au_input.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

// Packs samples in -1..1 into pipeline PCM of the given width (unsigned for 8 bits).
inline void PutSample(std::vector<uint8_t>& pcm, double value, int bits) {
    const double full = std::ldexp(1.0, bits - 1);
    int64_t v = std::llround(value * full);
    v = std::clamp<int64_t>(v, -int64_t(full), int64_t(full) - 1);
    if (bits == 8) v += 128;
    for (int b = 0; b < bits / 8; ++b)
        pcm.push_back(uint8_t(uint64_t(v) >> (8 * b)));
}

// A tone of its own frequency in each channel at the given amplitude.
inline std::vector<uint8_t> MakeTones(size_t frames, int channels, int bits, int rate = 44100,
                                      double amplitude = 0.5) {
    std::vector<uint8_t> pcm;
    pcm.reserve(frames * size_t(channels) * size_t(bits / 8));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            PutSample(pcm, amplitude * std::sin(2 * M_PI * (330.0 + 110.0 * c) * double(i) / rate),
                      bits);
    return pcm;
}

// One slot per channel: in slot k only channel k sounds (a 200 Hz tone), the others are
// silent; so a decoder can show which speaker each channel reached.
inline std::vector<uint8_t> MakeChannelSlots(size_t slotFrames, int channels, int rate = 44100) {
    std::vector<uint8_t> pcm;
    for (int slot = 0; slot < channels; ++slot)
        for (size_t i = 0; i < slotFrames; ++i)
            for (int c = 0; c < channels; ++c)
                PutSample(pcm, c == slot ? 0.5 * std::sin(2 * M_PI * 200.0 * double(i) / rate) : 0,
                          16);
    return pcm;
}

// Root mean square of one channel over a range of frames, full scale 1.0.
inline double Rms(const std::vector<int16_t>& samples, int channels, int channel, size_t from,
                  size_t count) {
    double sum = 0;
    size_t n = 0;
    for (size_t f = from; f < from + count && (f + 1) * size_t(channels) <= samples.size(); ++f) {
        const double v = samples[f * size_t(channels) + size_t(channel)] / 32768.0;
        sum += v * v;
        ++n;
    }
    return n ? std::sqrt(sum / double(n)) : 0;
}

// For each slot of MakeChannelSlots, the loudest channel of the decoded samples (the middle
// half of each slot, away from the transitions).
inline std::vector<int> LoudestPerSlot(const std::vector<int16_t>& samples, int channels,
                                       size_t slotFrames) {
    std::vector<int> loudest;
    for (int slot = 0; slot < channels; ++slot) {
        int best = -1;
        double bestRms = 0;
        for (int c = 0; c < channels; ++c) {
            const double rms = Rms(samples, channels, c, size_t(slot) * slotFrames + slotFrames / 4,
                                   slotFrames / 2);
            if (rms > bestRms) bestRms = rms, best = c;
        }
        loudest.push_back(best);
    }
    return loudest;
}

inline std::vector<int> Identity(int channels) {
    std::vector<int> order;
    for (int c = 0; c < channels; ++c)
        order.push_back(c);
    return order;
}

// oggdec's raw 16-bit little-endian output, in the stream's own (Vorbis) channel order.
inline std::vector<uint8_t> OggDecodeRaw(const std::string& oggFile) {
    const std::string raw = oggFile + ".raw";
    if (RunCommand("oggdec -Q -R -o " + Quote(raw) + " " + Quote(oggFile)).status != 0) return {};
    return ReadFileBytes(raw);
}

// FFmpeg's own Vorbis decoder, which puts channels into WAV order: an independent judge of
// speaker placement.
inline std::vector<uint8_t> FfmpegDecodeRaw(const std::string& oggFile) {
    const std::string raw = oggFile + ".ff.raw";
    if (RunCommand("ffmpeg -v error -y -i " + Quote(oggFile) + " -f s16le -acodec pcm_s16le " +
                   Quote(raw))
            .status != 0)
        return {};
    return ReadFileBytes(raw);
}
