// The per-channel prediction pipeline: the fixed first-order filter, the adaptive 4+5-tap
// predictor with its second ("B") input, and the cascade of NN filters of a compression level.
#pragma once

#include "platform/macdll/nn_filter.h"

#include <cstdint>
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
    void DecodeNN(std::int32_t* values, std::size_t count, bool wideRounding);
    std::int32_t DecodePredictor(std::int32_t e, std::int32_t y, bool wideCombine);

private:
    struct History {
        std::int64_t hA[4];
        std::int64_t hB[5];
    };
    History Taps(std::int32_t b) const;
    std::int64_t Predict(const History& h, bool wideCombine) const;
    void Adapt(const History& h, std::int32_t e, std::int32_t a, std::int32_t b);
    std::int32_t FilterB(std::int32_t y);

    std::vector<NNFilter> filters_; // in encoder order
    std::int32_t xPrev_ = 0;
    std::int32_t yPrev_ = 0;
    std::int32_t a_[4] = {}; // a[t-1] .. a[t-4]
    std::int32_t b_[4] = {}; // b[t-1] .. b[t-4]
    std::int64_t cA_[4] = {};
    std::int64_t cB_[5] = {};
};

} // namespace macdll
