// TTAKIn against ffmpeg on the shared TAK files: exact PCM in any request size and after seeks,
// APEv2 items into the tag objects and the common tags (and so into --info), and a missing
// library failing only its own files. Damaged and cut copies, through the converter's own source
// row: tests/codecs/damage.
#include "codecs/tak/tak_in.h"
#include "tests/support/ape_tag_bytes.h"
#include "tests/support/decode_checks.h"
#include "tests/support/read_source.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

fs::path Samples() {
    return SamplesDir("tak");
}

class TakInTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(HaveTool("ffmpeg"));
        if (!fs::is_directory(Samples())) GTEST_SKIP() << "no shared samples at " << Samples();
        for (const auto& entry : fs::directory_iterator(Samples()))
            if (entry.path().extension() == ".tak") files_.push_back(entry.path());
        std::sort(files_.begin(), files_.end());
        ASSERT_FALSE(files_.empty());
    }
    std::vector<std::string> files_;
    TempDir dir_;
};

} // namespace

TEST_F(TakInTest, SharedFilesDecodeLikeFfmpegInAnyRequestSizeAndAfterSeeks) {
    for (const std::string& file : files_) {
        SCOPED_TRACE(file);
        const std::vector<uint8_t> expected = FfmpegPcm(file, 16);
        ASSERT_GT(expected.size(), 0u);
        TTAKIn source;
        source.SetFileName(file);
        ASSERT_TRUE(source.FileValid());
        EXPECT_EQ(source.GetBitsPerSample(), 16);
        EXPECT_EQ(source.GetChannels(), 2);
        EXPECT_EQ(source.GetSampleRate(), 44100);
        const size_t frameBytes = 4;
        EXPECT_EQ(source.GetTotalSamples(), int64_t(expected.size() / frameBytes));
        for (uint32_t request : {4u, 4999u, 1u << 20}) {
            SCOPED_TRACE("request " + std::to_string(request));
            const Decoded decoded = DecodeAll(source, request);
            EXPECT_EQ(decoded.error, "");
            EXPECT_FALSE(decoded.damaged);
            EXPECT_TRUE(decoded.pcm == expected) << decoded.pcm.size() << " of " << expected.size();
        }
        // Forward, back to an earlier frame, and to the very start.
        source.Init();
        for (int64_t frame : {int64_t(2000), int64_t(17), int64_t(0)}) {
            SCOPED_TRACE("seek to " + std::to_string(frame));
            ASSERT_TRUE(source.Seek(frame));
            const std::vector<uint8_t> rest = ReadSome(source, SIZE_MAX, 1000);
            EXPECT_TRUE(std::equal(rest.begin(), rest.end(),
                                   expected.begin() + std::ptrdiff_t(frame * frameBytes),
                                   expected.end()))
                << rest.size() << " bytes after the seek";
            EXPECT_EQ(rest.size(), expected.size() - size_t(frame) * frameBytes);
        }
        source.Flush();
    }
}

TEST_F(TakInTest, ApeItemsFillTheTagObjectsTheCommonTagsAndInfo) {
    // The shared file's own tag: one Artist item.
    const std::string hasTags = (Samples() / "mutagen__has-tags.tak").string();
    TTAKIn own;
    own.SetFileName(hasTags);
    ASSERT_TRUE(own.FileValid());
    EXPECT_EQ(own.APEv2Tags().Artist(), "The Artist");
    EXPECT_EQ(own.CommonTags().Artist(), "The Artist");
    EXPECT_EQ(own.CommonTags().Title(), "");

    // A tag of our own behind the untagged file: keys in any letter case, UTF-8, two values.
    const std::string plain = (Samples() / "picard__test.tak").string();
    std::vector<uint8_t> bytes = ReadFileBytes(plain);
    const std::vector<uint8_t> tag = ApeTagBytes({{"TITLE", "T\u00ebst Title"},
                                                  {"album", "The Album"},
                                                  {"Artist", std::string("One\0Two", 7)},
                                                  {"Year", "2001"},
                                                  {"Track", "3/12"},
                                                  {"Genre", "Jazz"},
                                                  {"Cover Art (Front)", "not text"}},
                                                 {.header = false});
    bytes.insert(bytes.end(), tag.begin(), tag.end());
    const std::string tagged = dir_ / "tagged.tak";
    WriteFileBytes(tagged, bytes);

    TTAKIn source;
    source.SetFileName(tagged);
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.APEv2Tags().Title(), "T\u00ebst Title");
    EXPECT_EQ(source.APEv2Tags().Album(), "The Album");
    EXPECT_EQ(source.APEv2Tags().Artist(), "One; Two");
    EXPECT_EQ(source.APEv2Tags().Comment(), "");
    const TCommonTags& common = source.CommonTags();
    EXPECT_EQ(common.Title(), "T\u00ebst Title");
    EXPECT_EQ(common.Album(), "The Album");
    EXPECT_EQ(common.Year(), "2001");
    EXPECT_EQ(common.Track(), "3/12");
    EXPECT_EQ(common.Genre(), "Jazz");
    // The tag is not taken for audio.
    EXPECT_TRUE(DecodeAll(source).pcm == FfmpegPcm(plain, 16));

    const CommandResult info = RunCli("--info " + Quote(tagged) + " " + Quote(hasTags));
    EXPECT_EQ(info.status, 0) << info.output;
    EXPECT_TRUE(Contains(info.output, "descriptor: TAK\n")) << info.output;
    EXPECT_TRUE(Contains(info.output, "total samples: 3652\n")) << info.output;
    EXPECT_TRUE(Contains(info.output, "title: T\u00ebst Title\n")) << info.output;
    EXPECT_TRUE(Contains(info.output, "year: 2001\n")) << info.output;
    EXPECT_TRUE(Contains(info.output, "artist: The Artist\n")) << info.output;
}

TEST_F(TakInTest, WithoutTheLibraryTakFilesFailAloneWithTheLibraryMessage) {
    TempDir noLibraries;
    const std::string env = "QUILLMERE_LIB_PATH=" + Quote(noLibraries.Path()) + " ";
    MakeWav(dir_ / "b.wav", 0.2);
    const std::string message =
        "libtak_deco_lib.so library could not be loaded (Debian package quillmere).";
    const CommandResult run = RunCli("--to wav --out " + Quote(dir_ / "out") + " " +
                                         Quote(files_.front()) + " " + Quote(dir_ / "b.wav"),
                                     env);
    EXPECT_TRUE(Contains(run.output, "FAILED " + files_.front() + ": " + message)) << run.output;
    EXPECT_TRUE(Contains(run.output, "1 converted, 0 skipped, 1 failed")) << run.output;
    EXPECT_TRUE(fs::exists(dir_ / "out/b.wav"));

    const CommandResult info =
        RunCli("--info " + Quote(files_.front()) + " " + Quote(dir_ / "b.wav"), env);
    EXPECT_EQ(info.status, 1);
    EXPECT_TRUE(Contains(info.output, "error: " + message + "\n\nfile: " + (dir_ / "b.wav")))
        << info.output;
    EXPECT_TRUE(Contains(info.output, "descriptor: WAV")) << info.output;
}
