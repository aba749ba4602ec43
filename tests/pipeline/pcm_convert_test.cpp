// Width conversion against exact values, at the extremes of every width.
#include "pipeline/pcm_convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(Pcm, ToInt32KeepsEveryWidthLosslessly) {
    const std::vector<uint8_t> u8 = {0, 128, 255};
    std::vector<int32_t> out(3);
    Pcm::ToInt32(u8, 8, out);
    EXPECT_EQ(out, (std::vector<int32_t>{-128, 0, 127}));

    const std::vector<uint8_t> s16 = {0x00, 0x80, 0xFF, 0x7F, 0xFF, 0xFF};
    Pcm::ToInt32(s16, 16, out);
    EXPECT_EQ(out, (std::vector<int32_t>{-32768, 32767, -1}));

    const std::vector<uint8_t> s24 = {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x00};
    Pcm::ToInt32(s24, 24, out);
    EXPECT_EQ(out, (std::vector<int32_t>{-8388608, 8388607, 1}));

    const std::vector<uint8_t> s32 = {0,    0,    0,    0x80, 0xFF, 0xFF,
                                      0xFF, 0x7F, 0xFE, 0xFF, 0xFF, 0xFF};
    Pcm::ToInt32(s32, 32, out);
    EXPECT_EQ(out, (std::vector<int32_t>{INT32_MIN, INT32_MAX, -2}));
}

TEST(Pcm, ToInt16ScalesInsteadOfReinterpreting) {
    std::vector<int16_t> out(3);
    const std::vector<uint8_t> u8 = {0, 128, 255};
    Pcm::ToInt16(u8, 8, out);
    EXPECT_EQ(out, (std::vector<int16_t>{-32768, 0, 32512}));

    // 24-bit: full scale, a value that rounds up, and the top that must clamp after rounding.
    const std::vector<uint8_t> s24 = {0x00, 0x00, 0x80, 0x80, 0x01, 0x00, 0xFF, 0xFF, 0x7F};
    Pcm::ToInt16(s24, 24, out);
    EXPECT_EQ(out, (std::vector<int16_t>{-32768, 2, 32767}));

    const std::vector<uint8_t> s32 = {0, 0, 0, 0x80, 0, 0, 0, 0x40, 0xFF, 0xFF, 0xFF, 0x7F};
    Pcm::ToInt16(s32, 32, out);
    EXPECT_EQ(out, (std::vector<int16_t>{-32768, 16384, 32767}));
}

TEST(Pcm, NarrowingRoundsToTheNearestAndClampsTheTop) {
    // 32 to 24 bits: full-scale negative, 0x17F (rounds down), 0x180 (half, rounds up), -0x181
    // (rounds to -2), and the largest value, which rounds past the top and clamps.
    std::vector<int32_t> in = {INT32_MIN, 0x17F, 0x180, -0x181, INT32_MAX};
    std::vector<uint8_t> s32(in.size() * 4);
    Pcm::FromInt32(in, 32, s32);
    std::vector<int32_t> out(in.size());
    Pcm::ToInt32Narrowed(s32, 32, 24, out);
    EXPECT_EQ(out, (std::vector<int32_t>{-8388608, 1, 2, -2, 8388607}));
    // Not narrower: unchanged.
    Pcm::ToInt32Narrowed(s32, 32, 32, out);
    EXPECT_EQ(out, in);
}

TEST(Pcm, FloatRoundTripsThroughEveryWidth) {
    for (int bits : {8, 16, 24}) {
        std::vector<int32_t> values;
        const int32_t top = (1 << (bits - 1)) - 1;
        for (int32_t v : {-top - 1, -top, -1, 0, 1, top / 3, top})
            values.push_back(v);
        std::vector<uint8_t> pcm(values.size() * bits / 8);
        Pcm::FromInt32(values, bits, pcm);
        std::vector<float> floats(values.size());
        Pcm::ToFloat(pcm, bits, floats);
        EXPECT_EQ(floats.front(), -1.0f);
        std::vector<uint8_t> back(pcm.size());
        Pcm::FromFloat(floats, bits, back);
        EXPECT_EQ(back, pcm) << bits << "-bit";
    }
}

TEST(Pcm, PackingClampsAndIgnoresAShortBuffer) {
    const std::vector<int32_t> values = {40000, -40000, 5};
    std::vector<uint8_t> out(5, 0xAA); // room for two 16-bit samples only
    Pcm::FromInt32(values, 16, out);
    EXPECT_EQ(out, (std::vector<uint8_t>{0xFF, 0x7F, 0x00, 0x80, 0xAA}));
    const std::vector<float> loud = {2.0f, -2.0f, std::nanf("")};
    std::vector<uint8_t> s8(3);
    Pcm::FromFloat(loud, 8, s8);
    EXPECT_EQ(s8, (std::vector<uint8_t>{255, 0, 128}));
}
