#include "pipeline/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <numeric>
#include <stdexcept>

namespace {

// Zero crossings of the sinc on each side, counted at the lower rate.
constexpr double kZeroCrossings = 24;
// The passband ends this far up to the lower rate's Nyquist frequency.
constexpr double kPassband = 0.92;
// Kaiser window shape: about 90 dB of stopband rejection.
constexpr double kKaiserBeta = 9.0;
// Ratios with more output instants per input step than this use interpolated rows.
constexpr uint64_t kMaxExactRows = 1024;
constexpr uint64_t kInterpolatedRows = 512;
// Partial sums kept apart so that the compiler can use vector instructions.
constexpr size_t kLanes = 8;

double BesselI0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 64 && term > sum * 1e-17; ++k) {
        const double half = x / (2 * k);
        term *= half * half;
        sum += term;
    }
    return sum;
}

// taps is a multiple of kLanes.
float Dot(const float* a, const float* b, size_t taps) {
    float lanes[kLanes] = {};
    for (size_t k = 0; k < taps; k += kLanes)
        for (size_t j = 0; j < kLanes; ++j)
            lanes[j] += a[k + j] * b[k + j];
    float sum = 0;
    for (float lane : lanes)
        sum += lane;
    return sum;
}

} // namespace

std::vector<int> RatesNearestTo(int rate) {
    std::vector<int> rates = {8000,  11025, 12000, 16000, 22050,  24000, 32000,
                              44100, 48000, 88200, 96000, 176400, 192000};
    std::stable_sort(rates.begin(), rates.end(), [rate](int a, int b) {
        const int64_t da = std::llabs(int64_t(a) - rate), db = std::llabs(int64_t(b) - rate);
        return da != db ? da < db : a > b;
    });
    return rates;
}

TResampler::TResampler(int channels, int inRate, int outRate)
    : channels_(channels), outRate_(outRate) {
    if (channels < 1 || inRate < 1 || outRate < 1)
        throw std::invalid_argument("resampler: bad channel count or rate");
    const auto common = std::gcd(uint64_t(inRate), uint64_t(outRate));
    up_ = uint64_t(outRate) / common;
    down_ = uint64_t(inRate) / common;
    const double cutoff = std::min(1.0, double(outRate) / inRate) * kPassband;
    half_ = (int(std::ceil(kZeroCrossings / cutoff)) + 3) / 4 * 4;
    exact_ = up_ <= kMaxExactRows;
    rows_ = exact_ ? size_t(up_) : size_t(kInterpolatedRows + 1);
    const size_t taps = 2 * size_t(half_);
    const double phases = exact_ ? double(up_) : double(kInterpolatedRows);
    const double windowNorm = BesselI0(kKaiserBeta);
    table_.resize(rows_ * taps);
    std::vector<double> values(taps);
    for (size_t r = 0; r < rows_; ++r) {
        double sum = 0;
        for (size_t k = 0; k < taps; ++k) {
            // Distance in input frames from the output instant to tap k's frame.
            const double x = double(r) / phases + half_ - 1 - double(k);
            const double ratio = x / half_;
            const double window =
                std::abs(ratio) >= 1
                    ? 0
                    : BesselI0(kKaiserBeta * std::sqrt(1 - ratio * ratio)) / windowNorm;
            const double arg = std::numbers::pi * cutoff * x;
            values[k] = (x == 0 ? 1 : std::sin(arg) / arg) * window;
            sum += values[k];
        }
        // Unity gain at DC for every instant.
        for (size_t k = 0; k < taps; ++k)
            table_[r * taps + k] = float(values[k] / sum);
    }
    heldStart_ = -(half_ - 1);
    held_.assign(size_t(channels), std::vector<float>(size_t(half_ - 1), 0.0f));
    rowScratch_.resize(taps);
}

const float* TResampler::Row(uint64_t phase, std::vector<float>& scratch) const {
    const size_t taps = 2 * size_t(half_);
    if (exact_) return &table_[size_t(phase) * taps];
    const double position = double(phase) * kInterpolatedRows / double(up_);
    const auto index = std::min(size_t(position), size_t(kInterpolatedRows - 1));
    const float frac = float(position - double(index));
    const float* a = &table_[index * taps];
    const float* b = a + taps;
    for (size_t k = 0; k < taps; ++k)
        scratch[k] = a[k] + (b[k] - a[k]) * frac;
    return scratch.data();
}

void TResampler::Produce(std::vector<float>& out, int64_t lastFrame) {
    const int64_t heldEnd = heldStart_ + int64_t(held_[0].size()); // one past the last
    const size_t taps = 2 * size_t(half_);
    for (; outFrames_ < lastFrame; ++outFrames_) {
        const uint64_t position = uint64_t(outFrames_) * down_;
        const auto at = int64_t(position / up_);
        if (at + half_ > heldEnd - 1) break;
        const float* row = Row(position % up_, rowScratch_);
        const auto first = size_t(at - half_ + 1 - heldStart_);
        for (size_t c = 0; c < held_.size(); ++c)
            out.push_back(Dot(row, held_[c].data() + first, taps));
    }
    // Frames before the next instant's window are no longer needed.
    const auto next = int64_t(uint64_t(outFrames_) * down_ / up_) - half_ + 1;
    const int64_t drop = std::clamp<int64_t>(next - heldStart_, 0, heldEnd - heldStart_);
    for (auto& channel : held_)
        channel.erase(channel.begin(), channel.begin() + drop);
    heldStart_ += drop;
}

void TResampler::Process(std::span<const float> input, std::vector<float>& out) {
    inSamples_ += int64_t(input.size());
    const auto channels = size_t(channels_);
    // A frame torn between two pieces is completed by the next.
    while (!torn_.empty() && !input.empty()) {
        torn_.push_back(input.front());
        input = input.subspan(1);
        if (torn_.size() == channels) {
            for (size_t c = 0; c < channels; ++c)
                held_[c].push_back(torn_[c]);
            torn_.clear();
        }
    }
    const size_t frames = input.size() / channels;
    for (size_t c = 0; c < channels; ++c) {
        auto& channel = held_[c];
        const size_t base = channel.size();
        channel.resize(base + frames);
        for (size_t i = 0; i < frames; ++i)
            channel[base + i] = input[i * channels + c];
    }
    torn_.assign(input.begin() + frames * channels, input.end());
    Produce(out, INT64_MAX);
}

void TResampler::Finish(std::vector<float>& out) {
    // A torn frame at the very end is dropped; silence after the end completes the last windows.
    torn_.clear();
    const int64_t frames = inSamples_ / channels_;
    for (auto& channel : held_)
        channel.resize(channel.size() + size_t(half_), 0.0f);
    const auto total = int64_t((uint64_t(frames) * up_ + down_ - 1) / down_);
    Produce(out, total);
}
