// NN filter; the dot product and the coefficient update run over int16 lanes (SSE2 where
// available, else a loop the compiler can vectorise).
#include "platform/macdll/nn_filter.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace macdll {
namespace {

constexpr int kWindow = 512;

std::int16_t Saturate16(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, -32768, 32767));
}

// One pass over the taps: the dot product sum(coef[j] * hist[j]) modulo 2^32 and the update
// coef[j] -= direction * adapt[j] (direction -1, 0 or 1; coefficients wrap at 16 bits). The
// decoder takes the dot with the old coefficients (updateFirst false); the encoder, which learns
// the direction only after the dot, applies the previous step's update first.
template <bool updateFirst>
std::int32_t DotAndAdapt(std::int16_t* coef, const std::int16_t* hist, const std::int16_t* adapt,
                         int n, int direction) {
#if defined(__SSE2__)
    __m128i sum0 = _mm_setzero_si128();
    __m128i sum1 = _mm_setzero_si128();
    const __m128i sign = _mm_set1_epi16(direction > 0 ? -1 : 0);
    const __m128i mask = _mm_set1_epi16(direction != 0 ? -1 : 0);
    for (int j = 0; j < n; j += 16) {
        __m128i c0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + j));
        __m128i c1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + j + 8));
        const __m128i h0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hist + j));
        const __m128i h1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hist + j + 8));
        // a * mul for mul in {-1, 0, 1}: (a ^ sign) - sign, masked to zero when mul is 0.
        __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(adapt + j));
        __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(adapt + j + 8));
        a0 = _mm_and_si128(_mm_sub_epi16(_mm_xor_si128(a0, sign), sign), mask);
        a1 = _mm_and_si128(_mm_sub_epi16(_mm_xor_si128(a1, sign), sign), mask);
        if (updateFirst) {
            c0 = _mm_add_epi16(c0, a0);
            c1 = _mm_add_epi16(c1, a1);
        }
        sum0 = _mm_add_epi32(sum0, _mm_madd_epi16(c0, h0));
        sum1 = _mm_add_epi32(sum1, _mm_madd_epi16(c1, h1));
        if (!updateFirst) {
            c0 = _mm_add_epi16(c0, a0);
            c1 = _mm_add_epi16(c1, a1);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + j), c0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + j + 8), c1);
    }
    __m128i sum = _mm_add_epi32(sum0, sum1);
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(sum);
#else
    const std::int32_t mul = -direction;
    std::uint32_t sum = 0;
    for (int j = 0; j < n; ++j) {
        std::int16_t c = coef[j];
        if (updateFirst) c = std::int16_t(c + mul * adapt[j]);
        sum += static_cast<std::uint32_t>(std::int32_t(c) * std::int32_t(hist[j]));
        if (!updateFirst) c = std::int16_t(c + mul * adapt[j]);
        coef[j] = c;
    }
    return static_cast<std::int32_t>(sum);
#endif
}

int Sign(std::int32_t v) {
    return (v > 0) - (v < 0);
}

} // namespace

NNFilter::NNFilter(int order, int shift, bool newAdaptation)
    : order_(order), shift_(shift), newAdaptation_(newAdaptation), start_(order + 1), coef_(order),
      hist_(start_ + kWindow), adapt_(start_ + kWindow) {
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

std::int32_t NNFilter::Decode(std::int32_t residual, bool wideRounding) {
    const int base = pos_ - order_;
    const std::int32_t dot = DotAndAdapt<false>(coef_.data(), hist_.data() + base,
                                                adapt_.data() + base, order_, Sign(residual));
    const std::int32_t signal =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(residual) +
                                  static_cast<std::uint32_t>(Round(dot, wideRounding)));
    Push(signal);
    return signal;
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
    const std::int32_t dot = DotAndAdapt<true>(coef_.data(), hist_.data() + base,
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
        std::int16_t step = 0;
        if (magnitude == 0)
            step = 0;
        else if (magnitude > 3 * avg_)
            step = 32;
        else if (magnitude > avg_ + avg_ / 3)
            step = 16;
        else
            step = 8;
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
