// Windows Media through quillmere-cli, judged by ffprobe and ffmpeg: WAV to WMA at the slider's
// rates and lossless level, tags from FLAC (each written once), inputs the encoder cannot take as
// they are (up to 1411.2 kHz), files made by ffmpeg (WMA 1 and 2, with video, MP3 in ASF) and the
// shared samples decoding as FFmpeg decodes them, protected content, and a disk that fills up half
// way.
#include "wm_test_support.h"

#include "platform/wmvcore/asf_header.h"

#include <algorithm>
#include <filesystem>
#include <map>

using namespace wmtest;
namespace fs = std::filesystem;

namespace {

class WmCli : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTools()) GTEST_SKIP() << "needs sox, ffmpeg and ffprobe";
    }
    TempDir dir_;
};

std::vector<int16_t> Decode16(const std::string& path) {
    return Samples16(FfmpegPcm(path, 16));
}

// Our decoding: the CLI's WAV of the file, as raw samples.
std::vector<int16_t> OurDecode(const std::string& wav) {
    return Samples16(FfmpegPcm(wav, 16));
}

} // namespace

TEST_F(WmCli, WavToWmaAtLevelsGivesTheirBitRatesAtTheInputsRate) {
    const std::string wav = dir_ / "song.wav";
    MakeWav(wav, 2, 16, 44100, 2.5);
    const auto source = Decode16(wav);
    const struct {
        int level;
        int64_t minRate, maxRate;
        double correlation;
    } levels[] = {{1, 80000, 80000, 0.97},
                  {5, 144000, 144000, 0.99},
                  {9, 320000, 320000, 0.995},
                  {10, 320001, 1000000, 0.995}};
    for (const auto& l : levels) {
        SCOPED_TRACE("level " + std::to_string(l.level));
        const std::string out = dir_ / ("l" + std::to_string(l.level));
        fs::create_directories(out);
        const auto run = RunCli("--to wma --level " + std::to_string(l.level) + " --out " +
                                Quote(out) + " " + Quote(wav));
        ASSERT_EQ(run.status, 0) << run.output;
        const std::string wma = out + "/song.wma";
        const auto lines = Lines(Probe(wma, "stream=codec_name,sample_rate,channels,bit_rate"));
        EXPECT_NE(std::find(lines.begin(), lines.end(), "codec_name=wmav2"), lines.end());
        EXPECT_NE(std::find(lines.begin(), lines.end(), "sample_rate=44100"), lines.end());
        EXPECT_NE(std::find(lines.begin(), lines.end(), "channels=2"), lines.end());
        int64_t rate = 0;
        for (const auto& line : lines)
            if (line.rfind("bit_rate=", 0) == 0) rate = std::stoll(line.substr(9));
        EXPECT_GE(rate, l.minRate);
        EXPECT_LE(rate, l.maxRate);
        const auto decoded = Decode16(wma);
        // Every sample of the source, from its first: at most two frames (2048 samples each)
        // of the codec's padding after it.
        EXPECT_GE(decoded.size(), source.size());
        EXPECT_LE(decoded.size() / 2, source.size() / 2 + 2 * 2048);
        const Match m = BestMatch(Channel(source, 2), Channel(decoded, 2), 2100);
        EXPECT_EQ(m.lag, 0);
        EXPECT_GE(m.correlation, l.correlation) << "lag " << m.lag;
        const Match right = BestMatch(Channel(source, 2, 1), Channel(decoded, 2, 1), 2100);
        EXPECT_EQ(right.lag, m.lag);
        EXPECT_GE(right.correlation, l.correlation);
    }
}

TEST_F(WmCli, FlacToWmaKeepsTagsAsFfprobeListsThem) {
    if (!HaveTool("flac")) GTEST_SKIP() << "needs flac";
    const std::string wav = dir_ / "in.wav";
    MakeWav(wav, 2, 16, 48000, 1.0);
    const std::string title = "Ωμέγα — 日本語のタイトル";
    ASSERT_EQ(RunCommand("flac -s -o " + Quote(dir_ / "song.flac") + " -T " +
                         Quote("TITLE=" + title) +
                         " -T ARTIST=Björk -T ALBUM=Альбом -T GENRE=Jazz -T DATE=1999 "
                         "-T TRACKNUMBER=7 " +
                         Quote(wav))
                  .status,
              0);
    const auto run =
        RunCli("--to wma --out " + Quote(dir_.Path().string()) + " " + Quote(dir_ / "song.flac"));
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string wma = dir_ / "song.wma";
    const auto tags = Lines(
        RunCommand("ffprobe -v error -show_entries format_tags -of default=nw=1 " + Quote(wma))
            .output);
    for (const std::string& expected :
         {"TAG:title=" + title, std::string("TAG:artist=Björk"), std::string("TAG:album=Альбом"),
          std::string("TAG:genre=Jazz"), std::string("TAG:WM/Year=1999"),
          std::string("TAG:track=7"), std::string("TAG:WM/Track=6")})
        EXPECT_NE(std::find(tags.begin(), tags.end(), expected), tags.end()) << expected;
    EXPECT_EQ(Probe(wma, "stream=sample_rate"), "sample_rate=48000\n");
    // Each text once: FFmpeg's muxer repeats the content description in the extended one.
    const auto header = wmvcore::ParseAsfHeader(ReadFileBytes(wma));
    ASSERT_TRUE(header);
    std::map<std::u16string, int> names;
    for (const auto& attribute : header->attributes) {
        std::u16string name = attribute.name;
        for (char16_t& c : name)
            c = c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
        ++names[name];
    }
    EXPECT_EQ(names[u"title"], 1);
    EXPECT_EQ(names[u"author"], 1);
    for (const auto& [name, count] : names)
        EXPECT_EQ(count, 1) << std::string(name.begin(), name.end());

    const auto info = RunCli("--info " + Quote(wma));
    for (const std::string& expected :
         {"title: " + title, std::string("artist: Björk"), std::string("album: Альбом"),
          std::string("genre: Jazz"), std::string("year: 1999"), std::string("track: 7")})
        EXPECT_TRUE(Contains(info.output, expected + "\n")) << expected << "\n" << info.output;
}

TEST_F(WmCli, InputsTheEncoderCannotTakeAsTheyAreAreConverted) {
    const struct {
        int channels, bits, rate;
        int outChannels, outRate;
    } inputs[] = {{6, 24, 96000, 2, 48000},
                  {1, 8, 22050, 1, 22050},
                  {2, 32, 44100, 2, 44100},
                  // DSD256 decoded to PCM: beyond the writer's own rate converter.
                  {2, 24, 1411200, 2, 48000}};
    for (const auto& in : inputs) {
        const std::string name = std::to_string(in.channels) + "ch" + std::to_string(in.bits) +
                                 "b" + std::to_string(in.rate);
        SCOPED_TRACE(name);
        const std::string wav = dir_ / (name + ".wav");
        MakeWav(wav, in.channels, in.bits, in.rate, 1.5);
        const auto run =
            RunCli("--to wma --level 5 --out " + Quote(dir_.Path().string()) + " " + Quote(wav));
        ASSERT_EQ(run.status, 0) << run.output;
        const std::string wma = dir_ / (name + ".wma");
        EXPECT_EQ(Probe(wma, "stream=channels,sample_rate"),
                  "sample_rate=" + std::to_string(in.outRate) +
                      "\nchannels=" + std::to_string(in.outChannels) + "\n");
        // The same music: the first channel against sox's own conversion of the input.
        const auto reference = Samples16([&] {
            const auto r = RunCommand("sox " + Quote(wav) + " -t raw -b 16 -e signed -r " +
                                      std::to_string(in.outRate) + " - remix 1 2>/dev/null");
            return std::vector<uint8_t>(r.output.begin(), r.output.end());
        }());
        const auto decoded = Channel(Decode16(wma), in.outChannels);
        EXPECT_GE(decoded.size(), reference.size());
        EXPECT_LE(decoded.size(), reference.size() + 2 * 2048);
        // Folding to stereo mixes the centre into the left: the match is looser then.
        EXPECT_GE(BestMatch(reference, decoded, 2100).correlation, in.channels > 2 ? 0.6 : 0.97);
    }
}

TEST_F(WmCli, FilesMadeByFfmpegDecodeAsFfmpegDecodesThem) {
    const std::string wav = dir_ / "src.wav";
    MakeWav(wav, 2, 16, 48000, 2.0);
    const struct {
        std::string name, args;
    } files[] = {
        {"v1mono22.wma", "-ac 1 -ar 22050 -c:a wmav1 -b:a 48k"},
        {"v2stereo44.wma", "-ar 44100 -c:a wmav2 -b:a 128k"},
        {"v2mono48.wma", "-ac 1 -c:a wmav2 -b:a 64k"},
        {"v2stereo32.wma", "-ar 32000 -c:a wmav2 -b:a 96k"},
        {"video.wmv", "-f lavfi -i testsrc=size=160x120:rate=10:duration=2 -c:v wmv2 -ar 44100 "
                      "-c:a wmav2 -b:a 128k -shortest"},
        {"mp3.wma", "-ar 44100 -c:a libmp3lame -b:a 128k -f asf"},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string made = dir_ / f.name;
        ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -y -i " + Quote(wav) + " " + f.args + " " +
                             Quote(made))
                      .status,
                  0);
        const std::string out = dir_ / (f.name + ".d");
        fs::create_directories(out);
        const auto run = RunCli("--to wav --out " + Quote(out) + " " + Quote(made));
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_TRUE(Contains(run.output, "OK ")) << run.output; // no warning either
        const std::string stem = fs::path(f.name).stem().string();
        const auto ours = OurDecode(out + "/" + stem + ".wav");
        const auto theirs = Decode16(made);
        const int channels = f.name.find("mono") != std::string::npos ? 1 : 2;
        // Same length within a packet (FFmpeg's own tool may drop or pad a partial one).
        EXPECT_LE(std::llabs(int64_t(ours.size()) - int64_t(theirs.size())) / channels, 2048);
        const size_t n = std::min(ours.size(), theirs.size());
        EXPECT_LE(Rms({ours.begin(), ours.begin() + n}, {theirs.begin(), theirs.begin() + n}), 2.0);
    }
}

TEST_F(WmCli, SharedSamplesDecodeOrStopWhereFfmpegStopsAndShowTheirTags) {
    if (!fs::exists(SamplesDir("wma") / "mutagen__silence-3.wma"))
        GTEST_SKIP() << "no samples at " << SamplesDir("wma");
    const fs::path samples = fs::canonical(SamplesDir("wma"));
    const std::string out = dir_ / "out";
    fs::create_directories(out);
    const auto run = RunCli(
        "--to wav --out " + Quote(out) + " " + Quote(samples / "mutagen__silence-3.wma") + " " +
        Quote(samples / "picard__test.wma") + " " + Quote(samples / "atldotnet__wma.wma"));
    ASSERT_EQ(run.status, 0) << run.output;
    // Lossless: every sample as FFmpeg decodes it.
    EXPECT_EQ(FfmpegPcm(out + "/mutagen__silence-3.wav", 16),
              FfmpegPcm(samples / "mutagen__silence-3.wma", 16));
    EXPECT_EQ(FfmpegPcm(out + "/picard__test.wav", 16),
              FfmpegPcm(samples / "picard__test.wma", 16));
    // The voice file uses a mode FFmpeg cannot decode half way through: what it decodes is kept,
    // and the file is reported as ending early.
    EXPECT_EQ(FfmpegPcm(out + "/atldotnet__wma.wav", 16),
              FfmpegPcm(samples / "atldotnet__wma.wma", 16));
    EXPECT_TRUE(Contains(run.output, "WARNING " + (samples / "atldotnet__wma.wma").string()))
        << run.output;
    EXPECT_TRUE(Contains(run.output, "OK " + (samples / "mutagen__silence-3.wma").string()));
    // The lossless file cut short: its packets of silence hold most of a second each, which
    // is no codec framing to forgive.
    const auto lossless = ReadFileBytes(samples / "mutagen__silence-3.wma");
    WriteFileBytes(dir_ / "cut.wma",
                   {lossless.begin(), lossless.begin() + lossless.size() * 3 / 10});
    const auto cut = RunCli("--to wav --out " + Quote(out) + " " + Quote(dir_ / "cut.wma"));
    EXPECT_TRUE(Contains(cut.output, "WARNING " + (dir_ / "cut.wma") + " -> " + out +
                                         "/cut.wav (the source ends early: 0:01 of 0:03)"))
        << cut.output;

    const auto info = RunCli("--info " + Quote(samples / "atldotnet__wma.wma") + " " +
                             Quote(samples / "mutagen__silence-3.wma"));
    for (const char* expected :
         {"title: aa父bb\n", "artist: ֎FATHER֎\n", "album: Papa֍rules\n", "genre: House\n",
          "year: 1997\n", "track: 01/02\n", "title: test\n", "sample rate: 8000\n"})
        EXPECT_TRUE(Contains(info.output, expected)) << expected << info.output;
}

TEST_F(WmCli, ProtectedContentAndAFullDiskFailWithoutOutput) {
    const std::string wav = dir_ / "src.wav";
    MakeWav(wav, 2, 16, 44100, 3.0);
    const std::string plain = dir_ / "plain.wma";
    ASSERT_EQ(
        RunCommand("ffmpeg -nostdin -v error -i " + Quote(wav) + " -c:a wmav2 " + Quote(plain))
            .status,
        0);
    // A content encryption object (protection type "DRM") put into the header.
    std::vector<uint8_t> bytes = ReadFileBytes(plain);
    const std::vector<uint8_t> object = {
        0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11, 0xB4, 0xB7, 0x00, 0xC0, 0x4F, 0xB6, 0xDB,
        0x6B, 44,   0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    4,    0,
        0,    0,    'D',  'R',  'M',  0,    0,    0,    0,    0,    0,    0,    0,    0};
    ASSERT_EQ(object.size(), 44u);
    uint64_t headerSize = 0;
    std::memcpy(&headerSize, bytes.data() + 16, 8);
    headerSize += object.size();
    std::memcpy(bytes.data() + 16, &headerSize, 8);
    bytes[24] += 1; // objects in the header
    bytes.insert(bytes.begin() + 30, object.begin(), object.end());
    const std::string locked = dir_ / "locked.wma";
    WriteFileBytes(locked, bytes);
    const std::string out = dir_ / "out";
    fs::create_directories(out);
    auto run = RunCli("--to wav --out " + Quote(out) + " " + Quote(locked));
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(Contains(run.output, "File is protected")) << run.output;
    EXPECT_TRUE(fs::is_empty(out));

    // 64 KiB of file at most: the sink's writes fail on its own thread.
    run = RunCommand("ulimit -f 128; trap '' XFSZ; " + Quote(Cli()) + " --to wma --level 9 --out " +
                     Quote(out) + " " + Quote(wav) + " 2>&1");
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(Contains(run.output, "Windows Media output error")) << run.output;
    EXPECT_TRUE(fs::is_empty(out));
}

// 8 KiB of the file copied again at several places: the packets go back in time, which is
// damage, never audio repeated or cut by a few milliseconds under "OK".
TEST_F(WmCli, AStretchCopiedTwiceIsDamage) {
    const std::string wav = dir_ / "in.wav";
    MakeWav(wav, 2, 16, 44100, 10.0);
    Tool("ffmpeg -v error -i " + Quote(wav) + " -c:a wmav2 -b:a 128k " + Quote(dir_ / "w.wma"));
    const auto whole = ReadFileBytes(dir_ / "w.wma");
    std::string args;
    for (const int percent : {30, 45, 55}) {
        const size_t at = whole.size() * size_t(percent) / 100;
        std::vector<uint8_t> copy(whole.begin(), whole.begin() + at);
        copy.insert(copy.end(), whole.begin() + (at - 8192), whole.end());
        const std::string name = dir_ / ("dup" + std::to_string(percent) + ".wma");
        WriteFileBytes(name, copy);
        args += " " + Quote(name);
    }
    const auto run = RunCli("--to wav --delete-source --out " + Quote(dir_ / "out") + args);
    EXPECT_TRUE(Contains(run.output, "0 converted, 0 skipped, 3 failed")) << run.output;
    for (const int percent : {30, 45, 55})
        EXPECT_TRUE(fs::exists(dir_ / ("dup" + std::to_string(percent) + ".wma")));
}
