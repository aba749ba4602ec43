// The per-channel prediction pipeline: the fixed first-order filter, the adaptive 4+5-tap
// predictor with its second ("B") input, and the cascade of NN filters of a compression level.
#pragma once

#include "platform/macdll/nn_filter.h"

#include <cstdint>
#include <span>
#include <vector>

namespace macdll {

// Integer widths where implementations differ (only 24-bit audio ever overflows 32 bits).
struct Arithmetic {
    bool wideCombine = false; // stage-2 sum predA + predB/2 in 64 bits
    bool wideRounding = true; // NN rounding addition in 64 bits
};

// What FFmpeg 5.1 does; our encoder always writes by these rules.
inline Arithmetic DefaultArithmetic(bool stereoPair, int level) {
    return {stereoPair && level >= 5000, true};
}

bool IsValidLevel(int level);

class ChannelPipeline {
public:
    ChannelPipeline(int level, int version);
    void Reset();
    // Encoder: signal x and the other channel's signal y (0 when none) → residual.
    std::int32_t Encode(std::int32_t x, std::int32_t y, bool wideCombine);
    // Decoder, in two passes over a frame: the NN cascade over all residuals in place, then the
    // predictor sample by sample (it needs the other channel's signal).
    void DecodeNN(std::span<std::int32_t> values, bool wideRounding);
    // The same for the two channels of a stereo frame, which have the same level.
    static void DecodeNNPair(ChannelPipeline& first, std::span<std::int32_t> firstValues,
                             ChannelPipeline& second, std::span<std::int32_t> secondValues,
                             bool wideRounding);
    [[gnu::always_inline]] std::int32_t DecodePredictor(std::int32_t e, std::int32_t y,
                                                        bool wideCombine) {
        const std::int32_t a = Wrap32(std::int64_t(e) + Predict(y, wideCombine));
        Adapt(e, a);
        const std::int32_t x = Wrap32(a + Scaled(xPrev_));
        xPrev_ = x;
        return x;
    }

private:
    static std::int32_t Wrap32(std::int64_t v) {
        return static_cast<std::int32_t>(static_cast<std::uint64_t>(v));
    }
    // Stage 1: a[t] = x[t] - 31/32 x[t-1], rounded down.
    static std::int64_t Scaled(std::int32_t previous) { return (31 * std::int64_t(previous)) >> 5; }
    static std::int64_t Sign(std::int64_t v) { return (v > 0) - (v < 0); }
    // Takes the other channel's signal y[t] into the B taps and predicts a[t].
    std::int64_t Predict(std::int32_t y, bool wideCombine);
    // Adapts the coefficients to the error e[t] and takes a[t] into the A taps.
    void Adapt(std::int32_t e, std::int32_t a);

    std::vector<NNFilter> filters_; // in encoder order
    std::int32_t xPrev_ = 0;
    std::int32_t yPrev_ = 0;
    // Taps, their signs and coefficients. Before step t: hA = a[t-1], then the differences
    // a[t-1] - a[t-2] .. a[t-3] - a[t-4]; hB = b[t-1], then b[t-1] - b[t-2] .. b[t-4] - b[t-5]
    // (Predict shifts b[t] in).
    std::int64_t hA_[4] = {};
    std::int64_t hB_[5] = {};
    std::int64_t sA_[4] = {};
    std::int64_t sB_[5] = {};
    std::int64_t cA_[4] = {};
    std::int64_t cB_[5] = {};
};

// Inline: the frame decoder's loop runs these once per sample and channel.
[[gnu::always_inline]] inline std::int64_t ChannelPipeline::Predict(std::int32_t y,
                                                                    bool wideCombine) {
    const std::int32_t b = Wrap32(y - Scaled(yPrev_));
    yPrev_ = y;
#pragma GCC unroll 5
    for (int k = 4; k > 1; --k) {
        hB_[k] = hB_[k - 1];
        sB_[k] = sB_[k - 1];
    }
    hB_[1] = std::int64_t(b) - hB_[0];
    sB_[1] = Sign(hB_[1]);
    hB_[0] = b;
    sB_[0] = Sign(b);
    std::int64_t predA = 0;
    std::int64_t predB = 0;
#pragma GCC unroll 5
    for (int k = 0; k < 4; ++k)
        predA += hA_[k] * cA_[k];
#pragma GCC unroll 5
    for (int k = 0; k < 5; ++k)
        predB += hB_[k] * cB_[k];
    if (wideCombine) return (predA + (predB >> 1)) >> 10;
    const std::uint32_t sum =
        static_cast<std::uint32_t>(Wrap32(predA)) + static_cast<std::uint32_t>(Wrap32(predB) >> 1);
    return static_cast<std::int32_t>(sum) >> 10;
}

[[gnu::always_inline]] inline void ChannelPipeline::Adapt(std::int32_t e, std::int32_t a) {
    const std::int64_t direction = Sign(e);
#pragma GCC unroll 5
    for (int k = 0; k < 4; ++k)
        cA_[k] += sA_[k] * direction;
#pragma GCC unroll 5
    for (int k = 0; k < 5; ++k)
        cB_[k] += sB_[k] * direction;
#pragma GCC unroll 5
    for (int k = 3; k > 1; --k) {
        hA_[k] = hA_[k - 1];
        sA_[k] = sA_[k - 1];
    }
    hA_[1] = std::int64_t(a) - hA_[0];
    sA_[1] = Sign(hA_[1]);
    hA_[0] = a;
    sA_[0] = Sign(a);
}

} // namespace macdll
