// TTTAIn against ffmpeg: files ffmpeg encodes decode to ffmpeg's own PCM at every width and
// channel count and in any request size; tags around the data are read and skipped; a stream
// decodes through an unnamed temporary file; real files decode like ffmpeg; and the command-line
// converter carries TTA to FLAC. Damaged and cut copies: tests/codecs/damage.
#include "codecs/tta/tta_in.h"
#include "tests/support/decode_checks.h"
#include "tests/support/read_source.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

struct Layout {
    int bits, channels, rate;
};

std::string Describe(const Layout& layout) {
    return std::to_string(layout.bits) + " bits, " + std::to_string(layout.channels) +
           " channels, " + std::to_string(layout.rate) + " Hz";
}

// 1.3 s of tone and noise, different in every channel, encoded by ffmpeg's TTA encoder
// without any tag.
std::string MakeTta(const TempDir& dir, const Layout& layout, const std::string& name) {
    const std::string raw = dir / (name + ".raw"), tta = dir / name;
    MakeTonesAndNoise(raw, layout.bits, layout.channels, layout.rate);
    Tool("ffmpeg -nostdin -v error -y -f " + std::string(RawPcmFormat(layout.bits)) + " -ar " +
         std::to_string(layout.rate) + " -ac " + std::to_string(layout.channels) + " -i " +
         Quote(raw) + " -map_metadata -1 -fflags +bitexact -c:a tta " + Quote(tta));
    return tta;
}

// An ID3v2.3 tag with title, artist and an ISO-8859-1 album, but no year, track or genre.
std::vector<uint8_t> Id3v2Tag() {
    std::vector<uint8_t> frames;
    auto frame = [&](const std::string& id, const std::string& text) {
        const uint32_t size = uint32_t(text.size() + 1);
        frames.insert(frames.end(), id.begin(), id.end());
        for (int shift : {24, 16, 8, 0})
            frames.push_back(uint8_t(size >> shift));
        frames.insert(frames.end(), {0, 0, 0});
        frames.insert(frames.end(), text.begin(), text.end());
    };
    frame("TIT2", "Front Title");
    frame("TPE1", "Front Artist");
    frame("TALB", "Caf\xe9");
    frames.resize(frames.size() + 64); // padding
    const uint32_t size = uint32_t(frames.size());
    std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
    for (int shift : {21, 14, 7, 0})
        tag.push_back(uint8_t((size >> shift) & 0x7F));
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}

// An ID3v1.1 block: its title is hidden by the ID3v2 one; year, track and genre (17, Rock) are
// only here.
std::vector<uint8_t> Id3v1Block() {
    std::vector<uint8_t> block(128, 0);
    auto put = [&](size_t at, const std::string& text) {
        std::copy(text.begin(), text.end(), block.begin() + std::ptrdiff_t(at));
    };
    put(0, "TAG");
    put(3, "Back Title");
    put(33, "Back Artist");
    put(63, "Back Album");
    put(93, "1999");
    block[126] = 7;
    block[127] = 17;
    return block;
}

// Descriptors of this process that point into folder, and how many of them have no name.
struct OpenFiles {
    int total = 0;
    int unnamed = 0;
};
OpenFiles FilesOpenIn(const fs::path& folder) {
    OpenFiles files;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = fs::read_symlink(entry.path(), error).string();
        if (error || target.rfind(folder.string() + "/", 0) != 0) continue;
        ++files.total;
        files.unnamed += Contains(target, "(deleted)");
    }
    return files;
}

class TtaInTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(HaveTool("ffmpeg")); }
    TempDir dir_;
};

} // namespace

TEST_F(TtaInTest, EveryWidthAndChannelCountDecodesLikeFfmpegInAnyRequestSize) {
    for (const Layout& layout :
         {Layout{8, 1, 8000}, Layout{8, 2, 22050}, Layout{16, 1, 32000}, Layout{16, 2, 44100},
          Layout{16, 6, 48000}, Layout{24, 2, 96000}, Layout{24, 6, 44100}}) {
        SCOPED_TRACE(Describe(layout));
        const std::string tta = MakeTta(dir_, layout, "file.tta");
        const std::vector<uint8_t> expected = FfmpegPcm(tta, layout.bits);
        ASSERT_GT(expected.size(), 0u);

        TTTAIn source;
        source.SetFileName(tta);
        EXPECT_TRUE(source.FileValid());
        EXPECT_EQ(source.GetBitsPerSample(), layout.bits);
        EXPECT_EQ(source.GetChannels(), layout.channels);
        EXPECT_EQ(source.GetSampleRate(), layout.rate);
        const size_t frameBytes = size_t(layout.bits / 8 * layout.channels);
        EXPECT_EQ(source.GetTotalSamples(), int64_t(expected.size() / frameBytes));
        EXPECT_FALSE(source.Seek(10)) << "TTA cannot seek";

        // Requests far below a block, one byte off whole frames, and beyond the whole file.
        for (uint32_t request : {7u, 4999u, 1u << 22}) {
            SCOPED_TRACE("request " + std::to_string(request));
            const Decoded decoded = DecodeAll(source, request);
            EXPECT_EQ(decoded.error, "");
            EXPECT_FALSE(decoded.damaged);
            EXPECT_TRUE(decoded.pcm == expected)
                << "decoded " << decoded.pcm.size() << " bytes of " << expected.size();
        }
    }
}

TEST_F(TtaInTest, Id3v2InFrontAndId3v1BehindAreReadAndTheAudioAfterTheTagDecodes) {
    const Layout layout{16, 2, 44100};
    const std::string bare = MakeTta(dir_, layout, "bare.tta");
    const std::vector<uint8_t> expected = FfmpegPcm(bare, layout.bits);
    std::vector<uint8_t> bytes = Id3v2Tag();
    const std::vector<uint8_t> audio = ReadFileBytes(bare);
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    const std::vector<uint8_t> id3v1 = Id3v1Block();
    bytes.insert(bytes.end(), id3v1.begin(), id3v1.end());
    const std::string tagged = dir_ / "tagged.tta";
    WriteFileBytes(tagged, bytes);

    TTTAIn source;
    source.SetFileName(tagged);
    const Decoded decoded = DecodeAll(source);
    EXPECT_EQ(decoded.error, "");
    EXPECT_FALSE(decoded.damaged);
    EXPECT_TRUE(decoded.pcm == expected) << decoded.pcm.size() << " of " << expected.size();

    ASSERT_TRUE(source.FileValid());
    EXPECT_EQ(source.Id3v2Tags().Title(), "Front Title");
    EXPECT_EQ(source.Id3v2Tags().Album(), "Caf\u00e9");
    EXPECT_EQ(source.Id3v1Tags().Title(), "Back Title");
    EXPECT_EQ(source.Id3v1Tags().Year(), 1999);
    // Each common field from the ID3v2 tag where it has one, else from the ID3v1 block.
    const TCommonTags& common = source.CommonTags();
    EXPECT_EQ(common.Title(), "Front Title");
    EXPECT_EQ(common.Artist(), "Front Artist");
    EXPECT_EQ(common.Album(), "Caf\u00e9");
    EXPECT_EQ(common.Year(), "1999");
    EXPECT_EQ(common.Track(), "7");
    EXPECT_EQ(common.Genre(), "Rock");

    // ID3v1 alone fills every common field; no tag leaves them empty.
    std::vector<uint8_t> backOnly = audio;
    backOnly.insert(backOnly.end(), id3v1.begin(), id3v1.end());
    WriteFileBytes(dir_ / "back.tta", backOnly);
    TTTAIn back;
    back.SetFileName(dir_ / "back.tta");
    ASSERT_TRUE(back.FileValid());
    EXPECT_EQ(back.CommonTags().Title(), "Back Title");
    EXPECT_EQ(back.CommonTags().Album(), "Back Album");
    EXPECT_TRUE(DecodeAll(back).pcm == expected);
    TTTAIn plain;
    plain.SetFileName(bare);
    ASSERT_TRUE(plain.FileValid());
    EXPECT_EQ(plain.CommonTags().Title(), "");
    EXPECT_EQ(plain.CommonTags().Genre(), "");
    EXPECT_EQ(plain.CommonTags().Year(), "");
}

TEST_F(TtaInTest, AStreamDecodesThroughAnUnnamedTemporaryFileThatGoesWithTheSource) {
    const Layout layout{24, 2, 44100};
    const std::string tta = MakeTta(dir_, layout, "stream.tta");
    const std::vector<uint8_t> expected = FfmpegPcm(tta, layout.bits);
    TempDir temp;
    const char* previous = std::getenv("TMPDIR");
    const std::string saved = previous ? previous : "";
    ::setenv("TMPDIR", temp.Path().c_str(), 1);

    TAuFileStream stream(tta, fmOpenRead);
    stream.Seek(1000, TStream::Origin::Begin); // the copy starts at the stream's start anyway
    TTTAIn source;
    source.SetStream(&stream);
    source.Init();
    EXPECT_TRUE(fs::is_empty(temp.Path())) << "the temporary file has a name";
    const OpenFiles open = FilesOpenIn(temp.Path());
    EXPECT_EQ(open.total, 1);
    EXPECT_EQ(open.unnamed, 1);
    const std::vector<uint8_t> pcm = ReadSome(source, SIZE_MAX, 8192);
    source.Flush();
    EXPECT_TRUE(pcm == expected) << pcm.size() << " of " << expected.size();
    EXPECT_EQ(FilesOpenIn(temp.Path()).total, 0) << "the temporary file outlived the source";

    // An empty stream is no TTA file: the library's refusal, and nothing left behind.
    std::string emptyPath = dir_ / "empty.tta";
    WriteFileBytes(emptyPath, {});
    TAuFileStream empty(emptyPath, fmOpenRead);
    TTTAIn emptySource;
    emptySource.SetStream(&empty);
    const Decoded decoded = DecodeAll(emptySource);
    EXPECT_TRUE(Contains(decoded.error, "Unable to open TrueAudio-file! Error: \""))
        << decoded.error;
    EXPECT_TRUE(fs::is_empty(temp.Path()));
    EXPECT_EQ(FilesOpenIn(temp.Path()).total, 0);

    if (previous)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

TEST_F(TtaInTest, SharedSamplesDecodeLikeFfmpegWithTheirTags) {
    const fs::path samples = SamplesDir("tta");
    if (!fs::is_directory(samples)) GTEST_SKIP() << "no shared samples at " << samples;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(samples)) {
        if (entry.path().extension() != ".tta") continue;
        SCOPED_TRACE(entry.path().string());
        ++files;
        TTTAIn source;
        source.SetFileName(entry.path());
        ASSERT_TRUE(source.FileValid());
        const int bits = source.GetBitsPerSample();
        const Decoded decoded = DecodeAll(source);
        EXPECT_EQ(decoded.error, "");
        EXPECT_FALSE(decoded.damaged);
        const std::vector<uint8_t> expected = FfmpegPcm(entry.path(), bits);
        EXPECT_GT(expected.size(), 0u);
        EXPECT_TRUE(decoded.pcm == expected) << decoded.pcm.size() << " of " << expected.size();
        const size_t frameBytes = size_t(source.GetChannels()) * size_t((bits + 7) / 8);
        EXPECT_EQ(size_t(source.GetTotalSamples()) * frameBytes, expected.size());
        EXPECT_EQ(RunCommand("ffprobe -v error -show_entries stream=sample_rate,channels -of "
                             "csv=p=0 " +
                             Quote(entry.path()))
                      .output,
                  std::to_string(source.GetSampleRate()) + "," +
                      std::to_string(source.GetChannels()) + "\n");
        if (entry.path().filename() == "taglib__tagged.tta") {
            // ffprobe: title, artist and album, in both the ID3v2.3 and the ID3v1 tag.
            EXPECT_EQ(source.CommonTags().Title(), "TestTitle");
            EXPECT_EQ(source.CommonTags().Artist(), "TestArtist");
            EXPECT_EQ(source.CommonTags().Album(), "TestAlbum");
        }
    }
    EXPECT_GT(files, 0);
}

TEST_F(TtaInTest, CommandLineConvertsTtaToFlacWithItsTags) {
    ASSERT_TRUE(HaveTool("metaflac"));
    const Layout layout{24, 6, 48000};
    const std::string bare = MakeTta(dir_, layout, "bare.tta");
    std::vector<uint8_t> bytes = Id3v2Tag();
    const std::vector<uint8_t> audio = ReadFileBytes(bare);
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    WriteFileBytes(dir_ / "song.tta", bytes);

    const CommandResult run =
        RunCli("--to flac --out " + Quote(dir_ / "out") + " " + Quote(dir_ / "song.tta"));
    EXPECT_EQ(run.status, 0) << run.output;

    const std::string flac = dir_ / "out/song.flac";
    ASSERT_TRUE(fs::exists(flac));
    EXPECT_TRUE(FfmpegPcm(flac, 24) == FfmpegPcm(bare, 24)) << "FLAC differs from the TTA";
    // Comment names are case-blind; the sink writes them in lower case.
    const CommandResult tags =
        RunCommand("metaflac --show-tag=TITLE --show-tag=ARTIST " + Quote(flac));
    EXPECT_TRUE(Contains(tags.output, "title=Front Title")) << tags.output;
    EXPECT_TRUE(Contains(tags.output, "artist=Front Artist")) << tags.output;
}

TEST_F(TtaInTest, ANamedPipeFailsAtOnceInsteadOfWaitingForAWriter) {
    ASSERT_EQ(::mkfifo((dir_ / "pipe.tta").c_str(), 0600), 0);
    const CommandResult run =
        RunCommand("timeout 60 " + Quote(Cli()) + " --to wav --out " + Quote(dir_ / "out") + " " +
                   Quote(dir_ / "pipe.tta") + " 2>&1");
    EXPECT_EQ(run.status, 1) << run.output; // 124 would mean it hung
    EXPECT_TRUE(
        Contains(run.output, "FAILED " + (dir_ / "pipe.tta") + ": Unable to open file for input!"))
        << run.output;
}

// Run as a process of its own with a library that lacks a member (a library that is not there at
// all: missing_library_test): opening works; the first block names the member as the wrapper
// checks it.
TEST(TtaWithoutLibrary, TheSourceNamesTheMissingMember) {
    if (std::getenv("QM_TTA_LIBRARY_LACKS_GET_BLOCK") == nullptr)
        GTEST_SKIP() << "runs as tta_without_get_block";
    TempDir dir;
    WriteFileBytes(dir / "any.tta", {'T', 'T', 'A', '1'});
    TTTAIn source;
    source.SetFileName(dir / "any.tta");
    EXPECT_EQ(DecodeAll(source).error,
              "Function \"TTADecoder_GetBlock\" not found in TrueAudio library!");
}
