// Shared by the FLAC tests: deterministic PCM of any width, reading a source to its end, and
// the reference decoder's raw output.
#pragma once

#include "../../support/read_source.h"

#include "../../support/tools.h"
#include "pipeline/au_input.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

// Tones that differ per channel plus noise, with full-scale extremes early on, so lost bits,
// swapped channels and clipped extremes all show.
inline std::vector<uint8_t> MakePcm(size_t frames, int channels, int bits, unsigned seed = 1) {
    const size_t width = size_t(bits) / 8;
    std::vector<uint8_t> pcm(frames * size_t(channels) * width);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-64, 64);
    const double full = std::ldexp(1.0, bits - 1);
    size_t pos = 0;
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            int64_t v = int64_t(0.6 * full * std::sin(double(i) * (0.01 + 0.013 * c))) +
                        (bits > 8 ? int64_t(noise(random)) << (bits - 16 > 0 ? bits - 16 : 0) : 0);
            if (i == 7) v = int64_t(full) - 1; // the largest sample
            if (i == 8) v = -int64_t(full);    // the smallest sample
            if (bits == 8) v += 128;           // 8-bit PCM is unsigned
            for (size_t b = 0; b < width; ++b)
                pcm[pos++] = uint8_t(uint64_t(v) >> (8 * b));
        }
    }
    return pcm;
}

// flac -d to raw little-endian PCM (unsigned for 8 bits, as the pipeline carries it); the
// status is -1 when flac failed (a broken file or a wrong MD5 signature).
struct RawDecode {
    int status = -1;
    std::vector<uint8_t> pcm;
};

inline RawDecode FlacDecodeRaw(const std::string& flacFile, int bits) {
    const std::string raw = flacFile + ".raw";
    RawDecode result;
    result.status = RunCommand("flac -d -s -f --force-raw-format --endian=little --sign=" +
                               std::string(bits == 8 ? "unsigned" : "signed") + " -o " +
                               Quote(raw) + " " + Quote(flacFile))
                        .status;
    result.pcm = ReadFileBytes(raw);
    return result;
}

// Encodes raw PCM with the reference encoder; extra holds further flac options.
inline bool FlacEncodeRaw(const std::string& rawFile, const std::string& flacFile, int channels,
                          int bits, int rate, const std::string& extra = "") {
    return RunCommand("flac -s -f --force-raw-format --endian=little --sign=" +
                      std::string(bits == 8 ? "unsigned" : "signed") +
                      " --channels=" + std::to_string(channels) + " --bps=" + std::to_string(bits) +
                      " --sample-rate=" + std::to_string(rate) + " " + extra + " -o " +
                      Quote(flacFile) + " " + Quote(rawFile))
               .status == 0;
}
