// Tags written by TagFileSimple: FFmpeg lists the APEv2 items, a second tagging replaces the
// first, UTF-8 text survives, older ID3v1 tags give way, and the audio is untouched.
#include "platform/macdll/ape_tag.h"
#include "tests/platform/macdll/macdll_test_support.h"

#include <cstring>
#include <map>

using namespace apetest;

namespace {

// format_tags as key → value, keys in upper case as FFmpeg may change their case.
std::map<std::string, std::string> FfprobeTags(const std::string& path) {
    const CommandResult result = RunCommand(
        "ffprobe -v error -show_entries format_tags -of default=noprint_wrappers=1 " + Quote(path));
    EXPECT_EQ(result.status, 0);
    std::map<std::string, std::string> tags;
    for (const std::string& line : Lines(result.output)) {
        const std::size_t eq = line.find('=');
        if (line.rfind("TAG:", 0) != 0 || eq == std::string::npos) continue;
        std::string key = line.substr(4, eq - 4);
        for (char& c : key)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        tags[key] = line.substr(eq + 1);
    }
    return tags;
}

class MacDllTags : public ::testing::Test {
protected:
    void SetUp() override {
        pcm_.channels = 2;
        for (int i = 0; i < 20000; ++i) {
            PutSample(pcm_, (i * 13) % 4000 - 2000);
            PutSample(pcm_, (i * 29) % 6000 - 3000);
        }
        ASSERT_EQ(EncodeFile(path_, pcm_, {}), 0);
        untagged_ = ReadFileBytes(path_);
    }
    void ExpectAudioIntact() {
        Decoder decoder(path_);
        ASSERT_NE(decoder.Handle(), 0);
        std::vector<std::uint8_t> decoded;
        EXPECT_EQ(decoder.ReadAll(decoded), 0);
        EXPECT_TRUE(decoded == pcm_.bytes);
        const std::vector<std::uint8_t> now = ReadFileBytes(path_);
        EXPECT_TRUE(std::equal(untagged_.begin(), untagged_.end(), now.begin()))
            << "the audio part of the file changed";
    }

    TempDir dir_;
    std::string path_ = dir_ / "tagged.ape";
    Pcm pcm_;
    std::vector<std::uint8_t> untagged_;
};

TEST_F(MacDllTags, TagFileSimpleWritesItemsThatFfmpegReadsAndReplacesThemNextTime) {
    if (!HaveTool("ffprobe")) GTEST_SKIP() << "needs ffprobe";
    ASSERT_EQ(TagFileSimple(path_.c_str(), "Sigur Rós", "Ágætis byrjun", "Svefn-g-englar", "first",
                            "Post-Rock", "1999", "2/10", 1, 0),
              0);
    auto tags = FfprobeTags(path_);
    EXPECT_EQ(tags["ARTIST"], "Sigur Rós");
    EXPECT_EQ(tags["ALBUM"], "Ágætis byrjun");
    EXPECT_EQ(tags["TITLE"], "Svefn-g-englar");
    EXPECT_EQ(tags["COMMENT"], "first");
    EXPECT_EQ(tags["GENRE"], "Post-Rock");
    EXPECT_EQ(tags["YEAR"], "1999");
    EXPECT_EQ(tags["TRACK"], "2/10");
    ExpectAudioIntact();

    // Again, with non-Latin text and empty values: one tag, the old items gone.
    ASSERT_EQ(TagFileSimple(path_.c_str(), "坂本龍一", "", "Merry Christmas Mr. Лоуренс", "", "",
                            "1983", "", 1, 0),
              0);
    tags = FfprobeTags(path_);
    EXPECT_EQ(tags["ARTIST"], "坂本龍一");
    EXPECT_EQ(tags["TITLE"], "Merry Christmas Mr. Лоуренс");
    EXPECT_EQ(tags["YEAR"], "1983");
    EXPECT_EQ(tags.count("ALBUM"), 0u);
    EXPECT_EQ(tags.count("COMMENT"), 0u);
    EXPECT_EQ(tags.count("TRACK"), 0u);
    const std::vector<std::uint8_t> file = ReadFileBytes(path_);
    std::string text(file.begin(), file.end());
    std::size_t headers = 0;
    for (std::size_t at = text.find("APETAGEX"); at != std::string::npos;
         at = text.find("APETAGEX", at + 1))
        ++headers;
    EXPECT_EQ(headers, 2u) << "one tag: its header and its footer";
    ExpectAudioIntact();

    // The record: Latin-1 where it can, '?' where it cannot.
    std::array<unsigned char, 128> record{};
    ASSERT_EQ(GetID3Tag(path_.c_str(), record.data()), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + APE_ID3_ARTIST), 4),
              "????");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + APE_ID3_YEAR), 4), "1983");
}

TEST_F(MacDllTags, KeepingOtherItemsAndGivingTheRecord) {
    ASSERT_EQ(TagFileSimple(path_.c_str(), "A", "B", "C", "D", "Rock", "2001", "7", 1, 0), 0);
    ASSERT_EQ(TagFileSimple(path_.c_str(), "Björk", nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, 0, 0),
              0);
    std::array<unsigned char, 128> record{};
    ASSERT_EQ(GetID3Tag(path_.c_str(), record.data()), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + APE_ID3_ARTIST)),
              "Bj\xf6rk")
        << "ISO-8859-1 in the record";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + APE_ID3_ALBUM)), "B");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + APE_ID3_TITLE)), "C");
    EXPECT_EQ(record[APE_ID3_TRACK], 7);
    EXPECT_EQ(record[APE_ID3_GENRE], 17) << "Rock";
    ExpectAudioIntact();
}

TEST_F(MacDllTags, AnId3v1TagGivesWayToTheApeTag) {
    // An ID3v1.1 tag as other taggers append it.
    macdll::Id3Record id3{'T', 'A', 'G'};
    std::memcpy(id3.data() + 3, "Old title", 9);
    id3[126] = 4;
    id3[127] = 255;
    std::vector<std::uint8_t> file = untagged_;
    file.insert(file.end(), id3.begin(), id3.end());
    WriteFileBytes(path_, file);
    std::array<unsigned char, 128> record{};
    ASSERT_EQ(GetID3Tag(path_.c_str(), record.data()), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + APE_ID3_TITLE)),
              "Old title");
    EXPECT_EQ(record[APE_ID3_TRACK], 4);
    ExpectAudioIntact();

    ASSERT_EQ(TagFileSimple(path_.c_str(), "", "", "New title", "", "", "", "", 1, 0), 0);
    const std::vector<std::uint8_t> tagged = ReadFileBytes(path_);
    ASSERT_GT(tagged.size(), 128u);
    EXPECT_NE(std::string(tagged.end() - 128, tagged.end() - 125), "TAG")
        << "FFmpeg finds an APEv2 tag only at the very end";
    ASSERT_EQ(GetID3Tag(path_.c_str(), record.data()), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + APE_ID3_TITLE)),
              "New title");
    const bool ffprobe = HaveTool("ffprobe");
    if (ffprobe) {
        EXPECT_EQ(FfprobeTags(path_)["TITLE"], "New title");
    }
    ExpectAudioIntact();

    EXPECT_EQ(RemoveTag(path_.c_str()), 0);
    EXPECT_TRUE(ReadFileBytes(path_) == untagged_);
    EXPECT_EQ(GetID3Tag(path_.c_str(), record.data()), 1);
    if (!ffprobe) GTEST_SKIP() << "needs ffprobe: FFmpeg's reading of the new title not checked";
}

// Tag blocks built by hand with lying sizes and counts are read without going out of bounds.
TEST(MacDllTagParser, MalformedItemsAndFootersAreRejectedSafely) {
    std::vector<std::uint8_t> tag = macdll::BuildApeTag({{"Title", "x", 0}, {"Artist", "y", 0}});
    std::vector<std::uint8_t> body(tag.begin() + 32, tag.end() - 32);
    EXPECT_EQ(macdll::ParseApeItems(body, 2).size(), 2u);
    EXPECT_EQ(macdll::ParseApeItems(body, 1000).size(), 2u);
    std::vector<std::uint8_t> lying = body;
    lying[0] = 0xFF; // first value claims 255 bytes
    EXPECT_TRUE(macdll::ParseApeItems(lying, 2).empty());
    lying = body;
    std::fill(lying.begin() + 8, lying.end(), 'k'); // key never ends
    EXPECT_TRUE(macdll::ParseApeItems(lying, 2).empty());

    std::vector<std::uint8_t> footer(tag.end() - 32, tag.end());
    footer[12] = 0xFF;
    footer[13] = 0xFF; // size larger than the file
    EXPECT_FALSE(macdll::FindTags(footer, footer.size()).hasApe);
    EXPECT_TRUE(macdll::FindTags(tag, tag.size()).hasApe);
    std::vector<std::uint8_t> header(tag.begin(), tag.begin() + 32);
    EXPECT_FALSE(macdll::FindTags(header, header.size()).hasApe) << "a header is no footer";
}

} // namespace
