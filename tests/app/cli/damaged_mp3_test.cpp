// quillmere-cli --to wav over MP3 files damaged in the middle: the frames the damage took come
// out as silence, the rest as mpg123 decodes the undamaged file and at its time, and the file is
// converted with a warning naming how long the silence is (under --strict it fails). A copy cut
// short still ends early, and random bytes after a valid start end the conversion.
#include "tests/codecs/mp3/mp3_test_support.h"
#include "tests/support/bytes.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace fs = std::filesystem;
using namespace mp3test;

namespace {

constexpr size_t kFrame = 1152;
// LAME's encoder delay and the decoder's, which mpg123 trims from the start.
constexpr size_t kDelay = 576 + 529;

// Where audio frame `frame` begins in the decoded samples (frames[0] is the Info frame).
size_t StartOf(size_t frame) {
    return frame * kFrame - kDelay;
}

// The audio frame holding byte `at` of the file.
size_t FrameAt(const std::vector<FrameHeader>& frames, size_t at) {
    size_t frame = 0;
    while (frame + 1 < frames.size() && frames[frame + 1].offset <= at)
        ++frame;
    return frame == 0 ? 0 : frame - 1;
}

// The largest difference of two stereo signals over sample frames [from, to).
int MaxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from,
                  size_t to) {
    int worst = 0;
    for (size_t i = from * 2; i < to * 2 && i < a.size() && i < b.size(); ++i)
        worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

// Eight frames of seeded garbage from frame `first` of frames on.
std::vector<uint8_t> EightFramesOfGarbage(std::vector<uint8_t> file,
                                          const std::vector<FrameHeader>& frames, size_t first) {
    std::mt19937 random(11);
    for (size_t i = frames[first].offset; i < frames[first + 8].offset; ++i)
        file[i] = uint8_t(random());
    return file;
}

// A copy with eight frames of garbage, mended: the whole length, the true audio before them,
// silence in their place, and the true audio at its time after them (but for the first frames,
// which lack the bit reservoir the damage took).
void ExpectMended(const std::vector<int16_t>& out, const std::vector<int16_t>& truth,
                  size_t silence) {
    ASSERT_EQ(out.size(), truth.size()) << "the length is not the undamaged file's";
    const size_t after = silence + 8 * kFrame;
    EXPECT_EQ(MaxDifference(out, truth, 0, silence), 0) << "the audio before the damage";
    EXPECT_TRUE(std::all_of(out.begin() + std::ptrdiff_t(silence * 2),
                            out.begin() + std::ptrdiff_t(after * 2),
                            [](int16_t s) { return s == 0; }))
        << "the damaged frames are not silence";
    EXPECT_LE(MaxDifference(out, truth, after + 4 * kFrame, truth.size() / 2), 2)
        << "the audio after the damage is not the undamaged audio at its time";
}

// The result line of a file.
std::string LineOf(const std::string& output, const std::string& start) {
    for (const std::string& line : Lines(output))
        if (line.rfind(start, 0) == 0) return line;
    return {};
}

} // namespace

TEST(CliDamagedMp3, DamagedFramesBecomeSilenceAndTheRestKeepsItsTime) {
    for (const char* tool : {"lame", "sox", "mpg123"})
        if (!HaveTool(tool)) GTEST_SKIP() << "needs " << tool;
    TempDir dir;
    const std::string wav = dir / "music.wav";
    Tool("sox -R -n -r 44100 -c 2 -b 16 " + Quote(wav) + " synth 8 pluck C4 pluck G3 synth 8 " +
         "sine mix 60-6000 tremolo 4 30 vol 0.8");
    Tool("lame --quiet -b 128 " + Quote(wav) + " " + Quote(dir / "whole.mp3"));
    const std::vector<uint8_t> whole = ReadFileBytes(dir / "whole.mp3");
    const std::vector<FrameHeader> frames = Frames(whole);
    ASSERT_TRUE(HasXingTag(whole));
    ASSERT_GT(frames.size(), 300u);
    const std::vector<int16_t> truth = DecodeWithMpg123(dir / "whole.mp3", dir).samples;
    const size_t length = truth.size() / 2;
    ASSERT_GT(length, 0u);

    // Eight whole frames of garbage: 8 * 1152 samples, 0.2 s; also in a file without a LAME tag,
    // whose length only a scan finds.
    WriteFileBytes(dir / "aligned.mp3", EightFramesOfGarbage(whole, frames, 101));
    Tool("lame --quiet -t -b 128 " + Quote(wav) + " " + Quote(dir / "untagged.mp3"));
    const std::vector<uint8_t> untagged = ReadFileBytes(dir / "untagged.mp3");
    ASSERT_FALSE(HasXingTag(untagged));
    WriteFileBytes(dir / "untagged_aligned.mp3",
                   EightFramesOfGarbage(untagged, Frames(untagged), 100));
    const std::vector<int16_t> untaggedTruth = DecodeWithMpg123(dir / "untagged.mp3", dir).samples;
    std::mt19937 random(12);
    // Garbage across frame borders elsewhere: random bytes form false frame headers, of other
    // rates and channel counts too.
    std::vector<std::pair<size_t, size_t>> stretches;
    for (size_t k = 0; k < 4; ++k) {
        const size_t at = whole.size() * (15 + 20 * k) / 100 + random() % 400;
        const size_t bytes = 1000 + random() % 6000;
        auto damaged = whole;
        for (size_t i = at; i < at + bytes; ++i)
            damaged[i] = uint8_t(random());
        WriteFileBytes(dir / ("across" + std::to_string(k) + ".mp3"), damaged);
        stretches.emplace_back(FrameAt(frames, at), FrameAt(frames, at + bytes));
    }
    WriteFileBytes(dir / "cut.mp3", Slice(whole, 0, whole.size() * 6 / 10));
    auto noise = Slice(whole, 0, frames[5].offset);
    const auto bytes = Noise(200000, 3);
    noise.insert(noise.end(), bytes.begin(), bytes.end());
    WriteFileBytes(dir / "noise.mp3", noise);

    std::string args;
    for (const char* name : {"aligned", "untagged_aligned", "across0", "across1", "across2",
                             "across3", "cut", "noise"})
        args += " " + Quote(dir / (std::string(name) + ".mp3"));
    const CommandResult r = RunCli("--to wav --out " + Quote(dir / "out") + args);
    const auto line = [&](const std::string& name) {
        return (dir / (name + ".mp3")) + " -> " + (dir / ("out/" + name + ".wav"));
    };
    const auto output = [&](const std::string& name) {
        return ReadWave(ReadFileBytes(dir / ("out/" + name + ".wav"))).samples;
    };

    for (const std::string name : {"aligned", "untagged_aligned"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Contains(r.output, "WARNING " + line(name) +
                                           " (0.2 s of damaged audio replaced by silence)\n"))
            << r.output;
    }
    ExpectMended(output("aligned"), truth, StartOf(100));
    // Without the tag nothing is trimmed: audio frame 100 starts at sample 100 * 1152.
    ExpectMended(output("untagged_aligned"), untaggedTruth, 100 * kFrame);

    for (size_t k = 0; k < stretches.size(); ++k) {
        const std::string name = "across" + std::to_string(k);
        SCOPED_TRACE(name);
        const std::string result = LineOf(r.output, "WARNING " + line(name) + " (");
        EXPECT_TRUE(result.ends_with(" s of damaged audio replaced by silence)")) << r.output;
        const std::vector<int16_t> out = output(name);
        ASSERT_EQ(out.size(), truth.size());
        const auto [first, last] = stretches[k];
        EXPECT_EQ(MaxDifference(out, truth, 0, StartOf(first)), 0);
        EXPECT_LE(MaxDifference(out, truth, StartOf(last + 12), length), 2);
    }

    EXPECT_TRUE(Contains(r.output, "WARNING " + line("cut") + " (the source ends early: 0:04 of " +
                                       "0:08)\n"))
        << r.output;
    // Random bytes after a valid start: a warning or a failure, never more than the start.
    EXPECT_TRUE(Contains(r.output, "WARNING " + line("noise")) ||
                Contains(r.output, "FAILED " + (dir / "noise.mp3")))
        << r.output;
    if (fs::exists(dir / "out/noise.wav")) {
        EXPECT_LE(output("noise").size(), 5 * kFrame * 2);
    }

    const CommandResult strict = RunCli("--to wav --strict --out " + Quote(dir / "strict") + " " +
                                        Quote(dir / "aligned.mp3"));
    EXPECT_EQ(strict.status, 1) << strict.output;
    EXPECT_TRUE(Contains(strict.output, "FAILED " + (dir / "aligned.mp3") +
                                            ": 0.2 s of damaged audio replaced by silence"))
        << strict.output;
    EXPECT_FALSE(fs::exists(dir / "strict/aligned.wav"));
}
