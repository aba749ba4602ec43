// The MP4 box reader on hand-built boxes: sample tables (stsz, stts, ctts, stsc, stco, co64)
// locate every sample; edit lists and iTunes items are read; and no box or table is read past
// its own end, the file's end or a fixed cap, whatever sizes the bytes claim.
#include "platform/mp4ff/movie.h"
#include "platform/mp4ff/movie_file.h"
#include "tests/platform/mp4ff/mp4_box_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace mp4test;

namespace {

mp4::Movie Parse(const Bytes& moovPayload) {
    return mp4::ParseMovie(moovPayload);
}

// A stereo AAC track of the given sample tables at 44100 Hz.
Bytes AacTrack(const Bytes& tables, const Bytes& extra = {}) {
    const Bytes stsd = FullBox(
        "stsd", 0, Cat({U32(1), AudioEntry("mp4a", 2, 16, 44100, Esds(0x40, {0x12, 0x10}))}));
    return Track(Cat({stsd, tables}), 44100, extra);
}

struct Placed {
    uint64_t offset;
    uint32_t size;
};

std::vector<Placed> Places(const mp4::SampleTable& table) {
    std::vector<Placed> places;
    for (uint32_t i = 0; i < table.Count(); ++i) {
        Placed p{};
        EXPECT_TRUE(table.Locate(i, p.offset, p.size)) << i;
        places.push_back(p);
    }
    return places;
}

bool operator==(const Placed& a, const Placed& b) {
    return a.offset == b.offset && a.size == b.size;
}

// A file in memory behind the reader's callbacks, counting what is asked of it.
struct MemoryFile {
    Bytes bytes;
    uint64_t position = 0;
    uint64_t furthest = 0; // end of the furthest read

    mp4ff_callback_t Callbacks() {
        mp4ff_callback_t io{};
        io.read = [](void* user, void* buffer, uint32_t length) -> uint32_t {
            auto& self = *static_cast<MemoryFile*>(user);
            if (self.position >= self.bytes.size()) return 0;
            const auto n = uint32_t(std::min<uint64_t>(length, self.bytes.size() - self.position));
            std::memcpy(buffer, self.bytes.data() + self.position, n);
            self.position += n;
            self.furthest = std::max(self.furthest, self.position);
            return n;
        };
        io.seek = [](void* user, uint64_t position) -> uint64_t {
            static_cast<MemoryFile*>(user)->position = position;
            return position;
        };
        io.user_data = this;
        return io;
    }
};

std::optional<Bytes> ReadMoov(MemoryFile& file) {
    const mp4ff_callback_t io = file.Callbacks();
    mp4::CallbackStream stream(io);
    return mp4::ReadMovieBox(stream);
}

} // namespace

TEST(Mp4SampleTable, LocatesEverySampleThroughChunksOfEitherOffsetWidth) {
    // Five samples in chunks of 2, 2 and 1 (two stsc runs); stco and then co64 beyond 4 GiB.
    const Bytes sizes = Stsz(0, {10, 20, 30, 40, 50});
    const Bytes chunks = Table("stsc", {{1, 2, 1}, {3, 1, 1}});
    const Bytes times = Table("stts", {{4, 1024}, {1, 500}});
    const Bytes offsets = Table("ctts", {{2, 0}, {3, 2048}});
    for (bool large : {false, true}) {
        SCOPED_TRACE(large ? "co64" : "stco");
        const uint64_t base = large ? (uint64_t(5) << 32) : 1000;
        const mp4::Movie movie = Parse(Cat(
            {Mvhd(1000), AacTrack(Cat({sizes, chunks, times, offsets,
                                       ChunkOffsets({base, base + 100, base + 300}, large)}))}));
        ASSERT_EQ(movie.tracks.size(), 1u);
        const mp4::Track& track = movie.tracks[0];
        EXPECT_EQ(track.kind, mp4::TrackKind::Audio);
        EXPECT_EQ(track.channels, 2u);
        EXPECT_EQ(track.sampleRate, 44100u);
        EXPECT_EQ(track.objectType, 0x40u);
        EXPECT_EQ(track.avgBitrate, 96000u);
        EXPECT_EQ(track.decoderConfig, (Bytes{0x12, 0x10}));
        const auto& table = track.samples;
        ASSERT_EQ(table.Count(), 5u);
        EXPECT_EQ(Places(table), (std::vector<Placed>{{base, 10},
                                                      {base + 10, 20},
                                                      {base + 100, 30},
                                                      {base + 130, 40},
                                                      {base + 300, 50}}));
        EXPECT_EQ(table.Duration(3), 1024u);
        EXPECT_EQ(table.Duration(4), 500u);
        EXPECT_EQ(table.Start(4), 4096u);
        EXPECT_EQ(table.TotalDuration(), 4596u);
        EXPECT_EQ(table.CompositionOffset(1), 0);
        EXPECT_EQ(table.CompositionOffset(2), 2048);
        uint64_t into = 0;
        EXPECT_EQ(table.Find(2047, into), 1);
        EXPECT_EQ(into, 1023u);
        EXPECT_EQ(table.Find(4100, into), 4);
        EXPECT_EQ(into, 4u);
        EXPECT_EQ(table.Find(4596, into), -1);
    }
}

TEST(Mp4SampleTable, ConstantSizesAndEmptyTables) {
    // Constant-size samples are not listed: 7 of 100 bytes in one chunk.
    const mp4::Movie constant =
        Parse(AacTrack(Cat({Stsz(100, {}, 7), Table("stsc", {{1, 7, 1}}),
                            Table("stts", {{7, 1024}}), ChunkOffsets({48}, false)})));
    ASSERT_EQ(constant.tracks.size(), 1u);
    ASSERT_EQ(constant.tracks[0].samples.Count(), 7u);
    EXPECT_EQ(Places(constant.tracks[0].samples).back(), (Placed{648, 100}));

    // A track with empty tables has no samples, and nothing is located.
    const mp4::Movie empty = Parse(AacTrack(
        Cat({Stsz(0, {}), Table("stsc", {}), Table("stts", {}), ChunkOffsets({}, false)})));
    ASSERT_EQ(empty.tracks.size(), 1u);
    uint64_t offset = 0, into = 0;
    uint32_t size = 0;
    EXPECT_EQ(empty.tracks[0].samples.Count(), 0u);
    EXPECT_FALSE(empty.tracks[0].samples.Locate(0, offset, size));
    EXPECT_EQ(empty.tracks[0].samples.Find(0, into), -1);
    EXPECT_EQ(empty.tracks[0].samples.TotalDuration(), 0u);
}

TEST(Mp4SampleTable, TablesThatClaimMoreThanTheyHoldKeepWhatIsThere) {
    // stsz claims a billion entries but holds 3; the stsc box that follows must not be read as
    // sizes. stsc asks for chunks that stco does not have; a run going backwards ends the table.
    const Bytes tables =
        Cat({Stsz(0, {11, 12, 13}, 1000000000), Table("stsc", {{1, 1, 1}, {1, 5, 1}}),
             Table("stts", {{3, 1024}}, 4000000), ChunkOffsets({500, 600}, false)});
    const mp4::Movie movie = Parse(AacTrack(tables));
    ASSERT_EQ(movie.tracks.size(), 1u);
    const auto& table = movie.tracks[0].samples;
    // Two chunks of one sample each: the third size has no chunk.
    ASSERT_EQ(table.Count(), 2u);
    EXPECT_EQ(Places(table), (std::vector<Placed>{{500, 11}, {600, 12}}));
    uint64_t offset = 0;
    uint32_t size = 0;
    EXPECT_FALSE(table.Locate(2, offset, size));
    EXPECT_EQ(table.Duration(1), 1024u);

    // A sample run that starts past the chunk table places nothing beyond the chunks.
    const mp4::Movie far = Parse(AacTrack(Cat(
        {Stsz(0, {1, 2, 3}), Table("stsc", {{1, 1, 1}, {9, 1, 1}}), ChunkOffsets({10}, false)})));
    EXPECT_EQ(far.tracks[0].samples.Count(), 1u);

    // Counts and durations near the limits of their fields neither overflow nor allocate.
    const mp4::Movie huge =
        Parse(AacTrack(Cat({Stsz(16, {}, 0xFFFFFFFF), Table("stsc", {{1, 0xFFFFFFFF, 1}}),
                            Table("stts", {{0xFFFFFFFF, 0xFFFFFFFF}, {0xFFFFFFFF, 0xFFFFFFFF}}),
                            ChunkOffsets({0xFFFFFFF0}, false)})));
    const auto& big = huge.tracks[0].samples;
    EXPECT_EQ(big.Count(), 0x7FFFFFFFu);
    EXPECT_TRUE(big.Locate(0x7FFFFFFE, offset, size));
    EXPECT_EQ(offset, 0xFFFFFFF0u + uint64_t(0x7FFFFFFE) * 16);
    EXPECT_EQ(big.TotalDuration(), uint64_t(0x7FFFFFFF) * 0xFFFFFFFF);
}

TEST(Mp4BoxReader, DamagedBoxesAreSkippedAndNothingIsReadPastAParent) {
    const Bytes good = AacTrack(Cat({Stsz(0, {5}), Table("stsc", {{1, 1, 1}}),
                                     Table("stts", {{1, 1024}}), ChunkOffsets({40}, false)}));
    // A track whose size runs past the moov ends the walk; the track before it stays.
    Bytes overrun = Box("trak", Bytes(40, 0));
    overrun[3] = 200;
    EXPECT_EQ(Parse(Cat({good, overrun})).tracks.size(), 1u);
    // A box smaller than its own header, and one cut in its header.
    Bytes tiny = Box("free", {});
    tiny[3] = 4;
    EXPECT_EQ(Parse(Cat({good, tiny, good})).tracks.size(), 1u);
    EXPECT_EQ(Parse(Cat({good, Bytes{0, 0, 0}})).tracks.size(), 1u);
    // A 64-bit size is read as one.
    EXPECT_EQ(Parse(Cat({LargeBox("free", Bytes(20, 1)), good})).tracks.size(), 1u);
    // Every prefix of a valid moov parses without reading outside it (AddressSanitizer
    // watches the reads of the copy, which is exactly as long as the prefix).
    const Bytes full = Cat({Mvhd(600), good, good});
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        const Bytes prefix(full.begin(), full.begin() + cut);
        const mp4::Movie movie = Parse(prefix);
        EXPECT_LE(movie.tracks.size(), 2u);
        if (cut == full.size()) {
            EXPECT_EQ(movie.tracks.size(), 2u);
        }
    }
}

TEST(Mp4BoxReader, EditListsSayWhereTheMediaPlays) {
    const Bytes tables = Cat({Stsz(0, {5}), Table("stsc", {{1, 1, 1}}), ChunkOffsets({40}, false)});
    // Version 0: an empty edit (a delay) first, then the media from 2112 for 1500 ms.
    const Bytes v0 = FullBox(
        "elst", 0,
        Cat({U32(2), U32(100), U32(0xFFFFFFFF), U32(0x10000), U32(1500), U32(2112), U32(0x10000)}));
    const mp4::Movie movie0 = Parse(Cat({Mvhd(1000), AacTrack(tables, Box("edts", {v0}))}));
    ASSERT_TRUE(movie0.tracks[0].edit.has_value());
    EXPECT_EQ(movie0.tracks[0].edit->mediaStart, 2112);
    EXPECT_EQ(movie0.tracks[0].edit->duration, 1500u);
    // Version 1, 64-bit fields.
    const Bytes v1 =
        FullBox("elst", 1, Cat({U32(1), U64(uint64_t(1) << 33), U64(1024), U32(0x10000)}));
    const mp4::Movie movie1 = Parse(Cat({Mvhd(44100), AacTrack(tables, Box("edts", {v1}))}));
    ASSERT_TRUE(movie1.tracks[0].edit.has_value());
    EXPECT_EQ(movie1.tracks[0].edit->mediaStart, 1024);
    EXPECT_EQ(movie1.tracks[0].edit->duration, uint64_t(1) << 33);
    // An edit list claiming more entries than it holds, all of them empty edits: no edit.
    const Bytes cut = FullBox("elst", 0, Cat({U32(1000), U32(100), U32(0xFFFFFFFF), U32(0x10000)}));
    EXPECT_FALSE(Parse(AacTrack(tables, Box("edts", {cut}))).tracks[0].edit.has_value());
}

TEST(Mp4BoxReader, ItunesItemsBecomeNamedTexts) {
    const Bytes utf16 = {0x00, 'G', 0x00, 0xE9, 0xD8, 0x3D, 0xDE, 0x00, 0x00, 0x00};
    const Bytes smpb = Text(" 00000000 00000840 000001CA 0000000000A1B3C6");
    const Bytes freeForm = Box("----", {FullBox("mean", 0, Text("com.apple.iTunes")),
                                        FullBox("name", 0, Text("iTunSMPB")),
                                        Box("data", Cat({U32(1), U32(0), smpb}))});
    const Bytes ilst = Box(
        "ilst", {Item("\xA9nam", 1, Text("T\xC3\xADtulo")),
                 Item("\xA9"
                      "ART",
                      2, utf16),
                 Item("gnre", 0, U16(18)), Item("trkn", 0, Cat({U16(0), U16(3), U16(12), U16(0)})),
                 Item("disk", 0, Cat({U16(0), U16(1), U16(2)})), Item("cpil", 21, Bytes{1}),
                 Item("tmpo", 21, U16(120)), Item("covr", 13, Bytes{0xFF, 0xD8, 0x00, 0xFF}),
                 Item("\xA9"
                      "day",
                      1, Text("2024-05-01")),
                 freeForm, Item("gnre", 0, U16(999)) /* no such genre */});
    const Bytes meta = FullBox(
        "meta", 0, Cat({FullBox("hdlr", 0, Cat({U32(0), Text("mdir"), Bytes(13, 0)})), ilst}));
    const mp4::Movie movie = Parse(Box("udta", {meta}));
    std::vector<std::pair<std::string, std::string>> items;
    for (const auto& item : movie.items)
        items.emplace_back(item.name, item.value);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"title", "T\xC3\xADtulo"}, {"artist", "G\xC3\xA9\xF0\x9F\x98\x80"},
        {"genre", "Rock"},          {"track", "3"},
        {"totaltracks", "12"},      {"disc", "1"},
        {"totaldiscs", "2"},        {"compilation", "1"},
        {"tempo", "120"},           {"cover", std::string("\xFF\xD8\x00\xFF", 4)},
        {"date", "2024-05-01"},     {"iTunSMPB", " 00000000 00000840 000001CA 0000000000A1B3C6"},
    };
    EXPECT_EQ(items, expected);

    // A QuickTime-style meta box (no version field) is read too; an item whose data box runs
    // past the item is dropped, the items before it stay.
    Bytes broken = Item("\xA9"
                        "alb",
                        1, Text("Album"));
    broken[11] = 0x7F; // the data box's size
    const Bytes qtMeta = Box("meta", {FullBox("hdlr", 0, Cat({U32(0), Text("mdir"), Bytes(13, 0)})),
                                      Box("ilst", {Item("\xA9nam", 1, Text("One")), broken})});
    const mp4::Movie qt = Parse(Box("udta", {qtMeta}));
    ASSERT_EQ(qt.items.size(), 1u);
    EXPECT_EQ(qt.items[0].value, "One");
}

TEST(Mp4BoxReader, FindsTheMovieBoxWithoutReadingPastTheFile) {
    const Bytes moovPayload = Cat({Mvhd(1000)});
    // After a large mdat given with a 64-bit size: the reader seeks over it.
    MemoryFile after;
    after.bytes = Cat({Box("ftyp", Text("M4A \0\0\0\0")), LargeBox("mdat", Bytes(5000, 7)),
                       Box("moov", moovPayload)});
    auto moov = ReadMoov(after);
    ASSERT_TRUE(moov.has_value());
    EXPECT_EQ(*moov, moovPayload);

    // A moov that claims 4 GiB in a short file costs only the bytes that are there.
    MemoryFile cut;
    cut.bytes = Cat({U32(0xFFFFFFF0), Text("moov"), moovPayload});
    moov = ReadMoov(cut);
    ASSERT_TRUE(moov.has_value());
    EXPECT_EQ(*moov, moovPayload);
    EXPECT_LE(moov->capacity(), size_t(2) << 20);

    // No moov: a box running past the end, a box of size 0 (to the end), a header cut short.
    for (const Bytes& bytes :
         {Cat({Box("free", Bytes(10, 0)), U32(0x7FFFFFFF), Text("mdat")}),
          Cat({U32(0), Text("mdat"), Bytes(100, 0)}), Bytes{0, 0, 0, 9, 'f'}, Bytes{}}) {
        MemoryFile file;
        file.bytes = bytes;
        EXPECT_FALSE(ReadMoov(file).has_value());
        EXPECT_LE(file.furthest, file.bytes.size());
    }
}
