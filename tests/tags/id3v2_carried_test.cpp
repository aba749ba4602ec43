// The carried set as ID3v2: our version 2.4 tags read by mutagen and saved again by it as 2.4,
// 2.3 and unsynchronised 2.3, read back; frame flags and older versions; damaged tags.
#include "tag_test_support.h"
#include "tags/carried/id3v2_carried.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <tuple>

namespace {

using tagtest::Append;
using tagtest::Bytes;
namespace c = tags::carried;

const std::string kTitle = "Björk – 東京";
const std::string kPython = "PYTHONIOENCODING=utf-8 /usr/bin/python3 -c ";

// Small pictures whose bytes hold 0xFF pairs that unsynchronisation changes.
Bytes Png() {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H',  'D',  'R',
                 0,    0,   0,   2,   0,    0,    0,    3,    8, 2, 0, 0,  0,   0xFF, 0x00, 0xFF};
    Append(png, {0xE7, 0xFF, 0xFF, 0x10, 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82});
    return png;
}
Bytes Jpeg() {
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    Append(jpeg, {0xFF, 0xC0, 0, 11, 8, 0, 4, 0, 5, 1, 1, 0x11, 0, 0xFF, 0x00, 0xFF, 0xD9});
    return jpeg;
}

tags::TCarriedTags Carry(const Bytes& tag) {
    tags::TCarriedTags carried;
    tags::CarryId3v2(tag, carried);
    return carried;
}

// A JSON string list as Python's json.dumps(..., ensure_ascii=False) prints it (the values
// here hold no quotes or backslashes).
std::string Json(const std::vector<std::string>& values) {
    std::string out = "[";
    for (const std::string& value : values) {
        out += (out.size() > 1 ? ", \"" : "\"");
        for (const char ch : value)
            out += ch == '\n' ? std::string("\\n") : std::string(1, ch);
        out += '"';
    }
    return out + "]";
}

std::string Hex(const Bytes& bytes) {
    std::string hex;
    for (const uint8_t b : bytes)
        hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
    return hex;
}

// Every frame mutagen reads from a tag file, one sorted line each.
const char* kDump = R"(
import json, sys, mutagen.id3 as m
t = m.ID3(sys.argv[1])
print("version", ".".join(map(str, t.version)))
for f in t.values():
    k, i = f.HashKey, f.FrameID
    if i == "APIC": print(k, int(f.type), f.mime, f.data.hex())
    elif i == "UFID": print(k, f.data.decode())
    elif i == "USLT": print(k, f.lang, json.dumps([f.text], ensure_ascii=False))
    elif i == "COMM": print(k, f.lang, json.dumps(list(f.text), ensure_ascii=False))
    else: print(k, json.dumps([str(x) for x in f.text], ensure_ascii=False))
)";

std::vector<std::string> MutagenLines(const std::string& path) {
    const CommandResult result = RunCommand(kPython + Quote(kDump) + " " + Quote(path));
    EXPECT_EQ(result.status, 0) << path;
    std::vector<std::string> lines;
    std::istringstream in(result.output);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Mutagen saves what it read from our tag again as version 2.4, as 2.3 (the date split into
// TYER and TDAT, artists joined by "/", text in UTF-16) and as that 2.3 tag unsynchronised,
// which it must read the same; with an iTunes comment, a ReplayGain description in lower case
// and a genre by number among the frames.
const char* kResave = R"(
import sys, mutagen.id3 as m
from mutagen.id3._util import unsynch
d = sys.argv[1]
t = m.ID3(d + "/ours.id3")
t.add(m.COMM(encoding=1, lang="eng", desc="iTunNORM", text=" 0000021A 00000208"))
gain = t.pop("TXXX:REPLAYGAIN_TRACK_GAIN")
t.add(m.TXXX(encoding=1, desc="replaygain_track_gain", text=gain.text))
t.add(m.TCON(encoding=0, text="52"))
t.save(d + "/v24.id3", v2_version=4)
t.save(d + "/v23.id3", v2_version=3)
raw = open(d + "/v23.id3", "rb").read()
size = sum(b << (21 - 7 * i) for i, b in enumerate(raw[6:10]))
frames = unsynch.encode(raw[10:10 + size])
assert frames != raw[10:10 + size]
n = len(frames)
open(d + "/v23u.id3", "wb").write(raw[:5] + bytes([raw[5] | 0x80]) +
    bytes([n >> 21 & 127, n >> 14 & 127, n >> 7 & 127, n & 127]) + frames)
assert m.ID3(d + "/v23u.id3").pprint() == m.ID3(d + "/v23.id3").pprint()
)";

TEST(Id3v2Carried, RoundTripsThroughMutagen) {
    TempDir dir;
    std::string comment;
    for (int i = 0; i < 1000; ++i)
        comment += i % 10 == 9 ? "ü" : i % 10 == 4 ? " " : "c";
    // Each carried field with the frame mutagen shows it in.
    const std::vector<std::tuple<std::string_view, std::string, std::string>> fields = {
        {c::Title, kTitle, "TIT2"},
        {c::Artist, "Björk", "TPE1"},
        {c::Artist, "東京事変", ""},
        {c::Album, "Début", "TALB"},
        {c::AlbumArtist, "Various", "TPE2"},
        {c::Genre, "Electronic", "TCON"},
        {c::Date, "2004-05-06", "TDRC"},
        {c::TrackNumber, "3", ""},
        {c::TrackTotal, "12", ""},
        {c::DiscNumber, "1", ""},
        {c::DiscTotal, "2", ""},
        {c::Composer, "Guðmundsdóttir", "TCOM"},
        {c::Comment, comment, "COMM::eng eng"},
        {c::Lyrics, "la la\n東京", "USLT::eng eng"},
        {c::Copyright, "© 2004", "TCOP"},
        {c::Label, "One Little Indian", "TPUB"},
        {c::Isrc, "GBAAA0400001", "TSRC"},
        {c::Bpm, "120", "TBPM"},
        {c::Compilation, "1", "TCMP"},
        {c::MbTrackId, "a1b2c3d4-0000-0000-0000-000000000001", ""},
        {c::MbAlbumId, "album-id", "TXXX:MusicBrainz Album Id"},
        {c::MbArtistId, "artist-id", "TXXX:MusicBrainz Artist Id"},
        {c::MbAlbumArtistId, "aa-id", "TXXX:MusicBrainz Album Artist Id"},
        {c::MbReleaseGroupId, "rg-id", "TXXX:MusicBrainz Release Group Id"},
        {c::TrackGain, "-6.50 dB", "TXXX:REPLAYGAIN_TRACK_GAIN"},
        {c::TrackPeak, "0.988", "TXXX:REPLAYGAIN_TRACK_PEAK"},
        {c::AlbumGain, "-7.10 dB", "TXXX:REPLAYGAIN_ALBUM_GAIN"},
        {c::AlbumPeak, "1.000", "TXXX:REPLAYGAIN_ALBUM_PEAK"}};
    tags::TCarriedTags carried;
    for (const auto& [name, value, frame] : fields)
        carried.Add(name, value);
    carried.Family = tags::TTagFamily::Id3v2;
    const std::vector<tags::TCarriedTags::Field> own = {{"TSO2", "Bjork"},
                                                        {"TXXX:CATALOGNUMBER", "TPLP 71"}};
    carried.Own = own;
    carried.Own.emplace_back("TYER", "2004"); // version 2.4 has no TYER
    carried.AddPicture({tags::kBackCover, "image/jpeg", "Rückseite", Jpeg()});
    carried.AddPicture({tags::kFrontCover, "image/png", "front", Png()});

    const Bytes tag = tags::BuildId3v24(carried);
    ASSERT_EQ(tag.size() % 16, 0u);
    WriteFileBytes(dir / "ours.id3", tag);
    std::vector<std::string> expected = {
        "version 2.4.0",
        "TRCK " + Json({"3/12"}),
        "TPOS " + Json({"1/2"}),
        "UFID:http://musicbrainz.org a1b2c3d4-0000-0000-0000-000000000001",
        "TSO2 " + Json({"Bjork"}),
        "TXXX:CATALOGNUMBER " + Json({"TPLP 71"}),
        "APIC:front 3 image/png " + Hex(Png()),
        "APIC:Rückseite 4 image/jpeg " + Hex(Jpeg())};
    for (const auto& [name, value, frame] : fields)
        if (!frame.empty()) expected.push_back(frame + " " + Json(carried.Values(name)));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(MutagenLines(dir / "ours.id3"), expected)
        << tagtest::KeepFailedInput(dir / "ours.id3", "carried");
    EXPECT_TRUE(tags::BuildId3v24(tags::TCarriedTags{}).empty());

    // Ours, and mutagen's 2.4, 2.3 and unsynchronised 2.3, read back.
    ASSERT_EQ(RunCommand(kPython + Quote(kResave) + " " + Quote(dir.Path().string())).status, 0);
    for (const std::string name : {"ours", "v24", "v23", "v23u"}) {
        SCOPED_TRACE(name);
        const tags::TCarriedTags back = Carry(ReadFileBytes(dir / (name + ".id3")));
        for (const std::string_view field : tags::CarriedNames())
            if (field != c::Artist) {
                EXPECT_EQ(back.Values(field), carried.Values(field)) << field;
            }
        EXPECT_EQ(back.Values(c::Artist), name.starts_with("v23")
                                              ? std::vector<std::string>{"Björk/東京事変"}
                                              : carried.Values(c::Artist));
        auto backOwn = back.Own;
        std::sort(backOwn.begin(), backOwn.end());
        EXPECT_EQ(backOwn, own);
        ASSERT_EQ(back.Pictures().size(), 2u);
        const auto picture = [](const tags::TPicture& p) {
            return std::tie(p.Type, p.Mime, p.Description, p.Data);
        };
        for (size_t i = 0; i < 2; ++i)
            EXPECT_EQ(picture(back.Pictures()[i]), picture(carried.Pictures()[i]));
    }
}

// A version 2.3 frame with its flag bytes; below 128 bytes its size reads the same in 2.4.
Bytes Frame(std::string_view id, const Bytes& body, uint8_t format = 0) {
    Bytes frame(id.begin(), id.end());
    const auto n = uint32_t(body.size());
    Append(frame, {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 0, format});
    frame.insert(frame.end(), body.begin(), body.end());
    return frame;
}

Bytes Text(std::string_view text, uint8_t encoding = 0) {
    Bytes body{encoding};
    Append(body, text);
    return body;
}

Bytes Tag(uint8_t version, const Bytes& frames, uint8_t flags = 0) {
    Bytes tag = {'I', 'D', '3', version, 0, flags};
    const auto n = uint32_t(frames.size());
    Append(tag, {uint8_t(n >> 21 & 127), uint8_t(n >> 14 & 127), uint8_t(n >> 7 & 127),
                 uint8_t(n & 127)});
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Unsynchronised(const Bytes& in) {
    Bytes out;
    for (size_t i = 0; i < in.size(); ++i) {
        out.push_back(in[i]);
        if (in[i] == 0xFF && (i + 1 == in.size() || in[i + 1] == 0 || in[i + 1] >= 0xE0))
            out.push_back(0);
    }
    return out;
}

TEST(Id3v2Carried, ReadsVersion22AndFrameFlags) {
    // Version 2.2: three-character frames, genre references, TYE with TDA, PIC.
    Bytes v22;
    const auto shortFrame = [&](std::string_view id, const Bytes& body) {
        v22.insert(v22.end(), id.begin(), id.end());
        Append(v22, {0, uint8_t(body.size() >> 8), uint8_t(body.size())});
        v22.insert(v22.end(), body.begin(), body.end());
    };
    shortFrame("TT2", Text("Title22"));
    shortFrame("TP1", {1, 0xFF, 0xFE, 0xC4, 0, 'r', 0, 0x3C, 0xD8, 0xB5, 0xDF, 0, 0});
    shortFrame("TCO", Text("(17)(20)Indie"));
    shortFrame("TYE", Text("1999"));
    shortFrame("TDA", Text("3112"));
    shortFrame("COM", Text(std::string("eng\0c22", 7)));
    shortFrame("PIC", Text(std::string("PNG\3\0", 5)) + Png());
    const tags::TCarriedTags got22 = Carry(Tag(2, v22));
    EXPECT_EQ(got22.First(c::Title), "Title22");
    EXPECT_EQ(got22.First(c::Artist), "Är🎵");
    EXPECT_EQ(got22.Values(c::Genre), (std::vector<std::string>{"Rock", "Alternative", "Indie"}));
    EXPECT_EQ(got22.First(c::Date), "1999-12-31");
    EXPECT_EQ(got22.First(c::Comment), "c22");
    ASSERT_EQ(got22.Pictures().size(), 1u);
    EXPECT_EQ(got22.Pictures()[0].Mime, "image/png");
    EXPECT_EQ(got22.Pictures()[0].Data, Png());

    // Version 2.3: an extended header; compressed and encrypted frames left out, a group byte
    // stepped over.
    const Bytes v23 = Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 0} + Frame("TIT2", Text("T23")) +
                      Frame("TALB", Bytes{0, 0, 0, 9, 0x78, 0x9C, 1, 2, 3}, 0x80) +
                      Frame("TPE2", Bytes{0x80} + Text("secret"), 0x40) +
                      Frame("TCOM", Bytes{0x81} + Text("Comp"), 0x20);
    const tags::TCarriedTags got23 = Carry(Tag(3, v23, 0x40));
    EXPECT_EQ(got23.First(c::Title), "T23");
    EXPECT_EQ(got23.First(c::Composer), "Comp");
    EXPECT_FALSE(got23.Has(c::Album) || got23.Has(c::AlbumArtist));

    // Version 2.4: an extended header, plain genre numbers, and a picture unsynchronised with a
    // data length, which mutagen reads too.
    const Bytes picture = Text(std::string("image/jpeg\0\3x\0", 14)) + Jpeg();
    const Bytes stored = Unsynchronised(picture);
    ASSERT_NE(stored, picture);
    const auto n = uint8_t(picture.size());
    const Bytes v24 = Bytes{0, 0, 0, 6, 1, 0} + Frame("TIT2", Text("T24")) +
                      Frame("TCON", Text(std::string("17\0Synthpop", 11), 3)) +
                      Frame("APIC", Bytes{0, 0, uint8_t(n >> 7), uint8_t(n & 127)} + stored, 3);
    const tags::TCarriedTags got24 = Carry(Tag(4, v24, 0x40));
    EXPECT_EQ(got24.First(c::Title), "T24");
    EXPECT_EQ(got24.Values(c::Genre), (std::vector<std::string>{"Rock", "Synthpop"}));
    ASSERT_EQ(got24.Pictures().size(), 1u);
    EXPECT_EQ(got24.Pictures()[0].Data, Jpeg());
    TempDir dir;
    // Mutagen reads as many bytes after the extended header as the tag size states.
    WriteFileBytes(dir / "v24.id3", Tag(4, v24, 0x40) + Bytes(16));
    const auto lines = MutagenLines(dir / "v24.id3");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "APIC:x 3 image/jpeg " + Hex(Jpeg())),
              lines.end());

    // Version 2.4 frame sizes stored as plain integers, as old iTunes wrote them.
    Bytes plain = Frame("TIT2", Text(std::string(200, 't'))) + Frame("TALB", Text("A"));
    EXPECT_EQ(Carry(Tag(4, plain)).First(c::Title), std::string(200, 't'));
    EXPECT_EQ(Carry(Tag(4, plain)).First(c::Album), "A");
}

TEST(Id3v2Carried, DamagedTagsKeepWhatWasWhole) {
    tags::TCarriedTags carried;
    carried.Add(c::Title, "title");
    carried.Add(c::Artist, "artist");
    carried.AddPicture({tags::kFrontCover, "image/png", "", Png()});
    const Bytes tag = tags::BuildId3v24(carried);
    const size_t titleEnd = 10 + 10 + 6, artistEnd = titleEnd + 10 + 7;
    const size_t pictureEnd =
        size_t(std::find_if(tag.rbegin(), tag.rend(), [](uint8_t b) { return b != 0; }).base() -
               tag.begin());
    for (size_t cut = 0; cut <= tag.size(); ++cut) {
        const tags::TCarriedTags got = Carry(Bytes(tag.begin(), tag.begin() + long(cut)));
        EXPECT_EQ(got.Has(c::Title), cut >= titleEnd) << cut;
        EXPECT_EQ(got.Has(c::Artist), cut >= artistEnd) << cut;
        EXPECT_EQ(got.Pictures().size(), cut >= pictureEnd ? 1u : 0u) << cut;
    }

    // A frame claiming more than is left, a picture claiming 2 GiB (2.3) or 256 MiB (2.4).
    const std::pair<uint8_t, Bytes> claims[] = {
        {3, {0, 0, 3, 0xE8}}, {3, {0x80, 0, 0, 0}}, {4, {0x7F, 0x7F, 0x7F, 0x7F}}};
    for (const auto& [version, size] : claims) {
        Bytes frames = Frame("TIT2", Text("ok")) + Frame("APIC", Bytes(40, 1));
        std::copy(size.begin(), size.end(), frames.begin() + 13 + 4);
        const tags::TCarriedTags got = Carry(Tag(version, frames));
        EXPECT_EQ(got.First(c::Title), "ok");
        EXPECT_TRUE(got.Pictures().empty());
    }

    // UTF-16 with a half character, lone surrogates, an unknown encoding; then a sound frame.
    const Bytes bad = Frame("TIT2", {1, 0xFF, 0xFE, 'A', 0, 'B'}) +
                      Frame("TPE1", {1, 0xFF, 0xFE, 0x00, 0xD8, 'A', 0}) +
                      Frame("TCOM", {2, 0xDC, 0x00, 0, 'A'}) + Frame("TPE2", Text("x", 7)) +
                      Frame("TXXX", {1, 0xFF, 0xFE, 0x00, 0xDC, 0, 0, 'v'}) +
                      Frame("TALB", Text("whole", 3));
    const tags::TCarriedTags got = Carry(Tag(4, bad));
    EXPECT_FALSE(got.Has(c::Title) || got.Has(c::Artist) || got.Has(c::Composer) ||
                 got.Has(c::AlbumArtist) || !got.Own.empty());
    EXPECT_EQ(got.First(c::Album), "whole");

    // An extended header larger than the tag.
    EXPECT_TRUE(Carry(Tag(3, Bytes{0, 0, 0x10, 0, 0, 0} + Frame("TIT2", Text("x")), 0x40))
                    .Fields()
                    .empty());
}

} // namespace
