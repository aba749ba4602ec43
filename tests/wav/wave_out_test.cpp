// TWaveOut: headers byte by byte, files read back by sox and ffprobe, IMA ADPCM, appending,
// failed writes and early ends, tags after the audio, and WAV to WAV through the pump.
#include "pipeline/au_exception.h"
#include "pipeline/au_tagged_file.h"
#include "tags/carried/riff_info_carried.h"
#include "tests/support/pcm_source.h"
#include "tests/support/run_sink.h"
#include "tests/wav/wav_test_support.h"
#include "wav/byte_source.h"
#include "wav/memory_stream.h"
#include "wav/wave_bytes.h"
#include "wav/wave_header_writer.h"
#include "wav/wave_in.h"
#include "wav/wave_out.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace {

using WaveBytes::Read16;
using WaveBytes::Read32;

// A 16-bit sweep that stays well inside the range, as ADPCM input.
std::vector<uint8_t> Sweep(size_t frames, int channels) {
    std::vector<int16_t> samples(frames * channels);
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[i * channels + c] = int16_t(std::lround(
                14000 * std::sin(double(i) * i * 2e-6 + c) + 3000 * std::sin(double(i) * 0.3)));
    std::vector<uint8_t> bytes(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        WaveBytes::Write16(bytes, 2 * i, uint16_t(samples[i]));
    return bytes;
}

std::string Probe(const std::string& file) {
    return RunCommand("ffprobe -v error -show_entries "
                      "stream=codec_name,channels,sample_rate,bits_per_sample -of "
                      "default=nw=1 " +
                      Quote(file))
        .output;
}

// A disk that fills up: writes that would pass the limit stop at it. Writes below the limit
// still work, so the sink can fix the header afterwards.
class DiskFullStream final : public TStream {
public:
    explicit DiskFullStream(uint64_t limit) : limit_(limit) {}
    size_t Read(std::span<uint8_t> buffer) override { return inner_.Read(buffer); }
    size_t Write(std::span<const uint8_t> buffer) override {
        const uint64_t position = uint64_t(inner_.Position());
        const size_t room = position >= limit_ ? 0 : size_t(limit_ - position);
        return inner_.Write(buffer.first(std::min(room, buffer.size())));
    }
    int64_t Seek(int64_t offset, Origin origin) override { return inner_.Seek(offset, origin); }
    int64_t Size() override { return inner_.Size(); }
    bool Truncate() override { return inner_.Truncate(); }
    const std::vector<uint8_t>& Bytes() const { return inner_.Bytes(); }

private:
    TMemoryStream inner_;
    uint64_t limit_;
};

// A source that announces more than it delivers, like a file cut short.
class ShortSource final : public PcmSource {
public:
    using PcmSource::PcmSource;

protected:
    void OpenSource() override {
        PcmSource::OpenSource();
        size_ = size_ + 40000;
    }
};

class WaveOutTest : public ::testing::Test {
protected:
    std::string Temp(const std::string& name) const { return dir_ / name; }
    SinkResult Write(TWaveOut& sink, TAuInput& source, const std::string& name) {
        sink.SetFileName(Temp(name));
        return RunSink(sink, source);
    }
    TempDir dir_;
};

} // namespace

TEST_F(WaveOutTest, PcmFileHasTheClassicHeaderAndReadsBackIdentically) {
    const auto pcm = Noise(44100 * 4);
    PcmSource source(pcm, 2, 16, 44100);
    TWaveOut sink;
    const SinkResult result = Write(sink, source, "out.wav");
    ASSERT_TRUE(result.done);
    EXPECT_EQ(result.error, "");
    const auto file = ReadFileBytes(Temp("out.wav"));
    ASSERT_EQ(file.size(), pcm.size() + 44);
    const auto header = WaveHeaderWriter::PcmHeader(2, 44100, 16, pcm.size());
    EXPECT_TRUE(std::equal(header.begin(), header.end(), file.begin()));
    EXPECT_EQ(Probe(Temp("out.wav")),
              "codec_name=pcm_s16le\nsample_rate=44100\nchannels=2\nbits_per_sample=16\n");
    EXPECT_EQ(SoxRaw16(Temp("out.wav"), Temp("back.raw")), pcm);
}

TEST_F(WaveOutTest, WideInputGetsTheExtensibleHeaderOnlyWhenAsked) {
    const auto pcm = Noise(6 * 3 * 5001);
    for (bool nonMs : {true, false}) {
        PcmSource source(pcm, 6, 24, 48000);
        TWaveOut sink;
        sink.SetCreateNonMsHeaders(nonMs);
        ASSERT_EQ(Write(sink, source, "wide.wav").error, "");
        const auto file = ReadFileBytes(Temp("wide.wav"));
        const size_t header = nonMs ? 44 : 68;
        ASSERT_EQ(file.size(), pcm.size() + header) << nonMs;
        EXPECT_EQ(Read16(file, 20), nonMs ? 1 : 0xFFFE);
        EXPECT_EQ(Read32(file, header - 4), pcm.size());
        EXPECT_EQ(Read32(file, 4), file.size() - 8);
        EXPECT_EQ(Probe(Temp("wide.wav")),
                  "codec_name=pcm_s24le\nsample_rate=48000\nchannels=6\nbits_per_sample=24\n");
        EXPECT_EQ(FfmpegRaw(Temp("wide.wav"), "s24le", "pcm_s24le", Temp("back.raw")), pcm);
    }
}

TEST_F(WaveOutTest, AnOddDataChunkGetsItsPadByte) {
    const auto pcm = Noise(1001);
    PcmSource source(pcm, 1, 8, 8000);
    TWaveOut sink;
    ASSERT_EQ(Write(sink, source, "odd.wav").error, "");
    const auto file = ReadFileBytes(Temp("odd.wav"));
    ASSERT_EQ(file.size(), 44u + 1001 + 1);
    EXPECT_EQ(Read32(file, 40), 1001u);
    EXPECT_EQ(Read32(file, 4), file.size() - 8);
    EXPECT_EQ(file.back(), 0);
    EXPECT_EQ(FfmpegRaw(Temp("odd.wav"), "u8", "pcm_u8", Temp("back.raw")), pcm);
}

TEST_F(WaveOutTest, ImaAdpcmFilesDecodeBySoxAndCountTheirFrames) {
    for (int channels : {1, 2}) {
        const uint32_t framesPerBlock = channels == 1 ? 1017 : 505;
        // Exactly six blocks: the end of the input must not add a seventh silent one.
        for (size_t frames : {size_t(framesPerBlock) * 6, size_t(4000)}) {
            const std::string what = std::to_string(channels) + "/" + std::to_string(frames);
            const auto pcm = Sweep(frames, channels);
            PcmSource source(pcm, channels, 16, 22050);
            TWaveOut sink;
            sink.SetWavType(wtDVIADPCM);
            ASSERT_EQ(Write(sink, source, "ima.wav").error, "") << what;
            const auto file = ReadFileBytes(Temp("ima.wav"));
            const size_t blocks = (frames + framesPerBlock - 1) / framesPerBlock;
            ASSERT_EQ(file.size(), 60 + blocks * 512) << what;
            EXPECT_EQ(Read16(file, 38), framesPerBlock);
            EXPECT_EQ(Read32(file, 48), frames) << what; // 'fact': the real frame count
            EXPECT_EQ(Read32(file, 56), blocks * 512) << what;
            EXPECT_EQ(Read32(file, 4), file.size() - 8);
            EXPECT_NE(Probe(Temp("ima.wav")).find("codec_name=adpcm_ima_wav"), std::string::npos);

            const auto ours = ReadWave(Temp("ima.wav"));
            ASSERT_EQ(ours.size(), pcm.size()) << what;
            auto sox = SoxRaw16(Temp("ima.wav"), Temp("sox.raw"));
            ASSERT_GE(sox.size(), ours.size());
            sox.resize(ours.size());
            EXPECT_EQ(ours, sox) << what;
            const auto decoded = Samples16(ours), input = Samples16(pcm);
            double error = 0, signal = 0;
            for (size_t i = 0; i < input.size(); ++i) {
                error += std::pow(decoded[i] - input[i], 2);
                signal += std::pow(input[i], 2);
            }
            EXPECT_GT(10 * std::log10(signal / error), 25.0) << what;
        }
    }
}

TEST_F(WaveOutTest, SettersIgnoreWhatCannotBeWritten) {
    TWaveOut sink;
    sink.SetBlockSize(510);
    EXPECT_EQ(sink.BlockSize(), 512);
    sink.SetBlockSize(0);
    EXPECT_EQ(sink.BlockSize(), 512);
    sink.SetBlockSize(1024);
    EXPECT_EQ(sink.BlockSize(), 1024);
    sink.SetWavType(wtExtPCM);
    EXPECT_EQ(sink.WavType(), wtPCM);
    sink.SetWavType(wtDVIADPCM);
    EXPECT_EQ(sink.WavType(), wtDVIADPCM);
    sink.SetFileMode(foAppend);
    EXPECT_EQ(sink.FileMode(), foAppend);
}

TEST_F(WaveOutTest, AdpcmNeeds16BitInputAndAName) {
    PcmSource eight(Noise(1000), 1, 8, 8000);
    TWaveOut sink;
    sink.SetWavType(wtDVIADPCM);
    EXPECT_EQ(Write(sink, eight, "eight.wav").error, "Cannot encode 8 bit sound into ADPCM.");
    PcmSource six(Noise(1200), 6, 16, 8000);
    EXPECT_EQ(Write(sink, six, "six.wav").error,
              "Cannot encode more than two channels into ADPCM.");
    TWaveOut unnamed;
    PcmSource source(Noise(1000), 1, 16, 8000);
    EXPECT_EQ(RunSink(unnamed, source).error, "File name is not assigned.");
}

TEST_F(WaveOutTest, AppendedPcmPlaysThrough) {
    const auto first = Noise(4 * 1000, 1), second = Noise(4 * 777, 2);
    PcmSource a(first, 2, 16, 44100), b(second, 2, 16, 44100);
    TWaveOut sink;
    ASSERT_EQ(Write(sink, a, "append.wav").error, "");
    sink.SetFileMode(foAppend);
    ASSERT_EQ(Write(sink, b, "append.wav").error, "");
    const auto file = ReadFileBytes(Temp("append.wav"));
    ASSERT_EQ(file.size(), 44 + first.size() + second.size());
    EXPECT_EQ(Read32(file, 40), first.size() + second.size());
    EXPECT_EQ(Read32(file, 4), file.size() - 8);
    auto both = first;
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(SoxRaw16(Temp("append.wav"), Temp("back.raw")), both);

    // Appending to a file that is not there creates it.
    PcmSource c(first, 2, 16, 44100);
    ASSERT_EQ(Write(sink, c, "new.wav").error, "");
    EXPECT_EQ(ReadFileBytes(Temp("new.wav")).size(), 44 + first.size());
}

TEST_F(WaveOutTest, AppendingRefusesOtherFormatsAndLeavesTheFileAlone) {
    TWaveOut sink;
    sink.SetFileMode(foAppend);
    const std::string base = Temp("base.wav");
    Tool("sox -V1 -n -r 44100 -c 2 -b 16 " + Quote(base) + " synth 0.1 sine 440");
    const auto before = ReadFileBytes(base);
    PcmSource otherRate(Noise(4000), 2, 16, 48000);
    EXPECT_EQ(Write(sink, otherRate, "base.wav").error,
              "Cannot append data in different audio format.");
    EXPECT_EQ(ReadFileBytes(base), before);

    Tool("sox -V1 " + Quote(base) + " -e floating-point -b 32 " + Quote(Temp("float.wav")));
    const auto floatBefore = ReadFileBytes(Temp("float.wav"));
    PcmSource anything(Noise(4000), 2, 16, 44100);
    EXPECT_EQ(Write(sink, anything, "float.wav").error, "Cannot append data to this .wav file.");
    EXPECT_EQ(ReadFileBytes(Temp("float.wav")), floatBefore);

    // Audio appended behind a trailing chunk would be read as part of it.
    Bytes tagged;
    tagged.Append(before).Chunk("LIST", std::vector<uint8_t>(20, 'x'));
    WaveBytes::Write32(tagged.data, 4, uint32_t(tagged.data.size() - 8));
    WriteFileBytes(Temp("tagged.wav"), tagged.data);
    EXPECT_EQ(Write(sink, anything, "tagged.wav").error, "Cannot append data to this .wav file.");
    EXPECT_EQ(ReadFileBytes(Temp("tagged.wav")), tagged.data);

    // RF64 keeps its sizes in 'ds64', which appending does not rewrite.
    Tool("ffmpeg -nostdin -v error -i " + Quote(base) + " -rf64 always " + Quote(Temp("rf64.wav")));
    const auto rf64Before = ReadFileBytes(Temp("rf64.wav"));
    EXPECT_EQ(Write(sink, anything, "rf64.wav").error, "Cannot append data to this .wav file.");
    EXPECT_EQ(ReadFileBytes(Temp("rf64.wav")), rf64Before);
}

TEST_F(WaveOutTest, TagsFollowTheAudioAndStayBehindItWhenAppending) {
    const auto first = Noise(4 * 1000, 1), second = Noise(4 * 777, 2);
    PcmSource plain(first, 2, 16, 44100), a(first, 2, 16, 44100), b(second, 2, 16, 44100);
    TWaveOut sink;
    ASSERT_EQ(Write(sink, plain, "plain.wav").error, "");
    tags::TCarriedTags carried;
    for (const auto& [name, value] :
         {std::pair{"TITLE", "T\u00EFtle"}, {"ARTIST", "A"}, {"ARTIST", "B"}, {"TRACKNUMBER", "7"}})
        carried.Add(name, value);
    sink.SetCarriedTags(carried);
    ASSERT_EQ(Write(sink, a, "tagged.wav").error, "");
    const auto list = tags::BuildRiffInfoList(carried);
    const auto plainBytes = ReadFileBytes(Temp("plain.wav"));
    auto file = ReadFileBytes(Temp("tagged.wav"));
    // The header and the audio stay where they are without tags; the RIFF size counts the list.
    ASSERT_EQ(file.size(), plainBytes.size() + list.size());
    EXPECT_TRUE(std::equal(plainBytes.begin() + 8, plainBytes.end(), file.begin() + 8));
    EXPECT_EQ(Read32(file, 4), file.size() - 8);

    // Tags the disk has no room for fail the run but leave the audio and sizes consistent.
    PcmSource c(first, 2, 16, 44100);
    DiskFullStream disk(44 + first.size() + 10);
    TWaveOut full;
    full.SetCarriedTags(carried);
    full.SetStream(&disk);
    EXPECT_EQ(RunSink(full, c).error, "Error writing wave file");
    EXPECT_EQ(disk.Bytes(), plainBytes);

    sink.SetFileMode(foAppend);
    sink.SetCarriedTags({});
    ASSERT_EQ(Write(sink, b, "tagged.wav").error, "");
    file = ReadFileBytes(Temp("tagged.wav"));
    ASSERT_EQ(file.size(), 44 + first.size() + second.size() + list.size());
    EXPECT_TRUE(std::equal(list.begin(), list.end(), file.end() - ptrdiff_t(list.size())));
    EXPECT_EQ(Read32(file, 40), first.size() + second.size());
    EXPECT_EQ(Read32(file, 4), file.size() - 8);
    auto both = first;
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(SoxRaw16(Temp("tagged.wav"), Temp("back.raw")), both);
}

namespace {

// Delivers bytes of a repeating pattern up to a length too large to hold, announcing the
// size it is given.
class PatternSource final : public TAuTaggedFileIn {
public:
    PatternSource(uint64_t length, int64_t announced) : length_(length), announced_(announced) {
        fileName_ = "pattern.pcm";
        channels_ = 2;
        bitsPerSample_ = 16;
        sampleRate_ = 48000;
        for (size_t i = 0; i < pattern_.size(); ++i)
            pattern_[i] = uint8_t(i * 7 + i / 251);
    }
    ~PatternSource() override { CloseSource(); }
    uint8_t ByteAt(uint64_t offset) const { return pattern_[offset % pattern_.size()]; }

protected:
    void OpenSource() override {
        std::lock_guard guard(openLock_);
        if (openCount_ > 0) return;
        size_ = announced_;
        fileValid_ = true;
        cursor_ = 0;
        ++openCount_;
    }
    void CloseSource() override {
        std::lock_guard guard(openLock_);
        openCount_ = 0;
    }
    void ReadData(const uint8_t*& buffer, uint32_t& bytes) override {
        // Pieces start at a multiple of the pattern's length, which holds whole frames.
        const size_t at = size_t(cursor_ % pattern_.size());
        const uint64_t n = std::min<uint64_t>({bytes, pattern_.size() - at, length_ - cursor_});
        buffer = pattern_.data() + at;
        bytes = uint32_t(n);
        cursor_ += n;
    }
    bool SeekSample(int64_t&) override { return false; }

private:
    std::array<uint8_t, 65536> pattern_{};
    uint64_t length_;
    int64_t announced_;
    uint64_t cursor_ = 0;
};

} // namespace

// Writes more than 4 GiB twice (about 9 GB of disk traffic), so it runs only when
// QUILLMERE_LARGE_TESTS is set: an output that passes 4 GiB is RF64 that ffprobe counts whole,
// whether its length was announced (the place of 'ds64' kept) or not (the audio moved up).
TEST_F(WaveOutTest, AnOutputPast4GiBBecomesRf64) {
    if (std::getenv("QUILLMERE_LARGE_TESTS") == nullptr)
        GTEST_SKIP() << "set QUILLMERE_LARGE_TESTS=1 to write two files of 4 GiB";
    const uint64_t length = (uint64_t(1) << 32) + 65536 * 3;
    for (const int64_t announced : {int64_t(length), int64_t(0)}) {
        SCOPED_TRACE(announced);
        PatternSource source(length, announced);
        TWaveOut sink;
        const SinkResult result = Write(sink, source, "large.wav");
        ASSERT_EQ(result.error, "");
        TAuFileStream stream(Temp("large.wav"), fmOpenRead);
        StreamByteSource bytes(stream);
        const WaveHeader h = ReadWaveHeader(bytes);
        EXPECT_TRUE(h.rf64);
        EXPECT_EQ(h.dataLength, length);
        std::array<uint8_t, 16> last{};
        ASSERT_EQ(bytes.ReadAt(h.dataOffset + length - last.size(), last), last.size());
        for (size_t i = 0; i < last.size(); ++i)
            EXPECT_EQ(last[i], source.ByteAt(length - last.size() + i));
        EXPECT_EQ(RunCommand("ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 " +
                             Quote(Temp("large.wav")))
                      .output,
                  std::to_string(length / 4) + "\n");
        std::filesystem::remove(Temp("large.wav"));
    }
}

TEST_F(WaveOutTest, AppendedImaAdpcmPlaysThrough) {
    const auto first = Sweep(1500, 2), second = Sweep(1200, 2);
    PcmSource a(first, 2, 16, 22050), b(second, 2, 16, 22050);
    TWaveOut sink;
    sink.SetWavType(wtDVIADPCM);
    ASSERT_EQ(Write(sink, a, "ima.wav").error, "");
    const auto alone = ReadFileBytes(Temp("ima.wav"));
    sink.SetWavType(wtPCM); // the file's own kind wins when appending
    sink.SetFileMode(foAppend);
    ASSERT_EQ(Write(sink, b, "ima.wav").error, "");
    const auto file = ReadFileBytes(Temp("ima.wav"));
    // 1500 frames fill three blocks of 505; 1200 more need three more.
    ASSERT_EQ(file.size(), 60u + 6 * 512);
    EXPECT_TRUE(std::equal(alone.begin() + 60, alone.end(), file.begin() + 60));
    EXPECT_EQ(Read32(file, 56), 6u * 512);
    EXPECT_EQ(Read32(file, 48), 3u * 505 + 1200);
    const auto pcm = Samples16(ReadWave(Temp("ima.wav")));
    ASSERT_EQ(pcm.size(), (3u * 505 + 1200) * 2);
    auto sox = Samples16(SoxRaw16(Temp("ima.wav"), Temp("sox.raw")));
    sox.resize(pcm.size());
    EXPECT_EQ(pcm, sox);
    // The second run starts its own block: its first frame is exact.
    const auto input = Samples16(second);
    EXPECT_EQ(pcm[3 * 505 * 2], input[0]);
    EXPECT_EQ(pcm[3 * 505 * 2 + 1], input[1]);
}

TEST_F(WaveOutTest, AFailedWriteEndsTheRunAndLeavesAConsistentFile) {
    const auto pcm = Noise(4 * 20000);
    PcmSource source(pcm, 2, 16, 44100);
    DiskFullStream disk(44 + 50001);
    TWaveOut sink;
    sink.SetStream(&disk);
    EXPECT_EQ(RunSink(sink, source).error, "Error writing wave file");
    const auto& file = disk.Bytes();
    // Whole frames only, and a header that says so.
    ASSERT_EQ(file.size(), 44u + 50000);
    EXPECT_EQ(Read32(file, 40), 50000u);
    EXPECT_EQ(Read32(file, 4), file.size() - 8);
    EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), pcm.begin()));

    TWaveOut full;
    PcmSource again(pcm, 2, 16, 44100);
    full.SetFileName("/dev/full");
    EXPECT_EQ(RunSink(full, again).error, "Error writing wave file");
}

TEST_F(WaveOutTest, ASourceThatEndsEarlyIsNotPaddedWithSilence) {
    const auto pcm = Noise(4 * 3000);
    for (TWavType type : {wtPCM, wtDVIADPCM}) {
        ShortSource source(pcm, 2, 16, 44100);
        TWaveOut sink;
        sink.SetWavType(type);
        ASSERT_EQ(Write(sink, source, "short.wav").error, "");
        EXPECT_TRUE(source.Damaged());
        TWaveIn in;
        in.SetFileName(Temp("short.wav"));
        EXPECT_EQ(in.GetTotalSamples(), 3000) << int(type);
        const auto file = ReadFileBytes(Temp("short.wav"));
        if (type == wtPCM) {
            EXPECT_EQ(file.size(), 44 + pcm.size());
        } else {
            EXPECT_EQ(file.size(), 60u + 6 * 512); // 3000 frames in six blocks of 505
            EXPECT_EQ(Read32(file, 56), 6u * 512);
        }
    }
}

// Pieces that end inside a frame are passed on whole frames at a time, nothing lost or doubled.
TEST_F(WaveOutTest, FramesSplitAcrossPiecesArriveWhole) {
    const auto pcm = Noise(6 * 20'000);
    PcmSource source(pcm, 2, 24, 48000, 1001);
    source.TearFrames();
    TWaveOut sink;
    sink.SetFileName(Temp("torn.wav"));
    ASSERT_EQ(RunSink(sink, source).error, "");
    const auto file = ReadFileBytes(Temp("torn.wav"));
    ASSERT_GE(file.size(), pcm.size());
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), file.end() - std::ptrdiff_t(pcm.size())));
    EXPECT_EQ(Read32(file, 4), file.size() - 8);
}

TEST_F(WaveOutTest, AStoppedRunGetsSizesFromTheAudioWritten) {
    const auto pcm = Noise(4 * 500'000);
    PcmSource source(pcm, 2, 16, 44100, 4096);
    // The reader waits a quarter of the way in; the stop comes while it waits, so the run
    // surely ends early however fast the machine is.
    source.HoldAt(pcm.size() / 4);
    TWaveOut sink;
    sink.SetFileName(Temp("stopped.wav"));
    bool done = false;
    sink.SetOnDone([&](TAuOutput*) { done = true; });
    sink.SetInput(&source);
    sink.Run();
    ASSERT_TRUE(MainThread::RunUntil([&] { return source.Holding(); }, std::chrono::seconds(60)));
    sink.Stop(true);
    source.Release();
    ASSERT_TRUE(MainThread::RunUntil([&] { return done; }, std::chrono::seconds(60)));
    const auto file = ReadFileBytes(Temp("stopped.wav"));
    ASSERT_GE(file.size(), 44 + pcm.size() / 4);
    EXPECT_LT(file.size(), 44 + pcm.size() / 2);
    EXPECT_EQ(Read32(file, 40), file.size() - 44);
    EXPECT_EQ(Read32(file, 4), file.size() - 8);
    EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), pcm.begin()));
}

TEST_F(WaveOutTest, WaveToWaveThroughThePumpKeepsEverySample) {
    const std::string source = Temp("source.wav");
    Tool("sox -V1 -n -r 48000 -c 2 -b 24 " + Quote(source) + " synth 0.3 whitenoise vol 0.7");
    Tool("sox -V1 " + Quote(source) + " -e floating-point -b 64 " + Quote(Temp("f64.wav")));
    Tool("sox -V1 " + Quote(source) + " -e ms-adpcm " + Quote(Temp("ms.wav")));
    for (const std::string name : {"source.wav", "f64.wav", "ms.wav"}) {
        TWaveIn in;
        in.SetFileName(Temp(name));
        const auto expected = ReadAllPcm(in);
        const int bits = in.GetBitsPerSample();
        TWaveIn again;
        again.SetFileName(Temp(name));
        TWaveOut sink;
        ASSERT_EQ(Write(sink, again, "copy.wav").error, "") << name;
        const auto file = ReadFileBytes(Temp("copy.wav"));
        ASSERT_EQ(file.size(), 44 + expected.size()) << name;
        EXPECT_EQ(Read16(file, 34), bits) << name;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), file.begin() + 44)) << name;
        const std::string format = bits == 16 ? "s16le" : bits == 24 ? "s24le" : "s32le";
        EXPECT_EQ(FfmpegRaw(Temp("copy.wav"), format, "pcm_" + format, Temp("back.raw")), expected)
            << name;
    }
}
