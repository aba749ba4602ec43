// Versions 3800-3929, which no encoder here writes: files made by the test writer from the
// library's own pieces must decode bit-exactly in FFmpeg (the judge of the layout), and then in
// our decoder; damaged copies end in an error after the right audio, or give all of it.
#include "tests/platform/macdll/old_version_writer.h"

#include <cmath>

using namespace apetest;

namespace {

bool IsDecodeError(int code) {
    return code == 1009 || code == 1010 || code == 1000;
}

// One full frame of tones and noise, then a shorter frame where (stereo) both channels are
// equal, or (mono) all silent: the frame codes of versions 3900 and later.
Pcm OldTestSignal(int bits, int channels) {
    Pcm pcm;
    pcm.bits = bits;
    pcm.channels = channels;
    const double scale = double(1 << (bits - 2));
    std::uint32_t noise = 99;
    for (int i = 0; i < 73728 + 3001; ++i) {
        noise = noise * 1103515245u + 12345u;
        const double t = i / 44100.0;
        const int jitter = int(noise >> 20) % 64 - 32;
        const std::int32_t a =
            std::int32_t(scale * std::sin(2 * M_PI * 440 * t) * std::sin(2 * M_PI * 0.7 * t)) +
            jitter;
        const std::int32_t b = std::int32_t(scale * 0.6 * std::sin(2 * M_PI * 1250 * t)) - jitter;
        const bool tail = i >= 73728;
        PutSample(pcm, tail && channels == 1 ? 0 : a);
        if (channels == 2) PutSample(pcm, tail ? a : b);
    }
    return pcm;
}

// Loud 24-bit noise: residuals of 17-23 bits, which versions before 3910 code in one piece.
Pcm LoudNoise() {
    Pcm pcm;
    pcm.bits = 24;
    pcm.channels = 1;
    std::uint32_t state = 3;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1103515245u + 12345u;
        PutSample(pcm, std::int32_t(state >> 12) - (1 << 19));
    }
    return pcm;
}

// The file through FFmpeg must give the source audio, and then through our decoder.
void ExpectDecodesAsFfmpeg(const std::string& path, const Pcm& pcm, int level, int version) {
    SCOPED_TRACE("level " + std::to_string(level) + ", " + std::to_string(pcm.bits) + "-bit, " +
                 std::to_string(pcm.channels) + " channels, version " + std::to_string(version));
    WriteFileBytes(path, WriteOldFile(pcm, level, version));
    const CommandResult judged = FfmpegDecode(path, pcm.bits);
    ASSERT_EQ(judged.status, 0);
    ASSERT_TRUE(Bytes(judged.output) == pcm.bytes) << "FFmpeg does not agree";
    Decoder decoder(path);
    ASSERT_NE(decoder.Handle(), 0);
    EXPECT_EQ(decoder.Info(APE_INFO_FILE_VERSION), version);
    std::vector<std::uint8_t> decoded;
    EXPECT_EQ(decoder.ReadAll(decoded, 4000), 0);
    EXPECT_TRUE(decoded == pcm.bytes) << decoded.size() << " bytes";
}

// Flips a bit in each of ten copies of file, and cuts the last one short: reading ends with a
// known code, and the cut copy fails in its last frame.
void ExpectDamageEndsInAnError(const std::string& path, const std::vector<std::uint8_t>& file,
                               std::uint32_t& state) {
    for (int i = 0; i < 10; ++i) {
        state = state * 1664525u + 1013904223u;
        std::vector<std::uint8_t> damaged = file;
        damaged[48 + state % (file.size() - 48)] ^= std::uint8_t(1u << (state >> 29));
        if (i == 9) damaged.resize(file.size() - 3000);
        WriteFileBytes(path, damaged);
        Decoder decoder(path);
        ASSERT_NE(decoder.Handle(), 0);
        std::vector<std::uint8_t> decoded;
        const int result = decoder.ReadAll(decoded, 1 << 16);
        EXPECT_TRUE(result == 0 || IsDecodeError(result)) << result;
        if (i == 9) {
            EXPECT_TRUE(IsDecodeError(result)) << "cut copy: " << result;
        }
    }
}

TEST(MacDllOldVersions, Versions3800To3929DecodeAsFfmpegDecodesThem) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
    TempDir dir;
    const std::string path = dir / "old.ape";
    const Pcm signals[] = {OldTestSignal(16, 2), OldTestSignal(16, 1), OldTestSignal(8, 2),
                           OldTestSignal(24, 1), LoudNoise()};
    const int versions[] = {3929, 3910, 3905, 3900, 3899, 3881, 3880, 3860, 3859, 3830, 3820, 3810};
    int checked = 0;
    for (const int level : {1000, 2000, 3000, 4000}) {
        for (const Pcm& pcm : signals) {
            const int version = &pcm == &signals[4] ? 3900 : versions[checked * 7 % 12];
            ExpectDecodesAsFfmpeg(path, pcm, level, version);
            ++checked;
        }
        // Before 3810 frames start inside their seek entries' words: on any bit in 3800, on
        // any byte in 3801-3809.
        for (int i = 0; i < 4; ++i)
            ExpectDecodesAsFfmpeg(path, signals[i], level, (level / 1000 + i) % 2 ? 3805 : 3800);
    }
    EXPECT_EQ(checked, 20);

    // Flipped bits in the frames of a stereo level-4000 file.
    const std::vector<std::uint8_t> file = WriteOldFile(signals[0], 4000, 3920);
    std::uint32_t state = 5;
    int failed = 0;
    for (int i = 0; i < 10; ++i) {
        state = state * 1664525u + 1013904223u;
        std::vector<std::uint8_t> damaged = file;
        damaged[48 + state % (file.size() - 48)] ^= std::uint8_t(1u << (state >> 29));
        WriteFileBytes(path, damaged);
        Decoder decoder(path);
        ASSERT_NE(decoder.Handle(), 0);
        std::vector<std::uint8_t> decoded;
        const int result = decoder.ReadAll(decoded, 1 << 16);
        if (result == 0) {
            EXPECT_TRUE(decoded == signals[0].bytes) << "wrong audio reported as good";
            continue;
        }
        EXPECT_TRUE(IsDecodeError(result)) << result;
        EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), signals[0].bytes.begin()));
        ++failed;
    }
    EXPECT_GE(failed, 8);

    // Before 3900 no checksum is checked: damage may go unnoticed.
    for (const int version : {3890, 3800, 3805}) {
        SCOPED_TRACE("damaged, version " + std::to_string(version));
        ExpectDamageEndsInAnError(path, WriteOldFile(signals[0], 3000, version), state);
    }
}

} // namespace
