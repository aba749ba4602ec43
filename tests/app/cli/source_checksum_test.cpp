// Sources that carry a sum of their own audio are held to it: a stored MD5 that the audio does
// not match converts with a warning and keeps the source; frame CRCs that fail end the run.
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b[at + size_t(i)];
    return v;
}

// Flips a byte of a WavPack file's stored MD5 (metadata 0x26) and rewrites the checksum of its
// block (metadata 0x2f), so that the file is otherwise whole.
bool AlterWavpackMd5(std::vector<uint8_t>& b) {
    for (size_t pos = 0; pos + 32 <= b.size() && std::equal(b.begin() + pos, b.begin() + pos + 4,
                                                            std::string_view("wvpk").begin());) {
        const size_t end = pos + 8 + Le(b, pos + 4, 4);
        size_t md5 = 0;
        for (size_t at = pos + 32; at < end;) {
            const bool large = b[at] & 0x80;
            const size_t header = large ? 4 : 2, size = 2 * Le(b, at + 1, large ? 3 : 1);
            if ((b[at] & 0x3f) == 0x26) md5 = at + header;
            if ((b[at] & 0x3f) == 0x2f && md5 != 0) {
                b[md5] ^= 0xFF;
                uint32_t sum = 0xFFFFFFFF;
                for (size_t i = pos; i < at; i += 2)
                    sum = sum * 3 + b[i] + (uint32_t(b[i + 1]) << 8);
                if (size == 2) sum = (sum ^ sum >> 16) & 0xFFFF;
                for (size_t i = 0; i < size; ++i)
                    b[at + header + i] = uint8_t(sum >> (8 * i));
                return true;
            }
            at += header + size;
        }
        pos = end;
    }
    return false;
}

std::string PcmMd5(const std::string& path) {
    return RunCommand("ffmpeg -nostdin -v error -i " + Quote(path) + " -f s16le - | md5sum").output;
}

} // namespace

TEST(CliSourceChecksum, AStoredMd5ThatTheAudioDoesNotMatchWarnsAndKeepsTheSource) {
    for (const char* tool : {"sox", "flac", "wavpack", "wvunpack", "ffmpeg"})
        if (!HaveTool(tool)) GTEST_SKIP() << "needs " << tool;
    TempDir dir;
    const std::string wav = dir / "music.wav";
    // 43 times the Monkey's Audio source's 8 KiB buffer: its last frame fills the buffer.
    Tool("sox -r 44100 -c 2 -n -b 16 " + Quote(wav) +
         " synth 88064s pinknoise vol 0.3 fade 0.1 88064s");
    const std::string source = PcmMd5(wav);
    Tool("flac -s " + Quote(wav) + " -o " + Quote(dir / "good.flac"));
    Tool("wavpack -q -m " + Quote(wav) + " -o " + Quote(dir / "good.wv"));
    Tool("wavpack -q " + Quote(wav) + " -o " + Quote(dir / "nosum.wv"));
    ASSERT_EQ(RunCli("--to ape --out " + Quote(dir / "ape") + " " + Quote(wav)).status, 0);
    fs::rename(dir / "ape/music.ape", dir / "good.ape");

    auto flac = ReadFileBytes(dir / "good.flac");
    // STREAMINFO comes first: "fLaC", a 4-byte block header, 18 bytes, then the 16-byte MD5.
    flac[26] ^= 0xFF;
    WriteFileBytes(dir / "bad.flac", flac);
    std::fill(flac.begin() + 26, flac.begin() + 42, 0); // a stream without a sum
    WriteFileBytes(dir / "nosum.flac", flac);
    auto wv = ReadFileBytes(dir / "good.wv");
    ASSERT_TRUE(AlterWavpackMd5(wv));
    WriteFileBytes(dir / "bad.wv", wv);
    // The tool agrees: the blocks are whole, the stored sum is wrong.
    const auto judged = RunCommand("wvunpack -q -v -m " + Quote(dir / "bad.wv") + " 2>&1");
    EXPECT_TRUE(Contains(judged.output, "MD5 signatures should match, but do not!"))
        << judged.output;
    EXPECT_FALSE(Contains(judged.output, "error")) << judged.output;
    auto ape = ReadFileBytes(dir / "good.ape");
    ape[40] ^= 0x01; // the descriptor's MD5 (bytes 36-51)
    WriteFileBytes(dir / "bad.ape", ape);

    // Altered sums warn and keep the source, with the audio whole; files without one, or with
    // the right one, convert and go.
    for (const std::string name : {"bad.flac", "bad.wv", "bad.ape", "good.flac", "nosum.flac",
                                   "good.wv", "nosum.wv", "good.ape"}) {
        SCOPED_TRACE(name);
        const std::string path = dir / name;
        const bool bad = name.starts_with("bad");
        const auto run =
            RunCli("--to wav --delete-source --out " + Quote(dir / "out") + " " + Quote(path));
        EXPECT_TRUE(Contains(run.output, (bad ? "WARNING " : "OK ") + path + " -> ")) << run.output;
        EXPECT_EQ(Contains(run.output, "(the source's own checksum does not match)\n"), bad);
        EXPECT_EQ(fs::exists(path), bad);
        EXPECT_EQ(PcmMd5(fs::path(dir / "out") / fs::path(name).replace_extension(".wav")), source);
        fs::remove_all(dir / "out");
    }
}

// A byte changed in the middle of the audio: FFmpeg without its CRC check decodes the file to
// other audio without a word; the frame CRC catches it, and the run fails.
TEST(CliSourceChecksum, AFrameThatFailsItsCrcFailsTheFile) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
    TempDir dir;
    for (const std::string sample : {"tta/picard__test.tta", "tta/taglib__tagged.tta",
                                     "tak/picard__test.tak", "tak/mutagen__has-tags.tak"}) {
        SCOPED_TRACE(sample);
        const fs::path original = SamplesDir("") / sample;
        if (!fs::exists(original)) GTEST_SKIP() << "no sample " << original;
        auto bytes = ReadFileBytes(original);
        bytes[bytes.size() / 2] ^= 0x04;
        const std::string path = dir / original.filename();
        WriteFileBytes(path, bytes);
        const std::string decode = "ffmpeg -nostdin -v error -i ";
        const auto unchecked = RunCommand(decode + Quote(path) + " -f s16le -");
        EXPECT_EQ(unchecked.status, 0);
        EXPECT_NE(unchecked.output, RunCommand(decode + Quote(original) + " -f s16le -").output)
            << "the change reaches the audio";
        const auto run =
            RunCli("--to wav --delete-source --out " + Quote(dir / "out") + " " + Quote(path));
        EXPECT_TRUE(Contains(run.output, "FAILED " + path + ": ")) << run.output;
        EXPECT_TRUE(fs::exists(path));
        EXPECT_FALSE(fs::exists(fs::path(dir / "out") / original.stem().concat(".wav")));
    }
}
