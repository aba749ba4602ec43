// TWaveIn on files made by sox and FFmpeg, judged against the same tools' decodings: PCM of
// every width, float, extensible, IMA and MS ADPCM, junk, big chunks, streamed headers, random
// files, seeking (cut files: tests/codecs/damage).
#include "pipeline/au_exception.h"
#include "tests/wav/wav_test_support.h"
#include "wav/memory_stream.h"
#include "wav/wave_bytes.h"
#include "wav/wave_float.h"
#include "wav/wave_in.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace {

const std::string kSweep = "sine 200-6000 vol 0.5";

void ExpectSamePcm(const std::vector<uint8_t>& ours, const std::vector<uint8_t>& reference,
                   const std::string& what) {
    ASSERT_EQ(ours.size(), reference.size()) << what;
    const auto mismatch = std::mismatch(ours.begin(), ours.end(), reference.begin());
    EXPECT_TRUE(mismatch.first == ours.end())
        << what << ": first difference at byte " << (mismatch.first - ours.begin());
}

// Reads through a memory stream, so that thousands of damaged files need no disk.
struct MemoryRead {
    std::vector<uint8_t> pcm;
    bool valid = false;
    bool damaged = false;
    int64_t size = 0;
};

MemoryRead ReadMemory(const std::vector<uint8_t>& file) {
    TMemoryStream stream;
    stream.Write(file);
    TWaveIn source;
    source.SetStream(&stream);
    MemoryRead result;
    try {
        result.valid = source.FileValid();
    } catch (const EAuException& e) {
        // A format tag nothing here converts is refused by its number, with nothing read.
        EXPECT_EQ(std::string(e.what()).rfind("WAV files with format tag ", 0), 0u) << e.what();
        return result;
    }
    result.size = source.Size();
    result.pcm = ReadAllPcm(source, 4096);
    result.damaged = source.Damaged() || source.Corrupt();
    return result;
}

class WaveInTest : public ::testing::Test {
protected:
    // Noise by default; ADPCM comparisons use a sweep, because on noise the IMA predictor
    // hits the bottom clamp, where sox allows -32768 and the decoder here stops at -32767.
    std::string Make(const std::string& name, const std::string& soxArguments,
                     const std::string& signal = "whitenoise vol 0.8") {
        const std::string file = dir_ / name;
        Tool("sox -V1 -n " + soxArguments + " " + Quote(file) + " synth 0.4 " + signal);
        return file;
    }
    std::string Temp(const std::string& name) const { return dir_ / name; }
    TempDir dir_;
};

} // namespace

TEST_F(WaveInTest, PcmOfEveryWidthIsDeliveredAsStored) {
    struct Case {
        int bits, channels;
        const char* format;
        const char* codec;
    };
    for (const Case c : {Case{8, 1, "u8", "pcm_u8"}, Case{16, 2, "s16le", "pcm_s16le"},
                         Case{24, 2, "s24le", "pcm_s24le"}, Case{32, 1, "s32le", "pcm_s32le"},
                         Case{24, 6, "s24le", "pcm_s24le"}}) {
        const std::string what = std::to_string(c.bits) + "x" + std::to_string(c.channels);
        const std::string file = Make(what + ".wav", "-r 32000 -c " + std::to_string(c.channels) +
                                                         " -b " + std::to_string(c.bits));
        TWaveIn source;
        source.SetFileName(file);
        EXPECT_EQ(source.GetBitsPerSample(), c.bits) << what;
        EXPECT_EQ(source.GetChannels(), c.channels) << what;
        EXPECT_EQ(source.GetSampleRate(), 32000) << what;
        EXPECT_EQ(source.GetTotalSamples(), 12800) << what;
        EXPECT_EQ(source.WavType(), c.channels > 2 || c.bits > 16 ? wtExtPCM : wtPCM) << what;
        // An odd request size still yields whole frames.
        const auto ours = ReadAllPcm(source, 1001);
        EXPECT_FALSE(source.Damaged()) << what;
        ExpectSamePcm(ours, FfmpegRaw(file, c.format, c.codec, Temp("ref.raw")), what);
    }
}

TEST_F(WaveInTest, FloatFilesFollowTheIntegerRule) {
    const std::string source = Make("source.wav", "-r 44100 -c 2 -b 16");
    struct Case {
        std::string name, make, format, codec;
        TWavType type;
        int width;
    };
    const std::vector<Case> cases{
        {"f32.wav", "sox " + Quote(source) + " -e floating-point -b 32", "f32le", "pcm_f32le",
         wtIEEEFloat, 4},
        {"f64.wav", "sox " + Quote(source) + " -e floating-point -b 64", "f64le", "pcm_f64le",
         wtIEEEFloat, 8},
        {"f32x.wav", "ffmpeg -v error -i " + Quote(source) + " -c:a pcm_f32le", "f32le",
         "pcm_f32le", wtExtIEEEFloat, 4},
        {"f64x.wav", "ffmpeg -v error -i " + Quote(source) + " -c:a pcm_f64le", "f64le",
         "pcm_f64le", wtExtIEEEFloat, 8},
    };
    for (const Case& c : cases) {
        const std::string file = Temp(c.name);
        Tool(c.make + " " + Quote(file));
        const auto floats = FfmpegRaw(file, c.format, c.codec, Temp("ref.raw"));
        std::vector<uint8_t> reference(floats.size() / c.width * 4);
        for (size_t i = 0; i < floats.size() / c.width; ++i) {
            double x;
            if (c.width == 4)
                x = std::bit_cast<float>(WaveBytes::Read32(floats, 4 * i));
            else
                x = std::bit_cast<double>(uint64_t(WaveBytes::Read32(floats, 8 * i)) |
                                          uint64_t(WaveBytes::Read32(floats, 8 * i + 4)) << 32);
            WaveBytes::Write32(reference, 4 * i, uint32_t(WaveFloat::ToInt32(x)));
        }
        TWaveIn in;
        in.SetFileName(file);
        EXPECT_EQ(in.WavType(), c.type) << c.name;
        EXPECT_EQ(in.GetBitsPerSample(), 32) << c.name;
        // A 64-bit file announces half the bytes of its 'data' chunk.
        EXPECT_EQ(in.Size(), int64_t(reference.size())) << c.name;
        ExpectSamePcm(ReadAllPcm(in), reference, c.name);
    }
}

// IMA decodes exactly as sox does. For MS ADPCM, sox floors the prediction where Microsoft's
// reference decoder (and FFmpeg's) truncate toward zero, as this decoder does: FFmpeg is the
// exact judge there, and sox must agree within the few steps that rounding drifts by.
TEST_F(WaveInTest, AdpcmMatchesTheReferenceDecodersForTheFramesTheFactChunkCounts) {
    for (int channels : {1, 2}) {
        const std::string source =
            Make("source" + std::to_string(channels) + ".wav",
                 "-r 22050 -c " + std::to_string(channels) + " -b 16", kSweep);
        for (const std::string encoding : {"ima-adpcm", "ms-adpcm"}) {
            const std::string what = encoding + " " + std::to_string(channels);
            const std::string file = Temp(encoding + std::to_string(channels) + ".wav");
            Tool("sox " + Quote(source) + " -e " + encoding + " " + Quote(file));
            TWaveIn in;
            in.SetFileName(file);
            EXPECT_EQ(in.WavType(), encoding == "ima-adpcm" ? wtDVIADPCM : wtMSADPCM) << what;
            EXPECT_EQ(in.GetBitsPerSample(), 16);
            EXPECT_EQ(in.GetTotalSamples(), 8820) << what;
            const auto ours = ReadAllPcm(in, 3000);
            ASSERT_EQ(ours.size(), size_t(8820) * 2 * channels) << what;
            auto sox = SoxRaw16(file, Temp("sox.raw"));
            ASSERT_GE(sox.size(), ours.size()) << what;
            sox.resize(ours.size());
            if (encoding == "ima-adpcm") {
                ExpectSamePcm(ours, sox, what);
                continue;
            }
            auto ffmpeg = FfmpegRaw(file, "s16le", "pcm_s16le", Temp("ffmpeg.raw"));
            ASSERT_GE(ffmpeg.size(), ours.size()) << what;
            ffmpeg.resize(ours.size());
            ExpectSamePcm(ours, ffmpeg, what);
            const auto a = Samples16(ours), b = Samples16(sox);
            int worst = 0;
            for (size_t i = 0; i < a.size(); ++i)
                worst = std::max(worst, std::abs(a[i] - b[i]));
            EXPECT_LT(worst, 200) << what;
        }
    }
}

TEST_F(WaveInTest, FfmpegImaFilesDecodeLikeSox) {
    const std::string source = Make("source.wav", "-r 44100 -c 2 -b 16", kSweep);
    const std::string file = Temp("ima.wav");
    Tool("ffmpeg -v error -i " + Quote(source) + " -c:a adpcm_ima_wav " + Quote(file));
    TWaveIn in;
    in.SetFileName(file);
    const auto ours = ReadAllPcm(in);
    auto reference = SoxRaw16(file, Temp("ref.raw"));
    ASSERT_GE(reference.size(), ours.size());
    // FFmpeg counts its last block's padding in 'fact': 18 blocks of 1017 frames.
    EXPECT_EQ(ours.size(), 18306u * 4);
    reference.resize(ours.size());
    ExpectSamePcm(ours, reference, "ffmpeg ima");
}

TEST_F(WaveInTest, JunkBeforeRiffAndLargeChunksBeforeDataAreRead) {
    const std::string file = Make("plain.wav", "-r 44100 -c 2 -b 16");
    const auto plain = ReadFileBytes(file);
    const auto expected = ReadWave(file);
    ASSERT_EQ(expected.size(), 17640u * 4);

    Bytes junk;
    junk.Fill(777, 0x41).Append(plain);
    WriteFileBytes(Temp("junk.wav"), junk.data);
    ExpectSamePcm(ReadWave(Temp("junk.wav")), expected, "junk before RIFF");

    // Chunks of 100 KiB and 40 KiB between 'fmt ' and 'data'.
    Bytes big;
    big.data.assign(plain.begin(), plain.begin() + 36);
    big.Chunk("LIST", std::vector<uint8_t>(100000, 'a'))
        .Chunk("JUNK", std::vector<uint8_t>(40001, 0));
    big.Fill(1, 0);
    big.data.insert(big.data.end(), plain.begin() + 36, plain.end());
    WaveBytes::Write32(big.data, 4, uint32_t(big.data.size() - 8));
    WriteFileBytes(Temp("big.wav"), big.data);
    ExpectSamePcm(ReadWave(Temp("big.wav")), expected, "large chunks");
    ExpectSamePcm(FfmpegRaw(Temp("big.wav"), "s16le", "pcm_s16le", Temp("ref.raw")), expected,
                  "ffmpeg on large chunks");
}

TEST_F(WaveInTest, AStreamedHeaderReadsToTheEndOfTheFile) {
    const std::string file = Temp("piped.wav");
    Tool("sox -n -t wav -r 8000 -c 1 -b 16 - synth 0.5 sine 300 2>/dev/null | cat > " +
         Quote(file));
    const auto bytes = ReadFileBytes(file);
    ASSERT_EQ(WaveBytes::Read32(bytes, 40), 0x7FFFF000u);
    TWaveIn in;
    in.SetFileName(file);
    EXPECT_TRUE(in.FileValid());
    EXPECT_EQ(in.Size(), int64_t(bytes.size() - 44));
    const auto pcm = ReadAllPcm(in);
    EXPECT_FALSE(in.Damaged());
    ExpectSamePcm(pcm, std::vector<uint8_t>(bytes.begin() + 44, bytes.end()), "streamed");
}

// RF64 and BW64 files as ffmpeg writes them (sizes in 'ds64') read like ffmpeg decodes them;
// cut short, they deliver what they hold and name the length 'ds64' states.
TEST_F(WaveInTest, Rf64AndBw64FilesReadLikeFfmpegDecodesThem) {
    const std::string source = Make("source.wav", "-r 44100 -c 2 -b 24");
    const std::string rf64 = Temp("rf64.wav");
    Tool("ffmpeg -nostdin -v error -i " + Quote(source) + " -c:a pcm_s24le -rf64 always " +
         Quote(rf64));
    auto bytes = ReadFileBytes(rf64);
    ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RF64");
    const auto reference = FfmpegRaw(rf64, "s24le", "pcm_s24le", Temp("ref.raw"));
    ExpectSamePcm(ReadWave(rf64), reference, "RF64");

    std::copy_n("BW64", 4, bytes.begin());
    WriteFileBytes(Temp("bw64.wav"), bytes);
    ExpectSamePcm(ReadWave(Temp("bw64.wav")), reference, "BW64");

    const size_t keep = bytes.size() - reference.size() / 2;
    WriteFileBytes(Temp("cut.wav"), {bytes.begin(), bytes.begin() + std::ptrdiff_t(keep)});
    TWaveIn cut;
    cut.SetFileName(Temp("cut.wav"));
    const auto pcm = ReadAllPcm(cut);
    EXPECT_TRUE(cut.Damaged());
    EXPECT_EQ(cut.StatedFrames(), int64_t(reference.size() / 6));
    EXPECT_TRUE(pcm.size() < reference.size() &&
                std::equal(pcm.begin(), pcm.end(), reference.begin()));
}

// A file of more than 4 GiB of audio whose 32-bit sizes wrapped reads to its end. The file is
// sparse: only its header and its last frames are written.
TEST_F(WaveInTest, AWavWhoseSizesWrappedPast4GiBReadsToItsEnd) {
    const uint64_t audio = (uint64_t(1) << 32) + 4000; // 16-bit stereo frames
    std::vector<uint8_t> header = PcmWave(2, 44100, 16, std::vector<uint8_t>(4, 0));
    header.resize(44);
    WaveBytes::Write32(header, 4, uint32_t(audio + 36));
    WaveBytes::Write32(header, 40, uint32_t(audio));
    const std::string file = Temp("wrapped.wav");
    const std::vector<uint8_t> tail = Ramp16(2000); // the last 1000 frames
    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        const bool written =
            ::pwrite(fd, header.data(), header.size(), 0) == ssize_t(header.size()) &&
            ::pwrite(fd, tail.data(), tail.size(), off_t(44 + audio - tail.size())) ==
                ssize_t(tail.size());
        ::close(fd);
        if (!written) GTEST_SKIP() << "no room for a sparse file of 4 GiB here";
    }
    TWaveIn in;
    in.SetFileName(file);
    ASSERT_TRUE(in.FileValid());
    EXPECT_EQ(in.Size(), int64_t(audio));
    in.SetStartSample(int64_t(audio / 4 - 1000));
    EXPECT_TRUE(ReadAllPcm(in) == tail);
    EXPECT_FALSE(in.Damaged());
}

TEST_F(WaveInTest, RandomAndMutatedFilesEndCleanly) {
    const std::string source = Make("source.wav", "-r 8000 -c 2 -b 16");
    std::vector<std::vector<uint8_t>> seeds{ReadFileBytes(source)};
    for (const std::string encoding : {"ima-adpcm", "ms-adpcm", "floating-point"}) {
        Tool("sox " + Quote(source) + " -e " + encoding + " " + Quote(Temp("seed.wav")));
        seeds.push_back(ReadFileBytes(Temp("seed.wav")));
    }
    std::mt19937 random(2024);
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> file = seeds[round % seeds.size()];
        file.resize(std::min<size_t>(file.size(), 6000));
        if (round % 5 == 0) {
            for (auto& b : file)
                b = uint8_t(random());
        } else {
            for (int i = 0; i < 1 + round % 12; ++i)
                file[random() % 120] = uint8_t(random());
            if (round % 3 == 0) file.resize(random() % file.size());
        }
        const MemoryRead read = ReadMemory(file);
        if (!read.valid) {
            EXPECT_TRUE(read.pcm.empty());
            continue;
        }
        EXPECT_LE(int64_t(read.pcm.size()), read.size) << round;
        if (int64_t(read.pcm.size()) < read.size) {
            EXPECT_TRUE(read.damaged) << round;
        }
    }
    std::vector<uint8_t> noise(5000);
    for (auto& b : noise)
        b = uint8_t(random());
    EXPECT_FALSE(ReadMemory(noise).valid);
}

TEST_F(WaveInTest, InvalidFilesGiveTheDefaultFormatAndNoAudio) {
    WriteFileBytes(Temp("text.wav"), Bytes{}.Text("this is not a wave file").data);
    TWaveIn in;
    in.SetFileName(Temp("text.wav"));
    EXPECT_FALSE(in.FileValid());
    EXPECT_EQ(in.WavType(), wtUnsupported);
    EXPECT_TRUE(ReadAllPcm(in).empty());
    in.Init();
    EXPECT_EQ(in.GetSampleRate(), 8000);
    EXPECT_EQ(in.GetBitsPerSample(), 8);
    EXPECT_EQ(in.GetChannels(), 1);
    in.Flush();
}

TEST_F(WaveInTest, ReadingBeforeInitAndMissingFilesAreErrors) {
    const std::string file = Make("a.wav", "-r 8000 -c 1 -b 16");
    TWaveIn in;
    in.SetFileName(file);
    const uint8_t* buffer = nullptr;
    uint32_t bytes = 100;
    try {
        in.GetData(buffer, bytes);
        FAIL();
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "The Stream is not opened");
    }
    TWaveIn missing;
    missing.SetFileName(Temp("none.wav"));
    try {
        missing.Init();
        FAIL();
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "No such file or directory");
    }
}

TEST_F(WaveInTest, RangesAndSeeksLandOnTheExactFrameForEveryKind) {
    const std::string source = Make("source.wav", "-r 22050 -c 2 -b 16");
    std::vector<std::string> files{source};
    for (const std::string encoding : {"ima-adpcm", "ms-adpcm", "floating-point"}) {
        files.push_back(Temp(encoding + ".wav"));
        Tool("sox " + Quote(source) + " -e " + encoding + " " + Quote(files.back()));
    }
    for (const std::string& file : files) {
        const auto full = ReadWave(file);
        TWaveIn in;
        in.SetFileName(file);
        const int frame = in.GetChannels() * in.GetBitsPerSample() / 8;
        // Frame 1234 lies inside an ADPCM block, not on its start.
        in.SetStartSample(1234);
        in.SetEndSample(5000);
        const auto range = ReadAllPcm(in);
        ASSERT_EQ(range.size(), size_t(5000 - 1234 + 1) * frame) << file;
        EXPECT_TRUE(std::equal(range.begin(), range.end(), full.begin() + 1234 * frame)) << file;

        // Seeking while busy.
        in.Init();
        ASSERT_TRUE(in.Seek(3001)) << file;
        const uint8_t* buffer = nullptr;
        uint32_t bytes = 400;
        in.GetData(buffer, bytes);
        ASSERT_GT(bytes, 0u) << file;
        EXPECT_TRUE(std::equal(buffer, buffer + bytes, full.begin() + 3001 * frame)) << file;
        in.Flush();
    }
}
