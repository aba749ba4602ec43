// TWVIn judged against wvunpack and the original PCM: files of every wavpack mode, hybrid files
// with and without their correction file, float files, tags, ranges, a damaged file's run
// (cut and damaged copies: tests/codecs/damage).
#include "wavpack_test_support.h"

#include "codecs/wavpack/wavpack_library.h"
#include "pipeline/au_exception.h"

#include <algorithm>
#include <bit>
#include <cstring>

using namespace wvtest;
namespace fs = std::filesystem;

namespace {

std::string WavpackTool(const std::string& options, const std::string& wav, const std::string& wv) {
    const std::string command =
        "wavpack -q -y " + options + " " + Quote(wav) + " -o " + Quote(wv) + " 2>&1";
    const CommandResult result = RunCommand(command);
    EXPECT_EQ(result.status, 0) << command << "\n" << result.output;
    return wv;
}

// ffmpeg's decoding of a 16-bit file, the judge of what a damaged header still holds.
std::vector<uint8_t> FfmpegPcm16(const std::string& path) {
    const CommandResult result =
        RunCommand("ffmpeg -nostdin -v quiet -i " + Quote(path) + " -f s16le - 2>/dev/null");
    return {result.output.begin(), result.output.end()};
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

// A 32-bit float WAV file built byte by byte, so values beyond +/-1.0 can be stored.
std::vector<uint8_t> FloatWav(const std::vector<float>& samples, int channels) {
    std::vector<uint8_t> wav;
    const uint32_t data = uint32_t(samples.size() * 4);
    wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
    PutLe(wav, 36 + data, 4);
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe(wav, 16, 4);
    PutLe(wav, 3, 2); // IEEE float
    PutLe(wav, uint32_t(channels), 2);
    PutLe(wav, 44100, 4);
    PutLe(wav, 44100 * 4 * uint32_t(channels), 4);
    PutLe(wav, 4 * uint32_t(channels), 2);
    PutLe(wav, 32, 2);
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    PutLe(wav, data, 4);
    for (const float value : samples)
        PutLe(wav, std::bit_cast<uint32_t>(value), 4);
    return wav;
}

int32_t Int32At(const std::vector<uint8_t>& pcm, size_t index) {
    uint32_t value;
    std::memcpy(&value, pcm.data() + index * 4, 4);
    return int32_t(value);
}

} // namespace

TEST(WvIn, FilesOfEveryWavpackModeDecodeBitExactly) {
    TempDir dir;
    const std::string wav = dir / "in.wav";
    const std::string wv = dir / "in.wv";
    for (const Format f :
         {Format{1, 8, 22050}, Format{2, 16, 44100}, Format{6, 24, 48000}, Format{2, 32, 96000}}) {
        const std::vector<uint8_t> pcm = MakePcm(dir, f, 0.3);
        WriteWav(dir, pcm, f, wav);
        for (const char* mode : {"-f", "-h", "-hh", "-x", "-hhx6", "-fx1"}) {
            SCOPED_TRACE(std::string(mode) + ", " + std::to_string(f.bits) + " bits, " +
                         std::to_string(f.channels) + " channels");
            fs::remove(wv);
            WavpackTool(mode, wav, wv);
            TWVIn source;
            source.SetFileName(wv);
            EXPECT_EQ(source.GetBitsPerSample(), f.bits);
            EXPECT_EQ(source.GetChannels(), f.channels);
            EXPECT_EQ(source.GetSampleRate(), f.rate);
            EXPECT_EQ(source.GetTotalSamples(), int64_t(pcm.size()) / (f.channels * f.bits / 8));
            const Decoded decoded = DecodeWithTWVIn(source);
            EXPECT_EQ(decoded.error, "");
            EXPECT_EQ(decoded.pcm, pcm);
            EXPECT_EQ(decoded.pcm, Wvunpack(dir, wv));
        }
    }
}

TEST(WvIn, A20BitFileArrivesIn24BitSamples) {
    TempDir dir;
    const Format f{2, 24, 44100};
    std::vector<uint8_t> pcm = MakePcm(dir, f, 0.3);
    for (size_t i = 0; i < pcm.size(); i += 3)
        pcm[i] &= 0xF0; // 20 significant bits, left-justified as WAV holds them
    const std::string raw = dir / "twenty.raw";
    WriteFileBytes(raw, pcm);
    const std::string wv = dir / "twenty.wv";
    ASSERT_EQ(
        RunCommand("wavpack -q -y --raw-pcm=44100,20,2 " + Quote(raw) + " -o " + Quote(wv)).status,
        0);
    ASSERT_EQ(WvunpackInfo(wv, 2), "20");
    TWVIn source;
    source.SetFileName(wv);
    EXPECT_EQ(source.GetBitsPerSample(), 24);
    EXPECT_EQ(DecodeWithTWVIn(source).pcm, pcm);
}

TEST(WvIn, HybridFilesUseTheirCorrectionFileAndDecodeLossyWithoutIt) {
    TempDir dir;
    const Format f{2, 16, 44100};
    const std::vector<uint8_t> pcm = MakePcm(dir, f, 1.0);
    const std::string wav = dir / "in.wav";
    WriteWav(dir, pcm, f, wav);
    const std::string wv = WavpackTool("-b3 -c -h", wav, dir / "hybrid.wv");
    ASSERT_TRUE(fs::exists(dir / "hybrid.wvc"));

    TWVIn source;
    source.SetFileName(wv);
    const Decoded lossless = DecodeWithTWVIn(source);
    EXPECT_EQ(lossless.error, "");
    EXPECT_EQ(lossless.pcm, pcm);

    fs::remove(dir / "hybrid.wvc");
    source.SetFileName(wv);
    const Decoded lossy = DecodeWithTWVIn(source);
    EXPECT_EQ(lossy.error, "");
    EXPECT_FALSE(source.Damaged());
    EXPECT_EQ(lossy.pcm.size(), pcm.size());
    EXPECT_NE(lossy.pcm, pcm);
    EXPECT_EQ(lossy.pcm, Wvunpack(dir, wv));
}

// A correction file that is there but cannot be used (cut short, emptied) fails the file: the
// lossy part alone would pass for the lossless original.
TEST(WvIn, ACorrectionFileThatCannotBeUsedFailsTheFile) {
    TempDir dir;
    const Format f{2, 16, 44100};
    const std::vector<uint8_t> pcm = MakePcm(dir, f, 2.0);
    const std::string wav = dir / "in.wav";
    WriteWav(dir, pcm, f, wav);
    const std::string wv = WavpackTool("-b3 -c", wav, dir / "hybrid.wv");
    const std::vector<uint8_t> correction = ReadFileBytes(dir / "hybrid.wvc");
    ASSERT_GT(correction.size(), 1000u);
    for (const size_t keep : {correction.size() / 2, size_t(10), size_t(0)}) {
        SCOPED_TRACE("correction file cut to " + std::to_string(keep) + " bytes");
        WriteFileBytes(dir / "hybrid.wvc",
                       {correction.begin(), correction.begin() + std::ptrdiff_t(keep)});
        TWVIn source;
        source.SetFileName(wv);
        const Decoded decoded = DecodeWithTWVIn(source);
        EXPECT_NE(decoded.error, "");
        EXPECT_NE(decoded.pcm, pcm);
        if (keep > 10)
            EXPECT_TRUE(source.Corrupt()) << decoded.error;
        else
            EXPECT_EQ(decoded.error.rfind(
                          "The correction file " + (dir / "hybrid.wvc") + " cannot be used", 0),
                      0u)
                << decoded.error;
    }
}

// The first block's total-samples field (0, or far too small) does not end the audio: all of it
// is delivered, as ffmpeg decodes it. A first sub-block whose size byte runs over the block's
// audio loses that block, which the library reports: the file fails.
TEST(WvIn, AWrongTotalInTheFirstBlockStillDeliversAllTheAudio) {
    TempDir dir;
    const Format f{2, 16, 44100};
    const std::vector<uint8_t> pcm = MakePcm(dir, f, 3.0);
    const std::string wav = dir / "in.wav";
    WriteWav(dir, pcm, f, wav);
    const std::vector<uint8_t> good = ReadFileBytes(WavpackTool("", wav, dir / "good.wv"));
    for (const uint32_t total : {0u, 1000u}) {
        SCOPED_TRACE(total);
        std::vector<uint8_t> bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes[12 + i] = uint8_t(total >> (8 * i));
        const std::string wrong = dir / "wrong.wv";
        WriteFileBytes(wrong, bytes);
        ASSERT_TRUE(FfmpegPcm16(wrong) == pcm);
        TWVIn source;
        source.SetFileName(wrong);
        const Decoded decoded = DecodeWithTWVIn(source);
        EXPECT_EQ(decoded.error, "");
        EXPECT_TRUE(decoded.pcm == pcm);
        EXPECT_FALSE(source.Damaged());
        EXPECT_FALSE(source.Corrupt());
    }

    std::vector<uint8_t> bytes = good;
    bytes[33] = 0xFF;
    const std::string overrun = dir / "overrun.wv";
    WriteFileBytes(overrun, bytes);
    EXPECT_LT(FfmpegPcm16(overrun).size(), pcm.size());
    TWVIn source;
    source.SetFileName(overrun);
    const Decoded decoded = DecodeWithTWVIn(source);
    EXPECT_EQ(decoded.error.rfind("WavPack file is damaged (", 0), 0u) << decoded.error;
    EXPECT_TRUE(source.Corrupt());

    // A first block whose own index runs past the stated total: no silence standing for a lost
    // start of the size of that index (gigabytes written before the file failed).
    bytes = good;
    std::fill_n(bytes.begin() + 16, 4, uint8_t(0xFF));
    const std::string absurd = dir / "absurd.wv";
    WriteFileBytes(absurd, bytes);
    TWVIn absurdSource;
    absurdSource.SetFileName(absurd);
    // The library reports the damaged block: at once, not after a lost start's silence.
    bool silence = false;
    try {
        absurdSource.Init();
        const uint8_t* buffer = nullptr;
        uint32_t got = 1 << 16;
        absurdSource.GetData(buffer, got);
        silence = got == 1 << 16 && std::all_of(buffer, buffer + got, [](uint8_t b) { return !b; });
    } catch (const EAuException&) {
    }
    EXPECT_FALSE(silence);
    EXPECT_LE(absurdSource.Size(), int64_t(pcm.size()));
}

TEST(WvIn, FloatSamplesArriveAs32BitIntegersClippedAtFullScale) {
    TempDir dir;
    const std::vector<float> samples = {0.0f, 0.5f,  -0.5f, 1.0f,   -1.0f,
                                        1.5f, -2.0f, 0.25f, -0.75f, 0.999f};
    const std::string wav = dir / "float.wav";
    WriteFileBytes(wav, FloatWav(samples, 2));
    const std::string wv = WavpackTool("-h", wav, dir / "float.wv");
    ASSERT_EQ(WvunpackInfo(wv, 3), "float");

    TWVIn source;
    source.SetFileName(wv);
    EXPECT_EQ(source.GetBitsPerSample(), 32);
    const Decoded decoded = DecodeWithTWVIn(source);
    ASSERT_EQ(decoded.error, "");
    ASSERT_EQ(decoded.pcm.size(), samples.size() * 4);
    const int32_t expected[] = {0,         1 << 30,   -(1 << 30), INT32_MAX,  INT32_MIN,
                                INT32_MAX, INT32_MIN, 1 << 29,    -(3 << 29), 0};
    for (size_t i = 0; i + 1 < samples.size(); ++i)
        EXPECT_EQ(Int32At(decoded.pcm, i), expected[i]) << "sample " << i;
    EXPECT_NEAR(double(Int32At(decoded.pcm, 9)), 0.999 * 2147483648.0, 256.0);
}

TEST(WvIn, ApeItemsAreReadByKeyAndFillTheCommonTags) {
    TempDir dir;
    const Format f{2, 16, 44100};
    const std::string wav = dir / "in.wav";
    WriteWav(dir, MakePcm(dir, f, 0.2), f, wav);
    const std::string wv = WavpackTool(
        "-w " + Quote("Title=Für Élise") + " -w " + Quote("Artist=Beethoven") +
            " -w Year=1810 -w Track=7 -w " + Quote("EAN/UPC=4006381333931") + " -w Genre=Classical",
        wav, dir / "tagged.wv");
    TWVIn source;
    source.SetFileName(wv);
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.APEv2Tags().Title(), "Für Élise");
    EXPECT_EQ(source.APEv2Tags().Artist(), "Beethoven");
    EXPECT_EQ(source.APEv2Tags().Year(), "1810");
    EXPECT_EQ(source.APEv2Tags().BarCode(), "4006381333931");
    EXPECT_EQ(source.APEv2Tags().Album(), "");
    EXPECT_EQ(source.CommonTags().Title(), "Für Élise");
    EXPECT_EQ(source.CommonTags().Artist(), "Beethoven");
    EXPECT_EQ(source.CommonTags().Genre(), "Classical");
    EXPECT_EQ(source.CommonTags().Year(), "1810");
    EXPECT_EQ(source.CommonTags().Track(), "7");
    EXPECT_TRUE(source.Id3v1Tags().Empty());

    // Reopened on a file without a tag, every tag object is emptied.
    const std::string plain = WavpackTool("", wav, dir / "plain.wv");
    source.SetFileName(plain);
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.APEv2Tags().Title(), "");
    EXPECT_TRUE(source.APEv2Tags().Empty());
    EXPECT_TRUE(source.CommonTags().Empty());
}

TEST(WvIn, AnId3v1OnlyFileFillsTheId3v1TagsAlone) {
    TempDir dir;
    const Format f{2, 16, 44100};
    const std::vector<uint8_t> pcm = MakePcm(dir, f, 0.2);
    const std::string wav = dir / "in.wav";
    WriteWav(dir, pcm, f, wav);
    const std::string wv = WavpackTool("", wav, dir / "id3.wv");
    TId3v1Tags id3;
    id3.SetTitle("Déjà vu");
    id3.SetArtist("Band");
    id3.SetYear(2003);
    id3.SetTrack(9);
    id3.SetGenre("Jazz");
    std::vector<uint8_t> file = ReadFileBytes(wv);
    const auto block = id3.BuildBlock();
    file.insert(file.end(), block.begin(), block.end());
    WriteFileBytes(wv, file);

    TWVIn source;
    source.SetFileName(wv);
    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.Id3v1Tags().Title(), "Déjà vu");
    EXPECT_EQ(source.Id3v1Tags().Artist(), "Band");
    EXPECT_EQ(source.Id3v1Tags().Year(), 2003);
    EXPECT_EQ(source.Id3v1Tags().Track(), 9);
    EXPECT_EQ(source.Id3v1Tags().Genre(), "Jazz");
    EXPECT_TRUE(source.APEv2Tags().Empty());
    EXPECT_TRUE(source.CommonTags().Empty());
    // Reading the tag must not disturb where the library reads audio.
    EXPECT_EQ(DecodeWithTWVIn(source).pcm, pcm);
}

TEST(WvIn, ARangeIsDecodedFromItsFirstToItsLastFrame) {
    TempDir dir;
    const Format f{2, 24, 44100};
    const std::vector<uint8_t> pcm = MakePcm(dir, f, 1.0);
    const std::string wav = dir / "in.wav";
    WriteWav(dir, pcm, f, wav);
    const std::string wv = WavpackTool("-h", wav, dir / "range.wv");
    TWVIn source;
    source.SetFileName(wv);
    source.SetStartSample(30000);
    source.SetEndSample(40000);
    const Decoded decoded = DecodeWithTWVIn(source);
    ASSERT_EQ(decoded.error, "");
    const std::vector<uint8_t> expected(pcm.begin() + 30000 * 6, pcm.begin() + 40001 * 6);
    EXPECT_EQ(decoded.pcm, expected);
}

TEST(WvIn, LibrariesWithoutThe64BitEntryPointsAreReadThroughTheOlderOnes) {
    TempDir dir;
    const Format f{2, 16, 44100};
    const std::vector<uint8_t> pcm = MakePcm(dir, f, 1.0);
    const std::string wav = dir / "in.wav";
    WriteWav(dir, pcm, f, wav);
    const std::string wv = WavpackTool("-h", wav, dir / "old.wv");
    Wavpack::Library().Load();
    // An older library: the table as it would have been bound from it.
    auto& api = const_cast<WavpackApi&>(Wavpack::Api());
    const WavpackApi saved = api;
    api.WavpackOpenFileInputEx64 = nullptr;
    api.WavpackGetNumSamples64 = nullptr;
    api.WavpackGetSampleIndex64 = nullptr;
    api.WavpackSeekSample64 = nullptr;
    TWVIn source;
    source.SetFileName(wv);
    EXPECT_EQ(source.GetTotalSamples(), int64_t(pcm.size() / 4));
    EXPECT_EQ(DecodeWithTWVIn(source).pcm, pcm);
    source.SetStartSample(20000);
    EXPECT_EQ(DecodeWithTWVIn(source).pcm, std::vector<uint8_t>(pcm.begin() + 80000, pcm.end()));
    api = saved;
}

// A run over a damaged file fails with the source's text; a foreign file and a missing name
// are refused (cut and damaged copies: damaged_sources).
TEST(WvIn, ADamagedFileFailsItsRunAndForeignOnesAreRefused) {
    TempDir dir;
    const Format f{2, 16, 44100};
    const std::string wav = dir / "in.wav";
    WriteWav(dir, MakePcm(dir, f, 3.0), f, wav);
    std::vector<uint8_t> bytes = ReadFileBytes(WavpackTool("", wav, dir / "good.wv"));
    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i)
        bytes[i] ^= 0x5A;
    WriteFileBytes(dir / "corrupt.wv", bytes);
    TWVOut sink;
    sink.SetFileName(dir / "copy.wv");
    TWVIn damaged;
    damaged.SetFileName(dir / "corrupt.wv");
    EXPECT_EQ(RunSink(sink, damaged).error.rfind("WavPack file is damaged (", 0), 0u);

    TWVIn foreign;
    foreign.SetFileName(wav);
    EXPECT_THROW(foreign.GetChannels(), EWavpackException);
    TWVIn unnamed;
    EXPECT_THROW(unnamed.GetChannels(), EAuException);
}
