// SSE2 and AVX2 NN kernels (see nn_kernels.h). The direction is fixed per pass, so each variant
// is a template on it: no update for 0, a plain add or subtract of the adaptation values else.
#include "platform/macdll/nn_kernels.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace macdll {
namespace {

#define QM_AVX2 __attribute__((target("avx2")))

// coef - direction * adapt, in 8 lanes (SSE2) or 16 lanes (AVX2).
template <int direction> __m128i Step(__m128i c, __m128i a) {
    if (direction > 0) return _mm_sub_epi16(c, a);
    if (direction < 0) return _mm_add_epi16(c, a);
    return c;
}
template <int direction> QM_AVX2 __m256i Step(__m256i c, __m256i a) {
    if (direction > 0) return _mm256_sub_epi16(c, a);
    if (direction < 0) return _mm256_add_epi16(c, a);
    return c;
}

template <bool updateFirst, int direction>
std::int32_t Sse2Pass(std::int16_t* coef, const std::int16_t* hist, const std::int16_t* adapt,
                      int n) {
    __m128i sum = _mm_setzero_si128();
    for (int j = 0; j < n; j += 8) {
        auto* at = reinterpret_cast<__m128i*>(coef + j);
        __m128i c = _mm_loadu_si128(at);
        const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hist + j));
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(adapt + j));
        if (updateFirst) c = Step<direction>(c, a);
        sum = _mm_add_epi32(sum, _mm_madd_epi16(c, h));
        if (!updateFirst) c = Step<direction>(c, a);
        if (direction != 0) _mm_storeu_si128(at, c);
    }
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(sum);
}

template <bool updateFirst, int direction>
QM_AVX2 std::int32_t Avx2Pass(std::int16_t* coef, const std::int16_t* hist,
                              const std::int16_t* adapt, int n) {
    __m256i sum = _mm256_setzero_si256();
    for (int j = 0; j < n; j += 16) {
        auto* at = reinterpret_cast<__m256i*>(coef + j);
        __m256i c = _mm256_loadu_si256(at);
        const __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(hist + j));
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(adapt + j));
        if (updateFirst) c = Step<direction>(c, a);
        sum = _mm256_add_epi32(sum, _mm256_madd_epi16(c, h));
        if (!updateFirst) c = Step<direction>(c, a);
        if (direction != 0) _mm256_storeu_si256(at, c);
    }
    __m128i half = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    half = _mm_add_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(1, 0, 3, 2)));
    half = _mm_add_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(half);
}

template <bool updateFirst>
std::int32_t Sse2(std::int16_t* coef, const std::int16_t* hist, const std::int16_t* adapt, int n,
                  int direction) {
    if (direction > 0) return Sse2Pass<updateFirst, 1>(coef, hist, adapt, n);
    if (direction < 0) return Sse2Pass<updateFirst, -1>(coef, hist, adapt, n);
    return Sse2Pass<updateFirst, 0>(coef, hist, adapt, n);
}

template <bool updateFirst>
QM_AVX2 std::int32_t Avx2(std::int16_t* coef, const std::int16_t* hist, const std::int16_t* adapt,
                          int n, int direction) {
    if (direction > 0) return Avx2Pass<updateFirst, 1>(coef, hist, adapt, n);
    if (direction < 0) return Avx2Pass<updateFirst, -1>(coef, hist, adapt, n);
    return Avx2Pass<updateFirst, 0>(coef, hist, adapt, n);
}

constexpr NNKernel kSse2 = {Sse2<false>, Sse2<true>};
constexpr NNKernel kAvx2 = {Avx2<false>, Avx2<true>};

} // namespace

const NNKernel* Sse2Kernel() {
    return &kSse2;
}

const NNKernel* Avx2Kernel() {
    return &kAvx2;
}

bool CpuHasAvx2() {
    return __builtin_cpu_supports("avx2");
}

} // namespace macdll
#endif
