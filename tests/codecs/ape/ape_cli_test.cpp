// Monkey's Audio through quillmere-cli: tags kept from FLAC to APE and back (ffprobe judging the
// items we write), sample files' tags in --info, and failures (refused formats, a write that
// fails half way) that leave no output behind (damaged sources: tests/codecs/damage).
#include "ape_test_support.h"

#include <filesystem>

using namespace apetest;
namespace fs = std::filesystem;

namespace {

size_t CodePoints(const std::string& utf8) {
    return size_t(std::count_if(utf8.begin(), utf8.end(),
                                [](char c) { return (uint8_t(c) & 0xC0) != 0x80; }));
}

std::string RawOf(const std::string& path) {
    return RunCommand("sox " + Quote(path) + " -t raw - 2>/dev/null").output;
}

void MakeMusicWav(const std::string& path, int channels, int bits, double seconds) {
    const std::string notes = "pluck C4 pluck G3 pluck E4";
    ASSERT_EQ(RunCommand("sox -R -n -r 44100 -c " + std::to_string(channels) + " -b " +
                         std::to_string(bits) + " " + Quote(path) + " synth " +
                         std::to_string(seconds) + " " + notes + " vol 0.8 2>&1")
                  .status,
              0);
}

class ApeCli : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTools() || !HaveTool("flac") || !HaveTool("metaflac"))
            GTEST_SKIP() << "needs sox, ffmpeg and flac";
    }
    TempDir dir_;
};

} // namespace

TEST_F(ApeCli, FlacToApeToFlacKeepsTagsAndEverySample) {
    const std::string title =
        "Ωμέγα — 日本語のタイトル: a sixty-character title for this one test!";
    ASSERT_EQ(CodePoints(title), 60u);
    const std::string wav = dir_ / "song.wav";
    MakeMusicWav(wav, 2, 16, 1.5);
    ASSERT_EQ(RunCommand("flac -s -o " + Quote(dir_ / "song.flac") + " -T " +
                         Quote("TITLE=" + title) + " -T ARTIST=Björk -T ALBUM=Альбом -T " +
                         "GENRE=Jazz -T DATE=1999 -T TRACKNUMBER=7 " + Quote(wav))
                  .status,
              0);
    fs::create_directories(dir_ / "ape");
    const auto toApe = RunCli("--to ape --level 10 --out " + Quote(dir_ / "ape") + " " +
                              Quote(dir_ / "song.flac"));
    ASSERT_EQ(toApe.status, 0) << toApe.output;
    const std::string ape = dir_ / "ape/song.ape";
    const std::vector<std::string> items = Lines(
        RunCommand("ffprobe -v error -show_entries format_tags -of default=nw=1 " + Quote(ape))
            .output);
    for (const std::string& expected :
         {"TAG:Title=" + title, std::string("TAG:Artist=Björk"), std::string("TAG:Album=Альбом"),
          std::string("TAG:Genre=Jazz"), std::string("TAG:Year=1999"), std::string("TAG:Track=7")})
        EXPECT_NE(std::find(items.begin(), items.end(), expected), items.end()) << expected;
    EXPECT_EQ(RawOf(wav), std::string(reinterpret_cast<const char*>(FfmpegDecode(ape, 16).data()),
                                      FfmpegDecode(ape, 16).size()));

    const auto info = RunCli("--info " + Quote(ape));
    EXPECT_NE(info.output.find("title: " + title + "\n"), std::string::npos) << info.output;

    fs::create_directories(dir_ / "back");
    const auto back = RunCli("--to flac --out " + Quote(dir_ / "back") + " " + Quote(ape));
    ASSERT_EQ(back.status, 0) << back.output;
    const std::string flac = dir_ / "back/song.flac";
    const std::vector<std::string> comments =
        Lines(RunCommand("metaflac --export-tags-to=- " + Quote(flac)).output);
    for (const std::string& expected :
         {"title=" + title, std::string("artist=Björk"), std::string("album=Альбом"),
          std::string("genre=Jazz"), std::string("date=1999"), std::string("tracknumber=7")}) {
        const bool found = std::any_of(comments.begin(), comments.end(), [&](const auto& line) {
            return line.size() == expected.size() &&
                   std::equal(line.begin(), line.begin() + long(line.find('=')), expected.begin(),
                              [](char a, char b) { return std::tolower(a) == std::tolower(b); }) &&
                   line.substr(line.find('=')) == expected.substr(expected.find('='));
        });
        EXPECT_TRUE(found) << expected;
    }
    EXPECT_EQ(RawOf(flac), RawOf(wav));
}

TEST_F(ApeCli, InputsTheLibraryRefusesFailAndLeaveNoFile) {
    MakeMusicWav(dir_ / "three.wav", 3, 16, 0.3);
    MakeMusicWav(dir_ / "wide.wav", 2, 32, 0.3);
    const auto r = RunCli("--to ape " + Quote(dir_ / "three.wav") + " " + Quote(dir_ / "wide.wav"));
    EXPECT_EQ(r.status, 1) << r.output;
    // The library's two-line message is one result line.
    for (const auto& [name, why] : {std::pair{"three.wav", "unsupported channel count"},
                                    std::pair{"wide.wav", "unsupported bit depth"}})
        EXPECT_NE(r.output.find("FAILED " + (dir_ / name) +
                                ": Error starting APECompress: input file " + why + "\n"),
                  std::string::npos)
            << r.output;
    EXPECT_NE(r.output.find("0 converted, 0 skipped, 2 failed"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "three.ape"));
    EXPECT_FALSE(fs::exists(dir_ / "wide.ape"));
}

TEST_F(ApeCli, AWriteThatFailsHalfWayLeavesNoOutput) {
    MakeMusicWav(dir_ / "long.wav", 2, 16, 6.0);
    // The file-size limit makes the library's writes fail part of the way through, as a full
    // disk would; with the signal ignored the write returns an error instead of ending us.
    const auto r = RunCommand("bash -c " +
                              Quote("trap '' XFSZ; ulimit -f 64; exec " + Cli() + " --to ape " +
                                    Quote(dir_ / "long.wav")) +
                              " 2>&1");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("FAILED"), std::string::npos) << r.output;
    EXPECT_TRUE(r.output.find("APECompress.UnlockBuffer Error: 1001") != std::string::npos ||
                r.output.find("APECompress.Finish Error: I/O write error") != std::string::npos)
        << r.output;
    EXPECT_FALSE(fs::exists(dir_ / "long.ape"));
    EXPECT_TRUE(fs::exists(dir_ / "long.wav"));
}

TEST(ApeCliSamples, InfoShowsTheTagsOfRealFilesAndRefusesOldVersions) {
    const std::string folder = SamplesDir("ape").string();
    if (!fs::exists(folder)) GTEST_SKIP() << "no sample folder at " << folder;
    const auto tagged = RunCli("--info " + Quote(folder + "/mediafile__full.ape"));
    EXPECT_EQ(tagged.status, 0) << tagged.output;
    for (const char* line :
         {"descriptor: APE\n", "channels: 1\n", "total samples: 44100\n", "title: full\n",
          "artist: the artist\n", "album: the album\n", "genre: the genre\n", "year: 2001\n"})
        EXPECT_NE(tagged.output.find(line), std::string::npos) << line << tagged.output;
    const auto v394 = RunCli("--info " + Quote(folder + "/atldotnet__v394.ape"));
    EXPECT_EQ(v394.status, 0) << v394.output;
    for (const char* line : {"channels: 2\n", "total samples: 337180\n"})
        EXPECT_NE(v394.output.find(line), std::string::npos) << line << v394.output;
    // The same file marked as version 3799, which we do not read.
    std::vector<uint8_t> bytes = ReadFileBytes(folder + "/atldotnet__v394.ape");
    bytes[4] = 3799 & 0xFF;
    bytes[5] = 3799 >> 8;
    TempDir dir;
    WriteFileBytes(dir / "v3799.ape", bytes);
    const auto old = RunCli("--info " + Quote(dir / "v3799.ape"));
    EXPECT_EQ(old.status, 1);
    EXPECT_NE(old.output.find("error: MACDll error: unsupported file type: unsupported Monkey's "
                              "Audio version 3799"),
              std::string::npos)
        << old.output;
}
