// Converting between FLAC and Ogg Vorbis through the common tags keeps title, artist, album,
// genre, date and track number, and the audio's length.
#include "../../support/run_sink.h"
#include "codecs/flac/flac_in.h"
#include "codecs/flac/flac_out.h"
#include "codecs/vorbis/vorbis_in.h"
#include "codecs/vorbis/vorbis_out.h"
#include "vorbis_test_support.h"

#include <gtest/gtest.h>

namespace {

void ExpectTags(const TCommonTags& tags) {
    EXPECT_EQ(tags.Title(), "Song \xC3\xA9");
    EXPECT_EQ(tags.Artist(), "Band");
    EXPECT_EQ(tags.Album(), "Record");
    EXPECT_EQ(tags.Genre(), "Rock");
    EXPECT_EQ(tags.Year(), "2004");
    EXPECT_EQ(tags.Track(), "9");
}

const char* kComments = "TITLE=Song\\ \xC3\xA9 ARTIST=Band ALBUM=Record GENRE=Rock DATE=2004 "
                        "TRACKNUMBER=9";

std::string Options(const std::string& flag) {
    std::string options;
    std::string comment;
    for (const char* p = kComments;; ++p) {
        if (*p == ' ' && (p == kComments || p[-1] != '\\')) {
            options += " " + flag + " " + comment;
            comment.clear();
        } else if (*p == '\0') {
            options += " " + flag + " " + comment;
            break;
        } else {
            comment += *p;
        }
    }
    return options;
}

} // namespace

TEST(FlacVorbisTags, FlacToOggAndBackKeepsTheCommonTags) {
    TempDir dir;
    const std::string wav = dir / "tone.wav";
    ASSERT_EQ(RunCommand("sox -n -r 44100 -c 2 -b 16 " + Quote(wav) +
                         " synth 1.5 sine 440 sine 660 vol 0.5 2>/dev/null")
                  .status,
              0);
    ASSERT_EQ(RunCommand("flac -s -f" + Options("-T") + " -o " + Quote(dir / "src.flac") + " " +
                         Quote(wav))
                  .status,
              0);

    TFLACIn flacIn;
    flacIn.SetFileName(dir / "src.flac");
    ASSERT_TRUE(flacIn.FileValid());
    ExpectTags(flacIn.CommonTags());
    const int64_t frames = flacIn.GetTotalSamples();
    TVorbisOut oggOut;
    oggOut.SetCommonTags(flacIn.CommonTags());
    oggOut.SetFileName(dir / "mid.ogg");
    ASSERT_EQ(RunSink(oggOut, flacIn).error, "");

    TVorbisIn oggIn;
    oggIn.SetFileName(dir / "mid.ogg");
    ASSERT_TRUE(oggIn.FileValid());
    ExpectTags(oggIn.CommonTags());
    EXPECT_EQ(oggIn.GetTotalSamples(), frames);
    TFLACOut flacOut;
    flacOut.SetCompressionLevel(5);
    flacOut.SetCommonTags(oggIn.CommonTags());
    flacOut.SetFileName(dir / "back.flac");
    ASSERT_EQ(RunSink(flacOut, oggIn).error, "");

    TFLACIn back;
    back.SetFileName(dir / "back.flac");
    ASSERT_TRUE(back.FileValid());
    ExpectTags(back.CommonTags());
    EXPECT_EQ(back.GetTotalSamples(), frames);

    // The same tags made by oggenc reach a FLAC file too.
    ASSERT_EQ(
        RunCommand("oggenc -Q" + Options("-c") + " -o " + Quote(dir / "ref.ogg") + " " + Quote(wav))
            .status,
        0);
    TVorbisIn reference;
    reference.SetFileName(dir / "ref.ogg");
    ASSERT_TRUE(reference.FileValid());
    ExpectTags(reference.CommonTags());
}
