// Where an output goes: numbered names on collision, the root folder, dangling links.
#include "../../support/tools.h"
#include "app/converter/quillmere_audio_converter.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(OutputNaming, FreeNameIsThePlainNameThenNumberedFromOne) {
    TempDir dir;
    const std::string folder = dir.Path().string();
    EXPECT_EQ(TQuillmereAudioConverter::FreeOutputPath(folder, "song.mp3"), dir / "song.mp3");
    WriteFileBytes(dir / "song.mp3", {1});
    WriteFileBytes(dir / "Quillmere_1_song.mp3", {1});
    EXPECT_EQ(TQuillmereAudioConverter::FreeOutputPath(folder, "song.mp3"),
              dir / "Quillmere_2_song.mp3");
    // Each candidate is built from the plain name, never from the previous candidate.
    for (int n = 2; n <= 120; ++n)
        WriteFileBytes(dir / ("Quillmere_" + std::to_string(n) + "_song.mp3"), {1});
    EXPECT_EQ(TQuillmereAudioConverter::FreeOutputPath(folder, "song.mp3"),
              dir / "Quillmere_121_song.mp3");
}

TEST(OutputNaming, ADanglingLinkStillTakesTheName) {
    TempDir dir;
    fs::create_symlink(dir / "nowhere", dir / "a.flac");
    EXPECT_EQ(TQuillmereAudioConverter::FreeOutputPath(dir.Path().string(), "a.flac"),
              dir / "Quillmere_1_a.flac");
}

TEST(OutputNaming, TheRootFolderGetsNoDoubledSeparator) {
    const std::string path = TQuillmereAudioConverter::FreeOutputPath("/", "qm-surely-absent.flac");
    EXPECT_EQ(path, "/qm-surely-absent.flac");
}

TEST(Descriptor, DescribesASourceFile) {
    TempDir dir;
    WriteFileBytes(dir / "a.b.flac", std::vector<uint8_t>(1234));
    const TAudioFileDescriptor d = DescribeSourceFile(dir / "a.b.flac");
    EXPECT_EQ(d.SourceName, "a.b.flac");
    EXPECT_EQ(d.SourceFolder, dir.Path().string());
    EXPECT_EQ(d.SourcePath, dir / "a.b.flac");
    EXPECT_EQ(d.SourceFormat, qm::TSourceId::Flac);
    EXPECT_EQ(d.FileSize, 1234);
    EXPECT_TRUE(d.SameFolder);
    EXPECT_EQ(DescribeSourceFile("/song.wv").SourceFolder, "/");
    EXPECT_EQ(DescribeSourceFile("/song.wv").SourceFormat, qm::TSourceId::WavPack);
}
