// The iTunes item parser on whole, cut and damaged ilst boxes, and the file walk to them.
#include "tags/carried/mp4_carried.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

namespace {

Bytes Box(std::string_view type, const Bytes& body, uint32_t extra = 0) {
    Bytes box;
    const uint32_t size = uint32_t(body.size() + 8) + extra;
    for (int shift : {24, 16, 8, 0})
        box.push_back(uint8_t(size >> shift));
    box.insert(box.end(), type.begin(), type.end());
    box.insert(box.end(), body.begin(), body.end());
    return box;
}

Bytes Data(uint8_t type, std::string_view value) {
    Bytes body = {0, 0, 0, type, 0, 0, 0, 0};
    body.insert(body.end(), value.begin(), value.end());
    return Box("data", body);
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Ilst() {
    return Join(
        {Box("\xA9nam", Data(1, "Title")),
         Box("\xA9"
             "ART",
             Join({Data(1, "One"), Data(1, "Two")})),
         Box("trkn", Data(0, std::string("\0\0\0\3\0\x0c\0\0", 8))),
         Box("gnre", Data(0, std::string("\0\x12", 2))),
         Box("----", Join({Box("mean", Join({{0, 0, 0, 0},
                                             Bytes{'c', 'o', 'm', '.', 'a', 'p', 'p', 'l', 'e', '.',
                                                   'i', 'T', 'u', 'n', 'e', 's'}})),
                           Box("name", Join({{0, 0, 0, 0}, Bytes{'I', 'S', 'R', 'C'}})),
                           Data(1, "GBAYE0100001")})),
         Box("covr", Join({Data(14, "\x89PNG-front"), Data(13, "\xFF\xD8-other")}))});
}

} // namespace

TEST(Mp4Carried, WholeCutAndDamagedItems) {
    const Bytes ilst = Ilst();
    tags::TCarriedTags whole;
    tags::CarryMp4Items(ilst, whole);
    EXPECT_EQ(whole.Values("ARTIST"), (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(whole.First("TITLE"), "Title");
    EXPECT_EQ(whole.First("TRACKNUMBER"), "3");
    EXPECT_EQ(whole.First("TRACKTOTAL"), "12");
    EXPECT_EQ(whole.First("GENRE"), "Rock");
    EXPECT_EQ(whole.First("ISRC"), "GBAYE0100001");
    ASSERT_EQ(whole.Pictures().size(), 2u);
    EXPECT_EQ(whole.Pictures()[0].Type, tags::kFrontCover);
    EXPECT_EQ(whole.Pictures()[0].Mime, "image/png");
    EXPECT_EQ(whole.Pictures()[1].Type, tags::kPictureOther);
    // Cut at every byte: only what the whole has, never more.
    for (size_t cut = 0; cut < ilst.size(); ++cut) {
        tags::TCarriedTags part;
        tags::CarryMp4Items(std::span(ilst).first(cut), part);
        for (const auto& [name, value] : part.Fields()) {
            const auto values = whole.Values(name);
            EXPECT_NE(std::find(values.begin(), values.end(), value), values.end()) << cut;
        }
        EXPECT_LE(part.Pictures().size(), whole.Pictures().size());
    }
    // Every size field claiming 0, 1 (a 64-bit size follows), a little or 2 GiB past the end.
    for (size_t at = 0; at + 4 <= ilst.size(); ++at) {
        for (const uint32_t size : {0u, 1u, 7u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            Bytes damaged = ilst;
            for (int i = 0; i < 4; ++i)
                damaged[at + i] = uint8_t(size >> (24 - 8 * i));
            tags::TCarriedTags carried;
            tags::CarryMp4Items(damaged, carried);
            EXPECT_LE(carried.Pictures().size(), 2u);
        }
    }
}

TEST(Mp4Carried, FileWalkFindsTheItemsAndSurvivesHugeClaims) {
    const Bytes moov =
        Box("moov", Box("udta", Box("meta", Join({{0, 0, 0, 0}, Box("ilst", Ilst())}))));
    for (const uint32_t extra : {0u, 0x7FFFFFFFu}) {
        // A moov claiming 2 GiB more than the file holds is read only as far as the file goes.
        Bytes file = Join({Box("ftyp", {'M', '4', 'A', ' '}),
                           Box("moov", Bytes(moov.begin() + 8, moov.end()), extra)});
        if (extra) file[file.size() - moov.size() + 8 + 3] = 0xFF; // udta past the end too
        const auto read = [&](uint64_t offset, std::span<uint8_t> dest) -> size_t {
            if (offset >= file.size()) return 0;
            const size_t n = std::min<size_t>(dest.size(), file.size() - size_t(offset));
            std::memcpy(dest.data(), file.data() + offset, n);
            return n;
        };
        tags::TCarriedTags carried;
        tags::CarryMp4File(read, carried);
        if (extra == 0) {
            EXPECT_EQ(carried.First("TITLE"), "Title");
            EXPECT_EQ(carried.Pictures().size(), 2u);
        }
    }
}
