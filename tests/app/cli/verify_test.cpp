// Outputs read back before their sources go, for every target: a whole output verifies and its
// source is deleted; one cut short between writing and reading back (the driver's test hook)
// fails, leaves no output under any name and keeps its source.
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(CliVerify, EveryTargetProvesItsOutputBeforeTheSourceGoes) {
    if (!HaveTool("sox")) GTEST_SKIP() << "needs sox";
    TempDir dir;
    Tool("sox -n -r 44100 -c 2 -b 16 " + Quote(dir / "music.wav") +
         " synth 2 pinknoise vol 0.3 fade 0.1 2");
    for (const std::string target : {"flac", "ape", "wavpack", "wav", "mp3", "ogg", "wma"}) {
        SCOPED_TRACE(target);
        const std::string whole = dir / ("whole_" + target + ".wav");
        const std::string cut = dir / ("cut_" + target + ".wav");
        fs::copy_file(dir / "music.wav", whole);
        fs::copy_file(dir / "music.wav", cut);
        const std::string out = dir / target;
        const auto ok =
            RunCli("--to " + target + " --delete-source --out " + Quote(out) + " " + Quote(whole));
        EXPECT_TRUE(Contains(ok.output, "OK " + whole + " -> ")) << ok.output;
        EXPECT_TRUE(Contains(ok.output, " (verified)\n")) << ok.output;
        EXPECT_FALSE(fs::exists(whole));

        const auto bad =
            RunCli("--to " + target + " --delete-source --out " + Quote(out) + " " + Quote(cut),
                   "QM_TEST_CUT_OUTPUT_AT=3000 ");
        EXPECT_EQ(bad.status, 1) << bad.output;
        EXPECT_TRUE(Contains(bad.output, "FAILED " + cut + ": the output did not verify: "))
            << bad.output;
        EXPECT_TRUE(fs::exists(cut));
        EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1)
            << "only the whole file's output";
    }
    // A FLAC output whose STREAMINFO MD5 (bytes 26 to 41) no longer matches its audio, which
    // itself is whole: the stored checksum is read back too.
    fs::copy_file(dir / "music.wav", dir / "md5.wav");
    const auto md5 = RunCli("--to flac --delete-source --out " + Quote(dir / "md5") + " " +
                                Quote(dir / "md5.wav"),
                            "QM_TEST_FLIP_OUTPUT_BYTE=30 ");
    EXPECT_TRUE(Contains(md5.output, "the output did not verify: its stored checksum does not "
                                     "match its audio"))
        << md5.output;
    EXPECT_TRUE(fs::exists(dir / "md5.wav"));
    // Without --delete-source nothing is read back unless asked.
    const auto plain =
        RunCli("--to flac --out " + Quote(dir / "plain") + " " + Quote(dir / "music.wav"));
    EXPECT_FALSE(Contains(plain.output, "verified")) << plain.output;
    const auto asked =
        RunCli("--to flac --verify --out " + Quote(dir / "asked") + " " + Quote(dir / "music.wav"));
    EXPECT_TRUE(Contains(asked.output, " (verified)\n")) << asked.output;
    EXPECT_TRUE(fs::exists(dir / "music.wav"));
}
