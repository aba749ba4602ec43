#include "tags/carried/vorbis_carried.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tags {
namespace {

// Other taggers' spellings of carried names.
constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kAliases = {{
    {"TOTALTRACKS", carried::TrackTotal},
    {"TOTALDISCS", carried::DiscTotal},
    {"ALBUM ARTIST", carried::AlbumArtist},
    {"ALBUM_ARTIST", carried::AlbumArtist},
    {"UNSYNCEDLYRICS", carried::Lyrics},
    {"PUBLISHER", carried::Label},
    {"ORGANIZATION", carried::Label},
    {"YEAR", carried::Date},
}};

std::string_view CarriedNameOf(std::string_view name) {
    for (const std::string_view known : CarriedNames())
        if (SameTagName(known, name)) return known;
    for (const auto& [alias, known] : kAliases)
        if (SameTagName(alias, name)) return known;
    return {};
}

void TakePicture(std::string_view name, std::string_view value, TCarriedTags& carried) {
    std::vector<std::uint8_t> bytes;
    if (!Base64Decode(value, bytes)) return;
    TPicture picture;
    if (SameTagName(name, "COVERART")) {
        picture.Data = std::move(bytes);
    } else if (!ParsePictureBlock(bytes, picture)) {
        return;
    }
    carried.AddPicture(std::move(picture));
}

} // namespace

void CarryVorbisComments(std::span<const std::string> comments, TCarriedTags& carried) {
    carried.Family = TTagFamily::Vorbis;
    for (const std::string& comment : comments) {
        const auto equals = comment.find('=');
        if (equals == std::string::npos || equals == 0) continue;
        const std::string_view name = std::string_view(comment).substr(0, equals);
        const std::string_view value = std::string_view(comment).substr(equals + 1);
        if (SameTagName(name, "METADATA_BLOCK_PICTURE") || SameTagName(name, "COVERART")) {
            TakePicture(name, value, carried);
            continue;
        }
        if (SameTagName(name, "COVERARTMIME")) continue;
        const std::string_view known = CarriedNameOf(name);
        if (known == carried::TrackNumber || known == carried::DiscNumber) {
            const bool track = known == carried::TrackNumber;
            carried.AddNumberAndTotal(known, track ? carried::TrackTotal : carried::DiscTotal,
                                      value);
        } else if (known == carried::Date && !SameTagName(name, known)) {
            if (!carried.Has(carried::Date)) carried.Add(known, value);
        } else if (!known.empty()) {
            carried.Add(known, value);
        } else if (!value.empty()) {
            carried.Own.emplace_back(std::string(name), std::string(value));
        }
    }
}

std::vector<std::pair<std::string, std::string>> VorbisFieldsOf(const TCarriedTags& carried) {
    std::vector<std::pair<std::string, std::string>> fields = carried.Fields();
    if (carried.Family == TTagFamily::Vorbis)
        fields.insert(fields.end(), carried.Own.begin(), carried.Own.end());
    return fields;
}

std::vector<std::pair<std::string, std::string>>
MergedVorbisFields(std::span<const std::pair<std::string, std::string>> own,
                   const TCarriedTags& carried) {
    const auto fields = VorbisFieldsOf(carried);
    std::vector<std::pair<std::string, std::string>> merged;
    std::vector<std::string> replaced;
    const auto isReplaced = [&](std::string_view name) {
        return std::any_of(replaced.begin(), replaced.end(),
                           [&](const std::string& r) { return SameTagName(r, name); });
    };
    // The object's comments keep their place and spelling; the carried values take them.
    for (const auto& [name, value] : own) {
        if (isReplaced(name)) continue;
        bool carriedHasIt = false;
        for (const auto& field : fields)
            if (SameTagName(field.first, name)) {
                merged.emplace_back(name, field.second);
                carriedHasIt = true;
            }
        if (carriedHasIt)
            replaced.push_back(name);
        else
            merged.emplace_back(name, value);
    }
    for (const auto& field : fields)
        if (!isReplaced(field.first)) merged.push_back(field);
    return merged;
}

std::string PictureCommentValue(const TPicture& picture) {
    // The block's fields, then its data, encoded without a copy of the data.
    TPicture fields;
    fields.Type = picture.Type;
    fields.Mime = picture.Mime;
    fields.Description = picture.Description;
    fields.Width = picture.Width;
    fields.Height = picture.Height;
    fields.Depth = picture.Depth;
    fields.Colours = picture.Colours;
    std::vector<std::uint8_t> head = BuildPictureBlock(fields);
    const std::uint32_t size = std::uint32_t(picture.Data.size());
    for (int at = 4; at > 0; --at)
        head[head.size() - std::size_t(at)] = std::uint8_t(size >> (8 * (at - 1)));
    return Base64Encode(head, picture.Data);
}

} // namespace tags
