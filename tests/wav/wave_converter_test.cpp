// Compressed WAVE (MPEG audio, A-law, µ-law, GSM 6.10) through TWaveConverter and
// libmsacm32.so, judged against sox and FFmpeg.
#include "tests/wav/wav_test_support.h"
#include "wav/memory_stream.h"
#include "wav/wave_bytes.h"
#include "wav/wave_converter.h"
#include "wav/wave_header.h"
#include "wav/wave_in.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uint32_t kNoDriver = 6;

class WaveConverterTest : public ::testing::Test {
protected:
    std::string Temp(const std::string& name) const { return dir_ / name; }

    // MP3 in WAVE made by FFmpeg from a sox signal.
    std::string MakeMpegWave(const std::string& name, int rate, int channels,
                             const std::string& codecOption = "-c:a libmp3lame") {
        const std::string source = Temp("source_" + name);
        Tool("sox -V1 -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
             " -b 16 " + Quote(source) + " synth 1.2 sine 300-3000 sine 440 vol 0.6");
        const std::string file = Temp(name);
        Tool("ffmpeg -v error -i " + Quote(source) + " " + codecOption + " -f wav " + Quote(file));
        return file;
    }

    static void LoadBytes(TMemoryStream& stream, const std::vector<uint8_t>& bytes) {
        stream.Write(bytes);
        stream.Seek(0, TStream::Origin::Begin);
    }

    TempDir dir_;
};

int LargestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    const auto x = Samples16(a), y = Samples16(b);
    int worst = 0;
    for (size_t i = 0; i < std::min(x.size(), y.size()); ++i)
        worst = std::max(worst, std::abs(x[i] - y[i]));
    return worst;
}

} // namespace

TEST_F(WaveConverterTest, MpegInWaveDecodesLikeFfmpeg) {
    struct Case {
        int rate, channels;
        std::string option;
    };
    // MPEG-1, MPEG-2 and MPEG-2.5 layer III.
    for (const Case& c : {Case{44100, 2, "-c:a libmp3lame"}, Case{22050, 1, "-acodec mp3"},
                          Case{8000, 1, "-c:a libmp3lame"}}) {
        const std::string what = std::to_string(c.rate) + "/" + std::to_string(c.channels);
        const std::string file = MakeMpegWave("mp3_" + what.substr(0, what.find('/')) + ".wav",
                                              c.rate, c.channels, c.option);
        ASSERT_EQ(WaveBytes::Read16(ReadFileBytes(file), 20), 85) << what;
        TWaveIn in;
        in.SetFileName(file);
        EXPECT_EQ(in.WavType(), wtACM) << what;
        EXPECT_EQ(in.GetBitsPerSample(), 16);
        EXPECT_EQ(in.GetChannels(), c.channels);
        EXPECT_EQ(in.GetSampleRate(), c.rate);
        const auto ours = ReadAllPcm(in);
        EXPECT_FALSE(in.Damaged());
        const auto reference = FfmpegRaw(file, "s16le", "pcm_s16le", Temp("ref.raw"));
        ASSERT_EQ(ours.size(), reference.size()) << what;
        // Two decoders of the same frames: they may differ in the last bit of rounding.
        EXPECT_LE(LargestDifference(ours, reference), 2) << what;
    }
}

TEST_F(WaveConverterTest, SeekingAndCutFilesInMpegWave) {
    const std::string file = MakeMpegWave("mp3.wav", 44100, 2);
    const auto full = ReadWave(file);
    TWaveIn in;
    in.SetFileName(file);
    in.SetStartSample(10000);
    const auto tail = ReadAllPcm(in);
    ASSERT_EQ(tail.size(), full.size() - 40000);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), full.begin() + 40000));

    auto bytes = ReadFileBytes(file);
    bytes.resize(bytes.size() * 2 / 3);
    WriteFileBytes(Temp("cut.wav"), bytes);
    TWaveIn cut;
    cut.SetFileName(Temp("cut.wav"));
    const auto part = ReadAllPcm(cut);
    EXPECT_TRUE(cut.Damaged());
    ASSERT_GT(part.size(), full.size() / 3);
    ASSERT_LT(part.size(), full.size());
    EXPECT_TRUE(std::equal(part.begin(), part.end(), full.begin()));

    // The 'fact' count is only an estimate of what the decoder gives: a whole file whose count
    // is too high or too low is delivered whole and not taken for a cut one, while a cut file
    // states that count.
    const auto original = ReadFileBytes(file);
    SpanByteSource reader(original);
    const WaveHeader header = ReadWaveHeader(reader);
    ASSERT_TRUE(header.hasFact);
    EXPECT_EQ(cut.StatedFrames(), int64_t(header.factValue));
    for (const int64_t change : {-20000, 20000}) {
        auto stated = original;
        WaveBytes::Write32(stated, header.factValueOffset, uint32_t(header.factValue + change));
        WriteFileBytes(Temp("stated.wav"), stated);
        TWaveIn in;
        in.SetFileName(Temp("stated.wav"));
        EXPECT_EQ(in.GetTotalSamples(), int64_t(header.factValue + change));
        const auto pcm = ReadAllPcm(in);
        EXPECT_EQ(pcm, full) << change;
        EXPECT_FALSE(in.Damaged()) << change;
        EXPECT_EQ(in.Size(), int64_t(full.size())) << change;
    }
}

TEST_F(WaveConverterTest, ConverterReadsThePayloadPieceByPieceAndStartsOver) {
    const std::string file = MakeMpegWave("mp3.wav", 44100, 2);
    const auto whole = ReadWave(file);
    TMemoryStream stream;
    LoadBytes(stream, ReadFileBytes(file));
    TWaveConverter converter;
    ASSERT_TRUE(converter.LoadFromWave(stream));
    EXPECT_EQ(WaveBytes::Read16(converter.OldFormat(), 0), 85);
    EXPECT_GT(converter.PayloadBytes(), 1000u);
    ASSERT_EQ(converter.SuggestPcmFormat(), 0u);
    const auto& suggested = converter.NewFormat();
    EXPECT_EQ(WaveBytes::Read16(suggested, 0), 1);
    EXPECT_EQ(WaveBytes::Read16(suggested, 2), 2);
    EXPECT_EQ(WaveBytes::Read32(suggested, 4), 44100u);
    EXPECT_EQ(WaveBytes::Read32(suggested, 8), 176400u);
    EXPECT_EQ(WaveBytes::Read16(suggested, 12), 4);
    EXPECT_EQ(WaveBytes::Read16(suggested, 14), 16);
    // Pieces of any size, a second time from the start: the same PCM as the reader's.
    for (const size_t piece : {size_t(1000), size_t(4096 * 3 + 2)}) {
        ASSERT_EQ(converter.Start(), 0u);
        std::vector<uint8_t> pcm, part(piece);
        while (const size_t n = converter.Read(part))
            pcm.insert(pcm.end(), part.begin(), part.begin() + int64_t(n));
        EXPECT_EQ(converter.Error(), 0u);
        EXPECT_EQ(pcm, whole) << piece;
    }
    EXPECT_FALSE(converter.SourceTruncated());
}

TEST_F(WaveConverterTest, FilesTheManagerCannotTake) {
    TWaveConverter converter;
    TMemoryStream text;
    LoadBytes(text, Bytes{}.Text("not a RIFF file at all, just some words").data);
    EXPECT_FALSE(converter.LoadFromWave(text));
    EXPECT_NE(converter.SuggestPcmFormat(), 0u);
    EXPECT_NE(converter.Start(), 0u);
    std::vector<uint8_t> none(64);
    EXPECT_EQ(converter.Read(none), 0u);

    // Another compressed format: the manager has no driver for it.
    Tool("sox -V1 -n -r 8000 -c 1 " + Quote(Temp("ms.wav")) + " synth 0.1 sine 300");
    Tool("sox -V1 " + Quote(Temp("ms.wav")) + " -e ms-adpcm " + Quote(Temp("ms2.wav")));
    TMemoryStream ms;
    LoadBytes(ms, ReadFileBytes(Temp("ms2.wav")));
    ASSERT_TRUE(converter.LoadFromWave(ms));
    EXPECT_EQ(converter.SuggestPcmFormat(), kNoDriver);

    // A 16-byte format record reads as an 18-byte one; an empty last 'data' chunk loads
    // nothing.
    Bytes shortFormat;
    shortFormat.Text("RIFF").U32(0).Text("WAVE");
    shortFormat.Chunk("fmt ", PcmFormat(2, 44100, 0, 85)).Chunk("fact", Bytes{}.U32(0).data);
    shortFormat.Chunk("data", {});
    TMemoryStream empty;
    LoadBytes(empty, shortFormat.data);
    ASSERT_TRUE(converter.LoadFromWave(empty));
    EXPECT_EQ(WaveBytes::Read16(converter.OldFormat(), 0), 85);
    EXPECT_EQ(WaveBytes::Read16(converter.OldFormat(), 16), 0);
    EXPECT_EQ(converter.PayloadBytes(), 0u);

    // A format record longer than the 129-byte buffer is not loaded.
    Bytes longFormat;
    longFormat.Text("RIFF").U32(0).Text("WAVE");
    auto record = PcmFormat(2, 44100, 0, 85);
    record.resize(140, 0);
    longFormat.Chunk("fmt ", record).Chunk("fact", Bytes{}.U32(0).data).Chunk("data", {1, 2});
    TMemoryStream tooLong;
    LoadBytes(tooLong, longFormat.data);
    EXPECT_FALSE(converter.LoadFromWave(tooLong));
    WriteFileBytes(Temp("long.wav"), longFormat.data);
    TWaveIn in;
    in.SetFileName(Temp("long.wav"));
    EXPECT_FALSE(in.FileValid());
}

TEST_F(WaveConverterTest, GarbageMpegPayloadIsAnInvalidFile) {
    Bytes file;
    file.Text("RIFF").U32(0).Text("WAVE");
    file.Chunk("fmt ", Bytes{}
                           .U16(85)
                           .U16(2)
                           .U32(44100)
                           .U32(16000)
                           .U16(1)
                           .U16(0)
                           .U16(12)
                           .U16(1)
                           .U32(2)
                           .U16(417)
                           .U16(1)
                           .U16(1393)
                           .data);
    file.Chunk("fact", Bytes{}.U32(44100).data);
    std::vector<uint8_t> garbage(30000);
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = uint8_t(i * 7 + (i >> 5));
    file.Chunk("data", garbage);
    WriteFileBytes(Temp("garbage.wav"), file.data);
    TWaveIn in;
    in.SetFileName(Temp("garbage.wav"));
    EXPECT_FALSE(in.FileValid());
    EXPECT_TRUE(ReadAllPcm(in).empty());
}

// A-law and µ-law exactly as sox expands them, GSM 6.10 exactly as FFmpeg decodes it (whole
// blocks); each read as it converts, seekable, and a cut file delivers its start as damaged.
TEST_F(WaveConverterTest, ALawMuLawAndGsmWaveDecodeAsSoxAndFfmpegDo) {
    if (!HaveTool("sox") || !HaveTool("ffmpeg")) GTEST_SKIP() << "needs sox and ffmpeg";
    struct Case {
        std::string encoding;
        int rate, channels;
        uint16_t tag;
    };
    for (const Case& c : {Case{"a-law", 8000, 2, 6}, Case{"u-law", 11025, 1, 7},
                          Case{"gsm-full-rate", 8000, 1, 49}}) {
        const std::string source = Temp("source.wav"), file = Temp(c.encoding + ".wav");
        Tool("sox -V1 -n -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) +
             " -b 16 " + Quote(source) + " synth 1.3 pinknoise vol 0.8");
        Tool("sox -V1 " + Quote(source) + " -e " + c.encoding + " " + Quote(file));
        ASSERT_EQ(WaveBytes::Read16(ReadFileBytes(file), 20), c.tag) << c.encoding;

        TWaveIn in;
        in.SetFileName(file);
        EXPECT_EQ(in.WavType(), wtACM) << c.encoding;
        EXPECT_EQ(in.GetBitsPerSample(), 16);
        EXPECT_EQ(in.GetChannels(), c.channels);
        EXPECT_EQ(in.GetSampleRate(), c.rate);
        const int64_t total = in.GetTotalSamples();
        const auto ours = ReadAllPcm(in, 3000);
        EXPECT_FALSE(in.Damaged() || in.Corrupt()) << c.encoding;
        EXPECT_EQ(int64_t(ours.size()), total * c.channels * 2) << c.encoding;
        const auto reference = c.tag == 49 ? FfmpegRaw(file, "s16le", "pcm_s16le", Temp("ref.raw"))
                                           : SoxRaw16(file, Temp("ref.raw"));
        ASSERT_EQ(ours.size(), reference.size()) << c.encoding;
        EXPECT_TRUE(ours == reference) << c.encoding;

        const size_t frameBytes = size_t(c.channels) * 2;
        TWaveIn seek;
        seek.SetFileName(file);
        seek.SetStartSample(1000);
        const auto tail = ReadAllPcm(seek);
        ASSERT_EQ(tail.size(), ours.size() - 1000 * frameBytes) << c.encoding;
        EXPECT_TRUE(std::equal(tail.begin(), tail.end(), ours.begin() + 1000 * frameBytes));

        auto bytes = ReadFileBytes(file);
        bytes.resize(bytes.size() * 2 / 3);
        WriteFileBytes(Temp("cut.wav"), bytes);
        TWaveIn cut;
        cut.SetFileName(Temp("cut.wav"));
        const auto part = ReadAllPcm(cut);
        EXPECT_TRUE(cut.Damaged()) << c.encoding;
        EXPECT_EQ(cut.StatedFrames(), total) << c.encoding;
        ASSERT_GT(part.size(), ours.size() / 2) << c.encoding;
        ASSERT_LT(part.size(), ours.size()) << c.encoding;
        EXPECT_TRUE(std::equal(part.begin(), part.end(), ours.begin())) << c.encoding;
    }
}

// A format tag no reader path and no codec of the manager knows is refused by its number; a
// known tag with parameters its codec cannot take is a damaged file.
TEST_F(WaveConverterTest, FormatTagsNothingConvertsAreRefusedByNumber) {
    const auto wave = [](const std::vector<uint8_t>& format) {
        Bytes body;
        body.Text("WAVE").Chunk("fmt ", format).Chunk("data", std::vector<uint8_t>(3250, 0x55));
        return Bytes{}.Text("RIFF").U32(uint32_t(body.data.size())).Append(body.data).data;
    };
    const auto refusal = [&](const std::vector<uint8_t>& format) -> std::string {
        WriteFileBytes(Temp("tag.wav"), wave(format));
        TWaveIn in;
        in.SetFileName(Temp("tag.wav"));
        try {
            return in.FileValid() ? "valid" : "invalid";
        } catch (const std::exception& e) {
            return e.what();
        }
    };
    EXPECT_EQ(refusal(PcmFormat(1, 8000, 4, 0x1234)),
              "WAV files with format tag 4660 are not supported");
    // The extensible format names the tag in its subformat GUID.
    Bytes extensible;
    extensible.Append(PcmFormat(2, 44100, 16, 0xFFFE)).U16(22).U16(16).U32(3);
    extensible.U16(0x0160).Append(
        {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
    EXPECT_EQ(refusal(extensible.data), "WAV files with format tag 352 are not supported");
    // GSM 6.10 is mono with 65-byte blocks; A-law has one byte per sample.
    EXPECT_EQ(
        refusal(Bytes{}.U16(49).U16(2).U32(8000).U32(1625).U16(65).U16(0).U16(2).U16(320).data),
        "invalid");
    EXPECT_EQ(refusal(PcmFormat(1, 8000, 16, 6)), "invalid");
    EXPECT_EQ(refusal(PcmFormat(3000, 8000, 8, 6)), "invalid"); // frames beyond the buffer
    EXPECT_EQ(refusal(PcmFormat(1, 8000, 8, 6)), "valid");
}

// A ten-minute MPEG-in-WAVE file (one PCM copy would take 106 MB) is read in a child process
// whose peak memory stays under 100 MB.
TEST_F(WaveConverterTest, LongMpegWaveIsConvertedInBoundedMemory) {
    if (!HaveTool("sox") || !HaveTool("ffmpeg")) GTEST_SKIP() << "needs sox and ffmpeg";
    const std::string source = Temp("ten.wav"), shortFile = Temp("ten_mp3.wav");
    Tool("sox -V1 -n -r 44100 -c 2 -b 16 " + Quote(source) + " synth 10 pinknoise vol 0.5");
    Tool("ffmpeg -v error -i " + Quote(source) + " -c:a libmp3lame -b:a 128k -f wav " +
         Quote(shortFile));
    // Sixty copies of the MPEG frames make ten minutes.
    const auto bytes = ReadFileBytes(shortFile);
    SpanByteSource reader(bytes);
    const WaveHeader header = ReadWaveHeader(reader);
    ASSERT_TRUE(header.hasData && header.hasFact);
    const auto payload =
        std::vector<uint8_t>(bytes.begin() + int64_t(header.dataOffset),
                             bytes.begin() + int64_t(header.dataOffset + header.dataLength));
    Bytes frames;
    for (int i = 0; i < 60; ++i)
        frames.Append(payload);
    Bytes body;
    body.Text("WAVE").Chunk("fmt ", header.formatRecord);
    body.Chunk("fact", Bytes{}.U32(header.factValue * 60).data).Chunk("data", frames.data);
    const std::string file = Temp("long.wav");
    WriteFileBytes(file,
                   Bytes{}.Text("RIFF").U32(uint32_t(body.data.size())).Append(body.data).data);

    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(channel[0]);
        uint64_t result[2] = {0, 0};
        try {
            TWaveIn in;
            in.SetFileName(file);
            in.Init();
            for (;;) {
                const uint8_t* buffer = nullptr;
                uint32_t n = 1 << 20;
                in.GetData(buffer, n);
                if (n == 0) break;
                result[0] += n;
            }
            in.Flush();
        } catch (...) {
            _exit(2);
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        result[1] = uint64_t(usage.ru_maxrss); // KiB
        const bool sent = write(channel[1], result, sizeof result) == sizeof result;
        _exit(sent ? 0 : 3);
    }
    close(channel[1]);
    uint64_t result[2] = {0, 0};
    const bool received = read(channel[0], result, sizeof result) == sizeof result;
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(received && WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // Every frame decoded: 600 s of stereo 16-bit at 44.1 kHz, and the encoder's padding.
    EXPECT_GE(result[0], 600u * 44100 * 4);
    EXPECT_LE(result[0], 601u * 44100 * 4 + 60u * 2 * 1152 * 4);
    // The sanitizers' shadow memory counts in the peak: the bound holds for the plain build.
#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(result[1], 100u * 1024) << "peak KiB";
#endif
}
