// TMP3Out end to end: PCM from memory through lame_enc, the file judged by mpg123, ffprobe and
// its own frame headers.
#include "codecs/mp3/mp3_out.h"
#include "tags/text_encoding.h"
#include "tests/codecs/mp3/mp3_test_support.h"
#include "tests/support/pcm_source.h"
#include "tests/support/run_sink.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

using namespace mp3test;

namespace {

constexpr int kRate = 44100;

struct Encoded {
    SinkResult result;
    std::vector<uint8_t> bytes;
    std::string path;
};

Encoded Encode(const TempDir& dir, const std::vector<float>& samples, int channels, int bits,
               int rate, const std::function<void(TMP3Out&)>& configure = {},
               const std::string& name = "out.mp3") {
    PcmSource source(ToPcm(samples, bits), channels, bits, rate);
    TMP3Out sink;
    sink.SetFileName(dir / name);
    if (configure) configure(sink);
    Encoded encoded;
    encoded.result = RunSink(sink, source);
    encoded.path = dir / name;
    encoded.bytes = ReadFileBytes(encoded.path);
    return encoded;
}

// The frames lame itself writes for the same stereo PCM with the given options.
std::vector<FrameHeader> LameFrames(const TempDir& dir, const std::vector<float>& samples, int rate,
                                    const std::string& options) {
    const std::string raw = dir / "ref.raw", wav = dir / "ref.wav", mp3 = dir / "ref.mp3";
    WriteFileBytes(raw, ToPcm(samples, 16));
    RunCommand("sox -q -t raw -r " + std::to_string(rate) + " -e signed -b 16 -c 2 " + Quote(raw) +
               " " + Quote(wav));
    RunCommand("lame --quiet " + options + " " + Quote(wav) + " " + Quote(mp3));
    return Frames(ReadFileBytes(mp3));
}

double MeanBitRate(const std::vector<FrameHeader>& frames) {
    double sum = 0;
    for (size_t i = 1; i < frames.size(); ++i)
        sum += frames[i].bitRateKbps; // after the tag
    return frames.size() > 1 ? sum / double(frames.size() - 1) : 0;
}

std::set<int> BitRates(const std::vector<uint8_t>& bytes) {
    std::set<int> rates;
    for (const auto& frame : Frames(bytes))
        rates.insert(frame.bitRateKbps);
    return rates;
}

} // namespace

// 144 kbit/s is no constant rate of MPEG-1: the sink keeps it on average as lame --abr does.
TEST(MP3Out, LevelsGiveTheRateLameGivesAndTheFullDuration) {
    TempDir dir;
    const auto samples = Sines(kRate, kRate, {440, 660}); // one second
    for (const int kbps : {80, 144, 320}) {
        SCOPED_TRACE(kbps);
        const Encoded mp3 = Encode(dir, samples, 2, 16, kRate, [&](TMP3Out& sink) {
            sink.SetBitRate(MP3BitRateFromKbps(kbps));
        });
        ASSERT_EQ(mp3.result.error, "");
        ASSERT_TRUE(mp3.result.done);
        // The sink's defaults: plain stereo, no bit reservoir, an Info frame first as lame's.
        const bool average = kbps == 144;
        const auto reference = LameFrames(dir, samples, kRate,
                                          std::string("-m s --nores ") +
                                              (average ? "--abr " : "-b ") + std::to_string(kbps));
        ASSERT_FALSE(reference.empty());
        const auto frames = Frames(mp3.bytes);
        ASSERT_FALSE(frames.empty());
        std::vector<int> expected, got;
        for (const auto& frame : reference)
            expected.push_back(frame.bitRateKbps);
        for (const auto& frame : frames)
            got.push_back(frame.bitRateKbps);
        EXPECT_EQ(got, expected);
        // An average varies from frame to frame; a constant rate does not.
        EXPECT_EQ(std::set<int>(got.begin() + 1, got.end()).size() > 1, average);
        // At low rates LAME resamples on its own; the sink lets it choose as the tool does.
        const int fileRate = reference[0].sampleRate;
        EXPECT_EQ(frames[0].sampleRate, fileRate);
        EXPECT_EQ(frames.size(), reference.size());
        const auto probe = RunCommand("ffprobe -v error -select_streams a -show_entries "
                                      "stream=bit_rate -of csv=p=0 " +
                                      Quote(mp3.path));
        if (!average) {
            EXPECT_EQ(std::stoi(probe.output), expected.front() * 1000);
        }

        for (const auto& frame : frames) {
            EXPECT_EQ(frame.mode, 0);
            EXPECT_EQ(frame.mainDataBegin, 0);
            EXPECT_TRUE(frame.original);
            EXPECT_FALSE(frame.crc);
        }
        const Decoded decoded = DecodeWithMpg123(mp3.path, dir);
        ASSERT_EQ(decoded.channels, 2);
        EXPECT_EQ(decoded.rate, fileRate);
        // One second, give or take the encoder's delay and padding.
        EXPECT_NEAR(double(decoded.Frames()) / fileRate, 1.0, 2.0 * 1152 / fileRate);
    }
}

TEST(MP3Out, EveryPcmWidthEncodesTheSameSignal) {
    TempDir dir;
    const size_t frames = kRate;
    const auto samples = Sines(frames, kRate, {440, 1000});
    for (const int bits : {8, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        const Encoded mp3 =
            Encode(dir, samples, 2, bits, kRate, [](TMP3Out& sink) { sink.SetBitRate(mbr192); });
        ASSERT_EQ(mp3.result.error, "");
        const Decoded decoded = DecodeWithMpg123(mp3.path, dir);
        ASSERT_EQ(decoded.channels, 2);
        for (int c = 0; c < 2; ++c) {
            std::vector<double> source(frames);
            for (size_t i = 0; i < frames; ++i)
                source[i] = samples[i * 2 + size_t(c)];
            // 8-bit input carries its own quantisation noise (about 48 dB down).
            EXPECT_GT(BestSnr(source, decoded.Channel(c), 3000), bits == 8 ? 25.0 : 30.0);
        }
    }
}

TEST(MP3Out, SurroundIsFoldedToStereoAndStereoToMonoOnRequest) {
    TempDir dir;
    // FL FR FC LFE BL BR, each with a tone of its own.
    const std::vector<double> tones = {500, 1300, 2100, 60, 3100, 4300};
    const auto samples = Sines(kRate, kRate, tones, 0.3);
    const Encoded surround = Encode(dir, samples, 6, 16, kRate);
    ASSERT_EQ(surround.result.error, "");
    const Decoded stereo = DecodeWithMpg123(surround.path, dir);
    ASSERT_EQ(stereo.channels, 2);
    const auto left = stereo.Channel(0), right = stereo.Channel(1);
    auto ratio = [&](double f) { return TonePower(left, f, kRate) / TonePower(right, f, kRate); };
    EXPECT_GT(ratio(500), 100.0);        // front left
    EXPECT_LT(ratio(1300), 0.01);        // front right
    EXPECT_NEAR(ratio(2100), 1.0, 0.25); // centre on both sides
    EXPECT_GT(ratio(3100), 100.0);       // back left
    EXPECT_LT(ratio(4300), 0.01);        // back right
    EXPECT_LT(TonePower(left, 60, kRate), TonePower(left, 500, kRate) / 1000); // no LFE

    const auto pair = Sines(kRate, kRate, {700, 1900});
    const Encoded mono = Encode(
        dir, pair, 2, 16, kRate, [](TMP3Out& sink) { sink.SetMode(mmMono); }, "mono.mp3");
    ASSERT_EQ(mono.result.error, "");
    for (const auto& frame : Frames(mono.bytes))
        ASSERT_EQ(frame.mode, 3);
    const Decoded decoded = DecodeWithMpg123(mono.path, dir);
    ASSERT_EQ(decoded.channels, 1);
    ASSERT_NEAR(double(decoded.Frames()), double(kRate), 2 * 1152);
    std::vector<double> mix(kRate);
    for (size_t i = 0; i < mix.size(); ++i)
        mix[i] = (pair[2 * i] + pair[2 * i + 1]) / 2;
    EXPECT_GT(BestSnr(mix, decoded.Channel(0), 3000), 25.0);
}

TEST(MP3Out, SampleRatesMP3CarriesAndOnesItDoesNot) {
    TempDir dir;
    struct Case {
        int rate;
        TMP3BitRate bitRate;
        int version;
        int fileRate;
    };
    for (const Case c : {Case{22050, mbr64, 2, 22050}, Case{48000, mbr160, 1, 48000},
                         Case{8000, mbr32, 25, 8000}, Case{96000, mbr160, 1, 48000}}) {
        SCOPED_TRACE(c.rate);
        const auto samples = Sines(size_t(c.rate), c.rate, {440, 550});
        const Encoded mp3 =
            Encode(dir, samples, 2, 16, c.rate, [&](TMP3Out& sink) { sink.SetBitRate(c.bitRate); });
        ASSERT_EQ(mp3.result.error, "");
        const auto frames = Frames(mp3.bytes);
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames[0].version, c.version);
        EXPECT_EQ(frames[0].sampleRate, c.fileRate);
        const Decoded decoded = DecodeWithMpg123(mp3.path, dir);
        EXPECT_EQ(decoded.rate, c.fileRate);
        // One second of audio, give or take the encoder's delay and padding.
        EXPECT_NEAR(double(decoded.Frames()) / c.fileRate, 1.0, 2.0 * 1152 / c.fileRate);
    }
}

TEST(MP3Out, VariableAndAverageRatesCarryAXingHeaderAndDecodeToTheExactLength) {
    TempDir dir;
    // Noise and tones alternate, so that a variable rate has something to vary with.
    auto samples = Sines(2 * kRate, kRate, {440, 660});
    uint32_t seed = 1;
    for (size_t i = kRate / 2; i < kRate; ++i) {
        seed = seed * 1664525u + 1013904223u;
        samples[2 * i] = samples[2 * i + 1] = float(int32_t(seed) / 2147483648.0 * 0.5);
    }
    const Encoded vbr = Encode(
        dir, samples, 2, 16, kRate,
        [](TMP3Out& sink) {
            sink.SetEnableVBR(true);
            sink.SetVBRQuality(mp3ql2);
            sink.SetBitRate(mbr32);
        },
        "vbr.mp3");
    ASSERT_EQ(vbr.result.error, "");
    EXPECT_TRUE(HasXingTag(vbr.bytes));
    EXPECT_GT(BitRates(vbr.bytes).size(), 2u);
    const double vbrReference =
        MeanBitRate(LameFrames(dir, samples, kRate, "-V 2 -b 32 -m s --nores"));
    EXPECT_NEAR(MeanBitRate(Frames(vbr.bytes)), vbrReference, vbrReference * 0.03);
    // The LAME tag tells mpg123 the encoder delay and padding: nothing more, nothing less.
    EXPECT_EQ(DecodeWithMpg123(vbr.path, dir).Frames(), 2u * kRate);

    const Encoded abr = Encode(
        dir, samples, 2, 16, kRate,
        [](TMP3Out& sink) {
            sink.SetAverageBitrate(mbr192);
            sink.SetBitRate(mbr32);
        },
        "abr.mp3");
    ASSERT_EQ(abr.result.error, "");
    EXPECT_TRUE(HasXingTag(abr.bytes));
    const double abrReference =
        MeanBitRate(LameFrames(dir, samples, kRate, "--abr 192 -b 32 -m s --nores"));
    EXPECT_NEAR(MeanBitRate(Frames(abr.bytes)), abrReference, abrReference * 0.03);
    EXPECT_EQ(DecodeWithMpg123(abr.path, dir).Frames(), 2u * kRate);
}

TEST(MP3Out, Id3v1BlockEndsTheFile) {
    TempDir dir;
    const auto samples = Sines(kRate / 4, kRate, {440, 660});

    // Untouched tags: an empty block with no genre (255), not Blues (0) or Other (12).
    const Encoded plain = Encode(dir, samples, 2, 16, kRate);
    ASSERT_EQ(plain.result.error, "");
    ASSERT_GE(plain.bytes.size(), 128u);
    std::vector<uint8_t> expected(128, 0);
    std::copy_n("TAG", 3, expected.begin());
    expected[127] = 255;
    EXPECT_EQ(std::vector<uint8_t>(plain.bytes.end() - 128, plain.bytes.end()), expected);

    const Encoded tagged = Encode(
        dir, samples, 2, 16, kRate,
        [](TMP3Out& sink) {
            sink.Id3v1Tags().SetTitle("A title that is well over thirty characters long");
            sink.Id3v1Tags().SetArtist("Artist");
            sink.Id3v1Tags().SetAlbum("Album");
            sink.Id3v1Tags().SetComment("Comment");
            sink.Id3v1Tags().SetYear(1999);
            sink.Id3v1Tags().SetTrack(7);
            sink.Id3v1Tags().SetGenre("Rock");
        },
        "tagged.mp3");
    ASSERT_EQ(tagged.result.error, "");
    const std::vector<uint8_t> block(tagged.bytes.end() - 128, tagged.bytes.end());
    EXPECT_EQ(std::string(block.begin() + 3, block.begin() + 33), "A title that is well over thir");
    EXPECT_EQ(std::string(block.begin() + 33, block.begin() + 39), std::string("Artist"));
    EXPECT_EQ(block[39], 0);
    EXPECT_EQ(std::string(block.begin() + 93, block.begin() + 97), "1999");
    EXPECT_EQ(block[125], 0);
    EXPECT_EQ(block[126], 7);
    EXPECT_EQ(block[127], 17);
    const auto probe = RunCommand("ffprobe -v error -show_entries format_tags=title,artist,track "
                                  "-of default=nw=1 " +
                                  Quote(tagged.path));
    EXPECT_NE(probe.output.find("artist=Artist"), std::string::npos) << probe.output;
    EXPECT_NE(probe.output.find("track=7"), std::string::npos) << probe.output;
    // The tag did not cost audio: every frame is still there.
    EXPECT_EQ(Frames(tagged.bytes).size(), Frames(plain.bytes).size());
}

TEST(MP3Out, CommonTagsAssignedByTheDriverReachTheBlock) {
    TempDir dir;
    TCommonTags common;
    common.SetTitle("Título");
    common.SetArtist("Artist");
    common.SetAlbum("Album");
    common.SetGenre("jazz");
    common.SetYear("2005-03-01");
    common.SetTrack("3/12");
    const Encoded mp3 = Encode(dir, Sines(kRate / 4, kRate, {440}), 1, 16, kRate,
                               [&](TMP3Out& sink) { sink.SetId3v1Tags(common); });
    ASSERT_EQ(mp3.result.error, "");
    const std::vector<uint8_t> block(mp3.bytes.end() - 128, mp3.bytes.end());
    EXPECT_EQ(std::string(block.begin() + 3, block.begin() + 9), "T\xEDtulo"); // ISO-8859-1
    EXPECT_EQ(std::string(block.begin() + 93, block.begin() + 97), "2005");
    EXPECT_EQ(block[126], 3);
    EXPECT_EQ(block[127], 8); // Jazz

    // A genre that is no ID3v1 genre is left unset rather than turned into Blues.
    common.SetGenre("Vaporwave");
    const Encoded unknown = Encode(
        dir, Sines(kRate / 4, kRate, {440}), 1, 16, kRate,
        [&](TMP3Out& sink) { sink.SetId3v1Tags(common); }, "u.mp3");
    EXPECT_EQ(unknown.bytes.back(), 255);
}

TEST(MP3Out, HeaderBitsFollowTheProperties) {
    TempDir dir;
    const Encoded mp3 =
        Encode(dir, Sines(kRate / 2, kRate, {440, 660}), 2, 16, kRate, [](TMP3Out& sink) {
            sink.SetCRC(true);
            sink.SetCopyright(true);
            sink.SetOriginal(false);
            sink.SetMode(mmJointStereo);
            sink.SetEnableBitReservoir(true);
        });
    ASSERT_EQ(mp3.result.error, "");
    const auto frames = Frames(mp3.bytes);
    ASSERT_GT(frames.size(), 10u);
    bool reservoirUsed = false;
    for (const auto& frame : frames) {
        EXPECT_TRUE(frame.crc);
        EXPECT_TRUE(frame.copyright);
        EXPECT_FALSE(frame.original);
        EXPECT_EQ(frame.mode, 1);
        reservoirUsed |= frame.mainDataBegin != 0;
    }
    EXPECT_TRUE(reservoirUsed);
    EXPECT_TRUE(HasXingTag(mp3.bytes)); // the Info frame of a constant rate
}

TEST(MP3Out, FailuresEndTheRunWithTheirMessage) {
    TempDir dir;
    {
        PcmSource source(ToPcm(Sines(1000, kRate, {440, 660}), 16), 2, 16, kRate);
        TMP3Out sink;
        EXPECT_EQ(RunSink(sink, source).error, "File name is not assigned.");
    }
    {
        // A disk that is full: the frames cannot be written.
        PcmSource source(ToPcm(Sines(kRate, kRate, {440, 660}), 16), 2, 16, kRate);
        TMP3Out sink;
        sink.SetFileName("/dev/full");
        EXPECT_EQ(RunSink(sink, source).error, "Error writing down mp3 file");
    }
    {
        // A width the pipeline does not define is refused, not reinterpreted, and the sink can
        // run again afterwards.
        PcmSource bad(std::vector<uint8_t>(3000, 0x55), 2, 12, kRate);
        TMP3Out sink;
        sink.SetFileName(dir / "bad.mp3");
        EXPECT_EQ(RunSink(sink, bad).error,
                  "The input's PCM format (12 bits, 2 channels, 44100 Hz) cannot be encoded");
        PcmSource good(ToPcm(Sines(kRate / 4, kRate, {440, 660}), 16), 2, 16, kRate);
        sink.SetFileName(dir / "good.mp3");
        EXPECT_EQ(RunSink(sink, good).error, "");
        EXPECT_FALSE(Frames(ReadFileBytes(dir / "good.mp3")).empty());
    }
}

TEST(MP3Out, LongNonLatinTitlesAndTheExactLengthSurviveInBothRateModes) {
    if (!HaveTool("sox") || !HaveTool("ffmpeg") || !HaveTool("ffprobe") || !HaveTool("mpg123"))
        GTEST_SKIP() << "needs sox, ffmpeg, ffprobe and mpg123";
    TempDir dir;
    // Three seconds and an odd sample, so that no length falls on a frame boundary.
    constexpr size_t kFrames = 3 * kRate + 1;
    ASSERT_EQ(RunCommand("sox -q -r 44100 -n -c 2 -b 16 " + Quote(dir / "in.wav") + " synth " +
                         std::to_string(kFrames) + "s sine 440 sine 660 gain -6")
                  .status,
              0);
    const Decoded wav = ReadWave(ReadFileBytes(dir / "in.wav"));
    ASSERT_EQ(wav.Frames(), kFrames);
    // Sixty characters: Cyrillic, Japanese and a dash, none of them in ISO-8859-1.
    const std::string title =
        "Песня о далёкой звезде и долгой дороге домой — 遠い星の歌を夜明けまで歌う";
    ASSERT_EQ(tags::Utf8ToUtf16(title).size(), 60u);

    for (const bool vbr : {false, true}) {
        SCOPED_TRACE(vbr ? "VBR" : "CBR");
        PcmSource source(
            {reinterpret_cast<const uint8_t*>(wav.samples.data()),
             reinterpret_cast<const uint8_t*>(wav.samples.data() + wav.samples.size())},
            2, 16, kRate);
        TMP3Out sink;
        const std::string mp3 = dir / (vbr ? "vbr.mp3" : "cbr.mp3");
        sink.SetFileName(mp3);
        sink.SetBitRate(vbr ? mbr32 : mbr128);
        sink.SetEnableVBR(vbr);
        sink.Id3v2Tags().SetTitle(title);
        sink.Id3v2Tags().SetArtist("Ünal");
        sink.Id3v1Tags().SetTitle("Short");
        ASSERT_EQ(RunSink(sink, source).error, "");

        const std::vector<uint8_t> bytes = ReadFileBytes(mp3);
        ASSERT_GT(bytes.size(), 1000u);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
        EXPECT_EQ(std::string(bytes.end() - 128, bytes.end() - 120), std::string("TAGShort"));
        // The encoder's own frame comes right after the ID3v2 tag, before any audio.
        const auto frames = Frames(bytes);
        ASSERT_FALSE(frames.empty());
        const std::string first(bytes.begin() + std::ptrdiff_t(frames[0].offset),
                                bytes.begin() +
                                    std::ptrdiff_t(frames[0].offset + frames[0].length));
        EXPECT_NE(first.find(vbr ? "Xing" : "Info"), std::string::npos);
        EXPECT_NE(first.find("LAME"), std::string::npos);

        const auto probe = RunCommand("ffprobe -v error -show_entries format_tags=title,artist "
                                      "-of default=nw=1 " +
                                      Quote(mp3));
        EXPECT_NE(probe.output.find("title=" + title + "\n"), std::string::npos) << probe.output;
        EXPECT_NE(probe.output.find("artist=Ünal\n"), std::string::npos) << probe.output;

        // Decoders trim the encoder's delay and padding: the source's length comes back.
        const std::string back = dir / (vbr ? "vbr.wav" : "cbr.wav");
        ASSERT_EQ(
            RunCommand("ffmpeg -v error -y -i " + Quote(mp3) + " -f wav " + Quote(back)).status, 0);
        const Decoded decoded = ReadWave(ReadFileBytes(back));
        ASSERT_EQ(decoded.channels, 2);
        EXPECT_NEAR(double(decoded.Frames()), double(kFrames), 0.005 * kRate);
        EXPECT_EQ(DecodeWithMpg123(mp3, dir).Frames(), kFrames);
        EXPECT_GT(BestSnr(wav.Channel(0), decoded.Channel(0), 0), 20.0);
    }
}
