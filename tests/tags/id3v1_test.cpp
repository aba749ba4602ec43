// ID3v1: the 128-byte block parsed from hand-built bytes and from files tagged by lame, and the
// blocks we write read back by ffprobe.
#include "tag_test_support.h"
#include "tags/id3v1/id3v1_block.h"
#include "tags/id3v1/id3v1_genres.h"
#include "tags/id3v1/id3v1_tags.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using tagtest::Bytes;
using tagtest::TempFile;

// A block with "TAG" and the given text fields; every other byte zero.
Bytes Block(std::string_view title = "", std::string_view comment = "", uint8_t genre = 0) {
    Bytes block(128, 0);
    std::copy_n("TAG", 3, block.begin());
    std::copy(title.begin(), title.end(), block.begin() + 3);
    std::copy(comment.begin(), comment.end(), block.begin() + 97);
    block[127] = genre;
    return block;
}

TEST(Id3v1Tags, NewObjectDefaults) {
    TId3v1Tags tags;
    EXPECT_EQ(tags.GenreId(), 12);
    EXPECT_EQ(tags.Genre(), "Other");
    EXPECT_EQ(tags.Title(), "");
    EXPECT_EQ(tags.Artist(), "");
    EXPECT_EQ(tags.Album(), "");
    EXPECT_EQ(tags.Comment(), "");
    EXPECT_EQ(tags.Year(), 0);
    EXPECT_EQ(tags.Track(), 0);
    EXPECT_TRUE(tags.Empty());
    EXPECT_EQ(tags.FieldCount(), 7);
}

TEST(Id3v1Tags, GenreTableAndNameLookup) {
    ASSERT_EQ(tags::kId3v1Genres.size(), 148u);
    EXPECT_EQ(tags::kId3v1Genres[0], "Blues");
    EXPECT_EQ(tags::kId3v1Genres[79], "Hard Rock");
    EXPECT_EQ(tags::kId3v1Genres[80], "Folk");
    EXPECT_EQ(tags::kId3v1Genres[133], "Negerpunk");
    EXPECT_EQ(tags::kId3v1Genres[147], "Synthpop");

    TId3v1Tags tags;
    tags.SetGenre("  jazz+funk \t");
    EXPECT_EQ(tags.GenreId(), 29);
    tags.SetGenre("No Such Genre");
    EXPECT_EQ(tags.GenreId(), 29);
    tags.SetGenre("DRUM & BASS");
    EXPECT_EQ(tags.Genre(), "Drum & Bass");
    tags.SetGenreId(200);
    EXPECT_EQ(tags.GetField("genre"), TTagValue(200)); // stored unchanged
    EXPECT_EQ(tags.GenreId(), 12);
}

TEST(Id3v1Tags, ArtistReadsOnlyStringValues) {
    TId3v1Tags tags;
    tags.SetField("artist", TTagValue(5));
    EXPECT_EQ(tags.AsString("artist"), "5");
    EXPECT_EQ(tags.Artist(), "");
    tags.SetField("artist", TTagValue(u"Wide"));
    EXPECT_EQ(tags.Artist(), "Wide");
}

TEST(Id3v1Block, TextFieldsAreTrimmedAndConvertedFromLatin1) {
    Bytes block = Block("  Caf\xE9 ", "note");
    std::copy_n("Artist\0old", 10, block.begin() + 33); // left-overs after a terminator
    std::copy_n("Album                         ", 30, block.begin() + 63);
    std::copy_n(" 99 ", 4, block.begin() + 93);
    TId3v1Tags tags;
    ASSERT_TRUE(tags.ReadFromBlock(block));
    EXPECT_EQ(tags.Title(), "Caf\xC3\xA9");
    EXPECT_EQ(tags.Artist(), "Artist");
    EXPECT_EQ(tags.Album(), "Album");
    EXPECT_EQ(tags.Year(), 99);
    EXPECT_EQ(tags.Comment(), "note");
    EXPECT_EQ(tags.Track(), 0);
    EXPECT_EQ(tags.GenreId(), 0);
    EXPECT_TRUE(tags.GetField("title").IsString());

    std::copy_n("19x9", 4, block.begin() + 93);
    ASSERT_TRUE(tags.ReadFromBlock(block));
    EXPECT_EQ(tags.Year(), 0);
}

TEST(Id3v1Block, TrackNumberOfVersion11) {
    const std::string comment30 = "abcdefghijklmnopqrstuvwxyz0123";
    TId3v1Tags tags;

    Bytes block = Block("", comment30.substr(0, 28));
    block[125] = 0;
    block[126] = 5;
    ASSERT_TRUE(tags.ReadFromBlock(block));
    EXPECT_EQ(tags.Track(), 5);
    EXPECT_EQ(tags.Comment(), comment30.substr(0, 28));

    block[126] = 0; // zero, zero: plain ID3v1 and no track
    ASSERT_TRUE(tags.ReadFromBlock(block));
    EXPECT_EQ(tags.Track(), 0);
    EXPECT_EQ(tags.Comment(), comment30.substr(0, 28));

    block = Block("", comment30);
    ASSERT_TRUE(tags.ReadFromBlock(block));
    EXPECT_EQ(tags.Track(), 0);
    EXPECT_EQ(tags.Comment(), comment30);

    block[125] = ' ';
    block[126] = 'A';
    ASSERT_TRUE(tags.ReadFromBlock(block));
    EXPECT_EQ(tags.Track(), 65);
    EXPECT_EQ(tags.Comment(), comment30.substr(0, 28));
}

TEST(Id3v1Block, GenreOutsideTheTableReadsAsOther) {
    TId3v1Tags tags;
    ASSERT_TRUE(tags.ReadFromBlock(Block("t", "", 200)));
    EXPECT_EQ(tags.GenreId(), 12);
    EXPECT_EQ(tags.Genre(), "Other");
}

TEST(Id3v1Block, RejectsWrongMagicAndSize) {
    TId3v1Tags tags;
    Bytes block = Block("t");
    block[0] = 't';
    EXPECT_FALSE(tags.ReadFromBlock(block));
    EXPECT_EQ(tags.GenreId(), 0); // cleared: the null genre reads as Blues
    block = Block("t");
    block.pop_back();
    EXPECT_FALSE(tags.ReadFromBlock(block));
}

TEST(Id3v1Block, BuildLaysOutEveryField) {
    TId3v1Tags tags;
    tags.SetTitle("A title that is longer than thirty bytes");
    tags.SetArtist("Caf\xC3\xA9 \xE2\x98\x83");
    tags.SetAlbum("Album");
    tags.SetYear(1987);
    tags.SetComment("abcdefghijklmnopqrstuvwxyz0123");
    tags.SetTrack(3);
    tags.SetGenreId(17);
    const auto block = tags.BuildBlock();

    Bytes expected = Block("A title that is longer than th", "abcdefghijklmnopqrstuvwxyz01", 17);
    std::copy_n("Caf\xE9 ?", 6, expected.begin() + 33);
    std::copy_n("Album", 5, expected.begin() + 63);
    std::copy_n("1987", 4, expected.begin() + 93);
    expected[126] = 3;
    EXPECT_EQ(Bytes(block.begin(), block.end()), expected);
}

TEST(Id3v1Block, BuildWithoutTrackKeepsThe30ByteCommentAndWritesYearZero) {
    TId3v1Tags tags;
    tags.SetComment("abcdefghijklmnopqrstuvwxyz0123456");
    const auto block = tags.BuildBlock();
    EXPECT_EQ(std::string(block.begin() + 97, block.begin() + 127),
              "abcdefghijklmnopqrstuvwxyz0123");
    EXPECT_EQ(std::string(block.begin() + 93, block.begin() + 97), std::string("0\0\0\0", 4));
    EXPECT_EQ(block[127], 12);

    TId3v1Tags back;
    ASSERT_TRUE(back.ReadFromBlock(block));
    EXPECT_EQ(back.Comment(), "abcdefghijklmnopqrstuvwxyz0123");
    EXPECT_EQ(back.Track(), 0);
}

TEST(Id3v1File, ProbeAndReadUseTheLastBlockAndMindThePosition) {
    TempFile file;
    Bytes content(1000, 0x55);
    const Bytes block = Block("Tail", "", 8);
    content.insert(content.end(), block.begin(), block.end());
    file.SetContent(content);
    lseek(file.Fd(), 17, SEEK_SET);

    TId3v1Tags tags;
    EXPECT_TRUE(tags.ProbeFile(file.Fd()));
    EXPECT_EQ(file.Position(), 17);
    ASSERT_TRUE(tags.ReadFromFile(file.Fd()));
    EXPECT_EQ(tags.Title(), "Tail");
    EXPECT_EQ(tags.Genre(), "Jazz");
    EXPECT_EQ(file.Position(), static_cast<off_t>(content.size()));

    EXPECT_FALSE(tags.ProbeFile(-1));
    EXPECT_FALSE(tags.ReadFromFile(-1));
    EXPECT_FALSE(tags.WriteToFile(-1));
}

TEST(Id3v1File, ShortOrUntaggedFilesHaveNoBlock) {
    TempFile file;
    Bytes shortFile = Block("x");
    shortFile.pop_back();
    file.SetContent(shortFile);
    TId3v1Tags tags;
    EXPECT_FALSE(tags.ProbeFile(file.Fd()));
    tags.SetTitle("old");
    EXPECT_FALSE(tags.ReadFromFile(file.Fd()));
    EXPECT_TRUE(tags.GetField("title").IsNull());
    EXPECT_EQ(tags.GenreId(), 0);

    file.SetContent(Bytes(300, 0));
    EXPECT_FALSE(tags.ProbeFile(file.Fd()));
    EXPECT_FALSE(tags.ReadFromFile(file.Fd()));
}

TEST(Id3v1File, WritingTwiceAppendsTwoBlocksAndTheLastOneIsRead) {
    TempFile file;
    file.SetContent(tagtest::ToBytes("audio"));
    TId3v1Tags tags;
    tags.SetTitle("First");
    ASSERT_TRUE(tags.WriteToFile(file.Fd()));
    tags.SetTitle("Second");
    ASSERT_TRUE(tags.WriteToFile(file.Fd()));
    EXPECT_EQ(file.Content().size(), 5u + 256u);
    EXPECT_EQ(file.Position(), 5 + 256);

    TId3v1Tags back;
    ASSERT_TRUE(back.ReadFromFile(file.Fd()));
    EXPECT_EQ(back.Title(), "Second");
}

TEST(Id3v1Tools, ReadsTheBlockThatLameWrites) {
    if (!tagtest::HaveTool("lame") || !tagtest::HaveTool("sox")) GTEST_SKIP() << "lame/sox missing";
    TempFile file("tagged.mp3");
    const std::string wav = tagtest::MakeWav(file.Dir());
    const std::string command = "lame --silent --tt 'T\xC3\xADtulo' --ta Artista --tl Disco "
                                "--ty 2005 --tn 3 --tg Jazz --tc Nota " +
                                tagtest::Quote(wav) + " " + tagtest::Quote(file.Path());
    ASSERT_EQ(tagtest::RunCommand(command).status, 0);
    file.Reopen();

    TId3v1Tags tags;
    ASSERT_TRUE(tags.ProbeFile(file.Fd()));
    ASSERT_TRUE(tags.ReadFromFile(file.Fd()));
    EXPECT_EQ(tags.Title(), "T\xC3\xADtulo");
    EXPECT_EQ(tags.Artist(), "Artista");
    EXPECT_EQ(tags.Album(), "Disco");
    EXPECT_EQ(tags.Comment(), "Nota");
    EXPECT_EQ(tags.Year(), 2005);
    EXPECT_EQ(tags.Track(), 3);
    EXPECT_EQ(tags.Genre(), "Jazz");
}

TEST(Id3v1Tools, FfprobeReadsTheBlockWeWrite) {
    if (!tagtest::HaveTool("lame") || !tagtest::HaveTool("sox") || !tagtest::HaveTool("ffprobe"))
        GTEST_SKIP() << "lame/sox/ffprobe missing";
    TempFile file("plain.mp3");
    ASSERT_NO_THROW(tagtest::MakePlainMp3(file.Dir(), file.Path()));
    file.Reopen();

    // ASCII only: ffmpeg takes ID3v1 bytes for UTF-8, so it is no judge of Latin-1 text.
    TId3v1Tags tags;
    tags.SetTitle("Cafe");
    tags.SetArtist("Somebody");
    tags.SetAlbum("Record");
    tags.SetYear(1999);
    tags.SetTrack(4);
    tags.SetGenre("Rock");
    ASSERT_TRUE(tags.WriteToFile(file.Fd()));

    EXPECT_EQ(tagtest::ProbeTag(file.Path(), "title"), "Cafe");
    EXPECT_EQ(tagtest::ProbeTag(file.Path(), "artist"), "Somebody");
    EXPECT_EQ(tagtest::ProbeTag(file.Path(), "album"), "Record");
    EXPECT_EQ(tagtest::ProbeTag(file.Path(), "date"), "1999");
    EXPECT_EQ(tagtest::ProbeTag(file.Path(), "track"), "4");
    EXPECT_EQ(tagtest::ProbeTag(file.Path(), "genre"), "Rock");
}

} // namespace
