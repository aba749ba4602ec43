// One adaptive NN filter of the prediction cascade (order N, shift s): a sign-sign LMS filter on
// 16-bit saturated history with 16-bit wrapping coefficients.
#pragma once

#include "platform/macdll/nn_kernels.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <vector>

namespace macdll {

// Storage on 32-byte boundaries, so that a vector of coefficients never straddles cache lines.
template <class T> struct Aligned32 {
    using value_type = T;
    Aligned32() = default;
    template <class U> Aligned32(const Aligned32<U>&) {}
    T* allocate(std::size_t n) {
        return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(32)));
    }
    void deallocate(T* p, std::size_t) { ::operator delete(p, std::align_val_t(32)); }
    template <class U> bool operator==(const Aligned32<U>&) const { return true; }
};

class NNFilter {
public:
    // newAdaptation: the adaptation rule of versions 3980 and later.
    NNFilter(int order, int shift, bool newAdaptation);
    void Reset();
    // Decoder: residuals in, signals out, in place. wideRounding keeps the rounding addition in
    // 64 bits.
    void Decode(std::span<std::int32_t> values, bool wideRounding);
    // The same for two independent channels of equal length, sample by sample in turn: one
    // channel's arithmetic overlaps the wait for the other's stores to reach the cache.
    static void DecodePair(NNFilter& first, std::span<std::int32_t> firstValues, NNFilter& second,
                           std::span<std::int32_t> secondValues, bool wideRounding);
    // Encoder: signal in, residual out (always the wide rounding; versions 3980 and later).
    std::int32_t Encode(std::int32_t signal);

private:
    std::int32_t Round(std::int32_t dot, bool wide) const;
    std::int32_t DecodeOne(std::int32_t residual, bool wideRounding);
    void Push(std::int32_t signal);

    // Ages of the adaptation values that each step halves (versions 3980 and later).
    static constexpr int kHalvedAges[3] = {1, 2, 8};

    const NNKernel* kernel_; // chosen when the filter is made
    int order_;
    int shift_;
    bool newAdaptation_;
    int start_; // first window position: order + 1, so the encoder can look one step back
    std::vector<std::int16_t, Aligned32<std::int16_t>> coef_;
    // Sliding windows of history and adaptation values: positions [pos_ - order_, pos_) are the
    // current taps; the window slides back to the start when full.
    std::vector<std::int16_t> hist_;
    std::vector<std::int16_t> adapt_;
    int pos_ = 0;
    std::int64_t avg_ = 0;
    // Encoder: the coefficient update still owed from the previous step, and what that step's
    // halving removed from the adaptation values it used.
    int pendingDirection_ = 0;
    std::int16_t halvedBy_[3] = {};
};

} // namespace macdll
