// The level table for all seven targets.
#include "app/converter/level_settings.h"

#include <gtest/gtest.h>

TEST(LevelSettings, Mp3BitRatesFollowTheSlider) {
    const int expected[] = {80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
    for (int l = 1; l <= 10; ++l)
        EXPECT_EQ(LevelSettingsFor("MP3", l).mp3BitRateKbps, expected[l - 1]);
}

TEST(LevelSettings, WindowsMediaPartsFromMp3AfterLevel7AndIsLosslessAt10) {
    const int expected[] = {80, 96, 112, 128, 144, 160, 192, 256, 320};
    for (int l = 1; l <= 9; ++l) {
        const auto s = LevelSettingsFor("WMA", l);
        EXPECT_EQ(s.wmaBitRateKbps, expected[l - 1]);
        EXPECT_FALSE(s.wmaLossless);
        EXPECT_FALSE(s.wmaVbr);
    }
    for (int l = 1; l <= 7; ++l)
        EXPECT_EQ(LevelSettingsFor("WMA", l).wmaBitRateKbps,
                  LevelSettingsFor("MP3", l).mp3BitRateKbps);
    const auto top = LevelSettingsFor("WMA", 10);
    EXPECT_TRUE(top.wmaLossless);
    EXPECT_EQ(top.wmaBitRateKbps, 0); // the sink keeps its own rate
}

TEST(LevelSettings, VorbisQualityIsTheLevelInTenths) {
    for (int l = 1; l <= 10; ++l)
        EXPECT_FLOAT_EQ(LevelSettingsFor("OGG", l).vorbisQuality, l / 10.0f);
}

TEST(LevelSettings, FlacLevelIsTwoBelowTheSliderFromLevel3) {
    const int expected[] = {0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    for (int l = 1; l <= 10; ++l)
        EXPECT_EQ(LevelSettingsFor("FLAC", l).flacLevel, expected[l - 1]);
}

TEST(LevelSettings, MonkeysAudioAndWavPackBands) {
    const int ape[] = {1000, 1000, 1000, 2000, 2000, 2000, 3000, 3000, 3000, 4000};
    const TWavPackLevel wv[] = {TWavPackLevel::Fast,     TWavPackLevel::Fast,
                                TWavPackLevel::Fast,     TWavPackLevel::Fast,
                                TWavPackLevel::High,     TWavPackLevel::High,
                                TWavPackLevel::High,     TWavPackLevel::VeryHigh,
                                TWavPackLevel::VeryHigh, TWavPackLevel::VeryHigh};
    for (int l = 1; l <= 10; ++l) {
        EXPECT_EQ(LevelSettingsFor("APE", l).apeLevel, ape[l - 1]);
        EXPECT_EQ(LevelSettingsFor("WavePack", l).wavPackLevel, wv[l - 1]);
        EXPECT_FALSE(LevelSettingsFor("WavePack", l).wavPackHybrid);
    }
}

TEST(LevelSettings, WavTakesNothingAndLevelsOutsideTheSliderAreClamped) {
    const auto wav = LevelSettingsFor("WAV", 7);
    EXPECT_EQ(wav.mp3BitRateKbps, 0);
    EXPECT_EQ(wav.flacLevel, 0);
    EXPECT_EQ(LevelSettingsFor("MP3", 0).mp3BitRateKbps, 80);
    EXPECT_EQ(LevelSettingsFor("MP3", 42).mp3BitRateKbps, 320);
    // The source form of the WavPack descriptor is not a target.
    EXPECT_EQ(LevelSettingsFor("WavPack", 9).wavPackLevel, TWavPackLevel::Fast);
}
