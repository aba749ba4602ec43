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
