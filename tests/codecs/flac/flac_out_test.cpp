// TFLACOut judged by the reference decoder: every level and width bit-exact, the level really
// applied, the comment block written in place of libFLAC's, and failures reported.
#include "../../support/pcm_source.h"
#include "../../support/run_sink.h"
#include "codecs/flac/flac_out.h"
#include "flac_test_support.h"
#include "pipeline/main_thread.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

std::string Encode(const std::vector<uint8_t>& pcm, int channels, int bits, int rate, int level,
                   const std::string& path, TFLACOut* configured = nullptr) {
    PcmSource source(pcm, channels, bits, rate, 3000);
    TFLACOut local;
    TFLACOut& sink = configured != nullptr ? *configured : local;
    sink.SetFileName(path);
    if (configured == nullptr) sink.SetCompressionLevel(level);
    const SinkResult result = RunSink(sink, source);
    EXPECT_TRUE(result.done);
    return result.error;
}

} // namespace

TEST(FLACOut, EveryLevelAndWidthDecodesBitExactly) {
    TempDir dir;
    for (int bits : {8, 16, 24, 32}) {
        for (int level = 0; level <= 8; ++level) {
            const int channels = 1 + level % 6;
            const size_t frames = 6000 + size_t(level) * 37;
            SCOPED_TRACE("bits " + std::to_string(bits) + " level " + std::to_string(level) +
                         " channels " + std::to_string(channels));
            const auto pcm = MakePcm(frames, channels, bits, unsigned(level + bits));
            const std::string path =
                dir / ("out" + std::to_string(bits) + "_" + std::to_string(level) + ".flac");
            ASSERT_EQ(Encode(pcm, channels, bits, 44100, level, path), "");
            const RawDecode decoded = FlacDecodeRaw(path, bits);
            ASSERT_EQ(decoded.status, 0);
            ASSERT_EQ(decoded.pcm.size(), pcm.size());
            EXPECT_TRUE(decoded.pcm == pcm);
            const auto info = RunCommand("metaflac --show-total-samples --show-bps "
                                         "--show-channels " +
                                         Quote(path));
            EXPECT_EQ(info.output, std::to_string(frames) + "\n" + std::to_string(bits) + "\n" +
                                       std::to_string(channels) + "\n");
        }
    }
}

TEST(FLACOut, TheCompressionLevelIsApplied) {
    TempDir dir;
    const auto pcm = MakePcm(30000, 2, 16, 7);
    std::vector<uintmax_t> sizes;
    std::vector<std::string> analyses;
    for (int level : {0, 5, 8}) {
        const std::string path = dir / ("level" + std::to_string(level) + ".flac");
        ASSERT_EQ(Encode(pcm, 2, 16, 44100, level, path), "");
        sizes.push_back(std::filesystem::file_size(path));
        RunCommand("flac -s -f --analyze -o " + Quote(path + ".ana") + " " + Quote(path));
        const auto bytes = ReadFileBytes(path + ".ana");
        analyses.emplace_back(bytes.begin(), bytes.end());
    }
    // Level 0 predicts with fixed polynomials only; the higher presets use LPC and win.
    EXPECT_EQ(analyses[0].find("type=LPC"), std::string::npos);
    EXPECT_NE(analyses[1].find("type=LPC"), std::string::npos);
    EXPECT_NE(analyses[2].find("type=LPC"), std::string::npos);
    EXPECT_GT(sizes[0], sizes[1]);
    EXPECT_GE(sizes[1], sizes[2]);
    // Every preset keeps the sink's block size.
    EXPECT_EQ(RunCommand("metaflac --show-min-blocksize " + Quote(dir / "level5.flac")).output,
              "4608\n");
}

TEST(FLACOut, IndividualSettingsNarrowAPrecisionTooWideForTheSamples) {
    TempDir dir;
    for (int bits : {16, 24, 32}) {
        TFLACOut sink;
        sink.SetCompressionLevel(-1);
        sink.SetMaxLPCOrder(8);
        sink.SetQLPCoeffPrecision(15);
        sink.SetMaxResidualPartitionOrder(4);
        const auto pcm = MakePcm(5000, 2, bits, 3);
        const std::string path = dir / ("manual" + std::to_string(bits) + ".flac");
        ASSERT_EQ(Encode(pcm, 2, bits, 48000, -1, path, &sink), "");
        EXPECT_EQ(sink.QLPCoeffPrecision(), bits == 16 ? 15 : bits == 24 ? 7 : 0);
        const RawDecode decoded = FlacDecodeRaw(path, bits);
        ASSERT_EQ(decoded.status, 0);
        EXPECT_TRUE(decoded.pcm == pcm) << bits;
    }
}

TEST(FLACOut, PropertySettersKeepTheirRules) {
    TFLACOut sink;
    EXPECT_EQ(sink.CompressionLevel(), -1);
    sink.SetCompressionLevel(12);
    EXPECT_EQ(sink.CompressionLevel(), 8);
    sink.SetCompressionLevel(-3);
    EXPECT_EQ(sink.CompressionLevel(), -3);
    sink.SetEnableMidSideStereo(false);
    sink.SetEnableLooseMidSideStereo(true);
    EXPECT_TRUE(sink.EnableMidSideStereo());
    sink.SetBestModelSearch(true);
    EXPECT_TRUE(sink.EnableMidSideStereo());
    EXPECT_FALSE(sink.EnableLooseMidSideStereo());
    EXPECT_EQ(sink.BlockSize(), 4608);
}

TEST(FLACOut, WritesItsOwnCommentBlock) {
    TempDir dir;
    const auto pcm = MakePcm(3000, 2, 16, 5);
    TFLACOut sink;
    sink.SetCompressionLevel(5);
    sink.Tags().SetTitle("Caf\xC3\xA9 \xE2\x98\x95");
    sink.Tags().SetArtist("Artist");
    sink.Tags().SetDate("1999");
    sink.Tags().SetTrack("7");
    sink.Tags().SetTrackGain("-6.5 dB");
    sink.Tags().SetAlbum(""); // empty values are not written
    const std::string path = dir / "tagged.flac";
    ASSERT_EQ(Encode(pcm, 2, 16, 44100, 5, path, &sink), "");
    EXPECT_EQ(RunCommand("metaflac --show-vendor-tag " + Quote(path)).output, "VENDOR=Hacked\n");
    EXPECT_EQ(
        Lines(RunCommand("metaflac --export-tags-to=- " + Quote(path)).output),
        (std::vector<std::string>{"title=Caf\xC3\xA9 \xE2\x98\x95", "artist=Artist", "date=1999",
                                  "tracknumber=7", "replaygain_track_gain=-6.5 dB"}));
    // The comment block is the last one and the stream around it intact.
    const auto list = RunCommand("metaflac --list " + Quote(path)).output;
    EXPECT_NE(list.find("type: 4 (VORBIS_COMMENT)\n  is last: true"), std::string::npos) << list;
    EXPECT_TRUE(FlacDecodeRaw(path, 16).pcm == pcm);

    // Without tags: the vendor alone.
    TFLACOut plain;
    const std::string bare = dir / "bare.flac";
    ASSERT_EQ(Encode(pcm, 2, 16, 44100, 0, bare), "");
    EXPECT_EQ(RunCommand("metaflac --show-vendor-tag " + Quote(bare)).output, "VENDOR=Hacked\n");
    EXPECT_EQ(RunCommand("metaflac --export-tags-to=- " + Quote(bare)).output, "");
}

TEST(FLACOut, CommonTagsArriveAsComments) {
    TCommonTags common;
    common.SetTitle("T");
    common.SetArtist("A");
    common.SetAlbum("B");
    common.SetGenre("G");
    common.SetYear("2001");
    common.SetTrack("3");
    TFLACOut sink;
    sink.SetCommonTags(common);
    EXPECT_EQ(sink.Tags().Title(), "T");
    EXPECT_EQ(sink.Tags().Artist(), "A");
    EXPECT_EQ(sink.Tags().Album(), "B");
    EXPECT_EQ(sink.Tags().Genre(), "G");
    EXPECT_EQ(sink.Tags().Date(), "2001");
    EXPECT_EQ(sink.Tags().Track(), "3");
}

TEST(FLACOut, FailuresEndTheRunWithTheirText) {
    TempDir dir;
    const auto pcm = MakePcm(1000, 1, 16, 1);
    EXPECT_EQ(Encode(pcm, 1, 16, 44100, 5, ""), "File name is not assigned.");
    EXPECT_NE(Encode(pcm, 1, 16, 44100, 5, dir / "no/such/folder/x.flac"), "");
    // A full disk: the stream header cannot even be written.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(Encode(pcm, 1, 16, 44100, 5, "/dev/full"), "Failed to initialize FLAC encoder.");
    }
    // An input the format cannot hold.
    EXPECT_EQ(Encode(MakePcm(100, 1, 16, 1), 1, 16, 0, 5, dir / "rate0.flac"),
              "Failed to initialize FLAC encoder.");
    // The sink stays usable after a failed run.
    const std::string path = dir / "after.flac";
    TFLACOut sink;
    sink.SetFileName("");
    {
        PcmSource source(pcm, 1, 16, 44100);
        EXPECT_EQ(RunSink(sink, source).error, "File name is not assigned.");
    }
    sink.SetFileName(path);
    PcmSource source(pcm, 1, 16, 44100);
    EXPECT_EQ(RunSink(sink, source).error, "");
    EXPECT_TRUE(FlacDecodeRaw(path, 16).pcm == pcm);
}

TEST(FLACOut, AStoppedRunLeavesAValidFile) {
    TempDir dir;
    const auto pcm = MakePcm(441000, 2, 16, 9);
    PcmSource source(pcm, 2, 16, 44100, 4096);
    TFLACOut sink;
    sink.SetCompressionLevel(8);
    const std::string path = dir / "stopped.flac";
    sink.SetFileName(path);
    sink.SetInput(&source);
    sink.Run();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    sink.Stop(false);
    EXPECT_FALSE(sink.Busy());
    const RawDecode decoded = FlacDecodeRaw(path, 16);
    EXPECT_EQ(decoded.status, 0);
    ASSERT_LE(decoded.pcm.size(), pcm.size());
    EXPECT_TRUE(std::equal(decoded.pcm.begin(), decoded.pcm.end(), pcm.begin()));
}
