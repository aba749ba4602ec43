#include "tags/carried/mp4_carried.h"

#include "tags/ascii_text.h"
#include "tags/id3v1/id3v1_genres.h"
#include "tags/text_encoding.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tags {
namespace {

using Bytes = std::span<const std::uint8_t>;

std::uint64_t BigEndian(Bytes bytes) {
    std::uint64_t n = 0;
    for (const std::uint8_t b : bytes)
        n = n << 8 | b;
    return n;
}

std::string_view TypeOf(Bytes fourBytes) {
    return {reinterpret_cast<const char*>(fourBytes.data()), 4};
}

// Calls visit(type, body) for each box of `bytes` in turn; a box whose size is too small for
// its header or runs past the end stops the walk. Size 0 runs to the end.
template <class Visit> void ForEachBox(Bytes bytes, Visit&& visit) {
    std::size_t at = 0;
    while (bytes.size() - at >= 8) {
        std::uint64_t size = BigEndian(bytes.subspan(at, 4));
        std::size_t header = 8;
        if (size == 1) {
            if (bytes.size() - at < 16) return;
            size = BigEndian(bytes.subspan(at + 8, 8));
            header = 16;
        } else if (size == 0) {
            size = bytes.size() - at;
        }
        if (size < header || size > bytes.size() - at) return;
        visit(TypeOf(bytes.subspan(at + 4, 4)), bytes.subspan(at + header, size - header));
        at += std::size_t(size);
    }
}

// A meta box is a full box (version and flags first) in MP4 files, a plain one in QuickTime's.
Bytes MetaChildren(Bytes meta) {
    if (meta.size() >= 8 && TypeOf(meta.subspan(4, 4)) == "hdlr") return meta;
    return meta.size() >= 4 ? meta.subspan(4) : Bytes{};
}

// The data atoms' well-known value types.
constexpr std::uint32_t kUtf8 = 1, kUtf16 = 2, kJpeg = 13, kPng = 14, kBmp = 27;

struct Data {
    std::uint32_t type = 0;
    Bytes value;
};

std::string TextOf(const Data& data) {
    std::string text;
    if (data.type == kUtf8) {
        text.assign(data.value.begin(), data.value.end());
    } else if (data.type == kUtf16) {
        std::u16string wide;
        for (std::size_t i = 0; i + 1 < data.value.size(); i += 2)
            wide.push_back(char16_t(data.value[i] << 8 | data.value[i + 1]));
        text = Utf16ToUtf8(wide);
    }
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

struct AtomName {
    std::string_view atom;
    std::string_view name;
};

// Text atoms, "\xA9" standing for the copyright sign their types start with.
constexpr std::array<AtomName, 10> kTextAtoms = {{
    {"\xA9nam", carried::Title},
    {"\xA9"
     "ART",
     carried::Artist},
    {"\xA9"
     "alb",
     carried::Album},
    {"aART", carried::AlbumArtist},
    {"\xA9gen", carried::Genre},
    {"\xA9"
     "day",
     carried::Date},
    {"\xA9wrt", carried::Composer},
    {"\xA9"
     "cmt",
     carried::Comment},
    {"\xA9lyr", carried::Lyrics},
    {"cprt", carried::Copyright},
}};

constexpr std::string_view kItunesMean = "com.apple.iTunes";

// Names of "----:com.apple.iTunes:" items, matched without regard to case.
constexpr std::array<AtomName, 12> kFreeformNames = {{
    {"MusicBrainz Track Id", carried::MbTrackId},
    {"MusicBrainz Album Id", carried::MbAlbumId},
    {"MusicBrainz Artist Id", carried::MbArtistId},
    {"MusicBrainz Album Artist Id", carried::MbAlbumArtistId},
    {"MusicBrainz Release Group Id", carried::MbReleaseGroupId},
    {"ISRC", carried::Isrc},
    {"LABEL", carried::Label},
    {"replaygain_track_gain", carried::TrackGain},
    {"replaygain_track_peak", carried::TrackPeak},
    {"replaygain_album_gain", carried::AlbumGain},
    {"replaygain_album_peak", carried::AlbumPeak},
    {"PUBLISHER", carried::Label},
}};

template <std::size_t N>
std::string_view Lookup(const std::array<AtomName, N>& table, std::string_view key, bool anyCase) {
    for (const AtomName& entry : table)
        if (anyCase ? EqualsNoCase(entry.atom, key) : entry.atom == key) return entry.name;
    return {};
}

// A pair atom (trkn, disk): two bytes of padding, the number, the total.
void TakePair(Bytes value, std::string_view numberName, std::string_view totalName,
              TCarriedTags& carried) {
    if (value.size() < 6) return;
    const std::uint64_t number = BigEndian(value.subspan(2, 2));
    const std::uint64_t total = BigEndian(value.subspan(4, 2));
    if (number == 0) return;
    carried.Add(numberName, std::to_string(number));
    if (total > 0 && !carried.Has(totalName)) carried.Add(totalName, std::to_string(total));
}

std::optional<std::uint64_t> IntegerOf(Bytes value) {
    if (value.empty() || value.size() > 8) return std::nullopt;
    return BigEndian(value);
}

void TakeCover(const Data& data, bool first, TCarriedTags& carried) {
    TPicture picture;
    picture.Type = first ? kFrontCover : kPictureOther;
    if (data.type == kJpeg) picture.Mime = "image/jpeg";
    if (data.type == kPng) picture.Mime = "image/png";
    if (data.type == kBmp) picture.Mime = "image/bmp";
    picture.Data.assign(data.value.begin(), data.value.end());
    carried.AddPicture(std::move(picture));
}

void TakeFreeform(std::string_view mean, std::string_view name, const std::vector<Data>& values,
                  TCarriedTags& carried) {
    // The gapless record describes this file's encoding, not the music.
    if (mean == kItunesMean && EqualsNoCase(name, "iTunSMPB")) return;
    const std::string_view carriedName =
        mean == kItunesMean ? Lookup(kFreeformNames, name, true) : std::string_view{};
    for (const Data& data : values) {
        const std::string text = TextOf(data);
        if (text.empty()) continue;
        if (!carriedName.empty())
            carried.Add(carriedName, text);
        else
            carried.Own.emplace_back("----:" + std::string(mean) + ":" + std::string(name), text);
    }
}

void TakeItem(std::string_view atom, Bytes body, TCarriedTags& carried) {
    std::vector<Data> values;
    std::string mean, name;
    ForEachBox(body, [&](std::string_view type, Bytes child) {
        if (type == "data" && child.size() >= 8)
            values.push_back({std::uint32_t(BigEndian(child.subspan(1, 3))), child.subspan(8)});
        else if ((type == "mean" || type == "name") && child.size() >= 4)
            (type == "mean" ? mean : name).assign(child.begin() + 4, child.end());
    });
    if (atom == "----") {
        TakeFreeform(mean, name, values, carried);
        return;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Data& data = values[i];
        if (atom == "covr") {
            TakeCover(data, i == 0, carried);
        } else if (atom == "trkn") {
            TakePair(data.value, carried::TrackNumber, carried::TrackTotal, carried);
        } else if (atom == "disk") {
            TakePair(data.value, carried::DiscNumber, carried::DiscTotal, carried);
        } else if (atom == "gnre") {
            const auto index = IntegerOf(data.value);
            if (index && *index >= 1 && *index <= kId3v1Genres.size() &&
                !carried.Has(carried::Genre))
                carried.Add(carried::Genre, kId3v1Genres[*index - 1]);
        } else if (atom == "tmpo") {
            if (const auto bpm = IntegerOf(data.value); bpm && *bpm > 0)
                carried.Add(carried::Bpm, std::to_string(*bpm));
        } else if (atom == "cpil") {
            if (const auto set = IntegerOf(data.value); set && *set != 0)
                carried.Set(carried::Compilation, "1");
        } else if (const std::string_view carriedName = Lookup(kTextAtoms, atom, false);
                   !carriedName.empty()) {
            carried.Add(carriedName, TextOf(data));
        } else if (const std::string text = TextOf(data); !text.empty()) {
            carried.Own.emplace_back(Latin1ToUtf8(atom), text);
        }
    }
}

// The body of the first box of `type` among `bytes`' boxes.
std::optional<Bytes> Child(Bytes bytes, std::string_view type) {
    std::optional<Bytes> found;
    ForEachBox(bytes, [&](std::string_view t, Bytes body) {
        if (!found && t == type) found = body;
    });
    return found;
}

void CarryMeta(Bytes meta, TCarriedTags& carried) {
    if (const auto ilst = Child(MetaChildren(meta), "ilst")) CarryMp4Items(*ilst, carried);
}

} // namespace

void CarryMp4Items(std::span<const std::uint8_t> ilst, TCarriedTags& carried) {
    carried.Family = TTagFamily::Mp4;
    ForEachBox(ilst, [&](std::string_view atom, Bytes body) { TakeItem(atom, body, carried); });
}

void CarryMp4Movie(std::span<const std::uint8_t> moov, TCarriedTags& carried) {
    ForEachBox(moov, [&](std::string_view type, Bytes body) {
        if (type == "meta") CarryMeta(body, carried);
        if (type == "udta")
            if (const auto meta = Child(body, "meta")) CarryMeta(*meta, carried);
    });
}

namespace {

struct BoxAt {
    std::uint64_t body = 0; // offset of the body in the file
    std::uint64_t size = 0; // of the body; UINT64_MAX to the end of the file
    std::string type;
};

// The box header at `offset`, if the file holds one there.
std::optional<BoxAt> HeaderAt(const Mp4ReadAt& read, std::uint64_t offset) {
    std::array<std::uint8_t, 16> head{};
    const std::size_t got = read(offset, head);
    if (got < 8) return std::nullopt;
    std::uint64_t size = BigEndian(std::span(head).first(4));
    std::uint64_t header = 8;
    if (size == 1) {
        if (got < 16) return std::nullopt;
        size = BigEndian(std::span(head).subspan(8, 8));
        header = 16;
    }
    BoxAt box{offset + header, size == 0 ? UINT64_MAX : size - header,
              std::string(TypeOf(std::span(head).subspan(4, 4)))};
    if (size != 0 && size < header) return std::nullopt;
    return box;
}

// The whole body of a box, or what the file holds of it, up to a bound: read in pieces, so a
// damaged size claims no memory the file does not back.
std::vector<std::uint8_t> BodyOf(const Mp4ReadAt& read, const BoxAt& box) {
    constexpr std::uint64_t kLargestBody = std::uint64_t(96) << 20;
    constexpr std::size_t kPiece = std::size_t(1) << 20;
    const std::uint64_t size = std::min(box.size, kLargestBody);
    std::vector<std::uint8_t> body;
    while (body.size() < size) {
        const std::size_t at = body.size();
        body.resize(at + std::size_t(std::min<std::uint64_t>(kPiece, size - at)));
        const std::size_t got = read(box.body + at, std::span(body).subspan(at));
        body.resize(at + got);
        if (got == 0) break;
    }
    return body;
}

// Calls visit(box) for the boxes from `start` to `end`; false from visit stops the walk.
template <class Visit>
void ForEachBoxAt(const Mp4ReadAt& read, std::uint64_t start, std::uint64_t end, Visit&& visit) {
    std::uint64_t at = start;
    while (at < end) {
        const auto box = HeaderAt(read, at);
        if (!box || box->body > end || (box->size != UINT64_MAX && box->size > end - box->body))
            return;
        if (!visit(*box) || box->size == UINT64_MAX) return;
        at = box->body + box->size;
    }
}

} // namespace

void CarryMp4File(const Mp4ReadAt& read, TCarriedTags& carried) {
    ForEachBoxAt(read, 0, UINT64_MAX, [&](const BoxAt& moov) {
        if (moov.type != "moov") return true;
        const std::uint64_t end = moov.size == UINT64_MAX ? UINT64_MAX : moov.body + moov.size;
        ForEachBoxAt(read, moov.body, end, [&](const BoxAt& child) {
            const std::vector<std::uint8_t> body = child.type == "udta" || child.type == "meta"
                                                       ? BodyOf(read, child)
                                                       : std::vector<std::uint8_t>{};
            if (child.type == "meta") CarryMeta(body, carried);
            if (child.type == "udta")
                if (const auto meta = Child(body, "meta")) CarryMeta(*meta, carried);
            return true;
        });
        return false;
    });
}

} // namespace tags
