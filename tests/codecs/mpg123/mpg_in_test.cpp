// TMpgIn against mpg123 itself: files made by lame and ffmpeg decode to the same samples and
// count as `mpg123 -w` gives, their tags arrive in our tag objects, and junk after the audio
// is no damage (cut and damaged copies: tests/codecs/damage).
#include "codecs/mpg123/mpg_in.h"
#include "pipeline/au_exception.h"
#include "tests/codecs/mp3/mp3_test_support.h"
#include "tests/support/bytes.h"
#include "tests/support/decode_checks.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace mp3test;

namespace {

struct Read {
    std::vector<int16_t> samples;
    std::string error;
};

// Everything the source delivers, as the pump would pull it, as samples.
Read ReadAll(TMpgIn& source, uint32_t blockBytes = 10000) {
    const ::Decoded decoded = DecodeAll(source, blockBytes);
    return {Samples16(decoded.pcm), decoded.error};
}

// A few seconds of two tones with a click now and then, so that misaligned samples show.
std::string MakeWave(const TempDir& dir, int rate, int channels, double seconds,
                     const std::string& name = "in.wav") {
    const std::string wav = dir / name;
    const std::string synth = channels == 1
                                  ? "synth " + std::to_string(seconds) + " sine 440"
                                  : "synth " + std::to_string(seconds) + " sine 440 sine 660";
    RunCommand("sox -q -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
               " -b 16 " + Quote(wav) + " " + synth + " tremolo 3 60 gain -6");
    return wav;
}

std::string Lame(const TempDir& dir, const std::string& wav, const std::string& options,
                 const std::string& name) {
    const std::string mp3 = dir / name;
    const auto result =
        RunCommand("lame --quiet " + options + " " + Quote(wav) + " " + Quote(mp3) + " 2>&1");
    EXPECT_EQ(result.status, 0) << result.output;
    return mp3;
}

void ExpectDecodesLikeMpg123(const TempDir& dir, const std::string& mp3) {
    const auto reference = DecodeWithMpg123(mp3, dir);
    ASSERT_GT(reference.Frames(), 0u);
    TMpgIn source;
    source.SetFileName(mp3);
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.GetBitsPerSample(), 16);
    EXPECT_EQ(source.GetChannels(), reference.channels);
    EXPECT_EQ(source.GetSampleRate(), reference.rate);
    EXPECT_EQ(source.GetTotalSamples(), int64_t(reference.Frames()));
    const Read read = ReadAll(source);
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(read.samples.size(), reference.samples.size());
    EXPECT_TRUE(read.samples == reference.samples) << "samples differ from mpg123's";
    EXPECT_FALSE(source.Damaged());
}

} // namespace

TEST(MpgIn, FilesMadeByLameDecodeToMpg123sSamplesAndCount) {
    TempDir dir;
    const std::string stereo44 = MakeWave(dir, 44100, 2, 3.3, "s44.wav");
    const std::string mono32 = MakeWave(dir, 32000, 1, 2.1, "m32.wav");
    const std::string stereo48 = MakeWave(dir, 48000, 2, 2.7, "s48.wav");
    const std::string stereo22 = MakeWave(dir, 22050, 2, 1.9, "s22.wav");
    const std::string mono8 = MakeWave(dir, 8000, 1, 1.3, "m8.wav");
    struct Case {
        std::string wav, options, name;
    };
    for (const Case& c :
         {Case{stereo44, "-b 128", "cbr.mp3"}, Case{stereo44, "-t -b 192", "cbr_without_tag.mp3"},
          Case{stereo48, "-V 2", "vbr48.mp3"}, Case{mono32, "-m m -b 64", "mono32.mp3"},
          Case{stereo22, "--abr 64", "abr22.mp3"},
          Case{mono8, "-t -m m -b 16", "mono8_without_tag.mp3"},
          // A tag larger than many input chunks before the first frame.
          Case{stereo22, "-b 64 --tt T --add-id3v2 --pad-id3v2-size 40000", "big_tag.mp3"}}) {
        SCOPED_TRACE(c.name);
        ExpectDecodesLikeMpg123(dir, Lame(dir, c.wav, c.options, c.name));
    }
}

TEST(MpgIn, SmallReadsAndAStreamHandedOverDeliverTheSame) {
    TempDir dir;
    const std::string mp3 = Lame(dir, MakeWave(dir, 44100, 2, 2.0), "-b 160", "a.mp3");
    const auto reference = DecodeWithMpg123(mp3, dir);

    TMpgIn small;
    small.SetFileName(mp3);
    EXPECT_TRUE(ReadAll(small, 6).samples == reference.samples);

    // Without a name there is no scan, but the LAME tag still gives the exact length.
    TAuFileStream stream(mp3, fmOpenRead);
    TMpgIn streamed;
    streamed.SetStream(&stream);
    EXPECT_EQ(streamed.GetTotalSamples(), int64_t(reference.Frames()));
    EXPECT_TRUE(ReadAll(streamed).samples == reference.samples);

    // A stream without a LAME tag has no exact length: none is announced, and all of it comes.
    const std::string plain = Lame(dir, MakeWave(dir, 44100, 2, 2.0), "-t -b 160", "p.mp3");
    TAuFileStream plainStream(plain, fmOpenRead);
    TMpgIn unsized;
    unsized.SetStream(&plainStream);
    EXPECT_EQ(unsized.GetTotalSamples(), -1);
    EXPECT_TRUE(ReadAll(unsized).samples == DecodeWithMpg123(plain, dir).samples);
}

TEST(MpgIn, SeekingLandsOnTheSampleAsked) {
    TempDir dir;
    const std::string mp3 = Lame(dir, MakeWave(dir, 44100, 2, 4.0), "-b 128", "a.mp3");
    const auto reference = DecodeWithMpg123(mp3, dir);
    for (const int64_t start : {int64_t(0), int64_t(1), int64_t(44100), int64_t(100000)}) {
        SCOPED_TRACE(start);
        TMpgIn source;
        source.SetFileName(mp3);
        source.SetStartSample(start);
        const Read read = ReadAll(source);
        ASSERT_EQ(read.error, "");
        const std::vector<int16_t> expected(reference.samples.begin() + start * 2,
                                            reference.samples.end());
        EXPECT_EQ(read.samples.size(), expected.size());
        EXPECT_TRUE(read.samples == expected);
    }
    // Back and forth while reading.
    TMpgIn source;
    source.SetFileName(mp3);
    source.Init();
    const uint8_t* buffer = nullptr;
    uint32_t bytes = 4000;
    source.GetData(buffer, bytes);
    ASSERT_TRUE(source.Seek(22050));
    bytes = 4000;
    source.GetData(buffer, bytes);
    ASSERT_EQ(bytes, 4000u);
    EXPECT_EQ(std::memcmp(buffer, reference.samples.data() + 22050 * 2, bytes), 0);
    EXPECT_EQ(source.Position(), 22050 * 4 + 4000);
    ASSERT_TRUE(source.Seek(0));
    bytes = 4000;
    source.GetData(buffer, bytes);
    ASSERT_EQ(bytes, 4000u);
    EXPECT_EQ(std::memcmp(buffer, reference.samples.data(), bytes), 0);
    source.Flush();
}

TEST(MpgIn, TagsWrittenByLameArriveInTheTagObjects) {
    TempDir dir;
    const std::string wav = MakeWave(dir, 44100, 2, 1.0);
    const std::string tags =
        "--tt \"Some Title\" --ta \"The Artist\" --tl \"An Album\" --ty 1987 --tn 3/12 --tg Jazz";
    struct Case {
        std::string options, name;
        bool v1, v2;
    };
    for (const Case& c :
         {Case{"--add-id3v2", "both.mp3", true, true}, Case{"--id3v1-only", "v1.mp3", true, false},
          Case{"--id3v2-only", "v2.mp3", false, true}}) {
        SCOPED_TRACE(c.name);
        const std::string mp3 = Lame(dir, wav, "-b 128 " + tags + " " + c.options, c.name);
        TMpgIn source;
        source.SetFileName(mp3);
        ASSERT_TRUE(source.FileValid());
        const TCommonTags& common = source.CommonTags();
        EXPECT_EQ(common.Title(), "Some Title");
        EXPECT_EQ(common.Artist(), "The Artist");
        EXPECT_EQ(common.Album(), "An Album");
        EXPECT_EQ(common.Year(), "1987");
        EXPECT_EQ(common.Track(), c.v2 ? "3/12" : "3");
        EXPECT_EQ(common.Genre(), "Jazz");
        EXPECT_EQ(source.Id3v2Tags().Title(), "Some Title");
        if (c.v1) {
            EXPECT_EQ(source.Id3v1Tags().Title(), "Some Title");
            EXPECT_EQ(source.Id3v1Tags().Year(), 1987);
            EXPECT_EQ(source.Id3v1Tags().Track(), 3);
            EXPECT_EQ(source.Id3v1Tags().Genre(), "Jazz");
        } else {
            EXPECT_EQ(source.Id3v1Tags().Title(), "");
        }
        // The tags cost no audio.
        EXPECT_EQ(ReadAll(source).samples.size(), DecodeWithMpg123(mp3, dir).samples.size());
    }
}

TEST(MpgIn, Id3v24TagsFromFfmpegAndFilesWithoutTags) {
    TempDir dir;
    const std::string mp3 = dir / "ff.mp3";
    RunCommand("ffmpeg -v error -f lavfi -i sine=f=440:d=1 -c:a libmp3lame -b:a 128k "
               "-id3v2_version 4 -metadata title=Tïtle -metadata artist=Ärtist "
               "-metadata album=Album -metadata date=2011 -metadata track=5 "
               "-metadata genre=Rock " +
               Quote(mp3));
    TMpgIn source;
    source.SetFileName(mp3);
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.CommonTags().Title(), "Tïtle");
    EXPECT_EQ(source.CommonTags().Artist(), "Ärtist");
    EXPECT_EQ(source.CommonTags().Year(), "2011");
    EXPECT_EQ(source.CommonTags().Track(), "5");
    EXPECT_EQ(source.CommonTags().Genre(), "Rock");
    ExpectDecodesLikeMpg123(dir, mp3);

    const std::string bare = Lame(dir, MakeWave(dir, 44100, 1, 0.5), "-b 64", "bare.mp3");
    TMpgIn plain;
    plain.SetFileName(bare);
    ASSERT_TRUE(plain.FileValid());
    EXPECT_TRUE(plain.Id3v2Tags().Empty());
    EXPECT_EQ(plain.CommonTags().Title(), "");
    EXPECT_TRUE(plain.CommonTags().GetField("Title").IsText()); // present, and empty
}

TEST(MpgIn, HandBuiltTagsTheLibraryHandsOver) {
    TempDir dir;
    const std::vector<uint8_t> audio =
        ReadFileBytes(Lame(dir, MakeWave(dir, 44100, 1, 0.5), "-t -b 64", "bare.mp3"));
    // ID3v2.3: TIT2 in UTF-16 with a byte-order mark, TCON as a reference into the ID3v1 list.
    std::vector<uint8_t> frames;
    auto frame = [&](const char* id, std::vector<uint8_t> body) {
        frames.insert(frames.end(), id, id + 4);
        const size_t size = body.size();
        for (int shift : {24, 16, 8, 0})
            frames.push_back(uint8_t(size >> shift));
        frames.push_back(0);
        frames.push_back(0);
        frames.insert(frames.end(), body.begin(), body.end());
    };
    frame("TIT2", {1, 0xFF, 0xFE, 'U', 0, 0xF1, 0, 'i', 0, 0, 0});
    frame("TCON", {0, '(', '1', '7', ')'});
    frame("TRCK", {0, '9'});
    std::vector<uint8_t> file = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, uint8_t(frames.size())};
    file.insert(file.end(), frames.begin(), frames.end());
    file.insert(file.end(), audio.begin(), audio.end());
    // And an ID3v1 block whose year is no number.
    std::vector<uint8_t> v1(128, 0);
    std::memcpy(v1.data(), "TAGv1 title", 11);
    std::memcpy(v1.data() + 93, "19x7", 4);
    v1[127] = 255;
    file.insert(file.end(), v1.begin(), v1.end());
    const std::string path = dir / "hand.mp3";
    WriteFileBytes(path, file);

    TMpgIn source;
    source.SetFileName(path);
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.Id3v2Tags().Title(), "U\xC3\xB1i");
    EXPECT_EQ(source.CommonTags().Genre(), "Rock");
    EXPECT_EQ(source.CommonTags().Track(), "9");
    EXPECT_EQ(source.Id3v1Tags().Title(), "v1 title");
    EXPECT_EQ(source.Id3v1Tags().Year(), 0);
    EXPECT_EQ(ReadAll(source).samples.size(), DecodeWithMpg123(path, dir).samples.size());

    // ID3v2.2 with three-letter frames, and ID3v2.4 with UTF-8 text and a footer.
    const std::vector<uint8_t> v22Frames = {'T', 'T', '2', 0,   0,   10,  0,   'O',
                                            'l', 'd', ' ', 't', 'i', 't', 'l', 'e',
                                            'T', 'R', 'K', 0,   0,   2,   0,   '2'};
    std::vector<uint8_t> v22 = {'I', 'D', '3', 2, 0, 0, 0, 0, 0, uint8_t(v22Frames.size())};
    v22.insert(v22.end(), v22Frames.begin(), v22Frames.end());
    const std::vector<uint8_t> v24Frames = {'T', 'I', 'T', '2', 0,    0,    0,  5,
                                            0,   0,   3,   'N', 0xC3, 0xA9, 'w'};
    std::vector<uint8_t> v24 = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 0, uint8_t(v24Frames.size())};
    v24.insert(v24.end(), v24Frames.begin(), v24Frames.end());
    const std::vector<uint8_t> footer = {'3',  'D', 'I', 4, 0,
                                         0x10, 0,   0,   0, uint8_t(v24Frames.size())};
    v24.insert(v24.end(), footer.begin(), footer.end());
    for (const auto& [tag, title, track] :
         {std::tuple{v22, "Old title", "2"}, std::tuple{v24, "N\xC3\xA9w", ""}}) {
        std::vector<uint8_t> tagged = tag;
        tagged.insert(tagged.end(), audio.begin(), audio.end());
        const std::string taggedPath = dir / "tagged.mp3";
        WriteFileBytes(taggedPath, tagged);
        TMpgIn reader;
        reader.SetFileName(taggedPath);
        ASSERT_TRUE(reader.FileValid());
        EXPECT_EQ(reader.CommonTags().Title(), title);
        EXPECT_EQ(reader.CommonTags().Track(), track);
        EXPECT_EQ(ReadAll(reader).samples.size(), DecodeWithMpg123(taggedPath, dir).samples.size());
    }
}

// Junk after the last frame is no damage, and costs no audio (damaged copies: damaged_sources).
TEST(MpgIn, JunkAfterTheLastFrameIsNoDamage) {
    TempDir dir;
    const std::string mp3 = Lame(dir, MakeWave(dir, 44100, 2, 3.0), "-b 128", "a.mp3");
    std::vector<uint8_t> junk = ReadFileBytes(mp3);
    for (int i = 0; i < 5000; ++i)
        junk.push_back(uint8_t(i * 37 + 11));
    const std::string path = dir / "junk.mp3";
    WriteFileBytes(path, junk);
    TMpgIn source;
    source.SetFileName(path);
    const Read read = ReadAll(source);
    EXPECT_EQ(read.samples.size(), DecodeWithMpg123(mp3, dir).samples.size());
    EXPECT_FALSE(source.Damaged());
}

TEST(MpgIn, DataThatIsNoMpegAudioIsNotValid) {
    TempDir dir;
    std::vector<uint8_t> noise(200000);
    uint32_t seed = 3;
    for (auto& b : noise) {
        seed = seed * 1664525u + 1013904223u;
        b = uint8_t(seed >> 24);
    }
    const std::string random = dir / "random.mp3", empty = dir / "empty.mp3",
                      text = dir / "text.mp3", tagOnly = dir / "tag_only.mp3";
    WriteFileBytes(random, noise);
    WriteFileBytes(empty, {});
    WriteFileBytes(text, std::vector<uint8_t>(5000, 'a'));
    std::vector<uint8_t> tag = {'I', 'D', '3', 4, 0, 0, 0, 0, 0x10, 0};
    tag.resize(10 + 2048, 0);
    WriteFileBytes(tagOnly, tag);
    for (const std::string& path : {random, empty, text, tagOnly}) {
        SCOPED_TRACE(path);
        TMpgIn source;
        source.SetFileName(path);
        EXPECT_FALSE(source.FileValid());
        const Read read = ReadAll(source);
        EXPECT_EQ(read.error, "");
        EXPECT_TRUE(read.samples.empty());
    }
    TMpgIn missing;
    missing.SetFileName(dir / "no_such_file.mp3");
    try {
        missing.FileValid();
        ADD_FAILURE() << "a missing file opened";
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "Failed to open stream");
    }
}
