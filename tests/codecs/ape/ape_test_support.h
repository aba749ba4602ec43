// Shared helpers of the Monkey's Audio adapter tests: music-like PCM made by sox, our sink and
// source run on it, FFmpeg as the judge, and the command-line converter.
#pragma once

#include "codecs/ape/mac_in.h"
#include "codecs/ape/mac_out.h"
#include "tests/support/pcm_source.h"
#include "tests/support/read_source.h"
#include "tests/support/run_sink.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace apetest {

struct Format {
    int channels = 2;
    int bits = 16;
    int rate = 44100;
};

inline std::string Describe(const Format& f) {
    return std::to_string(f.bits) + "-bit " + std::to_string(f.channels) + "ch";
}

// Plucked notes over a sweep (each channel its own notes), as pipeline PCM.
inline std::vector<uint8_t> MusicPcm(const Format& f, double seconds = 1.5) {
    const std::string length = std::to_string(seconds);
    const std::string notes = f.channels == 1 ? "pluck A3" : "pluck C4 pluck G3";
    const std::string command = "sox -R -n -t raw -r " + std::to_string(f.rate) + " -c " +
                                std::to_string(f.channels) + " -b " + std::to_string(f.bits) +
                                (f.bits == 8 ? " -e unsigned-integer" : " -e signed-integer") +
                                " -L - synth " + length + " " + notes + " synth " + length +
                                " sine mix 60-6000 tremolo 4 30 vol 0.8 2>/dev/null";
    const CommandResult result = RunCommand(command);
    EXPECT_EQ(result.status, 0) << command;
    return {result.output.begin(), result.output.end()};
}

// FFmpeg's decoding with its CRC checks failing the run; empty output when it refused.
inline std::vector<uint8_t> FfmpegDecode(const std::string& path, int bits) {
    const char* format = bits == 8 ? "u8" : bits == 16 ? "s16le" : "s24le";
    const CommandResult r = RunCommand("ffmpeg -v error -err_detect crccheck+explode -xerror -i " +
                                       Quote(path) + " -f " + format + " - 2>/dev/null");
    if (r.status != 0) return {};
    return {r.output.begin(), r.output.end()};
}

// Compresses pcm into path through TMACOut; returns the run's error text.
inline std::string Encode(const std::string& path, const std::vector<uint8_t>& pcm, const Format& f,
                          int level, uint32_t readBytes = 8192, TMACOut* sinkToUse = nullptr) {
    PcmSource source(pcm, f.channels, f.bits, f.rate, readBytes);
    TMACOut own;
    TMACOut& sink = sinkToUse ? *sinkToUse : own;
    sink.SetFileName(path);
    sink.SetExclusiveCreate(true);
    sink.SetCompressionLevel(level);
    const SinkResult result = RunSink(sink, source);
    EXPECT_TRUE(result.done);
    return result.error;
}

// Everything TMACIn delivers, in requests of `request` bytes.
inline std::vector<uint8_t> Decode(const std::string& path, uint32_t request = 5000) {
    TMACIn source;
    source.SetFileName(path);
    return ReadAll(source, request);
}

inline bool HaveTools() {
    return HaveTool("sox") && HaveTool("ffmpeg");
}

} // namespace apetest
