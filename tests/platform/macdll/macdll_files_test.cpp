// Files from elsewhere and files gone bad: the tags of real Monkey's Audio files are read, and
// corrupted files end in an error code, never in wrong audio reported as good, a crash or a
// hang. How real files decode, or are refused by version: tests/codecs/ape/mac_in; cut copies:
// the damaged-sources harness, through the source.
#include "platform/macdll/ape_header.h"
#include "tests/platform/macdll/macdll_test_support.h"

#include <filesystem>

using namespace apetest;

namespace {

bool IsDecodeError(int code) {
    return code == 1009 || code == 1010 || code == 1000;
}

TEST(MacDllFiles, GetId3TagReadsTheApeTagOfARealFile) {
    const std::string path = SamplesDir("ape").string() + "/mediafile__full.ape";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no sample " << path;
    std::array<unsigned char, 128> record{};
    ASSERT_EQ(GetID3Tag(path.c_str(), record.data()), 0);
    const auto field = [&](std::size_t offset, std::size_t width) {
        const char* text = reinterpret_cast<const char*>(record.data() + offset);
        return std::string(text, strnlen(text, width));
    };
    EXPECT_EQ(field(APE_ID3_TITLE, 30), "full");
    EXPECT_EQ(field(APE_ID3_ARTIST, 30), "the artist");
    EXPECT_EQ(field(APE_ID3_ALBUM, 30), "the album");
    EXPECT_EQ(field(APE_ID3_YEAR, 4), "2001");
    EXPECT_EQ(field(APE_ID3_COMMENT, 29), "the comments");
    EXPECT_EQ(record[APE_ID3_TRACK], 2);

    const std::string untagged = SamplesDir("ape").string() + "/picard__test.ape";
    if (std::filesystem::exists(untagged)) {
        EXPECT_EQ(GetID3Tag(untagged.c_str(), record.data()), 1);
    }
}

// The stored MD5 against the bytes it covers: official files and ours match; a changed byte of
// the sum or of what it covers (the stored WAV header, the seek table) does not; bytes outside
// it (the descriptor's padding) leave it matching; a file from before 3980 has none.
TEST(MacDllFiles, TheStoredMd5IsComparedWithTheBytesItCovers) {
    const auto md5 = [](const std::string& path) {
        Decoder decoder(path);
        EXPECT_NE(decoder.Handle(), 0) << path;
        return decoder.Info(APE_INFO_MD5_MATCHES);
    };
    const std::string samples = SamplesDir("ape").string();
    if (std::filesystem::exists(samples)) {
        EXPECT_EQ(md5(samples + "/mediafile__full.ape"), 1);
        EXPECT_EQ(md5(samples + "/picard__test.ape"), 1);
        EXPECT_EQ(md5(samples + "/atldotnet__v394.ape"), -1);
    }
    TempDir dir;
    const Pcm pcm = SoxPcm("synth 1.5 pluck C4", 16, 2);
    const std::string ours = dir / "ours.ape";
    ASSERT_EQ(EncodeFile(ours, pcm, {.level = 3000, .storeWavHeader = true}), 0);
    EXPECT_EQ(md5(ours), 1);
    const std::vector<std::uint8_t> file = ReadFileBytes(ours);
    macdll::ApeFileInfo info;
    ASSERT_EQ(macdll::ParseApeFile(file, info).error, 0);
    ASSERT_GT(info.headerDataBytes, 0u);
    const std::pair<std::size_t, int> changes[] = {{36, 0},
                                                   {51, 0},
                                                   {std::size_t(info.firstFrame) - 1, 0},
                                                   {info.seekTableOffset + 2, 0},
                                                   {6, 1}};
    for (const auto& [at, expected] : changes) {
        std::vector<std::uint8_t> changed = file;
        changed[at] ^= 0x10;
        WriteFileBytes(dir / "changed.ape", changed);
        EXPECT_EQ(md5(dir / "changed.ape"), expected) << "byte " << at;
    }
}

// A version 3940 file (predictor of 3930-3949, 73728-block frames): the same audio as FFmpeg's,
// from the start and after a seek into a later frame; flipped bits and cut copies end in an error
// after the right audio, or give all of it.
TEST(MacDllFiles, Version3940DecodesAsFfmpegAndDamagedCopiesFailCleanly) {
    const std::string path = SamplesDir("ape").string() + "/atldotnet__v394.ape";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no sample " << path;
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
    const CommandResult judged = FfmpegDecode(path, 16);
    ASSERT_EQ(judged.status, 0);
    const std::vector<std::uint8_t> expected(judged.output.begin(), judged.output.end());
    ASSERT_EQ(expected.size(), 337180u * 4);
    {
        Decoder decoder(path);
        ASSERT_NE(decoder.Handle(), 0);
        EXPECT_EQ(decoder.Info(APE_INFO_FILE_VERSION), 3940);
        std::vector<std::uint8_t> decoded;
        EXPECT_EQ(decoder.ReadAll(decoded, 5000), 0);
        EXPECT_TRUE(decoded == expected) << decoded.size() << " bytes differ from FFmpeg's";
        const std::size_t block = 3 * 73728 + 1234;
        ASSERT_EQ(c_APEDecompress_Seek(decoder.Handle(), std::intptr_t(block)), 0);
        std::vector<std::uint8_t> tail;
        EXPECT_EQ(decoder.ReadAll(tail, 777), 0);
        EXPECT_TRUE(
            std::equal(tail.begin(), tail.end(), expected.begin() + block * 4, expected.end()) &&
            tail.size() == expected.size() - block * 4);
    }
    const std::vector<std::uint8_t> file = ReadFileBytes(path);
    macdll::ApeFileInfo info;
    ASSERT_EQ(macdll::ParseApeFile(file, info).error, 0);
    const std::size_t first = std::size_t(info.firstFrame);
    TempDir dir;
    const std::string damagedPath = dir / "damaged.ape";
    int failed = 0;
    const auto check = [&](const std::vector<std::uint8_t>& damaged, const std::string& what) {
        WriteFileBytes(damagedPath, damaged);
        Decoder decoder(damagedPath);
        ASSERT_NE(decoder.Handle(), 0) << what;
        std::vector<std::uint8_t> decoded;
        const int result = decoder.ReadAll(decoded, 1 << 16);
        if (result == 0) {
            EXPECT_TRUE(decoded == expected) << what << ": wrong audio reported as good";
            return;
        }
        EXPECT_TRUE(IsDecodeError(result)) << what << ": code " << result;
        EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), expected.begin())) << what;
        ++failed;
    };
    std::uint32_t state = 7;
    for (int i = 0; i < 12; ++i) {
        state = state * 1664525u + 1013904223u;
        const std::size_t at = first + state % (file.size() - first - 64);
        std::vector<std::uint8_t> damaged = file;
        damaged[at] ^= std::uint8_t(1u << (state >> 29));
        check(damaged, "flipped byte " + std::to_string(at));
    }
    for (const std::size_t keep : {first + 1, first + 9, file.size() / 2, file.size() - 300}) {
        check(std::vector<std::uint8_t>(file.begin(), file.begin() + std::ptrdiff_t(keep)),
              "cut at " + std::to_string(keep));
    }
    EXPECT_GE(failed, 14);
}

class MacDllDamage : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTool("sox")) GTEST_SKIP() << "needs sox";
        // Three frames at level 2000 (16-bit stereo) and one at level 5000 (24-bit mono).
        stereo_ = SoxPcm("synth 3.5 pluck C4 pluck G4 synth 3.5 sine mix 100-3000", 16, 2);
        mono_ = SoxPcm("synth 0.5 pluck A3", 24, 1);
        ASSERT_EQ(EncodeFile(dir_ / "stereo.ape", stereo_, {2000}), 0);
        ASSERT_EQ(EncodeFile(dir_ / "mono.ape", mono_, {5000}), 0);
    }

    // Reads the damaged file to its end: the outcome must be a clear error, or all the audio.
    void ExpectErrorOrAllAudio(const std::vector<std::uint8_t>& file, const Pcm& source,
                               const std::string& what) {
        const std::string path = dir_ / "damaged.ape";
        WriteFileBytes(path, file);
        Decoder decoder(path);
        if (decoder.Handle() == 0) {
            EXPECT_TRUE(decoder.OpenError() == 1002 || decoder.OpenError() == 1013) << what;
            ++refusedAtOpen_;
            return;
        }
        std::vector<std::uint8_t> decoded;
        const int result = decoder.ReadAll(decoded);
        if (result == 0) {
            EXPECT_TRUE(decoded == source.bytes) << what << ": wrong audio reported as good";
            ++intact_;
        } else {
            EXPECT_TRUE(IsDecodeError(result)) << what << ": code " << result;
            // What came before the damage is still right.
            EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), source.bytes.begin())) << what;
            ++failedInData_;
        }
    }

    TempDir dir_;
    Pcm stereo_;
    Pcm mono_;
    int refusedAtOpen_ = 0;
    int failedInData_ = 0;
    int intact_ = 0;
};

TEST_F(MacDllDamage, FlippedBitsInFrameDataAreCaught) {
    for (const auto& [name, source] : {std::pair{"stereo.ape", &stereo_}, {"mono.ape", &mono_}}) {
        const std::vector<std::uint8_t> file = ReadFileBytes(dir_ / name);
        macdll::ApeFileInfo info;
        ASSERT_EQ(macdll::ParseApeFile(file, info).error, 0);
        const std::size_t first = std::size_t(info.firstFrame);
        std::uint32_t state = 1;
        for (int i = 0; i < 40; ++i) {
            state = state * 1664525u + 1013904223u;
            const std::size_t at = first + state % (file.size() - first - 8);
            std::vector<std::uint8_t> damaged = file;
            damaged[at] ^= std::uint8_t(1u << (state >> 29));
            ExpectErrorOrAllAudio(damaged, *source,
                                  std::string(name) + " byte " + std::to_string(at));
        }
    }
    EXPECT_GE(failedInData_, 70);
}

// Every header byte set to a few hostile values: any outcome but a crash, a hang or an unknown
// code is acceptable, since a changed header may describe a different but valid file.
TEST_F(MacDllDamage, DamagedHeadersNeverCrashOrHang) {
    // Three frames of quick level-1000 mono, so that each of the many variants decodes fast.
    Pcm pcm;
    pcm.channels = 1;
    for (int i = 0; i < 2 * 73728 + 100; ++i)
        PutSample(pcm, (i % 500) * 40 - 10000);
    ASSERT_EQ(EncodeFile(dir_ / "quick.ape", pcm, {1000}), 0);
    const std::vector<std::uint8_t> file = ReadFileBytes(dir_ / "quick.ape");
    const std::string path = dir_ / "header.ape";
    int opened = 0;
    for (std::size_t at = 0; at < 92; ++at) {
        for (const std::uint8_t value : {std::uint8_t(0), std::uint8_t(0xFF), std::uint8_t(0x7F),
                                         std::uint8_t(file[at] ^ 0x10)}) {
            std::vector<std::uint8_t> damaged = file;
            damaged[at] = value;
            macdll::ApeFileInfo info;
            const macdll::ParseResult parsed = macdll::ParseApeFile(damaged, info);
            WriteFileBytes(path, damaged);
            Decoder decoder(path);
            EXPECT_EQ(decoder.Handle() != 0, parsed.error == 0) << "byte " << at;
            if (decoder.Handle() == 0) {
                EXPECT_TRUE(decoder.OpenError() == 1002 || decoder.OpenError() == 1013);
                EXPECT_STRNE(c_APEDecompress_GetLastErrorText(), "");
                continue;
            }
            ++opened;
            std::vector<std::uint8_t> decoded;
            const int result = decoder.ReadAll(decoded, 1 << 16);
            EXPECT_NE(result, -1) << "byte " << at << " never ends";
            EXPECT_TRUE(result == 0 || IsDecodeError(result)) << "byte " << at;
        }
    }
    EXPECT_GT(opened, 0);
}

} // namespace
