// quillmere-cli --to wav --delete-source over sources whose length is not what they say: whole
// files and files stating less than they hold are converted as ffmpeg decodes them and removed;
// cut files are converted with a warning naming their stated length and kept; damaged files, a
// header without its audio, an unusable correction file, noise and a missing file fail and are
// kept; under --strict a cut file fails and leaves nothing; a header without audio fails in the
// same words for every target. Joined Ogg outputs form a chain that converts whole.
#include "../../support/bytes.h"
#include "../../support/tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

// ffmpeg's decoding of a file as 16-bit samples.
std::vector<uint8_t> Ffmpeg16(const std::string& path) {
    const std::string raw =
        RunCommand("ffmpeg -nostdin -v quiet -i " + Quote(path) + " -f s16le - 2>/dev/null").output;
    return {raw.begin(), raw.end()};
}

std::vector<uint8_t> Cut(const std::vector<uint8_t>& bytes, size_t size) {
    return Slice(bytes, 0, size);
}

std::string PlayingTime(size_t frames) {
    const size_t seconds = frames / 44100;
    char text[48];
    std::snprintf(text, sizeof text, "%zu:%02zu", seconds / 60, seconds % 60);
    return text;
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
    // The last page's granule position to 1.
    ogg = EditPages(ogg, [](uint8_t* page, bool last) {
        if (!last) return;
        std::fill(page + 6, page + 14, 0);
        page[6] = 1;
    });
    fs::remove(dir / "granule.ogg");
    WriteFileBytes(dir / "granule.ogg", ogg);

    // Cut short: what they hold, with their stated length.
    WriteFileBytes(dir / "cut1.flac", Cut(flac, flac.size() / 2));
    WriteFileBytes(dir / "cut2.wv", Cut(wv, wv.size() / 2));
    Tool("lame --quiet -b 128 " + Quote(wav) + " " + Quote(dir / "full.mp3"));
    const auto mp3 = ReadFileBytes(dir / "full.mp3");
    WriteFileBytes(dir / "cut3.mp3", Cut(mp3, mp3.size() / 2));
    const auto wavBytes = ReadFileBytes(wav);
    WriteFileBytes(dir / "cut4.wav", Cut(wavBytes, 44 + (wavBytes.size() - 44) / 8 * 4));

    // Damaged inside the stream, a header without its audio, an unusable correction file.
    auto flipped = flac;
    for (size_t i = flac.size() / 2; i < flac.size() / 2 + 16; ++i)
        flipped[i] ^= 0x5A;
    WriteFileBytes(dir / "flipped.flac", flipped);
    WriteFileBytes(dir / "headeronly.flac", Cut(flac, 8 + 34 + 4 + 40));
    Tool("wavpack -q -y -b3 -c " + Quote(wav) + " -o " + Quote(dir / "hybrid.wv"));
    const auto correction = ReadFileBytes(dir / "hybrid.wvc");
    WriteFileBytes(dir / "hybrid.wvc", Cut(correction, correction.size() / 2));
    WriteFileBytes(dir / "noise.wav", Noise(50000));

    // What ffmpeg finds in each, before the sources may go.
    const std::vector<std::string> names = {
        "whole.flac", "stated1.flac", "total0.wv",  "granule.ogg",  "cut1.flac",
        "cut2.wv",    "cut3.mp3",     "cut4.wav",   "flipped.flac", "headeronly.flac",
        "hybrid.wv",  "noise.wav",    "missing.wav"};
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
        EXPECT_NE(r.output.find("OK " + (dir / name) + " -> " + out(name) + " (verified)\n"),
                  std::string::npos)
            << r.output;
        EXPECT_FALSE(fs::exists(dir / name));
    }
    EXPECT_TRUE(Ffmpeg16(out("whole.flac")) == pcm);
    EXPECT_TRUE(Ffmpeg16(out("stated1.flac")) == pcm);
    EXPECT_TRUE(Ffmpeg16(out("total0.wv")) == pcm);
    // Lossy: libvorbis and ffmpeg agree on the length within the one block trimmed at the end.
    const size_t oggBytes = Ffmpeg16(out("granule.ogg")).size();
    EXPECT_LE(oggBytes, ffmpeg["granule.ogg"].size() + 2048 * 4);
    EXPECT_GE(oggBytes + 2048 * 4, ffmpeg["granule.ogg"].size());

    for (const std::string name : {"cut1.flac", "cut2.wv", "cut3.mp3", "cut4.wav"}) {
        SCOPED_TRACE(name);
        const auto audio = Ffmpeg16(out(name));
        EXPECT_GT(audio.size(), pcm.size() / 4);
        EXPECT_LT(audio.size(), pcm.size() * 3 / 4);
        if (name == "cut4.wav") {
            EXPECT_EQ(audio.size(), before[name].size() - 44);
        }
        if (name != "cut3.mp3") {
            EXPECT_TRUE(Slice(pcm, 0, audio.size()) == audio);
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

    for (const std::string name :
         {"flipped.flac", "headeronly.flac", "hybrid.wv", "noise.wav", "missing.wav"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(r.output.find("FAILED " + (dir / name) + ": "), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(out(name)));
        EXPECT_TRUE(ReadFileBytes(dir / name) == before[name]);
    }
    EXPECT_TRUE(ReadFileBytes(dir / "hybrid.wvc") == Cut(correction, correction.size() / 2));
    EXPECT_NE(r.output.find("4 converted, 4 converted with a warning, 0 skipped, 5 failed"),
              std::string::npos)
        << r.output;

    // Alone a cut file exits 0; under --strict it fails and leaves no output.
    EXPECT_EQ(
        RunCli("--to wav --out " + Quote(dir / "alone") + " " + Quote(dir / "cut4.wav")).status, 0);
    const auto strict =
        RunCli("--to wav --strict --out " + Quote(dir / "strict") + " " + Quote(dir / "cut4.wav"));
    EXPECT_EQ(strict.status, 1) << strict.output;
    EXPECT_TRUE(Contains(strict.output, "FAILED " + (dir / "cut4.wav") + ": the source ends early"))
        << strict.output;
    EXPECT_TRUE(fs::is_empty(dir / "strict")) << strict.output;
    EXPECT_TRUE(ReadFileBytes(dir / "cut4.wav") == before["cut4.wav"]);

    // A header without audio fails in the same words whatever the target.
    WriteFileBytes(dir / "empty.wav", Cut(wavBytes, 44));
    for (const char* target : {"flac", "ape", "mp3", "ogg", "wav", "wavpack", "wma"}) {
        const auto empty = RunCli("--to " + std::string(target) + " --out " + Quote(dir / target) +
                                  " " + Quote(dir / "empty.wav"));
        EXPECT_TRUE(Contains(empty.output, "FAILED " + (dir / "empty.wav") +
                                               ": The file is damaged: no audio could be decoded "
                                               "from it\n"))
            << target << ": " << empty.output;
    }

    // An Ogg file cut after a page states no length of its own: no "of" repeating what is there.
    Tool("oggenc -Q -q 3 " + Quote(wav) + " -o " + Quote(dir / "whole.ogg"));
    const auto whole = ReadFileBytes(dir / "whole.ogg");
    WriteFileBytes(dir / "cutpage.ogg", Cut(whole, whole.size() * 3 / 4));
    const auto cutOgg =
        RunCli("--to wav --out " + Quote(dir / "ogg") + " " + Quote(dir / "cutpage.ogg"));
    // What is left of the noise varies with its encoding: one or two seconds.
    const std::string warned = "WARNING " + (dir / "cutpage.ogg") + " -> " +
                               (dir / "ogg/cutpage.wav") + " (the source ends early: 0:0";
    EXPECT_TRUE(Contains(cutOgg.output, warned + "1)\n") ||
                Contains(cutOgg.output, warned + "2)\n"))
        << cutOgg.output;

    // A WavPack file whose first block header is damaged: the library starts at the next
    // block; the lost frames keep their place as silence and the source stays.
    auto headless = wv;
    headless[0] ^= 0x5A;
    WriteFileBytes(dir / "headless.wv", headless);
    const auto lost = RunCli("--to wav --delete-source --out " + Quote(dir / "headless") + " " +
                             Quote(dir / "headless.wv"));
    EXPECT_TRUE(Contains(lost.output, "WARNING " + (dir / "headless.wv") + " -> " +
                                          (dir / "headless/headless.wav") + " (0."))
        << lost.output;
    EXPECT_TRUE(Contains(lost.output, " s of damaged audio replaced by silence)\n")) << lost.output;
    EXPECT_TRUE(fs::exists(dir / "headless.wv"));
    const auto restored = Ffmpeg16(dir / "headless/headless.wav");
    ASSERT_EQ(restored.size(), pcm.size());
    // The first block's frames (its header's count), four bytes each.
    const size_t silent = size_t(wv[20] | wv[21] << 8 | wv[22] << 16 | wv[23] << 24) * 4;
    ASSERT_LT(silent, pcm.size());
    EXPECT_TRUE(
        std::all_of(restored.begin(), restored.begin() + silent, [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(restored.begin() + silent, restored.end(), pcm.begin() + silent));

    // A whole hybrid file goes with its correction file, never leaving one half behind.
    Tool("wavpack -q -y -b3 -c " + Quote(wav) + " -o " + Quote(dir / "pair.wv"));
    ASSERT_TRUE(fs::exists(dir / "pair.wvc"));
    const auto pair = RunCli("--to flac --delete-source --out " + Quote(dir / "pair") + " " +
                             Quote(dir / "pair.wv"));
    EXPECT_TRUE(Contains(pair.output, "OK " + (dir / "pair.wv") + " -> " +
                                          (dir / "pair/pair.flac") + " (verified)\n"))
        << pair.output;
    EXPECT_FALSE(fs::exists(dir / "pair.wv"));
    EXPECT_FALSE(fs::exists(dir / "pair.wvc"));
}

namespace {

// oggdec's 16-bit decoding of a file (stereo: the same channel order as WAV).
std::vector<uint8_t> Oggdec(const std::string& path) {
    const std::string raw = path + ".raw";
    if (RunCommand("oggdec -Q -R -o " + Quote(raw) + " " + Quote(path) + " 2>&1").status != 0)
        return {};
    return ReadFileBytes(raw);
}

uint32_t FirstSerial(const std::vector<uint8_t>& ogg) {
    return ogg.size() < 18 ? 0
                           : uint32_t(ogg[14]) | uint32_t(ogg[15]) << 8 | uint32_t(ogg[16]) << 16 |
                                 uint32_t(ogg[17]) << 24;
}

} // namespace

// Ogg Vorbis outputs get serial numbers of their own, so joined outputs form a chain that oggdec
// decodes whole and that converts whole. Chains of other files, open ends and a format that
// changes within a chain: the Vorbis source's tests.
TEST(CliLengths, JoinedOggOutputsFormAChainThatConvertsWhole) {
    for (const std::string tool : {"sox", "oggdec", "ffmpeg"})
        if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    TempDir dir;
    Tool("sox -n -r 44100 -c 2 -b 16 " + Quote(dir / "a.wav") + " synth 2 sine 440 sine 660");
    Tool("sox -n -r 44100 -c 2 -b 16 " + Quote(dir / "b.wav") + " synth 1.5 sine 330 sine 550");
    const CommandResult made =
        RunCommand(Quote(Cli()) + " --to ogg --out " + Quote(dir / "ours") + " " +
                   Quote(dir / "a.wav") + " " + Quote(dir / "b.wav") + " 2>&1");
    ASSERT_EQ(made.status, 0) << made.output;
    const auto ourA = ReadFileBytes(dir / "ours/a.ogg");
    const auto ourB = ReadFileBytes(dir / "ours/b.ogg");
    EXPECT_NE(FirstSerial(ourA), FirstSerial(ourB));
    WriteFileBytes(dir / "joined.ogg", Joined({ourA, ourB}));
    const auto partsOfOurs = Joined({Oggdec(dir / "ours/a.ogg"), Oggdec(dir / "ours/b.ogg")});
    ASSERT_EQ(partsOfOurs.size(), size_t(3.5 * 44100) * 4);
    EXPECT_TRUE(Oggdec(dir / "joined.ogg") == partsOfOurs);

    const CommandResult r = RunCommand(Quote(Cli()) + " --to wav --out " + Quote(dir / "out") +
                                       " " + Quote(dir / "joined.ogg") + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.output;
    const std::string out = dir / "out/joined.wav";
    EXPECT_TRUE(Contains(r.output, "OK " + (dir / "joined.ogg") + " -> " + out + "\n")) << r.output;
    EXPECT_TRUE(Ffmpeg16(out) == partsOfOurs);
}
