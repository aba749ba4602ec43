// quillmere-cli --to wav --delete-source over sources whose length is not what they say: whole
// files and files stating less than they hold are converted as ffmpeg decodes them and removed;
// cut files are converted with a warning naming their stated length and kept; damaged files, a
// header without its audio and an unusable correction file fail and are kept.
#include "../../support/tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

std::string Cli() {
    return BinDir() + "/quillmere-cli";
}

void Tool(const std::string& command) {
    ASSERT_EQ(RunCommand(command + " 2>&1").status, 0) << command;
}

// ffmpeg's decoding of a file as 16-bit samples.
std::vector<uint8_t> Ffmpeg16(const std::string& path) {
    const std::string raw =
        RunCommand("ffmpeg -nostdin -v quiet -i " + Quote(path) + " -f s16le - 2>/dev/null").output;
    return {raw.begin(), raw.end()};
}

// The audio of a WAV output, from its 'data' chunk as ffmpeg finds it.
std::vector<uint8_t> WavAudio(const std::string& path) {
    return Ffmpeg16(path);
}

std::vector<uint8_t> Cut(const std::vector<uint8_t>& bytes, size_t size) {
    return {bytes.begin(), bytes.begin() + std::ptrdiff_t(size)};
}

std::string PlayingTime(size_t frames) {
    const size_t seconds = frames / 44100;
    char text[48];
    std::snprintf(text, sizeof text, "%zu:%02zu", seconds / 60, seconds % 60);
    return text;
}

bool StartsWith(const std::vector<uint8_t>& whole, const std::vector<uint8_t>& part) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

} // namespace

TEST(CliLengths, EachKindOfSourceEndsAsTheRuleSays) {
    TempDir dir;
    const std::string wav = dir / "tones.wav";
    Tool("sox -n -r 44100 -c 2 -b 16 " + Quote(wav) +
         " synth 3 sine 440 sine 660 pinknoise vol 0.4 remix 1,3 2,3");
    const std::vector<uint8_t> pcm = Ffmpeg16(wav);
    ASSERT_EQ(pcm.size(), 3u * 44100 * 4);

    // Whole, and stating less than it holds.
    Tool("flac -s -f -o " + Quote(dir / "whole.flac") + " " + Quote(wav));
    auto flac = ReadFileBytes(dir / "whole.flac");
    auto stated1 = flac;
    stated1[8 + 13] &= 0xF0; // STREAMINFO's total: 1
    std::fill(stated1.begin() + 8 + 14, stated1.begin() + 8 + 18, 0);
    stated1[8 + 17] = 1;
    WriteFileBytes(dir / "stated1.flac", stated1);
    Tool("wavpack -q -y " + Quote(wav) + " -o " + Quote(dir / "full.wv"));
    auto wv = ReadFileBytes(dir / "full.wv");
    auto total0 = wv;
    std::fill(total0.begin() + 12, total0.begin() + 16, 0);
    WriteFileBytes(dir / "total0.wv", total0);
    Tool("sox -n -r 44100 -c 2 -b 16 " + Quote(dir / "short.wav") + " synth 0.4 sine 440 sine 660");
    Tool("oggenc -Q -q 0 " + Quote(dir / "short.wav") + " -o " + Quote(dir / "granule.ogg"));
    auto ogg = ReadFileBytes(dir / "granule.ogg");
    {
        // The last page's granule position to 1, its checksum made right again.
        size_t last = 0;
        for (size_t at = 0; at + 27 <= ogg.size();) {
            last = at;
            size_t size = 27 + ogg[at + 26];
            for (size_t i = 0; i < ogg[at + 26]; ++i)
                size += ogg[at + 27 + i];
            at += size;
        }
        std::fill(ogg.begin() + std::ptrdiff_t(last) + 6, ogg.begin() + std::ptrdiff_t(last) + 14,
                  0);
        ogg[last + 6] = 1;
        std::fill(ogg.begin() + std::ptrdiff_t(last) + 22, ogg.begin() + std::ptrdiff_t(last) + 26,
                  0);
        uint32_t crc = 0;
        for (size_t i = last; i < ogg.size(); ++i) {
            crc ^= uint32_t(ogg[i]) << 24;
            for (int b = 0; b < 8; ++b)
                crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
        for (int i = 0; i < 4; ++i)
            ogg[last + 22 + size_t(i)] = uint8_t(crc >> (8 * i));
    }
    fs::remove(dir / "granule.ogg");
    WriteFileBytes(dir / "granule.ogg", ogg);

    // Cut short: what they hold, with their stated length.
    WriteFileBytes(dir / "cut1.flac", Cut(flac, flac.size() / 2));
    WriteFileBytes(dir / "cut2.wv", Cut(wv, wv.size() / 2));
    Tool("lame --quiet -b 128 " + Quote(wav) + " " + Quote(dir / "full.mp3"));
    const auto mp3 = ReadFileBytes(dir / "full.mp3");
    WriteFileBytes(dir / "cut3.mp3", Cut(mp3, mp3.size() / 2));

    // Damaged inside the stream, a header without its audio, an unusable correction file.
    auto flipped = flac;
    for (size_t i = flac.size() / 2; i < flac.size() / 2 + 16; ++i)
        flipped[i] ^= 0x5A;
    WriteFileBytes(dir / "flipped.flac", flipped);
    WriteFileBytes(dir / "headeronly.flac", Cut(flac, 8 + 34 + 4 + 40));
    Tool("wavpack -q -y -b3 -c " + Quote(wav) + " -o " + Quote(dir / "hybrid.wv"));
    const auto correction = ReadFileBytes(dir / "hybrid.wvc");
    WriteFileBytes(dir / "hybrid.wvc", Cut(correction, correction.size() / 2));

    // What ffmpeg finds in each, before the sources may go.
    const std::vector<std::string> names = {
        "whole.flac", "stated1.flac", "total0.wv",    "granule.ogg",     "cut1.flac",
        "cut2.wv",    "cut3.mp3",     "flipped.flac", "headeronly.flac", "hybrid.wv"};
    std::map<std::string, std::vector<uint8_t>> ffmpeg;
    std::map<std::string, std::vector<uint8_t>> before;
    std::string args;
    for (const std::string& name : names) {
        ffmpeg[name] = Ffmpeg16(dir / name);
        before[name] = ReadFileBytes(dir / name);
        args += " " + Quote(dir / name);
    }
    EXPECT_TRUE(ffmpeg["stated1.flac"] == pcm);
    EXPECT_TRUE(ffmpeg["total0.wv"] == pcm);

    const CommandResult r = RunCommand(Quote(Cli()) + " --to wav --delete-source --out " +
                                       Quote(dir / "out") + args + " 2>&1");
    EXPECT_EQ(r.status, 1) << r.output;
    const auto out = [&](const std::string& name) {
        return dir / ("out/" + fs::path(name).stem().string() + ".wav");
    };

    for (const std::string name : {"whole.flac", "stated1.flac", "total0.wv", "granule.ogg"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(r.output.find("OK " + (dir / name) + " -> " + out(name) + "\n"),
                  std::string::npos)
            << r.output;
        EXPECT_FALSE(fs::exists(dir / name));
    }
    EXPECT_TRUE(WavAudio(out("whole.flac")) == pcm);
    EXPECT_TRUE(WavAudio(out("stated1.flac")) == pcm);
    EXPECT_TRUE(WavAudio(out("total0.wv")) == pcm);
    // Lossy: libvorbis and ffmpeg agree on the length within the one block trimmed at the end.
    const size_t oggBytes = WavAudio(out("granule.ogg")).size();
    EXPECT_LE(oggBytes, ffmpeg["granule.ogg"].size() + 2048 * 4);
    EXPECT_GE(oggBytes + 2048 * 4, ffmpeg["granule.ogg"].size());

    for (const std::string name : {"cut1.flac", "cut2.wv", "cut3.mp3"}) {
        SCOPED_TRACE(name);
        const auto audio = WavAudio(out(name));
        EXPECT_GT(audio.size(), pcm.size() / 4);
        EXPECT_LT(audio.size(), pcm.size() * 3 / 4);
        if (name != "cut3.mp3") {
            EXPECT_TRUE(StartsWith(pcm, audio));
        } else {
            // mpg123 and ffmpeg decode the frames that are there, within two MP3 frames.
            EXPECT_LE(audio.size(), ffmpeg[name].size() + 2304 * 4);
            EXPECT_GE(audio.size() + 2304 * 4, ffmpeg[name].size());
        }
        EXPECT_NE(r.output.find("WARNING " + (dir / name) + " -> " + out(name) +
                                " (the source ends early: " + PlayingTime(audio.size() / 4) +
                                " of 0:03)"),
                  std::string::npos)
            << r.output;
        EXPECT_TRUE(ReadFileBytes(dir / name) == before[name]);
    }

    for (const std::string name : {"flipped.flac", "headeronly.flac", "hybrid.wv"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(r.output.find("FAILED " + (dir / name) + ": "), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(out(name)));
        EXPECT_TRUE(ReadFileBytes(dir / name) == before[name]);
    }
    EXPECT_TRUE(ReadFileBytes(dir / "hybrid.wvc") == Cut(correction, correction.size() / 2));
    EXPECT_NE(r.output.find("4 converted, 3 converted with a warning, 0 skipped, 3 failed"),
              std::string::npos)
        << r.output;
}
