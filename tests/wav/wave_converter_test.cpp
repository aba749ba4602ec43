// MPEG audio in WAVE through TWaveConverter and libmsacm32.so, judged against FFmpeg.
#include "tests/wav/wav_test_support.h"
#include "wav/memory_stream.h"
#include "wav/wave_bytes.h"
#include "wav/wave_converter.h"
#include "wav/wave_header.h"
#include "wav/wave_in.h"

#include <gtest/gtest.h>

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

std::vector<uint8_t> ReadWave(const std::string& file) {
    TWaveIn in;
    in.SetFileName(file);
    return ReadAllPcm(in);
}

int LargestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    const auto x = AsInt16(a), y = AsInt16(b);
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
}

TEST_F(WaveConverterTest, ConverterLoadsSuggestsConvertsAndSavesAnImage) {
    const auto bytes = ReadFileBytes(MakeMpegWave("mp3.wav", 44100, 2));
    TMemoryStream stream;
    LoadBytes(stream, bytes);
    TWaveConverter converter;
    ASSERT_TRUE(converter.LoadFromWave(stream));
    EXPECT_EQ(WaveBytes::Read16(converter.OldFormat(), 0), 85);
    const size_t compressed = converter.Content().size();
    EXPECT_GT(compressed, 1000u);
    ASSERT_EQ(converter.SuggestPcmFormat(), 0u);
    const auto& suggested = converter.NewFormat();
    EXPECT_EQ(WaveBytes::Read16(suggested, 0), 1);
    EXPECT_EQ(WaveBytes::Read16(suggested, 2), 2);
    EXPECT_EQ(WaveBytes::Read32(suggested, 4), 44100u);
    EXPECT_EQ(WaveBytes::Read32(suggested, 8), 176400u);
    EXPECT_EQ(WaveBytes::Read16(suggested, 12), 4);
    EXPECT_EQ(WaveBytes::Read16(suggested, 14), 16);
    ASSERT_EQ(converter.Convert(), 0u);
    EXPECT_EQ(WaveBytes::Read16(converter.OldFormat(), 0), 1); // the PCM format replaced it
    EXPECT_GT(converter.Content().size(), compressed * 5);

    TMemoryStream image;
    ASSERT_EQ(converter.SaveAsPcmWave(image), 0u);
    const auto& pcm = image.Bytes();
    ASSERT_EQ(pcm.size(), 44 + converter.Content().size());
    EXPECT_EQ(WaveBytes::Read32(pcm, 4), pcm.size() - 8);
    EXPECT_EQ(WaveBytes::Read32(pcm, 40), converter.Content().size());
    EXPECT_TRUE(
        std::equal(converter.Content().begin(), converter.Content().end(), pcm.begin() + 44));
}

TEST_F(WaveConverterTest, FilesTheManagerCannotTake) {
    TWaveConverter converter;
    TMemoryStream text;
    LoadBytes(text, Bytes{}.Text("not a RIFF file at all, just some words").data);
    EXPECT_FALSE(converter.LoadFromWave(text));
    EXPECT_NE(converter.SuggestPcmFormat(), 0u);
    EXPECT_NE(converter.Convert(), 0u);

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
    EXPECT_TRUE(converter.Content().empty());

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
