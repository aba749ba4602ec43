// The NN filter's inner loop in each instruction set, and the run-time choice between them: AVX2
// when the processor has it, else SSE2 (the x86-64 baseline), else plain C++.
#pragma once

#include <cstdint>

namespace macdll {

// One pass over n taps (n a multiple of 16): the dot product sum(coef[j] * hist[j]) modulo 2^32
// and the update coef[j] -= direction * adapt[j] (direction -1, 0 or 1; coefficients wrap at 16
// bits). Decoding takes the dot with the old coefficients; encoding, which learns the direction
// only after the dot, applies the previous step's update first.
using NNPass = std::int32_t (*)(std::int16_t* coef, const std::int16_t* hist,
                                const std::int16_t* adapt, int n, int direction);

struct NNKernel {
    NNPass decode;
    NNPass encode;
};

enum class Simd { Plain, Sse2, Avx2 };

// The best this processor runs.
Simd BestSimd();
// The kernel filters made from now on use: BestSimd(), unless QUILLMERE_MACDLL_SIMD names
// another (plain, sse2 or avx2) at load time, or ChooseSimd changed it.
Simd ActiveSimd();
// Returns false, changing nothing, when the processor cannot run `simd`.
bool ChooseSimd(Simd simd);
const NNKernel& KernelOf(Simd simd);

// The instruction-set variants, where the target has them (nn_kernels_x86.cpp).
const NNKernel* Sse2Kernel();
const NNKernel* Avx2Kernel();
bool CpuHasAvx2();

} // namespace macdll
