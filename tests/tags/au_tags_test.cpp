// The tag model: text conversions, the value table, value kinds and copying between families.
#include "tag_test_support.h"
#include "tags/apev2/apev2_tags.h"
#include "tags/au_tags.h"
#include "tags/common_tags.h"
#include "tags/id3v1/id3v1_tags.h"
#include "tags/id3v2/id3v2_tags.h"
#include "tags/text_encoding.h"
#include "tags/vorbis/vorbis_tags.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using tags::Latin1ToUtf8;
using tags::Utf16ToUtf8;
using tags::Utf8ToLatin1;
using tags::Utf8ToUtf16;

// A family of our own, so that registration itself can be exercised.
class TTestTags : public TAuTags {
public:
    using TAuTags::AddField;
};

// UTF-8 and UTF-16 both ways with surrogate pairs, malformed UTF-8 and unpaired surrogates as
// replacement characters, and Latin-1 both ways ('?' for what it cannot hold).
TEST(TextEncoding, ConversionsBothWaysAndBrokenInput) {
    const std::string text = "A\xC3\xA9\xE2\x98\x83\xF0\x9F\x8E\xB5"; // A é ☃ 🎵
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide, (std::u16string{u'A', 0x00E9, 0x2603, 0xD83C, 0xDFB5}));
    EXPECT_EQ(Utf16ToUtf8(wide), text);

    EXPECT_EQ(Utf8ToUtf16("a\x80z"), u"a\uFFFDz");                 // lone continuation byte
    EXPECT_EQ(Utf8ToUtf16("a\xE2\x82"), u"a\uFFFD");               // cut off at the end
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");           // overlong '/'
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD"); // above U+10FFFF
    EXPECT_EQ(Utf8ToUtf16("\xE2\x98z"), u"\uFFFDz"); // a good byte after a broken sequence stays

    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}), "a\xEF\xBF\xBD"
                                                               "b");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");

    EXPECT_EQ(Latin1ToUtf8("caf\xE9\xFF"), "caf\xC3\xA9\xC3\xBF");
    EXPECT_EQ(Utf8ToLatin1("caf\xC3\xA9\xC3\xBF"), "caf\xE9\xFF");
    EXPECT_EQ(Utf8ToLatin1("x\xE2\x98\x83y"), "x?y");
    EXPECT_EQ(Utf8ToLatin1("\xF0\x9F\x8E\xB5"), "?");
    EXPECT_EQ(Utf8ToLatin1("\xFF"), "?");
}

TEST(TextEncoding, ArbitraryBytesDecodeToTextThatRoundTrips) {
    std::mt19937 random(3);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 24, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        const std::u16string wide = Utf8ToUtf16(bytes);
        const std::string utf8 = Utf16ToUtf8(wide);
        // Once decoded, the text is valid and survives another round unchanged.
        ASSERT_EQ(Utf8ToUtf16(utf8), wide);
        ASSERT_EQ(Utf16ToUtf8(Utf8ToUtf16(utf8)), utf8);
        ASSERT_LE(Utf8ToLatin1(bytes).size(), bytes.size());
    }
}

TEST(TagValue, EqualityNeedsTheSameKindAndValue) {
    EXPECT_EQ(TTagValue(uint8_t{5}), TTagValue(int64_t{5}));
    EXPECT_EQ(TTagValue(uint16_t{65535}), TTagValue(65535));
    EXPECT_NE(TTagValue(1), TTagValue("1"));
    EXPECT_NE(TTagValue("1"), TTagValue(u"1"));
    EXPECT_NE(TTagValue(), TTagValue(""));
    EXPECT_NE(TTagValue(""), TTagValue(u""));
    EXPECT_EQ(TTagValue(), TTagValue());
    EXPECT_EQ(TTagValue(u"x").GetKind(), TTagValue::Kind::WideString);
}

TEST(TagModel, TableIsSortedWithoutCaseAndKeepsTheFirstRegistration) {
    TTestTags tags;
    EXPECT_TRUE(tags.AddField("beta", TTagValue(1)));
    EXPECT_TRUE(tags.AddField("Alpha", TTagValue()));
    EXPECT_TRUE(tags.AddField("BETA", TTagValue(2)));
    EXPECT_TRUE(tags.AddField("gamma_x", TTagValue()));
    EXPECT_FALSE(tags.AddField("", TTagValue(3)));
    ASSERT_EQ(tags.FieldCount(), 3);
    EXPECT_EQ(tags.FieldName(0), "Alpha");
    EXPECT_EQ(tags.FieldName(1), "beta");
    EXPECT_EQ(tags.FieldName(2), "gamma_x");
    EXPECT_EQ(tags.FieldName(3), "");
    EXPECT_EQ(tags.FieldName(-1), "");
    EXPECT_EQ(tags.GetField("Beta"), TTagValue(1));
    EXPECT_TRUE(tags.Empty());
    EXPECT_FALSE(tags.Changed());
}

TEST(TagModel, SetFieldAndClearTrackEmptyAndChanged) {
    TCommonTags tags;
    EXPECT_TRUE(tags.Empty());
    EXPECT_FALSE(tags.Changed());

    tags.SetField("Title", TTagValue(std::string())); // already the stored value
    tags.SetField("Nonexistent", TTagValue("x"));
    EXPECT_TRUE(tags.Empty());
    EXPECT_FALSE(tags.Changed());
    EXPECT_TRUE(tags.GetField("Nonexistent").IsNull());

    tags.SetField("TITLE", TTagValue("Song"));
    EXPECT_EQ(tags.Title(), "Song");
    EXPECT_FALSE(tags.Empty());
    EXPECT_TRUE(tags.Changed());

    tags.Clear();
    EXPECT_TRUE(tags.Empty());
    EXPECT_TRUE(tags.Changed());
    EXPECT_TRUE(tags.GetField("title").IsNull());
    // Clearing an object that was empty changes it too.
    TVorbisTags fresh;
    ASSERT_FALSE(fresh.Changed());
    fresh.Clear();
    EXPECT_TRUE(fresh.Changed());
    EXPECT_TRUE(fresh.Empty());
}

TEST(TagModel, ConversionsBetweenKinds) {
    TTestTags tags;
    for (const char* name : {"n", "s", "w", "bad", "z", "neg"})
        tags.AddField(name, TTagValue());
    tags.SetField("n", TTagValue(7));
    tags.SetField("s", TTagValue("2005"));
    tags.SetField("w", TTagValue(u"42"));
    tags.SetField("bad", TTagValue("20a5"));
    tags.SetField("neg", TTagValue("-3"));

    EXPECT_EQ(tags.AsInteger("n"), 7);
    EXPECT_EQ(tags.AsInteger("s"), 2005);
    EXPECT_EQ(tags.AsInteger("w"), 42);
    EXPECT_EQ(tags.AsInteger("bad"), 0);
    EXPECT_EQ(tags.AsInteger("neg"), -3);
    EXPECT_EQ(tags.AsInteger("z"), 0);
    EXPECT_EQ(tags.AsInteger("missing"), 0);

    EXPECT_EQ(tags.AsString("n"), "7");
    EXPECT_EQ(tags.AsString("w"), "42");
    EXPECT_EQ(tags.AsString("z"), "");
    EXPECT_EQ(tags.AsWideString("n"), u"7");
    EXPECT_EQ(tags.AsWideString("s"), u"2005");
    EXPECT_EQ(tags.AsWideString("missing"), u"");

    tags.SetField("w", TTagValue(u"\u00E9t\u00E9"));
    EXPECT_EQ(tags.AsString("w"), "\xC3\xA9t\xC3\xA9");
}

TEST(TagModel, BaseFileOperationsOnlyLookAtTheDescriptor) {
    tagtest::TempFile file;
    TCommonTags tags;
    tags.SetTitle("kept");
    EXPECT_FALSE(tags.ProbeFile(-1));
    EXPECT_FALSE(tags.WriteToFile(-1));
    EXPECT_FALSE(tags.ReadFromFile(-1));
    EXPECT_EQ(tags.Title(), "kept");

    EXPECT_TRUE(tags.ProbeFile(file.Fd()));
    EXPECT_TRUE(tags.WriteToFile(file.Fd()));
    EXPECT_TRUE(file.Content().empty());
    EXPECT_TRUE(tags.ReadFromFile(file.Fd()));
    EXPECT_TRUE(tags.GetField("Title").IsNull());
    EXPECT_TRUE(tags.Empty());
}

TEST(CommonTags, PropertiesKeepTheirValueKinds) {
    TCommonTags tags;
    EXPECT_EQ(tags.FieldCount(), 6);
    for (int index = 0; index < tags.FieldCount(); ++index)
        EXPECT_EQ(tags.GetField(tags.FieldName(index)), TTagValue(std::string()));

    tags.SetTitle("T\xC3\xAF");
    tags.SetYear("1999");
    EXPECT_EQ(tags.GetField("Title"), TTagValue(u"T\u00EF"));
    EXPECT_EQ(tags.GetField("Year"), TTagValue("1999"));
    EXPECT_EQ(tags.Title(), "T\xC3\xAF");
    EXPECT_EQ(tags.Year(), "1999");
}

// A common tag set with all six fields, as a source fills it.
class TFilledCommonTags : public TCommonTags {
public:
    TFilledCommonTags() {
        SetTitle("Title");
        SetArtist("Artist");
        SetAlbum("Album");
        SetGenre("Jazz");
        SetYear("2005");
        SetTrack("7");
    }
};

// Common tags into each family: APEv2 takes all six, ID3v1 converts year, track and genre (a
// genre name is no number), Vorbis leaves date and track null, ID3v2 takes nothing; an object
// assigned to itself keeps its values.
TEST(AssignBetweenFamilies, EachFamilyTakesWhatItHolds) {
    TAPEv2Tags ape;
    ape.SetComment("dropped by the copy");
    ape.Assign(TFilledCommonTags());
    EXPECT_EQ(ape.Title(), "Title");
    EXPECT_EQ(ape.Artist(), "Artist");
    EXPECT_EQ(ape.Album(), "Album");
    EXPECT_EQ(ape.Genre(), "Jazz");
    EXPECT_EQ(ape.Year(), "2005");
    EXPECT_EQ(ape.Track(), "7");
    EXPECT_TRUE(ape.GetField("Comment").IsNull());
    EXPECT_FALSE(ape.Empty());

    TId3v1Tags id3;
    id3.Assign(TFilledCommonTags());
    EXPECT_EQ(id3.Title(), "Title");
    EXPECT_EQ(id3.Artist(), "Artist");
    EXPECT_EQ(id3.Album(), "Album");
    EXPECT_EQ(id3.Year(), 2005);
    EXPECT_EQ(id3.Track(), 7);
    EXPECT_EQ(id3.GenreId(), 0);

    TFilledCommonTags numeric;
    numeric.SetGenre("29");
    id3.Assign(numeric);
    EXPECT_EQ(id3.GenreId(), 29);
    EXPECT_EQ(id3.Genre(), "Jazz+Funk");

    TVorbisTags vorbis;
    TFilledCommonTags().AssignTo(vorbis);
    EXPECT_EQ(vorbis.Title(), "Title");
    EXPECT_EQ(vorbis.Artist(), "Artist");
    EXPECT_EQ(vorbis.Album(), "Album");
    EXPECT_EQ(vorbis.Genre(), "Jazz");
    EXPECT_TRUE(vorbis.GetField("date").IsNull());
    EXPECT_TRUE(vorbis.GetField("tracknumber").IsNull());

    TId3v2Tags id3v2;
    id3v2.SetTitle("old");
    id3v2.Assign(TFilledCommonTags());
    for (int index = 0; index < id3v2.FieldCount(); ++index)
        EXPECT_TRUE(id3v2.GetField(id3v2.FieldName(index)).IsNull()) << id3v2.FieldName(index);
    EXPECT_TRUE(id3v2.Empty());

    TFilledCommonTags common;
    common.Assign(common);
    EXPECT_EQ(common.Title(), "Title");
    EXPECT_EQ(common.Track(), "7");
}

} // namespace
