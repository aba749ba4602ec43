// The NN filter's SIMD kernels against the plain C++ one: the same dot products and coefficients
// on random taps, and the same files and samples at every level.
#include "platform/macdll/compressor.h"
#include "platform/macdll/decompressor.h"
#include "platform/macdll/nn_kernels.h"
#include "tests/platform/macdll/macdll_test_support.h"

#include <random>

using namespace apetest;

namespace {

struct Coded {
    std::vector<std::uint8_t> file;
    std::vector<std::uint8_t> decoded;
};

// Encodes and decodes with the kernel `simd` through the core's classes.
Coded RoundTrip(const Pcm& pcm, int level, macdll::Simd simd, const std::string& path) {
    EXPECT_TRUE(macdll::ChooseSimd(simd));
    std::unique_ptr<macdll::Compressor> compressor;
    const macdll::AudioFormat format{std::uint32_t(pcm.rate), pcm.bits, pcm.channels};
    EXPECT_EQ(macdll::Compressor::Start(path, format, -1, level, {}, compressor), 0);
    EXPECT_EQ(compressor->Add(pcm.bytes), 0);
    EXPECT_EQ(compressor->Finish({}), 0);
    compressor.reset();
    Coded coded{ReadFileBytes(path), {}};
    std::unique_ptr<macdll::Decompressor> decompressor;
    std::string message;
    EXPECT_EQ(macdll::Decompressor::Open(path, decompressor, message), 0) << message;
    if (decompressor == nullptr) return coded;
    std::vector<std::uint8_t> buffer(4097 * pcm.BlockAlign());
    std::uint64_t got = 0;
    while (decompressor->GetData(buffer.data(), 4097, got) == 0 && got > 0)
        coded.decoded.insert(coded.decoded.end(), buffer.begin(),
                             buffer.begin() + std::ptrdiff_t(got * pcm.BlockAlign()));
    return coded;
}

TEST(MacDllSimd, EveryKernelComputesAndCodesExactlyAsThePlainOne) {
    std::vector<macdll::Simd> kernels;
    for (const macdll::Simd simd : {macdll::Simd::Sse2, macdll::Simd::Avx2})
        if (macdll::ChooseSimd(simd)) kernels.push_back(simd);
#if defined(__x86_64__)
    ASSERT_FALSE(kernels.empty()) << "SSE2 is part of x86-64";
#endif
    const macdll::Simd best = macdll::BestSimd();

    // Random taps with the extremes, so that products and sums wrap, at every filter order.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> any(-32768, 32767);
    const auto draw = [&](std::size_t n) {
        std::vector<std::int16_t> v(n);
        for (std::int16_t& x : v)
            x = std::int16_t(random() % 5 == 0 ? (random() % 2 ? 32767 : -32768) : any(random));
        return v;
    };
    const macdll::NNKernel& plain = macdll::KernelOf(macdll::Simd::Plain);
    for (const macdll::Simd simd : kernels) {
        const macdll::NNKernel& kernel = macdll::KernelOf(simd);
        for (const int order : {16, 32, 64, 256, 1280}) {
            for (int round = 0; round < 30; ++round) {
                const auto hist = draw(std::size_t(order));
                const auto adapt = draw(std::size_t(order));
                auto coefPlain = draw(std::size_t(order));
                auto coefSimd = coefPlain;
                const int direction = round % 3 - 1;
                const bool encode = round % 2 == 1;
                const auto pass = [&](const macdll::NNKernel& k, std::vector<std::int16_t>& c) {
                    return (encode ? k.encode : k.decode)(c.data(), hist.data(), adapt.data(),
                                                          order, direction);
                };
                ASSERT_EQ(pass(kernel, coefSimd), pass(plain, coefPlain))
                    << "order " << order << " direction " << direction << " encode " << encode;
                ASSERT_TRUE(coefSimd == coefPlain) << "order " << order;
            }
        }
    }

    if (!HaveTool("sox")) GTEST_SKIP() << "needs sox for the files";
    // Whole files: odd lengths end frames and the filters' history windows anywhere.
    const Pcm inputs[] = {
        SoxPcm("synth 1.3 pluck C4 pluck E4 synth 1.3 sine mix 60-12000 trim 0 57331s", 16, 2),
        SoxPcm("synth 0.7 pinknoise vol 0.9 trim 0 30871s", 24, 1),
        SoxPcm("synth 0.4 whitenoise vol 0.99 trim 0 17641s", 8, 2),
        SoxPcm("synth 0.2 square 440 vol 1.0 trim 0 8191s", 16, 2)};
    TempDir dir;
    for (const Pcm& pcm : inputs) {
        ASSERT_FALSE(pcm.bytes.empty());
        for (const int level : {1000, 2000, 3000, 4000, 5000}) {
            SCOPED_TRACE(std::to_string(pcm.bits) + "-bit " + std::to_string(pcm.channels) +
                         " channels, " + std::to_string(pcm.Blocks()) + " blocks, level " +
                         std::to_string(level));
            const Coded reference = RoundTrip(pcm, level, macdll::Simd::Plain, dir / "plain.ape");
            EXPECT_TRUE(reference.decoded == pcm.bytes) << "plain kernel loses samples";
            for (const macdll::Simd simd : kernels) {
                const Coded coded = RoundTrip(pcm, level, simd, dir / "simd.ape");
                EXPECT_TRUE(coded.file == reference.file) << "kernel " << int(simd);
                EXPECT_TRUE(coded.decoded == reference.decoded) << "kernel " << int(simd);
            }
        }
    }
    macdll::ChooseSimd(best);
}

} // namespace
