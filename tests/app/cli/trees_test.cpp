// Whole folders: a tree kept below the output folder, and re-runs into it with each way of
// treating an output that already exists.
#include "../../support/tools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Every file below folder, by its path relative to it, with its bytes.
std::map<std::string, std::vector<uint8_t>> Files(const fs::path& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = ReadFileBytes(entry.path());
    return files;
}

std::vector<std::string> Names(const std::map<std::string, std::vector<uint8_t>>& files) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files)
        names.push_back(name);
    return names;
}

} // namespace

TEST(CliTrees, KeptTreesAndReRunsLeaveExactlyTheExpectedFiles) {
    TempDir dir;
    for (const char* folder : {"root/A/x", "root/B/x/deeper"})
        fs::create_directories(dir / folder);
    for (const char* file : {"root/A/x/song.wav", "root/B/x/song.wav", "root/B/x/deeper/song.wav"})
        MakeWav(dir / file, 0.2);
    MakeWav(dir / "root/top.wav", 0.3);
    WriteFileBytes(dir / "root/A/cover.jpg", {1, 2, 3});
    const std::string root = Quote(dir / "root");

    // A folder stands for the audio of its tree; the rest is counted on one line.
    const auto flat = RunCli("--to wav --out " + Quote(dir / "flat") + " " + root);
    EXPECT_EQ(flat.status, 0) << flat.output;
    EXPECT_TRUE(Contains(flat.output, "1 file in the folders given left out")) << flat.output;
    EXPECT_EQ(Names(Files(dir / "flat")),
              (std::vector<std::string>{"Quillmere_1_song.wav", "Quillmere_2_song.wav", "song.wav",
                                        "top.wav"}));

    const std::string tree = "--to wav --keep-tree --out " + Quote(dir / "tree") + " ";
    ASSERT_EQ(RunCli(tree + root).status, 0);
    const auto first = Files(dir / "tree");
    const std::vector<std::string> kept = {"A/x/song.wav", "B/x/deeper/song.wav", "B/x/song.wav",
                                           "top.wav"};
    EXPECT_EQ(Names(first), kept);
    EXPECT_EQ(first.at("top.wav"), ReadFileBytes(dir / "root/top.wav"));

    // Skip: nothing written, each file said to be converted already.
    const auto skip = RunCli(tree + "--existing skip " + root);
    EXPECT_EQ(skip.status, 0) << skip.output;
    EXPECT_TRUE(Contains(skip.output, "0 converted, 4 skipped, 0 failed")) << skip.output;
    EXPECT_EQ(Files(dir / "tree"), first);

    // Replace: the changed source's output is the new one, under the same name, by a rename
    // (a new file, not the old one rewritten).
    struct stat before {};
    ASSERT_EQ(::stat((dir / "tree/top.wav").c_str(), &before), 0);
    MakeWav(dir / "root/top.wav", 0.4);
    EXPECT_EQ(RunCli(tree + "--existing=replace " + root).status, 0);
    const auto replaced = Files(dir / "tree");
    EXPECT_EQ(Names(replaced), kept);
    EXPECT_EQ(replaced.at("top.wav"), ReadFileBytes(dir / "root/top.wav"));
    struct stat after {};
    ASSERT_EQ(::stat((dir / "tree/top.wav").c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);

    // Keep (the default): a second copy beside each.
    EXPECT_EQ(RunCli(tree + root).status, 0);
    EXPECT_EQ(Files(dir / "tree").size(), 8u);
    EXPECT_EQ(Files(dir / "tree").at("B/x/deeper/Quillmere_1_song.wav"),
              replaced.at("B/x/deeper/song.wav"));
}

// Replacing never takes the name of a source of the run, nor of an output the run wrote.
TEST(CliTrees, ReplacingLeavesSourcesAndTheRunsOwnOutputsAlone) {
    TempDir dir;
    MakeWav(dir / "a.wav", 0.2);
    Tool("sox " + Quote(dir / "a.wav") + " " + Quote(dir / "a.flac") + " vol 0.5");
    Tool("sox " + Quote(dir / "a.wav") + " " + Quote(dir / "a.ogg"));
    const auto source = ReadFileBytes(dir / "a.wav");
    const auto r = RunCli("--to wav --existing replace " + Quote(dir / "a.flac") + " " +
                          Quote(dir / "a.wav") + " " + Quote(dir / "a.ogg"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFileBytes(dir / "a.wav"), source);
    EXPECT_TRUE(fs::exists(dir / "Quillmere_1_a.wav") && fs::exists(dir / "Quillmere_2_a.wav"))
        << r.output;

    // Two sources of one name into one folder: the second output does not replace the first.
    const auto out = RunCli("--to wav --existing replace --out " + Quote(dir / "out") + " " +
                            Quote(dir / "a.flac") + " " + Quote(dir / "a.ogg"));
    EXPECT_EQ(out.status, 0) << out.output;
    EXPECT_EQ(Files(dir / "out").size(), 2u) << out.output;
}
