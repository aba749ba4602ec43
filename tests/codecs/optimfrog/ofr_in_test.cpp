// TOFRIn end to end through our test OptimFROG library (test_container.h): the format and
// length it reports, PCM of every width, tag items matched by trimmed, case-blind keys with the
// first of two winning, seeking, files it must refuse or report short, conversion through the
// command-line converter, and the real sample failing alone while the library is missing.
#include "codecs/optimfrog/ofr_in.h"
#include "codecs/optimfrog/optimfrog_decoder.h"
#include "codecs/optimfrog/optimfrog_library.h"
#include "pipeline/au_exception.h"
#include "tests/codecs/optimfrog/test_container.h"
#include "tests/support/bytes.h"
#include "tests/support/decode_checks.h"
#include "tests/support/read_source.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string LibraryFolder() {
    return QM_OPTIMFROG_TEST_LIBRARY_DIR;
}

fs::path Sample() {
    return SamplesDir("ofr") / "mutagen__silence-2s-44100-16.ofr";
}

ofrtest::Container MakeContainer(uint32_t bits, uint32_t channels, int64_t frames,
                                 const std::string& type) {
    ofrtest::Container c;
    c.bits = bits;
    c.channels = channels;
    c.rate = 48000;
    c.frames = frames;
    c.sampleType = type;
    c.pcm = Noise(size_t(frames) * bits / 8 * channels, bits * 31 + channels);
    return c;
}

class OfrInTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Only our test library is found, in this process and in the converters it starts.
        ::setenv("QUILLMERE_LIB_PATH", LibraryFolder().c_str(), 1);
        ASSERT_TRUE(fs::exists(fs::path(LibraryFolder()) / kOptimFROGLibraryFile));
    }
    std::string Write(const ofrtest::Container& c, const std::string& name) {
        const std::string path = dir_ / name;
        WriteFileBytes(path, ofrtest::Build(c));
        return path;
    }
    std::string LibraryEnv() const { return "QUILLMERE_LIB_PATH=" + Quote(LibraryFolder()) + " "; }
    TempDir dir_;
};

} // namespace

TEST_F(OfrInTest, FormatLengthAndPcmOfEveryWidth) {
    struct Case {
        uint32_t bits, channels;
        std::string type;
    };
    for (const Case& k : {Case{8, 1, "UINT8"}, Case{8, 2, "SINT8"}, Case{16, 2, "SINT16"},
                          Case{24, 6, "SINT24"}, Case{32, 2, "SINT32"}}) {
        SCOPED_TRACE(k.type + ", " + std::to_string(k.channels) + " channels");
        const ofrtest::Container c = MakeContainer(k.bits, k.channels, 12345, k.type);
        TOFRIn source;
        source.SetFileName(Write(c, "file.ofr"));
        ASSERT_TRUE(source.FileValid());
        EXPECT_EQ(source.GetBitsPerSample(), int(k.bits));
        EXPECT_EQ(source.GetChannels(), int(k.channels));
        EXPECT_EQ(source.GetSampleRate(), 48000);
        EXPECT_EQ(source.GetTotalSamples(), 12345);
        std::vector<uint8_t> expected = c.pcm;
        if (k.type == "SINT8") // pipeline 8-bit PCM is unsigned
            for (auto& b : expected)
                b ^= 0x80;
        // One frame at a time, whole frames and a bit over, and the whole file at once.
        const uint32_t frameBytes = k.bits / 8 * k.channels;
        for (uint32_t request : {frameBytes, 4999u, 1u << 20}) {
            SCOPED_TRACE("request " + std::to_string(request));
            const Decoded decoded = DecodeAll(source, request);
            EXPECT_EQ(decoded.error, "");
            EXPECT_FALSE(decoded.damaged);
            EXPECT_TRUE(decoded.pcm == expected) << decoded.pcm.size() << " of " << expected.size();
        }
    }
}

TEST_F(OfrInTest, TagItemsMatchTrimmedCaseBlindKeysAndTheFirstOfTwoWins) {
    ofrtest::Container c = MakeContainer(16, 2, 100, "SINT16");
    c.items = {{"", "no key"},
               {"  tItLe ", "The Title"},
               {"ARTIST", "First Artist"},
               {"artist", "Second Artist"},
               {"Album", "\xc3\x85lbum"},
               {"year", "1987"},
               {"Genre", " Jazz "},
               {"Track", "4"}};
    TOFRIn source;
    source.SetFileName(Write(c, "tagged.ofr"));
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.APEv2Tags().Title(), "The Title");
    EXPECT_EQ(source.APEv2Tags().Artist(), "First Artist");
    EXPECT_EQ(source.APEv2Tags().Album(), "\u00c5lbum");
    EXPECT_EQ(source.APEv2Tags().Genre(), " Jazz ") << "values are kept as stored";
    EXPECT_EQ(source.APEv2Tags().Comment(), "");
    EXPECT_EQ(source.Id3v1Tags().Title(), "The Title");
    EXPECT_EQ(source.Id3v1Tags().Year(), 1987);
    const TCommonTags& common = source.CommonTags();
    EXPECT_EQ(common.Title(), "The Title");
    EXPECT_EQ(common.Artist(), "First Artist");
    EXPECT_EQ(common.Album(), "\u00c5lbum");
    EXPECT_EQ(common.Year(), "1987");
    EXPECT_EQ(common.Track(), "4");

    // The decoder's own lookup: the name is trimmed too, and an empty name finds nothing.
    TAuFileStream stream(dir_ / "tagged.ofr", fmOpenRead);
    TOptimFROGDecoder decoder(&stream);
    EXPECT_EQ(decoder.TagValue(" Artist\t"), "First Artist");
    EXPECT_EQ(decoder.TagValue("   "), "");
    EXPECT_EQ(decoder.TagValue("Composer"), "");
}

TEST_F(OfrInTest, SeeksWhereTheLibraryCanAndRefusesWhereItCannot) {
    const ofrtest::Container c = MakeContainer(16, 2, 5000, "SINT16");
    TOFRIn source;
    source.SetFileName(Write(c, "seek.ofr"));
    source.Init();
    for (int64_t frame : {int64_t(3000), int64_t(10), int64_t(4999), int64_t(0)}) {
        SCOPED_TRACE("seek to " + std::to_string(frame));
        ASSERT_TRUE(source.Seek(frame));
        const std::vector<uint8_t> got = ReadSome(source, 400);
        ASSERT_EQ(got.size(), std::min<size_t>(400, size_t(5000 - frame) * 4));
        EXPECT_TRUE(std::equal(got.begin(), got.end(), c.pcm.begin() + frame * 4));
    }
    source.Flush();

    ofrtest::Container fixed = c;
    fixed.flags = ofrtest::kFlagNotSeekable;
    TOFRIn unseekable;
    unseekable.SetFileName(Write(fixed, "fixed.ofr"));
    unseekable.Init();
    const std::vector<uint8_t> first = ReadSome(unseekable, 400);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), c.pcm.begin()));
    EXPECT_FALSE(unseekable.Seek(3000));
    // Reading goes on where it was.
    const std::vector<uint8_t> next = ReadSome(unseekable, 400);
    EXPECT_TRUE(std::equal(next.begin(), next.end(), c.pcm.begin() + 400));
    unseekable.Flush();
}

TEST_F(OfrInTest, RefusedShortAndForeignFilesFailTheirConversionAndOthersGoOn) {
    ofrtest::Container noInfo = MakeContainer(16, 2, 1000, "SINT16");
    noInfo.flags = ofrtest::kFlagNoInfo;
    ofrtest::Container floats = MakeContainer(32, 2, 1000, "FLOAT32");
    ofrtest::Container shortFile = MakeContainer(16, 2, 1000, "SINT16");
    shortFile.pcm.resize(600 * 4 + 3); // the stated length, but 600 frames and a part
    const ofrtest::Container good = MakeContainer(16, 2, 22050, "SINT16");
    Write(noInfo, "noinfo.ofr");
    Write(floats, "float.ofr");
    Write(shortFile, "short.ofr");
    Write(good, "good.ofr");

    // The info that cannot be read reads as nothing.
    TOFRIn unread;
    unread.SetFileName(dir_ / "noinfo.ofr");
    EXPECT_FALSE(unread.FileValid());
    TOFRIn cut;
    cut.SetFileName(dir_ / "short.ofr");
    const Decoded decoded = DecodeAll(cut);
    EXPECT_TRUE(decoded.damaged);
    EXPECT_TRUE(decoded.pcm ==
                std::vector<uint8_t>(shortFile.pcm.begin(), shortFile.pcm.begin() + 600 * 4));

    std::string args;
    for (const char* name : {"noinfo.ofr", "float.ofr", "short.ofr", "good.ofr"})
        args += " " + Quote(dir_ / name);
    args += " " + Quote(Sample().string());
    const CommandResult run = RunCli("--to wav --out " + Quote(dir_ / "out") + args, LibraryEnv());
    EXPECT_EQ(run.status, 1) << run.output;
    for (const char* name : {"noinfo.ofr", "float.ofr"})
        EXPECT_TRUE(Contains(run.output, "FAILED " + (dir_ / name) +
                                             ": The file is damaged or is not a valid OFR file"))
            << run.output;
    // Audio that ends before its stated length is never a plain success.
    EXPECT_FALSE(Contains(run.output, "OK " + (dir_ / "short.ofr"))) << run.output;
    EXPECT_TRUE(Contains(run.output, "FAILED " + (dir_ / "short.ofr")) ||
                Contains(run.output, "WARNING " + (dir_ / "short.ofr")))
        << run.output;
    if (fs::exists(Sample())) {
        EXPECT_TRUE(Contains(run.output,
                             "FAILED " + Sample().string() + ": Unable to open OptimFROG-file!"))
            << run.output;
    }
    EXPECT_TRUE(Contains(run.output, "1 converted")) << run.output;
    for (const char* name : {"noinfo.wav", "float.wav", "mutagen__silence-2s-44100-16.wav"})
        EXPECT_FALSE(fs::exists(dir_ / ("out/" + std::string(name)))) << name;
    ASSERT_TRUE(fs::exists(dir_ / "out/good.wav"));
    EXPECT_TRUE(FfmpegPcm(dir_ / "out/good.wav", 16) == good.pcm);

    const CommandResult info = RunCli("--info " + Quote(dir_ / "good.ofr"), LibraryEnv());
    EXPECT_EQ(info.status, 0) << info.output;
    EXPECT_TRUE(Contains(info.output, "descriptor: OFR\nchannels: 2\nsample rate: 48000\n"
                                      "bits per sample: 16\ntotal samples: 22050\n"))
        << info.output;
}

TEST_F(OfrInTest, WithoutTheLibraryTheSampleFailsWithTheLibraryMessageAndTheRunGoesOn) {
    if (!fs::exists(Sample())) GTEST_SKIP() << "no shared sample at " << Sample();
    TempDir noLibraries;
    const std::string env = "QUILLMERE_LIB_PATH=" + Quote(noLibraries.Path()) + " ";
    MakeWav(dir_ / "b.wav", 0.2);
    const std::string message = "libOptimFROG.so.0 library could not be loaded (the OptimFROG "
                                "vendor's library, not packaged by Debian).";
    const CommandResult run = RunCli("--to wav --out " + Quote(dir_ / "out") + " " +
                                         Quote(Sample().string()) + " " + Quote(dir_ / "b.wav"),
                                     env);
    EXPECT_TRUE(Contains(run.output, "FAILED " + Sample().string() + ": " + message)) << run.output;
    EXPECT_TRUE(Contains(run.output, "1 converted, 0 skipped, 1 failed")) << run.output;
    EXPECT_TRUE(fs::exists(dir_ / "out/b.wav"));

    const CommandResult info =
        RunCli("--info " + Quote(Sample().string()) + " " + Quote(dir_ / "b.wav"), env);
    EXPECT_EQ(info.status, 1);
    EXPECT_TRUE(Contains(info.output, "error: " + message + "\n\nfile: " + (dir_ / "b.wav")))
        << info.output;
    EXPECT_TRUE(Contains(info.output, "descriptor: WAV")) << info.output;
}

// Run as a process of its own with QM_WITHOUT_LIBRARIES set and no library to be found.
TEST(OfrWithoutLibrary, TheSourceRefusesToBeMadeAndTheWrapperNamesTheLibrary) {
    if (std::getenv("QM_WITHOUT_LIBRARIES") == nullptr)
        GTEST_SKIP() << "runs as optimfrog_without_library";
    try {
        TOFRIn source;
        ADD_FAILURE() << "the source was made without its library";
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "libOptimFROG.so.0 library could not be loaded (the OptimFROG "
                               "vendor's library, not packaged by Debian).");
    }
    TempDir dir;
    WriteFileBytes(dir / "any.ofr", {1, 2, 3});
    TAuFileStream stream(dir / "any.ofr", fmOpenRead);
    try {
        TOptimFROGDecoder decoder(&stream);
        ADD_FAILURE() << "a decoder was made without its library";
    } catch (const EOptimFROGException& e) {
        EXPECT_STREQ(e.what(), "OptimFROG library \"libOptimFROG.so.0\" not loaded!");
    }
}
