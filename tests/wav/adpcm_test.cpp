// The ADPCM block decoders and the IMA encoder on hand-built blocks, and the float rule.
#include "tests/wav/wav_test_support.h"
#include "wav/ima_adpcm.h"
#include "wav/ms_adpcm.h"
#include "wav/wave_float.h"
#include "wav/wave_header.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

std::vector<int16_t> DecodeIma(const std::vector<uint8_t>& block, int channels) {
    std::vector<uint8_t> out(16384);
    const auto bytes = ImaAdpcm::DecodeBlock(block, channels, out);
    EXPECT_TRUE(bytes.has_value());
    out.resize(bytes.value_or(0));
    return Samples16(out);
}

const std::vector<std::array<int16_t, 2>> kStandardCoefficients{
    {256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};

std::vector<int16_t> DecodeMs(const std::vector<uint8_t>& block, int channels,
                              uint32_t samplesPerBlock,
                              const std::vector<std::array<int16_t, 2>>& coefficients) {
    std::vector<uint8_t> out(16384);
    const auto bytes = MsAdpcm::DecodeBlock(block, channels, samplesPerBlock, coefficients, out);
    EXPECT_TRUE(bytes.has_value());
    out.resize(bytes.value_or(0));
    return Samples16(out);
}

std::vector<int16_t> Sine(size_t frames, int channels, double amplitude) {
    std::vector<int16_t> samples(frames * channels);
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[i * channels + c] = int16_t(
                std::lround(amplitude * (c ? -1 : 1) * std::sin(double(i) * (0.06 + 0.05 * c))));
    return samples;
}

} // namespace

TEST(ImaAdpcm, DecodesLowNibbleFirstWithTheStandardStep) {
    // Predictor 0, index 0; code 7 gives +11 (index 8), then code 15 gives -30.
    EXPECT_EQ(DecodeIma({0, 0, 0, 0, 0xF7}, 1), (std::vector<int16_t>{0, 11, -19}));
}

TEST(ImaAdpcm, PredictorIsClampedTo32767BothWays) {
    // At the largest step every code overshoots.
    EXPECT_EQ(DecodeIma({0xF8, 0x7F, 88, 0, 0x77}, 1), (std::vector<int16_t>{32760, 32767, 32767}));
    EXPECT_EQ(DecodeIma({0x08, 0x80, 88, 0, 0xFF}, 1),
              (std::vector<int16_t>{-32760, -32767, -32767}));
}

TEST(ImaAdpcm, StereoGroupsGiveFourBytesToEachChannel) {
    Bytes block;
    block.U16(100).U16(0).U16(uint16_t(-100)).U16(0);
    block.Fill(4, 0x00).Fill(4, 0x77);
    const auto out = DecodeIma(block.data, 2);
    ASSERT_EQ(out.size(), 18u);
    for (size_t i = 0; i < out.size(); i += 2)
        EXPECT_EQ(out[i], 100) << i;
    EXPECT_EQ(out[1], -100);
    EXPECT_EQ(out[3], -89);
    EXPECT_GT(out[17], out[15]);
}

TEST(ImaAdpcm, DamagedBlocksAndSmallBuffersAreRefused) {
    std::vector<uint8_t> out(16384);
    EXPECT_FALSE(ImaAdpcm::DecodeBlock(std::vector<uint8_t>{0, 0, 0}, 1, out));
    EXPECT_FALSE(ImaAdpcm::DecodeBlock(std::vector<uint8_t>(7, 0), 2, out));
    EXPECT_FALSE(ImaAdpcm::DecodeBlock(std::vector<uint8_t>{0, 0, 89, 0, 0x12}, 1, out));
    EXPECT_FALSE(ImaAdpcm::DecodeBlock(std::vector<uint8_t>(256, 0), 3, out));
    // A block that decodes to 1017 samples does not fit in 2000 bytes.
    std::vector<uint8_t> small(2000);
    EXPECT_FALSE(ImaAdpcm::DecodeBlock(std::vector<uint8_t>(512, 0), 1, small));
    std::vector<uint8_t> enough(2034);
    EXPECT_EQ(ImaAdpcm::DecodeBlock(std::vector<uint8_t>(512, 0), 1, enough), 2034u);
}

TEST(ImaAdpcm, EncoderOutputDecodesCloseToItsInputAcrossBlocks) {
    for (int channels : {1, 2}) {
        const uint16_t blockSize = 256;
        const size_t framesPerBlock = ImaFramesPerBlock(blockSize, uint16_t(channels));
        const auto input = Sine(framesPerBlock * 6, channels, 12000);
        std::array<int, 2> stepIndex{};
        std::vector<int16_t> decoded;
        for (size_t b = 0; b < 6; ++b) {
            std::vector<uint8_t> block(blockSize);
            ImaAdpcm::EncodeBlock(
                std::span(input).subspan(b * framesPerBlock * channels, framesPerBlock * channels),
                channels, block, stepIndex);
            // The header starts each block at its first input frame.
            EXPECT_EQ(int16_t(block[0] | block[1] << 8), input[b * framesPerBlock * channels]);
            const auto part = DecodeIma(block, channels);
            decoded.insert(decoded.end(), part.begin(), part.end());
        }
        ASSERT_EQ(decoded.size(), input.size());
        // Past the first block the step has adapted: every sample within a few percent.
        int worst = 0;
        for (size_t i = framesPerBlock * channels; i < input.size(); ++i)
            worst = std::max(worst, std::abs(decoded[i] - input[i]));
        EXPECT_LT(worst, 400) << channels;
    }
}

TEST(MsAdpcm, DecodesHeaderSamplesThenHighNibbleFirst) {
    Bytes block;
    block.Fill(1, 0).U16(16).U16(100).U16(50).Fill(1, 0x1F);
    EXPECT_EQ(DecodeMs(block.data, 1, 4, kStandardCoefficients),
              (std::vector<int16_t>{50, 100, 116, 100}));
}

TEST(MsAdpcm, PredictionIsTruncatedTowardZero) {
    Bytes block;
    block.Fill(1, 0).U16(16).U16(uint16_t(-300)).U16(0).Fill(1, 0x00);
    // -300 / 256 = -1.17 gives -1 and then -1 / 256 gives 0, both toward zero (flooring
    // would give -2 and -1).
    EXPECT_EQ(DecodeMs(block.data, 1, 4, {{1, 0}}), (std::vector<int16_t>{0, -300, -1, 0}));
}

TEST(MsAdpcm, StereoBytesCarryLeftInTheHighNibble) {
    Bytes block;
    block.Fill(2, 0).U16(16).U16(32).U16(10).U16(20).U16(1).U16(2).Fill(1, 0x1F);
    EXPECT_EQ(DecodeMs(block.data, 2, 3, kStandardCoefficients),
              (std::vector<int16_t>{1, 2, 10, 20, 26, -12}));
}

TEST(MsAdpcm, GrowingDeltaSaturatesWithoutOverflow) {
    Bytes block;
    block.Fill(1, 1).U16(30000).U16(30000).U16(30000).Fill(2000, 0x77);
    const auto out = DecodeMs(block.data, 1, 4002, kStandardCoefficients);
    ASSERT_EQ(out.size(), 4002u);
    EXPECT_EQ(out.back(), 32767);
}

TEST(MsAdpcm, DamagedAndShortBlocks) {
    std::vector<uint8_t> out(16384);
    Bytes badIndex;
    badIndex.Fill(1, 7).U16(16).U16(0).U16(0).Fill(10, 0);
    EXPECT_FALSE(MsAdpcm::DecodeBlock(badIndex.data, 1, 22, kStandardCoefficients, out));
    EXPECT_FALSE(
        MsAdpcm::DecodeBlock(std::vector<uint8_t>(6, 0), 1, 22, kStandardCoefficients, out));
    std::vector<uint8_t> small(100);
    EXPECT_FALSE(
        MsAdpcm::DecodeBlock(std::vector<uint8_t>(256, 0), 1, 500, kStandardCoefficients, small));
    // A final block cut after two data bytes still gives its header samples and four more.
    Bytes cut;
    cut.Fill(1, 0).U16(16).U16(0).U16(0).Fill(2, 0x11);
    EXPECT_EQ(DecodeMs(cut.data, 1, 500, kStandardCoefficients).size(), 6u);
}

TEST(WaveFloat, TheIntegerRuleAtItsEdges) {
    EXPECT_EQ(WaveFloat::ToInt32(1.0), 2147483647);
    EXPECT_EQ(WaveFloat::ToInt32(1.5), 2147483647);
    EXPECT_EQ(WaveFloat::ToInt32(-1.0), -2147483647 - 1);
    EXPECT_EQ(WaveFloat::ToInt32(-7.0), -2147483647 - 1);
    EXPECT_EQ(WaveFloat::ToInt32(0.0), 0);
    EXPECT_EQ(WaveFloat::ToInt32(0.5), 1073741823);
    EXPECT_EQ(WaveFloat::ToInt32(-0.5), -1073741824); // floor, not truncation
    EXPECT_EQ(WaveFloat::ToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(WaveFloat, DoublesArePackedIntoTheFirstHalf) {
    Bytes doubles;
    for (double x : {0.25, -1.0, 1.0, -0.125}) {
        const auto bits = std::bit_cast<uint64_t>(x);
        doubles.U32(uint32_t(bits)).U32(uint32_t(bits >> 32));
    }
    EXPECT_EQ(WaveFloat::ConvertInPlace(doubles.data, false), 16u);
    const auto expected = Bytes{}
                              .U32(uint32_t(WaveFloat::ToInt32(0.25)))
                              .U32(0x80000000u)
                              .U32(0x7FFFFFFFu)
                              .U32(uint32_t(WaveFloat::ToInt32(-0.125)))
                              .data;
    EXPECT_EQ(std::vector<uint8_t>(doubles.data.begin(), doubles.data.begin() + 16), expected);

    Bytes singles;
    singles.U32(std::bit_cast<uint32_t>(0.75f)).U32(std::bit_cast<uint32_t>(-2.0f));
    EXPECT_EQ(WaveFloat::ConvertInPlace(singles.data, true), 8u);
    EXPECT_EQ(singles.data, Bytes{}.U32(uint32_t(WaveFloat::ToInt32(0.75))).U32(0x80000000u).data);
}
