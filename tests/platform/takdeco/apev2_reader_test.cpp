// The APEv2 reader of our tak_deco_lib on hand-built bytes: tags with and without a header,
// before an ID3v1 block or at the very end, and every kind of broken size refused.
#include "platform/takdeco/apev2_reader.h"
#include "tests/support/ape_tag_bytes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class MemorySource : public ffaudio::ByteSource {
public:
    explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    int64_t Read(std::span<uint8_t> buffer) override {
        const size_t count =
            std::min(buffer.size(), bytes_.size() - std::min(position_, bytes_.size()));
        if (count > 0) std::memcpy(buffer.data(), bytes_.data() + position_, count);
        position_ += count;
        return int64_t(count);
    }
    bool SeekTo(int64_t position) override {
        position_ = size_t(position);
        return position >= 0;
    }
    int64_t Size() override { return int64_t(bytes_.size()); }
    bool Seekable() const override { return true; }

private:
    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
};

// A whole tag; size and count may be overridden to build broken ones.
std::vector<uint8_t> TagBytes(const std::vector<ApeItemSpec>& items, bool header,
                              uint32_t version = 2000, std::optional<uint32_t> size = {},
                              std::optional<uint32_t> count = {}) {
    return ApeTagBytes(items, {header, version, size, count});
}

// One item's bytes written by hand: a stated value size that need not match the value.
std::vector<uint8_t> Body(uint32_t valueSize, const std::string& key, bool terminated,
                          const std::string& value) {
    std::vector<uint8_t> out;
    AppendLe32(out, valueSize);
    AppendLe32(out, 0);
    out.insert(out.end(), key.begin(), key.end());
    if (terminated) out.push_back(0);
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

std::vector<uint8_t> TagFromBody(std::vector<uint8_t> body, uint32_t count) {
    const std::vector<uint8_t> footer = ApeBlockBytes(2000, uint32_t(body.size() + 32), count, 0);
    body.insert(body.end(), footer.begin(), footer.end());
    return body;
}

std::vector<uint8_t> Id3v1() {
    std::vector<uint8_t> block(128, 0);
    std::memcpy(block.data(), "TAGTitle", 8);
    return block;
}

apev2::ReadResult ReadFrom(std::vector<uint8_t> audio, const std::vector<uint8_t>& tag,
                           const std::vector<uint8_t>& after = {}) {
    audio.insert(audio.end(), tag.begin(), tag.end());
    audio.insert(audio.end(), after.begin(), after.end());
    MemorySource source(std::move(audio));
    return apev2::ReadTag(source);
}

std::string Text(const tags::ApeItem& item) {
    return {item.value.begin(), item.value.end()};
}

const std::vector<ApeItemSpec> kItems = {
    {"Artist", "The Artist"},
    {"Title", std::string("One\0Two", 7)},
    {"Cover Art (Front)", std::string("\x89PNG\0\x01", 6), 1u << 1},
};

TEST(Apev2Reader, FindsTagsWithOrWithoutHeaderAndBeforeAnId3v1Block) {
    const std::vector<uint8_t> audio(1000, 0x55);
    struct Case {
        bool header;
        bool id3v1;
    };
    for (const Case c :
         {Case{true, false}, Case{false, false}, Case{true, true}, Case{false, true}}) {
        SCOPED_TRACE(std::string(c.header ? "header" : "no header") + (c.id3v1 ? ", ID3v1" : ""));
        const std::vector<uint8_t> tag = TagBytes(kItems, c.header);
        const apev2::ReadResult read =
            ReadFrom(audio, tag, c.id3v1 ? Id3v1() : std::vector<uint8_t>{});
        ASSERT_EQ(read.status, apev2::Status::Valid);
        EXPECT_EQ(read.tag.position, 1000);
        EXPECT_EQ(read.tag.totalSize, tag.size());
        EXPECT_EQ(read.tag.footer.version, 2000u);
        ASSERT_EQ(read.tag.items.size(), 3u);
        EXPECT_EQ(read.tag.items[0].key, "Artist");
        EXPECT_EQ(Text(read.tag.items[0]), "The Artist");
        EXPECT_EQ(read.tag.items[0].Type(), 0);
        EXPECT_EQ(Text(read.tag.items[1]), std::string("One\0Two", 7));
        EXPECT_EQ(read.tag.items[2].key, "Cover Art (Front)");
        EXPECT_EQ(read.tag.items[2].Type(), 1);
        EXPECT_EQ(read.tag.items[2].value.size(), 6u);

        const auto values = tags::ApeTextValues(read.tag.items[1]);
        ASSERT_EQ(values.size(), 2u);
        EXPECT_EQ(values[0], "One");
        EXPECT_EQ(values[1], "Two");
    }

    // An APEv1 tag (no header) reads the same way; a file that is all tag works too.
    const apev2::ReadResult v1 = ReadFrom({}, TagBytes(kItems, false, 1000));
    ASSERT_EQ(v1.status, apev2::Status::Valid);
    EXPECT_EQ(v1.tag.position, 0);
    EXPECT_EQ(v1.tag.items.size(), 3u);
}

TEST(Apev2Reader, FilesWithoutATagHaveNone) {
    EXPECT_EQ(ReadFrom(std::vector<uint8_t>(5000, 0x11), {}).status, apev2::Status::None);
    EXPECT_EQ(ReadFrom({}, {}).status, apev2::Status::None);
    EXPECT_EQ(ReadFrom(std::vector<uint8_t>(10, 0), {}, Id3v1()).status, apev2::Status::None);
    // A header alone at the end is not a footer.
    const std::vector<uint8_t> tag = TagBytes(kItems, true);
    const std::vector<uint8_t> headerOnly(tag.begin(), tag.begin() + 32);
    EXPECT_EQ(ReadFrom(std::vector<uint8_t>(100, 0), headerOnly).status, apev2::Status::None);
}

TEST(Apev2Reader, BrokenSizesAndKeysMakeTheTagInvalid) {
    const std::vector<uint8_t> audio(300, 0x22);
    const uint32_t bodySize = uint32_t(ApeItemsBytes(kItems).size());
    struct Case {
        const char* name;
        std::vector<uint8_t> tag;
    };
    std::vector<Case> cases = {
        {"size beyond the file start", TagBytes(kItems, true, 2000, 100000u)},
        {"size below the footer", TagBytes(kItems, false, 2000, 31u)},
        {"size too large to read", TagBytes(kItems, false, 2000, 0x7FFFFFF0u)},
        {"one item more than stored", TagBytes(kItems, false, 2000, {}, 4u)},
        {"an absurd item count", TagBytes(kItems, false, 2000, {}, 0xFFFFFFFFu)},
        {"items cut by a smaller size", TagBytes(kItems, false, 2000, bodySize + 32 - 5)},
        {"an unknown version", TagBytes(kItems, false, 3000)},
        {"a value larger than the tag", TagFromBody(Body(0x10000, "Artist", true, "x"), 1)},
        {"a key with a control character", TagBytes({{"Art\x01st", "x"}}, false)},
        {"an empty key", TagBytes({{"", "x"}}, false)},
        {"a key without its terminator", TagFromBody(Body(0, "Artist", false, ""), 1)},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const apev2::ReadResult read = ReadFrom(audio, c.tag);
        EXPECT_EQ(read.status, apev2::Status::Invalid);
        EXPECT_TRUE(read.tag.items.empty());
    }
}

TEST(Apev2Reader, KeysMatchIgnoringCaseAndTextConvertsToLatin1) {
    EXPECT_TRUE(tags::ApeKeysEqual("Artist", "ARTIST"));
    EXPECT_TRUE(tags::ApeKeysEqual("album artist", "Album Artist"));
    EXPECT_FALSE(tags::ApeKeysEqual("Artist", "Artists"));
    EXPECT_FALSE(tags::ApeKeysEqual("Artist", "Artisu"));

    EXPECT_EQ(apev2::Utf8ToLatin1("Caf\xC3\xA9 \xC3\x80"), "Caf\xE9 \xC0");
    EXPECT_EQ(apev2::Utf8ToLatin1("5 \xE2\x82\xAC"), "5 ?");       // the euro sign
    EXPECT_EQ(apev2::Utf8ToLatin1("\xF0\x9F\x8E\xB5!"), "?!");     // a note, four bytes
    EXPECT_EQ(apev2::Utf8ToLatin1("cut \xC3"), "cut ?");           // a sequence cut short
    EXPECT_EQ(apev2::Utf8ToLatin1("\xA9 bad lead"), "? bad lead"); // a stray continuation
}

} // namespace
