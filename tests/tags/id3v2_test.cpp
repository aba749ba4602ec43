// ID3v2: headers and frames built by hand, tags written by lame and ffmpeg read back, and the
// tags we insert in front of a file judged byte by byte and by ffprobe.
#include "tag_test_support.h"
#include "tags/id3v2/id3v2_frames.h"
#include "tags/id3v2/id3v2_tags.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>

namespace {

using tagtest::Append;
using tagtest::Bytes;
using tagtest::TempFile;

// A size as ID3v2 headers (and v2.4 frames) store it: four bytes of seven bits each, the most
// significant first, so no byte of it can look like a frame sync.
Bytes SevenBitSize(uint32_t size) {
    return {uint8_t(size >> 21 & 0x7F), uint8_t(size >> 14 & 0x7F), uint8_t(size >> 7 & 0x7F),
            uint8_t(size & 0x7F)};
}

// A v2.3 or v2.4 frame: identifier, size (plain or seven bits a byte), two flag bytes, body.
Bytes Frame(std::string_view id, const Bytes& body, uint8_t version = 3) {
    Bytes frame = tagtest::ToBytes(id);
    const auto size = static_cast<uint32_t>(body.size());
    const Bytes sizeBytes = version == 4 ? SevenBitSize(size)
                                         : Bytes{uint8_t(size >> 24), uint8_t(size >> 16),
                                                 uint8_t(size >> 8), uint8_t(size)};
    frame.insert(frame.end(), sizeBytes.begin(), sizeBytes.end());
    Append(frame, {0, 0});
    frame.insert(frame.end(), body.begin(), body.end());
    return frame;
}

// A v2.2 frame: three-character identifier and a three-byte size.
Bytes ShortFrame(std::string_view id, const Bytes& body) {
    Bytes frame = tagtest::ToBytes(id);
    const auto size = static_cast<uint32_t>(body.size());
    Append(frame, {uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size)});
    frame.insert(frame.end(), body.begin(), body.end());
    return frame;
}

Bytes TextBody(uint8_t encoding, std::string_view text) {
    Bytes body{encoding};
    Append(body, text);
    return body;
}

// Header, frames, then padding zero bytes; the header size counts frames and padding.
Bytes Tag(uint8_t version, const Bytes& frames, size_t padding = 0, uint8_t flags = 0) {
    Bytes tag = tagtest::ToBytes("ID3");
    Append(tag, {version, 0, flags});
    const Bytes size = SevenBitSize(static_cast<uint32_t>(frames.size() + padding));
    tag.insert(tag.end(), size.begin(), size.end());
    tag.insert(tag.end(), frames.begin(), frames.end());
    tag.resize(tag.size() + padding, 0);
    return tag;
}

TEST(Id3v2Header, AcceptsTheThreeVersionsAndRejectsDamage) {
    EXPECT_TRUE(tags::ParseId3v2Header(Tag(2, {})));
    EXPECT_TRUE(tags::ParseId3v2Header(Tag(3, {})));
    EXPECT_TRUE(tags::ParseId3v2Header(Tag(4, {}, 0, 0x10)));

    EXPECT_FALSE(tags::ParseId3v2Header(Tag(5, {})));
    EXPECT_FALSE(tags::ParseId3v2Header(Tag(3, {}, 0, 0x10))); // undefined in v2.3
    EXPECT_FALSE(tags::ParseId3v2Header(Tag(2, {}, 0, 0x20)));
    Bytes tag = Tag(3, {});
    tag[4] = 0xFF;
    EXPECT_FALSE(tags::ParseId3v2Header(tag));
    tag = Tag(3, {});
    tag[8] = 0x80;
    EXPECT_FALSE(tags::ParseId3v2Header(tag));
    tag = Tag(3, {});
    tag[0] = 'i';
    EXPECT_FALSE(tags::ParseId3v2Header(tag));
    tag = Tag(3, {});
    tag.pop_back();
    EXPECT_FALSE(tags::ParseId3v2Header(tag));
}

TEST(Id3v2Header, SynchsafeIntegers) {
    const auto encoded = [](uint32_t value) {
        const auto bytes = tags::EncodeSynchsafe(value);
        return Bytes(bytes.begin(), bytes.end());
    };
    EXPECT_EQ(encoded(200), (Bytes{0x00, 0x00, 0x01, 0x48}));        // 1 * 128 + 72
    EXPECT_EQ(encoded(0x0FFFFFFF), (Bytes{0x7F, 0x7F, 0x7F, 0x7F})); // the largest: 28 bits
    EXPECT_EQ(tags::kMaxSynchsafe, 0x0FFFFFFFu);
    EXPECT_EQ(encoded(0x00204081), (Bytes{0x01, 0x01, 0x01, 0x01})); // one bit in each byte
    const uint8_t bytes[4] = {0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(tags::DecodeSynchsafe(bytes), (1u << 21) | (2u << 14) | (3u << 7) | 4u);
    const auto header = tags::ParseId3v2Header(Tag(4, {}, 300, 0x10));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->Size, 300u);
    EXPECT_EQ(header->TotalLength(), 320);
}

TEST(Id3v2Read, TextEncodingsOfVersion23) {
    Bytes frames;
    Bytes title{1, 0xFF, 0xFE, 'T', 0, 0xEF, 0, 0, 0, 'x', 0}; // "Tï", then text after the end
    Append(frames, {});
    frames = Frame("TIT2", title);
    Bytes artist = TextBody(0, "Caf\xE9");
    artist.push_back(0);
    Append(artist, "second string");
    const Bytes more[] = {
        Frame("TPE1", artist),
        Frame("TALB", TextBody(3, "\xE2\x98\x83 Snow")),
        Frame("TCON", Bytes{1, 0xFE, 0xFF, 0x00, 'R', 0x00, 'o'}), // big-endian mark
        Frame("TRCK", Bytes{2, 0x00, '4'}),
        Frame("TYER", TextBody(0, "1999")),
        Frame("COMM", TextBody(0, "engcomment")),
        Frame("TXXX", TextBody(0, "ignored")),
        Frame("TCOM", TextBody(9, "unknown encoding")),
    };
    for (const Bytes& frame : more)
        frames.insert(frames.end(), frame.begin(), frame.end());

    TId3v2Tags tags;
    ASSERT_TRUE(tags.ReadFromTag(Tag(3, frames, 20)));
    EXPECT_TRUE(tags.LongFrameIds());
    EXPECT_EQ(tags.GetField("TIT2"), TTagValue(u"T\u00EF"));
    EXPECT_EQ(tags.GetField("TPE1"), TTagValue("Caf\xC3\xA9"));
    EXPECT_EQ(tags.Album(), "\xE2\x98\x83 Snow");
    EXPECT_EQ(tags.Genre(), "Ro");
    EXPECT_EQ(tags.Track(), "4");
    EXPECT_EQ(tags.Year(), "1999");
    EXPECT_TRUE(tags.GetField("COMM").IsNull());
    EXPECT_TRUE(tags.GetField("TCOM").IsNull());
}

TEST(Id3v2Read, Version22UsesTheShortKeys) {
    const Bytes frames = ShortFrame("TT2", TextBody(0, "Old"));
    TId3v2Tags tags;
    ASSERT_TRUE(tags.ReadFromTag(Tag(2, frames, 4)));
    EXPECT_FALSE(tags.LongFrameIds());
    EXPECT_EQ(tags.Title(), "Old");
    EXPECT_TRUE(tags.GetField("TIT2").IsNull());
    tags.SetLongFrameIds(true);
    EXPECT_EQ(tags.Title(), "");
}

TEST(Id3v2Read, Version24SizesAreSynchsafe) {
    const std::string title(200, 'a');
    Bytes frames = Frame("TIT2", TextBody(0, title), 4);
    const Bytes artist = Frame("TPE1", TextBody(0, "After"), 4);
    frames.insert(frames.end(), artist.begin(), artist.end());
    TId3v2Tags tags;
    ASSERT_TRUE(tags.ReadFromTag(Tag(4, frames)));
    EXPECT_EQ(tags.Title(), title);
    EXPECT_EQ(tags.Artist(), "After");
}

TEST(Id3v2Read, DamagedFramesEndTheLoopAndKeepEarlierFields) {
    Bytes frames = Frame("TIT2", TextBody(0, "Kept"));
    Append(frames, {'T', 'P', 'E', '1', 0xFF, 0xFF, 0xFF, 0xF0, 0, 0, 0, 'x'}); // size far too big
    const Bytes after = Frame("TALB", TextBody(0, "Lost"));
    frames.insert(frames.end(), after.begin(), after.end());
    TId3v2Tags tags;
    ASSERT_TRUE(tags.ReadFromTag(Tag(3, frames)));
    EXPECT_EQ(tags.Title(), "Kept");
    EXPECT_TRUE(tags.GetField("TPE1").IsNull());
    EXPECT_TRUE(tags.GetField("TALB").IsNull());

    // A frame header cut by the end of the tag, and a body one byte longer than the tag.
    frames = Frame("TIT2", TextBody(0, "Kept"));
    Append(frames, {'T', 'P', 'E'});
    ASSERT_TRUE(tags.ReadFromTag(Tag(3, frames)));
    EXPECT_EQ(tags.Title(), "Kept");
    Bytes cut = Frame("TIT2", TextBody(0, "Cut"));
    cut[7] += 1;
    ASSERT_TRUE(tags.ReadFromTag(Tag(3, cut)));
    EXPECT_TRUE(tags.GetField("TIT2").IsNull());
}

TEST(Id3v2Read, EmptyFramesAreSkippedAndPaddingEndsTheLoop) {
    Bytes frames = Frame("TPE1", {});
    const Bytes title = Frame("TIT2", TextBody(0, "After empty"));
    frames.insert(frames.end(), title.begin(), title.end());
    TId3v2Tags tags;
    ASSERT_TRUE(tags.ReadFromTag(Tag(3, frames, 30)));
    EXPECT_EQ(tags.Title(), "After empty");

    ASSERT_TRUE(tags.ReadFromTag(Tag(3, {}, 64)));
    EXPECT_TRUE(tags.Empty());
}

TEST(Id3v2Read, TagCutShortYieldsNoFields) {
    Bytes tag = Tag(3, Frame("TIT2", TextBody(0, "Whole")), 10);
    tag.pop_back();
    TId3v2Tags tags;
    EXPECT_TRUE(tags.ReadFromTag(tag));
    EXPECT_TRUE(tags.GetField("TIT2").IsNull());
}

TEST(Id3v2Read, MutatedTagsNeverYieldFramesOutsideTheTag) {
    Bytes frames;
    for (const Bytes& frame : {Frame("TIT2", TextBody(1, "\xFF\xFEt\0i\0")),
                               Frame("TPE1", TextBody(3, "a")), Frame("TALB", TextBody(0, "b"))})
        frames.insert(frames.end(), frame.begin(), frame.end());
    const Bytes original = Tag(3, frames, 8);
    std::mt19937 random(11);
    for (int round = 0; round < 3000; ++round) {
        Bytes tag = original;
        for (int flips = 0; flips < 4; ++flips)
            tag[random() % tag.size()] = static_cast<uint8_t>(random());
        tag.resize(random() % (tag.size() + 1));
        const auto header = tags::ParseId3v2Header(tag);
        TId3v2Tags tags;
        EXPECT_EQ(tags.ReadFromTag(tag), header.has_value());
        if (!header) continue;
        for (const tags::Id3v2Frame& frame : tags::ParseId3v2Frames(tag, *header)) {
            ASSERT_GE(frame.Body.data(), tag.data() + tags::kId3v2HeaderSize);
            ASSERT_LE(frame.Body.data() + frame.Body.size(), tag.data() + tag.size());
        }
    }
}

TEST(Id3v2File, ProbeKeepsThePositionAndReadMovesPastTheTag) {
    TempFile file;
    Bytes content = tagtest::ToBytes("lead-");
    const Bytes tag = Tag(3, Frame("TIT2", TextBody(0, "Title")), 7);
    content.insert(content.end(), tag.begin(), tag.end());
    Append(content, "audio");
    file.SetContent(content);

    TId3v2Tags tags;
    EXPECT_FALSE(tags.ProbeFile(file.Fd())); // position 0 holds no tag
    lseek(file.Fd(), 5, SEEK_SET);
    EXPECT_TRUE(tags.ProbeFile(file.Fd()));
    EXPECT_EQ(file.Position(), 5);
    ASSERT_TRUE(tags.ReadFromFile(file.Fd()));
    EXPECT_EQ(tags.Title(), "Title");
    EXPECT_EQ(file.Position(), static_cast<off_t>(5 + tag.size()));

    lseek(file.Fd(), 0, SEEK_SET);
    EXPECT_FALSE(tags.ReadFromFile(file.Fd()));
    EXPECT_TRUE(tags.GetField("TIT2").IsNull());
    EXPECT_EQ(file.Position(), 0);
    EXPECT_FALSE(tags.ProbeFile(-1));
    EXPECT_FALSE(tags.ReadFromFile(-1));
}

TEST(Id3v2File, FooterIsSkippedWithTheTag) {
    TempFile file;
    Bytes content = Tag(4, Frame("TIT2", TextBody(0, "F"), 4), 5, 0x10);
    const size_t size = content.size() - 10;
    Append(content, "3DI");
    content.resize(content.size() + 7, 0);
    Append(content, "audio");
    file.SetContent(content);

    TId3v2Tags tags;
    ASSERT_TRUE(tags.ReadFromFile(file.Fd()));
    EXPECT_EQ(tags.Title(), "F");
    EXPECT_EQ(file.Position(), static_cast<off_t>(size + 20));
}

TEST(Id3v2File, ShortFileStillMovesPastTheAnnouncedTag) {
    TempFile file;
    Bytes content = Tag(3, Frame("TIT2", TextBody(0, "x")), 1000);
    content.resize(40);
    file.SetContent(content);
    TId3v2Tags tags;
    ASSERT_TRUE(tags.ReadFromFile(file.Fd()));
    EXPECT_TRUE(tags.GetField("TIT2").IsNull());
    EXPECT_EQ(file.Position(), 10 + 12 + 1000);
}

// One title frame, padded to a multiple of 16 (16 more when the frames end on one); a frame of
// 200 bytes states its size synchsafe.
TEST(Id3v2Write, FramesArePaddedToSixteenAndSizedSynchsafe) {
    TId3v2Tags tags;
    tags.SetTitle("Hi");
    const auto tag = tags.BuildTag(true);
    ASSERT_TRUE(tag);
    Bytes expected = tagtest::ToBytes("ID3");
    Append(expected, {4, 0, 0, 0, 0, 0, 22});
    Append(expected, "TIT2");
    Append(expected, {0, 0, 0, 3, 0, 0, 3});
    Append(expected, "Hi");
    expected.resize(32, 0); // 23 bytes of tag, 9 of padding
    EXPECT_EQ(*tag, expected);

    tags.SetTitle(std::string(11, 'x')); // 10 + 10 + 1 + 11 = 32 bytes before padding
    const auto boundary = tags.BuildTag(true);
    ASSERT_TRUE(boundary);
    EXPECT_EQ(boundary->size(), 48u);
    EXPECT_TRUE(
        std::all_of(boundary->begin() + 32, boundary->end(), [](uint8_t b) { return b == 0; }));

    tags.SetTitle(std::string(199, 'y'));
    const auto large = tags.BuildTag(false);
    ASSERT_TRUE(large);
    EXPECT_EQ(Bytes(large->begin() + 14, large->begin() + 18), (Bytes{0x00, 0x00, 0x01, 0x48}));
    EXPECT_EQ(large->size() % 16, 0u);
}

TEST(Id3v2Write, EncodingsOrderAndSkippedFields) {
    TId3v2Tags tags;
    tags.SetTitle("Caf\xC3\xA9 \xE2\x98\x83");
    tags.SetArtist("Art");
    tags.SetTrack("5");
    tags.SetComment("never written");
    tags.SetLink("http://x");
    tags.SetField("TALB", TTagValue(7)); // an integer is written as its decimal text

    const auto unicode = tags.BuildTag(true);
    ASSERT_TRUE(unicode);
    Bytes frames = Frame("TALB", TextBody(0, "7"), 4);
    for (const Bytes& frame :
         {Frame("TPE1", TextBody(3, "Art"), 4),
          Frame("TIT2", TextBody(3, "Caf\xC3\xA9 \xE2\x98\x83"), 4),
          Frame("TRCK", TextBody(0, "5"), 4), Frame("WXXX", TextBody(3, "http://x"), 4)})
        frames.insert(frames.end(), frame.begin(), frame.end());
    EXPECT_EQ(Bytes(unicode->begin() + 10, unicode->begin() + 10 + long(frames.size())), frames);

    const auto narrow = tags.BuildTag(false);
    ASSERT_TRUE(narrow);
    const Bytes latin1Title = Frame("TIT2", TextBody(0, "Caf\xE9 ?"), 4);
    EXPECT_NE(std::search(narrow->begin(), narrow->end(), latin1Title.begin(), latin1Title.end()),
              narrow->end());
    TId3v2Tags back;
    ASSERT_TRUE(back.ReadFromTag(*narrow));
    for (int index = 0; index < back.FieldCount(); ++index) {
        const TTagValue value = back.GetField(back.FieldName(index));
        EXPECT_TRUE(value.IsNull() || value.IsString()) << back.FieldName(index);
    }
    EXPECT_EQ(back.Title(), "Caf\xC3\xA9 ?");
}

TEST(Id3v2Write, InsertsInFrontOfTheContentByteForByte) {
    TempFile file;
    Bytes content(2'500'000);
    std::mt19937 random(7);
    for (uint8_t& byte : content)
        byte = static_cast<uint8_t>(random());
    file.SetContent(content);
    lseek(file.Fd(), 123, SEEK_SET);

    TId3v2Tags tags;
    tags.SetTitle("T\xC3\xAF");
    tags.SetYear("2001");
    ASSERT_TRUE(tags.WriteToFile(file.Fd(), true));
    EXPECT_EQ(file.Position(), 123);

    Bytes expected = *tags.BuildTag(true);
    expected.insert(expected.end(), content.begin(), content.end());
    EXPECT_TRUE(file.Content() == expected);

    lseek(file.Fd(), 0, SEEK_SET);
    TId3v2Tags back;
    ASSERT_TRUE(back.ReadFromFile(file.Fd()));
    EXPECT_EQ(back.Title(), "T\xC3\xAF");
    EXPECT_EQ(back.Year(), "2001");
    EXPECT_EQ(file.Position(), static_cast<off_t>(expected.size() - content.size()));
}

TEST(Id3v2Write, EmptyFileGetsJustTheTag) {
    TempFile file;
    TId3v2Tags tags;
    tags.SetArtist("Only");
    ASSERT_TRUE(tags.WriteToFile(file.Fd(), false));
    EXPECT_EQ(file.Content(), *tags.BuildTag(false));
}

TEST(Id3v2Write, RefusesDescriptorsItCannotWriteSafely) {
    TempFile file;
    file.SetContent(tagtest::ToBytes("content"));
    TId3v2Tags tags;
    tags.SetTitle("x");
    EXPECT_FALSE(tags.WriteToFile(-1, true));
    const int appendFd = open(file.Path().c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(appendFd, 0);
    EXPECT_FALSE(tags.WriteToFile(appendFd, true));
    close(appendFd);
    const int readOnlyFd = open(file.Path().c_str(), O_RDONLY);
    EXPECT_FALSE(tags.WriteToFile(readOnlyFd, true));
    close(readOnlyFd);
    EXPECT_EQ(file.Content(), tagtest::ToBytes("content"));
}

TEST(Id3v2Tools, ReadsTagsWrittenByLameAndFfmpeg) {
    if (!tagtest::HaveTool("lame") || !tagtest::HaveTool("sox") || !tagtest::HaveTool("ffmpeg"))
        GTEST_SKIP() << "lame/sox/ffmpeg missing";
    TempFile file("lame.mp3");
    const std::string wav = tagtest::MakeWav(file.Dir());
    ASSERT_EQ(tagtest::RunCommand("lame --silent --add-id3v2 --tt 'T\xC3\xADtulo' --ta Artista "
                                  "--tl Disco --ty 2005 --tn 3 --tg Jazz " +
                                  tagtest::Quote(wav) + " " + tagtest::Quote(file.Path()))
                  .status,
              0);
    file.Reopen();
    TId3v2Tags tags;
    ASSERT_TRUE(tags.ReadFromFile(file.Fd()));
    EXPECT_EQ(tags.Title(), "T\xC3\xADtulo");
    EXPECT_EQ(tags.Artist(), "Artista");
    EXPECT_EQ(tags.Album(), "Disco");
    EXPECT_EQ(tags.Year(), "2005");
    EXPECT_EQ(tags.Track(), "3");
    EXPECT_EQ(tags.Genre(), "Jazz");

    for (const char* version : {"3", "4"}) {
        const std::string mp3 = (file.Dir() / (std::string("ffmpeg") + version + ".mp3")).string();
        ASSERT_EQ(
            tagtest::RunCommand("ffmpeg -v error -y -i " + tagtest::Quote(wav) +
                                " -metadata 'title=Sn\xC3\xB8 \xE2\x98\x83' -metadata artist=Band "
                                "-metadata track=9 -id3v2_version " +
                                version + " " + tagtest::Quote(mp3))
                .status,
            0);
        const int fd = open(mp3.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        TId3v2Tags ffmpegTags;
        EXPECT_TRUE(ffmpegTags.ReadFromFile(fd)) << version;
        close(fd);
        EXPECT_EQ(ffmpegTags.Title(), "Sn\xC3\xB8 \xE2\x98\x83") << version;
        EXPECT_EQ(ffmpegTags.Artist(), "Band") << version;
        EXPECT_EQ(ffmpegTags.Track(), "9") << version;
    }
}

TEST(Id3v2Tools, FfprobeReadsTheTagWeInsert) {
    if (!tagtest::HaveTool("lame") || !tagtest::HaveTool("sox") || !tagtest::HaveTool("ffprobe"))
        GTEST_SKIP() << "lame/sox/ffprobe missing";
    TempFile file("plain.mp3");
    ASSERT_NO_THROW(tagtest::MakePlainMp3(file.Dir(), file.Path()));
    file.Reopen();

    for (const bool unicode : {true, false}) {
        TempFile copy("copy.mp3");
        copy.SetContent(file.Content());
        TId3v2Tags tags;
        tags.SetTitle("Caf\xC3\xA9");
        tags.SetArtist("Somebody");
        tags.SetAlbum("Record");
        tags.SetGenre("Ambient");
        tags.SetTrack("4/10");
        tags.SetComposer("Writer");
        tags.SetYear("1999");
        ASSERT_TRUE(tags.WriteToFile(copy.Fd(), unicode));
        const std::pair<const char*, const char*> expected[] = {
            {"title", "Caf\xC3\xA9"}, {"artist", "Somebody"}, {"album", "Record"},
            {"genre", "Ambient"},     {"track", "4/10"},      {"composer", "Writer"},
            {"date", "1999"}};
        bool agreed = true;
        for (const auto& [key, value] : expected) {
            EXPECT_EQ(tagtest::ProbeTag(copy.Path(), key), value) << key << ", unicode " << unicode;
            agreed = agreed && tagtest::ProbeTag(copy.Path(), key) == value;
        }
        // When ffprobe disagrees, the file it read is kept for a look.
        if (!agreed) {
            const std::string kept = tagtest::KeepFailedInput(copy.Path(), "id3v2_ffprobe");
            ADD_FAILURE() << "kept as " << kept << "; ffprobe says:\n"
                          << tagtest::RunCommand("ffprobe -v error -show_format " +
                                                 tagtest::Quote(kept) + " 2>&1")
                                 .output;
        }
    }
}

} // namespace
