// NN filter; the dot product and the coefficient update run in the kernel of nn_kernels.h.
#include "platform/macdll/nn_filter.h"

#include <algorithm>
#include <cstring>

namespace macdll {
namespace {

constexpr int kWindow = 512;

std::int16_t Saturate16(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, -32768, 32767));
}

int Sign(std::int32_t v) {
    return (v > 0) - (v < 0);
}

} // namespace

NNFilter::NNFilter(int order, int shift, bool newAdaptation)
    : kernel_(&KernelOf(ActiveSimd())), order_(order), shift_(shift), newAdaptation_(newAdaptation),
      start_(order + 1), coef_(order), hist_(start_ + kWindow), adapt_(start_ + kWindow) {
    Reset();
}

void NNFilter::Reset() {
    std::fill(coef_.begin(), coef_.end(), 0);
    std::fill(hist_.begin(), hist_.end(), 0);
    std::fill(adapt_.begin(), adapt_.end(), 0);
    pos_ = start_;
    avg_ = 0;
    pendingDirection_ = 0;
}

std::int32_t NNFilter::Round(std::int32_t dot, bool wide) const {
    if (wide) return static_cast<std::int32_t>((std::int64_t(dot) + (1 << (shift_ - 1))) >> shift_);
    const std::uint32_t sum = static_cast<std::uint32_t>(dot) + (1u << (shift_ - 1));
    return static_cast<std::int32_t>(sum) >> shift_;
}

std::int32_t NNFilter::DecodeOne(std::int32_t residual, bool wideRounding) {
    const int base = pos_ - order_;
    const std::int32_t dot = kernel_->decode(coef_.data(), hist_.data() + base,
                                             adapt_.data() + base, order_, Sign(residual));
    const std::int32_t signal =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(residual) +
                                  static_cast<std::uint32_t>(Round(dot, wideRounding)));
    Push(signal);
    return signal;
}

void NNFilter::Decode(std::span<std::int32_t> values, bool wideRounding) {
    for (std::int32_t& value : values)
        value = DecodeOne(value, wideRounding);
}

void NNFilter::DecodePair(NNFilter& first, std::span<std::int32_t> firstValues, NNFilter& second,
                          std::span<std::int32_t> secondValues, bool wideRounding) {
    for (std::size_t i = 0; i < firstValues.size(); ++i) {
        firstValues[i] = first.DecodeOne(firstValues[i], wideRounding);
        secondValues[i] = second.DecodeOne(secondValues[i], wideRounding);
    }
}

std::int32_t NNFilter::Encode(std::int32_t signal) {
    const int base = pos_ - order_;
    // The previous step's update used its window (one position back) before that step's
    // halving; the kernel sees the halved values, so add back what the halving took.
    if (pendingDirection_ != 0) {
        for (int k = 0; k < 3; ++k) {
            std::int16_t& c = coef_[order_ - kHalvedAges[k]];
            c = std::int16_t(c - pendingDirection_ * halvedBy_[k]);
        }
    }
    const std::int32_t dot = kernel_->encode(coef_.data(), hist_.data() + base,
                                             adapt_.data() + base - 1, order_, pendingDirection_);
    const std::int32_t residual = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(signal) - static_cast<std::uint32_t>(Round(dot, true)));
    pendingDirection_ = Sign(residual);
    Push(signal);
    return residual;
}

void NNFilter::Push(std::int32_t signal) {
    if (newAdaptation_) {
        const std::int64_t magnitude = signal < 0 ? -std::int64_t(signal) : std::int64_t(signal);
        // 8, 16 or 32 as the magnitude passes 4/3 and 3 times the average (0 for silence),
        // without branches: the choice is as random as the audio.
        const int larger = int(magnitude > avg_ + avg_ / 3) + int(magnitude > 3 * avg_);
        const int step = magnitude == 0 ? 0 : 8 << larger;
        adapt_[pos_] = std::int16_t(signal > 0 ? -step : step);
        avg_ += (magnitude - avg_) / 16;
        for (int k = 0; k < 3; ++k) {
            std::int16_t& a = adapt_[pos_ - kHalvedAges[k]];
            const std::int16_t halved = std::int16_t(a >> 1);
            halvedBy_[k] = std::int16_t(a - halved);
            a = halved;
        }
    } else {
        adapt_[pos_] = signal == 0 ? 0 : (signal < 0 ? 4 : -4);
        adapt_[pos_ - 4] >>= 1;
        adapt_[pos_ - 8] >>= 1;
    }
    hist_[pos_] = Saturate16(signal);
    if (++pos_ == start_ + kWindow) {
        std::memmove(hist_.data(), hist_.data() + kWindow, start_ * sizeof(std::int16_t));
        std::memmove(adapt_.data(), adapt_.data() + kWindow, start_ * sizeof(std::int16_t));
        pos_ = start_;
    }
}

} // namespace macdll
