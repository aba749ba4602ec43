// quillmere-cli --to wav over MP3 files damaged in the middle: the frames the damage took come
// out as silence, the rest as mpg123 decodes the undamaged file and at its time, and the file is
// converted with a warning naming how long the silence is. Random bytes after a valid start end
// the conversion.
#include "tests/codecs/mp3/mp3_test_support.h"
#include "tests/support/bytes.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

using namespace mp3test;

namespace {

constexpr size_t kFrame = 1152;

// The largest difference of two stereo signals from sample frame `from` on.
int MaxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from) {
    int worst = 0;
    for (size_t i = from * 2; i < a.size() && i < b.size(); ++i)
        worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

// `bytes` seeded random bytes from offset `at` on.
std::vector<uint8_t> Garbage(std::vector<uint8_t> file, size_t at, size_t bytes, uint32_t seed) {
    std::mt19937 random(seed);
    for (size_t i = at; i < at + bytes && i < file.size(); ++i)
        file[i] = uint8_t(random());
    return file;
}

} // namespace

TEST(CliDamagedMp3, DamagedFramesBecomeSilenceAndTheRestKeepsItsTime) {
    for (const char* tool : {"lame", "sox", "mpg123"})
        if (!HaveTool(tool)) GTEST_SKIP() << "needs " << tool;
    TempDir dir;
    const std::string wav = dir / "music.wav";
    Tool("sox -R -n -r 44100 -c 2 -b 16 " + Quote(wav) + " synth 8 pluck C4 pluck G3 synth 8 " +
         "sine mix 60-6000 tremolo 4 30 vol 0.8");
    // With a LAME tag (gapless: audio frame k starts at sample k * 1152 - 1105, frame 0 of the
    // file being the tag), and without one (nothing trimmed, the length found by a scan).
    Tool("lame --quiet -b 128 " + Quote(wav) + " " + Quote(dir / "tagged.mp3"));
    Tool("lame --quiet -t -b 128 " + Quote(wav) + " " + Quote(dir / "untagged.mp3"));
    const struct {
        std::string name;
        size_t firstFrame; // of the file's frames, the first of the eight damaged
        size_t silence;    // where their audio starts
    } mended[] = {{"tagged", 101, 100 * kFrame - 1105}, {"untagged", 100, 100 * kFrame}};
    std::string args;
    for (const auto& file : mended) {
        const auto bytes = ReadFileBytes(dir / (file.name + ".mp3"));
        const auto frames = Frames(bytes);
        ASSERT_GT(frames.size(), 300u);
        const size_t at = frames[file.firstFrame].offset;
        WriteFileBytes(dir / (file.name + "8.mp3"),
                       Garbage(bytes, at, frames[file.firstFrame + 8].offset - at, 11));
        args += " " + Quote(dir / (file.name + "8.mp3"));
    }
    // Garbage across frame borders: random bytes form false frame headers, of other rates and
    // channel counts too. Audio frame k starts near byte 417 + 418 k.
    const auto tagged = ReadFileBytes(dir / "tagged.mp3");
    const size_t lengths[] = {1500, 6000, 3333, 900};
    size_t starts[4];
    for (size_t k = 0; k < 4; ++k) {
        starts[k] = tagged.size() * (20 + 20 * k) / 100;
        WriteFileBytes(dir / ("across" + std::to_string(k) + ".mp3"),
                       Garbage(tagged, starts[k], lengths[k], uint32_t(k)));
        args += " " + Quote(dir / ("across" + std::to_string(k) + ".mp3"));
    }
    auto noise = Slice(tagged, 0, 5 * 418);
    const auto random = Noise(200000, 3);
    noise.insert(noise.end(), random.begin(), random.end());
    WriteFileBytes(dir / "noise.mp3", noise);

    const CommandResult r =
        RunCli("--to wav --out " + Quote(dir / "out") + args + " " + Quote(dir / "noise.mp3"));
    const auto decoded = [&](const std::string& name) {
        return ReadWave(ReadFileBytes(dir / ("out/" + name + ".wav"))).samples;
    };
    for (const auto& file : mended) {
        SCOPED_TRACE(file.name);
        EXPECT_TRUE(Contains(r.output, "WARNING " + (dir / (file.name + "8.mp3")) + " -> " +
                                           (dir / ("out/" + file.name + "8.wav")) +
                                           " (0.2 s of damaged audio replaced by silence)\n"))
            << r.output;
        const auto truth = DecodeWithMpg123(dir / (file.name + ".mp3"), dir).samples;
        const auto out = decoded(file.name + "8");
        ASSERT_EQ(out.size(), truth.size()) << "the length is not the undamaged file's";
        const auto silence = out.begin() + std::ptrdiff_t(file.silence * 2);
        EXPECT_TRUE(std::equal(out.begin(), silence, truth.begin())) << "the audio before";
        EXPECT_TRUE(std::all_of(silence, silence + 8 * kFrame * 2, [](int s) { return s == 0; }))
            << "the damaged frames are not silence";
        // The first frames after the damage lack the bit reservoir the damage took.
        EXPECT_LE(MaxDifference(out, truth, file.silence + 12 * kFrame), 2)
            << "the audio after the damage is not the undamaged audio at its time";
    }
    const auto truth = DecodeWithMpg123(dir / "tagged.mp3", dir).samples;
    for (size_t k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        const auto out = decoded("across" + std::to_string(k));
        ASSERT_EQ(out.size(), truth.size());
        const size_t first = (starts[k] - 417) / 418 - 1, last = (starts[k] + lengths[k]) / 418;
        const auto before = out.begin() + std::ptrdiff_t((first * kFrame - 1105) * 2);
        EXPECT_TRUE(std::equal(out.begin(), before, truth.begin())) << "the audio before";
        EXPECT_LE(MaxDifference(out, truth, (last + 12) * kFrame), 2) << "the audio after";
    }
    size_t warned = 0;
    for (size_t at = 0;
         (at = r.output.find("of damaged audio replaced by silence)\n", at)) != std::string::npos;
         ++at)
        ++warned;
    EXPECT_EQ(warned, 6u) << r.output;
    // Random bytes after a valid start: a warning or a failure, never more than the start.
    EXPECT_TRUE(Contains(r.output, "WARNING " + (dir / "noise.mp3") + " -> ") ||
                Contains(r.output, "FAILED " + (dir / "noise.mp3") + ": "))
        << r.output;
    EXPECT_LE(decoded("noise").size(), 5 * kFrame * 2);
}

namespace {

constexpr std::string_view kSilenced = "of damaged audio replaced by silence)";
constexpr std::string_view kLonger = "(the source is longer than its header states: ";

// One run of `--to wav --delete-source`: each damaged file is converted with a warning that
// says why(name) and kept, each intact one converted OK and deleted.
void ExpectJudged(const TempDir& dir, const std::vector<std::string>& damaged,
                  const std::vector<std::string>& intact,
                  const std::function<std::string_view(const std::string&)>& why) {
    auto names = damaged;
    names.insert(names.end(), intact.begin(), intact.end());
    std::string args;
    for (const auto& name : names)
        args += " " + Quote(dir / name);
    const auto output =
        RunCli("--to wav --delete-source --out " + Quote(dir / "out") + args).output;
    const auto lines = Lines(output);
    for (size_t i = 0; i < names.size(); ++i) {
        const bool isDamaged = i < damaged.size();
        const std::string from = " " + (dir / names[i]) + " ";
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                                [&](const std::string& line) {
                                    return Contains(line, from) &&
                                           (isDamaged
                                                ? line.starts_with("WARNING ") &&
                                                      Contains(line, std::string(why(names[i])))
                                                : line.starts_with("OK "));
                                }))
            << names[i] << "\n"
            << output;
        EXPECT_EQ(std::filesystem::exists(dir / names[i]), isDamaged) << names[i];
    }
}

// Eight seconds of music encoded by lame as CBR and VBR, with and without the Info frame, and
// with an ID3v2 tag.
std::vector<std::string> EncodeMusic(const TempDir& dir) {
    Tool("sox -R -n -r 44100 -c 2 -b 16 " + Quote(dir / "music.wav") +
         " synth 8 pluck C4 pluck G3 synth 8 sine mix 60-6000 tremolo 4 30 vol 0.8");
    const std::string encodings[][2] = {{"cbr", "-b 128"},
                                        {"cbr_untagged", "-t -b 128"},
                                        {"vbr", "-V 2"},
                                        {"vbr_untagged", "-t -V 2"},
                                        {"id3", "-V 2 --tt Title --add-id3v2"}};
    std::vector<std::string> names;
    for (const auto& [name, options] : encodings) {
        Tool("lame --quiet " + options + " " + Quote(dir / "music.wav") + " " +
             Quote(dir / (name + ".mp3")));
        names.push_back(name);
    }
    return names;
}

// The bytes up to `to`, then those from `from` on once more.
std::vector<uint8_t> Repeated(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
    return Joined({Slice(bytes, 0, to), Slice(bytes, from, bytes.size() - from)});
}

size_t WaveFrames(const TempDir& dir, const std::string& name) {
    return ReadWave(ReadFileBytes(dir / ("out/" + name + ".wav"))).samples.size() / 2;
}

} // namespace

TEST(CliDamagedMp3, BytesRepeatedInTheMiddleAreDamage) {
    for (const char* tool : {"lame", "sox"})
        if (!HaveTool(tool)) GTEST_SKIP() << "needs " << tool;
    TempDir dir;
    std::vector<std::string> damaged, intact;
    for (const auto& name : EncodeMusic(dir)) {
        const auto bytes = ReadFileBytes(dir / (name + ".mp3"));
        // 8 KiB of the middle a second time, right after the first: the frame the copy cuts
        // short ends where no header is.
        for (const size_t percent : {30, 50, 71}) {
            const size_t at = bytes.size() * percent / 100;
            damaged.push_back(name + "_repeated" + std::to_string(percent) + ".mp3");
            WriteFileBytes(dir / damaged.back(), Repeated(bytes, at, at + 8192));
        }
        intact.push_back(name + ".mp3");
    }
    // Whole frames repeated: only the Info frame's count shows them.
    const auto bytes = ReadFileBytes(dir / "cbr.mp3");
    const auto frames = Frames(bytes);
    ASSERT_GT(frames.size(), 200u);
    WriteFileBytes(dir / "cbr_frames.mp3", Repeated(bytes, frames[150].offset, frames[170].offset));
    damaged.push_back("cbr_frames.mp3");

    // Where the Info frame states too little it says so.
    ExpectJudged(dir, damaged, intact, [](const std::string& name) {
        return name.find("untagged") == std::string::npos ? kLonger : kSilenced;
    });
    // Every frame still comes: the end is not cut off at the stated length.
    EXPECT_GE(WaveFrames(dir, "cbr_repeated50"), WaveFrames(dir, "cbr") + 19 * kFrame);
    EXPECT_EQ(WaveFrames(dir, "cbr_frames"), WaveFrames(dir, "cbr") + 20 * kFrame);
}

TEST(CliDamagedMp3, FramesLostAtTheStartAreDamageButPaddingIsNot) {
    for (const char* tool : {"lame", "sox", "mpg123"})
        if (!HaveTool(tool)) GTEST_SKIP() << "needs " << tool;
    TempDir dir;
    std::vector<std::string> damaged;
    for (const auto& name : EncodeMusic(dir)) {
        // The first 4 KiB zeroed: the tag, the Info frame and the first audio frames gone.
        auto zeroed = ReadFileBytes(dir / (name + ".mp3"));
        std::fill(zeroed.begin(), zeroed.begin() + 4096, 0);
        damaged.push_back(name + "_zeroed.mp3");
        WriteFileBytes(dir / damaged.back(), zeroed);
    }
    // Zeros exactly in place of the first frame: the next one reaches back into them.
    auto firstZeroed = ReadFileBytes(dir / "cbr_untagged.mp3");
    std::fill_n(firstZeroed.begin(), Frames(firstZeroed).at(0).length, 0);
    damaged.push_back("first_frame_zeroed.mp3");
    WriteFileBytes(dir / damaged.back(), firstZeroed);
    // Padding: inside an ID3v2 tag, and zeros before the first frame of a stream without a tag
    // and of one whose first frames the decoder skips as encoder delay (MPEG-2, 576 samples).
    Tool("lame --quiet -V 2 --tt T --add-id3v2 --pad-id3v2-size 6000 " + Quote(dir / "music.wav") +
         " " + Quote(dir / "padded_tag.mp3"));
    Tool("sox " + Quote(dir / "music.wav") + " -r 22050 " + Quote(dir / "music22.wav"));
    Tool("lame --quiet --abr 64 " + Quote(dir / "music22.wav") + " " + Quote(dir / "mpeg2.mp3"));
    for (const auto& name : {"cbr_untagged", "mpeg2"}) {
        auto bytes = ReadFileBytes(dir / (std::string(name) + ".mp3"));
        bytes.insert(bytes.begin(), 5000, 0);
        WriteFileBytes(dir / ("zeros_" + std::string(name) + ".mp3"), bytes);
    }
    const auto untagged = DecodeWithMpg123(dir / "cbr_untagged.mp3", dir).samples;
    const auto mpeg2 = DecodeWithMpg123(dir / "mpeg2.mp3", dir).samples;
    const auto paddedTag = DecodeWithMpg123(dir / "padded_tag.mp3", dir).samples;

    ExpectJudged(dir, damaged, {"padded_tag.mp3", "zeros_cbr_untagged.mp3", "zeros_mpeg2.mp3"},
                 [](const std::string&) { return kSilenced; });
    const auto decoded = [&](const std::string& name) {
        return ReadWave(ReadFileBytes(dir / ("out/" + name + ".wav"))).samples;
    };
    EXPECT_TRUE(decoded("zeros_cbr_untagged") == untagged);
    EXPECT_TRUE(decoded("zeros_mpeg2") == mpeg2);
    EXPECT_TRUE(decoded("padded_tag") == paddedTag);
    // Without an Info frame nothing is trimmed: the lost start is silence as long as the
    // frames the zeros took, and what follows keeps its time.
    const auto lostStart = decoded("cbr_untagged_zeroed");
    ASSERT_EQ(lostStart.size(), untagged.size());
    EXPECT_LE(MaxDifference(lostStart, untagged, 25 * kFrame), 2);
}
