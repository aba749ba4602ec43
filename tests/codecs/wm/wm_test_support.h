// Shared helpers of the Windows Media tests: files made by sox and ffmpeg, FFmpeg's decoding as
// the judge, and a lag-searching comparison for lossy audio.
#pragma once

#include "tests/support/bytes.h"
#include "tests/support/decode_checks.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace wmtest {

inline bool HaveTools() {
    return HaveTool("sox") && HaveTool("ffmpeg") && HaveTool("ffprobe");
}

// Plucked notes and a sweep, written by sox.
inline void MakeWav(const std::string& path, int channels, int bits, int rate, double seconds) {
    const std::string command = "sox -R -n -r " + std::to_string(rate) + " -c " +
                                std::to_string(channels) + " -b " + std::to_string(bits) + " " +
                                Quote(path) + " synth " + std::to_string(seconds) +
                                " pluck C4 pluck G3 pluck E4 pluck A3 pluck D4 pluck B3 synth " +
                                std::to_string(seconds) + " sine mix 100-5000 vol 0.7 2>&1";
    ASSERT_EQ(RunCommand(command).status, 0) << command;
}

// FFmpeg's 16-bit decoding of one channel's samples (the first), for comparisons.
inline std::vector<int16_t> Channel(const std::vector<int16_t>& interleaved, int channels,
                                    int channel = 0) {
    std::vector<int16_t> out;
    for (size_t i = size_t(channel); i < interleaved.size(); i += size_t(channels))
        out.push_back(interleaved[i]);
    return out;
}

struct Match {
    int lag = 0;
    double correlation = -1;
};

// The lag (decoded[i + lag] ~ source[i]) within maxLag frames that correlates best, and the
// correlation over everything both hold there.
inline Match BestMatch(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded,
                       int maxLag) {
    auto correlate = [&](int lag, size_t from, size_t to, size_t step) {
        double xy = 0, xx = 0, yy = 0;
        for (size_t i = from; i < to; i += step) {
            const int64_t j = int64_t(i) + lag;
            if (j < 0 || size_t(j) >= decoded.size()) continue;
            xy += double(source[i]) * decoded[size_t(j)];
            xx += double(source[i]) * source[i];
            yy += double(decoded[size_t(j)]) * decoded[size_t(j)];
        }
        return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : -1.0;
    };
    Match best;
    const size_t window = std::min<size_t>(source.size(), 20000);
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        const double c = correlate(lag, source.size() / 4, source.size() / 4 + window / 2, 3);
        if (c > best.correlation) best = {lag, c};
    }
    best.correlation = correlate(best.lag, 0, source.size(), 1);
    return best;
}

// Root mean square difference of two equal-length runs of samples.
inline double Rms(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    const size_t n = std::min(a.size(), b.size());
    double sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum += double(a[i] - b[i]) * (a[i] - b[i]);
    return n ? std::sqrt(sum / double(n)) : 0;
}

inline std::string Probe(const std::string& path, const std::string& entries) {
    return RunCommand("ffprobe -v error -select_streams a:0 -show_entries " + entries +
                      " -of default=nw=1 " + Quote(path))
        .output;
}

} // namespace wmtest
