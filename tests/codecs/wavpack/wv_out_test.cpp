// TWVOut judged by wvunpack: lossless at every level, width and channel count, hybrid files
// with their correction file, APEv2 items, frame counts put right, sizes against the tool,
// and failures that are reported rather than passed off as success.
#include "tests/support/pcm_source.h"
#include "wavpack_test_support.h"

#include "pipeline/au_exception.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

using namespace wvtest;
namespace fs = std::filesystem;

namespace {

// Delivers its PCM in fixed byte counts that need not be whole frames, announcing the size
// it is told to (0: cannot tell).
// Pieces of the given size that split frames, announcing the given size.
struct ChunkedSource : PcmSource {
    ChunkedSource(std::vector<uint8_t> pcm, const Format& f, uint32_t chunk, int64_t announced)
        : PcmSource(std::move(pcm), f.channels, f.bits, f.rate, chunk) {
        AnnounceSize(announced);
        TearFrames();
    }
};

// A stream that takes a fixed number of bytes and then fails every write, as a full disk does.
class FullDiskStream : public TStream {
public:
    explicit FullDiskStream(size_t capacity) : capacity_(capacity) {}
    size_t Read(std::span<uint8_t>) override { return 0; }
    size_t Write(std::span<const uint8_t> buffer) override {
        const size_t n = std::min(buffer.size(), capacity_ - std::min(capacity_, position_));
        position_ += n;
        size_ = std::max(size_, position_);
        return n;
    }
    int64_t Seek(int64_t offset, Origin origin) override {
        const int64_t base = origin == Origin::Begin     ? 0
                             : origin == Origin::Current ? int64_t(position_)
                                                         : int64_t(size_);
        position_ = size_t(base + offset);
        return int64_t(position_);
    }
    int64_t Size() override { return int64_t(size_); }
    bool Truncate() override { return true; }

private:
    size_t capacity_;
    size_t position_ = 0;
    size_t size_ = 0;
};

std::string Modalities(const std::string& wv) {
    const CommandResult result = RunCommand("wvunpack -q -s " + Quote(wv) + " 2>/dev/null");
    const size_t at = result.output.find("modalities:");
    if (at == std::string::npos) return {};
    const size_t start = result.output.find_first_not_of(' ', at + 11);
    return result.output.substr(start, result.output.find('\n', start) - start);
}

// wvunpack's MD5 check: the sum the file stores, and that of the audio it unpacks.
void ExpectMd5StoredAndRight(const std::string& wv) {
    const CommandResult result = RunCommand("wvunpack -q -v -m " + Quote(wv) + " 2>&1");
    const size_t stored = result.output.find("original md5:");
    const size_t unpacked = result.output.find("unpacked md5:");
    ASSERT_NE(stored, std::string::npos) << result.output;
    ASSERT_NE(unpacked, std::string::npos) << result.output;
    EXPECT_EQ(result.output.substr(stored + 13, 34), result.output.substr(unpacked + 13, 34));
    EXPECT_EQ(result.status, 0) << result.output;
}

} // namespace

TEST(WvOut, LosslessAtEveryLevelForEveryWidthAndUpToSixChannels) {
    TempDir dir;
    const std::string wv = dir / "out.wv";
    const std::pair<TWVCompressionLevel, const char*> levels[] = {
        {wvclFast, "lossless, fast"},
        {wvclHigh, "lossless, high"},
        {wvclVeryHigh, "lossless, very high"}};
    for (const int bits : {8, 16, 24, 32}) {
        for (int channels = 1; channels <= 6; ++channels) {
            const Format f{channels, bits, channels == 3 ? 22050 : 48000};
            const std::vector<uint8_t> pcm = MakePcm(dir, f, 0.15);
            ASSERT_FALSE(pcm.empty());
            for (const auto& [level, modality] : levels) {
                SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(channels) +
                             " channels, " + modality);
                fs::remove(wv);
                ASSERT_EQ(
                    EncodeWithTWVOut(pcm, f, wv, [&](TWVOut& s) { s.SetCompressionLevel(level); }),
                    "");
                EXPECT_EQ(Wvunpack(dir, wv), pcm);
                ExpectMd5StoredAndRight(wv);
                EXPECT_EQ(WvunpackInfo(wv, 2), std::to_string(bits));
                EXPECT_EQ(WvunpackInfo(wv, 4), std::to_string(channels));
                if (bits == 16 && channels == 2) {
                    EXPECT_EQ(Modalities(wv), modality);
                }
            }
        }
    }
}

TEST(WvOut, IncompleteFramesCarryOverAndUnknownOrWrongCountsArePutRight) {
    TempDir dir;
    const Format f{2, 24, 44100};
    const std::vector<uint8_t> pcm = MakePcm(dir, f, 0.5);
    const int64_t frames = int64_t(pcm.size()) / 6;
    const std::string wv = dir / "chunked.wv";
    // Frames split across pulls make the same file, byte for byte, as whole-block pulls.
    const std::string whole = dir / "whole.wv";
    {
        ChunkedSource source(pcm, f, 65536 * 3, int64_t(pcm.size()));
        TWVOut sink;
        sink.SetFileName(whole);
        ASSERT_EQ(RunSink(sink, source).error, "");
    }
    // 1001-byte pieces split frames; sizes: right, unknown, and twice what is delivered.
    for (const int64_t announced : {int64_t(pcm.size()), int64_t(0), int64_t(pcm.size()) * 2}) {
        SCOPED_TRACE("announced " + std::to_string(announced));
        fs::remove(wv);
        ChunkedSource source(pcm, f, 1001, announced);
        TWVOut sink;
        sink.SetFileName(wv);
        const SinkResult result = RunSink(sink, source);
        ASSERT_TRUE(result.done);
        ASSERT_EQ(result.error, "");
        EXPECT_EQ(WvunpackInfo(wv, 6), std::to_string(frames));
        EXPECT_EQ(Wvunpack(dir, wv), pcm);
        if (announced == int64_t(pcm.size())) {
            EXPECT_EQ(ReadFileBytes(wv), ReadFileBytes(whole));
        }
        // The WAV header that wvunpack restores tells the true length too.
        const std::string restored = dir / "restored.wav";
        fs::remove(restored);
        ASSERT_EQ(RunCommand("wvunpack -q -y " + Quote(wv) + " -o " + Quote(restored)).status, 0);
        EXPECT_EQ(RunCommand("sox --i -s " + Quote(restored)).output,
                  std::to_string(frames) + "\n");
        const std::vector<uint8_t> wavBytes = ReadFileBytes(restored);
        ASSERT_GT(wavBytes.size(), 8u);
        EXPECT_EQ(uint32_t(wavBytes[4] | wavBytes[5] << 8 | wavBytes[6] << 16 | wavBytes[7] << 24),
                  wavBytes.size() - 8);
        TWVIn reader;
        reader.SetFileName(wv);
        EXPECT_EQ(reader.GetTotalSamples(), frames);
    }
}

TEST(WvOut, AStoppedRunLeavesAShorterFileThatTellsItsTrueLength) {
    TempDir dir;
    const Format f{2, 16, 44100};
    const std::vector<uint8_t> pcm = MakePcm(dir, f, 4.0);
    const std::string wv = dir / "stopped.wv";
    ChunkedSource source(pcm, f, 10000, int64_t(pcm.size()));
    source.HoldAt(200000);
    TWVOut sink;
    sink.SetFileName(wv);
    bool done = false;
    sink.SetOnDone([&](TAuOutput*) { done = true; });
    sink.SetInput(&source);
    sink.Run();
    ASSERT_TRUE(MainThread::RunUntil([&] { return source.Holding(); }, std::chrono::seconds(30)));
    sink.Stop(true);
    source.Release();
    ASSERT_TRUE(MainThread::RunUntil([&] { return done; }, std::chrono::seconds(30)));
    EXPECT_EQ(sink.ErrorMessage(), "");

    // What reached the sink before the stop is packed, whole frames only, and the header tells
    // exactly that length.
    const std::vector<uint8_t> decoded = Wvunpack(dir, wv);
    ASSERT_GE(decoded.size(), 200000u);
    ASSERT_LT(decoded.size(), pcm.size());
    EXPECT_EQ(decoded.size() % 4, 0u);
    EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), pcm.begin()));
    EXPECT_EQ(WvunpackInfo(wv, 6), std::to_string(decoded.size() / 4));
}

TEST(WvOut, HybridWritesACorrectionFileThatRestoresEveryBit) {
    TempDir dir;
    const Format f{2, 16, 44100};
    const std::vector<uint8_t> pcm = MakePcm(dir, f, 1.0);
    const std::string wv = dir / "hybrid.wv";
    ASSERT_EQ(EncodeWithTWVOut(pcm, f, wv,
                               [](TWVOut& s) {
                                   s.SetHybridMode(true);
                                   s.SetBitrate(256);
                                   s.SetCompressionLevel(wvclHigh);
                               }),
              "");
    ASSERT_TRUE(fs::exists(dir / "hybrid.wvc"));
    EXPECT_LT(fs::file_size(wv), pcm.size() / 3); // about 256 of 1411 kbps
    EXPECT_EQ(Wvunpack(dir, wv), pcm);
    const std::vector<uint8_t> lossy = Wvunpack(dir, wv, true);
    EXPECT_EQ(lossy.size(), pcm.size());
    EXPECT_NE(lossy, pcm);

    TWVIn reader;
    reader.SetFileName(wv);
    EXPECT_EQ(DecodeWithTWVIn(reader).pcm, pcm);
}

TEST(WvOut, HybridNeverOverwritesAnExistingCorrectionFileWhenCreatingExclusively) {
    TempDir dir;
    const Format f{1, 16, 8000};
    const std::string wvc = dir / "taken.wvc";
    WriteFileBytes(wvc, {1, 2, 3});
    const std::string error =
        EncodeWithTWVOut(MakePcm(dir, f, 0.1), f, dir / "taken.wv", [](TWVOut& s) {
            s.SetHybridMode(true);
            s.SetBitrate(128);
            s.SetExclusiveCreate(true);
        });
    EXPECT_NE(error, "");
    EXPECT_EQ(ReadFileBytes(wvc), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(WvOut, ApeItemsAreWrittenByKeyAndOnlyWhenThereAreAny) {
    TempDir dir;
    const Format f{2, 16, 44100};
    const std::vector<uint8_t> pcm = MakePcm(dir, f, 0.2);
    const std::string tagged = dir / "tagged.wv";
    ASSERT_EQ(EncodeWithTWVOut(pcm, f, tagged,
                               [](TWVOut& s) {
                                   s.APEv2Tags().SetTitle("Sérénade für Straßen");
                                   s.APEv2Tags().SetArtist("Ørjan");
                                   s.APEv2Tags().SetYear("1987");
                                   s.APEv2Tags().SetTrack("4/12");
                                   s.APEv2Tags().SetBarCode("0123456789012");
                                   // Not text: never written.
                                   s.APEv2Tags().SetField("Comment", TTagValue(42));
                               }),
              "");
    const std::string summary =
        RunCommand("wvunpack -q -ss " + Quote(tagged) + " 2>/dev/null").output;
    EXPECT_NE(summary.find("APEv2 tag items:   5"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Title:             Sérénade für Straßen"), std::string::npos);
    EXPECT_NE(summary.find("Artist:            Ørjan"), std::string::npos);
    EXPECT_NE(summary.find("Year:              1987"), std::string::npos);
    EXPECT_NE(summary.find("Track:             4/12"), std::string::npos);
    EXPECT_NE(summary.find("EAN/UPC:           0123456789012"), std::string::npos);
    EXPECT_EQ(summary.find("Comment"), std::string::npos);
    EXPECT_EQ(Wvunpack(dir, tagged), pcm);

    const std::string plain = dir / "plain.wv";
    ASSERT_EQ(EncodeWithTWVOut(pcm, f, plain), "");
    const std::string plainSummary =
        RunCommand("wvunpack -q -ss " + Quote(plain) + " 2>/dev/null").output;
    EXPECT_EQ(plainSummary.find("APEv2"), std::string::npos) << plainSummary;
}

TEST(WvOut, NoLargerThanTheWavpackToolAtTheSameMode) {
    TempDir dir;
    for (const Format f : {Format{2, 16, 44100}, Format{6, 24, 48000}}) {
        const std::vector<uint8_t> pcm = MakePcm(dir, f, 3.0);
        const std::string wav = dir / "in.wav";
        WriteWav(dir, pcm, f, wav);
        const std::tuple<TWVCompressionLevel, const char*> modes[] = {
            {wvclFast, "-f"}, {wvclHigh, "-h"}, {wvclVeryHigh, "-hh"}};
        for (const auto& [level, option] : modes) {
            SCOPED_TRACE(std::string(option) + ", " + std::to_string(f.channels) + " channels");
            const std::string ours = dir / "ours.wv";
            const std::string theirs = dir / "theirs.wv";
            fs::remove(ours);
            ASSERT_EQ(
                EncodeWithTWVOut(pcm, f, ours, [&](TWVOut& s) { s.SetCompressionLevel(level); }),
                "");
            ASSERT_EQ(RunCommand("wavpack -q -y -m " + std::string(option) + " " + Quote(wav) +
                                 " -o " + Quote(theirs) + " 2>&1")
                          .status,
                      0);
            EXPECT_LE(fs::file_size(ours), fs::file_size(theirs));
        }
    }
}

TEST(WvOut, WriteFailuresEndTheRunWithTheLibrarysMessage) {
    TempDir dir;
    const Format f{2, 16, 44100};
    // Enough PCM for several of the library's blocks, so that a write fails during packing.
    PcmSource source(MakePcm(dir, f, 4.0), f.channels, f.bits, f.rate);
    FullDiskStream disk(20000);
    TWVOut sink;
    sink.SetStream(&disk);
    const SinkResult result = RunSink(sink, source);
    ASSERT_TRUE(result.done);
    EXPECT_EQ(result.error.rfind("Wavpack file write failed (error: \"", 0), 0) << result.error;
}

TEST(WvOut, InputsThatCannotMakeAWavpackFileAreRefused) {
    TempDir dir;
    {
        PcmSource source(std::vector<uint8_t>(400), 2, 16, 44100);
        TWVOut sink;
        EXPECT_EQ(RunSink(sink, source).error, "File name is not assigned");
    }
    {
        // The wavpack tool refuses such input too: a file without a block is no WavPack file.
        PcmSource source({}, 2, 16, 44100);
        TWVOut sink;
        sink.SetFileName(dir / "empty.wv");
        EXPECT_EQ(RunSink(sink, source).error,
                  "Wavpack file write failed (error: \"the input has no audio samples\")");
    }
    {
        PcmSource source(std::vector<uint8_t>(400), 2, 12, 44100);
        TWVOut sink;
        sink.SetFileName(dir / "twelve.wv");
        EXPECT_EQ(RunSink(sink, source).error,
                  "Wavpack file Init failed (error: \"unsupported PCM format\")");
    }
}
