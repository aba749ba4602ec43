// The runtime's ASF header reader on hand-built headers: attributes from the content
// description, the extended content description and the metadata library (with their types),
// Duration from the file properties less the preroll, encryption objects, and every cut-short
// copy of a header parsed without reading past its end.
#include "platform/wmvcore/asf_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace wmvcore;

namespace {

class Builder {
public:
    Builder& U8(uint8_t v) {
        bytes.push_back(v);
        return *this;
    }
    Builder& U16(uint16_t v) { return Le(v, 2); }
    Builder& U32(uint32_t v) { return Le(v, 4); }
    Builder& U64(uint64_t v) { return Le(v, 8); }
    Builder& Guid(const GUID& g) {
        U32(g.Data1).U16(g.Data2).U16(g.Data3);
        for (uint8_t b : g.Data4)
            U8(b);
        return *this;
    }
    Builder& Utf16(std::u16string_view text, bool zero = true) {
        for (char16_t c : text)
            U16(c);
        if (zero) U16(0);
        return *this;
    }
    Builder& Bytes(const std::vector<uint8_t>& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    // An object: its identifier and size in front of body.
    Builder& Object(const GUID& id, const std::vector<uint8_t>& body) {
        return Guid(id).U64(24 + body.size()).Bytes(body);
    }
    std::vector<uint8_t> bytes;

private:
    Builder& Le(uint64_t v, int n) {
        for (int i = 0; i < n; ++i)
            bytes.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
};

constexpr GUID kHeader = {
    0x75B22630, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr GUID kFileProperties = {
    0x8CABDCA1, 0xA947, 0x11CF, {0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kContent = {
    0x75B22633, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr GUID kExtended = {
    0xD2D0A440, 0xE307, 0x11D2, {0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50}};
constexpr GUID kEncryption = {
    0x2211B3FB, 0xBD23, 0x11D2, {0xB4, 0xB7, 0x00, 0xC0, 0x4F, 0xB6, 0xDB, 0x6B}};
constexpr GUID kHeaderExtension = {
    0x5FBF03B5, 0xA92E, 0x11CF, {0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kMetadataLibrary = {
    0x44231C94, 0x9498, 0x49D1, {0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54}};

std::vector<uint8_t> Header(bool encrypted) {
    std::vector<std::vector<uint8_t>> objects;
    Builder props;
    props.Bytes(std::vector<uint8_t>(16 + 8 + 8 + 8))
        .U64(123'456'789 + 31'000'000)
        .U64(0)
        .U64(3100);
    props.U32(2).U32(3200).U32(3200).U32(128000);
    objects.push_back(Builder().Object(kFileProperties, props.bytes).bytes);
    Builder content;
    content.U16(12).U16(14).U16(0).U16(4).U16(0).Utf16(u"Title").Utf16(u"Author").Utf16(u"D");
    objects.push_back(Builder().Object(kContent, content.bytes).bytes);
    Builder extended;
    extended.U16(3);
    extended.U16(28).Utf16(u"WM/AlbumTitle").U16(0).U16(14).Utf16(u"Альбом");
    extended.U16(30).Utf16(u"WM/TrackNumber").U16(3).U16(4).U32(7);
    extended.U16(16).Utf16(u"WM/Year").U16(5).U16(3).U8(1).U8(2).U8(3); // a WORD of 3 bytes
    objects.push_back(Builder().Object(kExtended, extended.bytes).bytes);
    Builder record;
    record.U16(2); // records: language, stream, name length, type, data length, name, data
    record.U16(0).U16(1).U16(16).U16(4).U32(8).Utf16(u"WM/Peak").U64(1000);
    record.U16(0).U16(2).U16(20).U16(0).U32(6).Utf16(u"WM/Stream").Utf16(u"ab");
    Builder library;
    library.Object(kMetadataLibrary, record.bytes);
    Builder extension;
    extension.Bytes(std::vector<uint8_t>(18))
        .U32(uint32_t(library.bytes.size()))
        .Bytes(library.bytes);
    objects.push_back(Builder().Object(kHeaderExtension, extension.bytes).bytes);
    if (encrypted) {
        Builder drm;
        drm.U32(0).U32(4).Bytes({'D', 'R', 'M', 0}).U32(0).U32(0);
        objects.push_back(Builder().Object(kEncryption, drm.bytes).bytes);
    }
    Builder header;
    size_t size = 30;
    for (const auto& o : objects)
        size += o.size();
    header.Guid(kHeader).U64(size).U32(uint32_t(objects.size())).U8(1).U8(2);
    for (const auto& o : objects)
        header.Bytes(o);
    return header.bytes;
}

std::string Text(const AsfHeader& h, std::u16string_view name, WORD stream = 0) {
    const AsfAttribute* a = h.Find(name, stream);
    if (a == nullptr || a->type != WMT_TYPE_STRING) return "(none)";
    const std::u16string t = TextOf(a->value);
    return std::string(t.begin(), t.end()); // ASCII names in these checks
}

} // namespace

TEST(AsfHeader, AttributesDurationAndEncryption) {
    const auto bytes = Header(false);
    EXPECT_EQ(AsfHeaderSize(bytes), bytes.size());
    const auto h = ParseAsfHeader(bytes);
    ASSERT_TRUE(h.has_value());
    EXPECT_FALSE(h->encrypted);
    EXPECT_EQ(Text(*h, u"Title"), "Title");
    EXPECT_EQ(Text(*h, u"Author"), "Author");
    EXPECT_EQ(Text(*h, u"Description"), "D");
    EXPECT_EQ(h->Find(u"Copyright"), nullptr); // an empty field is no attribute
    const AsfAttribute* album = h->Find(u"WM/AlbumTitle");
    ASSERT_NE(album, nullptr);
    EXPECT_EQ(TextOf(album->value), u"Альбом");
    EXPECT_EQ(album->value.size(), 14u); // with its terminating zero
    const AsfAttribute* track = h->Find(u"WM/TrackNumber");
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->type, WMT_TYPE_DWORD);
    EXPECT_EQ(track->value, (std::vector<uint8_t>{7, 0, 0, 0}));
    EXPECT_EQ(h->Find(u"WM/Year"), nullptr); // a WORD must hold two bytes
    // Duration: play duration less the preroll (3100 ms).
    const AsfAttribute* duration = h->Find(u"Duration");
    ASSERT_NE(duration, nullptr);
    uint64_t value = 0;
    std::memcpy(&value, duration->value.data(), 8);
    EXPECT_EQ(value, 123'456'789u);
    // The metadata library: a file attribute, and one of stream 2 only there.
    const AsfAttribute* peak = h->Find(u"WM/Peak", 1);
    ASSERT_NE(peak, nullptr);
    EXPECT_EQ(peak->type, WMT_TYPE_QWORD);
    EXPECT_EQ(h->Find(u"WM/Stream", 0), nullptr);
    EXPECT_EQ(Text(*h, u"WM/Stream", 2), "ab");

    const auto locked = ParseAsfHeader(Header(true));
    ASSERT_TRUE(locked.has_value());
    EXPECT_TRUE(locked->encrypted);
}

TEST(AsfHeader, CutAndDamagedHeadersAreReadOnlyAsFarAsTheyGo) {
    const auto bytes = Header(true);
    const auto whole = ParseAsfHeader(bytes);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + cut);
        const auto h = ParseAsfHeader(part);
        if (cut < 30) {
            EXPECT_FALSE(h.has_value()) << cut;
            continue;
        }
        ASSERT_TRUE(h.has_value()) << cut;
        // What a cut header yields is what the whole one has, never something else.
        for (const AsfAttribute& a : h->attributes) {
            const AsfAttribute* same = whole->Find(a.name, a.stream);
            ASSERT_NE(same, nullptr) << cut;
            if (a.type != WMT_TYPE_STRING) {
                EXPECT_EQ(a.value, same->value) << cut;
            }
        }
    }
    // Every byte of the header changed in turn: parsed without reading past the end.
    for (size_t at = 0; at < bytes.size(); ++at) {
        for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0x7F)}) {
            auto damaged = bytes;
            damaged[at] = value;
            (void)ParseAsfHeader(damaged);
        }
    }
    EXPECT_FALSE(ParseAsfHeader(std::vector<uint8_t>(100, 0)).has_value());
}
