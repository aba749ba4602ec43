// The level mapping of every target.
#include "app/converter/level_settings.h"

#include <gtest/gtest.h>

TEST(LevelSettings, LossyTargetsFollowTheSlider) {
    const int mp3[] = {80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
    const int wma[] = {80, 96, 112, 128, 144, 160, 192, 256, 320};
    for (int l = 1; l <= 10; ++l) {
        EXPECT_EQ(Levels::Mp3BitRateKbps(l), mp3[l - 1]);
        EXPECT_FLOAT_EQ(Levels::VorbisQuality(l), l / 10.0f);
        const auto w = Levels::Wma(l);
        EXPECT_FALSE(w.vbr);
        EXPECT_EQ(w.lossless, l == 10);
        EXPECT_EQ(w.bitRateKbps, l == 10 ? 0 : wma[l - 1]); // lossless keeps the sink's rate
    }
}

TEST(LevelSettings, LosslessTargetsInBands) {
    const int flac[] = {0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    const int ape[] = {1000, 1000, 1000, 2000, 2000, 2000, 3000, 3000, 3000, 4000};
    const TWavPackLevel wv[] = {TWavPackLevel::Fast,     TWavPackLevel::Fast,
                                TWavPackLevel::Fast,     TWavPackLevel::Fast,
                                TWavPackLevel::High,     TWavPackLevel::High,
                                TWavPackLevel::High,     TWavPackLevel::VeryHigh,
                                TWavPackLevel::VeryHigh, TWavPackLevel::VeryHigh};
    for (int l = 1; l <= 10; ++l) {
        EXPECT_EQ(Levels::FlacCompression(l), flac[l - 1]);
        EXPECT_EQ(Levels::ApeCompression(l), ape[l - 1]);
        EXPECT_EQ(Levels::WavPack(l).level, wv[l - 1]);
        EXPECT_FALSE(Levels::WavPack(l).hybrid);
    }
}

TEST(LevelSettings, LevelsOutsideTheSliderAreClamped) {
    EXPECT_EQ(Levels::Mp3BitRateKbps(0), 80);
    EXPECT_EQ(Levels::Mp3BitRateKbps(42), 320);
    EXPECT_EQ(Levels::FlacCompression(-3), 0);
    EXPECT_TRUE(Levels::Wma(11).lossless);
    EXPECT_EQ(Levels::ApeCompression(99), 4000);
}
