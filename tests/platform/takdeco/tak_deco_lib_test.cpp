// libtak_deco_lib.so through its C entry points, fed the way the TAK source feeds it (stream
// callbacks over the file's bytes): the shared TAK files decode as ffmpeg decodes them, in any
// request size and after seeks; their APEv2 items read back; damaged and foreign input ends in
// an error state, never in wrong samples.
#include "platform/takdeco/tak_deco_api.h"
#include "tests/support/ape_tag_bytes.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

namespace {

// The caller's stream: bytes in memory, at most `chunk` bytes per read, optionally failing
// every read from byte `failAfter` on.
struct MemoryStream {
    std::vector<uint8_t> bytes;
    size_t position = 0;
    size_t failAfter = SIZE_MAX;
    size_t chunk = SIZE_MAX;

    static TtakBool Yes(void*) { return tak_True; }
    static TtakBool No(void*) { return tak_False; }
    static TtakBool Read(void* user, void* buffer, TtakInt32 count, TtakInt32* readCount) {
        auto& self = *static_cast<MemoryStream*>(user);
        if (self.position >= self.failAfter) return tak_False;
        const size_t available = self.bytes.size() - std::min(self.position, self.bytes.size());
        const size_t n = std::min({size_t(count), available, self.chunk});
        if (n > 0) std::memcpy(buffer, self.bytes.data() + self.position, n);
        self.position += n;
        *readCount = TtakInt32(n);
        return tak_True;
    }
    static TtakBool Write(void*, const void*, TtakInt32) { return tak_False; }
    static TtakBool Seek(void* user, TtakInt64 position) {
        static_cast<MemoryStream*>(user)->position = size_t(position);
        return tak_True;
    }
    static TtakBool GetLength(void* user, TtakInt64* length) {
        *length = TtakInt64(static_cast<MemoryStream*>(user)->bytes.size());
        return tak_True;
    }
    static constexpr TtakStreamIoInterface kInterface = {Yes, No, Yes,  Read,     Write,
                                                         No,  No, Seek, GetLength};
};

struct DecoderFree {
    void operator()(TtakSSDHandle* decoder) const { tak_SSD_Destroy(decoder); }
};
using Decoder = std::unique_ptr<TtakSSDHandle, DecoderFree>;

struct DamageLog {
    int calls = 0;
    TtakResult error = tak_res_Ok;
    static void Callback(void* user, TtakResult error, TtakInt64) {
        auto& self = *static_cast<DamageLog*>(user);
        ++self.calls;
        self.error = error;
    }
};

Decoder OpenStream(MemoryStream& stream, DamageLog* damage = nullptr) {
    const TtakSSDOptions options{7, 0};
    return Decoder(tak_SSD_Create_FromStream(&MemoryStream::kInterface, &stream, &options,
                                             damage ? &DamageLog::Callback : nullptr, damage));
}

struct ReadOutcome {
    std::vector<uint8_t> pcm;
    TtakResult result = tak_res_Ok; // of the call that ended the reading
};

// Reads until the end or a failure, `chunk` frames per call.
ReadOutcome ReadAll(TtakSSDHandle* decoder, int32_t chunk) {
    ReadOutcome outcome;
    TtakStreamInfo info{};
    if ((outcome.result = tak_SSD_GetStreamInfo(decoder, &info)) != tak_res_Ok) return outcome;
    std::vector<uint8_t> buffer(size_t(chunk) * size_t(info.blockAlign));
    for (int guard = 0; guard < 10000000; ++guard) {
        TtakInt32 frames = -1;
        outcome.result = tak_SSD_ReadAudio(decoder, buffer.data(), chunk, &frames);
        if (outcome.result != tak_res_Ok || frames == 0) break;
        EXPECT_GT(frames, 0);
        EXPECT_LE(frames, chunk);
        outcome.pcm.insert(outcome.pcm.end(), buffer.begin(),
                           buffer.begin() + long(frames) * info.blockAlign);
    }
    return outcome;
}

std::filesystem::path SampleFolder() {
    return SamplesDir("tak");
}

std::vector<std::filesystem::path> SampleFiles() {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(SampleFolder()))
        for (const auto& entry : std::filesystem::directory_iterator(SampleFolder()))
            if (entry.path().extension() == ".tak") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// ffprobe's view of the stream: "rate,channels,samples,bits".
std::string ProbeStream(const std::filesystem::path& path) {
    return RunCommand("ffprobe -v error -select_streams a:0 -show_entries "
                      "stream=sample_rate,channels,bits_per_raw_sample,duration_ts -of csv=p=0 " +
                      Quote(path.string()))
        .output;
}

class TakDecoLibTest : public ::testing::Test {
protected:
    void SetUp() override {
        files_ = SampleFiles();
        if (files_.empty())
            GTEST_SKIP() << "no TAK samples in " << SampleFolder()
                         << ": TAK decoding not checked (no TAK encoder exists here)";
        ASSERT_TRUE(HaveTool("ffmpeg"));
    }
    std::filesystem::path File(const std::string& name) const {
        for (const auto& file : files_)
            if (file.filename() == name) return file;
        return {};
    }
    std::vector<std::filesystem::path> files_;
};

TEST(TakDecoLibExports, EveryEntryPointTheSourceBindsAndNoOther) {
    ASSERT_TRUE(HaveTool("nm"));
    const std::string library = BinDir() + "/Libs/libtak_deco_lib.so";
    const CommandResult nm = RunCommand("nm -D --defined-only " + Quote(library));
    ASSERT_EQ(nm.status, 0) << library;
    std::set<std::string> exported;
    for (const std::string& line : Lines(nm.output))
        exported.insert(line.substr(line.rfind(' ') + 1));
    const std::set<std::string> expected(std::begin(kTakEntryPointNames),
                                         std::end(kTakEntryPointNames));
    EXPECT_EQ(expected.size(), 30u);
    EXPECT_EQ(exported, expected);
}

TEST_F(TakDecoLibTest, SamplesDecodeAsFfmpegDecodesThemInAnyRequestSize) {
    for (const auto& path : files_) {
        SCOPED_TRACE(path.filename().string());
        MemoryStream stream{ReadFileBytes(path)};
        Decoder decoder = OpenStream(stream);
        ASSERT_NE(decoder, nullptr);
        ASSERT_EQ(tak_SSD_Valid(decoder.get()), tak_True);
        TtakStreamInfo info{};
        ASSERT_EQ(tak_SSD_GetStreamInfo(decoder.get(), &info), tak_res_Ok);
        EXPECT_EQ(ProbeStream(path), std::to_string(info.sampleRate) + "," +
                                         std::to_string(info.channels) + "," +
                                         std::to_string(info.sampleCount) + "," +
                                         std::to_string(info.bitsPerSample) + "\n");
        EXPECT_EQ(info.blockAlign, info.channels * ((info.bitsPerSample + 7) / 8));

        const std::vector<uint8_t> expected = FfmpegPcm(path, info.bitsPerSample);
        ASSERT_EQ(expected.size(), size_t(info.sampleCount) * size_t(info.blockAlign));
        const ReadOutcome whole = ReadAll(decoder.get(), 4096);
        EXPECT_EQ(whole.result, tak_res_Ok);
        EXPECT_TRUE(whole.pcm == expected)
            << whole.pcm.size() << " bytes, ffmpeg " << expected.size();
        EXPECT_EQ(tak_SSD_GetReadPos(decoder.get()), info.sampleCount);
        // The end stays the end.
        TtakInt32 frames = -1;
        uint8_t spare[64];
        EXPECT_EQ(tak_SSD_ReadAudio(decoder.get(), spare, 4, &frames), tak_res_Ok);
        EXPECT_EQ(frames, 0);

        for (int32_t chunk : {1, 333, 1 << 20}) {
            SCOPED_TRACE("chunks of " + std::to_string(chunk));
            MemoryStream again{stream.bytes};
            again.chunk = size_t(chunk); // short reads from the stream too
            Decoder fresh = OpenStream(again);
            EXPECT_TRUE(ReadAll(fresh.get(), chunk).pcm == expected);
        }
        const TtakSSDOptions options{7, 0};
        Decoder fromFile(tak_SSD_Create_FromFile(path.c_str(), &options, nullptr, nullptr));
        EXPECT_TRUE(ReadAll(fromFile.get(), 1000).pcm == expected) << "opened by path";
    }
}

TEST_F(TakDecoLibTest, SeeksLandOnTheExactSample) {
    const auto& path = files_.front();
    MemoryStream stream{ReadFileBytes(path)};
    Decoder decoder = OpenStream(stream);
    TtakStreamInfo info{};
    ASSERT_EQ(tak_SSD_GetStreamInfo(decoder.get(), &info), tak_res_Ok);
    const std::vector<uint8_t> expected = FfmpegPcm(path, info.bitsPerSample);
    const int64_t count = info.sampleCount;
    ASSERT_GT(count, 2000);

    std::vector<uint8_t> buffer(100 * size_t(info.blockAlign));
    // Forward within a frame, forward past frames, back to near the start, forward again.
    for (int64_t target : {int64_t(7), int64_t(1500), int64_t(3), count - 50, int64_t(0)}) {
        SCOPED_TRACE("seek to " + std::to_string(target));
        ASSERT_EQ(tak_SSD_Seek(decoder.get(), target), tak_res_Ok);
        EXPECT_EQ(tak_SSD_GetReadPos(decoder.get()), target);
        TtakInt32 frames = 0;
        ASSERT_EQ(tak_SSD_ReadAudio(decoder.get(), buffer.data(), 100, &frames), tak_res_Ok);
        EXPECT_EQ(frames, std::min<int64_t>(100, count - target));
        const auto from = expected.begin() + long(target * info.blockAlign);
        EXPECT_TRUE(
            std::equal(buffer.begin(), buffer.begin() + long(frames) * info.blockAlign, from));
    }
    ASSERT_EQ(tak_SSD_Seek(decoder.get(), count), tak_res_Ok);
    TtakInt32 frames = -1;
    EXPECT_EQ(tak_SSD_ReadAudio(decoder.get(), buffer.data(), 100, &frames), tak_res_Ok);
    EXPECT_EQ(frames, 0);
    EXPECT_NE(tak_SSD_Seek(decoder.get(), count + 1), tak_res_Ok);
    EXPECT_NE(tak_SSD_Seek(decoder.get(), -1), tak_res_Ok);
    // A refused seek leaves the decoder usable.
    ASSERT_EQ(tak_SSD_Seek(decoder.get(), 10), tak_res_Ok);
    EXPECT_EQ(tak_SSD_ReadAudio(decoder.get(), buffer.data(), 1, &frames), tak_res_Ok);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + info.blockAlign,
                           expected.begin() + 10 * info.blockAlign));
}

// A value read the way the TAK source reads it: index, size query, then the bytes.
std::string ItemValue(TtakAPEv2Tag tag, const char* key) {
    TtakInt32 index = -1;
    if (tak_APE_GetIndexOfKey(tag, key, &index) != tak_res_Ok || index < 0) return "<missing>";
    TtakInt32 size = -1;
    if (tak_APE_GetItemValue(tag, index, nullptr, 0, &size) != tak_res_Ok) return "<no size>";
    std::string value(size_t(size), '\0');
    if (tak_APE_GetItemValue(tag, index, value.data(), size, &size) != tak_res_Ok)
        return "<unreadable>";
    return value;
}

TEST_F(TakDecoLibTest, Apev2ItemsOfTheFileReadBackByKey) {
    const auto tagged = File("mutagen__has-tags.tak");
    if (tagged.empty()) GTEST_SKIP() << "mutagen__has-tags.tak is not among the samples";
    MemoryStream stream{ReadFileBytes(tagged)};
    Decoder decoder = OpenStream(stream);
    TtakAPEv2Tag tag = tak_SSD_GetAPEv2Tag(decoder.get());
    ASSERT_NE(tag, nullptr);
    ASSERT_EQ(tak_APE_Valid(tag), tak_True);
    EXPECT_EQ(tak_APE_State(tag), tak_res_Ok);
    EXPECT_EQ(ItemValue(tag, "Artist"), "The Artist");
    EXPECT_EQ(ItemValue(tag, "ARTIST"), "The Artist"); // keys ignore case
    EXPECT_EQ(ItemValue(tag, "Title"), "<missing>");
    TtakInt32 index = 0;
    EXPECT_EQ(tak_APE_GetIndexOfKey(tag, "Title", &index), tak_res_ape_NotFound);
    EXPECT_EQ(index, -1);

    // What ffprobe lists is what we list.
    const std::string probe =
        RunCommand("ffprobe -v error -show_entries format_tags -of default=nw=1 " +
                   Quote(tagged.string()))
            .output;
    ASSERT_EQ(tak_APE_GetItemNum(tag), 1);
    char key[64];
    TtakInt32 size = 0;
    ASSERT_EQ(tak_APE_GetItemKey(tag, 0, key, sizeof key, &size), tak_res_Ok);
    EXPECT_EQ(probe, "TAG:" + std::string(key) + "=" + ItemValue(tag, key) + "\n");
    // A buffer one byte short is refused untouched.
    char small[10];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(tak_APE_GetItemValue(tag, 0, small, 9, &size), tak_res_BufferTooSmall);
    EXPECT_EQ(size, 10);
    EXPECT_EQ(small[0], '#');

    // The tag is not audio: the file decodes exactly as the untagged bytes would.
    TtakStreamInfo info{};
    ASSERT_EQ(tak_SSD_GetStreamInfo(decoder.get(), &info), tak_res_Ok);
    EXPECT_TRUE(ReadAll(decoder.get(), 4096).pcm == FfmpegPcm(tagged, info.bitsPerSample));

    const auto plain = File("picard__test.tak");
    if (plain.empty()) return;
    MemoryStream plainStream{ReadFileBytes(plain)};
    Decoder plainDecoder = OpenStream(plainStream);
    TtakAPEv2Tag none = tak_SSD_GetAPEv2Tag(plainDecoder.get());
    EXPECT_EQ(tak_APE_Valid(none), tak_False);
    EXPECT_EQ(tak_APE_State(none), tak_res_ape_None);
    EXPECT_EQ(ItemValue(none, "Artist"), "<missing>");
}

TEST_F(TakDecoLibTest, AnAppendedTagIsReadAndABrokenOneIsInvalid) {
    const auto plain = File("picard__test.tak");
    if (plain.empty()) GTEST_SKIP() << "picard__test.tak is not among the samples";
    const std::vector<uint8_t> audio = ReadFileBytes(plain);

    // APEv2 with header: Title "Café" (UTF-8) and a two-valued Genre, then an ID3v1 block.
    const std::vector<ApeItemSpec> items = {{"Title", "Caf\xC3\xA9"},
                                            {"Genre", std::string("Jazz\0Rock", 9)}};
    auto build = [&](uint32_t count) {
        std::vector<uint8_t> file = audio;
        const std::vector<uint8_t> tag = ApeTagBytes(items, {.count = count});
        file.insert(file.end(), tag.begin(), tag.end());
        std::vector<uint8_t> id3v1(128, 0);
        std::memcpy(id3v1.data(), "TAG", 3);
        file.insert(file.end(), id3v1.begin(), id3v1.end());
        return file;
    };

    MemoryStream stream{build(2)};
    Decoder decoder = OpenStream(stream);
    TtakAPEv2Tag tag = tak_SSD_GetAPEv2Tag(decoder.get());
    ASSERT_EQ(tak_APE_Valid(tag), tak_True);
    EXPECT_EQ(ItemValue(tag, "title"), "Caf\xC3\xA9");
    TtakAPEv2TagDesc desc{};
    ASSERT_EQ(tak_APE_GetDesc(tag, &desc), tak_res_Ok);
    EXPECT_EQ(desc.streamPosition, int64_t(audio.size()));
    EXPECT_EQ(desc.size, int32_t(ApeItemsBytes(items).size() + 64));
    EXPECT_EQ(desc.itemCount, 2);
    char text[32];
    TtakInt32 size = 0;
    EXPECT_EQ(tak_APE_GetTextItemValueAsAnsi(tag, 0, -1, ';', text, sizeof text, &size),
              tak_res_Ok);
    EXPECT_STREQ(text, "Caf\xE9");
    EXPECT_EQ(tak_APE_GetTextItemValueAsAnsi(tag, 1, -1, ';', text, sizeof text, &size),
              tak_res_Ok);
    EXPECT_STREQ(text, "Jazz;Rock");
    EXPECT_EQ(tak_APE_GetTextItemValueAsAnsi(tag, 1, 1, ';', text, sizeof text, &size), tak_res_Ok);
    EXPECT_STREQ(text, "Rock");
    TtakAPEv2ItemDesc itemDesc{};
    ASSERT_EQ(tak_APE_GetItemDesc(tag, 1, &itemDesc), tak_res_Ok);
    EXPECT_EQ(itemDesc.valueCount, 2);
    EXPECT_EQ(itemDesc.valueSize, 9);
    EXPECT_EQ(tak_APE_GetItemDesc(tag, 2, &itemDesc), tak_res_ape_NotFound);
    // The audio in front decodes as before, the tag and ID3v1 block left out.
    TtakStreamInfo info{};
    ASSERT_EQ(tak_SSD_GetStreamInfo(decoder.get(), &info), tak_res_Ok);
    EXPECT_TRUE(ReadAll(decoder.get(), 4096).pcm == FfmpegPcm(plain, info.bitsPerSample));

    // Three items claimed, two stored: the tag is broken and nothing of it is offered.
    MemoryStream brokenStream{build(3)};
    Decoder broken = OpenStream(brokenStream);
    TtakAPEv2Tag brokenTag = tak_SSD_GetAPEv2Tag(broken.get());
    EXPECT_EQ(tak_APE_Valid(brokenTag), tak_False);
    EXPECT_EQ(tak_APE_State(brokenTag), tak_res_ape_Invalid);
    EXPECT_EQ(tak_APE_GetItemNum(brokenTag), 0);
    EXPECT_EQ(ItemValue(brokenTag, "Title"), "<missing>");
}

// Cut copies: the damaged-sources harness, through the TAK source.
TEST_F(TakDecoLibTest, DamagedFilesEndInAnErrorAndADamageReportNeverInWrongSamples) {
    const auto& path = files_.front();
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    TtakStreamInfo info{};
    {
        MemoryStream stream{bytes};
        Decoder decoder = OpenStream(stream);
        ASSERT_EQ(tak_SSD_GetStreamInfo(decoder.get(), &info), tak_res_Ok);
    }
    const std::vector<uint8_t> expected = FfmpegPcm(path, info.bitsPerSample);

    // Every 37th byte flipped in turn, the tag area included.
    int errors = 0, damageReports = 0, flips = 0;
    for (size_t offset = 0; offset < bytes.size(); offset += 37) {
        SCOPED_TRACE("bit flipped at byte " + std::to_string(offset));
        ++flips;
        MemoryStream stream{bytes};
        stream.bytes[offset] ^= 0x04;
        DamageLog damage;
        Decoder decoder = OpenStream(stream, &damage);
        ASSERT_NE(decoder, nullptr);
        const ReadOutcome outcome = ReadAll(decoder.get(), 1000);
        damageReports += damage.calls;
        EXPECT_TRUE(std::equal(outcome.pcm.begin(), outcome.pcm.end(), expected.begin()))
            << "wrong samples delivered";
        if (outcome.result != tak_res_Ok) {
            ++errors;
            EXPECT_EQ(tak_SSD_Valid(decoder.get()), tak_False);
            EXPECT_EQ(tak_SSD_State(decoder.get()), outcome.result);
            if (damage.calls > 0) {
                EXPECT_EQ(damage.error, tak_res_ssd_FrameDamaged);
            }
        } else {
            EXPECT_TRUE(outcome.pcm == expected) << "damage neither reported nor harmless";
        }
    }
    EXPECT_GT(errors, flips / 2);
    EXPECT_GT(damageReports, 0);
}

TEST_F(TakDecoLibTest, ForeignInputAndBadCallsAreRefusedWithAnError) {
    // A stream that gives short reads and fails after the header.
    MemoryStream failing{ReadFileBytes(files_.front())};
    failing.chunk = 64;
    failing.failAfter = 200;
    Decoder failingDecoder = OpenStream(failing);
    const ReadOutcome failed = ReadAll(failingDecoder.get(), 1000);
    EXPECT_EQ(failed.result, tak_res_ssd_SourceIoError);
    EXPECT_EQ(tak_SSD_Valid(failingDecoder.get()), tak_False);

    // Not TAK: a WAV file, and nothing at all.
    TempDir dir;
    MakeWav(dir / "tone.wav", 0.2);
    for (const std::vector<uint8_t>& bytes :
         {ReadFileBytes(dir / "tone.wav"), std::vector<uint8_t>{}}) {
        MemoryStream stream{bytes};
        Decoder decoder = OpenStream(stream);
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(tak_SSD_Valid(decoder.get()), tak_False);
        TtakStreamInfo info{};
        EXPECT_NE(tak_SSD_GetStreamInfo(decoder.get(), &info), tak_res_Ok);
        TtakInt32 frames = -1;
        uint8_t buffer[16];
        EXPECT_NE(tak_SSD_ReadAudio(decoder.get(), buffer, 4, &frames), tak_res_Ok);
        EXPECT_EQ(frames, 0);
        char text[64];
        EXPECT_EQ(tak_SSD_GetErrorString(tak_SSD_State(decoder.get()), text, sizeof text),
                  tak_res_Ok);
        EXPECT_GT(std::strlen(text), 3u);
    }

    // No stream table, a table without Read, a missing file, null handles and arguments.
    const TtakSSDOptions options{7, 0};
    Decoder noTable(tak_SSD_Create_FromStream(nullptr, nullptr, &options, nullptr, nullptr));
    EXPECT_EQ(tak_SSD_State(noTable.get()), tak_res_InvalidIoInterface);
    TtakStreamIoInterface noRead = MemoryStream::kInterface;
    noRead.Read = nullptr;
    MemoryStream unused;
    Decoder noReadDecoder(tak_SSD_Create_FromStream(&noRead, &unused, &options, nullptr, nullptr));
    EXPECT_EQ(tak_SSD_State(noReadDecoder.get()), tak_res_InvalidIoInterface);
    Decoder missing(
        tak_SSD_Create_FromFile((dir / "missing.tak").c_str(), &options, nullptr, nullptr));
    EXPECT_EQ(tak_SSD_State(missing.get()), tak_res_ssd_SourceIoError);

    TtakStreamInfo info{};
    EXPECT_NE(tak_SSD_GetStreamInfo(nullptr, &info), tak_res_Ok);
    TtakInt32 frames = -1;
    EXPECT_NE(tak_SSD_ReadAudio(nullptr, nullptr, 1, &frames), tak_res_Ok);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(tak_SSD_GetAPEv2Tag(nullptr), nullptr);
    EXPECT_EQ(tak_APE_Valid(nullptr), tak_False);
    TtakInt32 index = 5;
    EXPECT_NE(tak_APE_GetIndexOfKey(nullptr, "Artist", &index), tak_res_Ok);
    tak_SSD_Destroy(nullptr);

    MemoryStream good{ReadFileBytes(files_.front())};
    Decoder decoder = OpenStream(good);
    EXPECT_EQ(tak_SSD_ReadAudio(decoder.get(), nullptr, 10, &frames), tak_res_InvalidParameter);
    EXPECT_EQ(tak_SSD_ReadAudio(decoder.get(), nullptr, -1, &frames), tak_res_InvalidParameter);
    EXPECT_EQ(tak_SSD_Valid(decoder.get()), tak_True)
        << "a refused call does not spoil the decoder";
}

} // namespace
