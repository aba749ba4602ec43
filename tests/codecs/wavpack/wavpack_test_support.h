// Shared helpers of the WavPack tests: PCM made by sox, our source and sink run on it, and the
// wavpack tools as judges.
#pragma once

#include "codecs/wavpack/wv_in.h"
#include "codecs/wavpack/wv_out.h"
#include "tests/support/decode_checks.h"
#include "tests/support/pcm_source.h"
#include "tests/support/run_sink.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace wvtest {

struct Format {
    int channels = 2;
    int bits = 16;
    int rate = 44100;
};

inline std::string SoxRawFormat(const Format& f) {
    return "-t raw -r " + std::to_string(f.rate) + " -c " + std::to_string(f.channels) + " -b " +
           std::to_string(f.bits) + (f.bits == 8 ? " -e unsigned-integer" : " -e signed-integer") +
           " -L";
}

// Noise and tones, different in every channel, as pipeline PCM.
inline std::vector<uint8_t> MakePcm(const TempDir& dir, const Format& f, double seconds) {
    const std::string raw = dir / "made.raw";
    const std::string command = "sox -R -n " + SoxRawFormat(f) + " " + Quote(raw) + " synth " +
                                std::to_string(seconds) +
                                " pinknoise sine 440 brownnoise sine 1200 whitenoise square 90 "
                                "vol 0.7 2>&1";
    EXPECT_EQ(RunCommand(command).status, 0) << command;
    return ReadFileBytes(raw);
}

// The same PCM as a WAV file for the wavpack tool.
inline void WriteWav(const TempDir& dir, const std::vector<uint8_t>& pcm, const Format& f,
                     const std::string& wav) {
    const std::string raw = dir / "wav_source.raw";
    WriteFileBytes(raw, pcm);
    const std::string command = "sox " + SoxRawFormat(f) + " " + Quote(raw) + " " + Quote(wav);
    EXPECT_EQ(RunCommand(command).status, 0) << command;
}

// wvunpack's raw PCM of a file (".wvc" beside it used unless ignored).
inline std::vector<uint8_t> Wvunpack(const TempDir& dir, const std::string& wv,
                                     bool ignoreCorrection = false) {
    const std::string raw = dir / "wvunpack.raw";
    std::filesystem::remove(raw);
    const std::string command = "wvunpack -q -y -r " + std::string(ignoreCorrection ? "-i " : "") +
                                Quote(wv) + " -o " + Quote(raw) + " 2>&1";
    const CommandResult result = RunCommand(command);
    EXPECT_EQ(result.status, 0) << command << "\n" << result.output;
    return ReadFileBytes(raw);
}

// One field of `wvunpack -f` (1 rate, 2 bits, 3 int/float, 4 channels, 5 mask, 6 frames).
inline std::string WvunpackInfo(const std::string& wv, int field) {
    const CommandResult result =
        RunCommand("wvunpack -q -f" + std::to_string(field) + " " + Quote(wv) + " 2>/dev/null");
    std::string text = result.output;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// Everything our source delivers, or the message it failed with.
inline Decoded DecodeWithTWVIn(TWVIn& source) {
    Decoded decoded = DecodeAll(source, 65536);
    source.Reset();
    return decoded;
}

inline Decoded DecodeWithTWVIn(const std::string& wv) {
    TWVIn source;
    source.SetFileName(wv);
    return DecodeWithTWVIn(source);
}

// Runs our sink over the PCM; returns the run's error text (empty on success).
inline std::string EncodeWithTWVOut(std::vector<uint8_t> pcm, const Format& f,
                                    const std::string& wv,
                                    const std::function<void(TWVOut&)>& configure = {}) {
    PcmSource source(std::move(pcm), f.channels, f.bits, f.rate);
    TWVOut sink;
    sink.SetFileName(wv);
    if (configure) configure(sink);
    const SinkResult result = RunSink(sink, source);
    EXPECT_TRUE(result.done);
    return result.error;
}

} // namespace wvtest
