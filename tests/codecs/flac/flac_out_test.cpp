// TFLACOut judged by the reference decoder: every level and width bit-exact, the level really
// applied, the comment block written in place of libFLAC's, the seek table and padding, float
// sources written as 24 bits, and failures reported.
#include "../../support/pcm_source.h"
#include "../../support/run_sink.h"
#include "codecs/flac/flac_out.h"
#include "flac_test_support.h"
#include "pipeline/main_thread.h"
#include "wav/wave_in.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

std::unique_ptr<TAuFileIn> NewWavPackSource(); // wavpack_source.cpp

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

struct SeekPoint {
    bool placeholder = false;
    uint64_t sample = 0;
    uint64_t offset = 0;
    uint64_t frameSamples = 0;
};

// The metadata blocks as metaflac lists them: types in file order, lengths, seek points.
struct FlacLayout {
    std::vector<std::string> types;
    std::vector<uint64_t> lengths;
    std::vector<SeekPoint> points;
};

FlacLayout ListMetadata(const std::string& path) {
    FlacLayout layout;
    std::istringstream list(RunCommand("metaflac --list " + Quote(path)).output);
    for (std::string line; std::getline(list, line);) {
        const auto open = line.find('('), close = line.find(')');
        if (line.rfind("  type: ", 0) == 0 && open != std::string::npos && close > open)
            layout.types.push_back(line.substr(open + 1, close - open - 1));
        else if (line.rfind("  length: ", 0) == 0)
            layout.lengths.push_back(std::stoull(line.substr(10)));
        else if (line.rfind("    point ", 0) == 0) {
            SeekPoint point;
            point.placeholder = line.find("PLACEHOLDER") != std::string::npos;
            if (!point.placeholder &&
                std::sscanf(line.c_str(),
                            "    point %*u: sample_number=%lu, stream_offset=%lu, "
                            "frame_samples=%lu",
                            &point.sample, &point.offset, &point.frameSamples) != 3)
                ADD_FAILURE() << "unreadable seek point: " << line;
            layout.points.push_back(point);
        }
    }
    return layout;
}

// Each filled point must name the frame holding its target sample (every 10 s), and a frame
// must start at its offset from the first frame.
void ExpectPointsAt(const std::string& path, const FlacLayout& layout, uint64_t rate,
                    size_t filled) {
    const auto bytes = ReadFileBytes(path);
    uint64_t audioStart = 4;
    for (uint64_t length : layout.lengths)
        audioStart += 4 + length;
    for (size_t i = 0; i < layout.points.size(); ++i) {
        SCOPED_TRACE("point " + std::to_string(i));
        const SeekPoint& point = layout.points[i];
        ASSERT_EQ(point.placeholder, i >= filled);
        if (point.placeholder) continue;
        const uint64_t target = i * 10 * rate;
        EXPECT_LE(point.sample, target);
        EXPECT_GT(point.sample + point.frameSamples, target);
        const uint64_t at = audioStart + point.offset;
        ASSERT_LT(at + 1, bytes.size());
        EXPECT_EQ(bytes[at], 0xFF);
        EXPECT_EQ(bytes[at + 1] & 0xFE, 0xF8); // a frame's sync code
    }
}

// Raw little-endian samples of 3 bytes, sign-extended.
std::vector<int32_t> Samples24(const std::vector<uint8_t>& raw) {
    std::vector<int32_t> out(raw.size() / 3);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = int32_t(uint32_t(raw[3 * i]) << 8 | uint32_t(raw[3 * i + 1]) << 16 |
                         uint32_t(raw[3 * i + 2]) << 24) >>
                 8;
    return out;
}

// Converts a file with the given source to FLAC; the error text of the run.
std::string Convert(TAuFileIn& source, const std::string& in, const std::string& out) {
    source.SetFileName(in);
    TFLACOut sink;
    sink.SetCompressionLevel(5);
    sink.SetFileName(out);
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
            // 705.6 kHz (DSD128 as PCM) lies beyond the streamable subset's rates.
            const int rate = level == 8 ? 705600 : 44100;
            ASSERT_EQ(Encode(pcm, channels, bits, rate, level, path), "");
            const RawDecode decoded = FlacDecodeRaw(path, bits);
            ASSERT_EQ(decoded.status, 0);
            ASSERT_EQ(decoded.pcm.size(), pcm.size());
            EXPECT_TRUE(decoded.pcm == pcm);
            const auto info = RunCommand("metaflac --show-total-samples --show-bps "
                                         "--show-channels --show-sample-rate " +
                                         Quote(path));
            EXPECT_EQ(info.output, std::to_string(frames) + "\n" + std::to_string(bits) + "\n" +
                                       std::to_string(channels) + "\n" + std::to_string(rate) +
                                       "\n");
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
    // The padding follows the comment block as the last one, and the stream is intact.
    const auto list = RunCommand("metaflac --list " + Quote(path)).output;
    EXPECT_NE(list.find("type: 4 (VORBIS_COMMENT)\n  is last: false"), std::string::npos) << list;
    EXPECT_NE(list.find("type: 1 (PADDING)\n  is last: true"), std::string::npos) << list;
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
    // The run waits at a third of the audio until the stop has been asked for.
    source.HoldAt(pcm.size() / 3);
    sink.SetInput(&source);
    sink.Run();
    const bool held =
        MainThread::RunUntil([&] { return source.Holding(); }, std::chrono::seconds(60));
    if (!held) source.Release();
    ASSERT_TRUE(held) << "the run never reached a third of the audio";
    std::thread releaser([&] {
        while (!sink.StopRequested() && sink.Busy())
            std::this_thread::yield();
        source.Release();
    });
    sink.Stop(false);
    releaser.join();
    EXPECT_FALSE(sink.Busy());
    const RawDecode decoded = FlacDecodeRaw(path, 16);
    EXPECT_EQ(decoded.status, 0);
    EXPECT_GE(decoded.pcm.size(), pcm.size() / 3 - 4 * 4096) << "the audio before the stop";
    ASSERT_LT(decoded.pcm.size(), pcm.size()) << "the stop came before the end";
    EXPECT_TRUE(std::equal(decoded.pcm.begin(), decoded.pcm.end(), pcm.begin()));
}

TEST(FLACOut, SeekTableAndPaddingFollowTheStreamInfo) {
    TempDir dir;
    constexpr int kRate = 8000;
    const auto pcm = MakePcm(35 * kRate, 2, 16, 11);
    const std::string path = dir / "long.flac";
    ASSERT_EQ(Encode(pcm, 2, 16, kRate, 5, path), "");
    FlacLayout layout = ListMetadata(path);
    // The order the flac tool writes: seek table, comments, padding.
    EXPECT_EQ(layout.types,
              (std::vector<std::string>{"STREAMINFO", "SEEKTABLE", "VORBIS_COMMENT", "PADDING"}));
    ASSERT_EQ(layout.lengths.size(), 4u);
    EXPECT_EQ(layout.lengths[3], 8192u);
    ASSERT_EQ(layout.points.size(), 4u); // 0, 10, 20 and 30 s
    ExpectPointsAt(path, layout, kRate, 4);
    EXPECT_EQ(RunCommand("flac -t -s " + Quote(path)).status, 0);
    EXPECT_TRUE(FlacDecodeRaw(path, 16).pcm == pcm);

    // A source that ends early: the points it never reached become placeholders.
    const std::vector<uint8_t> part(pcm.begin(), pcm.begin() + 15 * kRate * 4);
    {
        PcmSource source(part, 2, 16, kRate);
        source.AnnounceSize(int64_t(pcm.size()));
        TFLACOut sink;
        sink.SetFileName(dir / "short.flac");
        ASSERT_EQ(RunSink(sink, source).error, "");
    }
    layout = ListMetadata(dir / "short.flac");
    ASSERT_EQ(layout.points.size(), 4u);
    ExpectPointsAt(dir / "short.flac", layout, kRate, 2);
    EXPECT_EQ(RunCommand("flac -t -s " + Quote(dir / "short.flac")).status, 0);
    EXPECT_TRUE(FlacDecodeRaw(dir / "short.flac", 16).pcm == part);

    // An unknown length: no table rather than a wrong one; the padding stays.
    {
        PcmSource source(part, 2, 16, kRate);
        source.AnnounceSize(0);
        TFLACOut sink;
        sink.SetFileName(dir / "unknown.flac");
        ASSERT_EQ(RunSink(sink, source).error, "");
    }
    layout = ListMetadata(dir / "unknown.flac");
    EXPECT_EQ(layout.types, (std::vector<std::string>{"STREAMINFO", "VORBIS_COMMENT", "PADDING"}));
    EXPECT_TRUE(FlacDecodeRaw(dir / "unknown.flac", 16).pcm == part);
}

TEST(FLACOut, FloatSourcesBecome24BitAndIntegerSourcesStayExact) {
    for (const char* tool : {"sox", "ffmpeg"})
        if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    TempDir dir;
    const std::string floats = dir / "float.wav";
    ASSERT_EQ(RunCommand("sox -r 44100 -c 2 -n -b 32 -e floating-point " + Quote(floats) +
                         " synth 3 sine 440 whitenoise gain -3")
                  .status,
              0);
    // sox's own 24-bit rendering of the floats, undithered, is the judge.
    const std::string reference = dir / "reference.raw";
    ASSERT_EQ(RunCommand("sox -D " + Quote(floats) + " -b 24 -e signed -t raw " + Quote(reference))
                  .status,
              0);
    const auto expected = Samples24(ReadFileBytes(reference));
    ASSERT_EQ(expected.size(), 3u * 44100 * 2);

    std::vector<std::pair<std::string, std::string>> sources = {{"wav", floats}};
    const bool wavpack = HaveTool("wavpack");
    if (wavpack) {
        const std::string wv = dir / "float.wv";
        ASSERT_EQ(RunCommand("wavpack -q -y " + Quote(floats) + " -o " + Quote(wv)).status, 0);
        sources.emplace_back("wv", wv);
    }
    for (const auto& [kind, file] : sources) {
        SCOPED_TRACE(kind);
        const auto source = kind == "wav" ? std::unique_ptr<TAuFileIn>(std::make_unique<TWaveIn>())
                                          : NewWavPackSource();
        const std::string out = dir / (kind + ".flac");
        ASSERT_EQ(Convert(*source, file, out), "");
        EXPECT_EQ(RunCommand("metaflac --show-bps " + Quote(out)).output, "24\n");
        EXPECT_EQ(RunCommand("flac -t -s " + Quote(out)).status, 0);
        const std::string decoded = out + ".raw";
        ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -y -i " + Quote(out) +
                             " -c:a pcm_s24le -f s24le " + Quote(decoded))
                      .status,
                  0);
        const auto got = Samples24(ReadFileBytes(decoded));
        ASSERT_EQ(got.size(), expected.size());
        int worst = 0;
        for (size_t i = 0; i < got.size(); ++i)
            worst = std::max(worst, std::abs(got[i] - expected[i]));
        EXPECT_LE(worst, 1);
    }

    // True 32-bit integers stay 32-bit, bit for bit.
    const std::string ints = dir / "int32.wav";
    ASSERT_EQ(RunCommand("sox -r 44100 -c 2 -n -b 32 -e signed " + Quote(ints) +
                         " synth 2 whitenoise sine 440 gain -3")
                  .status,
              0);
    ASSERT_EQ(RunCommand("sox " + Quote(ints) + " -t raw " + Quote(dir / "int32.raw")).status, 0);
    const auto original = ReadFileBytes(dir / "int32.raw");
    TWaveIn wave;
    ASSERT_EQ(Convert(wave, ints, dir / "int32.flac"), "");
    EXPECT_EQ(RunCommand("metaflac --show-bps " + Quote(dir / "int32.flac")).output, "32\n");
    const RawDecode decoded = FlacDecodeRaw(dir / "int32.flac", 32);
    EXPECT_EQ(decoded.status, 0);
    ASSERT_EQ(decoded.pcm.size(), original.size());
    EXPECT_TRUE(decoded.pcm == original);
    // Its low bits really carry information: a 24-bit file would have lost them.
    bool lowBits = false;
    for (size_t i = 0; i < original.size(); i += 4)
        lowBits = lowBits || original[i] != 0;
    EXPECT_TRUE(lowBits);
    if (!wavpack) GTEST_SKIP() << "needs wavpack: float WavPack sources not checked";
}
