// TMACIn: real files from other encoders decode as FFmpeg decodes them (or are refused by
// version, with the reason); tags come from the file's APEv2 tag, the library's record only
// without one; seeking lands on the exact frame. Damaged and cut copies: tests/codecs/damage.
#include "ape_test_support.h"

#include "codecs/ape/ape_error.h"
#include "tags/id3v1/id3v1_block.h"

#include <filesystem>

using namespace apetest;
namespace fs = std::filesystem;

namespace {

// Exposes the seek hook, as a running sink would reach it through Seek.
class SeekableMacIn : public TMACIn {
public:
    using TMACIn::SeekSample;
};

} // namespace

TEST(MacInSamples, FilesFromOtherEncodersDecodeAsFfmpegDecodesThem) {
    const std::string folder = SamplesDir("ape").string();
    if (!fs::exists(folder)) GTEST_SKIP() << "no sample folder at " << folder;
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
    int decoded = 0, refused = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".ape") continue;
        const std::string path = entry.path().string();
        SCOPED_TRACE(path);
        const std::vector<uint8_t> head = ReadFileBytes(path);
        ASSERT_GE(head.size(), 6u);
        const int version = head[4] | head[5] << 8;
        TMACIn source;
        source.SetFileName(path);
        if (version < 3800) {
            try {
                source.FileValid();
                ADD_FAILURE() << "version " << version << " was not refused";
            } catch (const EAPEException& e) {
                EXPECT_EQ(std::string(e.what()),
                          "MACDll error: unsupported file type: unsupported Monkey's Audio "
                          "version " +
                              std::to_string(version));
            }
            ++refused;
            continue;
        }
        const std::vector<uint8_t> ours = ReadAll(source, 4099);
        EXPECT_FALSE(ours.empty());
        EXPECT_TRUE(ours == FfmpegDecode(path, source.GetBitsPerSample()))
            << ours.size() << " bytes differ from FFmpeg's";
        EXPECT_FALSE(source.Damaged());
        ++decoded;
    }
    EXPECT_GE(decoded, 1);
    EXPECT_GE(decoded + refused, 3) << "samples missing from " << folder;
}

TEST(MacInSamples, TagsOfARealFileComeFromItsApev2Tag) {
    const std::string path = SamplesDir("ape").string() + "/mediafile__full.ape";
    if (!fs::exists(path)) GTEST_SKIP() << "no sample " << path;
    TMACIn source;
    source.SetFileName(path);
    ASSERT_TRUE(source.FileValid());
    TCommonTags& common = source.CommonTags();
    EXPECT_EQ(common.Title(), "full");
    EXPECT_EQ(common.Artist(), "the artist");
    EXPECT_EQ(common.Album(), "the album");
    // The library's record has no genre text; the tag has.
    EXPECT_EQ(common.Genre(), "the genre");
    EXPECT_EQ(common.Year(), "2001");
    EXPECT_FALSE(common.Track().empty());
    EXPECT_EQ(source.APEv2Tags().Comment(), "the comments");
}

class MacInFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTools()) GTEST_SKIP() << "needs sox and ffmpeg";
        pcm_ = MusicPcm(format_, 3.0); // more than one frame at level 2000
        ASSERT_EQ(Encode(path_, pcm_, format_, 2000), "");
    }
    const Format format_{2, 16, 44100};
    TempDir dir_;
    const std::string path_ = dir_ / "music.ape";
    std::vector<uint8_t> pcm_;
};

TEST_F(MacInFiles, LongAndNonLatinTagValuesSurvive) {
    const std::string title = "Ωμέγα — 日本語のタイトル, which is longer than thirty bytes";
    {
        TMACOut sink;
        sink.APEv2Tags().SetTitle(title);
        sink.APEv2Tags().SetArtist("Björk Guðmundsdóttir and the Sugarcubes");
        sink.APEv2Tags().SetGenre("Électronique");
        sink.APEv2Tags().SetTrack("12/14");
        ASSERT_EQ(Encode(dir_ / "tagged.ape", pcm_, format_, 1000, 8192, &sink), "");
    }
    TMACIn source;
    source.SetFileName(dir_ / "tagged.ape");
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.CommonTags().Title(), title);
    EXPECT_EQ(source.CommonTags().Artist(), "Björk Guðmundsdóttir and the Sugarcubes");
    EXPECT_EQ(source.CommonTags().Genre(), "Électronique");
    EXPECT_EQ(source.CommonTags().Track(), "12/14");
    EXPECT_EQ(source.APEv2Tags().Title(), title);
    EXPECT_TRUE(ReadAll(source) == pcm_);
}

TEST_F(MacInFiles, AnId3v1OnlyFileIsReadThroughTheRecordAndNoTagLeavesTagsAlone) {
    // No tag: the common tags keep what they held.
    TMACIn plain;
    plain.CommonTags().SetTitle("kept");
    plain.SetFileName(path_);
    ASSERT_TRUE(plain.FileValid());
    EXPECT_EQ(plain.CommonTags().Title(), "kept");

    tags::Id3v1Fields fields;
    fields.Title = "Café";
    fields.Artist = "Ärtist";
    fields.Album = "Album";
    fields.Year = 1987;
    fields.Comment = "note";
    fields.Track = 5;
    const auto block = tags::BuildId3v1Block(fields);
    std::vector<uint8_t> file = ReadFileBytes(path_);
    file.insert(file.end(), block.begin(), block.end());
    WriteFileBytes(dir_ / "id3.ape", file);
    TMACIn source;
    source.SetFileName(dir_ / "id3.ape");
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.CommonTags().Title(), "Café");
    EXPECT_EQ(source.CommonTags().Artist(), "Ärtist");
    EXPECT_EQ(source.CommonTags().Album(), "Album");
    EXPECT_EQ(source.CommonTags().Year(), "1987");
    EXPECT_EQ(source.CommonTags().Track(), "5");
    EXPECT_EQ(source.APEv2Tags().Comment(), "note");
    EXPECT_TRUE(ReadAll(source) == pcm_);
}

TEST_F(MacInFiles, SeeksLandOnTheExactFrameAndABadSeekIsRefused) {
    const size_t frameBytes = 4;
    const int64_t frames = int64_t(pcm_.size() / frameBytes);
    SeekableMacIn source;
    source.SetFileName(path_);
    source.Init();
    // Read a little so the decode buffer holds data of the old position.
    const std::vector<uint8_t> start = ReadSome(source, 1000);
    EXPECT_TRUE(std::equal(start.begin(), start.end(), pcm_.begin()));
    for (const int64_t target : {int64_t(100'000), int64_t(7), frames - 10, int64_t(73'729)}) {
        SCOPED_TRACE(target);
        ASSERT_TRUE(source.Seek(target));
        const std::vector<uint8_t> got = ReadSome(source, 3000);
        const auto expected = pcm_.begin() + std::ptrdiff_t(target * frameBytes);
        ASSERT_EQ(got.size(), std::min<size_t>(3000, pcm_.end() - expected));
        EXPECT_TRUE(std::equal(got.begin(), got.end(), expected));
    }
    int64_t beyond = frames + 1000;
    EXPECT_FALSE(source.SeekSample(beyond));
    source.Flush();
}

TEST(MacIn, NotAnApeFileIsRefusedWithTheLibrarysCode) {
    TempDir dir;
    WriteFileBytes(dir / "noise.ape", std::vector<uint8_t>(5000, 0x5A));
    TMACIn source;
    source.SetFileName(dir / "noise.ape");
    try {
        source.Init();
        ADD_FAILURE() << "a file of noise opened";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("MACDll error: invalid input file", 0), 0u)
            << e.what();
    }
    EXPECT_FALSE(source.Busy());
    EXPECT_EQ(ApeErrorText(7777), "undefined (7777)");
    EXPECT_EQ(ApeErrorText(1009), "invalid checksum");
}
