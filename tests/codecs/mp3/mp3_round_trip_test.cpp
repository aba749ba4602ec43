// The MP3 source feeding the MP3 sink through the pump, as a conversion runs them: audio and
// the common tags carried into the ID3v1 block.
#include "codecs/mp3/mp3_out.h"
#include "codecs/mpg123/mpg_in.h"
#include "tests/codecs/mp3/mp3_test_support.h"
#include "tests/support/run_sink.h"

#include <gtest/gtest.h>

using namespace mp3test;

namespace {

std::string LameFile(const TempDir& dir, const std::string& options, const std::string& name,
                     double seconds = 2.0) {
    const std::string wav = dir / (name + ".wav"), mp3 = dir / name;
    RunCommand("sox -q -n -r 44100 -c 2 -b 16 " + Quote(wav) + " synth " + std::to_string(seconds) +
               " sine 440 sine 660 gain -6");
    RunCommand("lame --quiet " + options + " " + Quote(wav) + " " + Quote(mp3));
    return mp3;
}

} // namespace

TEST(MP3RoundTrip, AudioAndCommonTagsReachTheNewFile) {
    TempDir dir;
    const std::string input = LameFile(
        dir, "-b 192 --add-id3v2 --tt Title --ta Artist --tl Album --ty 2001 --tn 4 --tg Rock",
        "in.mp3");
    TMpgIn source;
    source.SetFileName(input);
    ASSERT_TRUE(source.FileValid()); // opens the file and reads its tags
    TMP3Out sink;
    sink.SetFileName(dir / "out.mp3");
    sink.SetBitRate(mbr160);
    sink.SetId3v1Tags(source.CommonTags()); // what the driver does with "copy tags"
    ASSERT_EQ(RunSink(sink, source).error, "");
    EXPECT_FALSE(source.Damaged());

    const std::vector<uint8_t> out = ReadFileBytes(dir / "out.mp3");
    ASSERT_GE(out.size(), 128u);
    const std::vector<uint8_t> block(out.end() - 128, out.end());
    EXPECT_EQ(std::string(block.begin(), block.begin() + 8), std::string("TAGTitle"));
    EXPECT_EQ(std::string(block.begin() + 33, block.begin() + 39), "Artist");
    EXPECT_EQ(std::string(block.begin() + 63, block.begin() + 68), "Album");
    EXPECT_EQ(std::string(block.begin() + 93, block.begin() + 97), "2001");
    EXPECT_EQ(block[126], 4);
    EXPECT_EQ(block[127], 17);

    const Decoded original = DecodeWithMpg123(input, dir);
    const Decoded copy = DecodeWithMpg123(dir / "out.mp3", dir);
    ASSERT_EQ(copy.channels, 2);
    EXPECT_NEAR(double(copy.Frames()), double(original.Frames()), 2 * 1152);
    EXPECT_GT(BestSnr(original.Channel(0), copy.Channel(0), 3000), 20.0);

    // Read back by our own source: the tag frame and the block cost no audio.
    TMpgIn again;
    again.SetFileName(dir / "out.mp3");
    EXPECT_EQ(again.GetTotalSamples(), int64_t(copy.Frames()));
    EXPECT_EQ(again.Id3v1Tags().Title(), "Title");
    EXPECT_EQ(again.CommonTags().Track(), "4");
}
