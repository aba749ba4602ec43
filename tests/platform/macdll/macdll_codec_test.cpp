// Our Monkey's Audio codec: the official encoder's test vectors byte for byte, special frames that
// FFmpeg decodes bit-exactly, exact seeking, and the compressor's refusals and edge cases. Every
// level, depth and channel count: tests/codecs/ape/mac_out_test, through the sink and source.
#include "platform/macdll/checksums.h"
#include "platform/macdll/compressor.h"
#include "tests/platform/macdll/macdll_test_support.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace apetest;

namespace {

std::string Hex(const std::array<std::uint8_t, 16>& digest) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : digest) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

std::string Md5Of(const std::vector<std::uint8_t>& bytes) {
    macdll::Md5 md5;
    md5.Update(bytes);
    return Hex(md5.Final());
}

// The generator of the official test vectors.
class Lcg {
public:
    std::uint32_t Next() {
        return state_ = std::uint32_t((std::uint64_t(state_) * 1103515245 + 12345) % (1u << 31));
    }

private:
    std::uint32_t state_ = 12345;
};

std::int32_t FloorDiv(std::int32_t a, std::int32_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

struct Vector {
    Pcm pcm;
    int level;
    std::string pcmMd5;
    std::string fileMd5;
    std::size_t fileBytes;
};

std::vector<Vector> OfficialVectors() {
    Lcg rnd;
    Vector a{{44100, 16, 2, {}},
             2000,
             "e3b2ca514ce11fcc609abadae777b76e",
             "840e967d1294a7a1f6a68a95324f5c2e",
             296};
    for (int i = 0; i < 48; ++i) {
        const std::int32_t c0 = ((i * 2731) % 8000) - 4000;
        PutSample(a.pcm, c0);
        PutSample(a.pcm, FloorDiv(c0 * 3, 4) + std::int32_t(rnd.Next() % 201) - 100);
    }
    Vector b{{44100, 16, 1, {}},
             1000,
             "03496419575ec9a374000482ecbbd5de",
             "288db29bea762b7d2e25f6f9380129d9",
             208};
    for (int i = 0; i < 40; ++i)
        PutSample(b.pcm, ((i * i * 37) % 20001) - 10000);
    Vector c{{96000, 24, 2, {}},
             3000,
             "4c209e3debbaa3ac3d0ca80cebf905f9",
             "5cd4d8c847dca8f5d1994fd870d574b5",
             340};
    for (int i = 0; i < 8; ++i) {
        PutSample(c.pcm, 0);
        PutSample(c.pcm, 0);
    }
    for (int i = 0; i < 24; ++i) {
        PutSample(c.pcm, std::int32_t(rnd.Next() % (1u << 24)) - (1 << 23));
        PutSample(c.pcm, std::int32_t(rnd.Next() % (1u << 24)) - (1 << 23));
    }
    return {a, b, c};
}

TEST(MacDllCodec, ReproducesTheOfficialTestVectorsByteForByte) {
    TempDir dir;
    int index = 0;
    for (const Vector& vector : OfficialVectors()) {
        SCOPED_TRACE("vector " + std::string(1, char('A' + index++)));
        ASSERT_EQ(Md5Of(vector.pcm.bytes), vector.pcmMd5) << "generator";
        const std::string path = dir / "vector.ape";
        ASSERT_EQ(EncodeFile(path, vector.pcm, {vector.level, true, true, 7}), 0);
        const std::vector<std::uint8_t> file = ReadFileBytes(path);
        EXPECT_EQ(file.size(), vector.fileBytes);
        EXPECT_EQ(Md5Of(file), vector.fileMd5);

        Decoder decoder(path);
        ASSERT_NE(decoder.Handle(), 0);
        std::vector<std::uint8_t> decoded;
        EXPECT_EQ(decoder.ReadAll(decoded), 0);
        EXPECT_EQ(decoded, vector.pcm.bytes);
    }
}

// Music-like input: plucked notes, a sweep under them, and for stereo different notes per side.
Pcm MusicPcm(int bits, int channels, double seconds) {
    const std::string length = std::to_string(seconds);
    const std::string notes = channels == 2 ? "pluck C4 pluck E4" : "pluck C4";
    return SoxPcm("synth " + length + " " + notes + " synth " + length +
                      " sine mix 60-12000 vol 0.9 fade 0 " + length + " 0.2",
                  bits, channels);
}

// Frames the official encoder marks with special codes: silence, pseudo-stereo, one silent side.
TEST(MacDllCodec, SilentAndPseudoStereoFramesRoundTrip) {
    if (!HaveTool("ffmpeg") || !HaveTool("sox")) GTEST_SKIP() << "needs ffmpeg and sox";
    const Pcm music = MusicPcm(16, 2, 1.0);
    const std::size_t frame = 73728;
    Pcm pcm;
    for (std::size_t i = 0; i < 4 * frame + 1000; ++i) {
        const std::size_t part = i / frame;
        const std::size_t at = (i % music.Blocks()) * 4;
        const std::int32_t left = std::int16_t(music.bytes[at] | music.bytes[at + 1] << 8);
        const std::int32_t right = std::int16_t(music.bytes[at + 2] | music.bytes[at + 3] << 8);
        const std::int32_t c0 = part == 0 || part == 2 ? 0 : left;
        const std::int32_t c1 = part == 0 || part == 3 ? 0 : part == 1 ? left : right;
        PutSample(pcm, c0);
        PutSample(pcm, c1);
    }
    TempDir dir;
    for (const int level : {1000, 3000}) {
        const std::string path = dir / "special.ape";
        ASSERT_EQ(EncodeFile(path, pcm, {level}), 0);
        const CommandResult ffmpeg = FfmpegDecode(path, 16);
        EXPECT_EQ(ffmpeg.status, 0);
        EXPECT_TRUE(Bytes(ffmpeg.output) == pcm.bytes) << "level " << level;
        Decoder decoder(path);
        std::vector<std::uint8_t> decoded;
        EXPECT_EQ(decoder.ReadAll(decoded), 0);
        EXPECT_TRUE(decoded == pcm.bytes) << "level " << level;
    }
    // Mono silence next to sound.
    Pcm mono;
    mono.channels = 1;
    for (std::size_t i = 0; i < frame + 500; ++i)
        PutSample(mono, i < frame ? 0 : std::int32_t(i % 300) - 150);
    const std::string path = dir / "mono.ape";
    ASSERT_EQ(EncodeFile(path, mono, {2000}), 0);
    EXPECT_TRUE(Bytes(FfmpegDecode(path, 16).output) == mono.bytes);
}

// The sink never knows the size: the file must still be the one the exact size gives, whatever
// the buffer hand-over sizes.
TEST(MacDllCodec, UnknownSizeGivesTheSameFileAsTheKnownSize) {
    if (!HaveTool("sox")) GTEST_SKIP() << "needs sox";
    const Pcm pcm = MusicPcm(16, 2, 3.5); // three frames
    TempDir dir;
    for (const int level : {1000, 4000}) {
        ASSERT_EQ(EncodeFile(dir / "known.ape", pcm, {level, true, false, 65536}), 0);
        ASSERT_EQ(EncodeFile(dir / "unknown.ape", pcm, {level, false, false, 65532}), 0);
        ASSERT_EQ(EncodeFile(dir / "small.ape", pcm, {level, false, false, 1000}), 0);
        const std::vector<std::uint8_t> known = ReadFileBytes(dir / "known.ape");
        EXPECT_FALSE(known.empty());
        EXPECT_TRUE(ReadFileBytes(dir / "unknown.ape") == known) << "level " << level;
        EXPECT_TRUE(ReadFileBytes(dir / "small.ape") == known) << "level " << level;
    }
}

TEST(MacDllCodec, SeekPositionsExactlyAtAnySampleFrame) {
    if (!HaveTool("sox")) GTEST_SKIP() << "needs sox";
    const Pcm pcm = MusicPcm(24, 2, 2.0);
    TempDir dir;
    const std::string path = dir / "seek.ape";
    ASSERT_EQ(EncodeFile(path, pcm, {2000}), 0);
    Decoder decoder(path);
    ASSERT_NE(decoder.Handle(), 0);
    const std::size_t total = pcm.Blocks();
    for (const std::size_t block : {std::size_t(80000), std::size_t(0), std::size_t(73727),
                                    std::size_t(73728), std::size_t(12345), total - 1, total}) {
        SCOPED_TRACE("block " + std::to_string(block));
        ASSERT_EQ(c_APEDecompress_Seek(decoder.Handle(), std::intptr_t(block)), 0);
        EXPECT_EQ(decoder.Info(APE_DECOMPRESS_CURRENT_BLOCK), std::intptr_t(block));
        std::vector<std::uint8_t> got(5000 * 6);
        std::intptr_t retrieved = -1;
        ASSERT_EQ(c_APEDecompress_GetData(decoder.Handle(), reinterpret_cast<char*>(got.data()),
                                          5000, &retrieved),
                  0);
        ASSERT_EQ(std::size_t(retrieved), std::min<std::size_t>(5000, total - block));
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + retrieved * 6,
                               pcm.bytes.begin() + std::ptrdiff_t(block * 6)));
    }
    EXPECT_NE(c_APEDecompress_Seek(decoder.Handle(), std::intptr_t(total + 1)), 0);
    EXPECT_NE(c_APEDecompress_Seek(decoder.Handle(), -1), 0);
}

TEST(MacDllCodec, CompressorStartRefusesWhatItCannotStoreAndWritesIntoTheSinksFile) {
    TempDir dir;
    int error = -1;
    const APE_COMPRESS_HANDLE handle = c_APECompress_Create(&error);
    ASSERT_NE(handle, 0);
    APE_WAVEFORMATEX format{};
    const std::string refused = dir / "refused.ape";
    FillWaveFormatEx(&format, 44100, 16, 3);
    EXPECT_EQ(c_APECompress_Start(handle, refused.c_str(), &format, -1, 2000, nullptr, 0), 1007);
    FillWaveFormatEx(&format, 44100, 32, 2);
    EXPECT_EQ(c_APECompress_Start(handle, refused.c_str(), &format, -1, 2000, nullptr, 0), 1005);
    FillWaveFormatEx(&format, 44100, 16, 2);
    EXPECT_EQ(c_APECompress_Start(handle, refused.c_str(), &format, -1, 2500, nullptr, 0), 5000);
    EXPECT_FALSE(std::filesystem::exists(refused));
    c_APECompress_Destroy(handle);
    EXPECT_EQ(c_APECompress_Start(handle, refused.c_str(), &format, -1, 2000, nullptr, 0), 5000)
        << "a destroyed handle";

    // The sink creates its file exclusively first; an empty input gives a finished file.
    const std::string path = dir / "empty.ape";
    const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(EncodeFile(path, Pcm{}, {}), 0);
    Decoder decoder(path);
    ASSERT_NE(decoder.Handle(), 0) << c_APEDecompress_GetLastErrorText();
    EXPECT_EQ(decoder.Info(APE_INFO_TOTAL_BLOCKS), 0);
    std::vector<std::uint8_t> decoded;
    EXPECT_EQ(decoder.ReadAll(decoded), 0);
    EXPECT_TRUE(decoded.empty());
}

// A disk that fills up half way: the file size limit makes a write fail after some frames.
TEST(MacDllCodec, WriteFailureHalfWayIsReportedNotHidden) {
    Pcm pcm;
    for (int i = 0; i < 400000; ++i) {
        PutSample(pcm, std::int32_t(std::int64_t(i) * 7919 % 30000) - 15000);
        PutSample(pcm, std::int32_t(std::int64_t(i) * 104729 % 30000) - 15000);
    }
    TempDir dir;
    const std::string path = dir / "full.ape";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{200000, 200000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(EncodeFile(path, pcm, {1000}) == 1001 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "UnlockBuffer or Finish must return 1001";
    EXPECT_GT(std::filesystem::file_size(path), 0u) << "some frames were written first";
}

TEST(MacDllCodec, OpensNonAsciiFileNamesAndTheCallersDescriptor) {
    TempDir dir;
    Pcm pcm;
    pcm.channels = 1;
    for (int i = 0; i < 1000; ++i)
        PutSample(pcm, i);
    const std::string path = dir / "Bj\xc3\xb6rk \xe2\x80\x94 \xe6\x97\xa5\xf0\x9f\x8e\xb5.ape";
    ASSERT_EQ(EncodeFile(path, pcm, {}), 0);
    Decoder decoder(path);
    ASSERT_NE(decoder.Handle(), 0) << c_APEDecompress_GetLastErrorText();
    std::vector<std::uint8_t> decoded;
    EXPECT_EQ(decoder.ReadAll(decoded), 0);
    EXPECT_TRUE(decoded == pcm.bytes);

    // On a descriptor: the caller's stays open and where it was; a bad one is refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::lseek(fd, 7, SEEK_SET), 7);
    int error = -1;
    const APE_DECOMPRESS_HANDLE handle = c_APEDecompress_CreateFd(fd, &error);
    ASSERT_NE(handle, 0) << c_APEDecompress_GetLastErrorText();
    std::vector<std::uint8_t> again(pcm.bytes.size() + 64);
    std::intptr_t got = 0;
    EXPECT_EQ(c_APEDecompress_GetData(handle, reinterpret_cast<char*>(again.data()), 2000, &got),
              0);
    again.resize(size_t(got) * size_t(c_APEDecompress_GetInfo(handle, APE_INFO_BLOCK_ALIGN, 0, 0)));
    EXPECT_TRUE(again == pcm.bytes);
    c_APEDecompress_Destroy(handle);
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 7);
    ::close(fd);
    EXPECT_EQ(c_APEDecompress_CreateFd(-1, &error), 0);
    EXPECT_EQ(error, ERROR_INVALID_INPUT_FILE);
}

// Version 3980 files (the adaptive-k residual coder) are made with the core's 3980 writer and
// judged by FFmpeg, which reads that version on its own code path.
TEST(MacDllCodec, Version3980FilesDecodeLikeFfmpeg) {
    if (!HaveTool("ffmpeg") || !HaveTool("sox")) GTEST_SKIP() << "needs ffmpeg and sox";
    TempDir dir;
    const Pcm inputs[] = {MusicPcm(16, 2, 2.0), MusicPcm(24, 1, 1.0),
                          SoxPcm("synth 0.5 whitenoise vol 0.99", 24, 2)};
    for (const Pcm& pcm : inputs) {
        for (const int level : {1000, 2000, 5000}) {
            SCOPED_TRACE(std::to_string(pcm.bits) + "-bit " + std::to_string(pcm.channels) +
                         " channels, level " + std::to_string(level));
            const std::string path = dir / "v3980.ape";
            std::unique_ptr<macdll::Compressor> compressor;
            const macdll::AudioFormat format{44100, pcm.bits, pcm.channels};
            ASSERT_EQ(macdll::Compressor::Start(path, format, -1, level, {}, compressor, 3980), 0);
            ASSERT_EQ(compressor->Add(pcm.bytes), 0);
            ASSERT_EQ(compressor->Finish({}), 0);
            compressor.reset();

            const std::vector<std::uint8_t> file = ReadFileBytes(path);
            ASSERT_GT(file.size(), 6u);
            EXPECT_EQ(file[4] | file[5] << 8, 3980);
            const CommandResult ffmpeg = FfmpegDecode(path, pcm.bits);
            EXPECT_EQ(ffmpeg.status, 0);
            EXPECT_TRUE(Bytes(ffmpeg.output) == pcm.bytes) << "FFmpeg decodes differently";
            Decoder decoder(path);
            ASSERT_NE(decoder.Handle(), 0);
            EXPECT_EQ(decoder.Info(APE_INFO_FILE_VERSION), 3980);
            std::vector<std::uint8_t> decoded;
            EXPECT_EQ(decoder.ReadAll(decoded), 0);
            EXPECT_TRUE(decoded == pcm.bytes) << "our decoder decodes differently";
        }
    }
}

} // namespace
