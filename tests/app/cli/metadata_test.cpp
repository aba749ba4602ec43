// Every tag and picture of a source reaches each tagged target, as mutagen reads it back.
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string Script() {
    const char* source = std::getenv("QM_SOURCE_DIR");
    return std::string(source ? source : ".") + "/tests/app/cli/carried_tags.py";
}

} // namespace

TEST(CliMetadata, EveryFieldAndPictureOfAFlacReachesEachTaggedTarget) {
    for (const char* tool : {"sox", "flac", "/usr/bin/python3"})
        if (!HaveTool(tool)) GTEST_SKIP() << "needs " << tool;
    if (RunCommand("/usr/bin/python3 -c 'import mutagen'").status != 0)
        GTEST_SKIP() << "needs python3-mutagen";
    TempDir dir;
    const std::string source = dir / "tagged.flac";
    Tool("sox -n -r 44100 -c 2 -b 16 " + Quote(dir / "tagged.wav") + " synth 1 sine 440");
    Tool("flac -s " + Quote(dir / "tagged.wav") + " -o " + Quote(source));
    Tool("/usr/bin/python3 " + Quote(Script()) + " make-flac " + Quote(source));
    for (const char* target : {"flac", "ogg", "mp3", "ape", "wv", "wma"}) {
        const std::string out = dir / target;
        const auto run =
            RunCli("--to " + std::string(target) + " --out " + Quote(out) + " " + Quote(source));
        ASSERT_EQ(run.status, 0) << run.output;
        const auto judged = RunCommand("/usr/bin/python3 " + Quote(Script()) + " check " +
                                       Quote(out + "/tagged." + target) + " 2>&1");
        EXPECT_EQ(judged.status, 0) << target << ":\n" << judged.output;
    }
    // --info lists every field and each picture; --no-tags carries none of them.
    const auto info = RunCli("--info " + Quote(dir / "mp3/tagged.mp3"));
    EXPECT_TRUE(Contains(info.output, "tag ALBUMARTIST: Various Artists\n")) << info.output;
    EXPECT_TRUE(Contains(info.output, "picture 1: front cover, image/png, ")) << info.output;
    EXPECT_TRUE(Contains(info.output, ", 40 x 30, \"front\"\npicture 2: back cover, image/jpeg"))
        << info.output;
    ASSERT_EQ(
        RunCli("--no-tags --to mp3 --out " + Quote(dir / "bare") + " " + Quote(source)).status, 0);
    const auto bare = RunCli("--info " + Quote(dir / "bare/tagged.mp3"));
    EXPECT_FALSE(Contains(bare.output, "picture")) << bare.output;
    EXPECT_FALSE(Contains(bare.output, "tag ")) << bare.output;

    // A picture too large for any tag block is left out with a warning; the rest is carried.
    const std::string huge = dir / "huge.mp3";
    fs::copy_file(dir / "mp3/tagged.mp3", huge);
    Tool("/usr/bin/python3 " + Quote(Script()) + " add-huge-picture " + Quote(huge));
    const auto left = RunCli("--to flac --out " + Quote(dir / "huge") + " " + Quote(huge));
    EXPECT_EQ(left.status, 0) << left.output;
    EXPECT_TRUE(Contains(left.output, "WARNING ") &&
                Contains(left.output, "(1 picture larger than 16 MiB was not carried)"))
        << left.output;
    EXPECT_EQ(RunCommand("/usr/bin/python3 " + Quote(Script()) + " check " +
                         Quote(dir / "huge/huge.flac") + " other")
                  .status,
              0);

    // Back into FLAC from the tagged outputs: ID3v2.4, the same tag as version 2.3 (unsynchronised
    // text frames in UTF-16), and APEv2.
    const std::string mp3v23 = dir / "v23.mp3";
    fs::copy_file(dir / "mp3/tagged.mp3", mp3v23);
    Tool("/usr/bin/python3 " + Quote(Script()) + " save-id3v23 " + Quote(mp3v23));
    for (const std::string from : {dir / "mp3/tagged.mp3", mp3v23, dir / "ape/tagged.ape"}) {
        const std::string out = dir / ("back-" + fs::path(from).parent_path().filename().string());
        const auto run = RunCli("--to flac --out " + Quote(out) + " " + Quote(from));
        ASSERT_EQ(run.status, 0) << run.output;
        const std::string flac = out + "/" + fs::path(from).stem().string() + ".flac";
        const auto judged =
            RunCommand("/usr/bin/python3 " + Quote(Script()) + " check " + Quote(flac) +
                       (from == mp3v23 ? " v23" : " other") + " 2>&1");
        EXPECT_EQ(judged.status, 0) << from << ":\n" << judged.output;
    }
    // From an M4A (iTunes items, covers) and a WMA (ASF attributes, WM/Picture) into FLAC.
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
    for (const std::string kind : {"m4a", "wma"}) {
        const std::string from = dir / ("tagged." + kind);
        Tool("ffmpeg -nostdin -loglevel error -f lavfi -i sine=f=440:d=1 -c:a " +
             std::string(kind == "m4a" ? "aac " : "wmav2 ") + Quote(from));
        Tool("/usr/bin/python3 " + Quote(Script()) + " make-" + kind + " " + Quote(from));
        const std::string out = dir / ("from-" + kind);
        const auto run = RunCli("--to flac --out " + Quote(out) + " " + Quote(from));
        ASSERT_EQ(run.status, 0) << run.output;
        const auto judged = RunCommand("/usr/bin/python3 " + Quote(Script()) + " check " +
                                       Quote(out + "/tagged.flac") + " other " + kind + " 2>&1");
        EXPECT_EQ(judged.status, 0) << kind << ":\n" << judged.output;
    }
}

TEST(CliMetadata, WavOutputsCarryListInfoAndWavSourcesCarryItWithTheirId3Chunk) {
    for (const char* tool : {"sox", "flac", "metaflac", "ffmpeg", "ffprobe", "/usr/bin/python3"})
        if (!HaveTool(tool)) GTEST_SKIP() << "needs " << tool;
    if (RunCommand("/usr/bin/python3 -c 'import mutagen'").status != 0)
        GTEST_SKIP() << "needs python3-mutagen";
    TempDir dir;
    const std::string plain = dir / "tagged.wav", source = dir / "tagged.flac";
    Tool("sox -n -r 44100 -c 2 -b 16 " + Quote(plain) + " synth 1 sine 440");
    Tool("flac -s " + Quote(plain) + " -o " + Quote(source));
    Tool("/usr/bin/python3 " + Quote(Script()) + " make-flac " + Quote(source));
    for (const std::string& from : {source, plain})
        ASSERT_EQ(RunCli("--to wav --out " + Quote(dir / fs::path(from).extension().string()) +
                         " " + Quote(from))
                      .status,
                  0);
    const std::string wav = dir / ".flac/tagged.wav";
    std::string comment = "long ";
    for (int i = 0; i < 995; ++i)
        comment += "ß";
    EXPECT_EQ(
        RunCommand("ffprobe -v error -show_entries format_tags -of default=nw=1 " + Quote(wav))
            .output,
        "TAG:title=Björk – 東京 (Live)\nTAG:artist=Ünal; Второй\nTAG:album=Ålbum\n"
        "TAG:genre=Electronic\nTAG:date=2001-05-03\nTAG:track=3\nTAG:comment=" +
            comment + "\nTAG:copyright=℗ 2001 Label\nTAG:IMUS=Komponist\n");
    // Header and audio are those of the same conversion without tags.
    const auto tagged = ReadFileBytes(wav), untagged = ReadFileBytes(dir / ".wav/tagged.wav");
    ASSERT_GT(tagged.size(), untagged.size());
    EXPECT_TRUE(std::equal(untagged.begin() + 8, untagged.end(), tagged.begin() + 8));

    // Back to FLAC from that WAV, and from one FFmpeg tagged with an ID3v2 chunk added: the
    // INFO title wins over the ID3v2 one, which gives the composer and the cover.
    Tool("sox " + Quote(plain) + " -t raw " + Quote(dir / "plain.raw"));
    const std::string ffmpegWav = dir / "ffmpeg.wav";
    Tool("ffmpeg -nostdin -v error -i " + Quote(plain) +
         " -metadata title='Info title' -metadata artist=Info -metadata track=5 " +
         Quote(ffmpegWav));
    Tool("/usr/bin/python3 " + Quote(Script()) + " add-id3-chunk " + Quote(ffmpegWav));
    const std::pair<std::string, std::string> cases[] = {
        {wav, "TITLE=Björk – 東京 (Live)\nARTIST=Ünal\nARTIST=Второй\nALBUM=Ålbum\n"
              "GENRE=Electronic\nDATE=2001-05-03\nTRACKNUMBER=3\nCOMMENT=" +
                  comment + "\nCOPYRIGHT=℗ 2001 Label\nCOMPOSER=Komponist\n"},
        {ffmpegWav, "ARTIST=Info\nTITLE=Info title\nTRACKNUMBER=5\nCOMPOSER=Id3 Komponist\n"}};
    for (const auto& [from, wanted] : cases) {
        const std::string out = dir / ("back-" + fs::path(from).stem().string());
        ASSERT_EQ(RunCli("--to flac --out " + Quote(out) + " " + Quote(from)).status, 0);
        const std::string flac = out + "/" + fs::path(from).stem().string() + ".flac";
        const auto tags = RunCommand("metaflac --export-tags-to=- " + Quote(flac)).output;
        EXPECT_EQ(tags, wanted);
        const auto pictures = RunCommand("metaflac --list --block-type=PICTURE " + Quote(flac));
        EXPECT_EQ(pictures.output.find("type: 3 (Cover (front))") != std::string::npos,
                  from == ffmpegWav);
        Tool("sox " + Quote(flac) + " -t raw " + Quote(out + ".raw"));
        EXPECT_EQ(ReadFileBytes(out + ".raw"), ReadFileBytes(dir / "plain.raw"));
    }
}
