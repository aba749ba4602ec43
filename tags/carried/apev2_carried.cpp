#include "tags/carried/apev2_carried.h"

#include "tags/apev2/apev2_reader.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string>

namespace tags {
namespace {

constexpr std::uint32_t kBinaryFlag = 1u << 1;

struct KeyName {
    std::string_view key;
    std::string_view name;
};

// Written with the first key of a name; read with any.
constexpr std::array<KeyName, 31> kKeys = {{
    {"Title", carried::Title},
    {"Artist", carried::Artist},
    {"Album", carried::Album},
    {"Album Artist", carried::AlbumArtist},
    {"AlbumArtist", carried::AlbumArtist},
    {"Genre", carried::Genre},
    {"Year", carried::Date},
    {"Track", carried::TrackNumber},
    {"Disc", carried::DiscNumber},
    {"Composer", carried::Composer},
    {"Comment", carried::Comment},
    {"Lyrics", carried::Lyrics},
    {"Copyright", carried::Copyright},
    {"Label", carried::Label},
    {"Publisher", carried::Label},
    {"ISRC", carried::Isrc},
    {"BPM", carried::Bpm},
    {"Compilation", carried::Compilation},
    {"MUSICBRAINZ_TRACKID", carried::MbTrackId},
    {"MUSICBRAINZ_ALBUMID", carried::MbAlbumId},
    {"MUSICBRAINZ_ARTISTID", carried::MbArtistId},
    {"MUSICBRAINZ_ALBUMARTISTID", carried::MbAlbumArtistId},
    {"MUSICBRAINZ_RELEASEGROUPID", carried::MbReleaseGroupId},
    {"REPLAYGAIN_TRACK_GAIN", carried::TrackGain},
    {"REPLAYGAIN_TRACK_PEAK", carried::TrackPeak},
    {"REPLAYGAIN_ALBUM_GAIN", carried::AlbumGain},
    {"REPLAYGAIN_ALBUM_PEAK", carried::AlbumPeak},
    {"TRACKTOTAL", carried::TrackTotal},
    {"DISCTOTAL", carried::DiscTotal},
    {"Date", carried::Date},
    {"Organization", carried::Label},
}};

// The picture types by the names cover-art keys give them, in picture-type order.
constexpr std::array<std::string_view, 21> kPictureNames = {"Other",
                                                            "Icon",
                                                            "Other Icon",
                                                            "Front",
                                                            "Back",
                                                            "Leaflet",
                                                            "Media",
                                                            "Lead Artist",
                                                            "Artist",
                                                            "Conductor",
                                                            "Band",
                                                            "Composer",
                                                            "Lyricist",
                                                            "Recording Location",
                                                            "During Recording",
                                                            "During Performance",
                                                            "Video Capture",
                                                            "Fish",
                                                            "Illustration",
                                                            "Band Logo",
                                                            "Publisher Logo"};

constexpr std::string_view kCoverPrefix = "Cover Art (";

std::string_view NameOfKey(std::string_view key) {
    for (const auto& entry : kKeys)
        if (ApeKeysEqual(entry.key, key)) return entry.name;
    return {};
}

std::string_view KeyOfName(std::string_view name) {
    for (const auto& entry : kKeys)
        if (entry.name == name) return entry.key;
    return {};
}

void TakeCover(const ApeItem& item, TCarriedTags& carried) {
    const std::string_view key = item.key;
    if (key.size() <= kCoverPrefix.size() + 1 || key.back() != ')' ||
        !ApeKeysEqual(key.substr(0, kCoverPrefix.size()), kCoverPrefix))
        return;
    const std::string_view kind =
        key.substr(kCoverPrefix.size(), key.size() - kCoverPrefix.size() - 1);
    TPicture picture;
    picture.Type = kPictureOther;
    for (std::size_t type = 0; type < kPictureNames.size(); ++type)
        if (ApeKeysEqual(kPictureNames[type], kind)) picture.Type = std::uint32_t(type);
    // "file name" NUL bytes; a value without the NUL is all picture.
    const auto nul = item.value.find('\0');
    const std::size_t start = nul == std::string::npos ? 0 : nul + 1;
    if (nul != std::string::npos) picture.Description = item.value.substr(0, nul);
    picture.Data.assign(item.value.begin() + std::ptrdiff_t(start), item.value.end());
    carried.AddPicture(std::move(picture));
}

std::string Extension(std::string_view mime) {
    if (mime == "image/png") return ".png";
    if (mime == "image/gif") return ".gif";
    if (mime == "image/bmp") return ".bmp";
    if (mime == "image/webp") return ".webp";
    return ".jpg";
}

} // namespace

void CarryApeItems(std::span<const ApeItem> items, std::uint32_t version, TCarriedTags& carried) {
    carried.Family = TTagFamily::APEv2;
    for (const ApeItem& item : items) {
        if (item.Type() == 1) {
            TakeCover(item, carried);
            continue;
        }
        if (!item.IsText()) continue;
        const std::string_view name = NameOfKey(item.key);
        // An APEv1 tag holds single-byte text, one value per item.
        std::vector<std::string> values;
        if (version >= 2000)
            for (const std::string_view value : ApeTextValues(item))
                values.emplace_back(value);
        else
            values.push_back(ApeTextValue(item, version));
        for (const std::string& value : values) {
            if (name == carried::TrackNumber || name == carried::DiscNumber) {
                const bool track = name == carried::TrackNumber;
                carried.AddNumberAndTotal(name, track ? carried::TrackTotal : carried::DiscTotal,
                                          value);
            } else if (name == carried::Date) {
                if (!carried.Has(carried::Date)) carried.Add(name, value);
            } else if (!name.empty()) {
                carried.Add(name, value);
            } else if (!value.empty()) {
                carried.Own.emplace_back(item.key, std::string(value));
            }
        }
    }
}

void CarryApeTag(int fd, TCarriedTags& carried) {
    if (const std::optional<ApeTag> tag = ReadApeTag(fd))
        CarryApeItems(tag->items, tag->version, carried);
}

std::vector<ApeItem> ApeItemsOf(const TCarriedTags& carried) {
    std::vector<ApeItem> items;
    const auto add = [&](std::string_view key, const std::vector<std::string>& values) {
        std::string joined;
        for (const std::string& value : values) {
            if (!joined.empty()) joined.push_back('\0');
            joined += value;
        }
        if (!joined.empty()) items.push_back({std::string(key), std::move(joined), 0});
    };
    for (const std::string_view name : CarriedNames()) {
        if (name == carried::TrackTotal || name == carried::DiscTotal) continue;
        if (name == carried::TrackNumber || name == carried::DiscNumber) {
            const bool track = name == carried::TrackNumber;
            const std::string value =
                carried.NumberWithTotal(name, track ? carried::TrackTotal : carried::DiscTotal);
            if (!value.empty()) add(KeyOfName(name), {value});
            continue;
        }
        add(KeyOfName(name), carried.Values(name));
    }
    if (carried.Family == TTagFamily::APEv2)
        for (const auto& [key, value] : carried.Own)
            if (NameOfKey(key).empty()) add(key, {value});
    std::array<bool, kPictureNames.size()> taken{};
    for (const TPicture& picture : carried.Pictures()) {
        const std::size_t type = picture.Type < taken.size() ? picture.Type : 0;
        if (taken[type]) continue;
        taken[type] = true;
        std::string value =
            picture.Description.empty() ? "cover" + Extension(picture.Mime) : picture.Description;
        value.push_back('\0');
        value.append(picture.Data.begin(), picture.Data.end());
        items.push_back({std::string(kCoverPrefix) + std::string(kPictureNames[type]) + ")",
                         std::move(value), kBinaryFlag});
    }
    return items;
}

std::vector<ApeItem> MergedApeItems(std::span<const ApeItem> own, const TCarriedTags& carried) {
    std::vector<ApeItem> items = ApeItemsOf(carried);
    std::vector<ApeItem> merged;
    for (const ApeItem& item : own) {
        const bool replaced = std::any_of(items.begin(), items.end(), [&](const ApeItem& c) {
            return ApeKeysEqual(c.key, item.key);
        });
        if (!replaced && !item.value.empty()) merged.push_back(item);
    }
    merged.insert(merged.end(), std::make_move_iterator(items.begin()),
                  std::make_move_iterator(items.end()));
    return merged;
}

} // namespace tags
