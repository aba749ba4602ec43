// The APEv2 reader on hand-built bytes: tags at the end or before an ID3v1 block, several values,
// APEv1 text, and broken sizes, counts and keys that must be refused without reading past the
// bytes given; the writer against the tag WavPack's own wvtag writes.
#include "tags/apev2/apev2_reader.h"
#include "tests/support/ape_tag_bytes.h"
#include "tests/support/tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Audio bytes, then header, items and footer.
std::vector<uint8_t> File(const std::vector<ApeItemSpec>& items, uint32_t version = 2000) {
    std::vector<uint8_t> file(300, 0xAB);
    const std::vector<uint8_t> tag = ApeTagBytes(items, {.version = version});
    file.insert(file.end(), tag.begin(), tag.end());
    return file;
}

std::optional<tags::ApeTag> Read(const std::vector<uint8_t>& file) {
    const size_t tailSize = std::min<size_t>(file.size(), 160);
    const std::span<const uint8_t> all(file);
    const auto place = tags::FindApeTag(all.last(tailSize), file.size());
    if (!place) return std::nullopt;
    if (place->itemsOffset + place->itemsSize > file.size()) {
        ADD_FAILURE() << "a place outside the file";
        return std::nullopt;
    }
    auto items =
        tags::ParseApeItems(all.subspan(place->itemsOffset, place->itemsSize), place->itemCount);
    if (!items) return std::nullopt;
    return tags::ApeTag{place->version, std::move(*items)};
}

} // namespace

TEST(ApeV2Reader, FindsTheTagAtTheEndOrBeforeAnId3v1Block) {
    const std::vector<ApeItemSpec> items = {{"Title", "Ωμέγα"},
                                            {"Artist", std::string("A\0B", 3)},
                                            {"Cover Art (Front)", "\x01\x02", 2}};
    std::vector<uint8_t> file = File(items);
    for (int withId3 = 0; withId3 < 2; ++withId3) {
        SCOPED_TRACE(withId3);
        const auto tag = Read(file);
        ASSERT_TRUE(tag);
        EXPECT_EQ(tag->version, 2000u);
        ASSERT_EQ(tag->items.size(), 3u);
        EXPECT_EQ(tag->items[0].key, "Title");
        EXPECT_EQ(tags::ApeTextValue(tag->items[0], 2000), "Ωμέγα");
        EXPECT_EQ(tags::ApeTextValue(tag->items[1], 2000), "A; B");
        EXPECT_FALSE(tag->items[2].IsText());
        std::vector<uint8_t> id3(128, 0);
        id3[0] = 'T', id3[1] = 'A', id3[2] = 'G';
        file.insert(file.end(), id3.begin(), id3.end());
    }
    // APEv1 text is single-byte.
    const auto v1 = Read(File({{"Title", "Caf\xE9"}}, 1000));
    ASSERT_TRUE(v1);
    EXPECT_EQ(tags::ApeTextValue(v1->items[0], 1000), "Café");
}

TEST(ApeV2Reader, BrokenTagsAreRefused) {
    const std::vector<uint8_t> good = File({{"Title", "x"}, {"Year", "2001"}});
    ASSERT_TRUE(Read(good));
    const size_t footer = good.size() - 32;
    const auto with32 = [&](size_t at, uint32_t v) {
        std::vector<uint8_t> file = good;
        for (int k = 0; k < 4; ++k)
            file[at + k] = uint8_t(v >> (8 * k));
        return file;
    };
    EXPECT_FALSE(Read(with32(footer + 12, 0xFFFFFFF0u))) << "size beyond the file";
    EXPECT_FALSE(Read(with32(footer + 12, good.size() + 1))) << "size beyond the file";
    EXPECT_FALSE(Read(with32(footer + 12, 16))) << "size smaller than the footer";
    EXPECT_FALSE(Read(with32(footer + 16, 0x7FFFFFFFu))) << "count beyond the bytes";
    EXPECT_FALSE(Read(with32(footer + 16, 3))) << "one item more than there is";
    EXPECT_FALSE(Read(with32(footer + 8, 3000))) << "unknown version";
    EXPECT_FALSE(Read(with32(footer + 20, 0xA0000000u))) << "a header where the footer is";
    // An item whose value runs past the items.
    const size_t firstItem = 300 + 32;
    EXPECT_FALSE(Read(with32(firstItem, 1000)));
    // A key with a control character, and a key without its terminator.
    std::vector<uint8_t> badKey = good;
    badKey[firstItem + 8] = 0x01;
    EXPECT_FALSE(Read(badKey));
    EXPECT_FALSE(tags::ParseApeItems(std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0, 'K', 'e'}, 1));
    // Too few bytes for any footer.
    const std::vector<uint8_t> tiny(20, 0);
    EXPECT_FALSE(tags::FindApeTag(tiny, tiny.size()));
    EXPECT_FALSE(tags::ParseApeFooter(std::vector<uint8_t>(31, 'A')));
    EXPECT_FALSE(tags::FindApeTag(good, good.size() - 1)) << "tail larger than the file";
}

// wvtag writes the same items in the same order: its tag must be ours byte for byte, and ours
// must read back with the items we gave.
TEST(ApeV2Writer, WritesTheTagWavPacksWvtagWrites) {
    if (!HaveTool("sox") || !HaveTool("wavpack") || !HaveTool("wvtag"))
        GTEST_SKIP() << "needs sox, wavpack and wvtag";
    TempDir dir;
    const std::string wav = dir / "a.wav", wv = dir / "a.wv", cover = dir / "c.png";
    const std::string image("\x89PNG\0\x01", 6);
    WriteFileBytes(cover, std::vector<uint8_t>(image.begin(), image.end()));
    ASSERT_EQ(RunCommand("sox -n -r 8000 -c 1 -b 16 " + Quote(wav) + " synth 0.05 sine 300").status,
              0);
    ASSERT_EQ(RunCommand("wavpack -q -y " + Quote(wav) + " -o " + Quote(wv)).status, 0);
    ASSERT_EQ(RunCommand("wvtag -q -w 'Title=Ωμέγα' -w 'Year=2001' --write-binary-tag "
                         "'Cover Art (Front)=@" +
                         cover + "' " + Quote(wv))
                  .status,
              0);

    const std::vector<tags::ApeItem> items = {
        {"Title", "Ωμέγα", 0},
        {"Year", "2001", 0},
        // wvtag stores a binary item as the file's name, a zero byte and the file's bytes.
        {"Cover Art (Front)", "Cover Art (Front).png" + std::string(1, '\0') + image, 2}};
    const std::vector<uint8_t> ours = tags::BuildApeTag(items);
    const std::vector<uint8_t> file = ReadFileBytes(wv);
    ASSERT_GT(file.size(), ours.size());
    EXPECT_TRUE(std::equal(ours.begin(), ours.end(), file.end() - std::ptrdiff_t(ours.size())));

    const auto read = Read(file);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->items.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(read->items[i].key, items[i].key);
        EXPECT_EQ(read->items[i].value, items[i].value);
        EXPECT_EQ(read->items[i].flags, items[i].flags);
    }
}

// Monkey's Audio reads the items up to the first broken one; the strict reader refuses them all
// (each cut copy in an allocation of its own, so that an over-read shows under ASan).
TEST(ApeV2Reader, ReadingUntilBrokenKeepsTheItemsBeforeTheDamage) {
    const std::vector<uint8_t> body =
        ApeItemsBytes({{"Title", "x"}, {"Year", "2001"}, {"Genre", "Jazz"}});
    const auto whole = tags::ParseApeItemsUntilBroken(body, 3);
    ASSERT_EQ(whole.size(), 3u);
    EXPECT_EQ(whole[2].value, "Jazz");
    EXPECT_EQ(tags::ParseApeItemsUntilBroken(body, 1000).size(), 3u) << "a count beyond the bytes";
    for (size_t length = 0; length < body.size(); ++length) {
        const std::vector<uint8_t> cut(body.begin(), body.begin() + std::ptrdiff_t(length));
        const auto some = tags::ParseApeItemsUntilBroken(cut, 3);
        ASSERT_LT(some.size(), 3u) << "cut to " << length;
        for (size_t i = 0; i < some.size(); ++i)
            EXPECT_EQ(some[i].value, whole[i].value);
        EXPECT_FALSE(tags::ParseApeItems(cut, 3)) << "cut to " << length;
    }
    // An empty or unprintable key passes here, not in the strict reader.
    const std::vector<uint8_t> oddKeys = ApeItemsBytes({{"", "x"}, {"K\x01y", "y"}});
    EXPECT_EQ(tags::ParseApeItemsUntilBroken(oddKeys, 2).size(), 2u);
    EXPECT_FALSE(tags::ParseApeItems(oddKeys, 2));
}
