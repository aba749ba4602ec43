// The plain NN kernel and the choice of kernel; see nn_kernels.h.
#include "platform/macdll/nn_kernels.h"

#include <atomic>
#include <cstdlib>
#include <string_view>

namespace macdll {
namespace {

// Blocks of 16 taps with no aliasing between the arrays: a shape compilers vectorise for any
// target on their own.
template <bool updateFirst>
std::int32_t PlainPass(std::int16_t* __restrict coef, const std::int16_t* __restrict hist,
                       const std::int16_t* __restrict adapt, int n, int direction) {
    const std::int32_t mul = -direction;
    std::uint32_t sum = 0;
    for (int block = 0; block < n; block += 16) {
        for (int j = block; j < block + 16; ++j) {
            std::int16_t c = coef[j];
            if (updateFirst) c = std::int16_t(c + mul * adapt[j]);
            sum += static_cast<std::uint32_t>(std::int32_t(c) * std::int32_t(hist[j]));
            if (!updateFirst) c = std::int16_t(c + mul * adapt[j]);
            coef[j] = c;
        }
    }
    return static_cast<std::int32_t>(sum);
}

constexpr NNKernel kPlain = {PlainPass<false>, PlainPass<true>};

bool Runs(Simd simd) {
    switch (simd) {
    case Simd::Avx2:
        return Avx2Kernel() != nullptr && CpuHasAvx2();
    case Simd::Sse2:
        return Sse2Kernel() != nullptr;
    default:
        return true;
    }
}

Simd InitialSimd() {
    const char* name = std::getenv("QUILLMERE_MACDLL_SIMD");
    const std::string_view wanted = name != nullptr ? name : "";
    for (const auto& [text, simd] : {std::pair{"plain", Simd::Plain}, std::pair{"sse2", Simd::Sse2},
                                     std::pair{"avx2", Simd::Avx2}})
        if (wanted == text && Runs(simd)) return simd;
    return BestSimd();
}

std::atomic<Simd>& Active() {
    static std::atomic<Simd> active{InitialSimd()};
    return active;
}

} // namespace

Simd BestSimd() {
    for (const Simd simd : {Simd::Avx2, Simd::Sse2})
        if (Runs(simd)) return simd;
    return Simd::Plain;
}

Simd ActiveSimd() {
    return Active().load(std::memory_order_relaxed);
}

bool ChooseSimd(Simd simd) {
    if (!Runs(simd)) return false;
    Active().store(simd, std::memory_order_relaxed);
    return true;
}

const NNKernel& KernelOf(Simd simd) {
    if (simd == Simd::Avx2 && Runs(simd)) return *Avx2Kernel();
    if (simd == Simd::Sse2 && Runs(simd)) return *Sse2Kernel();
    return kPlain;
}

#if !defined(__x86_64__)
const NNKernel* Sse2Kernel() {
    return nullptr;
}
const NNKernel* Avx2Kernel() {
    return nullptr;
}
bool CpuHasAvx2() {
    return false;
}
#endif

} // namespace macdll
