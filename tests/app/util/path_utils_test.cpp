// Path text helpers: roots, extensions after the last "/", separators.
#include "app/util/path_utils.h"

#include <gtest/gtest.h>

namespace {

using namespace qm;

TEST(PathUtils, OnlyTheFileSystemRootIsADriveRoot) {
    EXPECT_TRUE(IsDriveRoot("/"));
    EXPECT_FALSE(IsDriveRoot(""));
    EXPECT_FALSE(IsDriveRoot("//"));
    EXPECT_FALSE(IsDriveRoot("/x"));
    EXPECT_FALSE(IsDriveRoot("c:\\"));
    EXPECT_FALSE(IsDriveRoot("C:"));
}

TEST(PathUtils, FileNameAndFolder) {
    EXPECT_EQ(FileNameOf("/a/song.wav"), "song.wav");
    EXPECT_EQ(FileNameOf("song.wav"), "song.wav");
    EXPECT_EQ(FileNameOf("/a/"), "");
    EXPECT_EQ(FileNameOf("/a.b/c"), "c");

    EXPECT_EQ(FolderOf("/a/song.wav"), "/a");
    EXPECT_EQ(FolderOf("/a/b/song.wav"), "/a/b");
    EXPECT_EQ(FolderOf("/song.wav"), "/"); // the root keeps its separator
    EXPECT_EQ(FolderOf("//song.wav"), "/");
    EXPECT_EQ(FolderOf("/a//song.wav"), "/a");
    EXPECT_EQ(FolderOf("song.wav"), "");
    EXPECT_EQ(FolderOf("rel/song.wav"), "rel");
}

TEST(PathUtils, ExtensionStartsAtTheLastDotAfterTheLastSlash) {
    EXPECT_EQ(ExtensionOf("/a/song.wav"), ".wav");
    EXPECT_EQ(ExtensionOf("/a/a.b.flac"), ".flac");
    EXPECT_EQ(ExtensionOf("/a.b/c"), "");
    EXPECT_EQ(ExtensionOf("/a.b/"), "");
    EXPECT_EQ(ExtensionOf("/a/song."), ".");
    EXPECT_EQ(ExtensionOf("/a/.hidden"), ".hidden");
    EXPECT_EQ(ExtensionOf("noext"), "");
    EXPECT_EQ(ExtensionOf(""), "");
    EXPECT_EQ(ExtensionOf("x.MP3"), ".MP3"); // case kept
}

TEST(PathUtils, ChangeExtensionReplacesOrAppends) {
    EXPECT_EQ(ChangeExtension("song.mp3", ".flac"), "song.flac");
    EXPECT_EQ(ChangeExtension("/a/a.b.wav", ".wv"), "/a/a.b.wv");
    EXPECT_EQ(ChangeExtension("/a.b/c", ".ogg"), "/a.b/c.ogg"); // the folder's dot is not touched
    EXPECT_EQ(ChangeExtension("noext", ".ogg"), "noext.ogg");
    EXPECT_EQ(ChangeExtension("song.", ".ape"), "song.ape");
    EXPECT_EQ(ChangeExtension("song.wav", ""), "song");
}

TEST(PathUtils, JoinPathNeverDoublesTheSeparator) {
    EXPECT_EQ(JoinPath("/", "song.wav"), "/song.wav");
    EXPECT_EQ(JoinPath("/music", "song.wav"), "/music/song.wav");
    EXPECT_EQ(JoinPath("/music/", "song.wav"), "/music/song.wav");
    EXPECT_EQ(JoinPath("", "song.wav"), "song.wav");
    EXPECT_EQ(JoinPath(FolderOf("/song.wav"), "out.flac"), "/out.flac");
    EXPECT_EQ(JoinPath(FolderOf("/a.b/c.wav"), "c.flac"), "/a.b/c.flac");
}

TEST(PathUtils, RemoveTrailingSeparatorsKeepsTheRoot) {
    EXPECT_EQ(RemoveTrailingSeparators("/music//"), "/music");
    EXPECT_EQ(RemoveTrailingSeparators("/music"), "/music");
    EXPECT_EQ(RemoveTrailingSeparators("/"), "/");
    EXPECT_EQ(RemoveTrailingSeparators("///"), "/");
    EXPECT_EQ(RemoveTrailingSeparators(""), "");
    EXPECT_EQ(RemoveTrailingSeparators("rel/"), "rel");
}

TEST(PathUtils, LowerCaseTouchesOnlyAsciiLetters) {
    EXPECT_EQ(LowerCaseAscii(".MP3"), ".mp3");
    EXPECT_EQ(LowerCaseAscii("\xC3\x89t\xC3\xA9.WAV"), "\xC3\x89t\xC3\xA9.wav"); // "Été" kept
    EXPECT_EQ(LowerCaseAscii("@[`{"), "@[`{"); // neighbours of the letter ranges
}

} // namespace
