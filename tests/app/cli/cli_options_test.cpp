// Parsing quillmere-cli's arguments.
#include "app/cli/cli_options.h"

#include <gtest/gtest.h>

namespace {
std::string Parse(std::vector<std::string> args, TCliOptions& o) {
    return ParseCliOptions(args, o);
}
} // namespace

TEST(CliOptions, FormatsByShortNameListTextOrDescriptorInAnyCase) {
    TCliOptions o;
    ASSERT_EQ(Parse({"--to", "FLAC", "a.wav"}, o), "");
    EXPECT_EQ(o.target, qm::TTargetId::Flac);
    ASSERT_EQ(Parse({"--to", "wv", "a.wav"}, o), "");
    EXPECT_EQ(o.target, qm::TTargetId::WavPack);
    EXPECT_EQ(o.targetExtension, ".wv");
    ASSERT_EQ(Parse({"--to", "monkey's audio (ape)", "a.wav"}, o), "");
    EXPECT_EQ(o.target, qm::TTargetId::Ape);
    ASSERT_EQ(Parse({"--to", "Windows Media Audio", "a.wav"}, o), "");
    EXPECT_EQ(o.targetExtension, ".wma");
    EXPECT_NE(Parse({"--to", "aac", "a.wav"}, o), "");
}

TEST(CliOptions, DefaultsAndFlags) {
    TCliOptions o;
    ASSERT_EQ(Parse({"--to", "mp3", "a.wav", "b.flac"}, o), "");
    EXPECT_EQ(o.mode, TCliOptions::Mode::Convert);
    EXPECT_EQ(o.level, 5);
    EXPECT_TRUE(o.outFolder.empty());
    EXPECT_TRUE(o.copyTags);
    EXPECT_FALSE(o.deleteSource);
    EXPECT_EQ(o.files, (std::vector<std::string>{"a.wav", "b.flac"}));
    ASSERT_EQ(Parse({"--level", "10", "--out", "x", "--delete-source", "--no-tags", "--to", "ogg",
                     "--", "--odd.wav"},
                    o),
              "");
    EXPECT_EQ(o.level, 10);
    EXPECT_EQ(o.outFolder, "x");
    EXPECT_TRUE(o.deleteSource);
    EXPECT_FALSE(o.copyTags);
    EXPECT_EQ(o.files, (std::vector<std::string>{"--odd.wav"}));
}

TEST(CliOptions, UsageErrors) {
    TCliOptions o;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"a.wav"},
             {"--to", "flac"},
             {"--to"},
             {"--to", "flac", "--level", "0", "a.wav"},
             {"--to", "flac", "--level", "11", "a.wav"},
             {"--to", "flac", "--level", "5x", "a.wav"},
             {"--to", "flac", "--out", "a.wav"}, // --out swallows the only file
             {"--info", "--to", "flac", "a.wav"},
             {"--frobnicate", "a.wav"}})
        EXPECT_NE(Parse(args, o), "") << ::testing::PrintToString(args);
    ASSERT_EQ(Parse({"--info", "a.wav"}, o), "");
    EXPECT_EQ(o.mode, TCliOptions::Mode::Info);
    ASSERT_EQ(Parse({"--to", "flac", "--help"}, o), "");
    EXPECT_EQ(o.mode, TCliOptions::Mode::Help);
    ASSERT_EQ(Parse({"--version", "--frobnicate"}, o), "");
    EXPECT_EQ(o.mode, TCliOptions::Mode::Version);
}

TEST(CliOptions, JobsAcceptsZeroForEveryCoreAndRefusesNonsense) {
    TCliOptions o;
    ASSERT_EQ(Parse({"--jobs", "4", "--to", "wav", "a.wav"}, o), "");
    EXPECT_EQ(o.jobs, 4);
    ASSERT_EQ(Parse({"-j", "0", "--to", "wav", "a.wav"}, o), "");
    EXPECT_GE(o.jobs, 1);
    EXPECT_NE(Parse({"--jobs", "-1", "--to", "wav", "a.wav"}, o), "");
    EXPECT_NE(Parse({"--jobs", "many", "--to", "wav", "a.wav"}, o), "");
    EXPECT_NE(Parse({"--to", "wav", "a.wav", "--jobs"}, o), "");
}
