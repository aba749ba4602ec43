// TMACOut judged by FFmpeg: every level, width and channel count decodes to the source bytes (and
// so does TMACIn, with the stated length); higher levels give smaller files; the level setter;
// inputs the library cannot store are refused with the start message; an empty input; the APEv2
// items it writes.
#include "ape_test_support.h"

#include <filesystem>

using namespace apetest;
namespace fs = std::filesystem;

namespace {

struct Case {
    Format format;
    int level;
    uint32_t readBytes; // the source's own block size, not always whole frames of the sink
};

class MacOutRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTools()) GTEST_SKIP() << "needs sox and ffmpeg";
    }
    // Encodes, checks both decoders and returns the file size.
    uintmax_t RoundTrip(const Case& c, const std::vector<uint8_t>& pcm) {
        const std::string what = Describe(c.format) + " level " + std::to_string(c.level);
        SCOPED_TRACE(what);
        EXPECT_GT(pcm.size(), 20000u) << "sox made no audio";
        const std::string path = dir_ / (std::to_string(count_++) + ".ape");
        EXPECT_EQ(Encode(path, pcm, c.format, c.level, c.readBytes), "");
        EXPECT_TRUE(FfmpegDecode(path, c.format.bits) == pcm) << "FFmpeg differs";
        EXPECT_TRUE(Decode(path, 7001) == pcm) << "TMACIn differs";
        TMACIn source;
        source.SetFileName(path);
        EXPECT_EQ(source.GetChannels(), c.format.channels);
        EXPECT_EQ(source.GetBitsPerSample(), c.format.bits);
        EXPECT_EQ(source.GetSampleRate(), c.format.rate);
        const int64_t frames = int64_t(pcm.size()) / (c.format.channels * c.format.bits / 8);
        EXPECT_EQ(source.GetTotalSamples(), frames);
        EXPECT_EQ(source.GetTotalTime(), frames / c.format.rate);
        EXPECT_LT(fs::file_size(path), pcm.size());
        return fs::file_size(path);
    }
    TempDir dir_;
    int count_ = 0;
};

} // namespace

// Every level at every width and channel count, the source handing over pieces of odd sizes
// (24-bit stereo frames do not divide the 64 KiB transfer buffer); extra high beats fast.
TEST_F(MacOutRoundTrip, EveryLevelWidthAndChannelCountIsLossless) {
    const uint32_t readBytes[] = {8192, 65536, 4410, 1000, 8192};
    for (const int bits : {8, 16, 24}) {
        for (const int channels : {1, 2}) {
            const Format f{channels, bits, bits == 8 ? 22050 : bits == 24 ? 48000 : 44100};
            const std::vector<uint8_t> pcm = MusicPcm(f);
            ASSERT_FALSE(pcm.empty());
            uintmax_t fast = 0;
            for (int i = 0; i < 5; ++i) {
                const uintmax_t size = RoundTrip({f, 1000 * (i + 1), readBytes[i]}, pcm);
                if (i == 0) fast = size;
                if (i == 3) {
                    EXPECT_LT(size, fast) << Describe(f);
                }
            }
        }
    }
}

TEST(MacOut, CompressionLevelKeepsOnlyTheFiveLevels) {
    TMACOut sink;
    EXPECT_EQ(sink.CompressionLevel(), 2000);
    EXPECT_EQ(sink.MaxAudioBytes(), -1);
    for (const int level : {1000, 2000, 3000, 4000, 5000}) {
        sink.SetCompressionLevel(level);
        EXPECT_EQ(sink.CompressionLevel(), level);
    }
    for (const int level : {2500, 0, -1, 6000, 999}) {
        sink.SetCompressionLevel(5000);
        sink.SetCompressionLevel(level);
        EXPECT_EQ(sink.CompressionLevel(), 2000) << level;
    }
}

TEST(MacOut, InputsTheLibraryCannotStoreAreRefusedAtStart) {
    TempDir dir;
    const struct {
        Format format;
        std::string text;
    } refused[] = {{{3, 16, 44100}, "input file unsupported channel count"},
                   {{2, 32, 44100}, "input file unsupported bit depth"}};
    for (const auto& [format, text] : refused) {
        const std::string path = dir / ("refused" + std::to_string(format.channels) + ".ape");
        std::vector<uint8_t> pcm(size_t(format.channels) * format.bits / 8 * 4410, 0x11);
        TMACOut sink;
        EXPECT_EQ(Encode(path, pcm, format, 2000, 8192, &sink),
                  "Error starting APECompress.\r\n" + text);
        // The sink made the file, so the caller may remove it (the driver does).
        EXPECT_TRUE(sink.OutputCreated());
        EXPECT_EQ(fs::file_size(path), 0u);
    }
}

TEST(MacOut, AnExistingFileIsNeverWrittenOver) {
    TempDir dir;
    const std::string path = dir / "taken.ape";
    WriteFileBytes(path, {'k', 'e', 'e', 'p'});
    TMACOut sink;
    const Format f;
    EXPECT_NE(Encode(path, std::vector<uint8_t>(4000, 0), f, 2000, 8192, &sink), "");
    EXPECT_FALSE(sink.OutputCreated());
    EXPECT_EQ(ReadFileBytes(path), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
}

TEST(MacOut, AnEmptyInputGivesAFinishedFileWithNoAudio) {
    TempDir dir;
    const std::string path = dir / "empty.ape";
    EXPECT_EQ(Encode(path, {}, Format{}, 2000), "");
    ASSERT_TRUE(fs::exists(path));
    TMACIn source;
    source.SetFileName(path);
    EXPECT_TRUE(source.FileValid());
    EXPECT_EQ(source.GetChannels(), 2);
    EXPECT_TRUE(ReadAll(source).empty());
    EXPECT_FALSE(source.Damaged());
}

TEST(MacOut, WritesItsApev2ItemsAndNoTagWhenNoneWasSet) {
    if (!HaveTools()) GTEST_SKIP() << "needs sox and ffmpeg";
    TempDir dir;
    const Format f{1, 16, 44100};
    const std::vector<uint8_t> pcm = MusicPcm(f, 0.5);
    TMACOut sink;
    ASSERT_EQ(Encode(dir / "plain.ape", pcm, f, 2000, 8192, &sink), "");
    const std::string plain = RunCommand("ffprobe -v error -show_entries format_tags -of compact " +
                                         Quote(dir / "plain.ape"))
                                  .output;
    EXPECT_EQ(plain.find("tag:"), std::string::npos) << plain;

    // The same sink, used again as the driver does, now with tags.
    const std::string title = "Ünïcode — 日本語 and a title of sixty characters, to end!";
    sink.APEv2Tags().SetTitle(title);
    sink.APEv2Tags().SetArtist("Artist");
    sink.APEv2Tags().SetAlbum("Album");
    sink.APEv2Tags().SetGenre("Genre");
    sink.APEv2Tags().SetYear("2024");
    sink.APEv2Tags().SetTrack("3");
    sink.APEv2Tags().SetComment("Comment");
    ASSERT_EQ(Encode(dir / "tagged.ape", pcm, f, 2000, 8192, &sink), "");
    const std::vector<std::string> lines =
        Lines(RunCommand("ffprobe -v error -show_entries format_tags -of default=nw=1 " +
                         Quote(dir / "tagged.ape"))
                  .output);
    for (const std::string& expected :
         {"TAG:Title=" + title, std::string("TAG:Artist=Artist"), std::string("TAG:Album=Album"),
          std::string("TAG:Genre=Genre"), std::string("TAG:Year=2024"), std::string("TAG:Track=3"),
          std::string("TAG:Comment=Comment")})
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    // The tag follows the audio, which is untouched.
    EXPECT_TRUE(FfmpegDecode(dir / "tagged.ape", 16) == pcm);
}
