// The bytes of the configuration record the sink hands to lame_enc, the bit-rate mapping of the
// level, and the genre byte of the ID3v1 block.
#include "codecs/mp3/mp3_id3v1.h"
#include "codecs/mp3/mp3_settings.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

uint32_t At(const BE_CONFIG& config, size_t offset) {
    uint8_t bytes[sizeof(BE_CONFIG)];
    std::memcpy(bytes, &config, sizeof bytes);
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
           uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
}

} // namespace

TEST(MP3Settings, RecordBytes) {
    TMP3Settings settings;
    settings.bitRate = mbr320;
    BE_CONFIG config = BuildMp3Config(settings, 44100, 2);
    EXPECT_EQ(At(config, 0), 256u);
    EXPECT_EQ(At(config, 4), 1u);
    EXPECT_EQ(At(config, 8), 331u);
    EXPECT_EQ(At(config, 12), 44100u);
    EXPECT_EQ(At(config, 20), 0u);          // stereo
    EXPECT_EQ(At(config, 24), 320u);        // bit rate
    EXPECT_EQ(At(config, 60), 1u);          // original, on by default
    EXPECT_EQ(At(config, 64), 1u);          // an Info frame, as lame writes by default
    EXPECT_EQ(At(config, 68), 0u);          // no VBR
    EXPECT_EQ(At(config, 80), 2u);          // VBR method "new"
    EXPECT_EQ(At(config, 84), 0xFFFFFFFFu); // no bit reservoir
    EXPECT_EQ(At(config, 88), 0u);
    uint8_t bytes[sizeof(BE_CONFIG)];
    std::memcpy(bytes, &config, sizeof bytes);
    for (size_t i = 92; i < sizeof bytes; ++i)
        ASSERT_EQ(bytes[i], 0) << i;

    // A mono input is mono whatever the mode; dual channel goes out as stereo.
    settings.mode = mmJointStereo;
    EXPECT_EQ(At(BuildMp3Config(settings, 44100, 1), 20), 3u);
    EXPECT_EQ(At(BuildMp3Config(settings, 44100, 2), 20), 1u);
    settings.mode = mmDual;
    EXPECT_EQ(At(BuildMp3Config(settings, 44100, 2), 20), 0u);
    settings.mode = mmMono;
    EXPECT_EQ(At(BuildMp3Config(settings, 44100, 6), 20), 3u);
    EXPECT_EQ(EncoderChannels(settings, 6), 1);

    settings = {};
    settings.averageBitrate = mbr192;
    settings.maximumBitrate = mbr256;
    config = BuildMp3Config(settings, 48000, 2);
    EXPECT_EQ(At(config, 76), 192u);
    EXPECT_EQ(At(config, 80), 4u);
    EXPECT_EQ(At(config, 28), 256u);
    EXPECT_EQ(At(config, 64), 1u); // a Xing frame
    EXPECT_EQ(At(config, 72), 0u); // quality only counts with VBR

    settings = {};
    settings.enableVbr = true;
    settings.vbrQuality = mp3ql7;
    settings.crc = settings.copyright = settings.strictIso = settings.enableBitReservoir = true;
    settings.original = false;
    config = BuildMp3Config(settings, 32000, 2);
    EXPECT_EQ(At(config, 52), 1u);
    EXPECT_EQ(At(config, 56), 1u);
    EXPECT_EQ(At(config, 60), 0u);
    EXPECT_EQ(At(config, 64), 1u);
    EXPECT_EQ(At(config, 68), 1u);
    EXPECT_EQ(At(config, 72), 7u);
    EXPECT_EQ(At(config, 84), 0u);
    EXPECT_EQ(At(config, 88), 0xFFFFFFFFu);
}

TEST(MP3Settings, LevelRatesMapToTheirBitRates) {
    for (const int kbps : {80, 96, 112, 128, 144, 160, 192, 224, 256, 320})
        EXPECT_EQ(MP3BitRateKbps(MP3BitRateFromKbps(kbps)), kbps);
    EXPECT_EQ(MP3BitRateFromKbps(0), mbrAuto);
    EXPECT_EQ(MP3BitRateFromKbps(1000), mbr320);
    EXPECT_EQ(MP3BitRateFromKbps(36), mbr32); // a tie goes to the lower rate
    EXPECT_EQ(MP3BitRateFromKbps(150), mbr144);
}

TEST(MP3Id3v1, GenreByte) {
    TId3v1Tags tags;
    EXPECT_EQ(Id3v1GenreByte(tags), 255); // as constructed
    tags.SetGenre("Jazz");
    EXPECT_EQ(Id3v1GenreByte(tags), 8);
    tags.SetGenreId(0);
    EXPECT_EQ(Id3v1GenreByte(tags), 0); // Blues, when asked for
    tags.SetGenreId(200);
    EXPECT_EQ(Id3v1GenreByte(tags), 255);
    tags.Clear();
    EXPECT_EQ(Id3v1GenreByte(tags), 255);
    for (const auto& [text, expected] : {std::pair<const char*, int>{"Rock", 17},
                                         {" synthpop ", 147},
                                         {"(17)", 17},
                                         {"79", 79},
                                         {"148", 255},
                                         {"", 255},
                                         {"Vaporwave", 255}}) {
        tags.SetField("genre", TTagValue(text));
        EXPECT_EQ(Id3v1GenreByte(tags), expected) << text;
    }
}
