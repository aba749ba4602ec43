// Our Monkey's Audio codec: the official encoder's test vectors byte for byte, round trips that
// FFmpeg decodes bit-exactly at every level, depth and channel count, exact seeking, and the
// compressor's refusals and edge cases.
#include "platform/macdll/checksums.h"
#include "tests/platform/macdll/macdll_test_support.h"

#include <fcntl.h>
#include <filesystem>
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

} // namespace
