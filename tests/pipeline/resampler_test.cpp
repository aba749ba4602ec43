// TResampler against the ideal result: tones resampled at exact and irregular ratios come out at
// the new rate as the same tones (compared with the sine computed at the output instants), tones
// above the new Nyquist frequency are removed, the output length is ceil(in * out / in rate),
// and the result does not depend on how the input is cut into pieces.
#include "pipeline/resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

struct Tone {
    double frequency;
    double amplitude;
};

// Two channels, one tone each, n frames at rate.
std::vector<float> Tones(const Tone& left, const Tone& right, int rate, int64_t frames) {
    std::vector<float> samples;
    samples.reserve(size_t(frames) * 2);
    for (int64_t i = 0; i < frames; ++i)
        for (const Tone& t : {left, right})
            samples.push_back(float(
                t.amplitude * std::sin(2 * std::numbers::pi * t.frequency * double(i) / rate)));
    return samples;
}

std::vector<float> Resample(int inRate, int outRate, const std::vector<float>& input,
                            size_t piece) {
    TResampler resampler(2, inRate, outRate);
    std::vector<float> out;
    for (size_t at = 0; at < input.size(); at += piece) {
        const size_t n = std::min(piece, input.size() - at);
        resampler.Process(std::span(input).subspan(at, n), out);
    }
    resampler.Finish(out);
    return out;
}

// Largest difference from the expected samples, away from the ends (where the input stops).
double Deviation(const std::vector<float>& got, const std::vector<float>& expected, size_t skip) {
    double worst = 0;
    for (size_t i = skip * 2; i + skip * 2 < got.size(); ++i)
        worst = std::max(worst, std::abs(double(got[i]) - double(expected[i])));
    return worst;
}

double ChannelRms(const std::vector<float>& samples, size_t channel, size_t skip) {
    double sum = 0;
    size_t count = 0;
    for (size_t i = skip * 2 + channel; i + skip * 2 < samples.size(); i += 2, ++count)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(std::max<size_t>(count, 1)));
}

void CheckRatio(int inRate, int outRate, int64_t frames) {
    SCOPED_TRACE(std::to_string(inRate) + " -> " + std::to_string(outRate));
    // Left: an audible tone kept; right: one above the lower rate's Nyquist frequency (when
    // downsampling) that must go.
    const double nyquist = std::min(inRate, outRate) / 2.0;
    const Tone kept{997, 0.5}, removed{nyquist * 1.1, 0.5};
    const bool down = outRate < inRate;
    const auto input = Tones(kept, down ? removed : kept, inRate, frames);
    const auto out = Resample(inRate, outRate, input, input.size());

    const int64_t expectedFrames = (frames * outRate + inRate - 1) / inRate;
    ASSERT_EQ(int64_t(out.size()), expectedFrames * 2);
    // Pieces of odd sizes, torn frames included, give the very same samples.
    EXPECT_EQ(Resample(inRate, outRate, input, 4097 * 2 + 1), out);

    const auto ideal = Tones(kept, {0, 0}, outRate, expectedFrames);
    const size_t skip = size_t(outRate / 100); // 10 ms at each end
    std::vector<float> left(out), idealLeft(ideal);
    for (size_t i = 1; i < left.size(); i += 2)
        left[i] = idealLeft[i] = 0;
    EXPECT_LT(Deviation(left, idealLeft, skip), 5e-5); // 80 dB below the tone
    if (down)
        EXPECT_LT(ChannelRms(out, 1, skip), 0.5 * 1e-4); // at least 80 dB down
    else
        EXPECT_NEAR(ChannelRms(out, 1, skip), 0.5 / std::sqrt(2.0), 1e-3);
}

TEST(Resampler, TonesKeptAndAliasesRemovedAtExactAndIrregularRatios) {
    CheckRatio(352800, 44100, 352800 / 2 + 3);  // 1:8
    CheckRatio(352800, 192000, 352800 / 2 + 5); // 80:147
    CheckRatio(44100, 48000, 44100 / 2 + 7);    // 160:147, upwards
    CheckRatio(44101, 48000, 44101 / 2);        // no small ratio: interpolated rows
}

TEST(Resampler, ShortAndEmptyInputs) {
    // Fewer frames than the filter is long still give their share; none give none.
    EXPECT_EQ(Resample(352800, 44100, std::vector<float>(2 * 20, 0.25f), 6).size(), 3u * 2);
    EXPECT_TRUE(Resample(352800, 44100, {}, 1).empty());
    // A constant stays that constant (unity gain at DC), also right at the edges of a long run.
    const auto flat = Resample(44100, 48000, std::vector<float>(2 * 4410, 0.25f), 1000);
    ASSERT_EQ(flat.size(), 4800u * 2);
    for (size_t i = 200 * 2; i < flat.size() - 200 * 2; ++i)
        ASSERT_NEAR(flat[i], 0.25f, 1e-5) << i;
}

} // namespace
