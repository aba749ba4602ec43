// Damaged copies of valid files of every format we read, made at test time with fixed seeds
// (cut at many places, bits flipped, the header zeroed or filled with absurd sizes), converted
// with --delete-source: each ends OK, WARNING or FAILED, never a crash or hang; an OK output
// holds at least the audio FFmpeg finds in the same file and only then is the source gone; a
// WARNING or FAILED source is never touched.
#include "../../support/tools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct Format {
    std::string extension;
    std::string make; // shell command writing $OUT from $WAV
};

std::vector<Format> Formats() {
    const std::string cli = BinDir() + "/quillmere-cli";
    return {
        {".wav", "cp \"$WAV\" \"$OUT\""},
        {".flac", "flac -s -o \"$OUT\" \"$WAV\""},
        {".ogg", "oggenc -Q -o \"$OUT\" \"$WAV\""},
        {".mp3", "lame --quiet \"$WAV\" \"$OUT\""},
        {".wv", "wavpack -q -y \"$WAV\" -o \"$OUT\""},
        {".ape", "d=$(mktemp -d) && " + cli + " --to ape --out \"$d\" \"$WAV\" >/dev/null && mv " +
                     "\"$d\"/*.ape \"$OUT\" && rmdir \"$d\""},
        {".tta", "ffmpeg -v error -i \"$WAV\" -c:a tta -f tta \"$OUT\""},
        {".m4a", "ffmpeg -v error -i \"$WAV\" -c:a aac -b:a 128k \"$OUT\""},
        {".wma", "ffmpeg -v error -i \"$WAV\" -c:a wmav2 -b:a 128k \"$OUT\""},
    };
}

// Frames FFmpeg decodes from a file (16-bit stereo), or 0.
size_t FfmpegFrames(const std::string& path) {
    return RunCommand("ffmpeg -v quiet -i " + Quote(path) + " -f s16le -ac 2 - 2>/dev/null")
               .output.size() /
           4;
}

// The damaged copies of one valid file, by a name that tells the damage.
std::map<std::string, std::vector<uint8_t>> Damage(const std::vector<uint8_t>& file,
                                                   uint32_t seed) {
    std::map<std::string, std::vector<uint8_t>> copies;
    std::mt19937 random(seed);
    for (const int percent : {1, 7, 30, 61, 97}) {
        auto cut = file;
        cut.resize(file.size() * size_t(percent) / 100);
        copies["cut" + std::to_string(percent)] = cut;
    }
    for (int round = 0; round < 4; ++round) {
        auto flipped = file;
        for (int i = 0; i < 1 + round * 3; ++i)
            flipped[random() % flipped.size()] ^= uint8_t(1u << (random() % 8));
        copies["flip" + std::to_string(round)] = flipped;
    }
    auto zeroed = file;
    std::fill(zeroed.begin(), zeroed.begin() + std::min<size_t>(64, zeroed.size()), 0);
    copies["zeroed"] = zeroed;
    for (const size_t at : {4u, 8u, 16u, 24u, 40u}) {
        auto absurd = file;
        for (size_t i = at; i < at + 4 && i < absurd.size(); ++i)
            absurd[i] = 0xFF;
        copies["absurd" + std::to_string(at)] = absurd;
    }
    return copies;
}

} // namespace

TEST(DamagedFiles, EveryDamagedCopyEndsAsTheRuleSaysAndLosesNothing) {
    TempDir dir;
    const std::string wav = dir / "source.wav";
    ASSERT_EQ(RunCommand("sox -V1 -n -r 44100 -c 2 -b 16 " + Quote(wav) +
                         " synth 1.5 pluck C4 pluck E4 fade 0 1.5 0.2")
                  .status,
              0);
    fs::create_directory(dir / "in");
    std::map<std::string, size_t> oracle; // frames FFmpeg finds in each damaged copy
    std::vector<std::string> inputs;
    uint32_t seed = 1;
    for (const Format& format : Formats()) {
        const std::string valid = dir / ("valid" + format.extension);
        const auto made = RunCommand("export WAV=" + Quote(wav) + " OUT=" + Quote(valid) + "; " +
                                     format.make + " 2>&1");
        ASSERT_EQ(made.status, 0) << format.make << "\n" << made.output;
        for (const auto& [damage, bytes] : Damage(ReadFileBytes(valid), seed++)) {
            const std::string path = dir / ("in/" + damage + format.extension);
            WriteFileBytes(path, bytes);
            oracle[path] = FfmpegFrames(path);
            inputs.push_back(path);
        }
    }
    std::map<std::string, std::vector<uint8_t>> before;
    std::string args;
    for (const std::string& input : inputs) {
        before[input] = ReadFileBytes(input);
        args += " " + Quote(input);
    }

    // No file, however broken, may crash or hang the converter: a bounded run.
    // Result lines only: the codec libraries may write notes of their own on stderr.
    const auto r = RunCommand("timeout 1700 " + BinDir() +
                              "/quillmere-cli --to wav --delete-source --jobs 2 --out " +
                              Quote(dir / "out") + args + " 2>/dev/null");
    ASSERT_TRUE(r.status == 0 || r.status == 1) << "status " << r.status << "\n" << r.output;

    std::istringstream lines(r.output);
    std::string line;
    size_t judged = 0;
    while (std::getline(lines, line)) {
        const bool ok = line.rfind("OK ", 0) == 0;
        const bool warned = line.rfind("WARNING ", 0) == 0;
        const bool failed = line.rfind("FAILED ", 0) == 0;
        if (!ok && !warned && !failed) continue;
        const size_t start = line.find(' ') + 1;
        const size_t arrow = line.find(" -> ");
        const std::string source = failed ? line.substr(start, line.find(": ", start) - start)
                                          : line.substr(start, arrow - start);
        ASSERT_TRUE(before.count(source)) << line;
        ++judged;
        if (ok) {
            const std::string output =
                line.substr(arrow + 4, line.find(' ', arrow + 4) - arrow - 4);
            const size_t frames = FfmpegFrames(output);
            EXPECT_GT(frames, 0u) << "an empty output passed as converted: " << line;
            // Never less than FFmpeg finds in the same file (a few frames of decoder delay
            // aside).
            EXPECT_GE(frames + 2048, oracle[source]) << line;
            EXPECT_FALSE(fs::exists(source)) << "converted, yet the source stayed: " << line;
        } else {
            EXPECT_EQ(ReadFileBytes(source), before[source]) << "source touched: " << line;
            if (failed) {
                EXPECT_EQ(line.find("(the output"), std::string::npos) << line;
            }
        }
    }
    EXPECT_EQ(judged, inputs.size()) << r.output;
    // Nothing but finished outputs is left in the output folder.
    for (const auto& entry : fs::directory_iterator(dir / "out"))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}
