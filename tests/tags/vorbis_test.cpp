// Vorbis comments: the comment block layout and the FLAC and Ogg Vorbis reading and writing rules.
// Blocks exchanged with flac and metaflac inside real files: the FLAC source's and sink's tests.
#include "tag_test_support.h"
#include "tags/common_tags.h"
#include "tags/vorbis/vorbis_comments.h"
#include "tags/vorbis/vorbis_tags.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using tagtest::Append;
using tagtest::Bytes;

void PutLength(Bytes& out, uint32_t value) {
    Append(out, {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)});
}

TEST(VorbisTags, KeysPropertiesAndSortedOrder) {
    TVorbisTags tags;
    const std::vector<std::string> sorted = {"album",
                                             "artist",
                                             "date",
                                             "discnumber",
                                             "genre",
                                             "replaygain_album_gain",
                                             "replaygain_album_peak",
                                             "replaygain_reference_loudness",
                                             "replaygain_track_gain",
                                             "replaygain_track_peak",
                                             "title",
                                             "tracknumber"};
    std::vector<std::string> names;
    for (int index = 0; index < tags.FieldCount(); ++index)
        names.push_back(tags.FieldName(index));
    EXPECT_EQ(names, sorted);

    tags.SetTrack("3");
    tags.SetDisc("1");
    tags.SetReference("89 dB");
    tags.SetTrackGain("-1.5 dB");
    tags.SetAlbumPeak("0.9");
    EXPECT_EQ(tags.GetField("tracknumber"), TTagValue(u"3"));
    EXPECT_EQ(tags.GetField("discnumber"), TTagValue(u"1"));
    EXPECT_EQ(tags.GetField("replaygain_reference_loudness"), TTagValue(u"89 dB"));
    EXPECT_EQ(tags.GetField("replaygain_track_gain"), TTagValue(u"-1.5 dB"));
    EXPECT_EQ(tags.GetField("replaygain_album_peak"), TTagValue(u"0.9"));
    EXPECT_TRUE(tags.GetField("replaygain_album_gain").IsNull());
}

TEST(VorbisCommentBlock, FlacBlockHasTheVendorAndTheFixedOrder) {
    TVorbisTags tags;
    tags.SetAlbum("Alb");
    tags.SetTitle("T\xC3\xAF");
    tags.SetAlbumPeak("0.5");
    tags.SetGenre(""); // empty values are not written
    const Bytes block = tags::BuildFlacCommentBlock(tags);

    Bytes expected;
    PutLength(expected, 13);
    Append(expected, "VENDOR=Hacked");
    PutLength(expected, 3);
    for (std::string_view comment : {"title=T\xC3\xAF", "album=Alb", "replaygain_album_peak=0.5"}) {
        PutLength(expected, static_cast<uint32_t>(comment.size()));
        Append(expected, comment);
    }
    EXPECT_EQ(block, expected);
}

TEST(VorbisCommentBlock, OggCommentsFollowTheSortedOrder) {
    TVorbisTags tags;
    tags.SetTrack("2");
    tags.SetArtist("B\xC3\xA4nd");
    tags.SetDate("");
    tags.SetTrackGain("1 dB");
    const auto comments = tags::OggComments(tags);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"artist", "B\xC3\xA4nd"}, {"replaygain_track_gain", "1 dB"}, {"tracknumber", "2"}};
    EXPECT_EQ(comments, expected);
}

TEST(VorbisCommentBlock, ParseRoundTripsAndIgnoresTheFramingByte) {
    const tags::VorbisCommentBlock original{"vendor", {"A=1", "", "B=\xE2\x98\x83"}};
    Bytes bytes = tags::BuildVorbisCommentBlock(original);
    bytes.push_back(1);
    const auto parsed = tags::ParseVorbisCommentBlock(bytes);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Vendor, "vendor");
    EXPECT_EQ(parsed->Comments, original.Comments);
}

TEST(VorbisCommentBlock, LengthsRunningPastTheBufferAreRejected) {
    const Bytes good = tags::BuildVorbisCommentBlock({"v", {"title=x"}});
    for (size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(tags::ParseVorbisCommentBlock(std::span(good).first(cut))) << cut;

    Bytes hugeVendor;
    PutLength(hugeVendor, 0xFFFFFFFF);
    Append(hugeVendor, "v");
    EXPECT_FALSE(tags::ParseVorbisCommentBlock(hugeVendor));

    Bytes hugeCount;
    PutLength(hugeCount, 0);
    PutLength(hugeCount, 0x7FFFFFFF);
    PutLength(hugeCount, 0);
    EXPECT_FALSE(tags::ParseVorbisCommentBlock(hugeCount));

    Bytes hugeComment;
    PutLength(hugeComment, 0);
    PutLength(hugeComment, 1);
    PutLength(hugeComment, 0xFFFFFFF0);
    Append(hugeComment, "title=x");
    EXPECT_FALSE(tags::ParseVorbisCommentBlock(hugeComment));
}

TEST(VorbisCommentBlock, MutatedBlocksParseOnlyWhatTheyHold) {
    const Bytes original = tags::BuildVorbisCommentBlock({"vendor", {"title=a", "artist=b", "x"}});
    std::mt19937 random(5);
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = original;
        for (int flips = 0; flips < 3; ++flips)
            bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
        bytes.resize(random() % (bytes.size() + 1));
        const auto parsed = tags::ParseVorbisCommentBlock(bytes);
        if (!parsed) continue;
        // Whatever was accepted must be exactly the bytes it came from.
        const Bytes rebuilt = tags::BuildVorbisCommentBlock(*parsed);
        ASSERT_LE(rebuilt.size(), bytes.size());
        ASSERT_TRUE(std::equal(rebuilt.begin(), rebuilt.end(), bytes.begin()));
    }
}

TEST(VorbisRead, FlacRuleFirstMatchWinsAndAbsentNamesBecomeEmpty) {
    const std::vector<std::string> comments = {"TITLE=A",
                                               "title=B",
                                               "replaygain_track_gain=-3 dB",
                                               "artist",
                                               "Album=x=y",
                                               "GENRE=R\xC3\xB6"
                                               "ck"};
    TVorbisTags tags;
    tags::ReadFlacComments(comments, tags);
    EXPECT_EQ(tags.Title(), "A");
    EXPECT_EQ(tags.TrackGain(), "-3 dB");
    EXPECT_EQ(tags.Album(), "x=y");
    EXPECT_EQ(tags.GetField("genre"), TTagValue(u"R\u00F6ck"));
    // "artist" without "=" names nothing, so the artist is absent.
    EXPECT_EQ(tags.GetField("artist"), TTagValue(u""));
    EXPECT_EQ(tags.GetField("replaygain_album_peak"), TTagValue(u""));
}

TEST(VorbisRead, OggRuleLastMatchWinsOnSixNamesOnly) {
    const std::vector<std::string> comments = {
        "TITLE=A",   "title=B",  "replaygain_track_gain=-3 dB", "ArTiSt=Who", "artist",
        "DATE=2001", "bad\xFF=z"};
    TVorbisTags tags;
    tags.SetDisc("from an earlier file");
    tags::ReadOggComments(comments, tags);
    EXPECT_EQ(tags.Title(), "B");
    EXPECT_EQ(tags.Artist(), "Who");
    EXPECT_EQ(tags.Date(), "2001");
    EXPECT_TRUE(tags.GetField("replaygain_track_gain").IsNull());
    EXPECT_TRUE(tags.GetField("album").IsNull());
    EXPECT_TRUE(tags.GetField("discnumber").IsNull());
}

TEST(VorbisRead, CommonTagsTakeTheirSixFields) {
    TVorbisTags vorbis;
    tags::ReadFlacComments(std::vector<std::string>{"title=T", "artist=A", "album=L", "genre=G",
                                                    "date=1999", "tracknumber=4"},
                           vorbis);
    TCommonTags common;
    tags::VorbisToCommon(vorbis, common);
    EXPECT_EQ(common.GetField("Title"), TTagValue(u"T"));
    EXPECT_EQ(common.GetField("Artist"), TTagValue(u"A"));
    EXPECT_EQ(common.GetField("Album"), TTagValue(u"L"));
    EXPECT_EQ(common.GetField("Genre"), TTagValue(u"G"));
    EXPECT_EQ(common.GetField("Year"), TTagValue("1999"));
    EXPECT_EQ(common.GetField("Track"), TTagValue("4"));
}

} // namespace
